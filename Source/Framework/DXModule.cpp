#include "DXModule.h"

#include "FrameworkEx.h"

DXModule::DXModule(std::string name) : name(std::move(name)) {}

DXModule::~DXModule() = default;

void DXModule::CreateResources() {}

void DXModule::ReleaseResources() {}

void DXModule::Update() {}

void DXModule::Draw()
{
    throw FrameworkEx("[virtual void DXModule::Draw()] Draw method not implemented");
}

void DXModule::SetInitEarly()
{
    initEarly = true;
}

bool DXModule::IsInitEarly() const
{
    return initEarly;
}

const std::string& DXModule::GetName() const
{
    return name;
}

#include "Floor.h"

#include <memory>

#include "DXEffect/DXEffectHandler.h"
#include "DXMesh/DXMesh.h"

Floor::Floor(const std::string& name) : DXModule(name) {}

Floor::~Floor()
{
    // The meshes are the module's own: a module destroyed without a release frees them here.
    Floor::ReleaseResources();
}

void Floor::CreateResources()
{
    // No transform: the floor lies where the file puts it, its world matrix the identity.
    auto mesh = std::make_unique<DXMesh>(nullptr);
    mesh->LoadX("floorShape.x");
    meshes.push_back(mesh.release());
}

void Floor::ReleaseResources()
{
    for (DXMesh* mesh : meshes)
        delete mesh;
    meshes.clear();
}

void Floor::Update()
{
    for (DXMesh* mesh : meshes)
        mesh->Update();
}

void Floor::Draw()
{
    for (DXMesh* mesh : meshes)
        DXEffectHandler::RenderObject(mesh);
}

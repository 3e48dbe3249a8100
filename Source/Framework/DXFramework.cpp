#include "DXFramework.h"

#include "FrameworkEx.h"
#include "crt/CRand.h"

namespace {
sync::Device* syncDevice = nullptr;
EffectSemantics* globalEffect = nullptr;
bool redraw = true; // one extra frame at start is harmless
std::function<void()>& DeviceLostHandler()
{
    static std::function<void()> handler;
    return handler;
}
} // namespace

sync::Device* DXFramework::GetSyncDevice()
{
    if (!syncDevice)
        throw FrameworkEx("[DXFramework::GetSyncDevice] No sync device has been created");
    return syncDevice;
}

void DXFramework::SetSyncDevice(sync::Device* device)
{
    syncDevice = device;
}

EffectSemantics* DXFramework::GetGlobalEffect()
{
    return globalEffect;
}

void DXFramework::SetGlobalEffect(EffectSemantics* effect)
{
    globalEffect = effect;
}

void DXFramework::RequestRedraw()
{
    redraw = true;
}

bool DXFramework::IsRedrawRequested()
{
    return redraw;
}

void DXFramework::ClearRedrawRequest()
{
    redraw = false;
}

void DXFramework::Log(const std::string& /*text*/) {}

void DXFramework::HandleDeviceLost()
{
    if (DeviceLostHandler())
        DeviceLostHandler()();
}

void DXFramework::SetDeviceLostHandler(std::function<void()> handler)
{
    DeviceLostHandler() = std::move(handler);
}

float RandomRange(float min, float max)
{
    return min + static_cast<float>(crt::rand()) * (max - min) / static_cast<float>(crt::kRandMax);
}

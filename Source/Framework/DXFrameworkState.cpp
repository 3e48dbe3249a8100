#include "DXFramework.h"

#include "DXError.h"
#include "FrameworkEx.h"
#include "crt/CRand.h"

namespace {
IDirect3DDevice9* device = nullptr;
HWND window = nullptr;
unsigned width = 800;
unsigned height = 450;
unsigned contentWidth = 800;
unsigned contentHeight = 450;
D3DMULTISAMPLE_TYPE multiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(4);
DWORD multiSampleQuality = 0;
bool highVRAM = true;
IDirect3DSurface9* depthSurface = nullptr;
IDirect3DSurface9* plainDepthSurface = nullptr;
sync::Device* syncDevice = nullptr;
EffectSemantics* globalEffect = nullptr;
bool redraw = true; // one extra frame at start is harmless
std::function<void()>& DeviceLostHandler()
{
    static std::function<void()> handler;
    return handler;
}
} // namespace

IDirect3DDevice9* DXFramework::GetDevice()
{
    return device;
}

void DXFramework::SetDevice(IDirect3DDevice9* newDevice)
{
    device = newDevice;
}

HWND DXFramework::GetWindow()
{
    return window;
}

void DXFramework::SetWindow(HWND newWindow)
{
    window = newWindow;
}

unsigned DXFramework::GetWidth()
{
    return width;
}

unsigned DXFramework::GetHeight()
{
    return height;
}

unsigned DXFramework::GetContentWidth()
{
    return contentWidth;
}

unsigned DXFramework::GetContentHeight()
{
    return contentHeight;
}

void DXFramework::SetBackBufferSize(unsigned newWidth, unsigned newHeight)
{
    width = newWidth;
    height = newHeight;
    contentWidth = newWidth;
    contentHeight = static_cast<unsigned>((static_cast<unsigned long long>(newWidth) * 9u) / 16u);
}

void DXFramework::GetMultiSample(D3DMULTISAMPLE_TYPE* type, DWORD* quality)
{
    if (type)
        *type = multiSampleType;
    if (quality)
        *quality = multiSampleQuality;
}

void DXFramework::SetMultiSample(D3DMULTISAMPLE_TYPE type, DWORD quality)
{
    multiSampleType = type;
    multiSampleQuality = quality;
}

bool DXFramework::IsHighVRAM()
{
    return highVRAM;
}

void DXFramework::SetHighVRAM(bool high)
{
    highVRAM = high;
}

void DXFramework::SetDepthSurfaces(IDirect3DSurface9* main, IDirect3DSurface9* plain)
{
    depthSurface = main;
    plainDepthSurface = plain;
}

void DXFramework::SetMainDepthSurface()
{
    CHECK_RESULT(device->SetDepthStencilSurface(depthSurface));
}

void DXFramework::SetPlainDepthSurface()
{
    device->SetDepthStencilSurface(plainDepthSurface);
}

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

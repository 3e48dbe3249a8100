#include "DXFramework.h"

#include "DXError.h"
#include "FrameworkState.h"
#include "FrameworkEx.h"
#include "crt/CRand.h"

FrameworkState& State()
{
    static FrameworkState state;
    return state;
}

IDirect3DDevice9* DXFramework::GetDevice()
{
    return State().device;
}

void DXFramework::SetDevice(IDirect3DDevice9* newDevice)
{
    State().device = newDevice;
}

IDirect3D9* DXFramework::GetDirect3D()
{
    return State().direct3d;
}

void DXFramework::SetDirect3D(IDirect3D9* newDirect3d)
{
    State().direct3d = newDirect3d;
}

HWND DXFramework::GetWindow()
{
    return State().window;
}

void DXFramework::SetWindow(HWND newWindow)
{
    State().window = newWindow;
}

unsigned DXFramework::GetWidth()
{
    return State().display.width;
}

unsigned DXFramework::GetHeight()
{
    return State().display.height;
}

unsigned DXFramework::GetContentWidth()
{
    return State().display.contentWidth;
}

unsigned DXFramework::GetContentHeight()
{
    return State().display.contentHeight;
}

void DXFramework::SetBackBufferSize(unsigned newWidth, unsigned newHeight)
{
    State().display.width = newWidth;
    State().display.height = newHeight;
    State().display.contentWidth = newWidth;
    State().display.contentHeight = (newWidth * 9u) / 16u;
}

void DXFramework::GetMultiSample(D3DMULTISAMPLE_TYPE* type, DWORD* quality)
{
    if (type)
        *type = State().display.multiSampleType;
    if (quality)
        *quality = State().display.multiSampleQuality;
}

void DXFramework::SetMultiSample(D3DMULTISAMPLE_TYPE type, DWORD quality)
{
    State().display.multiSampleType = type;
    State().display.multiSampleQuality = quality;
}

bool DXFramework::IsHighVRAM()
{
    return State().display.highVRAM;
}

void DXFramework::SetHighVRAM(bool high)
{
    State().display.highVRAM = high;
}

DXFramework::DisplaySettings DXFramework::GetDisplaySettings()
{
    return State().display;
}

void DXFramework::SetDisplaySettings(const DisplaySettings& settings)
{
    State().display = settings;
}

void DXFramework::SetDepthSurfaces(IDirect3DSurface9* main, IDirect3DSurface9* plain)
{
    State().depthSurface = main;
    State().plainDepthSurface = plain;
}

void DXFramework::SetMainDepthSurface()
{
    CHECK_RESULT(State().device->SetDepthStencilSurface(State().depthSurface));
}

void DXFramework::SetPlainDepthSurface()
{
    State().device->SetDepthStencilSurface(State().plainDepthSurface);
}

sync::Device* DXFramework::GetSyncDevice()
{
    if (!State().syncDevice)
        throw FrameworkEx("[DXFramework::GetSyncDevice] No sync device has been created");
    return State().syncDevice;
}

void DXFramework::SetSyncDevice(sync::Device* newDevice)
{
    State().syncDevice = newDevice;
}

EffectSemantics* DXFramework::GetGlobalEffect()
{
    return State().globalEffect;
}

void DXFramework::SetGlobalEffect(EffectSemantics* effect)
{
    State().globalEffect = effect;
}

void DXFramework::RequestRedraw()
{
    State().redraw = true;
}

bool DXFramework::IsRedrawRequested()
{
    return State().redraw;
}

void DXFramework::ClearRedrawRequest()
{
    State().redraw = false;
}

void DXFramework::Log(const std::string& /*text*/) {}

void DXFramework::HandleDeviceLost()
{
    if (State().deviceLostHandler)
        State().deviceLostHandler();
}

void DXFramework::SetDeviceLostHandler(std::function<void()> handler)
{
    State().deviceLostHandler = std::move(handler);
}

float RandomRange(float min, float max)
{
    return min + static_cast<float>(crt::rand()) * (max - min) / static_cast<float>(crt::kRandMax);
}

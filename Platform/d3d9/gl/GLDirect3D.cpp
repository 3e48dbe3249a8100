#include "d3d9/gl/GLDirect3D.h"

#include <cstdlib>
#include <cstring>

#include "d3d9/D3DFormatInfo.h"
#include "d3d9/D3DValidation.h"
#include "d3d9/DeviceFactory.h"
#include "d3d9/gl/GLAdapter.h"
#include "d3d9/gl/GLDevice.h"
#include "sdl/SDLVideo.h"
#include "win32/WindowHandle.h"

namespace {

// Adapter 0 with the HAL device type: what every query of the one adapter checks first.
HRESULT CheckAdapter(UINT adapter, D3DDEVTYPE type)
{
    if (adapter != 0)
        return D3DERR_INVALIDCALL;
    return type == D3DDEVTYPE_HAL ? D3D_OK : D3DERR_NOTAVAILABLE;
}

} // namespace

IDirect3D9* Direct3DCreate9(UINT SDKVersion)
{
    if (SDKVersion != D3D_SDK_VERSION || !EnsureSDLVideo())
        return nullptr;
    return new GLDirect3D();
}

UINT GLDirect3D::GetAdapterModeCount(UINT Adapter, D3DFORMAT Format)
{
    if (Adapter != 0 || Format != D3DFMT_X8R8G8B8)
        return 0;
    return static_cast<UINT>(GetGLAdapterInfo().modes.size());
}

HRESULT GLDirect3D::EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode)
{
    const auto& modes = GetGLAdapterInfo().modes;
    if (Adapter != 0 || !pMode)
        return D3DERR_INVALIDCALL;
    if (const HRESULT hr = CheckD3DAdapterFormat(Format); hr != D3D_OK)
        return hr;
    if (Mode >= modes.size())
        return D3DERR_INVALIDCALL;
    *pMode = modes[Mode];
    return D3D_OK;
}

HRESULT GLDirect3D::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode)
{
    if (Adapter != 0 || !pMode)
        return D3DERR_INVALIDCALL;
    *pMode = GetGLAdapterInfo().desktop;
    return D3D_OK;
}

HRESULT GLDirect3D::CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat,
                                    D3DFORMAT BackBufferFormat, BOOL)
{
    const HRESULT hr = CheckAdapter(Adapter, DevType);
    if (hr < 0)
        return hr;
    if (AdapterFormat != D3DFMT_X8R8G8B8 ||
        (BackBufferFormat != D3DFMT_X8R8G8B8 && BackBufferFormat != D3DFMT_A8R8G8B8))
        return D3DERR_NOTAVAILABLE;
    return GetGLAdapterInfo().valid ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT GLDirect3D::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                                      D3DRESOURCETYPE RType, D3DFORMAT CheckFormat)
{
    const HRESULT hr = CheckAdapter(Adapter, DeviceType);
    if (hr < 0)
        return hr;
    const GLAdapterInfo info = GetReportedAdapterInfo();
    if (!info.valid)
        return D3DERR_NOTAVAILABLE;
    return GLCheckDeviceFormat(info, AdapterFormat, Usage, RType, CheckFormat);
}

HRESULT GLDirect3D::CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat, BOOL,
                                               D3DMULTISAMPLE_TYPE MultiSampleType, DWORD* pQualityLevels)
{
    const HRESULT hr = CheckAdapter(Adapter, DeviceType);
    if (hr < 0)
        return hr;
    const GLAdapterInfo& info = GetGLAdapterInfo();
    if (!info.valid)
        return D3DERR_NOTAVAILABLE;
    return GLCheckMultiSampleType(info, SurfaceFormat, MultiSampleType, pQualityLevels);
}

HRESULT GLDirect3D::CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                           D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat)
{
    const HRESULT hr = CheckAdapter(Adapter, DeviceType);
    if (hr < 0)
        return hr;
    const D3DFormatInfo* target = FindD3DFormatInfo(RenderTargetFormat);
    const D3DFormatInfo* depth = FindD3DFormatInfo(DepthStencilFormat);
    if (AdapterFormat != D3DFMT_X8R8G8B8 || !target || !target->renderTarget || !depth || !depth->depthBuffer)
        return D3DERR_NOTAVAILABLE;
    return D3D_OK;
}

HRESULT GLDirect3D::GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps)
{
    if (!pCaps)
        return D3DERR_INVALIDCALL;
    const HRESULT hr = CheckAdapter(Adapter, DeviceType);
    if (hr < 0)
        return hr;
    const GLAdapterInfo info = GetReportedAdapterInfo();
    if (!info.valid)
        return D3DERR_NOTAVAILABLE;
    *pCaps = info.caps;
    return D3D_OK;
}

HRESULT GLDirect3D::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                 D3DPRESENT_PARAMETERS* pPresentationParameters,
                                 IDirect3DDevice9** ppReturnedDeviceInterface)
{
    if (!ppReturnedDeviceInterface || !pPresentationParameters)
        return D3DERR_INVALIDCALL;
    *ppReturnedDeviceInterface = nullptr;
    HRESULT hr = CheckAdapter(Adapter, DeviceType);
    if (hr < 0)
        return hr;
    const char* kind = std::getenv("ORVALA_D3D_DEVICE");
    if (kind && std::strcmp(kind, "recording") == 0) {
        const GLAdapterInfo& info = GetGLAdapterInfo();
        return CreateRecordingDevice(info.caps, pPresentationParameters, ppReturnedDeviceInterface);
    }
    // The device window wins over the focus window when both are given.
    const HWND handle = pPresentationParameters->hDeviceWindow ? pPresentationParameters->hDeviceWindow : hFocusWindow;
    SDL_Window* window = SDLWindowFromHWND(handle);
    if (!window)
        return D3DERR_INVALIDCALL;
    return CreateGLDevice(this, window, BehaviorFlags, pPresentationParameters, ppReturnedDeviceInterface);
}

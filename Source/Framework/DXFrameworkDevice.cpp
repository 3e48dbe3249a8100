#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"

namespace {

// The first capability the demo's renderer needs and the adapter lacks, or null.
const char* MissingCapability(IDirect3D9* d3d, const D3DCAPS9& caps)
{
    if (caps.NumSimultaneousRTs < 4)
        return "Number of simultaneous render targets < 4";
    if (!(caps.PrimitiveMiscCaps & D3DPMISCCAPS_MRTPOSTPIXELSHADERBLENDING))
        return "No multiple rendertarge post pixel shader blending allowed.";
    if (d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING,
                               D3DRTYPE_TEXTURE, D3DFMT_A16B16G16R16F) != D3D_OK)
        return "No post pixel shader blending allowed on D3DFMT_A16B16G16R16F.";
    if ((caps.VertexShaderVersion & 0xFF00) < 0x300)
        return "VertexShaderVersion < 3.0.";
    if ((caps.PixelShaderVersion & 0xFF00) < 0x300)
        return "PixelShaderVersion < 3.0.";
    if (caps.MaxTextureWidth < 2048)
        return "MaxTextureWidth < 2048.";
    if (caps.MaxTextureHeight < 2048)
        return "MaxTextureHeight < 2048.";
    if (!(caps.TextureCaps & D3DPTEXTURECAPS_CUBEMAP))
        return "Cubemaps not allowed.";
    if (!(caps.TextureCaps & D3DPTEXTURECAPS_VOLUMEMAP))
        return "Volumemaps not allowed.";
    if (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY)
        return "Textures can only be squares.";
    if ((caps.TextureCaps & D3DPTEXTURECAPS_POW2) && !(caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL))
        return "Your gfx adaptor does not support non-power-of-two textures in any reasonable way.";
    return nullptr;
}

} // namespace

void DXFramework::InitDevice()
{
    const DisplaySettings settings = GetDisplaySettings();
    if (settings.fullscreen) {
        while (ShowCursor(FALSE) >= 0) {
        }
    } else {
        while (ShowCursor(TRUE) < 0) {
        }
    }

    IDirect3D9* d3d = GetDirect3D();
    if (!d3d) {
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!d3d)
            throw FrameworkEx("Unable to initialize d3d9");
        SetDirect3D(d3d);
    }

    if (!settings.fullscreen) {
        D3DDISPLAYMODE d3ddm{};
        CHECK_RESULT(d3d->GetAdapterDisplayMode(0, &d3ddm));
        CHECK_RESULT(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, d3ddm.Format, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                            D3DFMT_D16));
    }
    CHECK_RESULT(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps));
    const DWORD behaviour =
        caps.VertexProcessingCaps != 0 ? D3DCREATE_HARDWARE_VERTEXPROCESSING : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    if (const char* missing = MissingCapability(d3d, caps))
        throw FrameworkSupportFailed(missing);

    presentParams = D3DPRESENT_PARAMETERS{};
    presentParams.BackBufferWidth = settings.width;
    presentParams.BackBufferHeight = settings.height;
    presentParams.BackBufferFormat = D3DFMT_X8R8G8B8;
    presentParams.BackBufferCount = 1;
    presentParams.MultiSampleType = settings.multiSampleType;
    presentParams.MultiSampleQuality = settings.multiSampleQuality;
    presentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentParams.hDeviceWindow = GetWindow();
    presentParams.Windowed = settings.fullscreen ? FALSE : TRUE;
    presentParams.EnableAutoDepthStencil = FALSE; // the framework makes its own depth surfaces
    presentParams.AutoDepthStencilFormat = D3DFMT_D16;
    presentParams.Flags = 0;
    presentParams.FullScreen_RefreshRateInHz = settings.fullscreen ? settings.refreshRate : 0;
    presentParams.PresentationInterval = settings.vsync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;

    // A device that does not exist yet cannot be reset, so a lost device reported by the
    // creation itself ends the run like any other failed call instead of going to the
    // lost-device handling.
    IDirect3DDevice9* created = nullptr;
    const HRESULT hr = d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetWindow(), behaviour, &presentParams, &created);
    if (hr != D3D_OK) {
        if (created)
            created->Release();
        throw FrameworkEx(std::string("Error: ") + DXErrorName(hr) + "\n\n" + DXSourcePath(__FILE__) + " : " +
                          std::to_string(__LINE__ - 4));
    }
    SetDevice(created);
}

#include <cstdio>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "d3d9/d3d9.h"
#include "d3d9/gl/GLAdapter.h"

namespace {

const char* YesNo(bool value)
{
    return value ? "yes" : "no";
}

std::string MultisampleList(IDirect3D9* d3d, D3DFORMAT format)
{
    std::string list;
    for (DWORD samples = 2; samples <= 16; ++samples) {
        if (d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, format, FALSE,
                                            static_cast<D3DMULTISAMPLE_TYPE>(samples), nullptr) == D3D_OK)
            list += (list.empty() ? "" : " ") + std::to_string(samples);
    }
    return list.empty() ? "none" : list;
}

// What the graphics adapter offers, with the values the demo's start-up checks look at.
int InfoCommand(IDirect3D9* d3d)
{
    const GLAdapterInfo& info = GetGLAdapterInfo();
    std::printf("renderer: %s\nversion: %s\n", info.renderer.c_str(), info.version.c_str());
    D3DDISPLAYMODE desktop{};
    d3d->GetAdapterDisplayMode(0, &desktop);
    std::printf("desktop mode: %ux%u %u Hz\n", desktop.Width, desktop.Height, desktop.RefreshRate);
    const UINT modes = d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
    std::printf("modes (D3DFMT_X8R8G8B8): %u\n", modes);
    for (UINT i = 0; i < modes; ++i) {
        D3DDISPLAYMODE mode{};
        if (d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &mode) == D3D_OK)
            std::printf("  %ux%u %u Hz\n", mode.Width, mode.Height, mode.RefreshRate);
    }
    D3DCAPS9 caps{};
    if (d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps) != D3D_OK) {
        std::fprintf(stderr, "orvala-tool: no capabilities: %s\n", info.error.c_str());
        return 1;
    }
    std::printf("NumSimultaneousRTs: %lu\n", static_cast<unsigned long>(caps.NumSimultaneousRTs));
    const auto version = [](const char* name, DWORD v) {
        std::printf("%s: %lu.%lu\n", name, static_cast<unsigned long>(D3DSHADER_VERSION_MAJOR(v)),
                    static_cast<unsigned long>(D3DSHADER_VERSION_MINOR(v)));
    };
    version("VertexShaderVersion", caps.VertexShaderVersion);
    version("PixelShaderVersion", caps.PixelShaderVersion);
    std::printf("MaxTextureWidth: %lu\nMaxTextureHeight: %lu\n", static_cast<unsigned long>(caps.MaxTextureWidth),
                static_cast<unsigned long>(caps.MaxTextureHeight));
    std::printf("cube maps: %s\nvolume maps: %s\nsquare only: %s\npow2 only: %s\nnon-pow2 conditional: %s\n",
                YesNo(caps.TextureCaps & D3DPTEXTURECAPS_CUBEMAP), YesNo(caps.TextureCaps & D3DPTEXTURECAPS_VOLUMEMAP),
                YesNo(caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY), YesNo(caps.TextureCaps & D3DPTEXTURECAPS_POW2),
                YesNo(caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL));
    std::printf("MRT post-pixel-shader blending: %s\n",
                YesNo(caps.PrimitiveMiscCaps & D3DPMISCCAPS_MRTPOSTPIXELSHADERBLENDING));
    const HRESULT fp16 = d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                                D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_TEXTURE,
                                                D3DFMT_A16B16G16R16F);
    std::printf("D3DFMT_A16B16G16R16F blending: %s\n", YesNo(fp16 == D3D_OK));
    std::printf("VertexProcessingCaps: 0x%08lx\n", static_cast<unsigned long>(caps.VertexProcessingCaps));
    std::printf("multisample D3DFMT_X8R8G8B8: %s\n", MultisampleList(d3d, D3DFMT_X8R8G8B8).c_str());
    std::printf("multisample D3DFMT_D16: %s\n", MultisampleList(d3d, D3DFMT_D16).c_str());
    return 0;
}

int RunGfx(const std::vector<std::string>& args)
{
    if (args.size() != 1 || args[0] != "info")
        throw ToolUsageError{args.empty() ? "gfx needs a subcommand" : "unknown gfx subcommand \"" + args[0] + "\""};
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) {
        std::fprintf(stderr, "orvala-tool: the graphics system did not start\n");
        return 1;
    }
    const int result = InfoCommand(d3d);
    d3d->Release();
    return result;
}

const ToolCommandRegistration registration("gfx", {ToolUsage({{"gfx info", "", {}, 0, ""}}), RunGfx});

} // namespace

#include "d3d9/gl/GLAdapter.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <tuple>

#include "d3d9/D3DFormatInfo.h"
#include "d3d9/D3DValidation.h"
#include "d3d9/gl/GLFormat.h"
#include "sdl/SDLVideo.h"

namespace {

std::vector<UINT> SampleCounts(GLenum internalFormat)
{
    GLint count = 0;
    glGetInternalformativ(GL_RENDERBUFFER, internalFormat, GL_NUM_SAMPLE_COUNTS, 1, &count);
    std::vector<GLint> samples(static_cast<size_t>(std::max(count, 0)));
    if (count > 0)
        glGetInternalformativ(GL_RENDERBUFFER, internalFormat, GL_SAMPLES, count, samples.data());
    std::vector<UINT> result;
    for (GLint s : samples)
        if (s >= 2 && s <= 16)
            result.push_back(static_cast<UINT>(s));
    std::sort(result.begin(), result.end());
    return result;
}

void FillModes(GLAdapterInfo& info)
{
    if (IsHeadless()) {
        static const UINT kModes[][2] = {{640, 480},   {800, 600},   {1024, 768},  {1280, 720},  {1280, 1024},
                                         {1366, 768},  {1600, 900},  {1680, 1050}, {1920, 1080}};
        for (const auto& m : kModes)
            info.modes.push_back({m[0], m[1], 60, D3DFMT_X8R8G8B8});
        info.desktop = {1920, 1080, 60, D3DFMT_X8R8G8B8};
        return;
    }
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayMode(0, i, &mode) != 0 || mode.w <= 0 || mode.h <= 0)
            continue;
        info.modes.push_back({static_cast<UINT>(mode.w), static_cast<UINT>(mode.h),
                              static_cast<UINT>(mode.refresh_rate > 0 ? mode.refresh_rate : 60), D3DFMT_X8R8G8B8});
    }
    auto key = [](const D3DDISPLAYMODE& m) { return std::make_tuple(m.Width, m.Height, m.RefreshRate); };
    std::sort(info.modes.begin(), info.modes.end(),
              [&](const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) { return key(a) < key(b); });
    info.modes.erase(std::unique(info.modes.begin(), info.modes.end(),
                                 [&](const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) { return key(a) == key(b); }),
                     info.modes.end());
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0)
        info.desktop = {static_cast<UINT>(desktop.w), static_cast<UINT>(desktop.h),
                        static_cast<UINT>(desktop.refresh_rate > 0 ? desktop.refresh_rate : 60), D3DFMT_X8R8G8B8};
    else if (!info.modes.empty())
        info.desktop = info.modes.back();
    if (info.modes.empty())
        info.modes.push_back(info.desktop);
}

void FillCaps(GLAdapterInfo& info)
{
    D3DCAPS9& c = info.caps;
    GLint maxTexture = 0, max3D = 0, maxCube = 0, maxDrawBuffers = 0, maxAttribs = 0;
    GLfloat pointRange[2] = {1, 1};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &max3D);
    glGetIntegerv(GL_MAX_CUBE_MAP_TEXTURE_SIZE, &maxCube);
    glGetIntegerv(GL_MAX_DRAW_BUFFERS, &maxDrawBuffers);
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS, &maxAttribs);
    glGetFloatv(GL_POINT_SIZE_RANGE, pointRange);
    GLfloat maxAnisotropy = 1;
    if (info.anisotropy)
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
    info.maxVertexAttribs = maxAttribs;

    c.DeviceType = D3DDEVTYPE_HAL;
    c.AdapterOrdinal = 0;
    c.Caps2 = D3DCAPS2_DYNAMICTEXTURES | D3DCAPS2_CANAUTOGENMIPMAP | D3DCAPS2_FULLSCREENGAMMA;
    c.Caps3 = D3DCAPS3_COPY_TO_VIDMEM | D3DCAPS3_COPY_TO_SYSTEMMEM | D3DCAPS3_ALPHA_FULLSCREEN_FLIP_OR_DISCARD;
    c.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    c.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_EXECUTEVIDEOMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                D3DDEVCAPS_TLVERTEXVIDEOMEMORY | D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX |
                D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_PUREDEVICE;
    c.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                          D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_BLENDOP |
                          D3DPMISCCAPS_INDEPENDENTWRITEMASKS | D3DPMISCCAPS_SEPARATEALPHABLEND |
                          D3DPMISCCAPS_MRTINDEPENDENTBITDEPTHS | D3DPMISCCAPS_MRTPOSTPIXELSHADERBLENDING;
    c.RasterCaps = D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_MIPMAPLODBIAS | D3DPRASTERCAPS_SCISSORTEST |
                   D3DPRASTERCAPS_SLOPESCALEDEPTHBIAS | D3DPRASTERCAPS_DEPTHBIAS |
                   D3DPRASTERCAPS_MULTISAMPLE_TOGGLE | D3DPRASTERCAPS_COLORPERSPECTIVE |
                   (info.anisotropy ? D3DPRASTERCAPS_ANISOTROPY : 0);
    c.ZCmpCaps = c.AlphaCmpCaps = 0xFF;
    c.SrcBlendCaps = c.DestBlendCaps = 0x3FFF;
    c.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_PROJECTED |
                    D3DPTEXTURECAPS_CUBEMAP | D3DPTEXTURECAPS_VOLUMEMAP | D3DPTEXTURECAPS_MIPMAP |
                    D3DPTEXTURECAPS_MIPVOLUMEMAP | D3DPTEXTURECAPS_MIPCUBEMAP;
    const DWORD filters = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MIPFPOINT |
                          D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR |
                          (info.anisotropy ? D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MAGFANISOTROPIC : 0);
    c.TextureFilterCaps = c.CubeTextureFilterCaps = c.VolumeTextureFilterCaps = c.VertexTextureFilterCaps = filters;
    c.StretchRectFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                              D3DPTFILTERCAPS_MAGFLINEAR;
    c.TextureAddressCaps = c.VolumeTextureAddressCaps =
        D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_BORDER |
        D3DPTADDRESSCAPS_INDEPENDENTUV | D3DPTADDRESSCAPS_MIRRORONCE;
    c.LineCaps = 0x1F;
    c.MaxTextureWidth = c.MaxTextureHeight = static_cast<DWORD>(maxTexture);
    c.MaxVolumeExtent = static_cast<DWORD>(max3D);
    c.MaxTextureRepeat = 8192;
    c.MaxTextureAspectRatio = static_cast<DWORD>(maxTexture);
    c.MaxAnisotropy = static_cast<DWORD>(std::max(1.0f, maxAnisotropy));
    c.MaxVertexW = 1e10f;
    c.GuardBandLeft = c.GuardBandTop = -32768.f;
    c.GuardBandRight = c.GuardBandBottom = 32768.f;
    c.StencilCaps = 0x1FF;
    c.FVFCaps = 8 | D3DFVFCAPS_PSIZE;
    c.MaxTextureBlendStages = 8;
    c.MaxSimultaneousTextures = 8;
    c.VertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS |
                             D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
    c.MaxActiveLights = 8;
    c.MaxUserClipPlanes = 6;
    c.MaxPointSize = pointRange[1];
    c.MaxPrimitiveCount = 0xFFFFFF;
    c.MaxVertexIndex = 0xFFFFFF;
    c.MaxStreams = 16;
    c.MaxStreamStride = 255;
    c.VertexShaderVersion = D3DVS_VERSION(3, 0);
    c.MaxVertexShaderConst = 256;
    c.PixelShaderVersion = D3DPS_VERSION(3, 0);
    c.PixelShader1xMaxValue = 65504.f;
    c.DevCaps2 = D3DDEVCAPS2_STREAMOFFSET | D3DDEVCAPS2_CAN_STRETCHRECT_FROM_TEXTURES |
                 D3DDEVCAPS2_VERTEXELEMENTSCANSHARESTREAMOFFSET;
    c.MasterAdapterOrdinal = 0;
    c.AdapterOrdinalInGroup = 0;
    c.NumberOfAdaptersInGroup = 1;
    c.DeclTypes = 0x3FF;
    c.NumSimultaneousRTs = static_cast<DWORD>(std::min(maxDrawBuffers, 4));
    c.VS20Caps = {1, 24, 32, 4};
    c.PS20Caps = {0x1F, 24, 32, 4, 512};
    c.MaxVShaderInstructionsExecuted = 65535;
    c.MaxPShaderInstructionsExecuted = 65535;
    c.MaxVertexShader30InstructionSlots = 32768;
    c.MaxPixelShader30InstructionSlots = 32768;
}

GLAdapterInfo Probe()
{
    GLAdapterInfo info;
    if (!EnsureSDLVideo()) {
        info.error = std::string("SDL video did not start: ") + SDL_GetError();
        return info;
    }
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    SDL_Window* window = SDL_CreateWindow("GL probe", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        info.error = std::string("no OpenGL 4.5 core context: ") + SDL_GetError();
    } else {
        info.valid = true;
        info.renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        info.version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        info.anisotropy = epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                          epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
        info.s3tc = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");
        FillCaps(info);
        info.colourSamples = SampleCounts(GL_RGBA8);
        info.halfFloatSamples = SampleCounts(GL_RGBA16F);
        info.depth24Samples = SampleCounts(GL_DEPTH24_STENCIL8);
        info.depth16Samples = SampleCounts(GL_DEPTH_COMPONENT16);
        GLint blend = GL_NONE;
        glGetInternalformativ(GL_TEXTURE_2D, GL_RGBA16F, GL_FRAMEBUFFER_BLEND, 1, &blend);
        info.halfFloatBlending = blend == GL_FULL_SUPPORT;
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
    }
    if (window)
        SDL_DestroyWindow(window);
    if (previousContext)
        SDL_GL_MakeCurrent(previousWindow, previousContext);
    FillModes(info);
    return info;
}

bool Contains(const std::vector<UINT>& list, UINT value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

bool ApplyAdapterCapsOverride(const char* text, GLAdapterInfo& info)
{
    GLAdapterInfo changed = info;
    D3DCAPS9& c = changed.caps;
    const std::pair<const char*, DWORD*> fields[] = {
        {"NumSimultaneousRTs", &c.NumSimultaneousRTs},     {"VertexShaderVersion", &c.VertexShaderVersion},
        {"PixelShaderVersion", &c.PixelShaderVersion},     {"MaxTextureWidth", &c.MaxTextureWidth},
        {"MaxTextureHeight", &c.MaxTextureHeight},         {"MaxVolumeExtent", &c.MaxVolumeExtent},
        {"TextureCaps", &c.TextureCaps},                   {"PrimitiveMiscCaps", &c.PrimitiveMiscCaps},
        {"VertexProcessingCaps", &c.VertexProcessingCaps},
    };
    std::string all(text ? text : "");
    std::size_t at = 0;
    while (at <= all.size()) {
        std::size_t end = all.find_first_of(";,", at);
        if (end == std::string::npos)
            end = all.size();
        const std::string pair = all.substr(at, end - at);
        at = end + 1;
        if (pair.empty())
            continue;
        const std::size_t equals = pair.find('=');
        if (equals == std::string::npos)
            return false;
        const std::string name = pair.substr(0, equals);
        const std::string value = pair.substr(equals + 1);
        char* rest = nullptr;
        const unsigned long number = std::strtoul(value.c_str(), &rest, 0);
        if (value.empty() || *rest != '\0')
            return false;
        if (name == "HalfFloatBlending") {
            changed.halfFloatBlending = changed.halfFloatBlending && number != 0;
            continue;
        }
        bool known = false;
        for (const auto& field : fields) {
            if (name == field.first) {
                *field.second = static_cast<DWORD>(number);
                known = true;
            }
        }
        if (!known)
            return false;
    }
    info = changed;
    return true;
}

const GLAdapterInfo& GetGLAdapterInfo()
{
    static const GLAdapterInfo info = Probe();
    return info;
}

GLAdapterInfo GetReportedAdapterInfo()
{
    GLAdapterInfo info = GetGLAdapterInfo();
    if (const char* limits = std::getenv("ORVALA_D3D_CAPS"); limits && info.valid)
        if (!ApplyAdapterCapsOverride(limits, info))
            std::fprintf(stderr, "ORVALA_D3D_CAPS ignored: cannot read \"%s\"\n", limits);
    return info;
}

const std::vector<UINT>& GLSampleCounts(const GLAdapterInfo& info, D3DFORMAT format)
{
    static const std::vector<UINT> none;
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return info.colourSamples;
    case D3DFMT_A16B16G16R16F:
    case D3DFMT_G16R16F:
    case D3DFMT_R16F:
        return info.halfFloatSamples;
    case D3DFMT_D24S8:
        return info.depth24Samples;
    case D3DFMT_D16:
        return info.depth16Samples;
    default:
        return none;
    }
}

D3DAdapterFormats GLAdapterFormats(const GLAdapterInfo& info)
{
    D3DAdapterFormats formats;
    formats.compressedTextures = info.s3tc;
    formats.floatBlending = info.halfFloatBlending;
    return formats;
}

HRESULT GLCheckDeviceFormat(const GLAdapterInfo& info, D3DFORMAT adapterFormat, DWORD usage, D3DRESOURCETYPE type,
                            D3DFORMAT format)
{
    if (const HRESULT hr = CheckD3DAdapterFormat(adapterFormat); hr != D3D_OK)
        return hr;
    return CheckD3DDeviceFormat(info.caps, GLAdapterFormats(info), usage, type, format);
}

HRESULT GLCheckMultiSampleType(const GLAdapterInfo& info, D3DFORMAT format, D3DMULTISAMPLE_TYPE type,
                               DWORD* qualityLevels)
{
    const D3DFormatInfo* d3d = FindD3DFormatInfo(format);
    if (qualityLevels)
        *qualityLevels = 0;
    if (!d3d || !FindGLFormat(format) || (!d3d->renderTarget && !d3d->depthBuffer))
        return D3DERR_NOTAVAILABLE;
    const std::vector<UINT>& counts = GLSampleCounts(info, format);
    if (type == D3DMULTISAMPLE_NONE) {
        if (qualityLevels)
            *qualityLevels = 1;
        return D3D_OK;
    }
    if (type == D3DMULTISAMPLE_NONMASKABLE) {
        // Quality level q of the non-maskable type is the (q+1)-th sample count.
        if (counts.empty())
            return D3DERR_NOTAVAILABLE;
        if (qualityLevels)
            *qualityLevels = static_cast<DWORD>(counts.size());
        return D3D_OK;
    }
    if (type > D3DMULTISAMPLE_16_SAMPLES || !Contains(counts, static_cast<UINT>(type)))
        return D3DERR_NOTAVAILABLE;
    if (qualityLevels)
        *qualityLevels = 1;
    return D3D_OK;
}

#include "d3d9/D3DValidation.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "d3d9/D3DFormatInfo.h"

HRESULT CheckD3DPresentationInterval(UINT interval)
{
    switch (interval) {
    case D3DPRESENT_INTERVAL_DEFAULT:
    case D3DPRESENT_INTERVAL_ONE:
    case D3DPRESENT_INTERVAL_TWO:
    case D3DPRESENT_INTERVAL_THREE:
    case D3DPRESENT_INTERVAL_FOUR:
    case D3DPRESENT_INTERVAL_IMMEDIATE:
        return D3D_OK;
    default:
        return D3DERR_INVALIDCALL;
    }
}

HRESULT CheckD3DAdapterFormat(D3DFORMAT format)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    if (info == nullptr || !info->display) {
        return D3DERR_INVALIDCALL;
    }
    return format == D3DFMT_X8R8G8B8 ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT CheckD3DBackBufferFormat(D3DFORMAT format)
{
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8 ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT CheckD3DAutoDepthStencilFormat(D3DFORMAT format)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    return info != nullptr && info->depthBuffer ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT CheckD3DSwapChain(const D3DPRESENT_PARAMETERS& p)
{
    constexpr DWORD kKnownFlags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER | D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL |
                                  D3DPRESENTFLAG_DEVICECLIP | D3DPRESENTFLAG_VIDEO;
    const bool multisampled = p.MultiSampleType != D3DMULTISAMPLE_NONE;
    if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY ||
        p.BackBufferCount > D3DPRESENT_BACK_BUFFERS_MAX ||
        (p.SwapEffect == D3DSWAPEFFECT_COPY && p.BackBufferCount > 1) || (p.Flags & ~kKnownFlags) != 0 ||
        p.MultiSampleType > D3DMULTISAMPLE_16_SAMPLES ||
        (multisampled &&
         (p.SwapEffect != D3DSWAPEFFECT_DISCARD || (p.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0)) ||
        (p.Windowed && p.FullScreen_RefreshRateInHz != 0) ||
        CheckD3DPresentationInterval(p.PresentationInterval) != D3D_OK) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT CheckD3DBufferLockFlags(DWORD flags)
{
    constexpr DWORD kKnown = D3DLOCK_READONLY | D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE | D3DLOCK_NOSYSLOCK |
                             D3DLOCK_DONOTWAIT;
    if ((flags & ~kKnown) != 0 || ((flags & D3DLOCK_DISCARD) != 0 && (flags & D3DLOCK_READONLY) != 0)) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

namespace {

bool ExceedsLimit(UINT size, DWORD limit)
{
    return limit != 0 && size > limit;
}

} // namespace

HRESULT CheckD3DViewport(const D3DCAPS9& caps, const D3DVIEWPORT9* viewport, bool hasTarget)
{
    if (viewport == nullptr || !hasTarget) {
        return D3DERR_INVALIDCALL;
    }
    const D3DVIEWPORT9& v = *viewport;
    const auto beyond = [](std::uint64_t end, DWORD limit) { return limit != 0 && end > limit; };
    // The negated comparisons refuse NaN depths too.
    if (v.Width == 0 || v.Height == 0 || beyond(std::uint64_t{v.X} + v.Width, caps.MaxTextureWidth) ||
        beyond(std::uint64_t{v.Y} + v.Height, caps.MaxTextureHeight) || !(v.MinZ >= 0.f && v.MinZ <= 1.f) ||
        !(v.MaxZ >= 0.f && v.MaxZ <= 1.f)) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT CheckD3DScissorRect(const RECT* rect)
{
    if (rect == nullptr || rect->left < 0 || rect->top < 0 || rect->right < rect->left || rect->bottom < rect->top) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT CheckD3DStreamSource(const D3DCAPS9& caps, UINT stream, bool withBuffer, UINT offset, UINT stride)
{
    const UINT streams = caps.MaxStreams != 0 && caps.MaxStreams < 16 ? caps.MaxStreams : 16;
    if (stream >= streams) {
        return D3DERR_INVALIDCALL;
    }
    if (withBuffer && (offset % 4 != 0 || (offset != 0 && (caps.DevCaps2 & D3DDEVCAPS2_STREAMOFFSET) == 0) ||
                       ExceedsLimit(stride, caps.MaxStreamStride))) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT CheckD3DClear(DWORD count, const D3DRECT* rects, DWORD flags, float z, D3DFORMAT depthFormat)
{
    constexpr DWORD kKnown = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
    if ((count != 0 && rects == nullptr) || flags == 0 || (flags & ~kKnown) != 0 || !(z >= 0.f && z <= 1.f)) {
        return D3DERR_INVALIDCALL;
    }
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0) {
        const D3DFormatInfo* depth = FindD3DFormatInfo(depthFormat);
        if (depth == nullptr || !depth->depthBuffer || ((flags & D3DCLEAR_STENCIL) != 0 && !depth->stencil)) {
            return D3DERR_INVALIDCALL;
        }
    }
    return D3D_OK;
}

namespace {

bool DisplacementMaps(const D3DCAPS9& caps)
{
    return (caps.DevCaps2 & (D3DDEVCAPS2_DMAPNPATCH | D3DDEVCAPS2_PRESAMPLEDDMAPNPATCH)) != 0;
}

bool IsTextureType(D3DRESOURCETYPE type)
{
    return type == D3DRTYPE_TEXTURE || type == D3DRTYPE_CUBETEXTURE || type == D3DRTYPE_VOLUMETEXTURE;
}

// The top level of a block format holds whole blocks (lower levels of a chain may not).
bool WholeBlocks(const D3DFormatInfo& info, UINT width, UINT height)
{
    return width % info.blockWidth == 0 && height % info.blockHeight == 0;
}

} // namespace

HRESULT CheckD3DDeviceFormat(const D3DCAPS9& caps, const D3DAdapterFormats& adapter, DWORD usage,
                             D3DRESOURCETYPE type, D3DFORMAT format)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    if (info == nullptr) {
        return D3DERR_NOTAVAILABLE;
    }
    if (type == D3DRTYPE_INDEXBUFFER) {
        return info->indexBuffer ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    const bool texture = IsTextureType(type);
    if (!texture && type != D3DRTYPE_SURFACE) {
        return D3DERR_NOTAVAILABLE; // vertex buffers and volumes have no format of their own to check
    }
    if ((usage & D3DUSAGE_DEPTHSTENCIL) != 0 ? !info->depthBuffer || type != D3DRTYPE_SURFACE : !info->texture) {
        return D3DERR_NOTAVAILABLE;
    }
    // Block-compressed volumes are beyond the adapter, and DXT itself beyond a GL without S3TC.
    if (info->compressed && (!adapter.compressedTextures || type == D3DRTYPE_VOLUMETEXTURE)) {
        return D3DERR_NOTAVAILABLE;
    }
    if ((usage & D3DUSAGE_RENDERTARGET) != 0 && (!info->renderTarget || type == D3DRTYPE_VOLUMETEXTURE)) {
        return D3DERR_NOTAVAILABLE;
    }
    if ((usage & D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING) != 0 &&
        (!info->renderTarget || (info->floatingPoint && !adapter.floatBlending))) {
        return D3DERR_NOTAVAILABLE;
    }
    if ((usage & (D3DUSAGE_QUERY_SRGBREAD | D3DUSAGE_QUERY_SRGBWRITE | D3DUSAGE_QUERY_LEGACYBUMPMAP)) != 0 ||
        ((usage & D3DUSAGE_DMAP) != 0 && !DisplacementMaps(caps))) {
        return D3DERR_NOTAVAILABLE;
    }
    if ((usage & D3DUSAGE_AUTOGENMIPMAP) != 0) {
        if (!texture) {
            return D3DERR_NOTAVAILABLE;
        }
        // A chain is generated by drawing each level from the one above: block formats cannot be drawn.
        if (info->compressed) {
            return D3DOK_NOAUTOGEN;
        }
    }
    return D3D_OK;
}

HRESULT CheckD3DTargetFormatKind(DWORD usage, D3DFORMAT format)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    if (info == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const bool colour = !info->depth && info->bytes != 0 && !info->indexBuffer;
    if (((usage & D3DUSAGE_RENDERTARGET) != 0 && !colour) || ((usage & D3DUSAGE_DEPTHSTENCIL) != 0 && !info->depth)) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT CheckD3DTextureArguments(const D3DCAPS9& caps, const D3DAdapterFormats& adapter, D3DRESOURCETYPE type,
                                 UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                                 D3DPOOL pool, D3DTextureLevels* made)
{
    // D3DUSAGE_WRITEONLY is a buffer's usage: a texture made with it is an invalid call.
    constexpr DWORD kKnownUsage = D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_DYNAMIC |
                                  D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DMAP;
    const bool volume = type == D3DRTYPE_VOLUMETEXTURE;
    const bool target = (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) != 0;
    const bool dynamic = (usage & D3DUSAGE_DYNAMIC) != 0;
    const bool autoGen = (usage & D3DUSAGE_AUTOGENMIPMAP) != 0;
    if (width == 0 || height == 0 || depth == 0 || pool > D3DPOOL_SCRATCH || (usage & ~kKnownUsage) != 0 ||
        ((usage & D3DUSAGE_RENDERTARGET) != 0 && (usage & D3DUSAGE_DEPTHSTENCIL) != 0) ||
        (target && (pool != D3DPOOL_DEFAULT || volume)) || (dynamic && (pool == D3DPOOL_MANAGED || target)) ||
        (autoGen && (pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_SCRATCH || levels > 1)) ||
        (autoGen && volume && (pool == D3DPOOL_MANAGED || dynamic))) {
        return D3DERR_INVALIDCALL;
    }
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    if (info == nullptr || (target && CheckD3DTargetFormatKind(usage, format) != D3D_OK)) {
        return D3DERR_INVALIDCALL;
    }
    // Scratch is memory the device never sees: it holds whatever can be locked.
    const HRESULT offered =
        pool == D3DPOOL_SCRATCH ? (info->lockable ? D3D_OK : D3DERR_NOTAVAILABLE)
                                : CheckD3DDeviceFormat(caps, adapter, usage, type, format);
    if (offered < 0) {
        return D3DERR_NOTAVAILABLE;
    }
    if (!WholeBlocks(*info, width, height)) {
        return D3DERR_INVALIDCALL;
    }
    if (volume ? ExceedsLimit(width, caps.MaxVolumeExtent) || ExceedsLimit(height, caps.MaxVolumeExtent) ||
                     ExceedsLimit(depth, caps.MaxVolumeExtent)
               : ExceedsLimit(width, caps.MaxTextureWidth) || ExceedsLimit(height, caps.MaxTextureHeight)) {
        return D3DERR_INVALIDCALL;
    }
    const UINT full = D3DFullMipLevelCount(width, height, volume ? depth : 1);
    if (levels > full) {
        return D3DERR_INVALIDCALL;
    }
    if (made != nullptr) {
        made->shown = autoGen ? 1 : (levels == 0 ? full : levels);
        made->generated = autoGen && offered == D3D_OK;
    }
    return D3D_OK;
}

HRESULT CheckD3DSurfaceArguments(const D3DCAPS9& caps, const D3DAdapterFormats& adapter, D3DSurfaceKind kind,
                                 UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                 D3DMULTISAMPLE_TYPE multiSample, DWORD quality, DWORD qualityLevels)
{
    if (width == 0 || height == 0 || ExceedsLimit(width, caps.MaxTextureWidth) ||
        ExceedsLimit(height, caps.MaxTextureHeight)) {
        return D3DERR_INVALIDCALL;
    }
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    if (kind == D3DSurfaceKind::Plain) {
        if (pool == D3DPOOL_MANAGED || pool > D3DPOOL_SCRATCH || info == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        const bool offered = pool == D3DPOOL_SCRATCH
                                 ? info->lockable
                                 : CheckD3DDeviceFormat(caps, adapter, 0, D3DRTYPE_SURFACE, format) == D3D_OK;
        if (!offered) {
            return D3DERR_NOTAVAILABLE;
        }
        return WholeBlocks(*info, width, height) ? D3D_OK : D3DERR_INVALIDCALL;
    }
    const DWORD usage = kind == D3DSurfaceKind::RenderTarget ? D3DUSAGE_RENDERTARGET : D3DUSAGE_DEPTHSTENCIL;
    if (const HRESULT hr = CheckD3DTargetFormatKind(usage, format); hr != D3D_OK) {
        return hr;
    }
    if (multiSample > D3DMULTISAMPLE_16_SAMPLES) {
        return D3DERR_INVALIDCALL;
    }
    if (CheckD3DDeviceFormat(caps, adapter, usage, D3DRTYPE_SURFACE, format) != D3D_OK) {
        return D3DERR_NOTAVAILABLE;
    }
    // Quality levels run from 0 to one less than the device reports for the type.
    if (quality >= qualityLevels) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT CheckD3DVertexElements(const D3DVERTEXELEMENT9* elements, UINT* count)
{
    if (elements == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    for (UINT i = 0; i <= MAXD3DDECLLENGTH; ++i) {
        const D3DVERTEXELEMENT9& e = elements[i];
        if (e.Stream == 0xFF && e.Type == D3DDECLTYPE_UNUSED) {
            if (count != nullptr) {
                *count = i;
            }
            return D3D_OK;
        }
        if (e.Stream >= 16 || e.Type > D3DDECLTYPE_UNUSED || e.Method > MAXD3DDECLMETHOD ||
            e.Usage > MAXD3DDECLUSAGE || e.UsageIndex > MAXD3DDECLUSAGEINDEX) {
            return D3DERR_INVALIDCALL;
        }
        for (UINT j = 0; j < i; ++j) {
            if (elements[j].Usage == e.Usage && elements[j].UsageIndex == e.UsageIndex) {
                return D3DERR_INVALIDCALL;
            }
        }
        // An element that reads nothing, or from an offset a vertex fetch cannot start at, is
        // refused with the generic failure drivers answer for it.
        if (e.Type == D3DDECLTYPE_UNUSED || e.Offset % 4 != 0) {
            return E_FAIL;
        }
    }
    return D3DERR_INVALIDCALL;
}

HRESULT CheckD3DQueryGetData(const void* data, DWORD size, DWORD flags)
{
    if ((flags & ~DWORD{D3DGETDATA_FLUSH}) != 0 || (data == nullptr && size != 0)) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

void D3DCopyQueryResult(const void* result, DWORD resultSize, void* data, DWORD size)
{
    if (data != nullptr && size != 0) {
        std::memcpy(data, result, size < resultSize ? size : resultSize);
    }
}

int D3DSamplerSlot(const D3DCAPS9& caps, DWORD sampler)
{
    if (sampler < kD3DPixelSamplers) {
        return static_cast<int>(sampler);
    }
    if (sampler >= D3DVERTEXTEXTURESAMPLER0 && sampler <= D3DVERTEXTEXTURESAMPLER3) {
        return static_cast<int>(kD3DPixelSamplers + (sampler - D3DVERTEXTEXTURESAMPLER0));
    }
    if (sampler == D3DDMAPSAMPLER &&
        (caps.DevCaps2 & (D3DDEVCAPS2_DMAPNPATCH | D3DDEVCAPS2_PRESAMPLEDDMAPNPATCH)) != 0) {
        return static_cast<int>(kD3DDisplacementMapSlot);
    }
    return -1;
}

D3DDeviceLossInjector::D3DDeviceLossInjector()
{
    std::string method;
    unsigned nth = 0;
    if (Parse(std::getenv("ORVALA_D3D_DEVICE_LOST"), method, nth)) {
        countdown_[method] = nth;
    }
}

void D3DDeviceLossInjector::Arm(const char* method, unsigned nth)
{
    if (method == nullptr || nth == 0) {
        countdown_.clear();
        return;
    }
    countdown_[method] = nth;
}

bool D3DDeviceLossInjector::Lose(const char* method)
{
    if (countdown_.empty()) {
        return false;
    }
    auto found = countdown_.find(method);
    if (found == countdown_.end() || --found->second != 0) {
        return false;
    }
    countdown_.erase(found);
    return true;
}

bool D3DDeviceLossInjector::Parse(const char* text, std::string& method, unsigned& nth)
{
    if (text == nullptr) {
        return false;
    }
    const char* colon = std::strchr(text, ':');
    if (colon == nullptr || colon == text || colon[1] < '0' || colon[1] > '9') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(colon + 1, &end, 10);
    if (errno != 0 || *end != '\0' || value == 0 || value > 0xFFFFFFFFull) {
        return false;
    }
    method.assign(text, colon);
    nth = static_cast<unsigned>(value);
    return true;
}

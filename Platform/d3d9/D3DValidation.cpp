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

HRESULT CheckD3DBackBufferFormat(D3DFORMAT format)
{
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8 ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT CheckD3DAutoDepthStencilFormat(D3DFORMAT format)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    return info != nullptr && info->depthBuffer ? D3D_OK : D3DERR_NOTAVAILABLE;
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

HRESULT CheckD3DTextureArguments(const D3DCAPS9& caps, D3DRESOURCETYPE type, UINT width, UINT height, UINT depth,
                                 UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool, UINT* levelsMade)
{
    // D3DUSAGE_WRITEONLY is a buffer's usage: a texture made with it is an invalid call.
    constexpr DWORD kKnownUsage = D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_DYNAMIC |
                                  D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DMAP;
    const bool volume = type == D3DRTYPE_VOLUMETEXTURE;
    const bool target = (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) != 0;
    const bool autoGen = (usage & D3DUSAGE_AUTOGENMIPMAP) != 0;
    if (width == 0 || height == 0 || depth == 0 || pool > D3DPOOL_SCRATCH || (usage & ~kKnownUsage) != 0 ||
        ((usage & D3DUSAGE_RENDERTARGET) != 0 && (usage & D3DUSAGE_DEPTHSTENCIL) != 0) ||
        (target && (pool != D3DPOOL_DEFAULT || volume)) ||
        ((usage & D3DUSAGE_DYNAMIC) != 0 && (pool == D3DPOOL_MANAGED || target)) ||
        (autoGen && (pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_SCRATCH || levels > 1))) {
        return D3DERR_INVALIDCALL;
    }
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    const bool displacementMaps =
        (caps.DevCaps2 & (D3DDEVCAPS2_DMAPNPATCH | D3DDEVCAPS2_PRESAMPLEDDMAPNPATCH)) != 0;
    if (info == nullptr || !info->texture || ((usage & D3DUSAGE_RENDERTARGET) != 0 && !info->renderTarget) ||
        ((usage & D3DUSAGE_DEPTHSTENCIL) != 0 && !info->depthBuffer) ||
        ((usage & D3DUSAGE_DMAP) != 0 && !displacementMaps)) {
        return D3DERR_NOTAVAILABLE;
    }
    // Blocks of 4 x 4 texels fill a compressed level; its chain is not generated.
    if (info->compressed && (width % 4 != 0 || height % 4 != 0 || autoGen)) {
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
    if (levelsMade != nullptr) {
        *levelsMade = autoGen ? 1 : (levels == 0 ? full : levels);
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

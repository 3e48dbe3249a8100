#include "d3d9/D3DFormatInfo.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <iterator>

namespace {

// clang-format off
const D3DFormatInfo kFormats[] = {
    //  format                 name                     bytes  compr  depth  stenc  float  tex    rt     ds     index
    {D3DFMT_A8R8G8B8,      "D3DFMT_A8R8G8B8",      4,  false, false, false, false, true,  true,  false, false},
    {D3DFMT_X8R8G8B8,      "D3DFMT_X8R8G8B8",      4,  false, false, false, false, true,  true,  false, false},
    {D3DFMT_L8,            "D3DFMT_L8",            1,  false, false, false, false, true,  false, false, false},
    {D3DFMT_R16F,          "D3DFMT_R16F",          2,  false, false, false, true,  true,  true,  false, false},
    {D3DFMT_G16R16F,       "D3DFMT_G16R16F",       4,  false, false, false, true,  true,  true,  false, false},
    {D3DFMT_A16B16G16R16F, "D3DFMT_A16B16G16R16F", 8,  false, false, false, true,  true,  true,  false, false},
    {D3DFMT_DXT1,          "D3DFMT_DXT1",          8,  true,  false, false, false, true,  false, false, false},
    {D3DFMT_DXT3,          "D3DFMT_DXT3",          16, true,  false, false, false, true,  false, false, false},
    {D3DFMT_DXT5,          "D3DFMT_DXT5",          16, true,  false, false, false, true,  false, false, false},
    {D3DFMT_D24S8,         "D3DFMT_D24S8",         4,  false, true,  true,  false, false, false, true,  false},
    {D3DFMT_D16,           "D3DFMT_D16",           2,  false, true,  false, false, false, false, true,  false},
    {D3DFMT_INDEX16,       "D3DFMT_INDEX16",       2,  false, false, false, false, false, false, false, true},
    {D3DFMT_INDEX32,       "D3DFMT_INDEX32",       4,  false, false, false, false, false, false, false, true},
};
// clang-format on

bool HasTexelLayout(const D3DFormatInfo* info)
{
    return info != nullptr && !info->indexBuffer;
}

} // namespace

const D3DFormatInfo* FindD3DFormatInfo(D3DFORMAT format)
{
    auto it = std::find_if(std::begin(kFormats), std::end(kFormats),
                           [format](const D3DFormatInfo& info) { return info.format == format; });
    return it == std::end(kFormats) ? nullptr : &*it;
}

UINT D3DFormatPitch(D3DFORMAT format, UINT width)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    if (!HasTexelLayout(info) || width == 0) {
        return 0;
    }
    std::uint64_t units = info->compressed ? (std::uint64_t{width} + 3) / 4 : width;
    std::uint64_t pitch = units * info->bytes;
    return pitch > static_cast<std::uint64_t>(INT_MAX) ? 0 : static_cast<UINT>(pitch);
}

UINT D3DFormatRowCount(D3DFORMAT format, UINT height)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    if (!HasTexelLayout(info)) {
        return 0;
    }
    return info->compressed ? static_cast<UINT>((std::uint64_t{height} + 3) / 4) : height;
}

std::uint64_t D3DFormatLevelSize(D3DFORMAT format, UINT width, UINT height, UINT depth)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    if (!HasTexelLayout(info) || width == 0 || height == 0 || depth == 0) {
        return 0;
    }
    // Each factor is below 2^35, so the first product fits; the others saturate.
    std::uint64_t units = info->compressed ? (std::uint64_t{width} + 3) / 4 : width;
    std::uint64_t size = units * info->bytes;
    for (std::uint64_t factor : {std::uint64_t{D3DFormatRowCount(format, height)}, std::uint64_t{depth}}) {
        if (size > UINT64_MAX / factor) {
            return UINT64_MAX;
        }
        size *= factor;
    }
    return size;
}

UINT D3DMipExtent(UINT size, UINT level)
{
    if (level >= 32) {
        return 1;
    }
    return std::max(1u, size >> level);
}

UINT D3DFullMipLevelCount(UINT width, UINT height, UINT depth)
{
    if (width == 0 || height == 0 || depth == 0) {
        return 0;
    }
    UINT largest = std::max({width, height, depth});
    UINT levels = 1;
    while (largest > 1) {
        largest >>= 1;
        ++levels;
    }
    return levels;
}

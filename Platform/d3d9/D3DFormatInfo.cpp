#include "d3d9/D3DFormatInfo.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <iterator>

namespace {

// Y and N in the table below.
constexpr bool Y = true;
constexpr bool N = false;

// clang-format off
const D3DFormatInfo kFormats[] = {
    // format, name, bytes, block width and height; then compressed, depth, stencil, floating point, lockable,
    // display; then the adapter's uses: texture, render target, depth buffer, index buffer
    {D3DFMT_R8G8B8,        "D3DFMT_R8G8B8",        3,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_A8R8G8B8,      "D3DFMT_A8R8G8B8",      4,  1, 1, N, N, N, N, Y, N, Y, Y, N, N},
    {D3DFMT_X8R8G8B8,      "D3DFMT_X8R8G8B8",      4,  1, 1, N, N, N, N, Y, Y, Y, Y, N, N},
    {D3DFMT_R5G6B5,        "D3DFMT_R5G6B5",        2,  1, 1, N, N, N, N, Y, Y, Y, N, N, N},
    {D3DFMT_X1R5G5B5,      "D3DFMT_X1R5G5B5",      2,  1, 1, N, N, N, N, Y, Y, Y, N, N, N},
    {D3DFMT_A1R5G5B5,      "D3DFMT_A1R5G5B5",      2,  1, 1, N, N, N, N, Y, N, Y, N, N, N},
    {D3DFMT_A4R4G4B4,      "D3DFMT_A4R4G4B4",      2,  1, 1, N, N, N, N, Y, N, Y, N, N, N},
    {D3DFMT_R3G3B2,        "D3DFMT_R3G3B2",        1,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_A8,            "D3DFMT_A8",            1,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_A8R3G3B2,      "D3DFMT_A8R3G3B2",      2,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_X4R4G4B4,      "D3DFMT_X4R4G4B4",      2,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_A2B10G10R10,   "D3DFMT_A2B10G10R10",   4,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_A8B8G8R8,      "D3DFMT_A8B8G8R8",      4,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_X8B8G8R8,      "D3DFMT_X8B8G8R8",      4,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_G16R16,        "D3DFMT_G16R16",        4,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_A2R10G10B10,   "D3DFMT_A2R10G10B10",   4,  1, 1, N, N, N, N, Y, Y, N, N, N, N},
    {D3DFMT_A16B16G16R16,  "D3DFMT_A16B16G16R16",  8,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_A8P8,          "D3DFMT_A8P8",          2,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_P8,            "D3DFMT_P8",            1,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_L8,            "D3DFMT_L8",            1,  1, 1, N, N, N, N, Y, N, Y, N, N, N},
    {D3DFMT_A8L8,          "D3DFMT_A8L8",          2,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_A4L4,          "D3DFMT_A4L4",          1,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_V8U8,          "D3DFMT_V8U8",          2,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_L6V5U5,        "D3DFMT_L6V5U5",        2,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_X8L8V8U8,      "D3DFMT_X8L8V8U8",      4,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_Q8W8V8U8,      "D3DFMT_Q8W8V8U8",      4,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_V16U16,        "D3DFMT_V16U16",        4,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_A2W10V10U10,   "D3DFMT_A2W10V10U10",   4,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    // Packed YUV: two texels share four bytes.
    {D3DFMT_UYVY,          "D3DFMT_UYVY",          4,  2, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_R8G8_B8G8,     "D3DFMT_R8G8_B8G8",     4,  2, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_YUY2,          "D3DFMT_YUY2",          4,  2, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_G8R8_G8B8,     "D3DFMT_G8R8_G8B8",     4,  2, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_DXT1,          "D3DFMT_DXT1",          8,  4, 4, Y, N, N, N, Y, N, Y, N, N, N},
    {D3DFMT_DXT2,          "D3DFMT_DXT2",          16, 4, 4, Y, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_DXT3,          "D3DFMT_DXT3",          16, 4, 4, Y, N, N, N, Y, N, Y, N, N, N},
    {D3DFMT_DXT4,          "D3DFMT_DXT4",          16, 4, 4, Y, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_DXT5,          "D3DFMT_DXT5",          16, 4, 4, Y, N, N, N, Y, N, Y, N, N, N},
    {D3DFMT_D16_LOCKABLE,  "D3DFMT_D16_LOCKABLE",  2,  1, 1, N, Y, N, N, Y, N, N, N, N, N},
    {D3DFMT_D32,           "D3DFMT_D32",           4,  1, 1, N, Y, N, N, N, N, N, N, N, N},
    {D3DFMT_D15S1,         "D3DFMT_D15S1",         2,  1, 1, N, Y, Y, N, N, N, N, N, N, N},
    {D3DFMT_D24S8,         "D3DFMT_D24S8",         4,  1, 1, N, Y, Y, N, N, N, N, N, Y, N},
    {D3DFMT_D24X8,         "D3DFMT_D24X8",         4,  1, 1, N, Y, N, N, N, N, N, N, N, N},
    {D3DFMT_D24X4S4,       "D3DFMT_D24X4S4",       4,  1, 1, N, Y, Y, N, N, N, N, N, N, N},
    {D3DFMT_D16,           "D3DFMT_D16",           2,  1, 1, N, Y, N, N, N, N, N, N, Y, N},
    {D3DFMT_D32F_LOCKABLE, "D3DFMT_D32F_LOCKABLE", 4,  1, 1, N, Y, N, Y, Y, N, N, N, N, N},
    {D3DFMT_D24FS8,        "D3DFMT_D24FS8",        4,  1, 1, N, Y, Y, Y, N, N, N, N, N, N},
    {D3DFMT_L16,           "D3DFMT_L16",           2,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    {D3DFMT_VERTEXDATA,    "D3DFMT_VERTEXDATA",    0,  1, 1, N, N, N, N, N, N, N, N, N, N},
    {D3DFMT_INDEX16,       "D3DFMT_INDEX16",       2,  1, 1, N, N, N, N, N, N, N, N, N, Y},
    {D3DFMT_INDEX32,       "D3DFMT_INDEX32",       4,  1, 1, N, N, N, N, N, N, N, N, N, Y},
    {D3DFMT_Q16W16V16U16,  "D3DFMT_Q16W16V16U16",  8,  1, 1, N, N, N, N, Y, N, N, N, N, N},
    // The element formats of a multi-element texture; no memory of its own.
    {D3DFMT_MULTI2_ARGB8,  "D3DFMT_MULTI2_ARGB8",  0,  1, 1, N, N, N, N, N, N, N, N, N, N},
    {D3DFMT_R16F,          "D3DFMT_R16F",          2,  1, 1, N, N, N, Y, Y, N, Y, Y, N, N},
    {D3DFMT_G16R16F,       "D3DFMT_G16R16F",       4,  1, 1, N, N, N, Y, Y, N, Y, Y, N, N},
    {D3DFMT_A16B16G16R16F, "D3DFMT_A16B16G16R16F", 8,  1, 1, N, N, N, Y, Y, N, Y, Y, N, N},
    {D3DFMT_R32F,          "D3DFMT_R32F",          4,  1, 1, N, N, N, Y, Y, N, N, N, N, N},
    {D3DFMT_G32R32F,       "D3DFMT_G32R32F",       8,  1, 1, N, N, N, Y, Y, N, N, N, N, N},
    {D3DFMT_A32B32G32R32F, "D3DFMT_A32B32G32R32F", 16, 1, 1, N, N, N, Y, Y, N, N, N, N, N},
    {D3DFMT_CxV8U8,        "D3DFMT_CxV8U8",        2,  1, 1, N, N, N, N, Y, N, N, N, N, N},
};
// clang-format on

// Formats whose memory is rows of texels (or blocks): not the buffer formats.
const D3DFormatInfo* WithTexelRows(D3DFORMAT format)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    return info != nullptr && info->bytes != 0 && !info->indexBuffer ? info : nullptr;
}

std::uint64_t Blocks(UINT size, UINT block)
{
    return (std::uint64_t{size} + block - 1) / block;
}

} // namespace

const D3DFormatInfo* FindD3DFormatInfo(D3DFORMAT format)
{
    auto it = std::find_if(std::begin(kFormats), std::end(kFormats),
                           [format](const D3DFormatInfo& info) { return info.format == format; });
    return it == std::end(kFormats) ? nullptr : &*it;
}

const D3DFormatInfo* D3DFormatInfoBegin()
{
    return std::begin(kFormats);
}

const D3DFormatInfo* D3DFormatInfoEnd()
{
    return std::end(kFormats);
}

UINT D3DFormatPitch(D3DFORMAT format, UINT width)
{
    const D3DFormatInfo* info = WithTexelRows(format);
    if (info == nullptr || width == 0) {
        return 0;
    }
    std::uint64_t pitch = Blocks(width, info->blockWidth) * info->bytes;
    return pitch > static_cast<std::uint64_t>(INT_MAX) ? 0 : static_cast<UINT>(pitch);
}

UINT D3DFormatRowCount(D3DFORMAT format, UINT height)
{
    const D3DFormatInfo* info = WithTexelRows(format);
    if (info == nullptr) {
        return 0;
    }
    return static_cast<UINT>(Blocks(height, info->blockHeight));
}

std::uint64_t D3DFormatLevelSize(D3DFORMAT format, UINT width, UINT height, UINT depth)
{
    const D3DFormatInfo* info = WithTexelRows(format);
    if (info == nullptr || width == 0 || height == 0 || depth == 0) {
        return 0;
    }
    // Each factor is below 2^35, so the first product fits; the others saturate.
    std::uint64_t size = Blocks(width, info->blockWidth) * info->bytes;
    for (std::uint64_t factor : {std::uint64_t{D3DFormatRowCount(format, height)}, std::uint64_t{depth}}) {
        if (size > UINT64_MAX / factor) {
            return UINT64_MAX;
        }
        size *= factor;
    }
    return size;
}

bool D3DFormatRectOnBlocks(const D3DFormatInfo& info, UINT left, UINT top, UINT right, UINT bottom, UINT width,
                           UINT height)
{
    auto onEdge = [](UINT value, UINT block, UINT size) { return value % block == 0 || value == size; };
    return left % info.blockWidth == 0 && top % info.blockHeight == 0 && onEdge(right, info.blockWidth, width) &&
           onEdge(bottom, info.blockHeight, height);
}

std::size_t D3DFormatTexelOffset(const D3DFormatInfo& info, UINT pitch, UINT x, UINT y)
{
    return std::size_t{y / info.blockHeight} * pitch + std::size_t{x / info.blockWidth} * info.bytes;
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

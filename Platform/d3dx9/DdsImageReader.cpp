// DDS files: "DDS ", a 124-byte header, then for each face (one, or six for a cube map in the
// order +X, -X, +Y, -Y, +Z, -Z) its mip levels from the largest down. A volume map has one face
// whose levels each hold all their slices, front to back.
#include <algorithm>
#include <cstring>

#include "d3d9/D3DFormatInfo.h"
#include "d3dx9/DdsImageReader.h"

namespace {

constexpr UINT kHeaderSize = 124;
constexpr UINT kPixelFormatSize = 32;
constexpr DWORD kFlagMipMapCount = 0x20000;
constexpr DWORD kPfAlphaPixels = 0x1;
constexpr DWORD kPfFourCC = 0x4;
constexpr DWORD kPfRgb = 0x40;
constexpr DWORD kPfLuminance = 0x20000;
constexpr DWORD kCaps2CubeMap = 0x200;
constexpr DWORD kCaps2AllFaces = 0xFC00;
constexpr DWORD kCaps2Volume = 0x200000;

DWORD ReadDword(const std::uint8_t* at)
{
    return static_cast<DWORD>(at[0]) | (static_cast<DWORD>(at[1]) << 8) | (static_cast<DWORD>(at[2]) << 16) |
           (static_cast<DWORD>(at[3]) << 24);
}

// The texture format of a DDS pixel format block, or D3DFMT_UNKNOWN when it is not one we load.
D3DFORMAT PixelFormat(const std::uint8_t* pf)
{
    DWORD flags = ReadDword(pf + 4);
    DWORD fourCC = ReadDword(pf + 8);
    DWORD bits = ReadDword(pf + 12);
    DWORD r = ReadDword(pf + 16);
    DWORD g = ReadDword(pf + 20);
    DWORD b = ReadDword(pf + 24);
    DWORD a = ReadDword(pf + 28);
    if ((flags & kPfFourCC) != 0) {
        switch (fourCC) {
        case D3DFMT_DXT1: return D3DFMT_DXT1;
        case D3DFMT_DXT3: return D3DFMT_DXT3;
        case D3DFMT_DXT5: return D3DFMT_DXT5;
        case D3DFMT_A16B16G16R16F: return D3DFMT_A16B16G16R16F; // the D3DFORMAT value stands as the code
        default: return D3DFMT_UNKNOWN;
        }
    }
    if ((flags & kPfRgb) != 0 && bits == 32 && r == 0xFF0000u && g == 0xFF00u && b == 0xFFu) {
        return ((flags & kPfAlphaPixels) != 0 && a == 0xFF000000u) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
    if ((flags & kPfLuminance) != 0 && (flags & kPfAlphaPixels) == 0 && bits == 8 && r == 0xFFu) {
        return D3DFMT_L8;
    }
    return D3DFMT_UNKNOWN;
}

} // namespace

HRESULT ReadDdsImage(const std::uint8_t* data, UINT size, D3DXImage& image)
{
    if (data == nullptr || size < 4 + kHeaderSize || std::memcmp(data, "DDS ", 4) != 0) {
        return D3DXERR_INVALIDDATA;
    }
    const std::uint8_t* header = data + 4;
    DWORD flags = ReadDword(header + 4);
    UINT height = ReadDword(header + 8);
    UINT width = ReadDword(header + 12);
    UINT depth = ReadDword(header + 20);
    UINT mipCount = ReadDword(header + 24);
    const std::uint8_t* pf = header + 72;
    DWORD caps2 = ReadDword(header + 108);
    if (ReadDword(header) != kHeaderSize || ReadDword(pf) != kPixelFormatSize || width == 0 || height == 0 ||
        width > kMaxD3DXImageExtent || height > kMaxD3DXImageExtent) {
        return D3DXERR_INVALIDDATA;
    }
    // The depth counts only in a volume map; a volume map of depth 0 or 1 is a single slice.
    bool volume = (caps2 & kCaps2Volume) != 0;
    depth = volume ? std::max(depth, 1u) : 1u;
    bool cube = (caps2 & kCaps2CubeMap) != 0;
    if (depth > kMaxD3DXImageExtent || (volume && cube)) {
        return D3DXERR_INVALIDDATA;
    }
    if (cube && ((caps2 & kCaps2AllFaces) != kCaps2AllFaces || width != height)) {
        return D3DXERR_INVALIDDATA; // partial cube maps are not loaded
    }
    D3DFORMAT format = PixelFormat(pf);
    if (format == D3DFMT_UNKNOWN) {
        return D3DXERR_INVALIDDATA;
    }
    UINT levels = ((flags & kFlagMipMapCount) != 0 && mipCount > 0) ? mipCount : 1;
    if (levels > D3DFullMipLevelCount(width, height, depth)) {
        return D3DXERR_INVALIDDATA;
    }
    UINT faces = cube ? 6 : 1;

    // Every level must lie within the data before anything is copied.
    std::uint64_t needed = 0;
    for (UINT level = 0; level < levels; ++level) {
        needed += D3DFormatLevelSize(format, D3DMipExtent(width, level), D3DMipExtent(height, level),
                                     D3DMipExtent(depth, level));
    }
    needed *= faces;
    if (needed > static_cast<std::uint64_t>(size) - (4 + kHeaderSize)) {
        return D3DXERR_INVALIDDATA;
    }

    image = D3DXImage{};
    image.info.Width = width;
    image.info.Height = height;
    image.info.Depth = depth;
    image.info.MipLevels = levels;
    image.info.Format = format;
    image.info.ResourceType = cube ? D3DRTYPE_CUBETEXTURE : volume ? D3DRTYPE_VOLUMETEXTURE : D3DRTYPE_TEXTURE;
    image.info.ImageFileFormat = D3DXIFF_DDS;
    image.faces = faces;
    const std::uint8_t* at = data + 4 + kHeaderSize;
    for (UINT face = 0; face < faces; ++face) {
        for (UINT level = 0; level < levels; ++level) {
            D3DXImageSurface surface;
            surface.width = D3DMipExtent(width, level);
            surface.height = D3DMipExtent(height, level);
            surface.depth = D3DMipExtent(depth, level);
            auto bytes = static_cast<std::size_t>(
                D3DFormatLevelSize(format, surface.width, surface.height, surface.depth));
            surface.bytes.assign(at, at + bytes);
            at += bytes;
            image.surfaces.push_back(std::move(surface));
        }
    }
    return D3D_OK;
}

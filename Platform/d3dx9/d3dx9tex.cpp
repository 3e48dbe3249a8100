#include "d3dx9/d3dx9tex.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "d3d9/D3DFormatInfo.h"
#include "d3dx9/D3DXImage.h"
#include "d3dx9/D3DXResample.h"
#include "d3dx9/D3DXTexels.h"

namespace {

constexpr DWORD kFilterTypeMask = 0xFFFF;
constexpr DWORD kFilterFlagMask = D3DX_FILTER_MIRROR | D3DX_FILTER_DITHER | D3DX_FILTER_DITHER_DIFFUSION |
                                  D3DX_FILTER_SRGB;

// What a load makes: the texture's size, levels, format and the resampling of the top level and
// of the mip levels the file lacks.
struct TexturePlan {
    UINT width = 0;
    UINT height = 0;
    UINT depth = 1;
    UINT levels = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    D3DXResampleKind filter = D3DXResampleKind::Smooth;
    D3DXResampleKind mipFilter = D3DXResampleKind::Smooth;
};

// A filter value to a resampling. Flags alone (dither, mirror, sRGB) take the default type; the
// dither and mirror flags change nothing here, results are rounded to the nearest value instead.
HRESULT ResolveFilter(DWORD filter, DWORD defaultType, D3DXResampleKind& kind)
{
    if (filter == D3DX_DEFAULT) {
        filter = defaultType;
    }
    DWORD type = filter & kFilterTypeMask;
    if ((filter & ~(kFilterTypeMask | kFilterFlagMask)) != 0 || type > D3DX_FILTER_BOX) {
        return D3DERR_INVALIDCALL;
    }
    if (type == 0) {
        type = defaultType;
    }
    kind = type == D3DX_FILTER_NONE    ? D3DXResampleKind::None
           : type == D3DX_FILTER_POINT ? D3DXResampleKind::Point
                                       : D3DXResampleKind::Smooth;
    return D3D_OK;
}

UINT NextPowerOfTwo(UINT size)
{
    UINT result = 1;
    while (result < size) {
        result <<= 1;
    }
    return result;
}

HRESULT ResolveExtent(UINT requested, UINT fileSize, UINT& extent)
{
    if (requested == 0 || requested == D3DX_DEFAULT) {
        extent = NextPowerOfTwo(fileSize);
    } else if (requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE) {
        extent = fileSize;
    } else {
        extent = requested;
    }
    return extent > kMaxD3DXImageExtent ? D3DERR_INVALIDCALL : D3D_OK;
}

// Depth is 1 for 2D and cube textures.
HRESULT MakePlan(const D3DXIMAGE_INFO& info, UINT width, UINT height, UINT depth, UINT mipLevels, D3DFORMAT format,
                 DWORD filter, DWORD mipFilter, TexturePlan& plan)
{
    HRESULT hr = ResolveExtent(width, info.Width, plan.width);
    if (hr == D3D_OK) {
        hr = ResolveExtent(height, info.Height, plan.height);
    }
    if (hr == D3D_OK) {
        hr = ResolveExtent(depth, info.Depth, plan.depth);
    }
    if (hr == D3D_OK) {
        hr = ResolveFilter(filter, D3DX_FILTER_TRIANGLE, plan.filter);
    }
    if (hr == D3D_OK) {
        hr = ResolveFilter(mipFilter, D3DX_FILTER_BOX, plan.mipFilter);
    }
    if (hr != D3D_OK) {
        return hr;
    }
    // Mip levels are made from the level above; "no filtering" there picks texels rather than
    // leaving the levels empty.
    if (plan.mipFilter == D3DXResampleKind::None) {
        plan.mipFilter = D3DXResampleKind::Point;
    }
    UINT full = D3DFullMipLevelCount(plan.width, plan.height, plan.depth);
    if (mipLevels == 0 || mipLevels == D3DX_DEFAULT) {
        plan.levels = full;
    } else if (mipLevels == D3DX_FROM_FILE) {
        plan.levels = std::min(info.MipLevels, full);
    } else {
        plan.levels = std::min(mipLevels, full);
    }
    plan.format = (format == D3DFMT_FROM_FILE || format == D3DFMT_UNKNOWN) ? info.Format : format;
    return IsD3DXTexelFormat(plan.format) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

// A pool-default texture can only be filled when it can be locked.
HRESULT ResolveUsage(DWORD usage, D3DPOOL pool, DWORD& resolved)
{
    resolved = usage;
    if (pool == D3DPOOL_DEFAULT && (usage & D3DUSAGE_DYNAMIC) == 0) {
        if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) != 0) {
            return D3DERR_INVALIDCALL;
        }
        resolved |= D3DUSAGE_DYNAMIC;
    }
    return D3D_OK;
}

// Source texels of exactly the key colour become transparent black.
void ApplyColourKey(std::vector<float>& rgba, D3DCOLOR key)
{
    if (key == 0) {
        return;
    }
    auto toByte = [](float v) { return static_cast<DWORD>(std::min(1.0f, std::max(0.0f, v)) * 255.0f + 0.5f); };
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
        D3DCOLOR colour = (toByte(rgba[i + 3]) << 24) | (toByte(rgba[i]) << 16) | (toByte(rgba[i + 1]) << 8) |
                          toByte(rgba[i + 2]);
        if (colour == key) {
            std::fill(rgba.begin() + static_cast<std::ptrdiff_t>(i), rgba.begin() + static_cast<std::ptrdiff_t>(i) + 4,
                      0.0f);
        }
    }
}

std::vector<float> SurfaceRgba(const D3DXImage& image, UINT face, UINT level, D3DCOLOR key)
{
    const D3DXImageSurface& surface = image.Surface(face, level);
    std::vector<float> rgba = D3DXTexelsToRgba(image.info.Format, surface.bytes.data(), surface.width, surface.height);
    ApplyColourKey(rgba, key);
    return rgba;
}

// The texel bytes of every level of one face: file levels kept as they are where size and
// format match, everything else converted, resampled or generated from the level above.
std::vector<std::vector<std::uint8_t>> BuildLevels(const D3DXImage& image, UINT face, const TexturePlan& plan,
                                                   UINT levels, D3DCOLOR key)
{
    std::vector<std::vector<std::uint8_t>> out;
    bool sameSize = plan.width == image.info.Width && plan.height == image.info.Height;
    bool sameTexels = plan.format == image.info.Format && key == 0;
    std::vector<float> current;
    for (UINT level = 0; level < levels; ++level) {
        UINT width = D3DMipExtent(plan.width, level);
        UINT height = D3DMipExtent(plan.height, level);
        bool fromFile = sameSize && level < image.info.MipLevels;
        bool nextGenerated = level + 1 < levels && !(sameSize && level + 1 < image.info.MipLevels);
        if (fromFile) {
            if (sameTexels) {
                out.push_back(image.Surface(face, level).bytes);
                current = nextGenerated ? SurfaceRgba(image, face, level, 0) : std::vector<float>{};
                continue;
            }
            current = SurfaceRgba(image, face, level, key);
        } else if (level == 0) {
            current = D3DXResampleRgba(SurfaceRgba(image, face, 0, key), image.info.Width, image.info.Height, width,
                                       height, plan.filter);
        } else {
            current = D3DXResampleRgba(current, D3DMipExtent(plan.width, level - 1),
                                       D3DMipExtent(plan.height, level - 1), width, height, plan.mipFilter);
        }
        out.push_back(D3DXRgbaToTexels(plan.format, current, width, height));
    }
    return out;
}

// Every slice of a volume file level as RGBA floats, slice after slice.
std::vector<float> VolumeRgba(const D3DXImage& image, UINT level, D3DCOLOR key)
{
    const D3DXImageSurface& surface = image.Surface(0, level);
    auto sliceBytes = static_cast<std::size_t>(D3DFormatLevelSize(image.info.Format, surface.width, surface.height));
    std::vector<float> rgba;
    for (UINT z = 0; z < surface.depth; ++z) {
        std::vector<float> slice =
            D3DXTexelsToRgba(image.info.Format, surface.bytes.data() + z * sliceBytes, surface.width, surface.height);
        rgba.insert(rgba.end(), slice.begin(), slice.end());
    }
    ApplyColourKey(rgba, key);
    return rgba;
}

// Each slice resampled to the new width and height, then the slices along the depth: with the
// slices side by side as the rows of one image, that is a resampling of its height alone.
std::vector<float> ResampleVolume(const std::vector<float>& rgba, UINT width, UINT height, UINT depth,
                                  UINT targetWidth, UINT targetHeight, UINT targetDepth, D3DXResampleKind kind)
{
    std::size_t sliceFloats = static_cast<std::size_t>(width) * height * 4;
    std::vector<float> slices;
    for (UINT z = 0; z < depth; ++z) {
        std::vector<float> slice(rgba.begin() + static_cast<std::ptrdiff_t>(z * sliceFloats),
                                 rgba.begin() + static_cast<std::ptrdiff_t>((z + 1) * sliceFloats));
        slice = D3DXResampleRgba(slice, width, height, targetWidth, targetHeight, kind);
        slices.insert(slices.end(), slice.begin(), slice.end());
    }
    UINT sliceTexels = targetWidth * targetHeight;
    return D3DXResampleRgba(slices, sliceTexels, depth, sliceTexels, targetDepth, kind);
}

// The texel bytes of every level of a volume texture, slices packed one after the other; like
// BuildLevels, with resampling in three dimensions.
std::vector<std::vector<std::uint8_t>> BuildVolumeLevels(const D3DXImage& image, const TexturePlan& plan, UINT levels,
                                                         D3DCOLOR key)
{
    std::vector<std::vector<std::uint8_t>> out;
    const D3DXIMAGE_INFO& info = image.info;
    bool sameSize = plan.width == info.Width && plan.height == info.Height && plan.depth == info.Depth;
    bool sameTexels = plan.format == info.Format && key == 0;
    std::vector<float> current;
    for (UINT level = 0; level < levels; ++level) {
        UINT width = D3DMipExtent(plan.width, level);
        UINT height = D3DMipExtent(plan.height, level);
        UINT depth = D3DMipExtent(plan.depth, level);
        bool fromFile = sameSize && level < info.MipLevels;
        bool nextGenerated = level + 1 < levels && !(sameSize && level + 1 < info.MipLevels);
        if (fromFile) {
            if (sameTexels) {
                out.push_back(image.Surface(0, level).bytes);
                current = nextGenerated ? VolumeRgba(image, level, 0) : std::vector<float>{};
                continue;
            }
            current = VolumeRgba(image, level, key);
        } else if (level == 0) {
            current = ResampleVolume(VolumeRgba(image, 0, key), info.Width, info.Height, info.Depth, width, height,
                                     depth, plan.filter);
        } else {
            current = ResampleVolume(current, D3DMipExtent(plan.width, level - 1), D3DMipExtent(plan.height, level - 1),
                                     D3DMipExtent(plan.depth, level - 1), width, height, depth, plan.mipFilter);
        }
        std::vector<std::uint8_t> bytes;
        std::size_t sliceFloats = static_cast<std::size_t>(width) * height * 4;
        for (UINT z = 0; z < depth; ++z) {
            std::vector<float> slice(current.begin() + static_cast<std::ptrdiff_t>(z * sliceFloats),
                                     current.begin() + static_cast<std::ptrdiff_t>((z + 1) * sliceFloats));
            std::vector<std::uint8_t> texels = D3DXRgbaToTexels(plan.format, slice, width, height);
            bytes.insert(bytes.end(), texels.begin(), texels.end());
        }
        out.push_back(std::move(bytes));
    }
    return out;
}

void CopyRows(const std::vector<std::uint8_t>& bytes, D3DFORMAT format, UINT height, const D3DLOCKED_RECT& locked)
{
    UINT rows = D3DFormatRowCount(format, height);
    std::size_t rowBytes = rows == 0 ? 0 : bytes.size() / rows;
    for (UINT row = 0; row < rows; ++row) {
        std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + static_cast<std::ptrdiff_t>(row) * locked.Pitch,
                    bytes.data() + row * rowBytes, rowBytes);
    }
}

// Reads a file held in memory; its description also goes to `info` when the caller asks for it.
HRESULT ReadImage(const void* data, UINT size, D3DXImage& image, D3DXIMAGE_INFO* info = nullptr)
{
    if (data == nullptr || size == 0) {
        return D3DERR_INVALIDCALL;
    }
    HRESULT hr = ReadD3DXImage(data, size, image);
    if (hr == D3D_OK && info != nullptr) {
        *info = image.info;
    }
    return hr;
}

} // namespace

HRESULT D3DXGetImageInfoFromFileInMemory(const void* pSrcData, UINT SrcDataSize, D3DXIMAGE_INFO* pSrcInfo)
{
    if (pSrcInfo == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    D3DXImage image;
    return ReadImage(pSrcData, SrcDataSize, image, pSrcInfo);
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* pDevice, const void* pSrcData, UINT SrcDataSize,
                                            UINT Width, UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                            D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* /*pPalette*/,
                                            IDirect3DTexture9** ppTexture)
{
    if (pDevice == nullptr || ppTexture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *ppTexture = nullptr;
    D3DXImage image;
    HRESULT hr = ReadImage(pSrcData, SrcDataSize, image, pSrcInfo);
    if (hr != D3D_OK) {
        return hr;
    }
    TexturePlan plan;
    DWORD usage = 0;
    if (image.info.Depth > 1) {
        return D3DXERR_INVALIDDATA; // a volume map makes only a volume texture
    }
    hr = MakePlan(image.info, Width, Height, 1, MipLevels, Format, Filter, MipFilter, plan);
    if (hr == D3D_OK) {
        hr = ResolveUsage(Usage, Pool, usage);
    }
    IDirect3DTexture9* texture = nullptr;
    if (hr == D3D_OK) {
        hr = pDevice->CreateTexture(plan.width, plan.height, plan.levels, usage, plan.format, Pool, &texture, nullptr);
    }
    if (hr != D3D_OK) {
        return hr;
    }
    // A cube map file gives its first face (+X).
    UINT levels = texture->GetLevelCount();
    std::vector<std::vector<std::uint8_t>> bytes = BuildLevels(image, 0, plan, levels, ColorKey);
    for (UINT level = 0; level < levels && hr == D3D_OK; ++level) {
        D3DLOCKED_RECT locked{};
        hr = texture->LockRect(level, &locked, nullptr, 0);
        if (hr == D3D_OK) {
            CopyRows(bytes[level], plan.format, D3DMipExtent(plan.height, level), locked);
            hr = texture->UnlockRect(level);
        }
    }
    if (hr != D3D_OK) {
        texture->Release();
        return hr;
    }
    *ppTexture = texture;
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* pDevice, const void* pSrcData, UINT SrcDataSize,
                                          IDirect3DTexture9** ppTexture)
{
    return D3DXCreateTextureFromFileInMemoryEx(pDevice, pSrcData, SrcDataSize, D3DX_DEFAULT, D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, nullptr, nullptr, ppTexture);
}

HRESULT D3DXCreateCubeTextureFromFileInMemoryEx(IDirect3DDevice9* pDevice, const void* pSrcData, UINT SrcDataSize,
                                                UINT Size, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                                D3DPOOL Pool, DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                                D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* /*pPalette*/,
                                                IDirect3DCubeTexture9** ppCubeTexture)
{
    if (pDevice == nullptr || ppCubeTexture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *ppCubeTexture = nullptr;
    D3DXImage image;
    HRESULT hr = ReadImage(pSrcData, SrcDataSize, image, pSrcInfo);
    if (hr != D3D_OK) {
        return hr;
    }
    if (image.faces != 6) {
        return D3DXERR_INVALIDDATA; // only a cube map file makes a cube texture
    }
    TexturePlan plan;
    DWORD usage = 0;
    hr = MakePlan(image.info, Size, Size, 1, MipLevels, Format, Filter, MipFilter, plan);
    if (hr == D3D_OK) {
        hr = ResolveUsage(Usage, Pool, usage);
    }
    IDirect3DCubeTexture9* cube = nullptr;
    if (hr == D3D_OK) {
        hr = pDevice->CreateCubeTexture(plan.width, plan.levels, usage, plan.format, Pool, &cube, nullptr);
    }
    if (hr != D3D_OK) {
        return hr;
    }
    UINT levels = cube->GetLevelCount();
    for (UINT face = 0; face < 6 && hr == D3D_OK; ++face) {
        std::vector<std::vector<std::uint8_t>> bytes = BuildLevels(image, face, plan, levels, ColorKey);
        auto faceType = static_cast<D3DCUBEMAP_FACES>(face);
        for (UINT level = 0; level < levels && hr == D3D_OK; ++level) {
            D3DLOCKED_RECT locked{};
            hr = cube->LockRect(faceType, level, &locked, nullptr, 0);
            if (hr == D3D_OK) {
                CopyRows(bytes[level], plan.format, D3DMipExtent(plan.height, level), locked);
                hr = cube->UnlockRect(faceType, level);
            }
        }
    }
    if (hr != D3D_OK) {
        cube->Release();
        return hr;
    }
    *ppCubeTexture = cube;
    return D3D_OK;
}

HRESULT D3DXCreateCubeTextureFromFileInMemory(IDirect3DDevice9* pDevice, const void* pSrcData, UINT SrcDataSize,
                                              IDirect3DCubeTexture9** ppCubeTexture)
{
    return D3DXCreateCubeTextureFromFileInMemoryEx(pDevice, pSrcData, SrcDataSize, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                   D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                   nullptr, nullptr, ppCubeTexture);
}

HRESULT D3DXCreateVolumeTextureFromFileInMemoryEx(IDirect3DDevice9* pDevice, const void* pSrcData, UINT SrcDataSize,
                                                  UINT Width, UINT Height, UINT Depth, UINT MipLevels, DWORD Usage,
                                                  D3DFORMAT Format, D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                                  D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                                  PALETTEENTRY* /*pPalette*/,
                                                  IDirect3DVolumeTexture9** ppVolumeTexture)
{
    if (pDevice == nullptr || ppVolumeTexture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *ppVolumeTexture = nullptr;
    D3DXImage image;
    HRESULT hr = ReadImage(pSrcData, SrcDataSize, image, pSrcInfo);
    if (hr != D3D_OK) {
        return hr;
    }
    if (image.faces != 1) {
        return D3DXERR_INVALIDDATA; // a cube map does not make a volume
    }
    TexturePlan plan;
    DWORD usage = 0;
    hr = MakePlan(image.info, Width, Height, Depth, MipLevels, Format, Filter, MipFilter, plan);
    if (hr == D3D_OK) {
        hr = ResolveUsage(Usage, Pool, usage);
    }
    IDirect3DVolumeTexture9* volume = nullptr;
    if (hr == D3D_OK) {
        hr = pDevice->CreateVolumeTexture(plan.width, plan.height, plan.depth, plan.levels, usage, plan.format, Pool,
                                          &volume, nullptr);
    }
    if (hr != D3D_OK) {
        return hr;
    }
    UINT levels = volume->GetLevelCount();
    std::vector<std::vector<std::uint8_t>> bytes = BuildVolumeLevels(image, plan, levels, ColorKey);
    for (UINT level = 0; level < levels && hr == D3D_OK; ++level) {
        UINT height = D3DMipExtent(plan.height, level);
        UINT depth = D3DMipExtent(plan.depth, level);
        UINT rows = D3DFormatRowCount(plan.format, height);
        std::size_t sliceBytes = bytes[level].size() / depth;
        std::size_t rowBytes = rows == 0 ? 0 : sliceBytes / rows;
        D3DLOCKED_BOX locked{};
        hr = volume->LockBox(level, &locked, nullptr, 0);
        if (hr == D3D_OK) {
            auto* base = static_cast<std::uint8_t*>(locked.pBits);
            for (UINT z = 0; z < depth; ++z) {
                for (UINT row = 0; row < rows; ++row) {
                    std::memcpy(base + static_cast<std::ptrdiff_t>(z) * locked.SlicePitch +
                                    static_cast<std::ptrdiff_t>(row) * locked.RowPitch,
                                bytes[level].data() + z * sliceBytes + row * rowBytes, rowBytes);
                }
            }
            hr = volume->UnlockBox(level);
        }
    }
    if (hr != D3D_OK) {
        volume->Release();
        return hr;
    }
    *ppVolumeTexture = volume;
    return D3D_OK;
}

HRESULT D3DXCreateVolumeTextureFromFileInMemory(IDirect3DDevice9* pDevice, const void* pSrcData, UINT SrcDataSize,
                                                IDirect3DVolumeTexture9** ppVolumeTexture)
{
    return D3DXCreateVolumeTextureFromFileInMemoryEx(pDevice, pSrcData, SrcDataSize, D3DX_DEFAULT, D3DX_DEFAULT,
                                                     D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                     D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                                                     ppVolumeTexture);
}

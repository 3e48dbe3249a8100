#pragma once
// An image file read into memory: its format, size and every surface it holds, before any
// resampling or conversion for a texture.
#include <cstdint>
#include <vector>

#include "d3dx9/d3dx9tex.h"

struct D3DXImageSurface {
    UINT width = 0;
    UINT height = 0;
    UINT depth = 1;                  // slices of a volume map level
    std::vector<std::uint8_t> bytes; // rows (or rows of 4x4 blocks) packed without padding, slice after slice
};

struct D3DXImage {
    D3DXIMAGE_INFO info{};
    UINT faces = 1;                        // 6 for a cube map
    std::vector<D3DXImageSurface> surfaces; // face by face, each with its mip levels from the top

    const D3DXImageSurface& Surface(UINT face, UINT level) const { return surfaces[face * info.MipLevels + level]; }
};

// Reads any supported image file. D3DXERR_INVALIDDATA for anything unreadable or damaged.
HRESULT ReadD3DXImage(const void* data, UINT size, D3DXImage& image);

// Largest width or height an image file may declare.
inline constexpr UINT kMaxD3DXImageExtent = 16384;

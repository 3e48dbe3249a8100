#pragma once
// What the devices need to know about each format they support: the memory size of a texel (or of
// a 4x4 block for the DXT formats), its kind, and where it may be used.
#include <cstdint>

#include "d3d9/d3d9types.h"
#include "win32/WinTypes.h"

struct D3DFormatInfo {
    D3DFORMAT format;
    const char* name;   // "D3DFMT_A8R8G8B8"
    UINT bytes;         // per texel, or per 4x4 block when compressed
    bool compressed;    // DXT: memory holds rows of 4x4 blocks
    bool depth;         // has a depth channel
    bool stencil;       // has a stencil channel
    bool floatingPoint; // channels are floats
    bool texture;       // usable for 2D, cube and volume textures and plain surfaces
    bool renderTarget;  // usable with D3DUSAGE_RENDERTARGET and for CreateRenderTarget
    bool depthBuffer;   // usable with D3DUSAGE_DEPTHSTENCIL and for CreateDepthStencilSurface
    bool indexBuffer;   // usable for index buffers
};

// The entry of a format the layer supports, or null for any other value.
const D3DFormatInfo* FindD3DFormatInfo(D3DFORMAT format);

// Bytes from one row of texels (or of 4x4 blocks) to the next in a level `width` texels wide;
// 0 for an unsupported or index format, a width of 0, or a pitch that does not fit in an INT.
UINT D3DFormatPitch(D3DFORMAT format, UINT width);

// Rows of memory in a level `height` texels high: the height, or the number of block rows.
UINT D3DFormatRowCount(D3DFORMAT format, UINT height);

// Bytes of a level of width x height (x depth) texels; 0 for an unsupported or index format or a
// zero size; UINT64_MAX when the size does not fit in 64 bits.
std::uint64_t D3DFormatLevelSize(D3DFORMAT format, UINT width, UINT height, UINT depth = 1);

// Extent of mip level `level` of a dimension: size >> level, at least 1.
UINT D3DMipExtent(UINT size, UINT level);

// Levels of a full mip chain down to 1 x 1 x 1 (what Levels = 0 asks for); 0 for a zero size.
UINT D3DFullMipLevelCount(UINT width, UINT height, UINT depth = 1);

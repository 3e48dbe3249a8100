#pragma once
// What the layer knows about each format of Direct3D 9: the memory size of a texel (or of a block of
// texels), its kind, whether a program may lock its texels, and where the adapter lets it be used.
// Every format the runtime knows has an entry; the adapter's uses say which of them a device
// holds (D3DPOOL_SCRATCH holds every lockable one, the adapter's or not).
#include <cstddef>
#include <cstdint>

#include "d3d9/d3d9types.h"
#include "win32/WinTypes.h"

struct D3DFormatInfo {
    D3DFORMAT format;
    const char* name;   // "D3DFMT_A8R8G8B8"
    UINT bytes;         // per texel, or per block; 0 when the format has no memory of its own
    UINT blockWidth;    // texels a block spans: 1, 4 for DXT, 2 for the packed YUV formats
    UINT blockHeight;   // 1, or 4 for DXT
    bool compressed;    // DXT: memory holds rows of 4x4 blocks
    bool depth;         // has a depth channel
    bool stencil;       // has a stencil channel
    bool floatingPoint; // channels are floats
    bool lockable;      // texels a program may lock: all but the buffer formats and the depth formats
                        // that are not _LOCKABLE; what D3DPOOL_SCRATCH holds
    bool display;       // a format of display modes: the adapter-format argument of IDirect3D9
    // The adapter's uses of the format:
    bool texture;      // 2D, cube and volume textures and plain surfaces outside D3DPOOL_SCRATCH
    bool renderTarget; // D3DUSAGE_RENDERTARGET and CreateRenderTarget
    bool depthBuffer;  // D3DUSAGE_DEPTHSTENCIL and CreateDepthStencilSurface
    bool indexBuffer;  // index buffers
};

// The entry of a format the runtime knows, or null for any other value (D3DFMT_UNKNOWN included).
const D3DFormatInfo* FindD3DFormatInfo(D3DFORMAT format);

// Every entry, for tests and listings.
const D3DFormatInfo* D3DFormatInfoBegin();
const D3DFormatInfo* D3DFormatInfoEnd();

// Bytes from one row of texels (or of blocks) to the next in a level `width` texels wide; 0 for a
// format without texel rows (unknown, index, vertex data), a width of 0, or a pitch that does not
// fit in an INT.
UINT D3DFormatPitch(D3DFORMAT format, UINT width);

// Rows of memory in a level `height` texels high: the height, or the number of block rows.
UINT D3DFormatRowCount(D3DFORMAT format, UINT height);

// Bytes of a level of width x height (x depth) texels; 0 for a format without texel rows or a zero
// size; UINT64_MAX when the size does not fit in 64 bits.
std::uint64_t D3DFormatLevelSize(D3DFORMAT format, UINT width, UINT height, UINT depth = 1);

// Whether the texels [left, right) x [top, bottom) of a level of width x height cover whole blocks:
// each edge on a block boundary or on the level's own edge. Always true for 1x1 blocks.
bool D3DFormatRectOnBlocks(const D3DFormatInfo& info, UINT left, UINT top, UINT right, UINT bottom, UINT width,
                           UINT height);

// Byte offset of texel (x, y), on a block boundary, from the start of a level with `pitch`.
std::size_t D3DFormatTexelOffset(const D3DFormatInfo& info, UINT pitch, UINT x, UINT y);

// Extent of mip level `level` of a dimension: size >> level, at least 1.
UINT D3DMipExtent(UINT size, UINT level);

// Levels of a full mip chain down to 1 x 1 x 1 (what Levels = 0 asks for); 0 for a zero size.
UINT D3DFullMipLevelCount(UINT width, UINT height, UINT depth = 1);

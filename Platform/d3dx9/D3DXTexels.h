#pragma once
// Texel conversions of the texture loaders: a level in any format the loaders handle, to and from
// rows of RGBA floats (0..1 for 8-bit and block formats, any value for half floats).
#include <cstdint>
#include <vector>

#include "d3d9/d3d9types.h"
#include "win32/WinTypes.h"

// A8R8G8B8, X8R8G8B8, L8, A16B16G16R16F, DXT1, DXT3, DXT5.
bool IsD3DXTexelFormat(D3DFORMAT format);

// width * height * 4 floats (R, G, B, A) from a tightly packed level.
std::vector<float> D3DXTexelsToRgba(D3DFORMAT format, const std::uint8_t* bytes, UINT width, UINT height);

// A tightly packed level from width * height * 4 floats. Block formats pad partial blocks by
// repeating the last row and column.
std::vector<std::uint8_t> D3DXRgbaToTexels(D3DFORMAT format, const std::vector<float>& rgba, UINT width,
                                           UINT height);

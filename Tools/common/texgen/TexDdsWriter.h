#pragma once
#include <cstdint>
#include <vector>

#include "common/texgen/TexImage.h"

// One face of a DDS file: its mip levels from the largest down, each half the size of the one
// before (at least 1).
using TexMipChain = std::vector<TexImage>;

// A DDS file in A8R8G8B8: "DDS ", the 124-byte header, then the texels of each face with its
// levels. One face makes a 2D texture; six make a cube map, in the face order +X, -X, +Y, -Y,
// +Z, -Z. All faces have the same size and level count (a cube map's faces are square).
std::vector<std::uint8_t> EncodeTexDds(const std::vector<TexMipChain>& faces);

// The chain of `levels` levels from the picture, each made from the one before (levels 0 means
// a full chain down to 1 x 1).
TexMipChain MakeTexMipChain(const TexImage& top, unsigned levels);

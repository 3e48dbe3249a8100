#pragma once
#include <cstdint>

#include "d3dx9/D3DXImage.h"

// Reads PNG, JPEG, BMP, TGA or binary PPM through stb_image, as 8-bit A8R8G8B8, X8R8G8B8 or L8.
HRESULT ReadStbImage(const std::uint8_t* data, UINT size, D3DXImage& image);

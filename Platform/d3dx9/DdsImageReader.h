#pragma once
#include <cstdint>

#include "d3dx9/D3DXImage.h"

// Reads a DDS file ("DDS " and its 124-byte header); every size is checked against the data.
HRESULT ReadDdsImage(const std::uint8_t* data, UINT size, D3DXImage& image);

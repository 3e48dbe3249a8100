#pragma once
#include <cstdint>
#include <vector>

#include "common/texgen/TexImage.h"

// The picture as PNG file bytes, 8 bits per channel, rows from the top: RGB when every texel is
// opaque (it loads as X8R8G8B8), RGBA otherwise (A8R8G8B8). Empty when the encoder fails.
std::vector<std::uint8_t> EncodeTexPng(const TexImage& image);

#pragma once
// Resampling of RGBA float images for the texture loaders.
#include <vector>

#include "win32/WinTypes.h"

enum class D3DXResampleKind {
    None,   // no scaling: the source at the top left, transparent black beyond it, cut at the edges
    Point,  // nearest texel
    Smooth, // area average when shrinking, bilinear when enlarging (edges clamped)
};

// width * height * 4 floats to targetWidth * targetHeight * 4 floats.
std::vector<float> D3DXResampleRgba(const std::vector<float>& source, UINT width, UINT height, UINT targetWidth,
                                    UINT targetHeight, D3DXResampleKind kind);

#pragma once
#include <vector>

#include "common/texgen/TexImage.h"

// A tangent-space normal map from heights (0..1, one per texel, rows from the top). Slopes are
// central differences, scaled by `strength` times the width in texels (the slope for a height
// change per picture width); at the edges they wrap when `wrap` is set, otherwise they are taken
// one-sided. Red is the normal's x towards increasing columns, green its y towards increasing
// rows (the texture's v direction), blue its z out of the surface, each mapped from -1..1 to
// 0..1; alpha holds the height.
TexImage MakeTexNormalMap(const std::vector<float>& heights, unsigned width, unsigned height, float strength,
                          bool wrap);

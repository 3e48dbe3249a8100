#pragma once
#include <vector>

// A Gaussian blur of one value per texel (rows from the top) with standard deviation radius / 2,
// cut off at `radius` texels; values beyond the edges count as 0. Radius 0 leaves the values.
std::vector<float> BlurTexValues(const std::vector<float>& values, unsigned width, unsigned height, unsigned radius);

#include "common/texgen/TexNormalMap.h"

#include <cmath>

namespace {

// The height difference per texel along one axis at `index` (of `size` texels).
float Slope(const std::vector<float>& heights, std::size_t at, std::size_t step, unsigned index, unsigned size,
            bool wrap)
{
    if (size < 2) {
        return 0.0f;
    }
    unsigned before = index > 0 ? index - 1 : (wrap ? size - 1 : index);
    unsigned after = index + 1 < size ? index + 1 : (wrap ? 0 : index);
    float low = heights[at - index * step + before * step];
    float high = heights[at - index * step + after * step];
    unsigned span = (index > 0 && index + 1 < size) || wrap ? 2 : 1;
    return (high - low) / static_cast<float>(span);
}

} // namespace

TexImage MakeTexNormalMap(const std::vector<float>& heights, unsigned width, unsigned height, float strength,
                          bool wrap)
{
    TexImage image(width, height);
    float scale = strength * static_cast<float>(width);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            std::size_t at = static_cast<std::size_t>(y) * width + x;
            float nx = -scale * Slope(heights, at, 1, x, width, wrap);
            float ny = -scale * Slope(heights, at, width, y, height, wrap);
            float length = std::sqrt(nx * nx + ny * ny + 1.0f);
            image.Set(x, y, 0.5f + 0.5f * nx / length, 0.5f + 0.5f * ny / length, 0.5f + 0.5f / length,
                      heights[at]);
        }
    }
    return image;
}

#include "common/texgen/TexBlur.h"

#include <cmath>

namespace {

// One pass along rows (step 1) or columns (step width).
std::vector<float> BlurPass(const std::vector<float>& values, unsigned width, unsigned height,
                            const std::vector<float>& kernel, bool alongRows)
{
    std::vector<float> out(values.size(), 0.0f);
    const int radius = static_cast<int>(kernel.size() / 2);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            float sum = 0.0f;
            for (int k = -radius; k <= radius; ++k) {
                long sx = static_cast<long>(x) + (alongRows ? k : 0);
                long sy = static_cast<long>(y) + (alongRows ? 0 : k);
                if (sx >= 0 && sy >= 0 && sx < static_cast<long>(width) && sy < static_cast<long>(height)) {
                    sum += kernel[k + radius] * values[static_cast<std::size_t>(sy) * width + sx];
                }
            }
            out[static_cast<std::size_t>(y) * width + x] = sum;
        }
    }
    return out;
}

} // namespace

std::vector<float> BlurTexValues(const std::vector<float>& values, unsigned width, unsigned height, unsigned radius)
{
    if (radius == 0) {
        return values;
    }
    std::vector<float> kernel(2 * radius + 1);
    double sigma = radius / 2.0;
    double total = 0.0;
    for (std::size_t i = 0; i < kernel.size(); ++i) {
        double d = static_cast<double>(i) - radius;
        total += kernel[i] = static_cast<float>(std::exp(-d * d / (2.0 * sigma * sigma)));
    }
    for (float& k : kernel) {
        k = static_cast<float>(k / total);
    }
    return BlurPass(BlurPass(values, width, height, kernel, true), width, height, kernel, false);
}

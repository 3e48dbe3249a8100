#include "common/texgen/TexNoiseImage.h"

#include <algorithm>
#include <cmath>

std::vector<float> MakeTexHeightField(unsigned width, unsigned height, const TexNoiseImageParams& params,
                                      unsigned channel)
{
    const TexNoise noise(params.seed + channel * 0x9e3779b9u);
    double cellsX = params.cells;
    double cellsY = params.cells * height / width;
    unsigned periodX = params.tileable ? static_cast<unsigned>(std::lround(cellsX)) : 0;
    unsigned periodY = params.tileable ? static_cast<unsigned>(std::lround(cellsY)) : 0;
    std::vector<float> values(static_cast<std::size_t>(width) * height);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            double u = (x + 0.5) / width * cellsX;
            double v = (y + 0.5) / height * cellsY;
            float n = noise.Fractal(params.fractal, u, v, periodX, periodY);
            values[static_cast<std::size_t>(y) * width + x] = std::clamp(0.5f + 0.5f * n, 0.0f, 1.0f);
        }
    }
    return values;
}

TexImage MakeTexNoiseImage(unsigned width, unsigned height, const TexNoiseImageParams& params)
{
    TexImage image(width, height);
    if (params.rgb) {
        std::vector<float> channels[3];
        for (unsigned c = 0; c < 3; ++c) {
            channels[c] = MakeTexHeightField(width, height, params, c);
        }
        for (unsigned y = 0; y < height; ++y) {
            for (unsigned x = 0; x < width; ++x) {
                std::size_t i = static_cast<std::size_t>(y) * width + x;
                image.Set(x, y, channels[0][i], channels[1][i], channels[2][i], 1.0f);
            }
        }
        return image;
    }
    std::vector<float> values = MakeTexHeightField(width, height, params);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            TexColor c = params.low.Mix(params.high, values[static_cast<std::size_t>(y) * width + x]);
            image.Set(x, y, c.r, c.g, c.b, c.a);
        }
    }
    return image;
}

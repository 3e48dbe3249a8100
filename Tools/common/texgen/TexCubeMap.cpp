#include "common/texgen/TexCubeMap.h"

#include <cmath>

std::array<float, 3> TexCubeDirection(TexCubeFace face, float u, float v)
{
    float a = 2.0f * u - 1.0f; // -1 at the left edge
    float b = 2.0f * v - 1.0f; // -1 at the top edge
    std::array<float, 3> d{};
    switch (face) {
    case TexCubeFace::PositiveX: d = {1.0f, -b, -a}; break;
    case TexCubeFace::NegativeX: d = {-1.0f, -b, a}; break;
    case TexCubeFace::PositiveY: d = {a, 1.0f, b}; break;
    case TexCubeFace::NegativeY: d = {a, -1.0f, -b}; break;
    case TexCubeFace::PositiveZ: d = {a, -b, 1.0f}; break;
    case TexCubeFace::NegativeZ: d = {-a, -b, -1.0f}; break;
    }
    float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    return {d[0] / length, d[1] / length, d[2] / length};
}

std::vector<TexImage> MakeTexCubeFaces(unsigned size, const TexEnvironment& environment, unsigned samples)
{
    std::vector<TexImage> faces;
    for (int f = 0; f < 6; ++f) {
        TexImage image(size, size);
        for (unsigned y = 0; y < size; ++y) {
            for (unsigned x = 0; x < size; ++x) {
                float sum[4] = {0, 0, 0, 0};
                for (unsigned sy = 0; sy < samples; ++sy) {
                    for (unsigned sx = 0; sx < samples; ++sx) {
                        float u = (x + (sx + 0.5f) / samples) / size;
                        float v = (y + (sy + 0.5f) / samples) / size;
                        std::array<float, 3> d = TexCubeDirection(static_cast<TexCubeFace>(f), u, v);
                        TexColor c = environment(d[0], d[1], d[2]);
                        sum[0] += c.r;
                        sum[1] += c.g;
                        sum[2] += c.b;
                        sum[3] += c.a;
                    }
                }
                float n = static_cast<float>(samples * samples);
                image.Set(x, y, sum[0] / n, sum[1] / n, sum[2] / n, sum[3] / n);
            }
        }
        faces.push_back(std::move(image));
    }
    return faces;
}

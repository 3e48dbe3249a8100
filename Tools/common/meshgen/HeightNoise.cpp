#include "common/meshgen/HeightNoise.h"

#include <cmath>

#include "common/meshgen/MeshMath.h"

namespace meshgen {

namespace {

std::uint32_t Hash(std::uint32_t value)
{
    value ^= value >> 16;
    value *= 0x7feb352dU;
    value ^= value >> 15;
    value *= 0x846ca68bU;
    value ^= value >> 16;
    return value;
}

double Fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

} // namespace

double HeightNoise::Gradient(long long ix, long long iy, double dx, double dy) const
{
    const std::uint32_t h = Hash(static_cast<std::uint32_t>(ix) * 0x9E3779B1U ^
                                 Hash(static_cast<std::uint32_t>(iy) ^ Hash(seed_)));
    const double angle = (h & 0xFFFFU) / 65536.0 * 2.0 * kPi;
    return std::cos(angle) * dx + std::sin(angle) * dy;
}

double HeightNoise::At(double x, double y) const
{
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<long long>(fx), iy = static_cast<long long>(fy);
    const double dx = x - fx, dy = y - fy;
    const double n00 = Gradient(ix, iy, dx, dy), n10 = Gradient(ix + 1, iy, dx - 1.0, dy);
    const double n01 = Gradient(ix, iy + 1, dx, dy - 1.0), n11 = Gradient(ix + 1, iy + 1, dx - 1.0, dy - 1.0);
    const double u = Fade(dx), v = Fade(dy);
    const double bottom = n00 + (n10 - n00) * u, top = n01 + (n11 - n01) * u;
    // Gradient noise of unit gradients stays within about ±0.71; scale towards ±1.
    return (bottom + (top - bottom) * v) * 1.4;
}

double HeightNoise::Fractal(double x, double y, int octaves) const
{
    double sum = 0.0, amplitude = 1.0, total = 0.0, frequency = 1.0;
    for (int i = 0; i < octaves; ++i) {
        sum += At(x * frequency + i * 17.31, y * frequency - i * 9.73) * amplitude;
        total += amplitude;
        amplitude *= 0.5;
        frequency *= 2.0;
    }
    return total > 0.0 ? sum / total : 0.0;
}

} // namespace meshgen

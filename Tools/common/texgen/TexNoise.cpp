#include "common/texgen/TexNoise.h"

#include <algorithm>
#include <cmath>

namespace {

float Fade(float t)
{
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

float Lerp(float a, float b, float t)
{
    return a + (b - a) * t;
}

std::int64_t Wrap(std::int64_t value, unsigned period)
{
    if (period == 0) {
        return value;
    }
    std::int64_t r = value % static_cast<std::int64_t>(period);
    return r < 0 ? r + period : r;
}

// Sixteen unit directions for the gradients.
const float kGradients[16][2] = {
    {1.0f, 0.0f},        {0.92388f, 0.38268f},  {0.70711f, 0.70711f},  {0.38268f, 0.92388f},
    {0.0f, 1.0f},        {-0.38268f, 0.92388f}, {-0.70711f, 0.70711f}, {-0.92388f, 0.38268f},
    {-1.0f, 0.0f},       {-0.92388f, -0.38268f}, {-0.70711f, -0.70711f}, {-0.38268f, -0.92388f},
    {0.0f, -1.0f},       {0.38268f, -0.92388f}, {0.70711f, -0.70711f}, {0.92388f, -0.38268f},
};

} // namespace

std::uint32_t TexNoise::Hash(std::int64_t x, std::int64_t y, unsigned periodX, unsigned periodY,
                             std::uint32_t octave) const
{
    auto h = static_cast<std::uint32_t>(Wrap(x, periodX)) * 0x8da6b343u ^
             static_cast<std::uint32_t>(Wrap(y, periodY)) * 0xd8163841u ^ seed_ * 0xcb1ab31fu ^
             (octave + 1u) * 0x165667b1u;
    // A finaliser that spreads every input bit over the result.
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

float TexNoise::Sample(TexNoiseType type, double x, double y, unsigned periodX, unsigned periodY,
                       std::uint32_t octave) const
{
    double fx = std::floor(x);
    double fy = std::floor(y);
    auto ix = static_cast<std::int64_t>(fx);
    auto iy = static_cast<std::int64_t>(fy);
    auto dx = static_cast<float>(x - fx);
    auto dy = static_cast<float>(y - fy);
    float corner[4];
    for (int i = 0; i < 4; ++i) {
        int cx = i & 1;
        int cy = i >> 1;
        std::uint32_t h = Hash(ix + cx, iy + cy, periodX, periodY, octave);
        if (type == TexNoiseType::Value) {
            corner[i] = static_cast<float>(h >> 8) / 8388607.5f - 1.0f;
        } else {
            const float* g = kGradients[h >> 28];
            // Scaled so that the gradient noise spans about -1..1 like the value noise.
            corner[i] = 1.41421f * (g[0] * (dx - cx) + g[1] * (dy - cy));
        }
    }
    float u = Fade(dx);
    float v = Fade(dy);
    return Lerp(Lerp(corner[0], corner[1], u), Lerp(corner[2], corner[3], u), v);
}

float TexNoise::Fractal(const TexFractalParams& params, double x, double y, unsigned periodX, unsigned periodY) const
{
    float sum = 0.0f;
    float total = 0.0f;
    float amplitude = 1.0f;
    double frequency = 1.0;
    for (unsigned octave = 0; octave < params.octaves; ++octave) {
        unsigned scale = 1u << octave;
        sum += amplitude * Sample(params.type, x * frequency, y * frequency, periodX * scale, periodY * scale, octave);
        total += amplitude * amplitude;
        amplitude *= params.gain;
        frequency *= 2.0;
    }
    // Octaves are independent, so their sum spreads like the square root of the summed squared
    // amplitudes; dividing by it keeps the contrast of a single octave whatever the count.
    return total > 0.0f ? std::clamp(sum / std::sqrt(total), -1.0f, 1.0f) : 0.0f;
}

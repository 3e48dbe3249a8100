#include "common/texgen/TexCookie.h"

#include <algorithm>
#include <cmath>

#include "common/texgen/TexNoise.h"

namespace {

constexpr int kSamples = 4; // per side of a texel

float SmoothStep(float edge0, float edge1, float x)
{
    if (edge1 <= edge0) {
        return x < edge0 ? 0.0f : 1.0f;
    }
    float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

double Fraction(double x)
{
    return x - std::floor(x);
}

// The pattern's light at (u, v), both 0..1 across the picture, and at distance d (units of
// half the smaller side) and angle `turn` (0..1 of a full turn) about the centre.
float PatternLight(const TexCookieParams& p, const TexNoise& noise, double u, double v, double d, double turn)
{
    const double count = p.count;
    switch (p.pattern) {
    case TexCookiePattern::None: return 1.0f;
    case TexCookiePattern::Bars: return Fraction(u * count) < 0.5 ? 1.0f : 0.0f;
    case TexCookiePattern::Grid: return (Fraction(u * count) > 0.15 && Fraction(v * count) > 0.15) ? 1.0f : 0.0f;
    case TexCookiePattern::Rings: return Fraction(d * count) < 0.5 ? 1.0f : 0.0f;
    case TexCookiePattern::Blades: return Fraction(turn * count) < 0.5 ? 1.0f : 0.0f;
    case TexCookiePattern::Noise: {
        TexFractalParams fractal;
        fractal.octaves = 4;
        float n = noise.Fractal(fractal, u * count, v * count, 0, 0);
        return SmoothStep(-0.15f, 0.15f, n);
    }
    }
    return 1.0f;
}

} // namespace

TexImage MakeTexCookie(unsigned width, unsigned height, const TexCookieParams& params)
{
    TexImage image(width, height);
    const TexNoise noise(params.seed);
    const double pi = 3.14159265358979323846;
    double half = std::min(width, height) / 2.0;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            float light = 0.0f;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    double px = x + (sx + 0.5) / kSamples;
                    double py = y + (sy + 0.5) / kSamples;
                    double d = std::hypot(px - width / 2.0, py - height / 2.0) / half;
                    float disc = 1.0f - SmoothStep(params.radius - params.softness, params.radius,
                                                   static_cast<float>(d));
                    if (disc <= 0.0f) {
                        continue;
                    }
                    double turn = std::atan2(py - height / 2.0, px - width / 2.0) / (2.0 * pi) + 0.5;
                    light += disc * PatternLight(params, noise, px / width, py / height, d, turn);
                }
            }
            light /= kSamples * kSamples;
            TexColor c = params.background.Mix(params.light, light);
            image.Set(x, y, c.r, c.g, c.b, c.a);
        }
    }
    return image;
}

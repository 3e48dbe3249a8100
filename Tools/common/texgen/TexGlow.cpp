#include "common/texgen/TexGlow.h"

#include <algorithm>
#include <cmath>

TexImage MakeTexGlow(unsigned width, unsigned height, const TexGlowParams& params)
{
    TexImage image(width, height);
    double half = std::min(width, height) / 2.0;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            double r = std::hypot(x + 0.5 - width / 2.0, y + 0.5 - height / 2.0) / half / params.radius;
            float t = static_cast<float>(std::min(r, 1.0));
            float intensity = std::pow(1.0f - t, params.power);
            TexColor c = params.inner.Mix(params.outer, t);
            float scale = params.premultiplied ? intensity * c.a : 1.0f;
            image.Set(x, y, c.r * scale, c.g * scale, c.b * scale, intensity * c.a);
        }
    }
    return image;
}

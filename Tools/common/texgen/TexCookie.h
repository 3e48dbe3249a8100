#pragma once
#include <cstdint>

#include "common/texgen/TexColor.h"
#include "common/texgen/TexImage.h"

// A spot-light cookie: a soft disc of light, optionally cut by a gobo pattern, on a dark
// background. The disc is full light up to radius - softness and none from the radius on (both
// in units of half the smaller side), so the picture's border stays dark when the cookie is
// clamped. Each texel averages 4 x 4 samples, which smooths the pattern's edges.
enum class TexCookiePattern {
    None,
    Bars,   // `count` vertical bars of light across the picture
    Grid,   // window panes: `count` x `count` cells with dark frames between them
    Rings,  // `count` rings from the centre out
    Blades, // `count` light sectors around the centre, like a fan
    Noise,  // dappled light: fractal noise with `count` cells across
};

struct TexCookieParams {
    float radius = 0.8f;
    float softness = 0.15f;
    TexCookiePattern pattern = TexCookiePattern::None;
    unsigned count = 6;
    std::uint32_t seed = 1;
    TexColor light{1, 1, 1, 1};
    TexColor background{0, 0, 0, 1};
};

TexImage MakeTexCookie(unsigned width, unsigned height, const TexCookieParams& params);

#pragma once
#include "common/texgen/TexColor.h"
#include "common/texgen/TexImage.h"

// A glow sprite: intensity (1 - r / radius)^power from the centre out, 0 from the radius on,
// r measured from the picture centre in units of half the smaller side. The colour runs from
// `inner` at the centre to `outer` at the radius. Premultiplied (the default), red, green and
// blue are scaled by the intensity, so the sprite works both added (one, one) and blended as
// premultiplied alpha; otherwise only the alpha carries it.
struct TexGlowParams {
    float radius = 1.0f;
    float power = 2.0f;
    TexColor inner{1, 1, 1, 1};
    TexColor outer{1, 1, 1, 1};
    bool premultiplied = true;
};

TexImage MakeTexGlow(unsigned width, unsigned height, const TexGlowParams& params);

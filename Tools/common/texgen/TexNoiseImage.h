#pragma once
#include <cstdint>
#include <vector>

#include "common/texgen/TexColor.h"
#include "common/texgen/TexImage.h"
#include "common/texgen/TexNoise.h"

// Fractal noise over a picture. `cells` is the number of lattice cells of the first octave
// across the width; down the height there are cells * height / width. Tileable noise repeats
// after exactly those cells, so the picture wraps seamlessly at its edges; it needs a whole
// number of cells along both sides.
struct TexNoiseImageParams {
    TexFractalParams fractal;
    double cells = 4.0;
    bool tileable = false;
    bool rgb = false;             // three independent noises in red, green and blue
    TexColor low{0, 0, 0, 1};     // greyscale: the colour of the lowest values...
    TexColor high{1, 1, 1, 1};    // ...and of the highest
    std::uint32_t seed = 1;
};

// Noise values 0..1, one per texel, rows from the top; `channel` picks an independent noise.
std::vector<float> MakeTexHeightField(unsigned width, unsigned height, const TexNoiseImageParams& params,
                                      unsigned channel = 0);

TexImage MakeTexNoiseImage(unsigned width, unsigned height, const TexNoiseImageParams& params);

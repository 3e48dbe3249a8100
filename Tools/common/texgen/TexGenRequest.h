#pragma once
#include <string>
#include <vector>

#include "common/texgen/TexColor.h"
#include "common/texgen/TexCookie.h"
#include "common/texgen/TexGlow.h"
#include "common/texgen/TexGradient.h"
#include "common/texgen/TexGrid.h"
#include "common/texgen/TexNoiseImage.h"
#include "common/texgen/TexTextCard.h"

// What `orvala-tool texture gen` is asked to make: the kind, the output file and the options of
// that kind, checked and filled with their defaults.
enum class TexKind { Noise, Gradient, Grid, Glow, Cookie, Text, Normal, Cube };
enum class TexFileType { Png, Dds };
enum class TexCubeEnvironment { Sky, Direction, Grid };

struct TexCubeParams {
    TexCubeEnvironment environment = TexCubeEnvironment::Sky;
    TexColor zenith{42 / 255.0f, 93 / 255.0f, 176 / 255.0f, 1.0f};   // 2a5db0
    TexColor horizon{200 / 255.0f, 220 / 255.0f, 240 / 255.0f, 1.0f}; // c8dcf0
    TexColor ground{64 / 255.0f, 48 / 255.0f, 32 / 255.0f, 1.0f};     // 403020
    TexColor gridBackground{16 / 255.0f, 16 / 255.0f, 16 / 255.0f, 1.0f};
    TexColor gridLine{1.0f, 1.0f, 1.0f, 1.0f};
    float stepDegrees = 15.0f;
    unsigned line = 2; // texels, measured at the face centres
};

struct TexGenRequest {
    TexKind kind = TexKind::Noise;
    std::string output;
    TexFileType fileType = TexFileType::Png;
    unsigned width = 256;
    unsigned height = 256;
    bool mips = false; // a full mip chain in the DDS file

    TexNoiseImageParams noise; // noise, and the heights of a normal map
    TexGradientParams gradient;
    TexGridParams grid;
    TexGlowParams glow;
    TexCookieParams cookie;
    TexTextCardParams text;
    float normalStrength = 0.1f;
    TexCubeParams cube;
};

// The words after "texture gen": <kind> [options] <out.png|out.dds>. Throws TexGenError with a
// message naming the option at fault.
TexGenRequest ParseTexGenRequest(const std::vector<std::string>& args);

// The command's usage: a line of each kind with the options it takes, made from the option table.
std::string TexGenUsage();

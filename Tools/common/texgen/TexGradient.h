#pragma once
#include <vector>

#include "common/texgen/TexColor.h"
#include "common/texgen/TexImage.h"

struct TexGradientStop {
    float position = 0.0f; // 0..1 along the gradient
    TexColor color;
};

// The colour at t: blended between the stops around it (ascending positions); before the first
// stop its colour, after the last stop the last colour.
TexColor SampleTexGradient(const std::vector<TexGradientStop>& stops, float t);

enum class TexGradientShape { Linear, Radial };

struct TexGradientParams {
    TexGradientShape shape = TexGradientShape::Linear;
    // Linear: the direction in which the gradient runs, in degrees clockwise on the picture from
    // "left to right": 90 runs from the top row (first stop) to the bottom row (last stop).
    float angleDegrees = 90.0f;
    // Radial: the first stop at the centre, the last at `radius` times half the smaller side.
    float radius = 1.0f;
    std::vector<TexGradientStop> stops;
};

// A linear gradient puts the first stop on the texel centres of the corner where it starts and
// the last on those of the opposite corner (for 0, 90, 180 and 270 degrees: the whole first and
// last column or row).
TexImage MakeTexGradient(unsigned width, unsigned height, const TexGradientParams& params);

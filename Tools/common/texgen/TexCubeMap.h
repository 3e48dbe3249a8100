#pragma once
#include <array>
#include <functional>
#include <vector>

#include "common/texgen/TexColor.h"
#include "common/texgen/TexImage.h"

// Cube map faces in Direct3D's order, the order of a DDS cube map file.
enum class TexCubeFace { PositiveX, NegativeX, PositiveY, NegativeY, PositiveZ, NegativeZ };

// The unit direction through the point (u, v) of a face, u and v 0..1 from its top-left corner:
// the direction a cube texture lookup maps to that point. +X faces right with +Z at its left
// edge, +Y looks up with -Z at its top edge, +Z looks ahead with -X at its left edge; the side
// faces have +Y at their top edge.
std::array<float, 3> TexCubeDirection(TexCubeFace face, float u, float v);

// The colour seen in a direction (a unit vector x, y, z).
using TexEnvironment = std::function<TexColor(float x, float y, float z)>;

// Six faces of `size` x `size` texels in face order, each texel the average of samples x samples
// directions spread over it.
std::vector<TexImage> MakeTexCubeFaces(unsigned size, const TexEnvironment& environment, unsigned samples);

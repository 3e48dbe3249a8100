#pragma once
#include "common/meshgen/MeshBuilder.h"

namespace meshgen {

// A closed cone with its apex at the origin, opening along -Z: `height` long with its base
// cap at z = -height. The base polygon lies outside the circle of `radius` (its edges touch
// the circle), so the cone covers the round cone of that radius and height. The sides are
// smooth around and meet the flat base cap at a hard rim. Side texture: u once around, v from
// the apex (0) to the rim (1); the cap is mapped flat.
struct ConeOptions {
    double radius = 1.0;
    double height = 1.0;
    int segments = 32;
};
MeshBuilder BuildCone(const ConeOptions& options);

} // namespace meshgen

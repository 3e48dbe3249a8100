#pragma once
#include "common/meshgen/MeshBuilder.h"

namespace meshgen {

// A smooth sphere around the origin, poles on the Y axis, `segments` around and `rings` from
// pole to pole. Its facets lie outside the sphere of `radius`: the nearest point of every
// facet is at `radius` (plus a hair for the file's rounding), so a light volume drawn with it
// covers the whole sphere. Texture u runs once around (from +Z towards +X), v from the north
// pole (0) to the south pole (1).
struct SphereOptions {
    double radius = 1.0;
    int segments = 32;
    int rings = 16;
};
MeshBuilder BuildSphere(const SphereOptions& options);

// A disco ball: the sphere's grid cells as flat mirror tiles with corners on the sphere of
// `radius`. With a gap above 0 every tile shrinks by that fraction of its size around its
// centre and stands `groove` (a fraction of the radius) proud of a grout surface that fills
// the gaps, closed with walls; every face keeps its own flat normal. Texture coordinates are
// those of the sphere.
struct DiscoBallOptions {
    double radius = 1.0;
    int segments = 32;
    int rings = 16;
    double gap = 0.0;
    double groove = 0.03;
};
MeshBuilder BuildDiscoBall(const DiscoBallOptions& options);

} // namespace meshgen

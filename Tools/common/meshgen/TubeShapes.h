#pragma once
#include <cstdint>

#include "common/meshgen/MeshBuilder.h"

namespace meshgen {

// A tunnel seen from inside: an open-ended tube along the Z axis from z = +length/2 to
// -length/2, faces and smooth normals pointing into it. `segments` around, `rings` along.
// Optional gentle deformation: `noise` varies the radius by up to about that fraction, `bend`
// swings the centre line sideways by up to that distance (0 at both ends); both off by
// default and deterministic for a seed. Texture: u `tile[0]` times around, v `tile[1]` times
// along.
struct TubeOptions {
    double radius = 1.0;
    double length = 10.0;
    int segments = 32;
    int rings = 40;
    double noise = 0.0;
    double bend = 0.0;
    std::uint32_t seed = 1;
    double tileU = 1.0;
    double tileV = 4.0;
};
MeshBuilder BuildTube(const TubeOptions& options);

// A closed, smooth (p, q) torus knot tube in the XY plane, seen face-on from +Z: the centre line
// winds p times around the Z axis and q times through the hole, between about radius / 3 and
// radius from the axis; the tube has `tube` radius, `segments` steps along the knot and `sides`
// around. p and q have no common factor; a tube so thick that it would run into itself is
// refused.
struct TorusKnotOptions {
    double radius = 1.0;
    double tube = 0.1;
    int p = 2;
    int q = 3;
    int segments = 256;
    int sides = 16;
};
MeshBuilder BuildTorusKnot(const TorusKnotOptions& options);

} // namespace meshgen

#pragma once
#include <array>
#include <string>
#include <vector>

#include "common/meshgen/MeshBuilder.h"

namespace meshgen {

// A box centred on the origin with hard edges: each of its six faces has its own corners and
// normal (24 vertices with one segment). `segments` splits every face into a grid (more vertices
// for per-vertex work such as baked occlusion). Every face maps the whole texture, upright when
// the face is seen from outside (v = 0 at its top; the top and bottom faces have -Z and +Z up).
struct BoxOptions {
    std::array<double, 3> size{1.0, 1.0, 1.0}; // full extents along X, Y and Z
    int segments = 1;
};
MeshBuilder BuildBox(const BoxOptions& options);

// A wall of the open box with a material of its own, such as a Cornell box's red and green
// walls. `side` is one of "+x", "-x", "+y", "-y", "+z", "-z".
struct WallMaterial {
    std::string side;
    MeshMaterial material;
};

// The box seen from inside (a room, a Cornell box): faces and normals point into it and the
// textures read upright from inside. `open` names one side left out ("+x", "-x", "+y", "-y",
// "+z", "-z") or "none". Every wall named in `walls` (each side once, never the open one) gets
// its material; they are added after material 0 in the order +x, -x, +y, -y, +z, -z, and the
// other walls stay on material 0.
struct OpenBoxOptions {
    std::array<double, 3> size{2.0, 2.0, 2.0};
    int segments = 1;
    std::string open = "none";
    std::vector<WallMaterial> walls;
};
MeshBuilder BuildOpenBox(const OpenBoxOptions& options);

// A box with rounded edges and corners of `radius`, smooth all over: the flat faces blend into
// quarter-round edges and eighth-sphere corners. `segments` is the number of steps across each
// half of a rounded edge (1 gives a chamfer with smoothed normals). A radius of half the
// smallest extent rounds that way fully.
struct RoundedCubeOptions {
    std::array<double, 3> size{1.0, 1.0, 1.0};
    double radius = 0.1;
    int segments = 4;
};
MeshBuilder BuildRoundedCube(const RoundedCubeOptions& options);

} // namespace meshgen

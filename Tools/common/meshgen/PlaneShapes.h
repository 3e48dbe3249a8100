#pragma once
#include <array>
#include <cstdint>

#include "common/meshgen/MeshBuilder.h"

namespace meshgen {

// A flat rectangle in the XZ plane centred on the origin, facing +Y, split into a grid of
// `segments` by `segments` quads. The texture repeats `tile` times along X (u) and Z (v).
struct PlaneOptions {
    std::array<double, 2> size{2.0, 2.0}; // along X and Z
    int segments = 1;
    std::array<double, 2> tile{1.0, 1.0};
};
MeshBuilder BuildPlane(const PlaneOptions& options);

// A ground: the plane as a finer grid whose heights follow gentle smooth noise (up to about
// `height` above and below y = 0, with features about 1 / `frequency` apart), with smooth
// normals taken from the height field itself. The same seed gives the same ground.
struct GroundOptions {
    std::array<double, 2> size{20.0, 20.0};
    int segments = 64;
    std::array<double, 2> tile{4.0, 4.0};
    double height = 0.2;
    double frequency = 0.3;
    std::uint32_t seed = 1;
};
MeshBuilder BuildGround(const GroundOptions& options);

} // namespace meshgen

#include "common/meshgen/PlaneShapes.h"

#include <functional>
#include <vector>

#include "common/meshgen/HeightNoise.h"
#include "common/meshgen/ShapeChecks.h"

namespace meshgen {

namespace {

// A grid over the XZ rectangle; `surface` gives each grid point's position and normal.
MeshBuilder HeightGrid(const std::array<double, 2>& size, int segments, const std::array<double, 2>& tile,
                       const std::function<MeshVertex(double x, double z)>& surface)
{
    RequirePositive("--size", size[0]);
    RequirePositive("--size", size[1]);
    RequirePositive("--tile", tile[0]);
    RequirePositive("--tile", tile[1]);
    MeshBuilder mesh;
    const int n = segments;
    std::vector<std::uint32_t> ids;
    for (int i = 0; i <= n; ++i) // along X
        for (int j = 0; j <= n; ++j) { // along Z
            const double fx = static_cast<double>(i) / n, fz = static_cast<double>(j) / n;
            const double x = i == n ? size[0] * 0.5 : -size[0] * 0.5 + size[0] * fx;
            const double z = j == n ? size[1] * 0.5 : -size[1] * 0.5 + size[1] * fz;
            const MeshVertex vertex = surface(x, z);
            ids.push_back(mesh.AddVertex(vertex.position, vertex.normal, {tile[0] * fx, tile[1] * fz}));
        }
    const auto id = [&](int i, int j) { return ids[static_cast<std::size_t>(i * (n + 1) + j)]; };
    // Seen from above: +Z then +X turns counter-clockwise about +Y.
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            mesh.AddQuad(id(i, j), id(i, j + 1), id(i + 1, j + 1), id(i + 1, j));
    return mesh;
}

} // namespace

MeshBuilder BuildPlane(const PlaneOptions& options)
{
    RequireCount("--segments", options.segments, 1, 1024);
    return HeightGrid(options.size, options.segments, options.tile,
                      [](double x, double z) { return MeshVertex{{x, 0.0, z}, {0.0, 1.0, 0.0}, {}}; });
}

MeshBuilder BuildGround(const GroundOptions& options)
{
    RequireCount("--segments", options.segments, 1, 1024);
    RequireRange("--height", options.height, 0.0, 1e6);
    RequirePositive("--frequency", options.frequency);
    const HeightNoise noise(options.seed);
    const auto height = [&](double x, double z) {
        return options.height * noise.Fractal(x * options.frequency, z * options.frequency, 3);
    };
    // Normals from the slope of the height field (central differences over a small step).
    const double step = 1e-3 / options.frequency;
    return HeightGrid(options.size, options.segments, options.tile, [&](double x, double z) {
        const double dx = (height(x + step, z) - height(x - step, z)) / (2.0 * step);
        const double dz = (height(x, z + step) - height(x, z - step)) / (2.0 * step);
        return MeshVertex{{x, height(x, z), z}, Normalize(Vec3{-dx, 1.0, -dz}), {}};
    });
}

} // namespace meshgen

#include "common/meshgen/ConeShape.h"

#include <cmath>
#include <vector>

#include "common/meshgen/ShapeChecks.h"

namespace meshgen {

MeshBuilder BuildCone(const ConeOptions& options)
{
    RequirePositive("--radius", options.radius);
    RequirePositive("--height", options.height);
    RequireCount("--segments", options.segments, 3, 1024);
    const int n = options.segments;
    const double h = options.height;
    // Corners on a slightly larger circle so that the polygon's edges touch the true circle,
    // plus room for the file's rounding.
    const double rim = options.radius / std::cos(kPi / n) * (1.0 + 1e-5);
    std::vector<Vec3> ring;
    for (int j = 0; j < n; ++j) {
        const double phi = 2.0 * kPi * j / n;
        ring.push_back({rim * std::cos(phi), rim * std::sin(phi), -h});
    }
    const auto sideNormal = [&](double phi) {
        return Normalize(Vec3{std::cos(phi), std::sin(phi), options.radius / h});
    };

    MeshBuilder mesh;
    const Vec3 apex{0.0, 0.0, 0.0};
    std::vector<std::uint32_t> rimIds;
    for (int j = 0; j <= n; ++j) {
        const double phi = 2.0 * kPi * j / n;
        rimIds.push_back(mesh.AddVertex(ring[static_cast<std::size_t>(j % n)], sideNormal(phi),
                                        {static_cast<double>(j) / n, 1.0}));
    }
    for (int j = 0; j < n; ++j) {
        const double middle = 2.0 * kPi * (j + 0.5) / n;
        const auto tip = mesh.AddVertex(apex, sideNormal(middle), {(j + 0.5) / n, 0.0});
        mesh.AddTriangle(tip, rimIds[static_cast<std::size_t>(j)], rimIds[static_cast<std::size_t>(j + 1)]);
    }

    const Vec3 down{0.0, 0.0, -1.0};
    const auto centre = mesh.AddVertex({0.0, 0.0, -h}, down, {0.5, 0.5});
    std::vector<std::uint32_t> capIds;
    for (const Vec3& p : ring)
        capIds.push_back(mesh.AddVertex(p, down, {0.5 + 0.5 * p.x / rim, 0.5 - 0.5 * p.y / rim}));
    for (int j = 0; j < n; ++j)
        mesh.AddTriangle(centre, capIds[static_cast<std::size_t>((j + 1) % n)], capIds[static_cast<std::size_t>(j)]);
    return mesh;
}

} // namespace meshgen

#include "common/meshgen/SphereShapes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/meshgen/ShapeChecks.h"

namespace meshgen {

namespace {

// Room left for the six decimals of the file, so that rounding cannot pull a facet inside.
constexpr double kRoundingMargin = 1e-5;

// Points of the unit sphere on the grid: row i from the north pole (0) to the south pole
// (rings), column j around (the column `segments` is column 0 again, bit for bit).
class SphereGrid {
public:
    SphereGrid(int segments, int rings) : segments_(segments), rings_(rings)
    {
        for (int i = 0; i <= rings; ++i) {
            for (int j = 0; j < segments; ++j) {
                if (i == 0) {
                    points_.push_back({0.0, 1.0, 0.0});
                } else if (i == rings) {
                    points_.push_back({0.0, -1.0, 0.0});
                } else {
                    const double theta = kPi * i / rings;
                    const double phi = 2.0 * kPi * j / segments;
                    points_.push_back({std::sin(theta) * std::sin(phi), std::cos(theta), std::sin(theta) * std::cos(phi)});
                }
            }
        }
    }
    Vec3 At(int i, int j) const { return points_[static_cast<std::size_t>(i * segments_ + j % segments_)]; }
    Vec2 Uv(int i, int j) const
    {
        // A pole vertex sits in the middle of its column's triangle; the seam column is u = 1.
        const bool pole = (i == 0 || i == rings_) && j < segments_;
        const double u = pole ? (j + 0.5) / segments_ : static_cast<double>(j) / segments_;
        return {u, static_cast<double>(i) / rings_};
    }
    // The corners of cell (i, j), counter-clockwise seen from outside: a triangle at the poles.
    std::vector<std::pair<int, int>> Cell(int i, int j) const
    {
        if (i == 0)
            return {{0, j}, {1, j}, {1, j + 1}};
        if (i == rings_ - 1)
            return {{i, j}, {rings_, j}, {i, j + 1}};
        return {{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j + 1}};
    }

private:
    int segments_;
    int rings_;
    std::vector<Vec3> points_;
};

void CheckGrid(int segments, int rings, double radius)
{
    RequirePositive("--radius", radius);
    RequireCount("--segments", segments, 3, 1024);
    RequireCount("--rings", rings, 2, 512);
}

} // namespace

MeshBuilder BuildSphere(const SphereOptions& options)
{
    CheckGrid(options.segments, options.rings, options.radius);
    const SphereGrid grid(options.segments, options.rings);
    MeshBuilder mesh;
    // One vertex per grid point and column; the pole rows carry one vertex per column so that
    // each pole triangle samples the texture in its own column.
    std::vector<std::uint32_t> ids;
    for (int i = 0; i <= options.rings; ++i)
        for (int j = 0; j <= options.segments; ++j) {
            const Vec3 p = grid.At(i, j);
            ids.push_back(mesh.AddVertex(p, p, grid.Uv(i, j)));
        }
    const auto id = [&](int i, int j) { return ids[static_cast<std::size_t>(i * (options.segments + 1) + j)]; };
    for (int i = 0; i < options.rings; ++i)
        for (int j = 0; j < options.segments; ++j) {
            const auto cell = grid.Cell(i, j);
            if (cell.size() == 3)
                mesh.AddTriangle(id(cell[0].first, cell[0].second), id(cell[1].first, cell[1].second),
                                 id(cell[2].first, cell[2].second));
            else
                mesh.AddQuad(id(cell[0].first, cell[0].second), id(cell[1].first, cell[1].second),
                             id(cell[2].first, cell[2].second), id(cell[3].first, cell[3].second));
        }

    // Grow the unit-radius polyhedron until its nearest facet plane touches the sphere.
    double nearest = std::numeric_limits<double>::max();
    const auto& v = mesh.Vertices();
    for (const auto& t : mesh.Triangles()) {
        const Vec3 a = v[t[0]].position, b = v[t[1]].position, c = v[t[2]].position;
        nearest = std::min(nearest, Dot(Normalize(Cross(b - a, c - a)), a));
    }
    const double scale = options.radius / nearest * (1.0 + kRoundingMargin);
    for (auto& vertex : mesh.Vertices())
        vertex.position = vertex.position * scale;
    return mesh;
}

MeshBuilder BuildDiscoBall(const DiscoBallOptions& options)
{
    CheckGrid(options.segments, options.rings, options.radius);
    RequireRange("--gap", options.gap, 0.0, 0.5);
    if (options.gap > 0.0)
        RequireRange("--groove", options.groove, 0.001, 0.5);
    const SphereGrid grid(options.segments, options.rings);
    const double r = options.radius;
    const double recess = 1.0 - options.groove;
    MeshBuilder mesh;
    for (int i = 0; i < options.rings; ++i)
        for (int j = 0; j < options.segments; ++j) {
            std::vector<Vec3> corners;
            std::vector<Vec2> uvs;
            for (const auto& [ci, cj] : grid.Cell(i, j)) {
                corners.push_back(grid.At(ci, cj) * r);
                uvs.push_back(grid.Uv(ci, cj));
            }
            const Vec3 outside = PolygonNormal(corners);
            if (options.gap <= 0.0) {
                mesh.AddFlatPolygon(corners, uvs, outside);
                continue;
            }
            Vec3 centre;
            Vec2 uvCentre;
            for (std::size_t k = 0; k < corners.size(); ++k) {
                centre = centre + corners[k] * (1.0 / corners.size());
                uvCentre = uvCentre + uvs[k] * (1.0 / corners.size());
            }
            const double keep = 1.0 - options.gap;
            std::vector<Vec3> tile;
            std::vector<Vec2> tileUvs;
            for (std::size_t k = 0; k < corners.size(); ++k) {
                tile.push_back(centre + (corners[k] - centre) * keep);
                tileUvs.push_back(uvCentre + (uvs[k] - uvCentre) * keep);
            }
            mesh.AddFlatPolygon(tile, tileUvs, outside);
            const std::size_t n = corners.size();
            for (std::size_t k = 0; k < n; ++k) {
                const std::size_t l = (k + 1) % n;
                // The wall below the tile's edge, facing away from the tile's centre.
                const Vec3 edgeMiddle = (tile[k] + tile[l]) * 0.5;
                mesh.AddFlatPolygon({tile[k], tile[l], tile[l] * recess, tile[k] * recess},
                                    {tileUvs[k], tileUvs[l], tileUvs[l], tileUvs[k]}, edgeMiddle - centre);
                // The grout between the tile's foot and the cell's border.
                mesh.AddFlatPolygon({corners[k] * recess, corners[l] * recess, tile[l] * recess, tile[k] * recess},
                                    {uvs[k], uvs[l], tileUvs[l], tileUvs[k]}, outside);
            }
        }
    return mesh;
}

} // namespace meshgen

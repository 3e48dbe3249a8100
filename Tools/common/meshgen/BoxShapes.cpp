#include "common/meshgen/BoxShapes.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/meshgen/ShapeChecks.h"

namespace meshgen {

namespace {

// One face of an axis-aligned box: the axis of its normal and the two axes across it, each
// with a sign, chosen so that u × v = normal (u to the right and v up, seen from outside).
struct FaceAxes {
    const char* name;
    int normal, normalSign;
    int u, uSign;
    int v, vSign;
};

constexpr FaceAxes kFaces[6] = {
    {"+x", 0, 1, 2, -1, 1, 1}, {"-x", 0, -1, 2, 1, 1, 1}, {"+y", 1, 1, 0, 1, 2, -1},
    {"-y", 1, -1, 0, 1, 2, 1}, {"+z", 2, 1, 0, 1, 1, 1},  {"-z", 2, -1, 0, -1, 1, 1},
};

using AxisStops = std::array<std::vector<double>, 3>; // ascending coordinates along each axis, ends exact

double& Component(Vec3& p, int axis) { return axis == 0 ? p.x : (axis == 1 ? p.y : p.z); }

Vec3 AxisVector(int axis, int sign)
{
    Vec3 v;
    Component(v, axis) = sign;
    return v;
}

// The grid points of one face, row j (along v) by column i (along u). Points on a shared edge
// are built from the same stop values on both faces, so they agree bit for bit.
std::vector<std::vector<Vec3>> FaceGrid(const FaceAxes& face, const AxisStops& stops)
{
    const auto& su = stops[static_cast<std::size_t>(face.u)];
    const auto& sv = stops[static_cast<std::size_t>(face.v)];
    const auto& sn = stops[static_cast<std::size_t>(face.normal)];
    std::vector<std::vector<Vec3>> grid(sv.size(), std::vector<Vec3>(su.size()));
    for (std::size_t j = 0; j < sv.size(); ++j)
        for (std::size_t i = 0; i < su.size(); ++i) {
            Vec3 p;
            Component(p, face.normal) = face.normalSign > 0 ? sn.back() : sn.front();
            Component(p, face.u) = face.uSign > 0 ? su[i] : su[su.size() - 1 - i];
            Component(p, face.v) = face.vSign > 0 ? sv[j] : sv[sv.size() - 1 - j];
            grid[j][i] = p;
        }
    return grid;
}

// Texture coordinates of a point on a face: the face's whole extent maps to 0...1, upright.
Vec2 FaceUv(const FaceAxes& face, const std::array<double, 3>& half, Vec3 p)
{
    const double u = (face.uSign * Component(p, face.u) + half[static_cast<std::size_t>(face.u)]) /
                     (2.0 * half[static_cast<std::size_t>(face.u)]);
    const double v = (face.vSign * Component(p, face.v) + half[static_cast<std::size_t>(face.v)]) /
                     (2.0 * half[static_cast<std::size_t>(face.v)]);
    return {u, 1.0 - v};
}

AxisStops EvenStops(const std::array<double, 3>& half, int segments)
{
    AxisStops stops;
    for (std::size_t a = 0; a < 3; ++a) {
        stops[a].push_back(-half[a]);
        for (int k = 1; k < segments; ++k)
            stops[a].push_back(-half[a] + 2.0 * half[a] * k / segments);
        stops[a].push_back(half[a]);
    }
    return stops;
}

std::array<double, 3> Halves(const std::array<double, 3>& size)
{
    RequirePositive("--size", size[0]);
    RequirePositive("--size", size[1]);
    RequirePositive("--size", size[2]);
    return {size[0] * 0.5, size[1] * 0.5, size[2] * 0.5};
}

// Adds one face as a grid of quads. `place` turns a grid point into its vertex (position and
// normal); the quads face outwards.
void AddFace(MeshBuilder& mesh, const FaceAxes& face, const AxisStops& stops, const std::array<double, 3>& half,
             const std::function<MeshVertex(Vec3)>& place)
{
    const auto grid = FaceGrid(face, stops);
    std::vector<std::vector<std::uint32_t>> ids(grid.size());
    for (std::size_t j = 0; j < grid.size(); ++j)
        for (const Vec3& p : grid[j]) {
            const MeshVertex vertex = place(p);
            ids[j].push_back(mesh.AddVertex(vertex.position, vertex.normal, FaceUv(face, half, p)));
        }
    for (std::size_t j = 0; j + 1 < grid.size(); ++j)
        for (std::size_t i = 0; i + 1 < grid[j].size(); ++i)
            mesh.AddQuad(ids[j][i], ids[j][i + 1], ids[j + 1][i + 1], ids[j + 1][i]);
}

MeshVertex FlatVertex(const FaceAxes& face, Vec3 p)
{
    return {p, AxisVector(face.normal, face.normalSign), {}};
}

} // namespace

MeshBuilder BuildBox(const BoxOptions& options)
{
    const auto half = Halves(options.size);
    RequireCount("--segments", options.segments, 1, 256);
    const AxisStops stops = EvenStops(half, options.segments);
    MeshBuilder mesh;
    for (const FaceAxes& face : kFaces)
        AddFace(mesh, face, stops, half, [&](Vec3 p) { return FlatVertex(face, p); });
    return mesh;
}

MeshBuilder BuildOpenBox(const OpenBoxOptions& options)
{
    const auto half = Halves(options.size);
    RequireCount("--segments", options.segments, 1, 256);
    bool known = options.open == "none";
    for (const FaceAxes& face : kFaces)
        known = known || options.open == face.name;
    if (!known)
        throw std::invalid_argument("--open must be none, +x, -x, +y, -y, +z or -z, not \"" + options.open + "\"");
    std::map<std::string, const MeshMaterial*> wallMaterials;
    for (const WallMaterial& wall : options.walls) {
        if (std::none_of(std::begin(kFaces), std::end(kFaces), [&](const FaceAxes& f) { return wall.side == f.name; }))
            throw std::invalid_argument("--wall side must be +x, -x, +y, -y, +z or -z, not \"" + wall.side + "\"");
        if (wall.side == options.open)
            throw std::invalid_argument("--wall " + wall.side + " is the open side");
        if (!wallMaterials.emplace(wall.side, &wall.material).second)
            throw std::invalid_argument("--wall " + wall.side + " is given twice");
    }
    const AxisStops stops = EvenStops(half, options.segments);
    MeshBuilder mesh;
    for (const FaceAxes& face : kFaces) {
        if (options.open == face.name)
            continue;
        MeshBuilder wall;
        const auto own = wallMaterials.find(face.name);
        if (own != wallMaterials.end())
            wall.UseMaterial(wall.AddMaterial(*own->second));
        AddFace(wall, face, stops, half, [&](Vec3 p) { return FlatVertex(face, p); });
        wall.Flip();
        // Seen from inside, the face's right-hand direction is reversed.
        for (MeshVertex& vertex : wall.Vertices())
            vertex.uv.x = 1.0 - vertex.uv.x;
        mesh.Append(wall);
    }
    return mesh;
}

MeshBuilder BuildRoundedCube(const RoundedCubeOptions& options)
{
    const auto half = Halves(options.size);
    RequireCount("--segments", options.segments, 1, 64);
    const double r = options.radius;
    RequireRange("--radius", r, 0.0, *std::min_element(half.begin(), half.end()));
    RequirePositive("--radius", r);

    // Along each axis: the rounded band at each end in even angle steps (a point at offset s
    // from the box's edge lands at angle atan((r - s) / r) on the round), the flat middle in one
    // step. Where the radius is half the extent, the two bands meet in the middle.
    AxisStops stops;
    const int k = options.segments;
    std::vector<double> band; // offsets from the edge, 0 ... r
    for (int step = 0; step <= k; ++step) {
        const double angle = kPi / 4.0 * (1.0 - static_cast<double>(step) / k);
        band.push_back(step == k ? r : r - r * std::tan(angle));
    }
    for (std::size_t a = 0; a < 3; ++a) {
        const double h = half[a];
        for (double s : band)
            stops[a].push_back(-h + s);
        stops[a].front() = -h;
        const bool meet = h - r <= h * 1e-12;
        for (std::size_t step = band.size(); step-- > 0;) {
            if (meet && step == band.size() - 1)
                continue;
            stops[a].push_back(h - band[step]);
        }
        stops[a].back() = h;
    }

    const Vec3 inner{half[0] - r, half[1] - r, half[2] - r};
    const auto place = [&](Vec3 p) {
        const Vec3 core{std::clamp(p.x, -inner.x, inner.x), std::clamp(p.y, -inner.y, inner.y),
                        std::clamp(p.z, -inner.z, inner.z)};
        const Vec3 normal = Normalize(p - core);
        return MeshVertex{core + normal * r, normal, {}};
    };
    MeshBuilder mesh;
    for (const FaceAxes& face : kFaces)
        AddFace(mesh, face, stops, half, place);
    return mesh;
}

} // namespace meshgen

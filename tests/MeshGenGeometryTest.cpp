#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "MeshGenFiles.h"

using namespace meshgen;

namespace {

constexpr double kPiValue = 3.14159265358979323846;

struct Bounds {
    Vec3 min{1e30, 1e30, 1e30};
    Vec3 max{-1e30, -1e30, -1e30};
};

Bounds BoundsOf(const CheckMesh& mesh)
{
    Bounds b;
    for (const Vec3& p : mesh.positions) {
        b.min = {std::min(b.min.x, p.x), std::min(b.min.y, p.y), std::min(b.min.z, p.z)};
        b.max = {std::max(b.max.x, p.x), std::max(b.max.y, p.y), std::max(b.max.z, p.z)};
    }
    return b;
}

// Evenly spread directions (a Fibonacci lattice on the sphere).
std::vector<Vec3> Directions(int count)
{
    std::vector<Vec3> directions;
    const double golden = kPiValue * (3.0 - std::sqrt(5.0));
    for (int i = 0; i < count; ++i) {
        const double y = 1.0 - 2.0 * (i + 0.5) / count, r = std::sqrt(1.0 - y * y);
        directions.push_back({r * std::cos(golden * i), y, r * std::sin(golden * i)});
    }
    return directions;
}

// The normals met at each point of the mesh (positions as written, six decimals).
std::map<std::tuple<long, long, long>, std::vector<Vec3>> NormalsByPoint(const CheckMesh& mesh)
{
    std::map<std::tuple<long, long, long>, std::vector<Vec3>> normals;
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t)
        for (int k = 0; k < 3; ++k) {
            const Vec3 p = mesh.positions[mesh.triangles[t][static_cast<std::size_t>(k)]];
            normals[{std::lround(p.x * 1e5), std::lround(p.y * 1e5), std::lround(p.z * 1e5)}].push_back(
                mesh.cornerNormals[t][static_cast<std::size_t>(k)]);
        }
    return normals;
}

class MeshGenGeometry : public ::testing::Test {
protected:
    GeneratedMesh Generate(const std::vector<std::string>& args)
    {
        std::vector<std::string> full{"mesh", "gen"};
        full.insert(full.end(), args.begin(), args.end());
        return RunMeshTool(dir, full);
    }
    TempDir dir;
};

// The point-light volume must cover the whole sphere it stands for, however coarse.
TEST_F(MeshGenGeometry, SphereContainsTheSphereOfItsRadius)
{
    const std::vector<std::tuple<std::string, std::string, double>> grids = {
        {"32", "16", 1.0}, {"8", "4", 1.0}, {"3", "2", 1.0}, {"64", "32", 1.0}, {"12", "6", 2.5}};
    for (const auto& [segments, rings, radius] : grids) {
        SCOPED_TRACE(segments + " x " + rings);
        const GeneratedMesh sphere =
            Generate({"sphere", "--segments", segments, "--rings", rings, "--radius", std::to_string(radius)});
        if (!ReadBack(sphere))
            continue;
        EXPECT_NEAR(WindingNumber(sphere.mesh, {0.0, 0.0, 0.0}), 1.0, 1e-6);
        EXPECT_GE(DistanceToSurface(sphere.mesh, {0.0, 0.0, 0.0}), radius);
        for (const Vec3& d : Directions(300))
            ASSERT_NEAR(WindingNumber(sphere.mesh, d * radius), 1.0, 1e-6) << d.x << " " << d.y << " " << d.z;
    }
    // A dense sphere fits snugly: no more than the rounding margin beyond the radius at its facets.
    const GeneratedMesh dense = Generate({"sphere", "--segments", "64", "--rings", "32"});
    if (ReadBack(dense)) {
        EXPECT_LT(DistanceToSurface(dense.mesh, {0.0, 0.0, 0.0}), 1.0 + 1e-4);
    }
}

TEST_F(MeshGenGeometry, SphereHasSmoothRadialNormals)
{
    const GeneratedMesh sphere = Generate({"sphere", "--segments", "10", "--rings", "5"});
    if (!ReadBack(sphere))
        return;
    for (std::size_t t = 0; t < sphere.mesh.triangles.size(); ++t)
        for (int k = 0; k < 3; ++k) {
            const Vec3 p = sphere.mesh.positions[sphere.mesh.triangles[t][static_cast<std::size_t>(k)]];
            ASSERT_GT(Dot(sphere.mesh.cornerNormals[t][static_cast<std::size_t>(k)], Normalize(p)), 0.99999);
        }
}

// The spot-light volume: apex at the light, opening along -Z, covering the round cone of base
// radius 1 at z = -1.
TEST_F(MeshGenGeometry, ConeCoversTheRoundConeWithAHardRim)
{
    for (const std::string segments : {"3", "7", "32"}) {
        SCOPED_TRACE(segments + " segments");
        const GeneratedMesh cone = Generate({"cone", "--segments", segments});
        if (!ReadBack(cone))
            continue;
        const Bounds b = BoundsOf(cone.mesh);
        EXPECT_NEAR(b.max.z, 0.0, 1e-6);
        EXPECT_NEAR(b.min.z, -1.0, 1e-6);
        EXPECT_NEAR(WindingNumber(cone.mesh, {0.0, 0.0, -1e-3}), 1.0, 1e-6);

        // The base polygon: every edge of the rim lies at least 1 from the axis.
        std::vector<Vec2> rim;
        for (const Vec3& p : cone.mesh.positions)
            if (std::fabs(p.z + 1.0) < 1e-6 && std::hypot(p.x, p.y) > 0.5)
                rim.push_back({p.x, p.y});
        std::sort(rim.begin(), rim.end(), [](Vec2 a, Vec2 c) { return std::atan2(a.y, a.x) < std::atan2(c.y, c.x); });
        rim.erase(std::unique(rim.begin(), rim.end(), [](Vec2 a, Vec2 c) { return Length(a - c) < 1e-6; }), rim.end());
        ASSERT_EQ(rim.size(), static_cast<std::size_t>(std::stoi(segments)));
        for (std::size_t i = 0; i < rim.size(); ++i) {
            const Vec2 a = rim[i], c = rim[(i + 1) % rim.size()];
            EXPECT_GE(std::fabs(Cross(a, c)) / Length(c - a), 1.0) << "rim edge " << i;
        }
        // Inside along its whole length, just within the round cone's surface.
        for (double z : {-0.25, -0.5, -0.75, -0.9999})
            for (int k = 0; k < 24; ++k) {
                const double phi = 2.0 * kPiValue * k / 24, r = -z * (1.0 - 1e-4);
                ASSERT_NEAR(WindingNumber(cone.mesh, {r * std::cos(phi), r * std::sin(phi), z}), 1.0, 1e-6)
                    << "z " << z << " angle " << phi;
            }
        // The rim is a hard edge: the cap's normal -Z meets side normals that rise towards +Z.
        for (const auto& [point, normals] : NormalsByPoint(cone.mesh)) {
            if (std::get<2>(point) != -100000 || std::hypot(std::get<0>(point), std::get<1>(point)) < 50000)
                continue;
            bool cap = false, side = false;
            for (const Vec3& n : normals) {
                cap = cap || (n.z < -0.99999);
                side = side || (n.z > 0.1 && std::hypot(n.x, n.y) > 0.1);
            }
            EXPECT_TRUE(cap && side);
        }
    }
}

TEST_F(MeshGenGeometry, BoxHas24CornersWithFlatFacesOfTheGivenSize)
{
    const GeneratedMesh box = Generate({"box", "--size", "1", "2", "3"});
    if (!ReadBack(box))
        return;
    EXPECT_EQ(box.model.meshes[0].positions.size(), 24u);
    EXPECT_EQ(box.mesh.triangles.size(), 12u);
    const Bounds b = BoundsOf(box.mesh);
    EXPECT_NEAR(b.max.x - b.min.x, 1.0, 1e-6);
    EXPECT_NEAR(b.max.y - b.min.y, 2.0, 1e-6);
    EXPECT_NEAR(b.max.z - b.min.z, 3.0, 1e-6);
    EXPECT_NEAR(b.max.y + b.min.y, 0.0, 1e-6);
    // Each corner of the box meets three faces with three different axis normals.
    const auto byPoint = NormalsByPoint(box.mesh);
    EXPECT_EQ(byPoint.size(), 8u);
    for (const auto& [point, normals] : byPoint)
        for (const Vec3& n : normals)
            EXPECT_NEAR(std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z), 1.0, 1e-6);
}

TEST_F(MeshGenGeometry, OpenBoxFacesInwardsAndLeavesTheNamedSideOpen)
{
    const GeneratedMesh room = Generate({"openbox", "--size", "4", "2", "6", "--open", "+z"});
    if (!ReadBack(room))
        return;
    for (std::size_t t = 0; t < room.mesh.triangles.size(); ++t) {
        const auto& tri = room.mesh.triangles[t];
        const Vec3 centre = (room.mesh.positions[tri[0]] + room.mesh.positions[tri[1]] + room.mesh.positions[tri[2]]) * (1.0 / 3.0);
        EXPECT_LT(Dot(room.mesh.cornerNormals[t][0], centre), 0.0) << "triangle " << t << " faces out";
        EXPECT_LT(centre.z, 3.0 - 1e-6) << "triangle " << t << " closes the open side";
    }
    EXPECT_EQ(room.mesh.triangles.size(), 10u);
    // The hole runs round the open side.
    EXPECT_EQ(CheckEdges(room.mesh).boundary, 4u);
}

TEST_F(MeshGenGeometry, PlaneAndGroundLieAroundYZero)
{
    const GeneratedMesh plane = Generate({"plane", "--size", "6", "4", "--segments", "2"});
    if (ReadBack(plane)) {
        const Bounds b = BoundsOf(plane.mesh);
        EXPECT_NEAR(b.min.x, -3.0, 1e-6);
        EXPECT_NEAR(b.max.z, 2.0, 1e-6);
        EXPECT_EQ(b.min.y, 0.0);
        EXPECT_EQ(b.max.y, 0.0);
        EXPECT_EQ(plane.mesh.triangles.size(), 8u);
        for (const auto& corner : plane.mesh.cornerNormals)
            for (const Vec3& n : corner)
                EXPECT_EQ(n.y, 1.0);
    }
    const GeneratedMesh ground = Generate({"ground", "--height", "0.5", "--seed", "3"});
    if (ReadBack(ground)) {
        const Bounds b = BoundsOf(ground.mesh);
        EXPECT_LE(b.max.y, 0.5 + 1e-6);
        EXPECT_GE(b.min.y, -0.5 - 1e-6);
        EXPECT_GT(b.max.y - b.min.y, 0.1) << "the ground is flat";
        // Gentle, and smooth: all normals at a point agree.
        for (const auto& [point, normals] : NormalsByPoint(ground.mesh))
            for (const Vec3& n : normals) {
                EXPECT_GT(n.y, 0.8);
                EXPECT_GT(Dot(n, normals[0]), 0.999999);
            }
    }
    const GeneratedMesh other = Generate({"ground", "--height", "0.5", "--seed", "4"});
    if (ReadBack(other)) {
        EXPECT_NE(other.bytes, ground.bytes);
    }
}

TEST_F(MeshGenGeometry, TubeKeepsItsRadiusAndFacesTheAxis)
{
    const GeneratedMesh tube = Generate({"tube", "--radius", "1.5", "--length", "8"});
    if (!ReadBack(tube))
        return;
    const Bounds b = BoundsOf(tube.mesh);
    EXPECT_NEAR(b.min.z, -4.0, 1e-6);
    EXPECT_NEAR(b.max.z, 4.0, 1e-6);
    for (std::size_t t = 0; t < tube.mesh.triangles.size(); ++t)
        for (int k = 0; k < 3; ++k) {
            const Vec3 p = tube.mesh.positions[tube.mesh.triangles[t][static_cast<std::size_t>(k)]];
            ASSERT_NEAR(std::hypot(p.x, p.y), 1.5, 1e-5);
            const Vec3 inwards = Normalize(Vec3{-p.x, -p.y, 0.0});
            ASSERT_GT(Dot(tube.mesh.cornerNormals[t][static_cast<std::size_t>(k)], inwards), 0.99999);
        }
    // Noise and bends change the shape.
    const GeneratedMesh bent = Generate({"tunnel", "--radius", "1.5", "--length", "8", "--noise", "0.3", "--bend", "2"});
    if (!ReadBack(bent))
        return;
    EXPECT_NE(bent.bytes, tube.bytes);
    const Bounds bb = BoundsOf(bent.mesh);
    EXPECT_GT(bb.max.x, 2.5);
}

TEST_F(MeshGenGeometry, DiscoBallTilesAreFlat)
{
    for (const std::string gap : {"0", "0.15"}) {
        SCOPED_TRACE("gap " + gap);
        const GeneratedMesh ball = Generate({"discoball", "--gap", gap, "--groove", "0.05", "--segments", "16", "--rings", "8"});
        if (!ReadBack(ball))
            continue;
        double nearest = 1e30, farthest = 0.0;
        for (std::size_t t = 0; t < ball.mesh.triangles.size(); ++t) {
            const auto& tri = ball.mesh.triangles[t];
            const Vec3 face = Normalize(Cross(ball.mesh.positions[tri[1]] - ball.mesh.positions[tri[0]],
                                              ball.mesh.positions[tri[2]] - ball.mesh.positions[tri[0]]));
            for (const Vec3& n : ball.mesh.cornerNormals[t])
                ASSERT_GT(Dot(n, face), 0.9999) << "triangle " << t << " is not flat-shaded";
        }
        for (const Vec3& p : ball.mesh.positions) {
            nearest = std::min(nearest, Length(p));
            farthest = std::max(farthest, Length(p));
        }
        if (gap == "0") {
            // Plain facets: every corner on the sphere.
            EXPECT_NEAR(nearest, 1.0, 1e-5);
            EXPECT_NEAR(farthest, 1.0, 1e-5);
        } else {
            // Tiles stand proud of grout that lies a groove (5 %) below the sphere.
            EXPECT_LE(farthest, 1.0 + 1e-5);
            EXPECT_GT(farthest, 0.95 + 0.03);
            EXPECT_LE(nearest, 0.95 + 1e-5);
            EXPECT_GT(nearest, 0.9);
        }
    }
}

TEST_F(MeshGenGeometry, RoundedCubeIsSmoothInsideItsBox)
{
    const GeneratedMesh rounded = Generate({"roundedcube", "--size", "2", "1", "1", "--radius", "0.2"});
    if (!ReadBack(rounded))
        return;
    const Bounds b = BoundsOf(rounded.mesh);
    EXPECT_NEAR(b.max.x, 1.0, 1e-6);
    EXPECT_NEAR(b.min.y, -0.5, 1e-6);
    EXPECT_NEAR(b.max.z, 0.5, 1e-6);
    // No corner of the box is reached: the corners are rounded off by the radius.
    EXPECT_GT(DistanceToSurface(rounded.mesh, {1.0, 0.5, 0.5}), 0.2 * (std::sqrt(3.0) - 1.0) - 1e-3);
    for (const auto& [point, normals] : NormalsByPoint(rounded.mesh))
        for (const Vec3& n : normals)
            ASSERT_GT(Dot(n, normals[0]), 0.999999) << "a hard edge";
}

TEST_F(MeshGenGeometry, TorusKnotTubeStaysClearOfItself)
{
    const GeneratedMesh knot = Generate({"torusknot", "--radius", "1", "--tube", "0.1"});
    if (!ReadBack(knot))
        return;
    const Bounds b = BoundsOf(knot.mesh);
    EXPECT_NEAR(b.max.x, 1.1, 0.01);
    EXPECT_LT(b.max.z, 0.5);
    // The knot's strands never come near: a point of the tube's centre is inside exactly once.
    EXPECT_NEAR(WindingNumber(knot.mesh, {1.0, 0.0, 0.0}), 1.0, 1e-3);
    EXPECT_NEAR(WindingNumber(knot.mesh, {0.0, 0.0, 0.0}), 0.0, 1e-6);
}

} // namespace

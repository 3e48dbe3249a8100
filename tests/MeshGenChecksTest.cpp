#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "common/meshgen/MeshChecks.h"

using namespace meshgen;

namespace {

// A unit cube around the origin with 24 corners (four per face, hard edges) and outward
// triangles, written out by hand.
CheckMesh Cube()
{
    CheckMesh mesh;
    const std::vector<std::array<Vec3, 4>> faces = {
        {{{1, -1, 1}, {1, -1, -1}, {1, 1, -1}, {1, 1, 1}}},     // +x
        {{{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}}}, // -x
        {{{-1, 1, 1}, {1, 1, 1}, {1, 1, -1}, {-1, 1, -1}}},     // +y
        {{{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}}}, // -y
        {{{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}}},     // +z
        {{{1, -1, -1}, {-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}}}, // -z
    };
    for (const auto& face : faces) {
        const auto base = static_cast<std::uint32_t>(mesh.positions.size());
        const Vec3 normal = Normalize(Cross(face[1] - face[0], face[2] - face[0]));
        for (const Vec3& p : face) {
            mesh.positions.push_back(p * 0.5);
            mesh.uvs.push_back({0.5 + p.x * 0.5, 0.5 - p.y * 0.5});
        }
        mesh.triangles.push_back({base, base + 1, base + 2});
        mesh.triangles.push_back({base, base + 2, base + 3});
        mesh.cornerNormals.push_back({normal, normal, normal});
        mesh.cornerNormals.push_back({normal, normal, normal});
    }
    return mesh;
}

void FlipTriangle(CheckMesh& mesh, std::size_t t)
{
    std::swap(mesh.triangles[t][1], mesh.triangles[t][2]);
    std::swap(mesh.cornerNormals[t][1], mesh.cornerNormals[t][2]);
}

void RemoveTriangle(CheckMesh& mesh, std::size_t t)
{
    mesh.triangles.erase(mesh.triangles.begin() + static_cast<std::ptrdiff_t>(t));
    mesh.cornerNormals.erase(mesh.cornerNormals.begin() + static_cast<std::ptrdiff_t>(t));
}

struct EdgeCase {
    const char* name;
    std::function<void(CheckMesh&)> damage;
    bool watertight;
    std::size_t boundary, overShared, sameDirection;
};

void PrintTo(const EdgeCase& edgeCase, std::ostream* out) { *out << edgeCase.name; }

class MeshGenChecksEdges : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(MeshGenChecksEdges, FindsEveryKindOfBrokenEdge)
{
    CheckMesh mesh = Cube();
    GetParam().damage(mesh);
    const EdgeReport report = CheckEdges(mesh);
    EXPECT_EQ(report.Watertight(), GetParam().watertight) << report.firstProblem;
    EXPECT_EQ(report.boundary, GetParam().boundary);
    EXPECT_EQ(report.overShared, GetParam().overShared);
    EXPECT_EQ(report.sameDirection, GetParam().sameDirection);
    EXPECT_EQ(report.firstProblem.empty(), GetParam().watertight);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MeshGenChecksEdges,
    ::testing::Values(EdgeCase{"intact", [](CheckMesh&) {}, true, 0, 0, 0},
                      // The split corners of the hard edges still join up through welding.
                      EdgeCase{"flipped", [](CheckMesh& m) { FlipTriangle(m, 4); }, false, 0, 0, 3},
                      EdgeCase{"missing", [](CheckMesh& m) { RemoveTriangle(m, 0); }, false, 3, 0, 0},
                      EdgeCase{"doubled",
                               [](CheckMesh& m) {
                                   m.triangles.push_back(m.triangles[0]);
                                   m.cornerNormals.push_back(m.cornerNormals[0]);
                               },
                               false, 0, 3, 0},
                      EdgeCase{"moved corner", [](CheckMesh& m) { m.positions[0].x += 1e-3; }, false, 4, 0, 0}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (c == ' ')
                c = '_';
        return name;
    });

TEST(MeshGenChecks, VolumeSignTellsOutwardFromInward)
{
    CheckMesh cube = Cube();
    EXPECT_NEAR(SignedVolume(cube), 1.0, 1e-12);
    for (std::size_t t = 0; t < cube.triangles.size(); ++t)
        FlipTriangle(cube, t);
    EXPECT_NEAR(SignedVolume(cube), -1.0, 1e-12);

    // A box with its top left open still tells: its hole is closed by a fan first.
    CheckMesh open = Cube();
    RemoveTriangle(open, 4);
    RemoveTriangle(open, 4);
    EXPECT_NEAR(SignedVolume(open), 1.0, 1e-12);
    for (std::size_t t = 0; t < open.triangles.size(); ++t)
        FlipTriangle(open, t);
    EXPECT_NEAR(SignedVolume(open), -1.0, 1e-12);
}

TEST(MeshGenChecks, WindingNumberAndDistanceLocateAPoint)
{
    CheckMesh cube = Cube();
    EXPECT_NEAR(WindingNumber(cube, {0.1, -0.2, 0.3}), 1.0, 1e-9);
    EXPECT_NEAR(WindingNumber(cube, {0.6, 0.0, 0.0}), 0.0, 1e-9);
    EXPECT_NEAR(DistanceToSurface(cube, {0.0, 0.0, 0.0}), 0.5, 1e-12);
    EXPECT_NEAR(DistanceToSurface(cube, {1.5, 1.5, 0.0}), std::sqrt(2.0), 1e-12); // nearest is an edge
    EXPECT_NEAR(DistanceToSurface(cube, {1.5, 1.5, 1.5}), std::sqrt(3.0), 1e-12); // a corner
    for (std::size_t t = 0; t < cube.triangles.size(); ++t)
        FlipTriangle(cube, t);
    EXPECT_NEAR(WindingNumber(cube, {0.1, -0.2, 0.3}), -1.0, 1e-9);
}

TEST(MeshGenChecks, EulerCharacteristicCountsPiecesAndHoles)
{
    CheckMesh cube = Cube();
    EXPECT_EQ(EulerCharacteristic(cube), 2);
    // A second cube beside it: two pieces.
    CheckMesh two = cube;
    const auto offset = static_cast<std::uint32_t>(two.positions.size());
    for (const Vec3& p : cube.positions)
        two.positions.push_back(p + Vec3{3.0, 0.0, 0.0});
    for (auto t : cube.triangles)
        two.triangles.push_back({t[0] + offset, t[1] + offset, t[2] + offset});
    EXPECT_EQ(EulerCharacteristic(two), 4);
}

TEST(MeshGenChecks, NormalsAgainstTheWindingAreReported)
{
    CheckMesh cube = Cube();
    EXPECT_EQ(CheckNormalsAgreeWithWinding(cube).count, 0u);
    cube.cornerNormals[7][2] = -cube.cornerNormals[7][2];
    const CheckProblems problems = CheckNormalsAgreeWithWinding(cube);
    EXPECT_EQ(problems.count, 1u);
    EXPECT_NE(problems.first.find("triangle 7"), std::string::npos) << problems.first;
    // A normal lying in the triangle's plane does not show the face either.
    cube.cornerNormals[7][2] = {0.0, 0.0, 0.0};
    cube.cornerNormals[2][0] = {0.0, 1.0, 0.0};
    EXPECT_EQ(CheckNormalsAgreeWithWinding(cube).count, 2u);
}

TEST(MeshGenChecks, DegenerateTrianglesAreReported)
{
    CheckMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {1, 0, 0}, {0.5, 1e-11, 0}};
    mesh.triangles = {{0, 1, 2}, {0, 1, 3}, {0, 3, 2}, {1, 4, 2}, {0, 3, 5}};
    const CheckProblems problems = CheckDegenerateTriangles(mesh);
    // Collinear corners, two corners at one point (1 and 4), and a sliver of area 1e-11.
    EXPECT_EQ(problems.count, 3u);
    EXPECT_NE(problems.first.find("triangle 1"), std::string::npos) << problems.first;
}

TEST(MeshGenChecks, UvRangeSpansEveryCoordinate)
{
    CheckMesh mesh = Cube();
    mesh.uvs[5] = {-0.25, 3.0};
    const UvBounds bounds = UvRange(mesh);
    EXPECT_EQ(bounds.min.x, -0.25);
    EXPECT_EQ(bounds.min.y, 0.0);
    EXPECT_EQ(bounds.max.x, 1.0);
    EXPECT_EQ(bounds.max.y, 3.0);
}

TEST(MeshGenChecks, FileMeshesAreSplitIntoFansAndMoved)
{
    XFileMesh file;
    file.transform = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1}; // move by +5 along x
    file.positions = {{{0, 0, 0}}, {{1, 0, 0}}, {{1, 1, 0}}, {{0, 1, 0}}};
    file.faces = {{0, 1, 2, 3}};
    file.normals = {{{0, 0, 2}}};
    file.normalFaces = {{0, 0, 0, 0}};
    const CheckMesh mesh = CheckMeshFromXFile(file);
    ASSERT_EQ(mesh.triangles.size(), 2u);
    EXPECT_EQ(mesh.triangles[1], (std::array<std::uint32_t, 3>{0, 2, 3}));
    EXPECT_EQ(mesh.positions[2].x, 6.0);
    ASSERT_EQ(mesh.cornerNormals.size(), 2u);
    EXPECT_EQ(mesh.cornerNormals[1][2].z, 1.0); // normalised, not moved
    EXPECT_EQ(mesh.cornerNormals[1][2].x, 0.0);
}

} // namespace

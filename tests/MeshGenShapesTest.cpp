#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "MeshGenFiles.h"

using namespace meshgen;

namespace {

// What every generated kind must satisfy once written and read back.
struct ShapeCase {
    const char* name;
    std::vector<std::string> args;
    bool closed;     // watertight solid (or room)
    int facing;      // +1: faces out of its volume, -1: into it (rooms, tunnels), 0: a sheet facing +Y
    double uvMaxU;   // texture coordinates stay in [0, uvMax]; a negative value: only not below 0
    double uvMaxV;
};

void PrintTo(const ShapeCase& shape, std::ostream* out) { *out << shape.name; }

class MeshGenShapes : public ::testing::TestWithParam<ShapeCase> {
protected:
    TempDir dir;
};

TEST_P(MeshGenShapes, ReadsBackAsACleanConsistentlyWoundSurface)
{
    const ShapeCase& shape = GetParam();
    std::vector<std::string> args{"mesh", "gen"};
    args.insert(args.end(), shape.args.begin(), shape.args.end());
    const GeneratedMesh generated = RunMeshTool(dir, args);
    if (!ReadBack(generated))
        return;
    ASSERT_EQ(generated.model.meshes.size(), 1u);
    const XFileMesh& file = generated.model.meshes[0];
    const CheckMesh& mesh = generated.mesh;
    ASSERT_FALSE(mesh.triangles.empty());
    EXPECT_EQ(file.normals.size(), file.positions.size());
    EXPECT_EQ(file.texCoords.size(), file.positions.size());
    ASSERT_EQ(file.materials.size(), 1u);
    EXPECT_EQ(file.faceMaterials, std::vector<std::uint32_t>(file.faces.size(), 0u));

    const EdgeReport edges = CheckEdges(mesh);
    if (shape.closed) {
        EXPECT_TRUE(edges.Watertight()) << edges.firstProblem;
    } else {
        EXPECT_GT(edges.boundary, 0u);
        EXPECT_EQ(edges.overShared, 0u) << edges.firstProblem;
        EXPECT_EQ(edges.sameDirection, 0u) << edges.firstProblem;
    }
    if (shape.facing != 0) {
        EXPECT_EQ(SignedVolume(mesh) > 0.0 ? 1 : -1, shape.facing) << "volume " << SignedVolume(mesh);
    } else {
        for (std::size_t t = 0; t < mesh.triangles.size(); ++t) {
            const auto& tri = mesh.triangles[t];
            const Vec3 face = Cross(mesh.positions[tri[1]] - mesh.positions[tri[0]],
                                    mesh.positions[tri[2]] - mesh.positions[tri[0]]);
            ASSERT_GT(face.y, 0.0) << "triangle " << t << " does not face up";
        }
    }
    const CheckProblems normals = CheckNormalsAgreeWithWinding(mesh);
    EXPECT_EQ(normals.count, 0u) << normals.first;
    for (const auto& corner : mesh.cornerNormals)
        for (const Vec3& n : corner)
            ASSERT_NEAR(Length(n), 1.0, 1e-5);
    const CheckProblems degenerate = CheckDegenerateTriangles(mesh);
    EXPECT_EQ(degenerate.count, 0u) << degenerate.first;

    const UvBounds uv = UvRange(mesh);
    EXPECT_GE(uv.min.x, 0.0);
    EXPECT_GE(uv.min.y, 0.0);
    EXPECT_TRUE(std::isfinite(uv.max.x) && std::isfinite(uv.max.y));
    if (shape.uvMaxU >= 0.0) {
        EXPECT_EQ(uv.min.x, 0.0);
        EXPECT_NEAR(uv.max.x, shape.uvMaxU, 1e-6);
    }
    if (shape.uvMaxV >= 0.0) {
        EXPECT_EQ(uv.min.y, 0.0);
        EXPECT_NEAR(uv.max.y, shape.uvMaxV, 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MeshGenShapes,
    ::testing::Values(
        ShapeCase{"sphere", {"sphere"}, true, 1, 1.0, 1.0},
        ShapeCase{"coarse_sphere", {"sphere", "--segments", "5", "--rings", "3"}, true, 1, 1.0, 1.0},
        ShapeCase{"cone", {"cone"}, true, 1, 1.0, 1.0},
        ShapeCase{"three_sided_cone", {"cone", "--segments", "3", "--height", "2"}, true, 1, 1.0, 1.0},
        ShapeCase{"plane", {"plane", "--segments", "3", "--tile", "2", "5"}, false, 0, 2.0, 5.0},
        ShapeCase{"floor", {"floor", "--size", "30", "10", "--tile", "6", "2"}, false, 0, 6.0, 2.0},
        ShapeCase{"box", {"box"}, true, 1, 1.0, 1.0},
        ShapeCase{"split_box", {"box", "--size", "1", "2", "3", "--segments", "3"}, true, 1, 1.0, 1.0},
        ShapeCase{"room", {"openbox", "--size", "8", "4", "6", "--segments", "2"}, true, -1, 1.0, 1.0},
        ShapeCase{"cornell_box", {"openbox", "--open", "+z"}, false, -1, 1.0, 1.0},
        ShapeCase{"open_floorless_box", {"openbox", "--open", "-y"}, false, -1, 1.0, 1.0},
        ShapeCase{"tube", {"tube", "--tile", "2", "3"}, false, -1, 2.0, 3.0},
        ShapeCase{"bent_noisy_tunnel", {"tunnel", "--noise", "0.2", "--bend", "1.5", "--seed", "7"}, false, -1, 1.0, 4.0},
        ShapeCase{"discoball", {"discoball"}, true, 1, 1.0, 1.0},
        ShapeCase{"discoball_with_gaps", {"discoball", "--gap", "0.1", "--segments", "12", "--rings", "7"}, true, 1,
                  1.0, 1.0},
        ShapeCase{"torusknot", {"torusknot"}, true, 1, 1.0, -1.0},
        ShapeCase{"torusknot_3_5", {"torusknot", "--p", "3", "--q", "5", "--tube", "0.06"}, true, 1, 1.0, -1.0},
        ShapeCase{"roundedcube", {"roundedcube"}, true, 1, 1.0, 1.0},
        ShapeCase{"chamfered_box", {"roundedcube", "--size", "2", "1", "1", "--segments", "1"}, true, 1, 1.0, 1.0},
        ShapeCase{"fully_rounded_cube", {"roundedcube", "--radius", "0.5"}, true, 1, 1.0, 1.0},
        ShapeCase{"ground", {"ground", "--tile", "3", "3"}, false, 0, 3.0, 3.0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

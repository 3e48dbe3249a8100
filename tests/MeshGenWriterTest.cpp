#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/meshgen/MeshBuilder.h"
#include "common/meshgen/XFileTextWriter.h"
#include "d3dx9/xfile/XFileReader.h"

using namespace meshgen;

namespace {

MeshMaterial Coloured(double r, double g, double b)
{
    MeshMaterial m;
    m.diffuse = {r, g, b, 1.0};
    return m;
}

// One triangle facing +Z, on whatever material the mesh uses at the time.
void AddTriangleAt(MeshBuilder& mesh, double x)
{
    const std::uint32_t a = mesh.AddVertex({x, 0, 0}, {0, 0, 1}, {0, 0});
    const std::uint32_t b = mesh.AddVertex({x + 1, 0, 0}, {0, 0, 1}, {1, 0});
    const std::uint32_t c = mesh.AddVertex({x, 1, 0}, {0, 0, 1}, {0, 1});
    mesh.AddTriangle(a, b, c);
}

XFileMesh ReadBackMesh(const MeshBuilder& mesh)
{
    const std::string text = WriteXFileText(mesh, "part");
    XFileModel model;
    XFileReader reader;
    const XFileResult result = reader.Read(text.data(), text.size(), model);
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(model.meshes.size(), 1u);
    return model.meshes.empty() ? XFileMesh{} : model.meshes[0];
}

// A mesh of one material is written as it always was: one Material, every face on index 0.
TEST(MeshGenWriter, OneMaterialMeshKeepsItsLayout)
{
    MeshBuilder mesh;
    AddTriangleAt(mesh, 0);
    AddTriangleAt(mesh, 2);
    mesh.material = Coloured(1, 0.5, 0.25);
    mesh.material.texture = "wall.png";
    const std::string expected = R"(xof 0303txt 0032

Frame part {
 FrameTransformMatrix {
  1.000000,0.000000,0.000000,0.000000,
  0.000000,1.000000,0.000000,0.000000,
  0.000000,0.000000,1.000000,0.000000,
  0.000000,0.000000,0.000000,1.000000;;
 }

 Mesh partMesh {
  6;
  0.000000;0.000000;0.000000;,
  1.000000;0.000000;0.000000;,
  0.000000;1.000000;0.000000;,
  2.000000;0.000000;0.000000;,
  3.000000;0.000000;0.000000;,
  2.000000;1.000000;0.000000;;
  2;
  3;0,1,2;,
  3;3,4,5;;

  MeshNormals {
   6;
   0.000000;0.000000;1.000000;,
   0.000000;0.000000;1.000000;,
   0.000000;0.000000;1.000000;,
   0.000000;0.000000;1.000000;,
   0.000000;0.000000;1.000000;,
   0.000000;0.000000;1.000000;;
   2;
   3;0,1,2;,
   3;3,4,5;;
  }

  MeshTextureCoords {
   6;
   0.000000;0.000000;,
   1.000000;0.000000;,
   0.000000;1.000000;,
   0.000000;0.000000;,
   1.000000;0.000000;,
   0.000000;1.000000;;
  }

  MeshMaterialList {
   1;
   2;
   0,
   0;

   Material {
    1.000000;0.500000;0.250000;1.000000;;
    20.000000;
    0.000000;0.000000;0.000000;;
    0.000000;0.000000;0.000000;;

    TextureFilename {
     "wall.png";
    }
   }
  }
 }
}
)";
    EXPECT_EQ(WriteXFileText(mesh, "part"), expected);
}

struct MaterialCase {
    const char* name;
    std::function<MeshBuilder()> build;
    std::vector<std::array<float, 4>> diffuse; // every material's, in index order
    std::vector<std::uint32_t> faceMaterials;
};

void PrintTo(const MaterialCase& materialCase, std::ostream* out) { *out << materialCase.name; }

class MeshGenWriterMaterials : public ::testing::TestWithParam<MaterialCase> {};

// Every material is written in index order and every face names its own.
TEST_P(MeshGenWriterMaterials, EveryMaterialAndFaceIndexIsWritten)
{
    const MeshBuilder mesh = GetParam().build();
    const XFileMesh read = ReadBackMesh(mesh);
    ASSERT_EQ(read.materials.size(), GetParam().diffuse.size());
    for (std::size_t i = 0; i < read.materials.size(); ++i)
        EXPECT_EQ(read.materials[i].faceColor, GetParam().diffuse[i]) << "material " << i;
    EXPECT_EQ(read.faceMaterials, GetParam().faceMaterials);
    // The builder's own record agrees with the file.
    EXPECT_EQ(mesh.TriangleMaterials(), GetParam().faceMaterials);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MeshGenWriterMaterials,
    ::testing::Values(
        MaterialCase{"added_material_carries_later_triangles",
                     [] {
                         MeshBuilder m;
                         m.material = Coloured(0.8, 0.8, 0.8);
                         AddTriangleAt(m, 0);
                         m.UseMaterial(m.AddMaterial(Coloured(1, 0, 0)));
                         AddTriangleAt(m, 2);
                         AddTriangleAt(m, 4);
                         m.UseMaterial(0);
                         AddTriangleAt(m, 6);
                         return m;
                     },
                     {{0.8f, 0.8f, 0.8f, 1}, {1, 0, 0, 1}},
                     {0, 1, 1, 0}},
        MaterialCase{"unused_material_is_still_listed",
                     [] {
                         MeshBuilder m;
                         m.AddMaterial(Coloured(0, 0, 1));
                         AddTriangleAt(m, 0);
                         return m;
                     },
                     {{1, 1, 1, 1}, {0, 0, 1, 1}},
                     {0}},
        // The appended mesh's material 0 joins this one's; its added materials come after
        // this mesh's own, renumbered.
        MaterialCase{"append_renumbers_the_other_meshes_materials",
                     [] {
                         MeshBuilder m;
                         m.UseMaterial(m.AddMaterial(Coloured(1, 0, 0)));
                         AddTriangleAt(m, 0);
                         MeshBuilder other;
                         other.material = Coloured(0.1, 0.1, 0.1); // not taken over
                         const std::uint32_t green = other.AddMaterial(Coloured(0, 1, 0));
                         const std::uint32_t blue = other.AddMaterial(Coloured(0, 0, 1));
                         other.UseMaterial(blue);
                         AddTriangleAt(other, 2);
                         other.UseMaterial(0);
                         AddTriangleAt(other, 4);
                         other.UseMaterial(green);
                         AddTriangleAt(other, 6);
                         m.Append(other);
                         m.Append(other);
                         return m;
                     },
                     {{1, 1, 1, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}},
                     {1, 3, 0, 2, 5, 0, 4}}),
    [](const ::testing::TestParamInfo<MaterialCase>& info) { return std::string(info.param.name); });

TEST(MeshGenWriter, FlipTurnsTrianglesWithoutMovingThemBetweenMaterials)
{
    MeshBuilder mesh;
    AddTriangleAt(mesh, 0);
    mesh.UseMaterial(mesh.AddMaterial(Coloured(1, 0, 0)));
    AddTriangleAt(mesh, 2);
    mesh.Flip();
    const XFileMesh read = ReadBackMesh(mesh);
    ASSERT_EQ(read.faces.size(), 2u);
    EXPECT_EQ(read.faces[1], (std::vector<std::uint32_t>{3, 5, 4}));
    EXPECT_EQ(read.faceMaterials, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(read.normals[3], (std::array<float, 3>{0, 0, -1}));
}

TEST(MeshGenWriter, MaterialIndicesAndTexturesAreChecked)
{
    MeshBuilder mesh;
    EXPECT_THROW(mesh.UseMaterial(1), std::logic_error);
    EXPECT_THROW(mesh.MaterialAt(1), std::logic_error);
    MeshMaterial quoted = Coloured(1, 0, 0);
    quoted.texture = "a\"b.png";
    mesh.UseMaterial(mesh.AddMaterial(quoted));
    AddTriangleAt(mesh, 0);
    EXPECT_THROW(WriteXFileText(mesh, "part"), std::logic_error) << "an added material's texture is not checked";
}

} // namespace

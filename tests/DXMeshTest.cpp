#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "CorpusPath.h"
#include "D3DXTextureTestSupport.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "FileSys.h"
#include "FrameworkExMessage.h"
#include "GLTestDevice.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "Transform.h"
#include "common/ArchiveWriter.h"
#include "win32/MessageBox.h"

namespace {

std::vector<unsigned char> Bytes(const std::string& text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

// A unit quad in the z = 0 plane split into two triangles, left red and right blue, each
// material naming a texture file (the same one twice).
const char* kTwoMaterials = R"(xof 0303txt 0032
Mesh Quad {
 4;
 -1.0;-1.0;0.0;, 1.0;-1.0;0.0;, 1.0;1.0;0.0;, -1.0;1.0;0.0;;
 2;
 3;0,3,1;,
 3;1,3,2;;
 MeshNormals { 1; 0.0;0.0;1.0;; 2; 3;0,0,0;, 3;0,0,0;; }
 MeshMaterialList {
  2; 2; 0, 1;;
  Material { 1.0;0.0;0.0;1.0;; 8.0; 0.5;0.5;0.5;; 0.0;0.0;0.0;; TextureFilename { "skin.dds"; } }
  Material { 0.0;0.0;1.0;1.0;; 4.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; TextureFilename { "skin.dds"; } }
 }
}
)";

// Positions only, no normals, no materials.
const char* kBare = R"(xof 0303txt 0032
Mesh Bare {
 3;
 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;
 1;
 3;0,1,2;;
}
)";

// Draws each subset in its material's diffuse colour, the object's LOCAL matrix taking it to clip
// space.
const char* kMeshEffect = R"(
float4x4 World : LOCAL;
float4 Diffuse : DIFFUSE;
texture Skin : MATTEX;
vertexshader VS { in vec4 POSITION0; void main() { gl_Position = World * POSITION0; } }
pixelshader PS { out vec4 COLOR0; void main() { COLOR0 = Diffuse; } }
technique Flat { pass P0 { ZEnable = FALSE; CullMode = NONE; VertexShader = VS; PixelShader = PS; } }
)";

std::vector<unsigned char> SkinTexture()
{
    DdsHeaderFields fields;
    const std::vector<std::uint8_t> file = MakeDds(fields, std::vector<std::uint8_t>(64, 0x40));
    return std::vector<unsigned char>(file.begin(), file.end());
}

// Meshes from a test archive on the GL device, drawn through a registered effect.
class DXMeshTest : public GLTestDevice {
protected:
    void SetUp() override
    {
        GLTestDevice::SetUp();
        ArchiveWriter archive;
        archive.Add("Data\\quad.x", Bytes(kTwoMaterials));
        archive.Add("Data\\bare.x", Bytes(kBare));
        archive.Add("Data\\skin.dds", SkinTexture());
        archive.Add("OShaders\\mesh.fxo", Bytes(kMeshEffect));
        // A transform that is hidden from the start.
        WriteFileBytes(folder.path() / "hidden.txt", "0 0 0 0\n10 0 0 0\n");
        ASSERT_EQ(RunTool({"curve", "compile", (folder.path() / "hidden.txt").string(),
                           (folder.path() / "hidden.curve").string()})
                      .exitCode,
                  0);
        const std::string curve = ReadFileBytes(folder.path() / "hidden.curve");
        archive.Add("Data\\anim\\hidden.visibility", Bytes(curve));
        const std::filesystem::path corpus = CorpusDir("x") / "test_cube_text.x";
        if (std::filesystem::exists(corpus)) {
            std::ifstream in(corpus, std::ios::binary);
            archive.Add("Data\\corpuscube.x", std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {}));
        }
        archive.Write((folder.path() / "basefile.dat").string());
        files = std::make_unique<FileSys>((folder.path() / "basefile.dat").string().c_str());
        DXFramework::SetDevice(device);
        ASSERT_EQ(D3DXCreateEffectPool(&pool), D3D_OK);
        registry = std::make_unique<DXEffectHandler>();
        DXEffectHandler::AddEffect("mesh", "mesh.fx", pool);
        DXEffectHandler::SetActiveEffect("mesh");
        DXEffectHandler::SetTechnique("Flat");
        SetMessageBoxPresenter([this](const MessageBoxRecord& box) {
            boxes.push_back(box.caption + ": " + box.text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxPresenter(nullptr);
        registry.reset();
        if (pool)
            pool->Release();
        DXFramework::SetDevice(nullptr);
        files.reset();
        GLTestDevice::TearDown();
    }

    // Clears to black, draws the mesh through the effect and reads the picture back.
    std::vector<std::uint32_t> Drawn(DXMesh& mesh)
    {
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        DXEffectHandler::RenderObject(&mesh);
        EXPECT_EQ(device->EndScene(), D3D_OK);
        return ReadBackBuffer();
    }

    TempDir folder;
    std::unique_ptr<FileSys> files;
    ID3DXEffectPool* pool = nullptr;
    std::unique_ptr<DXEffectHandler> registry;
    std::vector<std::string> boxes;
};

} // namespace

TEST_F(DXMeshTest, SubsetsDrawWithTheirOwnMaterials)
{
    DXMesh mesh(nullptr);
    mesh.LoadX("quad.x");
    ASSERT_EQ(mesh.GetNumMaterials(), 2u);
    EXPECT_EQ(mesh.GetNumFaces(), 2u);
    EXPECT_EQ(mesh.GetMaterials()[0].power, 8.0f);
    EXPECT_EQ(mesh.GetMaterials()[1].diffuse, D3DXCOLOR(0, 0, 1, 1));
    // Two materials naming one file load it twice, once each.
    ASSERT_NE(mesh.GetMaterials()[0].texture, nullptr);
    ASSERT_NE(mesh.GetMaterials()[1].texture, nullptr);
    EXPECT_NE(mesh.GetMaterials()[0].texture, mesh.GetMaterials()[1].texture);

    D3DXMatrixScaling(&mesh.world, 0.5f, 0.5f, 1.0f);
    const std::vector<std::uint32_t> picture = Drawn(mesh);
    SavePng("dxmesh-two-materials.png", picture, 64, 64);
    // Lower-left triangle red, upper-right blue (the quad covers the middle half of the target).
    EXPECT_EQ(picture[44 * 64 + 20] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(picture[20 * 64 + 44] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(picture[2 * 64 + 2] & 0xFFFFFF, 0u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DXMeshTest, HiddenTransformsAndMissingTexturesAndProgressiveMeshes)
{
    // A hidden transform draws nothing, though the effect's passes still run.
    Transform hidden("hidden", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    hidden.Update(0.5f);
    ASSERT_FALSE(hidden.IsVisible());
    boxes.clear(); // the transform's other channels have no curves; that is said once, elsewhere
    DXMesh covered(&hidden);
    covered.LoadX("quad.x", false);
    EXPECT_EQ(covered.GetMaterials()[0].texture, nullptr); // textures were not asked for
    covered.world = D3DXMATRIX();
    D3DXMatrixScaling(&covered.world, 0.5f, 0.5f, 1.0f);
    std::vector<std::uint32_t> picture = Drawn(covered);
    EXPECT_EQ(picture[44 * 64 + 20] & 0xFFFFFF, 0u);

    // A progressive mesh draws every subset in its place.
    DXMesh detailed(nullptr);
    detailed.LoadX("quad.x", true, true);
    ASSERT_NE(detailed.GetProgressiveMesh(), nullptr);
    D3DXMatrixScaling(&detailed.world, 0.5f, 0.5f, 1.0f);
    picture = Drawn(detailed);
    EXPECT_EQ(picture[44 * 64 + 20] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(picture[20 * 64 + 44] & 0xFFFFFF, 0x0000FFu);

    // A texture that cannot be read gives one box per material, and the mesh still loads.
    files.reset();
    ArchiveWriter archive;
    archive.Add("Data\\quad.x", Bytes(kTwoMaterials));
    archive.Write((folder.path() / "other.dat").string());
    files = std::make_unique<FileSys>((folder.path() / "other.dat").string().c_str());
    DXMesh untextured(nullptr);
    untextured.LoadX("quad.x");
    EXPECT_EQ(untextured.GetMaterials()[0].texture, nullptr);
    EXPECT_EQ(boxes, (std::vector<std::string>{"Could not locate texture: Data\\skin.dds",
                                               "Could not locate texture: Data\\skin.dds"}));
    EXPECT_EQ(FrameworkExMessage([] { DXMesh missing(nullptr); missing.LoadX("nope.x"); }),
              "[DXMesh::LoadX]: failed to load \"nope.x\".");
}

TEST_F(DXMeshTest, VertexDataIsReadFromTheDeclaration)
{
    DXMesh empty(nullptr);
    EXPECT_EQ(FrameworkExMessage([&] { empty.GetNumVertices(); }), "[DXMesh::GetNumVertices()]: mMesh == NULL");
    EXPECT_EQ(FrameworkExMessage([&] { empty.GetNumFaces(); }), "[DXMesh::GetNumFaces()]: mMesh == NULL");
    EXPECT_EQ(FrameworkExMessage([&] { empty.GetVertexPositions(nullptr); }),
              "[DXMesh::GetVertexPositions]: Mesh not loaded yet!");
    EXPECT_EQ(FrameworkExMessage([&] { empty.GetVertexNormals(nullptr); }),
              "[DXMesh::GetVertexNormals]: Mesh not loaded yet!");

    DXMesh bare(nullptr);
    bare.LoadX("bare.x");
    ASSERT_EQ(bare.GetNumVertices(), 3u);
    std::vector<D3DXVECTOR3> positions(3);
    bare.GetVertexPositions(positions.data());
    EXPECT_EQ(positions[1], D3DXVECTOR3(1, 0, 0));
    EXPECT_EQ(positions[2], D3DXVECTOR3(0, 1, 0));
    // Without normals the message still names position data.
    EXPECT_EQ(FrameworkExMessage([&] { bare.GetVertexNormals(positions.data()); }),
              "[DXMesh::CopyOutPositionData]: no position info in vertex stream.");

    DXMesh quad(nullptr);
    quad.LoadX("quad.x", false);
    std::vector<D3DXVECTOR3> normals(quad.GetNumVertices());
    quad.GetVertexNormals(normals.data());
    for (const D3DXVECTOR3& n : normals)
        EXPECT_EQ(n, D3DXVECTOR3(0, 0, 1));
    void* indices = nullptr;
    quad.LockIB(&indices, 0);
    ASSERT_NE(indices, nullptr);
    const auto* index = static_cast<const std::uint32_t*>(indices);
    EXPECT_LT(index[5], quad.GetNumVertices()); // 32-bit indices, three per face
    quad.UnlockIB();
}

TEST_F(DXMeshTest, CorpusCubeDrawsInItsMaterialColour)
{
    if (!std::filesystem::exists(CorpusDir("x") / "test_cube_text.x"))
        GTEST_SKIP() << "the shared corpus is absent";
    DXMesh cube(nullptr);
    cube.LoadX("corpuscube.x", false);
    ASSERT_EQ(cube.GetNumMaterials(), 1u);
    EXPECT_EQ(cube.GetNumFaces(), 12u);
    D3DXMatrixScaling(&cube.world, 0.5f, 0.5f, 0.5f);
    const std::vector<std::uint32_t> picture = Drawn(cube);
    SavePng("dxmesh-corpus-cube.png", picture, 64, 64);
    // 0.639216 grey, the file's diffuse colour, over the middle of the target.
    EXPECT_EQ(picture[32 * 64 + 32] & 0xFFFFFF, 0xA3A3A3u);
    EXPECT_EQ(picture[2 * 64 + 2] & 0xFFFFFF, 0u);
}

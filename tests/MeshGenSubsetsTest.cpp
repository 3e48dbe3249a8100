// Generated meshes with several materials, loaded through D3DXLoadMeshFromXInMemory: one subset per
// material, and the Cornell box of the content build drawn wall by wall in its colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "D3DXMeshTestSupport.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "FileSys.h"
#include "GLTestDevice.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "common/ArchiveWriter.h"

namespace {

// The normal pointing into an open box from its wall on `side` ("+x" ... "-z").
Vec3 InwardNormal(const std::string& side)
{
    Vec3 n{0, 0, 0};
    n[static_cast<std::size_t>(side[1] - 'x')] = side[0] == '+' ? -1.0f : 1.0f;
    return n;
}

struct SubsetCase {
    const char* name;
    std::vector<std::string> args; // after "mesh gen openbox"
    int segments;
    std::vector<D3DCOLORVALUE> diffuse;        // every material's, in index order
    std::vector<std::vector<std::string>> sides; // the walls each subset holds
};

void PrintTo(const SubsetCase& subsetCase, std::ostream* out) { *out << subsetCase.name; }

class MeshGenSubsets : public D3DXMeshRecordingTest, public ::testing::WithParamInterface<SubsetCase> {
protected:
    TempDir dir;
};

// Through the demo's loader, each material becomes one subset with its colour, and each subset
// holds exactly the faces of its walls: every corner has its wall's inward normal and lies on it.
TEST_P(MeshGenSubsets, EachMaterialLoadsAsTheSubsetOfItsWalls)
{
    const SubsetCase& c = GetParam();
    const std::string path = (dir.path() / "box.x").string();
    std::vector<std::string> args = {"mesh", "gen", "openbox"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back(path);
    const ToolResult run = RunTool(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string bytes = ReadFileBytes(path);

    LoadedMesh loaded;
    LoadMesh(loaded, device, bytes);
    ASSERT_EQ(loaded.hr, D3D_OK);
    ASSERT_EQ(loaded.numMaterials, c.diffuse.size());
    for (DWORD i = 0; i < loaded.numMaterials; ++i) {
        const D3DCOLORVALUE& d = loaded.Materials()[i].MatD3D.Diffuse;
        EXPECT_EQ((std::array<float, 4>{d.r, d.g, d.b, d.a}),
                  (std::array<float, 4>{c.diffuse[i].r, c.diffuse[i].g, c.diffuse[i].b, c.diffuse[i].a}))
            << "material " << i;
    }

    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(loaded.mesh->GetDeclaration(declaration), D3D_OK);
    DWORD positionOffset = ~0u, normalOffset = ~0u;
    for (const D3DVERTEXELEMENT9* e = declaration; e->Stream != 0xFF; ++e) {
        if (e->Usage == D3DDECLUSAGE_POSITION)
            positionOffset = e->Offset;
        if (e->Usage == D3DDECLUSAGE_NORMAL)
            normalOffset = e->Offset;
    }
    ASSERT_NE(positionOffset, ~0u);
    ASSERT_NE(normalOffset, ~0u);
    const std::vector<std::uint8_t> vertices = VertexBytes(loaded.mesh);
    const DWORD stride = loaded.mesh->GetNumBytesPerVertex();
    const std::vector<std::uint32_t> indices = MeshIndices(loaded.mesh);

    const auto table = AttributeTable(loaded.mesh);
    ASSERT_EQ(table.size(), c.sides.size());
    const std::size_t facesPerWall = 2u * static_cast<std::size_t>(c.segments) * c.segments;
    std::size_t faces = 0;
    for (std::size_t s = 0; s < table.size(); ++s) {
        SCOPED_TRACE("subset " + std::to_string(s));
        EXPECT_EQ(table[s].AttribId, s);
        EXPECT_EQ(table[s].FaceCount, facesPerWall * c.sides[s].size());
        std::set<std::string> seen;
        for (DWORD f = table[s].FaceStart; f < table[s].FaceStart + table[s].FaceCount; ++f) {
            // The wall the face's first corner faces in from; every corner must agree.
            const Vec3 first = VertexVector(vertices, stride, indices[f * 3], normalOffset);
            std::string wall;
            for (const std::string& side : c.sides[s])
                if (InwardNormal(side) == first)
                    wall = side;
            ASSERT_FALSE(wall.empty()) << "face " << f << " has the normal of another subset's wall";
            seen.insert(wall);
            const std::size_t axis = static_cast<std::size_t>(wall[1] - 'x');
            for (int k = 0; k < 3; ++k) {
                const DWORD v = indices[f * 3 + static_cast<DWORD>(k)];
                EXPECT_EQ(VertexVector(vertices, stride, v, normalOffset), InwardNormal(wall)) << "face " << f;
                const Vec3 p = VertexVector(vertices, stride, v, positionOffset);
                EXPECT_GT(p[axis] * (wall[0] == '+' ? 1.0f : -1.0f), 0.0f) << "face " << f << " is off its wall";
            }
        }
        EXPECT_EQ(seen.size(), c.sides[s].size());
        faces += table[s].FaceCount;
    }
    EXPECT_EQ(faces, loaded.mesh->GetNumFaces());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MeshGenSubsets,
    ::testing::Values(
        SubsetCase{"cornell_box",
                   {"--size", "6", "6", "6", "--open", "+z", "--segments", "4", "--material", "0.8,0.8,0.8", "--wall",
                    "-x", "0.75,0.08,0.06", "--wall", "+x", "0.1,0.6,0.12"},
                   4,
                   {{0.8f, 0.8f, 0.8f, 1}, {0.1f, 0.6f, 0.12f, 1}, {0.75f, 0.08f, 0.06f, 1}},
                   {{"+y", "-y", "-z"}, {"+x"}, {"-x"}}},
        SubsetCase{"closed_room_three_walls",
                   {"--size", "8", "4", "6", "--segments", "2", "--wall", "-z", "0,0,1", "--wall", "-y", "0,1,0",
                    "--wall", "+y", "1,0,0,0.5"},
                   2,
                   {{1, 1, 1, 1}, {1, 0, 0, 0.5f}, {0, 1, 0, 1}, {0, 0, 1, 1}},
                   {{"+x", "-x", "+z"}, {"+y"}, {"-y"}, {"-z"}}}),
    [](const ::testing::TestParamInfo<SubsetCase>& info) { return std::string(info.param.name); });

// Colours each face by its material's diffuse colour, a little darker where it turns away from
// the eye; drawn as the demo draws rooms.
const char* kDiffuseEffect = R"(
float4x4 World : LOCAL;
float4x4 ViewProj;
float3 Eye;
float4 MaterialDiffuse : DIFFUSE;
vertexshader VS {
    in vec4 POSITION0; in vec3 NORMAL0; out vec3 normal; out vec3 toEye;
    void main() {
        vec4 world = World * POSITION0;
        gl_Position = ViewProj * world;
        normal = (World * vec4(NORMAL0, 0.0)).xyz;
        toEye = Eye - world.xyz;
    }
}
pixelshader PS {
    in vec3 normal; in vec3 toEye; out vec4 COLOR0;
    void main() {
        float facing = max(dot(normalize(normal), normalize(toEye)), 0.0);
        COLOR0 = vec4(MaterialDiffuse.rgb * (0.5 + 0.5 * facing), 1.0);
    }
}
technique Diffuse { pass P0 { ZEnable = TRUE; ZFunc = LESSEQUAL; CullMode = CW; VertexShader = VS; PixelShader = PS; } }
)";

class MeshGenCornellBoxRender : public GLTestDevice {
protected:
    static constexpr UINT kWidth = 160, kHeight = 90;

    void SetUp() override
    {
        CreateDevice(kWidth, kHeight, D3DMULTISAMPLE_NONE, true);
        // The content build's box and the test's effect, in an archive of their own.
        ArchiveWriter archive;
        {
            FileSys content(ORVALA_CONTENT_ARCHIVE);
            std::vector<unsigned char> bytes(FileSys::GetFileSize("Data\\cornellBoxShape.x"));
            ASSERT_FALSE(bytes.empty()) << "the content build has no cornellBoxShape.x";
            FileSys::ReadFile("Data\\cornellBoxShape.x", bytes.data());
            archive.Add("Data\\cornellBoxShape.x", bytes);
        }
        archive.Add("OShaders\\diffuse.fxo",
                    std::vector<unsigned char>(kDiffuseEffect, kDiffuseEffect + std::strlen(kDiffuseEffect)));
        archive.Write((folder.path() / "box.dat").string());
        files = std::make_unique<FileSys>((folder.path() / "box.dat").string().c_str());
        DXFramework::SetDevice(device);
        ASSERT_EQ(D3DXCreateEffectPool(&pool), D3D_OK);
        registry = std::make_unique<DXEffectHandler>();
        DXEffectHandler::AddEffect("diffuse", "diffuse.fx", pool);
        DXEffectHandler::SetActiveEffect("diffuse");
        DXEffectHandler::SetTechnique("Diffuse");
    }
    void TearDown() override
    {
        registry.reset();
        if (pool)
            pool->Release();
        DXFramework::SetDevice(nullptr);
        files.reset();
        GLTestDevice::TearDown();
    }

    TempDir folder;
    std::unique_ptr<FileSys> files;
    ID3DXEffectPool* pool = nullptr;
    std::unique_ptr<DXEffectHandler> registry;
};

// Seen through its open side (+z), the box shows its red wall on the left (-x), its green wall
// on the right (+x), and white-ish back, floor and ceiling.
TEST_F(MeshGenCornellBoxRender, RedWallLeftGreenWallRightSeenThroughTheOpenSide)
{
    DXMesh mesh(nullptr);
    mesh.LoadX("cornellBoxShape.x", false);
    ASSERT_EQ(mesh.GetNumMaterials(), 3u);
    const D3DXVECTOR3 eye(0, 0, 9), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view, projection, viewProj;
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovRH(&projection, D3DX_PI / 3, static_cast<float>(kWidth) / kHeight, 0.1f, 100.0f);
    D3DXMatrixMultiply(&viewProj, &view, &projection);
    ID3DXEffect* fx = DXEffectHandler::FindEffect("diffuse")->GetD3DXEffect();
    fx->SetMatrix(fx->GetParameterByName(nullptr, "ViewProj"), &viewProj);
    fx->SetFloatArray(fx->GetParameterByName(nullptr, "Eye"), &eye.x, 3);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DXEffectHandler::RenderObject(&mesh);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    const std::vector<std::uint32_t> picture = ReadBackBuffer();
    ASSERT_EQ(picture.size(), std::size_t{kWidth} * kHeight);
    SavePng("cornell-box-walls.png", picture, kWidth, kHeight);

    enum Look { Red, Green, White, Black };
    // The walls' middles (the side walls run from x = 41 at the opening to 60 at the back, and
    // mirrored on the right), the back, floor and ceiling, and beside the box.
    const struct {
        int x, y;
        Look look;
    } expected[] = {{48, 45, Red},   {52, 30, Red},   {112, 45, Green}, {108, 60, Green}, {80, 45, White},
                    {80, 75, White}, {80, 15, White}, {5, 45, Black},   {155, 45, Black}};
    for (const auto& e : expected) {
        const std::uint32_t pixel = picture[static_cast<std::size_t>(e.y) * kWidth + static_cast<std::size_t>(e.x)];
        const int r = static_cast<int>((pixel >> 16) & 0xFF), g = static_cast<int>((pixel >> 8) & 0xFF),
                  b = static_cast<int>(pixel & 0xFF);
        SCOPED_TRACE("pixel " + std::to_string(e.x) + ", " + std::to_string(e.y) + ": " + std::to_string(r) + " " +
                     std::to_string(g) + " " + std::to_string(b));
        switch (e.look) {
        case Red:
            EXPECT_GT(r, 80);
            EXPECT_GT(r, 4 * g);
            EXPECT_GT(r, 4 * b);
            break;
        case Green:
            EXPECT_GT(g, 80);
            EXPECT_GT(g, 3 * r);
            EXPECT_GT(g, 3 * b);
            break;
        case White:
            EXPECT_GT(std::min({r, g, b}), 100);
            EXPECT_EQ(r, g);
            EXPECT_EQ(g, b);
            break;
        case Black:
            EXPECT_EQ(r + g + b, 0);
            break;
        }
    }
}

} // namespace

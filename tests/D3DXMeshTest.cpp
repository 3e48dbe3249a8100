#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "D3DXMeshTestSupport.h"
#include "GLTestDevice.h"
#include "d3dx9/xfile/XFileReader.h"

namespace {

constexpr DWORD kPosNormal = D3DFVF_XYZ | D3DFVF_NORMAL;

void ExpectNear(const Vec3& actual, const Vec3& expected, const std::string& what)
{
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(actual[c], expected[c], 1e-5f) << what << " component " << c;
}

// ---------------------------------------------------------------------------------------------
// Loading small files: what the loaded mesh holds.

using D3DXMeshLoadTest = D3DXMeshRecordingTest;

TEST_F(D3DXMeshLoadTest, AVertexSplitsWhereItsFacesGiveItDifferentNormals)
{
    XTextMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 1}};
    mesh.faces = {{0, 1, 2}, {0, 2, 3}};
    mesh.normals = {{0, 0, -1}, {0, 1, 0}};
    mesh.normalFaces = {{0, 0, 0}, {1, 1, 1}};
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(mesh.Text()));
    ASSERT_EQ(loaded.hr, D3D_OK);
    EXPECT_EQ(loaded.mesh->GetFVF(), kPosNormal);
    // Positions 0 and 2 carry two normals each: two more vertices after the file's four.
    ASSERT_EQ(loaded.mesh->GetNumVertices(), 6u);
    const auto bytes = VertexBytes(loaded.mesh);
    const struct {
        DWORD vertex;
        Vec3 position;
        Vec3 normal;
    } expected[] = {{0, {0, 0, 0}, {0, 0, -1}}, {1, {1, 0, 0}, {0, 0, -1}}, {2, {1, 1, 0}, {0, 0, -1}},
                    {3, {0, 1, 1}, {0, 1, 0}},  {4, {0, 0, 0}, {0, 1, 0}},  {5, {1, 1, 0}, {0, 1, 0}}};
    for (const auto& e : expected) {
        ExpectNear(VertexVector(bytes, 24, e.vertex, 0), e.position, "position of vertex " + std::to_string(e.vertex));
        ExpectNear(VertexVector(bytes, 24, e.vertex, 12), e.normal, "normal of vertex " + std::to_string(e.vertex));
    }
    EXPECT_EQ(MeshIndices(loaded.mesh), (std::vector<std::uint32_t>{0, 1, 2, 4, 5, 3}));
}

TEST_F(D3DXMeshLoadTest, PolygonsBecomeTriangleFans)
{
    XTextMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {3, 0, 0}, {3, 1, 0}, {2.5f, 2, 0},
                      {2, 1, 0}};
    mesh.faces = {{0, 1, 2, 3}, {4, 5, 6, 7, 8}, {2, 1, 4}};
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(mesh.Text()));
    ASSERT_EQ(loaded.hr, D3D_OK);
    EXPECT_EQ(loaded.mesh->GetFVF(), D3DFVF_XYZ);
    EXPECT_EQ(loaded.mesh->GetNumVertices(), 9u);
    ASSERT_EQ(loaded.mesh->GetNumFaces(), 6u);
    EXPECT_EQ(MeshIndices(loaded.mesh),
              (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7, 4, 7, 8, 2, 1, 4}));
}

TEST_F(D3DXMeshLoadTest, MeshesOfNestedFramesMergeWithTheirTransforms)
{
    XTextMesh a;
    a.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    a.faces = {{0, 1, 2}};
    a.normals = {{0.6f, 0.8f, 0}};
    a.normalFaces = {{0, 0, 0}};
    XTextMesh b = a;
    b.positions = {{1, 1, 1}, {2, 1, 1}, {1, 2, 1}};
    // Outer frame: move by (10, 0, 0). Inner frame: scale x by 2, so normals scale x by 1/2.
    const std::array<float, 16> move{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1};
    const std::array<float, 16> stretch{2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const std::string text = XFileText(XFrame("Outer", move, a.Text() + XFrame("Inner", stretch, b.Text())));
    LoadedMesh loaded;
    LoadMesh(loaded, device, text);
    ASSERT_EQ(loaded.hr, D3D_OK);
    ASSERT_EQ(loaded.mesh->GetNumVertices(), 6u);
    ASSERT_EQ(loaded.mesh->GetNumFaces(), 2u);
    const auto bytes = VertexBytes(loaded.mesh);
    ExpectNear(VertexVector(bytes, 24, 1, 0), {11, 0, 0}, "outer mesh vertex 1");
    ExpectNear(VertexVector(bytes, 24, 4, 0), {14, 1, 1}, "inner mesh vertex 1 (2 * 2 + 10)");
    ExpectNear(VertexVector(bytes, 24, 0, 12), {0.6f, 0.8f, 0}, "outer normal");
    const float length = std::sqrt(0.3f * 0.3f + 0.8f * 0.8f);
    ExpectNear(VertexVector(bytes, 24, 3, 12), {0.3f / length, 0.8f / length, 0}, "inner normal, renormalised");
    EXPECT_EQ(MeshIndices(loaded.mesh), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(loaded.numMaterials, 1u);
}

TEST_F(D3DXMeshLoadTest, FacesAreSortedIntoOneSubsetPerMaterialInMaterialOrder)
{
    XTextMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {2, 1, 0}};
    mesh.faces = {{0, 1, 2}, {0, 2, 3}, {1, 4, 5}, {1, 5, 2}};
    mesh.materials.resize(3);
    mesh.materials[0].color = {1, 0, 0, 1};
    mesh.materials[1].color = {0, 1, 0, 1};
    mesh.materials[2].color = {0, 0, 1, 1};
    mesh.faceMaterials = {2, 0, 2, 0};
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(mesh.Text()));
    ASSERT_EQ(loaded.hr, D3D_OK);
    EXPECT_EQ(loaded.numMaterials, 3u);
    EXPECT_EQ(MeshAttributes(loaded.mesh), (std::vector<DWORD>{0, 0, 2, 2}));
    EXPECT_EQ(MeshIndices(loaded.mesh), (std::vector<std::uint32_t>{0, 2, 3, 1, 5, 2, 0, 1, 2, 1, 4, 5}));
    const auto table = AttributeTable(loaded.mesh);
    ASSERT_EQ(table.size(), 2u) << "material 1 has no faces and no entry";
    EXPECT_EQ(table[0].AttribId, 0u);
    EXPECT_EQ(table[0].FaceStart, 0u);
    EXPECT_EQ(table[0].FaceCount, 2u);
    EXPECT_EQ(table[0].VertexStart, 0u);
    EXPECT_EQ(table[0].VertexCount, 6u);
    EXPECT_EQ(table[1].AttribId, 2u);
    EXPECT_EQ(table[1].FaceStart, 2u);
    EXPECT_EQ(table[1].FaceCount, 2u);

    UseShaders();
    ClearRecordedCalls(device);
    for (DWORD id = 0; id < 4; ++id)
        EXPECT_EQ(loaded.mesh->DrawSubset(id), D3D_OK) << "subset " << id;
    EXPECT_EQ(IndexedDraws(), (std::vector<std::string>{"D3DPT_TRIANGLELIST, 0, 0, 6, 0, 2",
                                                        "D3DPT_TRIANGLELIST, 0, 0, 6, 6, 2"}));
}

TEST_F(D3DXMeshLoadTest, MaterialBufferHoldsColoursAndTextureNamesInsideIt)
{
    XTextMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    mesh.faces = {{0, 1, 2}};
    mesh.materials.resize(3);
    mesh.materials[0] = {{0.5f, 0.25f, 1, 0.75f}, 12, {0.1f, 0.2f, 0.3f}, {0.4f, 0.5f, 0.6f}, "wood.png"};
    mesh.materials[2].texture = "stone floor.dds";
    mesh.faceMaterials = {1};
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(mesh.Text()));
    ASSERT_EQ(loaded.hr, D3D_OK);
    ASSERT_EQ(loaded.numMaterials, 3u);
    const D3DXMATERIAL* materials = loaded.Materials();
    const D3DMATERIAL9& first = materials[0].MatD3D;
    EXPECT_EQ(first.Diffuse.r, 0.5f);
    EXPECT_EQ(first.Diffuse.g, 0.25f);
    EXPECT_EQ(first.Diffuse.b, 1.0f);
    EXPECT_EQ(first.Diffuse.a, 0.75f);
    EXPECT_EQ(first.Power, 12.0f);
    EXPECT_EQ(first.Specular.b, 0.3f);
    EXPECT_EQ(first.Emissive.g, 0.5f);
    EXPECT_EQ(first.Ambient.r, 0.0f) << ".x materials carry no ambient colour";
    const char* begin = static_cast<const char*>(loaded.materials->GetBufferPointer());
    const char* end = begin + loaded.materials->GetBufferSize();
    const struct {
        DWORD index;
        const char* name;
    } textures[] = {{0, "wood.png"}, {1, nullptr}, {2, "stone floor.dds"}};
    for (const auto& t : textures) {
        const char* name = materials[t.index].pTextureFilename;
        if (t.name == nullptr) {
            EXPECT_EQ(name, nullptr) << "material " << t.index;
            continue;
        }
        ASSERT_NE(name, nullptr) << "material " << t.index;
        EXPECT_GE(name, begin + 3 * sizeof(D3DXMATERIAL)) << "names follow the material array";
        EXPECT_LE(name + std::strlen(t.name) + 1, end) << "the name and its zero lie inside the buffer";
        EXPECT_STREQ(name, t.name);
    }
    EXPECT_EQ(loaded.effects, nullptr) << "no effect instances are read";
}

TEST_F(D3DXMeshLoadTest, AMeshWithoutMaterialsGetsOneOpaqueWhiteMaterial)
{
    XTextMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    mesh.faces = {{0, 1, 2}};
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(mesh.Text()));
    ASSERT_EQ(loaded.hr, D3D_OK);
    ASSERT_EQ(loaded.numMaterials, 1u);
    const D3DXMATERIAL& material = loaded.Materials()[0];
    EXPECT_EQ(material.MatD3D.Diffuse.r, 1.0f);
    EXPECT_EQ(material.MatD3D.Diffuse.g, 1.0f);
    EXPECT_EQ(material.MatD3D.Diffuse.b, 1.0f);
    EXPECT_EQ(material.MatD3D.Diffuse.a, 1.0f);
    EXPECT_EQ(material.pTextureFilename, nullptr);
    EXPECT_EQ(MeshAttributes(loaded.mesh), std::vector<DWORD>{0});
}

TEST_F(D3DXMeshLoadTest, ColoursAndTextureCoordinatesFollowThePositionInFvfOrder)
{
    XTextMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    mesh.faces = {{0, 1, 2}};
    mesh.normals = {{0, 0, -1}, {0, 0, 1}};
    mesh.normalFaces = {{0, 1, 0}};
    mesh.uvs = {{0.25f, 0.5f}, {1, 0}, {0, 1}};
    mesh.colors = {{1, {1, 0.5f, 0, 0.25f}}};
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(mesh.Text()));
    ASSERT_EQ(loaded.hr, D3D_OK);
    ASSERT_EQ(loaded.mesh->GetFVF(), D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    ASSERT_EQ(loaded.mesh->GetNumBytesPerVertex(), 36u);
    const auto bytes = VertexBytes(loaded.mesh);
    const struct {
        DWORD vertex;
        D3DCOLOR color;
        float u, v;
    } expected[] = {{0, 0xFFFFFFFF, 0.25f, 0.5f}, {1, 0x40FF8000, 1, 0}, {2, 0xFFFFFFFF, 0, 1}};
    for (const auto& e : expected) {
        D3DCOLOR color;
        float uv[2];
        std::memcpy(&color, &bytes[e.vertex * 36 + 24], 4);
        std::memcpy(uv, &bytes[e.vertex * 36 + 28], 8);
        EXPECT_EQ(color, e.color) << "vertex " << e.vertex;
        EXPECT_EQ(uv[0], e.u) << "vertex " << e.vertex;
        EXPECT_EQ(uv[1], e.v) << "vertex " << e.vertex;
    }
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(loaded.mesh->GetDeclaration(declaration), D3D_OK);
    EXPECT_EQ(declaration[2].Usage, D3DDECLUSAGE_COLOR);
    EXPECT_EQ(declaration[2].Type, D3DDECLTYPE_D3DCOLOR);
    EXPECT_EQ(declaration[3].Usage, D3DDECLUSAGE_TEXCOORD);
    EXPECT_EQ(declaration[4].Stream, 0xFF);
}

TEST_F(D3DXMeshLoadTest, IndexSizeAndPoolsFollowTheOptions)
{
    const std::string text = XFileText(CubeMesh().Text());
    const struct {
        DWORD options;
        D3DFORMAT indexFormat;
        D3DPOOL vertexPool;
        D3DPOOL indexPool;
    } cases[] = {
        {D3DXMESH_MANAGED | D3DXMESH_32BIT, D3DFMT_INDEX32, D3DPOOL_MANAGED, D3DPOOL_MANAGED},
        {D3DXMESH_MANAGED, D3DFMT_INDEX16, D3DPOOL_MANAGED, D3DPOOL_MANAGED},
        {D3DXMESH_SYSTEMMEM, D3DFMT_INDEX16, D3DPOOL_SYSTEMMEM, D3DPOOL_SYSTEMMEM},
        {D3DXMESH_VB_MANAGED | D3DXMESH_IB_SYSTEMMEM, D3DFMT_INDEX16, D3DPOOL_MANAGED, D3DPOOL_SYSTEMMEM},
        {0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, D3DPOOL_DEFAULT},
    };
    std::vector<std::uint32_t> firstIndices;
    for (const auto& c : cases) {
        LoadedMesh loaded;
        LoadMesh(loaded, device, text, c.options);
        ASSERT_EQ(loaded.hr, D3D_OK) << "options " << c.options;
        EXPECT_EQ(loaded.mesh->GetOptions(), c.options);
        IDirect3DVertexBuffer9* vb = nullptr;
        IDirect3DIndexBuffer9* ib = nullptr;
        ASSERT_EQ(loaded.mesh->GetVertexBuffer(&vb), D3D_OK);
        ASSERT_EQ(loaded.mesh->GetIndexBuffer(&ib), D3D_OK);
        D3DVERTEXBUFFER_DESC vbDesc{};
        D3DINDEXBUFFER_DESC ibDesc{};
        vb->GetDesc(&vbDesc);
        ib->GetDesc(&ibDesc);
        vb->Release();
        ib->Release();
        EXPECT_EQ(ibDesc.Format, c.indexFormat) << "options " << c.options;
        EXPECT_EQ(vbDesc.Pool, c.vertexPool) << "options " << c.options;
        EXPECT_EQ(ibDesc.Pool, c.indexPool) << "options " << c.options;
        EXPECT_EQ(ibDesc.Size, 36u * (c.indexFormat == D3DFMT_INDEX32 ? 4 : 2));
        const auto indices = MeshIndices(loaded.mesh);
        if (firstIndices.empty())
            firstIndices = indices;
        EXPECT_EQ(indices, firstIndices) << "the same faces whatever the index size";
    }
}

TEST_F(D3DXMeshLoadTest, MoreThan65535VerticesNeed32BitIndices)
{
    // 21846 separate triangles: 65538 vertices.
    XTextMesh mesh;
    for (std::uint32_t t = 0; t < 21846; ++t) {
        const auto x = static_cast<float>(t);
        mesh.positions.insert(mesh.positions.end(), {{x, 0, 0}, {x, 1, 0}, {x + 1, 0, 0}});
        mesh.faces.push_back({3 * t, 3 * t + 1, 3 * t + 2});
    }
    const std::string text = XFileText(mesh.Text());
    LoadedMesh narrow;
    LoadMesh(narrow, device, text, D3DXMESH_MANAGED);
    EXPECT_EQ(narrow.hr, D3DERR_INVALIDCALL);
    EXPECT_EQ(narrow.mesh, nullptr);
    EXPECT_EQ(narrow.materials, nullptr);
    LoadedMesh wide;
    LoadMesh(wide, device, text, D3DXMESH_MANAGED | D3DXMESH_32BIT);
    ASSERT_EQ(wide.hr, D3D_OK);
    EXPECT_EQ(wide.mesh->GetNumVertices(), 65538u);
    EXPECT_EQ(MeshIndices(wide.mesh).back(), 65537u);
}

TEST_F(D3DXMeshLoadTest, EveryEdgeOfAClosedCubeHasANeighbour)
{
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(CubeMesh().Text()));
    ASSERT_EQ(loaded.hr, D3D_OK);
    ASSERT_EQ(loaded.mesh->GetNumFaces(), 12u);
    EXPECT_EQ(loaded.mesh->GetNumVertices(), 24u) << "each corner splits into its three face normals";
    ASSERT_EQ(loaded.adjacency->GetBufferSize(), 12u * 3 * sizeof(DWORD));
    const DWORD* adjacency = loaded.Adjacency();
    for (DWORD slot = 0; slot < 36; ++slot) {
        const DWORD face = slot / 3, other = adjacency[slot];
        ASSERT_LT(other, 12u) << "edge " << slot % 3 << " of face " << face;
        EXPECT_NE(other, face);
        EXPECT_EQ(std::count(adjacency + other * 3, adjacency + other * 3 + 3, face), 1)
            << "face " << other << " names face " << face << " back";
    }
    // The mesh computes the same for itself; an open mesh has edges without neighbours.
    std::vector<DWORD> again(36);
    ASSERT_EQ(loaded.mesh->GenerateAdjacency(0.0f, again.data()), D3D_OK);
    EXPECT_TRUE(std::equal(again.begin(), again.end(), adjacency));
    XTextMesh open;
    open.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    open.faces = {{0, 1, 2, 3}};
    LoadedMesh quad;
    LoadMesh(quad, device, XFileText(open.Text()));
    ASSERT_EQ(quad.hr, D3D_OK);
    const DWORD* edges = quad.Adjacency();
    EXPECT_EQ(std::vector<DWORD>(edges, edges + 6),
              (std::vector<DWORD>{0xFFFFFFFF, 0xFFFFFFFF, 1, 0, 0xFFFFFFFF, 0xFFFFFFFF}));
}

TEST_F(D3DXMeshLoadTest, GenerateAdjacencyJoinsPositionsWithinEpsilon)
{
    // Two triangles whose shared edge is 0.001 apart.
    XTextMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1.001f, 0, 0}, {0, 1.001f, 0}, {1, 1, 0}};
    mesh.faces = {{0, 2, 1}, {3, 4, 5}};
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(mesh.Text()));
    ASSERT_EQ(loaded.hr, D3D_OK);
    const struct {
        float epsilon;
        DWORD acrossSharedEdge;
    } cases[] = {{0.0f, 0xFFFFFFFF}, {0.0005f, 0xFFFFFFFF}, {0.002f, 1}};
    for (const auto& c : cases) {
        std::vector<DWORD> adjacency(6);
        ASSERT_EQ(loaded.mesh->GenerateAdjacency(c.epsilon, adjacency.data()), D3D_OK);
        EXPECT_EQ(adjacency[1], c.acrossSharedEdge) << "epsilon " << c.epsilon;
    }
    EXPECT_EQ(loaded.mesh->GenerateAdjacency(-1.0f, std::vector<DWORD>(6).data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(loaded.mesh->GenerateAdjacency(0.0f, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(D3DXMeshLoadTest, DamagedFilesFailWithInvalidDataAndHandOutNothing)
{
    const std::string cube = CubeMesh().Text();
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"header only", "xof 0303txt 0032"},
        {"bad signature", "xaf 0303txt 0032\n" + cube},
        {"truncated", XFileText(cube).substr(0, 120)},
        {"face index out of range", XFileText("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0;1;7;; }")},
        {"no faces", XFileText("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 0; }")},
        {"no mesh", XFileText("Frame A { }")},
        {"material index out of range",
         XFileText("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0;1;2;; MeshMaterialList { 1; 1; 4;; "
                   "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }")},
    };
    for (const auto& c : cases) {
        LoadedMesh loaded;
        LoadMesh(loaded, device, c.bytes.data(), c.bytes.size());
        EXPECT_EQ(loaded.hr, D3DXERR_INVALIDDATA) << c.name;
        EXPECT_EQ(loaded.mesh, nullptr) << c.name;
        EXPECT_EQ(loaded.adjacency, nullptr) << c.name;
        EXPECT_EQ(loaded.materials, nullptr) << c.name;
        EXPECT_EQ(loaded.numMaterials, 0u) << c.name;
    }
}

TEST_F(D3DXMeshLoadTest, CutOrGarbledFilesFailCleanlyOrLoadAConsistentMesh)
{
    XTextMesh mesh = CubeMesh();
    mesh.uvs.assign(8, {0.5f, 0.25f});
    mesh.colors = {{3, {1, 0, 0, 1}}};
    mesh.materials.resize(2);
    mesh.materials[1].texture = "t.png";
    mesh.faceMaterials = {0, 1, 0, 1, 0, 1};
    const std::string text = XFileText(mesh.Text());
    const std::size_t lastBrace = text.rfind('}');
    for (std::size_t length = 0; length <= lastBrace; ++length) {
        LoadedMesh loaded;
        LoadMesh(loaded, device, text.data(), length);
        ASSERT_EQ(loaded.hr, D3DXERR_INVALIDDATA) << "cut after " << length << " bytes";
    }
    // Any byte replaced by a digit, a brace or a separator: the file either fails as data or
    // loads a mesh whose indices stay within its vertices.
    for (std::size_t at = 16; at < text.size(); ++at)
        for (char replacement : {'9', '{', ';', ','}) {
            std::string garbled = text;
            garbled[at] = replacement;
            LoadedMesh loaded;
            LoadMesh(loaded, device, garbled);
            ASSERT_TRUE(loaded.hr == D3D_OK || loaded.hr == D3DXERR_INVALIDDATA) << "byte " << at;
            if (loaded.hr != D3D_OK)
                continue;
            const auto indices = MeshIndices(loaded.mesh);
            for (std::uint32_t index : indices)
                ASSERT_LT(index, loaded.mesh->GetNumVertices()) << "byte " << at;
            for (DWORD attribute : MeshAttributes(loaded.mesh))
                ASSERT_LT(attribute, loaded.numMaterials) << "byte " << at;
        }
}

TEST_F(D3DXMeshLoadTest, MissingArgumentsAndUnknownOptionsAreInvalidCalls)
{
    const std::string text = XFileText(CubeMesh().Text());
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(D3DXLoadMeshFromXInMemory(text.data(), static_cast<DWORD>(text.size()), 0, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshFromXInMemory(text.data(), static_cast<DWORD>(text.size()), 0, device, nullptr, nullptr,
                                        nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshFromXInMemory(nullptr, 10, 0, device, nullptr, nullptr, nullptr, nullptr, &mesh),
              D3DERR_INVALIDCALL);
    for (DWORD options : {DWORD{0x80000000}, D3DXMESH_VB_SYSTEMMEM | D3DXMESH_VB_MANAGED, D3DXMESH_VB_SHARE}) {
        LoadedMesh loaded;
        LoadMesh(loaded, device, text, options);
        EXPECT_EQ(loaded.hr, D3DERR_INVALIDCALL) << "options " << options;
        EXPECT_EQ(loaded.mesh, nullptr);
    }
    // Out-parameters other than the mesh may be left out.
    ASSERT_EQ(D3DXLoadMeshFromXInMemory(text.data(), static_cast<DWORD>(text.size()), 0, device, nullptr, nullptr,
                                        nullptr, nullptr, &mesh),
              D3D_OK);
    EXPECT_EQ(mesh->GetNumFaces(), 12u);
    mesh->Release();
}

// ---------------------------------------------------------------------------------------------
// Mesh operations

using D3DXMeshOperationTest = D3DXMeshRecordingTest;

TEST_F(D3DXMeshOperationTest, CloneMeshFVFAddsAWhiteDiffuseColourKeepingPositionsAndNormals)
{
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(CubeMesh().Text()), D3DXMESH_MANAGED);
    ASSERT_EQ(loaded.hr, D3D_OK);
    ID3DXMesh* clone = nullptr;
    ASSERT_EQ(loaded.mesh->CloneMeshFVF(loaded.mesh->GetOptions() | D3DXMESH_32BIT, kPosNormal | D3DFVF_DIFFUSE,
                                        device, &clone),
              D3D_OK);
    EXPECT_EQ(clone->GetFVF(), kPosNormal | D3DFVF_DIFFUSE);
    EXPECT_EQ(clone->GetNumBytesPerVertex(), 28u);
    EXPECT_EQ(clone->GetOptions(), D3DXMESH_MANAGED | D3DXMESH_32BIT);
    ASSERT_EQ(clone->GetNumVertices(), loaded.mesh->GetNumVertices());
    const auto before = VertexBytes(loaded.mesh);
    const auto after = VertexBytes(clone);
    for (DWORD v = 0; v < clone->GetNumVertices(); ++v) {
        EXPECT_EQ(std::memcmp(&before[v * 24], &after[v * 28], 24), 0) << "position and normal of vertex " << v;
        D3DCOLOR color;
        std::memcpy(&color, &after[v * 28 + 24], 4);
        EXPECT_EQ(color, 0xFFFFFFFFu) << "vertex " << v;
    }
    EXPECT_EQ(MeshIndices(clone), MeshIndices(loaded.mesh));
    EXPECT_EQ(MeshAttributes(clone), MeshAttributes(loaded.mesh));
    EXPECT_EQ(AttributeTable(clone).size(), AttributeTable(loaded.mesh).size());

    // Dropping the normal and adding texture coordinates: positions stay, coordinates are zero.
    ID3DXMesh* plain = nullptr;
    ASSERT_EQ(clone->CloneMeshFVF(D3DXMESH_SYSTEMMEM, D3DFVF_XYZ | D3DFVF_TEX1, device, &plain), D3D_OK);
    const auto reduced = VertexBytes(plain);
    for (DWORD v = 0; v < plain->GetNumVertices(); ++v) {
        EXPECT_EQ(std::memcmp(&before[v * 24], &reduced[v * 20], 12), 0) << "vertex " << v;
        const float zero[2] = {0, 0};
        EXPECT_EQ(std::memcmp(&reduced[v * 20 + 12], zero, 8), 0) << "vertex " << v;
    }
    plain->Release();
    clone->Release();

    EXPECT_EQ(loaded.mesh->CloneMeshFVF(0, 0x1, device, &clone), D3DERR_INVALIDCALL);
    EXPECT_EQ(clone, nullptr);
    EXPECT_EQ(loaded.mesh->CloneMeshFVF(0, D3DFVF_XYZ, nullptr, &clone), D3DERR_INVALIDCALL);
}

TEST_F(D3DXMeshOperationTest, ChangedAttributeIdsDropTheStaleTableAndDrawByScanning)
{
    XTextMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.faces = {{0, 1, 2}, {0, 2, 3}, {0, 1, 3}};
    mesh.materials.resize(2);
    mesh.faceMaterials = {0, 1, 0};
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(mesh.Text()));
    ASSERT_EQ(loaded.hr, D3D_OK);
    ASSERT_EQ(AttributeTable(loaded.mesh).size(), 2u);
    // Reading leaves the table alone.
    MeshAttributes(loaded.mesh);
    EXPECT_EQ(AttributeTable(loaded.mesh).size(), 2u);

    DWORD* attributes = nullptr;
    ASSERT_EQ(loaded.mesh->LockAttributeBuffer(0, &attributes), D3D_OK);
    attributes[0] = 1;  // now 1, 0, 1
    ASSERT_EQ(loaded.mesh->UnlockAttributeBuffer(), D3D_OK);
    EXPECT_EQ(loaded.mesh->UnlockAttributeBuffer(), D3DERR_INVALIDCALL) << "not locked";
    EXPECT_TRUE(AttributeTable(loaded.mesh).empty());
    UseShaders();
    ClearRecordedCalls(device);
    ASSERT_EQ(loaded.mesh->DrawSubset(1), D3D_OK);
    EXPECT_EQ(IndexedDraws(), (std::vector<std::string>{"D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1",
                                                        "D3DPT_TRIANGLELIST, 0, 0, 4, 6, 1"}));

    const D3DXATTRIBUTERANGE table[] = {{1, 0, 1, 0, 4}, {0, 1, 1, 0, 4}, {1, 2, 1, 0, 4}};
    EXPECT_EQ(loaded.mesh->SetAttributeTable(table, 3), D3D_OK);
    EXPECT_EQ(AttributeTable(loaded.mesh).size(), 3u);
    const D3DXATTRIBUTERANGE beyond[] = {{0, 2, 2, 0, 4}};
    EXPECT_EQ(loaded.mesh->SetAttributeTable(beyond, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(loaded.mesh->SetAttributeTable(nullptr, 1), D3DERR_INVALIDCALL);
}

TEST_F(D3DXMeshOperationTest, CreateMeshFVFMakesAnEmptyMeshOfTheAskedSize)
{
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXCreateMeshFVF(2, 4, D3DXMESH_MANAGED, D3DFVF_XYZ | D3DFVF_TEX1, device, &mesh), D3D_OK);
    EXPECT_EQ(mesh->GetNumFaces(), 2u);
    EXPECT_EQ(mesh->GetNumVertices(), 4u);
    EXPECT_EQ(mesh->GetNumBytesPerVertex(), 20u);
    EXPECT_TRUE(AttributeTable(mesh).empty());
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(mesh->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device);
    owner->Release();
    mesh->Release();
    const struct {
        DWORD faces, vertices, options, fvf;
    } bad[] = {{0, 4, 0, D3DFVF_XYZ}, {2, 0, 0, D3DFVF_XYZ}, {2, 70000, 0, D3DFVF_XYZ}, {2, 4, 0, 0x1}};
    for (const auto& b : bad) {
        EXPECT_EQ(D3DXCreateMeshFVF(b.faces, b.vertices, b.options, b.fvf, device, &mesh), D3DERR_INVALIDCALL);
        EXPECT_EQ(mesh, nullptr);
    }
}

TEST_F(D3DXMeshOperationTest, ManagedMeshesSurviveADeviceReset)
{
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(CubeMesh().Text()));
    ASSERT_EQ(loaded.hr, D3D_OK);
    const auto vertices = VertexBytes(loaded.mesh);
    const auto indices = MeshIndices(loaded.mesh);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 32;
    params.BackBufferHeight = 32;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    ASSERT_EQ(device->Reset(&params), D3D_OK);
    EXPECT_EQ(VertexBytes(loaded.mesh), vertices);
    EXPECT_EQ(MeshIndices(loaded.mesh), indices);
}

// ---------------------------------------------------------------------------------------------
// Vertex formats and bounds

TEST(D3DXVertexFormatTest, FvfsAndDeclarationsConvertBothWays)
{
    const struct {
        DWORD fvf;
        UINT size;
        std::vector<std::array<int, 4>> elements;  // offset, type, usage, usage index
    } cases[] = {
        {D3DFVF_XYZ, 12, {{0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0}}},
        {kPosNormal | D3DFVF_DIFFUSE | D3DFVF_TEX1,
         36,
         {{0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0},
          {12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0},
          {24, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0},
          {28, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, 0}}},
        {D3DFVF_XYZRHW | D3DFVF_SPECULAR,
         20,
         {{0, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0}, {16, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1}}},
        {D3DFVF_XYZB3 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_PSIZE,
         28,
         {{0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0},
          {12, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_BLENDWEIGHT, 0},
          {20, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, 0},
          {24, D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0}}},
        {D3DFVF_XYZW | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(0) | D3DFVF_TEXCOORDSIZE1(1),
         32,
         {{0, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0},
          {16, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_TEXCOORD, 0},
          {28, D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_TEXCOORD, 1}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(D3DXGetFVFVertexSize(c.fvf), c.size) << std::hex << c.fvf;
        D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
        ASSERT_EQ(D3DXDeclaratorFromFVF(c.fvf, declaration), D3D_OK) << std::hex << c.fvf;
        ASSERT_EQ(D3DXGetDeclLength(declaration), c.elements.size()) << std::hex << c.fvf;
        for (std::size_t i = 0; i < c.elements.size(); ++i) {
            EXPECT_EQ(declaration[i].Stream, 0);
            EXPECT_EQ(declaration[i].Offset, c.elements[i][0]) << std::hex << c.fvf << " element " << i;
            EXPECT_EQ(declaration[i].Type, c.elements[i][1]) << std::hex << c.fvf << " element " << i;
            EXPECT_EQ(declaration[i].Usage, c.elements[i][2]) << std::hex << c.fvf << " element " << i;
            EXPECT_EQ(declaration[i].UsageIndex, c.elements[i][3]) << std::hex << c.fvf << " element " << i;
        }
        EXPECT_EQ(D3DXGetDeclVertexSize(declaration, 0), c.size);
        DWORD back = 0;
        ASSERT_EQ(D3DXFVFFromDeclarator(declaration, &back), D3D_OK) << std::hex << c.fvf;
        EXPECT_EQ(back, c.fvf);
    }
}

TEST(D3DXVertexFormatTest, FormatsWithoutAnFvfEquivalentAreRefused)
{
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    for (DWORD fvf : {DWORD{0x1}, DWORD{D3DFVF_XYZ | 0x2000}, DWORD{D3DFVF_XYZ | D3DFVF_LASTBETA_UBYTE4},
                      DWORD{0x4004}, DWORD{D3DFVF_XYZ | 0x900}}) {
        EXPECT_EQ(D3DXDeclaratorFromFVF(fvf, declaration), D3DERR_INVALIDCALL) << std::hex << fvf;
        EXPECT_EQ(D3DXGetFVFVertexSize(fvf), 0u) << std::hex << fvf;
    }
    const D3DVERTEXELEMENT9 gap[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                     {0, 16, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                     D3DDECL_END()};
    const D3DVERTEXELEMENT9 swapped[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                         {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                         D3DDECL_END()};
    const D3DVERTEXELEMENT9 tangent[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                         {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TANGENT, 0},
                                         D3DDECL_END()};
    DWORD fvf = 0;
    for (const D3DVERTEXELEMENT9* d : {gap, swapped, tangent})
        EXPECT_EQ(D3DXFVFFromDeclarator(d, &fvf), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXFVFFromDeclarator(nullptr, &fvf), D3DERR_INVALIDCALL);
}

TEST(D3DXBoundingBoxTest, TheBoxSpansEveryPositionOfAStridedArray)
{
    struct Vertex {
        float x, y, z;
        DWORD color;
    };
    const Vertex vertices[] = {{1, -2, 3, 0}, {-4, 5, 0.5f, 0}, {2, 0, -6, 0}};
    D3DXVECTOR3 low, high;
    ASSERT_EQ(D3DXComputeBoundingBox(reinterpret_cast<const D3DXVECTOR3*>(vertices), 3, sizeof(Vertex), &low, &high),
              D3D_OK);
    EXPECT_EQ(low, D3DXVECTOR3(-4, -2, -6));
    EXPECT_EQ(high, D3DXVECTOR3(2, 5, 3));
    EXPECT_EQ(D3DXComputeBoundingBox(reinterpret_cast<const D3DXVECTOR3*>(vertices), 0, sizeof(Vertex), &low, &high),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXComputeBoundingBox(nullptr, 3, sizeof(Vertex), &low, &high), D3DERR_INVALIDCALL);
}

// ---------------------------------------------------------------------------------------------
// The corpus of real-world files

class D3DXMeshCorpusTest : public D3DXMeshRecordingTest {
protected:
    void SetUp() override
    {
        if (!std::filesystem::is_directory(MeshCorpusDir()))
            GTEST_SKIP() << "corpus folder " << MeshCorpusDir() << " is absent";
        D3DXMeshRecordingTest::SetUp();
    }

    void Load(LoadedMesh& loaded, const std::string& name)
    {
        const std::vector<std::uint8_t> bytes = ReadCorpusFile(name);
        LoadMesh(loaded, device, bytes.data(), bytes.size());
    }

    // The triangle count the reader's model gives.
    static std::size_t ModelTriangles(const std::string& name, std::size_t* meshes = nullptr)
    {
        const std::vector<std::uint8_t> bytes = ReadCorpusFile(name);
        XFileModel model;
        XFileReader reader;
        EXPECT_TRUE(reader.Read(bytes.data(), bytes.size(), model).ok) << name;
        std::size_t triangles = 0;
        for (const XFileMesh& mesh : model.meshes)
            triangles += mesh.TriangleCount();
        if (meshes != nullptr)
            *meshes = model.meshes.size();
        return triangles;
    }
};

TEST_F(D3DXMeshCorpusTest, EveryFileLoadsOrFailsAsItsNotesSay)
{
    const struct {
        const char* name;
        HRESULT result;
        DWORD fvfBits;  // bits the mesh's FVF must have
    } cases[] = {
        {"test_cube_text.x", D3D_OK, D3DFVF_XYZ},
        {"test_cube_binary.x", D3D_OK, D3DFVF_XYZ},
        {"test_cube_compressed.x", D3D_OK, D3DFVF_XYZ},
        {"kwxport_test_cubewithvcolors.x", D3D_OK, D3DFVF_XYZ | D3DFVF_DIFFUSE},
        {"test.x", D3D_OK, D3DFVF_XYZ | D3DFVF_TEX1},
        {"TestFormatDetection", D3D_OK, D3DFVF_XYZ | D3DFVF_TEX1},
        {"fromtruespace_bin32.x", D3D_OK, D3DFVF_XYZ},
        {"BCN_Epileptic.X", D3D_OK, D3DFVF_XYZ},
        {"anim_test.x", D3D_OK, D3DFVF_XYZ},
        {"Testwuson.X", D3D_OK, D3DFVF_XYZ},
        {"malformed_skinweights_oob.x", D3D_OK, D3DFVF_XYZ},
        {"OV_GetNextToken", D3DXERR_INVALIDDATA, 0},
        {"empty.x", D3DXERR_INVALIDDATA, 0},
    };
    for (const auto& c : cases) {
        LoadedMesh loaded;
        Load(loaded, c.name);
        ASSERT_EQ(loaded.hr, c.result) << c.name;
        if (c.result != D3D_OK) {
            EXPECT_EQ(loaded.mesh, nullptr) << c.name;
            continue;
        }
        EXPECT_EQ(loaded.mesh->GetFVF() & c.fvfBits, c.fvfBits) << c.name;
        EXPECT_EQ(loaded.mesh->GetNumFaces(), ModelTriangles(c.name)) << c.name;
        // Every face lies in the subset of its material.
        const auto attributes = MeshAttributes(loaded.mesh);
        for (const D3DXATTRIBUTERANGE& range : AttributeTable(loaded.mesh)) {
            EXPECT_LT(range.AttribId, loaded.numMaterials) << c.name;
            for (DWORD f = range.FaceStart; f < range.FaceStart + range.FaceCount; ++f)
                ASSERT_EQ(attributes[f], range.AttribId) << c.name << " face " << f;
        }
        const auto indices = MeshIndices(loaded.mesh);
        EXPECT_LT(*std::max_element(indices.begin(), indices.end()), loaded.mesh->GetNumVertices()) << c.name;
    }
}

TEST_F(D3DXMeshCorpusTest, TheThreeCubeEncodingsGiveTheSameMesh)
{
    LoadedMesh text, binary, compressed;
    Load(text, "test_cube_text.x");
    Load(binary, "test_cube_binary.x");
    Load(compressed, "test_cube_compressed.x");
    ASSERT_EQ(text.hr, D3D_OK);
    ASSERT_EQ(binary.hr, D3D_OK);
    ASSERT_EQ(compressed.hr, D3D_OK);
    EXPECT_EQ(text.mesh->GetNumFaces(), 12u);
    EXPECT_EQ(text.numMaterials, 1u);
    for (LoadedMesh* other : {&binary, &compressed}) {
        EXPECT_EQ(other->mesh->GetFVF(), text.mesh->GetFVF());
        EXPECT_EQ(MeshIndices(other->mesh), MeshIndices(text.mesh));
        EXPECT_EQ(MeshAttributes(other->mesh), MeshAttributes(text.mesh));
        EXPECT_EQ(std::vector<DWORD>(other->Adjacency(), other->Adjacency() + 36),
                  std::vector<DWORD>(text.Adjacency(), text.Adjacency() + 36));
        // The text file keeps six decimals of the exporter's floats.
        const auto a = VertexBytes(text.mesh), b = VertexBytes(other->mesh);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i + 4 <= a.size(); i += 4) {
            float x, y;
            std::memcpy(&x, &a[i], 4);
            std::memcpy(&y, &b[i], 4);
            EXPECT_NEAR(x, y, 1e-5f) << "float " << i / 4;
        }
    }
    EXPECT_EQ(VertexBytes(binary.mesh), VertexBytes(compressed.mesh));
}

TEST_F(D3DXMeshCorpusTest, AllMeshesOfABoneHierarchyMergeIntoOne)
{
    std::size_t meshes = 0;
    const std::size_t triangles = ModelTriangles("BCN_Epileptic.X", &meshes);
    EXPECT_EQ(meshes, 3u);
    LoadedMesh loaded;
    Load(loaded, "BCN_Epileptic.X");
    ASSERT_EQ(loaded.hr, D3D_OK);
    EXPECT_EQ(loaded.mesh->GetNumFaces(), triangles);
    EXPECT_EQ(loaded.numMaterials, 1u) << "a file without materials draws with one default material";
}

TEST_F(D3DXMeshCorpusTest, MaterialsNameTheirTexturesAndVertexColoursArrive)
{
    LoadedMesh maya;
    Load(maya, "test.x");
    ASSERT_EQ(maya.hr, D3D_OK);
    ASSERT_EQ(maya.numMaterials, 1u);
    const char* texture = maya.Materials()[0].pTextureFilename;
    ASSERT_NE(texture, nullptr);
    // The exporter wrote the name with a folder: ".\\test.png".
    const std::string name(texture);
    EXPECT_EQ(name.substr(name.size() - 9), "\\test.png");

    LoadedMesh colored;
    Load(colored, "kwxport_test_cubewithvcolors.x");
    ASSERT_EQ(colored.hr, D3D_OK);
    EXPECT_GT(colored.numMaterials, 1u);
    ASSERT_NE(colored.mesh->GetFVF() & D3DFVF_DIFFUSE, 0u);
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    colored.mesh->GetDeclaration(declaration);
    const auto bytes = VertexBytes(colored.mesh);
    std::set<D3DCOLOR> colors;
    for (const D3DVERTEXELEMENT9* e = declaration; e->Stream != 0xFF; ++e)
        if (e->Usage == D3DDECLUSAGE_COLOR)
            for (DWORD v = 0; v < colored.mesh->GetNumVertices(); ++v) {
                D3DCOLOR c;
                std::memcpy(&c, &bytes[v * colored.mesh->GetNumBytesPerVertex() + e->Offset], 4);
                colors.insert(c);
            }
    EXPECT_GT(colors.size(), 1u) << "the file's vertex colours differ";
}

// ---------------------------------------------------------------------------------------------
// Both devices

class D3DXMeshDeviceTest : public D3D9DeviceTest {};

TEST_P(D3DXMeshDeviceTest, ALoadedMeshKeepsItsContentAndDrawsEachSubset)
{
    XTextMesh mesh = CubeMesh();
    mesh.materials.resize(2);
    mesh.faceMaterials = {0, 1, 0, 1, 0, 1};
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(mesh.Text()));
    ASSERT_EQ(loaded.hr, D3D_OK);
    const auto vertices = VertexBytes(loaded.mesh);
    ASSERT_EQ(vertices.size(), 24u * 24);
    ExpectNear(VertexVector(vertices, 24, 6, 0), {1, 1, 1}, "vertex 6");
    EXPECT_EQ(MeshIndices(loaded.mesh).size(), 36u);

    IDirect3DVertexShader9* vs = nullptr;
    IDirect3DPixelShader9* ps = nullptr;
    ASSERT_EQ(device->CreateVertexShader("in vec3 POSITION0; void main() { gl_Position = vec4(POSITION0 * 0.5, 1.0); }",
                                         &vs),
              D3D_OK);
    ASSERT_EQ(device->CreatePixelShader("out vec4 COLOR0; void main() { COLOR0 = vec4(1.0); }", &ps), D3D_OK);
    device->SetVertexShader(vs);
    device->SetPixelShader(ps);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    for (DWORD id = 0; id < loaded.numMaterials; ++id)
        EXPECT_EQ(loaded.mesh->DrawSubset(id), D3D_OK) << "subset " << id;
    ASSERT_EQ(device->EndScene(), D3D_OK);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    device->SetVertexDeclaration(nullptr);
    vs->Release();
    ps->Release();
}

ORVALA_INSTANTIATE_DEVICE_TESTS(D3DXMeshDeviceTest);

using D3DXMeshGLTest = GLTestDevice;

TEST_F(D3DXMeshGLTest, EachSubsetDrawsInItsMaterialsColour)
{
    // Two quads in clip space: the left one red, the right one green, the third material unused.
    XTextMesh mesh;
    mesh.positions = {{-1, 1, 0.5f}, {0, 1, 0.5f}, {0, -1, 0.5f}, {-1, -1, 0.5f},
                      {0, 1, 0.5f},  {1, 1, 0.5f}, {1, -1, 0.5f}, {0, -1, 0.5f}};
    mesh.faces = {{4, 5, 6, 7}, {0, 1, 2, 3}};
    mesh.materials.resize(3);
    mesh.materials[0].color = {1, 0, 0, 1};
    mesh.materials[1].color = {0, 1, 0, 1};
    mesh.materials[2].color = {0, 0, 1, 1};
    mesh.faceMaterials = {1, 0};
    LoadedMesh loaded;
    LoadMesh(loaded, device, XFileText(mesh.Text()));
    ASSERT_EQ(loaded.hr, D3D_OK);
    ASSERT_EQ(loaded.numMaterials, 3u);

    ASSERT_EQ(device->SetVertexShader(VertexShader(R"(
in vec3 POSITION0;
void main()
{
    gl_Position = vec4(POSITION0, 1.0);
})")), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(PixelShader(R"(
uniform vec4 materialDiffuse;
out vec4 COLOR0;
void main()
{
    COLOR0 = materialDiffuse;
})")), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    for (DWORD id = 0; id < loaded.numMaterials; ++id) {
        const D3DCOLORVALUE& diffuse = loaded.Materials()[id].MatD3D.Diffuse;
        const float color[4] = {diffuse.r, diffuse.g, diffuse.b, diffuse.a};
        ASSERT_EQ(device->SetUniformF("materialDiffuse", color, 4), D3D_OK);
        ASSERT_EQ(loaded.mesh->DrawSubset(id), D3D_OK) << "subset " << id;
    }
    ASSERT_EQ(device->EndScene(), D3D_OK);
    UINT width = 0, height = 0;
    const std::vector<std::uint32_t> pixels = ReadBackBuffer(&width, &height);
    ASSERT_EQ(pixels.size(), std::size_t{width} * height);
    SavePng("mesh-subsets.png", pixels, width, height);
    const struct {
        UINT x, y;
        std::uint32_t rgb;
    } expected[] = {{8, 8, 0xFF0000}, {24, 56, 0xFF0000}, {40, 8, 0x00FF00}, {60, 60, 0x00FF00}};
    for (const auto& e : expected)
        EXPECT_EQ(Rgb(pixels[e.y * width + e.x]), e.rgb) << "pixel " << e.x << ", " << e.y;
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    device->SetVertexDeclaration(nullptr);
}

} // namespace

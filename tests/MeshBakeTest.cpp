#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "D3DXMeshTestSupport.h"
#include "DXFramework.h"
#include "DXMesh/AmbientOcclusionBake.h"
#include "DXMesh/DXMesh.h"
#include "FileSys.h"
#include "FrameworkExMessage.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "common/ArchiveWriter.h"
#include "common/meshgen/PlaneShapes.h"
#include "common/meshgen/SphereShapes.h"
#include "crt/CRand.h"
#include "d3d9/DeviceFactory.h"
#include "d3dx9/mesh/XFileMeshLoader.h"

namespace {

constexpr D3DCOLOR kOpen = 0xFFFFFFFFu;

// Flat arrays of a triangle mesh, as the bake reads them.
struct Soup {
    std::vector<D3DXVECTOR3> positions, normals;
    std::vector<std::uint32_t> indices;

    std::uint32_t Add(D3DXVECTOR3 p, D3DXVECTOR3 n)
    {
        positions.push_back(p);
        normals.push_back(n);
        return static_cast<std::uint32_t>(positions.size() - 1);
    }
    void Triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) { indices.insert(indices.end(), {a, b, c}); }
    void Append(const meshgen::MeshBuilder& mesh, D3DXVECTOR3 offset)
    {
        const auto base = static_cast<std::uint32_t>(positions.size());
        for (const meshgen::MeshVertex& v : mesh.Vertices())
            Add(D3DXVECTOR3(static_cast<float>(v.position.x), static_cast<float>(v.position.y),
                            static_cast<float>(v.position.z)) +
                    offset,
                D3DXVECTOR3(static_cast<float>(v.normal.x), static_cast<float>(v.normal.y),
                            static_cast<float>(v.normal.z)));
        for (const auto& t : mesh.Triangles())
            Triangle(base + t[0], base + t[1], base + t[2]);
    }
    std::size_t Faces() const { return indices.size() / 3; }

    std::vector<D3DCOLOR> Bake(AmbientOcclusionSearch search, unsigned seed) const
    {
        crt::srand(seed);
        return BakeAmbientOcclusion(positions.data(), normals.data(), positions.size(), indices.data(), Faces(),
                                    search);
    }

    // As a .x mesh: every vertex with its own normal, optionally with a starting colour.
    XTextMesh Text(bool colours) const
    {
        XTextMesh mesh;
        for (std::size_t i = 0; i < positions.size(); ++i) {
            mesh.positions.push_back({positions[i].x, positions[i].y, positions[i].z});
            mesh.normals.push_back({normals[i].x, normals[i].y, normals[i].z});
            if (colours)
                mesh.colors.push_back({static_cast<std::uint32_t>(i), {1, 0, 0, 1}});
        }
        for (std::size_t f = 0; f < Faces(); ++f)
            mesh.faces.push_back({indices[3 * f], indices[3 * f + 1], indices[3 * f + 2]});
        mesh.normalFaces = mesh.faces;
        return mesh;
    }
};

// A box around `centre` with half size `h`, its triangles wound to face out (normal N = (B - A) x
// (C - A) pointing away from the centre), corner normals pointing out.
void AddBox(Soup& soup, D3DXVECTOR3 centre, float h)
{
    const auto base = static_cast<std::uint32_t>(soup.positions.size());
    for (int i = 0; i < 8; ++i) {
        const D3DXVECTOR3 corner((i & 1) ? h : -h, (i & 2) ? h : -h, (i & 4) ? h : -h);
        D3DXVECTOR3 normal = corner;
        D3DXVec3Normalize(&normal, &normal);
        soup.Add(centre + corner, normal);
    }
    const int quads[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
    for (const auto& q : quads)
        for (const auto& t : {std::array<int, 3>{q[0], q[1], q[2]}, std::array<int, 3>{q[0], q[2], q[3]}}) {
            std::uint32_t a = base + t[0], b = base + t[1], c = base + t[2];
            D3DXVECTOR3 ab = soup.positions[b] - soup.positions[a], ac = soup.positions[c] - soup.positions[a], n;
            D3DXVec3Cross(&n, &ab, &ac);
            const D3DXVECTOR3 out = soup.positions[a] - centre;
            if (D3DXVec3Dot(&n, &out) < 0)
                std::swap(b, c);
            soup.Triangle(a, b, c);
        }
}

// An open floor quad at y = 0 (vertices 0-3, nothing above them), a closed box far below it, and
// a small triangle at the box's centre (the last three vertices, every ray leaves through a wall).
Soup FloorAndEnclosedTriangle()
{
    Soup soup;
    const D3DXVECTOR3 up(0, 1, 0);
    const std::uint32_t a = soup.Add({-1, 0, -1}, up), b = soup.Add({1, 0, -1}, up), c = soup.Add({1, 0, 1}, up),
                        d = soup.Add({-1, 0, 1}, up);
    soup.Triangle(a, c, b);
    soup.Triangle(a, d, c);
    AddBox(soup, {0, -5, 0}, 1.0f);
    const std::uint32_t e = soup.Add({-0.1f, -5, -0.1f}, up), f = soup.Add({0.1f, -5, -0.1f}, up),
                        g = soup.Add({0, -5, 0.1f}, up);
    soup.Triangle(e, g, f);
    return soup;
}

// A sphere resting on a floor: the contact is partly occluded, the sphere's top and the far floor open.
Soup SphereOnFloor(int segments)
{
    Soup soup;
    meshgen::PlaneOptions plane;
    plane.size = {6.0, 6.0};
    plane.segments = segments / 2;
    soup.Append(meshgen::BuildPlane(plane), {0, 0, 0});
    meshgen::SphereOptions sphere;
    sphere.segments = segments;
    sphere.rings = segments / 2;
    soup.Append(meshgen::BuildSphere(sphere), {0, 1, 0});
    return soup;
}

// Random triangles, many of them long slivers, with random normals: every rounding corner of the
// test gets its chance.
Soup Slivers(unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> coordinate(-2.0f, 2.0f), small(-0.02f, 0.02f);
    Soup soup;
    for (int i = 0; i < 120; ++i) {
        const D3DXVECTOR3 a(coordinate(random), coordinate(random), coordinate(random));
        const D3DXVECTOR3 b(coordinate(random), coordinate(random), coordinate(random));
        const D3DXVECTOR3 c = i % 2 ? (a + b) * 0.5f + D3DXVECTOR3(small(random), small(random), small(random))
                                    : D3DXVECTOR3(coordinate(random), coordinate(random), coordinate(random));
        D3DXVECTOR3 n(coordinate(random), coordinate(random), coordinate(random));
        soup.Triangle(soup.Add(a, n), soup.Add(b, n), soup.Add(c, n));
    }
    return soup;
}

TEST(AmbientOcclusionBakeTest, HierarchyGivesTheBytesOfTheBruteForceLoop)
{
    const struct {
        const char* name;
        Soup soup;
        unsigned seed;
    } cases[] = {
        {"floor and enclosed triangle", FloorAndEnclosedTriangle(), 1},
        {"sphere on floor", SphereOnFloor(16), 7},
        {"slivers", Slivers(3), 11},
        {"slivers, other seed", Slivers(4), 12345},
    };
    for (const auto& c : cases) {
        const std::vector<D3DCOLOR> reference = c.soup.Bake(AmbientOcclusionSearch::EveryFace, c.seed);
        const std::vector<D3DCOLOR> fast = c.soup.Bake(AmbientOcclusionSearch::Bvh, c.seed);
        EXPECT_EQ(fast, reference) << c.name;
        // The comparison means something only when there are partly open vertices.
        std::size_t partial = 0;
        for (D3DCOLOR colour : reference)
            partial += colour != kOpen && colour != 0;
        EXPECT_GT(partial, 0u) << c.name;
    }
    // The same mesh on another stretch of the random sequence gives other rays.
    const Soup sphere = SphereOnFloor(16);
    EXPECT_NE(sphere.Bake(AmbientOcclusionSearch::Bvh, 7), sphere.Bake(AmbientOcclusionSearch::Bvh, 8));
}

TEST(AmbientOcclusionBakeTest, ContactIsDarkerThanOpenFloorAndTheColourFillsEveryChannel)
{
    const Soup soup = SphereOnFloor(16);
    const std::vector<D3DCOLOR> colours = soup.Bake(AmbientOcclusionSearch::Bvh, 1);
    // The floor vertex nearest the contact point and one in a corner of the floor.
    std::size_t contact = 0, corner = 0;
    for (std::size_t i = 0; i < soup.positions.size(); ++i) {
        if (std::fabs(soup.positions[i].y) > 1e-6f)
            continue;
        const float r = std::hypot(soup.positions[i].x, soup.positions[i].z);
        if (r < std::hypot(soup.positions[contact].x, soup.positions[contact].z))
            contact = i;
        if (r > std::hypot(soup.positions[corner].x, soup.positions[corner].z))
            corner = i;
    }
    for (D3DCOLOR colour : colours)
        EXPECT_EQ(colour, (colour & 0xFF) * 0x01010101u);
    EXPECT_LT(colours[contact] & 0xFF, 140u);
    EXPECT_GT(colours[corner] & 0xFF, colours[contact] & 0xFF);
}

// Meshes from a test archive, on the recording device.
class MeshBakeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        D3DCAPS9 caps{};
        caps.DeviceType = D3DDEVTYPE_HAL;
        caps.MaxStreams = 16;
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = 16;
        params.BackBufferHeight = 16;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        ASSERT_EQ(CreateRecordingDevice(caps, &params, &device), D3D_OK);
        DXFramework::SetDevice(device);

        const Soup scene = FloorAndEnclosedTriangle();
        ArchiveWriter archive;
        Add(archive, "scene.x", scene.Text(false).Text());
        Add(archive, "coloured.x", scene.Text(true).Text());
        Add(archive, "bare.x", "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n");
        // 1000 faces: a grid of 25 x 20 quads.
        XTextMesh grid;
        for (int z = 0; z <= 20; ++z)
            for (int x = 0; x <= 25; ++x) {
                grid.positions.push_back({static_cast<float>(x), 0.1f * static_cast<float>((x * 7 + z * 3) % 5),
                                          static_cast<float>(z)});
                grid.normals.push_back({0, 1, 0});
            }
        for (std::uint32_t z = 0; z < 20; ++z)
            for (std::uint32_t x = 0; x < 25; ++x) {
                const std::uint32_t a = z * 26 + x;
                grid.faces.push_back({a, a + 26, a + 1});
                grid.faces.push_back({a + 1, a + 26, a + 27});
            }
        grid.normalFaces = grid.faces;
        Add(archive, "grid.x", grid.Text());
        archive.Write((folder.path() / "basefile.dat").string());
        files = std::make_unique<FileSys>((folder.path() / "basefile.dat").string().c_str());
    }
    void TearDown() override
    {
        files.reset();
        DXFramework::SetDevice(nullptr);
        if (device)
            device->Release();
    }

    static void Add(ArchiveWriter& archive, const std::string& name, const std::string& body)
    {
        const std::string text = XFileText(body);
        archive.Add("Data\\" + name, std::vector<unsigned char>(text.begin(), text.end()));
    }

    // Every vertex's position and colour (0 without a colour element).
    static std::vector<std::pair<D3DXVECTOR3, D3DCOLOR>> Vertices(ID3DXBaseMesh* mesh)
    {
        D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
        EXPECT_EQ(mesh->GetDeclaration(declaration), D3D_OK);
        int colour = -1;
        for (const D3DVERTEXELEMENT9* e = declaration; e->Stream != 0xFF; ++e)
            if (e->Usage == D3DDECLUSAGE_COLOR)
                colour = e->Offset;
        void* data = nullptr;
        EXPECT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
        std::vector<std::pair<D3DXVECTOR3, D3DCOLOR>> out(mesh->GetNumVertices());
        for (DWORD v = 0; v < mesh->GetNumVertices(); ++v) {
            const auto* at = static_cast<const unsigned char*>(data) + v * mesh->GetNumBytesPerVertex();
            std::memcpy(&out[v].first, at, sizeof(D3DXVECTOR3));
            out[v].second = 0;
            if (colour >= 0)
                std::memcpy(&out[v].second, at + colour, sizeof(D3DCOLOR));
        }
        mesh->UnlockVertexBuffer();
        return out;
    }

    static std::vector<D3DCOLOR> Colours(ID3DXBaseMesh* mesh)
    {
        std::vector<D3DCOLOR> colours;
        for (const auto& vertex : Vertices(mesh))
            colours.push_back(vertex.second);
        return colours;
    }

    IDirect3DDevice9* device = nullptr;
    TempDir folder;
    std::unique_ptr<FileSys> files;
};

} // namespace

TEST_F(MeshBakeTest, OpenVerticesStayWhiteEnclosedOnesTurnBlackWithOrWithoutAColourToOverwrite)
{
    const Soup scene = FloorAndEnclosedTriangle();
    const std::size_t n = scene.positions.size();
    for (const bool coloured : {false, true}) {
        SCOPED_TRACE(coloured ? "with colours" : "without colours");
        DXMesh mesh(nullptr);
        mesh.LoadX(coloured ? "coloured.x" : "scene.x", false);
        ID3DXMesh* before = mesh.GetMesh();
        ASSERT_EQ(mesh.GetNumVertices(), n);
        EXPECT_EQ((before->GetFVF() & D3DFVF_DIFFUSE) != 0, coloured);
        crt::srand(5);
        mesh.Bake_AO_to_Vertex();
        // A mesh that has colours keeps its buffers; one without is cloned with a colour added.
        EXPECT_EQ(mesh.GetMesh() == before, coloured);
        EXPECT_NE(mesh.GetMesh()->GetFVF() & D3DFVF_DIFFUSE, 0u);
        EXPECT_EQ(mesh.GetMesh()->GetOptions() & D3DXMESH_32BIT, D3DXMESH_32BIT);
        const std::vector<D3DCOLOR> colours = Colours(mesh.GetMesh());
        for (std::size_t v = 0; v < 4; ++v)
            EXPECT_EQ(colours[v], kOpen) << v;
        for (std::size_t v = n - 3; v < n; ++v)
            EXPECT_EQ(colours[v], 0u) << v;
        // The colours are those of the brute-force loop on the same random numbers.
        EXPECT_EQ(colours, scene.Bake(AmbientOcclusionSearch::EveryFace, 5));
    }
}

TEST_F(MeshBakeTest, FailuresNameTheirCause)
{
    DXMesh empty(nullptr);
    DXMesh bare(nullptr);
    bare.LoadX("bare.x", false);
    DXMesh flat(nullptr);
    flat.LoadX("scene.x", false);
    const struct {
        std::function<void()> call;
        std::string message;
    } cases[] = {
        {[&] { empty.Bake_AO_to_Vertex(); }, "[DXMesh::Bake_AO_to_Vertex]: Mesh not loaded yet!"},
        {[&] { bare.Bake_AO_to_Vertex(); }, "[DXMesh::Bake_AO_to_Vertex]: Mesh does not have normal information!"},
        {[&] { flat.SetNumFacesLOD(0.5f); },
         "[DXMesh::SetNumFacesLOD()] input parameter indicates that a LOD is requested, but no LOD is generated"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FrameworkExMessage(c.call), c.message);
}

TEST_F(MeshBakeTest, LevelOfDetailAsksForItsShareOfTheMostFaces)
{
    DXMesh mesh(nullptr), reference(nullptr);
    mesh.LoadX("grid.x", false, true);
    reference.LoadX("grid.x", false, true);
    ASSERT_EQ(mesh.GetProgressiveMesh()->GetMaxFaces(), 1000u);
    const struct {
        float fraction;
        DWORD asked;
    } cases[] = {{0.5f, 500}, {0.25f, 250}, {0.999f, 999}, {1.0f, 1000}, {0.0f, 0}, {-2.0f, 0}, {3.0f, 1000}};
    for (const auto& c : cases) {
        mesh.SetNumFacesLOD(c.fraction);
        ASSERT_EQ(reference.GetProgressiveMesh()->SetNumFaces(c.asked), D3D_OK);
        EXPECT_EQ(mesh.GetProgressiveMesh()->GetNumFaces(), reference.GetProgressiveMesh()->GetNumFaces())
            << c.fraction;
    }
    // The progressive mesh takes the finest level with at most the faces asked for.
    mesh.SetNumFacesLOD(0.5f);
    EXPECT_LE(mesh.GetProgressiveMesh()->GetNumFaces(), 500u);
    EXPECT_LT(mesh.GetProgressiveMesh()->GetNumFaces(), 1000u);
}

TEST_F(MeshBakeTest, AProgressiveMeshMadeBeforeTheBakeDrawsTheBakedColours)
{
    for (const char* name : {"scene.x", "coloured.x"}) {
        SCOPED_TRACE(name);
        DXMesh mesh(nullptr);
        mesh.LoadX(name, false, true);
        ASSERT_NE(mesh.GetProgressiveMesh(), nullptr);
        const DWORD faces = mesh.GetProgressiveMesh()->GetNumFaces();
        mesh.Bake_AO_to_Vertex();
        ID3DXPMesh* drawn = mesh.GetProgressiveMesh();
        ASSERT_NE(drawn, nullptr);
        EXPECT_EQ(drawn->GetNumFaces(), faces);
        // Every vertex the progressive mesh draws carries the baked colour of its position.
        const auto baked = Vertices(mesh.GetMesh());
        const auto shown = Vertices(drawn);
        ASSERT_FALSE(shown.empty());
        std::size_t black = 0;
        for (const auto& vertex : shown) {
            bool found = false;
            for (const auto& source : baked)
                found = found || (source.first == vertex.first && source.second == vertex.second);
            EXPECT_TRUE(found) << vertex.first.x << " " << vertex.first.y << " " << vertex.first.z;
            black += vertex.second == 0;
        }
        EXPECT_GT(black, 0u);
    }
}

TEST_F(MeshBakeTest, DumpWritesTheMeshsFourFiles)
{
    DXMesh mesh(nullptr);
    mesh.LoadX("coloured.x", false);
    ID3DXMesh* m = mesh.GetMesh();
    const std::string base = (folder.path() / "dump").string();
    mesh.DumpBuffers(base);

    char info[128];
    std::snprintf(info, sizeof(info), "Verts:%lx\nBytesPrVert:%lx\nFaces:%lx\n",
                  static_cast<unsigned long>(m->GetNumVertices()), static_cast<unsigned long>(m->GetNumBytesPerVertex()),
                  static_cast<unsigned long>(m->GetNumFaces()));
    EXPECT_EQ(ReadFileBytes(base + ".nfo"), info);
    EXPECT_EQ(ReadFileBytes(base + ".nfo"), "Verts:f\nBytesPrVert:1c\nFaces:f\n"); // 15 vertices of 28 bytes

    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(m->GetDeclaration(declaration), D3D_OK);
    std::string elements;
    for (const D3DVERTEXELEMENT9* e = declaration; e->Stream != 0xFF; ++e) {
        const unsigned char bytes[8] = {static_cast<unsigned char>(e->Stream), static_cast<unsigned char>(e->Stream >> 8),
                                        static_cast<unsigned char>(e->Offset), static_cast<unsigned char>(e->Offset >> 8),
                                        e->Type, e->Method, e->Usage, e->UsageIndex};
        elements.append(reinterpret_cast<const char*>(bytes), 8);
    }
    EXPECT_EQ(ReadFileBytes(base + ".decl"), elements);
    EXPECT_EQ(elements.size(), 3u * 8u); // position, normal, colour; no end marker

    void* data = nullptr;
    ASSERT_EQ(m->LockVertexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    const std::string vertices(static_cast<const char*>(data), m->GetNumVertices() * m->GetNumBytesPerVertex());
    m->UnlockVertexBuffer();
    EXPECT_EQ(ReadFileBytes(base + ".vb"), vertices);
    ASSERT_EQ(m->LockIndexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    const std::string indices(static_cast<const char*>(data), m->GetNumFaces() * 3 * 4);
    m->UnlockIndexBuffer();
    EXPECT_EQ(ReadFileBytes(base + ".ib"), indices);
    // The index file holds the floor's first triangle as written.
    const std::string ib = ReadFileBytes(base + ".ib");
    ASSERT_GE(ib.size(), 12u);
    std::uint32_t first[3];
    std::memcpy(first, ib.data(), sizeof(first));
    EXPECT_EQ(first[0], 0u);
    EXPECT_EQ(first[1], 2u);
    EXPECT_EQ(first[2], 1u);

    // A base in a folder that does not exist writes nothing and does not fail.
    EXPECT_EQ(FrameworkExMessage([&] { mesh.DumpBuffers((folder.path() / "absent" / "dump").string()); }),
              "(no exception)");
}

TEST_F(MeshBakeTest, ToolBakesIntoAFileOurReaderLoadsBackAndDumpsTheBuffers)
{
    const std::string in = (folder.path() / "scene.x").string();
    const std::string out = (folder.path() / "baked.x").string();
    WriteFileBytes(in, XFileText(FloorAndEnclosedTriangle().Text(false).Text()));
    const ToolResult bake = RunTool({"mesh", "bake-ao", in, out});
    ASSERT_EQ(bake.exitCode, 0) << bake.err;

    // The tool starts its random sequence where a fresh program does.
    DXMesh expected(nullptr);
    expected.LoadX("scene.x", false);
    crt::srand(1);
    expected.Bake_AO_to_Vertex();

    const std::string text = ReadFileBytes(out);
    ID3DXMesh* loaded = nullptr;
    std::string error;
    ASSERT_EQ(LoadXFileMeshInMemory(text.data(), static_cast<DWORD>(text.size()), D3DXMESH_MANAGED | D3DXMESH_32BIT,
                                    device, nullptr, nullptr, nullptr, nullptr, &loaded, &error),
              D3D_OK)
        << error;
    EXPECT_EQ(loaded->GetNumFaces(), expected.GetMesh()->GetNumFaces());
    EXPECT_EQ(Vertices(loaded), Vertices(expected.GetMesh()));
    loaded->Release();

    const std::string base = (folder.path() / "tooldump").string();
    const ToolResult dump = RunTool({"mesh", "dump", out, base});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(ReadFileBytes(base + ".nfo"), "Verts:f\nBytesPrVert:1c\nFaces:f\n");
    EXPECT_EQ(ReadFileBytes(base + ".ib").size(), 15u * 12u);
    EXPECT_EQ(ReadFileBytes(base + ".vb").size(), 15u * 28u);
    EXPECT_EQ(ReadFileBytes(base + ".decl").size(), 24u);

    const struct {
        std::vector<std::string> args;
        std::string error;
    } failures[] = {
        {{"mesh", "bake-ao", in}, "orvala-tool: mesh bake-ao takes a .x file and the .x file to write"},
        {{"mesh", "dump", in}, "orvala-tool: mesh dump takes a .x file and the base name of the files to write"},
        {{"mesh", "bake-ao", (folder.path() / "none.x").string(), out}, "cannot read"},
    };
    for (const auto& f : failures) {
        const ToolResult result = RunTool(f.args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err.compare(0, f.error.size(), f.error), 0) << result.err;
    }
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "D3DXMeshTestSupport.h"

namespace {

// A wavy grid of cells x cells quads; the left half of the cells uses material 0, the right half
// material 1.
std::string GridFile(std::uint32_t cells)
{
    XTextMesh grid;
    for (std::uint32_t y = 0; y <= cells; ++y)
        for (std::uint32_t x = 0; x <= cells; ++x)
            grid.positions.push_back({static_cast<float>(x), static_cast<float>(y),
                                      0.3f * std::sin(0.7f * static_cast<float>(x)) *
                                          std::cos(0.5f * static_cast<float>(y))});
    for (std::uint32_t y = 0; y < cells; ++y)
        for (std::uint32_t x = 0; x < cells; ++x) {
            const std::uint32_t corner = y * (cells + 1) + x;
            grid.faces.push_back({corner, corner + cells + 1, corner + cells + 2, corner + 1});
            grid.faceMaterials.push_back(x < cells / 2 ? 0 : 1);
        }
    grid.materials.resize(2);
    return XFileText(grid.Text());
}

class D3DXPMeshTest : public D3DXMeshRecordingTest {
protected:
    void Generate(std::uint32_t cells, DWORD minValue, DWORD options = D3DXMESHSIMP_FACE)
    {
        LoadMesh(*loaded, device, GridFile(cells));
        ASSERT_EQ(loaded->hr, D3D_OK);
        ASSERT_EQ(D3DXGeneratePMesh(loaded->mesh, loaded->Adjacency(), nullptr, nullptr, minValue, options, &pmesh),
                  D3D_OK);
        ASSERT_NE(pmesh, nullptr);
    }

    void TearDown() override
    {
        if (pmesh != nullptr)
            pmesh->Release();
        pmesh = nullptr;
        loaded.reset();
        D3DXMeshRecordingTest::TearDown();
    }

    // Every index of the current level names one of its vertices; every table entry holds the
    // faces and vertex range it claims.
    void ExpectConsistentLevel()
    {
        const auto indices = MeshIndices(pmesh);
        ASSERT_EQ(indices.size(), std::size_t{pmesh->GetNumFaces()} * 3);
        for (std::uint32_t index : indices)
            ASSERT_LT(index, pmesh->GetNumVertices());
        DWORD faces = 0;
        for (const D3DXATTRIBUTERANGE& range : AttributeTable(pmesh)) {
            EXPECT_EQ(range.FaceStart, faces);
            faces += range.FaceCount;
            for (std::size_t i = range.FaceStart * 3u; i < (range.FaceStart + range.FaceCount) * 3u; ++i) {
                ASSERT_GE(indices[i], range.VertexStart);
                ASSERT_LT(indices[i], range.VertexStart + range.VertexCount);
            }
        }
        EXPECT_EQ(faces, pmesh->GetNumFaces());
    }

    std::unique_ptr<LoadedMesh> loaded = std::make_unique<LoadedMesh>();
    ID3DXPMesh* pmesh = nullptr;
};

TEST_F(D3DXPMeshTest, GeneratedMeshStartsAtItsMaximumAndSetNumFacesReducesAndClamps)
{
    Generate(20, 10);
    EXPECT_EQ(pmesh->GetMaxFaces(), 800u);
    EXPECT_EQ(pmesh->GetNumFaces(), 800u) << "a new progressive mesh draws every face";
    EXPECT_EQ(pmesh->GetNumVertices(), loaded->mesh->GetNumVertices());
    EXPECT_EQ(pmesh->GetFVF(), loaded->mesh->GetFVF());
    EXPECT_EQ(pmesh->GetOptions(), loaded->mesh->GetOptions());
    EXPECT_GE(pmesh->GetMinFaces(), 10u);
    EXPECT_LT(pmesh->GetMinFaces(), 400u);
    ExpectConsistentLevel();

    ASSERT_EQ(pmesh->SetNumFaces(400), D3D_OK);
    const DWORD half = pmesh->GetNumFaces();
    EXPECT_LE(half, 400u);
    EXPECT_GT(half, 300u) << "levels are close together";
    EXPECT_LT(pmesh->GetNumVertices(), loaded->mesh->GetNumVertices());
    ExpectConsistentLevel();

    const struct {
        DWORD asked;
        DWORD expected;
    } clamps[] = {{0, pmesh->GetMinFaces()}, {5, pmesh->GetMinFaces()}, {100000, 800}, {800, 800}};
    for (const auto& c : clamps) {
        ASSERT_EQ(pmesh->SetNumFaces(c.asked), D3D_OK);
        EXPECT_EQ(pmesh->GetNumFaces(), c.expected) << "asked for " << c.asked;
        ExpectConsistentLevel();
    }
    ASSERT_EQ(pmesh->SetNumVertices(0), D3D_OK);
    EXPECT_EQ(pmesh->GetNumVertices(), pmesh->GetMinVertices());
    EXPECT_EQ(pmesh->GetNumFaces(), pmesh->GetMinFaces());
}

TEST_F(D3DXPMeshTest, LevelsKeepBothSubsetsAndDrawThem)
{
    Generate(20, 10);
    ASSERT_EQ(pmesh->SetNumFaces(200), D3D_OK);
    const auto table = AttributeTable(pmesh);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].AttribId, 0u);
    EXPECT_EQ(table[1].AttribId, 1u);
    UseShaders();
    ClearRecordedCalls(device);
    for (DWORD id = 0; id < 2; ++id)
        ASSERT_EQ(pmesh->DrawSubset(id), D3D_OK);
    const auto draws = IndexedDraws();
    ASSERT_EQ(draws.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_EQ(draws[i], "D3DPT_TRIANGLELIST, 0, " + std::to_string(table[i].VertexStart) + ", " +
                                std::to_string(table[i].VertexCount) + ", " + std::to_string(table[i].FaceStart * 3) +
                                ", " + std::to_string(table[i].FaceCount));

    // A clone holds the current level with its attributes.
    ID3DXMesh* clone = nullptr;
    ASSERT_EQ(pmesh->CloneMeshFVF(D3DXMESH_MANAGED | D3DXMESH_32BIT, pmesh->GetFVF(), device, &clone), D3D_OK);
    EXPECT_EQ(clone->GetNumFaces(), pmesh->GetNumFaces());
    EXPECT_EQ(clone->GetNumVertices(), pmesh->GetNumVertices());
    const auto attributes = MeshAttributes(clone);
    EXPECT_EQ(std::count(attributes.begin(), attributes.end(), 0u), static_cast<long>(table[0].FaceCount));
    EXPECT_EQ(MeshIndices(clone), MeshIndices(pmesh));
    clone->Release();
}

TEST_F(D3DXPMeshTest, TheMinimumIsNeverUndercut)
{
    const struct {
        DWORD minValue;
        DWORD options;
    } cases[] = {{10, D3DXMESHSIMP_FACE}, {300, D3DXMESHSIMP_FACE}, {799, D3DXMESHSIMP_FACE},
                 {100, D3DXMESHSIMP_VERTEX}, {5000, D3DXMESHSIMP_FACE}};
    for (const auto& c : cases) {
        Generate(20, c.minValue, c.options);
        const DWORD measure = c.options == D3DXMESHSIMP_FACE ? pmesh->GetMinFaces() : pmesh->GetMinVertices();
        EXPECT_GE(measure, std::min<DWORD>(c.minValue, c.options == D3DXMESHSIMP_FACE ? 800 : 441))
            << "minimum " << c.minValue;
        ASSERT_EQ(pmesh->SetNumFaces(0), D3D_OK);
        ExpectConsistentLevel();
        pmesh->Release();
        pmesh = nullptr;
        loaded = std::make_unique<LoadedMesh>();
    }
}

TEST_F(D3DXPMeshTest, BadArgumentsAreInvalidCalls)
{
    LoadMesh(*loaded, device, GridFile(4));
    ASSERT_EQ(loaded->hr, D3D_OK);
    const DWORD* adjacency = loaded->Adjacency();
    std::vector<DWORD> badAdjacency(adjacency, adjacency + loaded->mesh->GetNumFaces() * 3);
    badAdjacency[5] = 1000;
    D3DXATTRIBUTEWEIGHTS weights{};
    weights.Normal = -1;
    const struct {
        const char* name;
        ID3DXMesh* mesh;
        const DWORD* adjacency;
        const D3DXATTRIBUTEWEIGHTS* weights;
        DWORD options;
    } cases[] = {
        {"no mesh", nullptr, adjacency, nullptr, D3DXMESHSIMP_FACE},
        {"no adjacency", loaded->mesh, nullptr, nullptr, D3DXMESHSIMP_FACE},
        {"adjacency beyond the faces", loaded->mesh, badAdjacency.data(), nullptr, D3DXMESHSIMP_FACE},
        {"negative weight", loaded->mesh, adjacency, &weights, D3DXMESHSIMP_FACE},
        {"both counts", loaded->mesh, adjacency, nullptr, D3DXMESHSIMP_FACE | D3DXMESHSIMP_VERTEX},
        {"no count", loaded->mesh, adjacency, nullptr, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(D3DXGeneratePMesh(c.mesh, c.adjacency, c.weights, nullptr, 10, c.options, &pmesh),
                  D3DERR_INVALIDCALL)
            << c.name;
        EXPECT_EQ(pmesh, nullptr) << c.name;
    }
    std::vector<float> vertexWeightsAll(loaded->mesh->GetNumVertices(), 1.0f);
    vertexWeightsAll[2] = NAN;
    EXPECT_EQ(D3DXGeneratePMesh(loaded->mesh, adjacency, nullptr, vertexWeightsAll.data(), 10, D3DXMESHSIMP_FACE,
                                &pmesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXGeneratePMesh(loaded->mesh, adjacency, nullptr, nullptr, 10, D3DXMESHSIMP_FACE, nullptr),
              D3DERR_INVALIDCALL);
}

} // namespace

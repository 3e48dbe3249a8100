// Baking ambient occlusion into the vertices of a mesh of the show's size (a sphere resting on a
// ground, about 5,000 faces): every triangle tested for every ray against the bounding-volume
// hierarchy that gives the same bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "DXMesh/AmbientOcclusionBake.h"
#include "common/meshgen/PlaneShapes.h"
#include "common/meshgen/SphereShapes.h"
#include "crt/CRand.h"

namespace {

struct BakeMesh {
    std::vector<D3DXVECTOR3> positions, normals;
    std::vector<std::uint32_t> indices;

    void Append(const meshgen::MeshBuilder& mesh, float lift)
    {
        const auto base = static_cast<std::uint32_t>(positions.size());
        for (const meshgen::MeshVertex& v : mesh.Vertices()) {
            positions.emplace_back(static_cast<float>(v.position.x), static_cast<float>(v.position.y) + lift,
                                   static_cast<float>(v.position.z));
            normals.emplace_back(static_cast<float>(v.normal.x), static_cast<float>(v.normal.y),
                                 static_cast<float>(v.normal.z));
        }
        for (const auto& t : mesh.Triangles())
            indices.insert(indices.end(), {base + t[0], base + t[1], base + t[2]});
    }
};

const BakeMesh& ShowSizedMesh()
{
    static const BakeMesh mesh = [] {
        BakeMesh built;
        meshgen::GroundOptions ground;
        ground.size = {8.0, 8.0};
        ground.segments = 40; // 3,200 faces
        built.Append(meshgen::BuildGround(ground), 0.0f);
        meshgen::SphereOptions sphere;
        sphere.segments = 48;
        sphere.rings = 24; // 2,208 faces
        built.Append(meshgen::BuildSphere(sphere), 1.0f);
        return built;
    }();
    return mesh;
}

// The brute force's colours, once it has run: the hierarchy's must be the same bytes.
std::vector<D3DCOLOR>& BruteForceColours()
{
    static std::vector<D3DCOLOR> colours;
    return colours;
}

void Bake(benchmark::State& state, AmbientOcclusionSearch search)
{
    const BakeMesh& mesh = ShowSizedMesh();
    std::vector<D3DCOLOR> colours;
    for (auto _ : state) {
        crt::srand(1);
        colours = BakeAmbientOcclusion(mesh.positions.data(), mesh.normals.data(), mesh.positions.size(),
                                       mesh.indices.data(), mesh.indices.size() / 3, search);
        benchmark::DoNotOptimize(colours.data());
    }
    if (search == AmbientOcclusionSearch::EveryFace)
        BruteForceColours() = colours;
    else if (!BruteForceColours().empty() && colours != BruteForceColours())
        state.SkipWithError("the hierarchy's colours differ from the brute force's");
    state.counters["faces"] = static_cast<double>(mesh.indices.size() / 3);
    state.counters["vertices"] = static_cast<double>(mesh.positions.size());
}

void BM_AmbientOcclusionBakeEveryFace(benchmark::State& state) { Bake(state, AmbientOcclusionSearch::EveryFace); }
void BM_AmbientOcclusionBakeBvh(benchmark::State& state) { Bake(state, AmbientOcclusionSearch::Bvh); }

// The brute force takes seconds per bake: once is enough to compare.
BENCHMARK(BM_AmbientOcclusionBakeEveryFace)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_AmbientOcclusionBakeBvh)->Unit(benchmark::kMillisecond);

} // namespace

#include "d3dx9/mesh/D3DXPMeshLevels.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cfloat>
#include <map>
#include <numeric>

namespace {

struct Subset {
    DWORD id = 0;
    std::vector<std::uint32_t> indices;
    bool stuck = false;  // simplification could not reach its last target
};

std::size_t FaceCount(const std::vector<Subset>& subsets)
{
    std::size_t faces = 0;
    for (const Subset& s : subsets)
        faces += s.indices.size() / 3;
    return faces;
}

std::size_t VertexCount(const std::vector<Subset>& subsets, std::vector<bool>& used)
{
    std::fill(used.begin(), used.end(), false);
    std::size_t count = 0;
    for (const Subset& s : subsets)
        for (std::uint32_t index : s.indices)
            if (!used[index]) {
                used[index] = true;
                ++count;
            }
    return count;
}

D3DXPMeshLevel LevelOf(const std::vector<Subset>& subsets)
{
    D3DXPMeshLevel level;
    for (const Subset& s : subsets)
        level.indices.insert(level.indices.end(), s.indices.begin(), s.indices.end());
    level.numFaces = static_cast<DWORD>(level.indices.size() / 3);
    return level;
}

// One step: removes `reduction` faces, shared among the subsets that can still lose faces in
// proportion to their size. Subsets that cannot reach their share are marked stuck.
void Simplify(std::vector<Subset>& subsets, std::size_t reduction, const std::vector<float>& positions,
              std::size_t vertexCount)
{
    std::size_t movable = 0;
    std::size_t largest = subsets.size();
    for (std::size_t i = 0; i < subsets.size(); ++i)
        if (!subsets[i].stuck) {
            movable += subsets[i].indices.size() / 3;
            if (largest == subsets.size() || subsets[i].indices.size() > subsets[largest].indices.size())
                largest = i;
        }
    if (movable == 0)
        return;
    std::vector<std::size_t> shares(subsets.size(), 0);
    std::size_t shared = 0;
    for (std::size_t i = 0; i < subsets.size(); ++i)
        if (!subsets[i].stuck) {
            shares[i] = reduction * (subsets[i].indices.size() / 3) / movable;
            shared += shares[i];
        }
    if (shared == 0)
        shares[largest] = std::min(reduction, subsets[largest].indices.size() / 3);
    std::vector<std::uint32_t> result;
    for (std::size_t i = 0; i < subsets.size(); ++i) {
        if (shares[i] == 0)
            continue;
        Subset& s = subsets[i];
        const std::size_t target = (s.indices.size() / 3 - shares[i]) * 3;
        result.resize(s.indices.size());
        const std::size_t count = meshopt_simplify(result.data(), s.indices.data(), s.indices.size(), positions.data(),
                                                   vertexCount, sizeof(float) * 3, target, FLT_MAX,
                                                   meshopt_SimplifyLockBorder, nullptr);
        if (count > target)
            s.stuck = true;
        if (count < s.indices.size())
            s.indices.assign(result.begin(), result.begin() + static_cast<std::ptrdiff_t>(count));
    }
}

} // namespace

D3DXPMeshPlan D3DXPlanProgressiveMesh(const D3DXMeshContent& content, DWORD minValue, bool countVertices)
{
    const std::size_t vertexCount = content.numVertices;
    std::vector<float> positions;
    positions.reserve(vertexCount * 3);
    for (const auto& p : content.Positions())
        positions.insert(positions.end(), p.begin(), p.end());

    std::map<DWORD, Subset> byId;
    for (std::size_t f = 0; f < content.attributes.size(); ++f) {
        Subset& s = byId[content.attributes[f]];
        s.id = content.attributes[f];
        s.indices.insert(s.indices.end(), &content.indices[f * 3], &content.indices[f * 3] + 3);
    }
    std::vector<Subset> subsets;
    for (auto& entry : byId)
        subsets.push_back(std::move(entry.second));

    std::vector<std::vector<Subset>> steps{subsets};
    std::vector<bool> used(vertexCount);
    for (;;) {
        const std::size_t faces = FaceCount(subsets);
        const std::size_t measure = countVertices ? VertexCount(subsets, used) : faces;
        if (measure <= minValue)
            break;
        std::size_t goal = faces - std::max<std::size_t>(1, faces / 8);
        if (!countVertices)
            goal = std::max<std::size_t>(goal, minValue);
        std::vector<Subset> next = subsets;
        Simplify(next, faces - goal, positions, vertexCount);
        const std::size_t reached = FaceCount(next);
        const bool anyMovable = std::any_of(next.begin(), next.end(), [](const Subset& s) { return !s.stuck; });
        if (reached == faces) {
            subsets = std::move(next);  // keeps the stuck marks
            if (!anyMovable)
                break;
            continue;
        }
        const std::size_t nextMeasure = countVertices ? VertexCount(next, used) : reached;
        if (nextMeasure < minValue)
            break;
        subsets = std::move(next);
        steps.push_back(subsets);
    }

    // The step after which each vertex is no longer used; vertices that last longest come first.
    D3DXPMeshPlan plan;
    std::vector<int> lastStep(vertexCount, -1);
    for (std::size_t k = 0; k < steps.size(); ++k)
        for (const Subset& s : steps[k])
            for (std::uint32_t index : s.indices)
                lastStep[index] = static_cast<int>(k);
    std::vector<std::uint32_t> order(vertexCount);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return lastStep[a] > lastStep[b]; });
    std::vector<std::uint32_t> newIndex(vertexCount);
    plan.vertices.resize(content.vertices.size());
    for (std::size_t i = 0; i < vertexCount; ++i) {
        newIndex[order[i]] = static_cast<std::uint32_t>(i);
        std::copy_n(&content.vertices[order[i] * content.stride], content.stride, &plan.vertices[i * content.stride]);
    }

    for (std::size_t k = 0; k < steps.size(); ++k) {
        for (Subset& s : steps[k])
            for (std::uint32_t& index : s.indices)
                index = newIndex[index];
        D3DXPMeshLevel level = LevelOf(steps[k]);
        level.numVertices = k == 0 ? content.numVertices
                                   : static_cast<DWORD>(std::count_if(lastStep.begin(), lastStep.end(),
                                                                      [&](int last) { return last >= int(k); }));
        DWORD faceStart = 0;
        for (const Subset& s : steps[k]) {
            const auto faces = static_cast<DWORD>(s.indices.size() / 3);
            if (faces == 0)
                continue;
            const auto [low, high] = std::minmax_element(s.indices.begin(), s.indices.end());
            level.table.push_back({s.id, faceStart, faces, *low, *high - *low + 1});
            faceStart += faces;
        }
        plan.levels.push_back(std::move(level));
    }
    return plan;
}

#include "d3dx9/mesh/D3DXAdjacency.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

namespace {

constexpr DWORD kNone = 0xFFFFFFFF;

bool HasNaN(const std::array<float, 3>& p)
{
    return std::isnan(p[0]) || std::isnan(p[1]) || std::isnan(p[2]);
}

// A strict weak order on a coordinate, NaN after every number.
bool CoordinateLess(float a, float b)
{
    const bool nanA = std::isnan(a), nanB = std::isnan(b);
    if (nanA || nanB)
        return !nanA && nanB;
    return a < b;
}

std::uint32_t Find(std::vector<std::uint32_t>& parent, std::uint32_t i)
{
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

void Join(std::vector<std::uint32_t>& parent, std::uint32_t a, std::uint32_t b)
{
    a = Find(parent, a);
    b = Find(parent, b);
    // The smaller index stays the root, so a group's root is its smallest member.
    if (a < b)
        parent[b] = a;
    else if (b < a)
        parent[a] = b;
}

struct HalfEdge {
    std::uint32_t low;
    std::uint32_t high;
    bool forward;   // the face runs from low to high
    DWORD slot;     // face * 3 + edge
};

} // namespace

std::vector<std::uint32_t> D3DXWeldPositions(const std::vector<std::array<float, 3>>& positions, float epsilon)
{
    const auto count = static_cast<std::uint32_t>(positions.size());
    std::vector<std::uint32_t> parent(count);
    std::iota(parent.begin(), parent.end(), 0u);
    std::vector<std::uint32_t> order(parent);
    if (epsilon <= 0.0f) {
        const auto less = [&](std::uint32_t a, std::uint32_t b) {
            for (int c = 0; c < 3; ++c) {
                if (CoordinateLess(positions[a][c], positions[b][c]))
                    return true;
                if (CoordinateLess(positions[b][c], positions[a][c]))
                    return false;
            }
            return false;
        };
        std::sort(order.begin(), order.end(), less);
        for (std::uint32_t i = 1; i < count; ++i) {
            const auto& a = positions[order[i - 1]];
            const auto& b = positions[order[i]];
            if (!HasNaN(a) && a[0] == b[0] && a[1] == b[1] && a[2] == b[2])
                Join(parent, order[i - 1], order[i]);
        }
    } else {
        std::sort(order.begin(), order.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return CoordinateLess(positions[a][0], positions[b][0]); });
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto& a = positions[order[i]];
            if (HasNaN(a))
                continue;
            for (std::uint32_t j = i + 1; j < count; ++j) {
                const auto& b = positions[order[j]];
                if (HasNaN(b) || b[0] - a[0] > epsilon)
                    break;
                if (std::fabs(b[1] - a[1]) <= epsilon && std::fabs(b[2] - a[2]) <= epsilon)
                    Join(parent, order[i], order[j]);
            }
        }
    }
    for (std::uint32_t i = 0; i < count; ++i)
        parent[i] = Find(parent, i);
    return parent;
}

std::vector<DWORD> D3DXComputeAdjacency(const std::vector<std::uint32_t>& indices,
                                        const std::vector<std::uint32_t>& weld)
{
    const std::size_t faces = indices.size() / 3;
    std::vector<DWORD> adjacency(faces * 3, kNone);
    std::vector<HalfEdge> edges;
    edges.reserve(faces * 3);
    for (std::size_t f = 0; f < faces; ++f)
        for (std::size_t e = 0; e < 3; ++e) {
            const std::uint32_t a = weld[indices[f * 3 + e]];
            const std::uint32_t b = weld[indices[f * 3 + (e + 1) % 3]];
            if (a != b)
                edges.push_back({std::min(a, b), std::max(a, b), a < b, static_cast<DWORD>(f * 3 + e)});
        }
    std::sort(edges.begin(), edges.end(), [](const HalfEdge& x, const HalfEdge& y) {
        return std::tie(x.low, x.high, x.slot) < std::tie(y.low, y.high, y.slot);
    });
    const auto pair = [&](const HalfEdge& x, const HalfEdge& y) {
        const DWORD faceX = x.slot / 3, faceY = y.slot / 3;
        if (faceX == faceY)
            return false;
        adjacency[x.slot] = faceY;
        adjacency[y.slot] = faceX;
        return true;
    };
    std::vector<const HalfEdge*> forward, backward, left;
    for (std::size_t begin = 0; begin < edges.size();) {
        std::size_t end = begin + 1;
        while (end < edges.size() && edges[end].low == edges[begin].low && edges[end].high == edges[begin].high)
            ++end;
        // Edges met in opposite directions pair first (consistently wound neighbours), in face
        // order; the edges left over pair with each other in turn.
        forward.clear();
        backward.clear();
        left.clear();
        for (std::size_t i = begin; i < end; ++i)
            (edges[i].forward ? forward : backward).push_back(&edges[i]);
        std::size_t next = 0;
        for (const HalfEdge* x : forward) {
            if (next < backward.size() && pair(*x, *backward[next]))
                ++next;
            else
                left.push_back(x);
        }
        left.insert(left.end(), backward.begin() + static_cast<std::ptrdiff_t>(next), backward.end());
        std::sort(left.begin(), left.end(), [](const HalfEdge* x, const HalfEdge* y) { return x->slot < y->slot; });
        for (std::size_t i = 0; i + 1 < left.size();)
            i += pair(*left[i], *left[i + 1]) ? 2 : 1;
        begin = end;
    }
    return adjacency;
}

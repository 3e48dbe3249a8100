#include "DXMesh/AmbientOcclusionBake.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>

#include "DXFramework.h"

namespace {

constexpr int kRaysPerVertex = 256;
constexpr float kHitStep = 0.00390625f; // 1 / 256
constexpr float kMinFacing = 0.001f;
constexpr float kMinDistance = 0.00001f;
// A face whose unnormalised normal is shorter than this can never reach kMinFacing with a unit
// direction (|d| stays within a few ulps of 1), so no ray can hit it.
constexpr float kNeverFacing = 0.0009f;
constexpr std::size_t kLeafFaces = 4;
// Past this depth splits fall back to medians, which halve every time, so no tree of 32-bit face
// counts gets deeper than kSahDepth + 32, and the walk's stack holds kMaxDepth nodes.
constexpr int kSahDepth = 48;
constexpr int kMaxDepth = 96;

struct Vec {
    float x, y, z;
};

inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec operator*(Vec a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length(Vec a) { return std::sqrt(Dot(a, a)); }
inline Vec Normalised(Vec a)
{
    const float length = Length(a);
    return length > 0.0f ? a * (1.0f / length) : a;
}
inline Vec ToVec(const D3DXVECTOR3& v) { return {v.x, v.y, v.z}; }
inline float Axis(Vec v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// A triangle with what its test needs: corners, unnormalised normal N = (B - A) x (C - A) and
// its length (twice the area).
struct Face {
    Vec a, b, c, n;
    float area;
};

Face MakeFace(Vec a, Vec b, Vec c)
{
    const Vec n = Cross(b - a, c - a);
    return {a, b, c, n, Length(n)};
}

// The one ray-triangle test of the bake: the face must face along the ray (d . N >= 0.001), the
// plane must lie ahead (tau > 0.00001), and the point where the ray meets the plane must lie in
// the triangle: the three partial areas do not exceed the face's area.
inline bool Hits(const Face& f, Vec p, Vec d)
{
    const float k = Dot(d, f.n);
    if (!(k >= kMinFacing))
        return false;
    const float tau = Dot(f.a - p, f.n) / k;
    if (!(tau > kMinDistance))
        return false;
    const Vec q = p + d * tau;
    return f.area >= Length(Cross(q - f.a, f.b - f.a)) + Length(Cross(q - f.a, f.c - f.a)) +
                         Length(Cross(q - f.b, f.c - f.b));
}

struct Box {
    Vec low{FLT_MAX, FLT_MAX, FLT_MAX};
    Vec high{-FLT_MAX, -FLT_MAX, -FLT_MAX};

    void Grow(const Box& other)
    {
        low = {std::min(low.x, other.low.x), std::min(low.y, other.low.y), std::min(low.z, other.low.z)};
        high = {std::max(high.x, other.high.x), std::max(high.y, other.high.y), std::max(high.z, other.high.z)};
    }
};

// A ray prepared for slab tests. Axes along which the direction is (nearly) zero are tested by
// containment of the origin instead, so no 0 x infinity appears.
struct Ray {
    Vec origin;
    std::array<float, 3> inverse;
    std::array<bool, 3> flat;

    Ray(Vec p, Vec d) : origin(p)
    {
        for (int axis = 0; axis < 3; ++axis) {
            const float component = Axis(d, axis);
            flat[axis] = std::fabs(component) < 1e-20f;
            inverse[axis] = flat[axis] ? 0.0f : 1.0f / component;
        }
    }

    // True when the ray from its origin forward may pass through the box.
    bool MayEnter(const Box& box) const
    {
        float enter = 0.0f, leave = FLT_MAX;
        for (int axis = 0; axis < 3; ++axis) {
            const float o = Axis(origin, axis), lo = Axis(box.low, axis), hi = Axis(box.high, axis);
            if (flat[axis]) {
                if (o < lo || o > hi)
                    return false;
                continue;
            }
            float t0 = (lo - o) * inverse[axis];
            float t1 = (hi - o) * inverse[axis];
            if (t0 > t1)
                std::swap(t0, t1);
            enter = std::max(enter, t0);
            leave = std::min(leave, t1);
            if (enter > leave)
                return false;
        }
        return true;
    }
};

// Faces that some ray could hit, as a bounding-volume hierarchy. Each face's box is widened by a
// bound on where the test can still accept a point: the rounding of the hit point and of the
// area sum grows with the coordinates' size and, for slivers, with length^2 / area.
class FaceHierarchy {
public:
    FaceHierarchy(const std::vector<Face>& all, float magnitude)
    {
        std::vector<std::size_t> order;
        std::vector<Box> boxes;
        std::vector<Vec> centres;
        for (std::size_t i = 0; i < all.size(); ++i) {
            const Face& f = all[i];
            if (!(f.area >= kNeverFacing))
                continue;
            const float longest = std::max({Length(f.b - f.a), Length(f.c - f.a), Length(f.c - f.b)});
            const float margin =
                64.0f * FLT_EPSILON * (magnitude + longest) * (1.0f + longest * longest / f.area) + FLT_MIN;
            Box box;
            box.low = {std::min({f.a.x, f.b.x, f.c.x}) - margin, std::min({f.a.y, f.b.y, f.c.y}) - margin,
                       std::min({f.a.z, f.b.z, f.c.z}) - margin};
            box.high = {std::max({f.a.x, f.b.x, f.c.x}) + margin, std::max({f.a.y, f.b.y, f.c.y}) + margin,
                        std::max({f.a.z, f.b.z, f.c.z}) + margin};
            order.push_back(i);
            boxes.push_back(box);
            centres.push_back((box.low + box.high) * 0.5f);
        }
        std::vector<std::size_t> slots(order.size());
        for (std::size_t i = 0; i < slots.size(); ++i)
            slots[i] = i;
        if (!slots.empty()) {
            nodes_.emplace_back();
            Build(0, slots, 0, slots.size(), boxes, centres, 0);
        }
        faces_.reserve(slots.size());
        for (std::size_t slot : slots)
            faces_.push_back(all[order[slot]]);
    }

    bool AnyHit(Vec p, Vec d) const
    {
        if (nodes_.empty())
            return false;
        const Ray ray(p, d);
        std::array<std::uint32_t, kMaxDepth + 2> stack;
        std::size_t top = 0;
        stack[top++] = 0;
        while (top > 0) {
            const Node& node = nodes_[stack[--top]];
            if (!ray.MayEnter(node.box))
                continue;
            if (node.count > 0) {
                for (std::uint32_t i = node.first; i < node.first + node.count; ++i)
                    if (Hits(faces_[i], p, d))
                        return true;
                continue;
            }
            // The child nearer along the split axis is walked first: occluded rays end sooner.
            const bool lowFirst = Axis(d, node.axis) >= 0.0f;
            stack[top++] = lowFirst ? node.first + 1 : node.first;
            stack[top++] = lowFirst ? node.first : node.first + 1;
        }
        return false;
    }

private:
    // A leaf holds faces [first, first + count); an inner node (count 0) has its children at
    // first and first + 1.
    struct Node {
        Box box;
        std::uint32_t first = 0;
        std::uint32_t count = 0;
        int axis = 0; // the split axis of an inner node
    };

    static float HalfArea(const Box& box)
    {
        const Vec e = box.high - box.low;
        return e.x * e.y + e.y * e.z + e.z * e.x;
    }

    // Splits [begin, end) in two where the surface-area heuristic says (binned centres), or at the
    // median of the longest axis when that fails or the tree grows too deep; returns the middle.
    static std::size_t Split(std::vector<std::size_t>& slots, std::size_t begin, std::size_t end,
                             const std::vector<Box>& boxes, const std::vector<Vec>& centres, const Box& centreBounds,
                             int depth, int& axisOut)
    {
        constexpr int kBins = 16;
        const Vec extent = centreBounds.high - centreBounds.low;
        float bestCost = FLT_MAX;
        int bestAxis = -1, bestBin = 0;
        for (int axis = 0; axis < 3 && depth < kSahDepth; ++axis) {
            const float low = Axis(centreBounds.low, axis), size = Axis(extent, axis);
            if (!(size > 0.0f))
                continue;
            std::array<Box, kBins> bins;
            std::array<std::size_t, kBins> counts{};
            const auto binOf = [&](std::size_t slot) {
                return std::min(kBins - 1, static_cast<int>((Axis(centres[slot], axis) - low) / size * kBins));
            };
            for (std::size_t i = begin; i < end; ++i) {
                const int bin = binOf(slots[i]);
                bins[bin].Grow(boxes[slots[i]]);
                ++counts[bin];
            }
            std::array<float, kBins> rightCost{};
            Box right;
            std::size_t rightCount = 0;
            for (int bin = kBins - 1; bin > 0; --bin) {
                right.Grow(bins[bin]);
                rightCount += counts[bin];
                rightCost[bin] = rightCount ? HalfArea(right) * static_cast<float>(rightCount) : 0.0f;
            }
            Box left;
            std::size_t leftCount = 0;
            for (int bin = 0; bin + 1 < kBins; ++bin) {
                left.Grow(bins[bin]);
                leftCount += counts[bin];
                if (leftCount == 0 || leftCount == end - begin)
                    continue;
                const float cost = HalfArea(left) * static_cast<float>(leftCount) + rightCost[bin + 1];
                if (cost < bestCost) {
                    bestCost = cost;
                    bestAxis = axis;
                    bestBin = bin;
                }
            }
        }
        if (bestAxis >= 0) {
            const float low = Axis(centreBounds.low, bestAxis), size = Axis(extent, bestAxis);
            const auto middle = std::partition(slots.begin() + static_cast<std::ptrdiff_t>(begin),
                                               slots.begin() + static_cast<std::ptrdiff_t>(end), [&](std::size_t slot) {
                                                   return std::min(kBins - 1, static_cast<int>((Axis(centres[slot], bestAxis) - low) / size * kBins)) <= bestBin;
                                               });
            const auto split = static_cast<std::size_t>(middle - slots.begin());
            if (split > begin && split < end) {
                axisOut = bestAxis;
                return split;
            }
        }
        const int axis = extent.x >= extent.y && extent.x >= extent.z ? 0 : extent.y >= extent.z ? 1 : 2;
        const std::size_t middle = begin + (end - begin) / 2;
        std::nth_element(slots.begin() + static_cast<std::ptrdiff_t>(begin),
                         slots.begin() + static_cast<std::ptrdiff_t>(middle),
                         slots.begin() + static_cast<std::ptrdiff_t>(end), [&](std::size_t l, std::size_t r) {
                             return Axis(centres[l], axis) < Axis(centres[r], axis);
                         });
        axisOut = axis;
        return middle;
    }

    void Build(std::uint32_t index, std::vector<std::size_t>& slots, std::size_t begin, std::size_t end,
               const std::vector<Box>& boxes, const std::vector<Vec>& centres, int depth)
    {
        Box bounds, centreBounds;
        for (std::size_t i = begin; i < end; ++i) {
            bounds.Grow(boxes[slots[i]]);
            centreBounds.Grow(Box{centres[slots[i]], centres[slots[i]]});
        }
        nodes_[index].box = bounds;
        const Vec extent = centreBounds.high - centreBounds.low;
        if (end - begin <= kLeafFaces || std::max({extent.x, extent.y, extent.z}) <= 0.0f) {
            nodes_[index].first = static_cast<std::uint32_t>(begin);
            nodes_[index].count = static_cast<std::uint32_t>(end - begin);
            return;
        }
        const std::size_t middle = Split(slots, begin, end, boxes, centres, centreBounds, depth, nodes_[index].axis);
        // Children sit side by side; a walk's stack never holds more than depth + 1 nodes.
        const auto children = static_cast<std::uint32_t>(nodes_.size());
        nodes_.emplace_back();
        nodes_.emplace_back();
        nodes_[index].first = children;
        Build(children, slots, begin, middle, boxes, centres, depth + 1);
        Build(children + 1, slots, middle, end, boxes, centres, depth + 1);
    }

    std::vector<Node> nodes_;
    std::vector<Face> faces_;
};

} // namespace

std::vector<D3DCOLOR> BakeAmbientOcclusion(const D3DXVECTOR3* positions, const D3DXVECTOR3* normals,
                                           std::size_t vertexCount, const std::uint32_t* indices,
                                           std::size_t faceCount, AmbientOcclusionSearch search)
{
    std::vector<Face> faces;
    faces.reserve(faceCount);
    for (std::size_t f = 0; f < faceCount; ++f)
        faces.push_back(MakeFace(ToVec(positions[indices[3 * f]]), ToVec(positions[indices[3 * f + 1]]),
                                 ToVec(positions[indices[3 * f + 2]])));
    float magnitude = 0.0f;
    for (std::size_t v = 0; v < vertexCount; ++v)
        magnitude = std::max({magnitude, std::fabs(positions[v].x), std::fabs(positions[v].y),
                              std::fabs(positions[v].z)});
    const FaceHierarchy hierarchy(search == AmbientOcclusionSearch::Bvh ? faces : std::vector<Face>{}, magnitude);
    const auto anyHit = [&](Vec p, Vec d) {
        if (search == AmbientOcclusionSearch::Bvh)
            return hierarchy.AnyHit(p, d);
        for (const Face& face : faces)
            if (Hits(face, p, d))
                return true;
        return false;
    };

    const float twoPi = static_cast<float>(2.0 * 3.14159265358979323846);
    std::vector<D3DCOLOR> colours(vertexCount);
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const Vec p = ToVec(positions[v]);
        const Vec n = Normalised(ToVec(normals[v]));
        Vec t = p + Vec{1.0f, -1.0f, 4.0f};
        t = t - n * Dot(n, t);
        t = Normalised(t);
        const Vec b = Cross(n, t);
        float ao = 1.0f;
        for (int ray = 0; ray < kRaysPerVertex; ++ray) {
            const float u = RandomRange(0.0f, 1.0f);
            const float phi = RandomRange(0.0f, twoPi);
            const float s = std::sqrt(1.0f - u * u);
            const Vec d = t * (std::cos(phi) * s) + b * (std::sin(phi) * s) + n * u;
            if (anyHit(p, d))
                ao -= kHitStep;
        }
        const auto c = static_cast<D3DCOLOR>(static_cast<int>(ao * 255.0f));
        colours[v] = c << 24 | c << 16 | c << 8 | c;
    }
    return colours;
}

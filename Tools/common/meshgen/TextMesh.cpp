#include "common/meshgen/TextMesh.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <vector>

#include "common/meshgen/OutlineTessellator.h"
#include "common/meshgen/ShapeChecks.h"
#include "common/meshgen/TextOutline.h"

namespace meshgen {

namespace {

// A miter longer than this many bevel widths is cut short at very sharp corners.
constexpr double kMiterLimit = 3.0;

std::string GlyphName(char32_t c)
{
    char text[48];
    if (c >= 0x21 && c < 0x7F)
        std::snprintf(text, sizeof text, "'%c'", static_cast<char>(c));
    else
        std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

std::size_t Next(std::size_t i, std::size_t n) { return (i + 1) % n; }
std::size_t Prev(std::size_t i, std::size_t n) { return (i + n - 1) % n; }

// The outward direction of each edge k (corner k to k + 1): to its left, away from the fill.
std::vector<Vec2> EdgeNormals(const Contour& contour)
{
    std::vector<Vec2> normals;
    for (std::size_t k = 0; k < contour.size(); ++k) {
        const Vec2 d = Normalize(contour[Next(k, contour.size())] - contour[k]);
        normals.push_back({-d.y, d.x});
    }
    return normals;
}

// A ring of the wall: corners, and for each corner of the outline the ring corner it maps
// to. An inset ring may merge neighbouring corners where the inset closes up short edges.
struct Ring {
    Contour points;
    std::vector<std::size_t> of;
};

Ring PlainRing(const Contour& contour)
{
    Ring ring{contour, {}};
    for (std::size_t k = 0; k < contour.size(); ++k)
        ring.of.push_back(k);
    return ring;
}

// Where the offset lines of two outline edges meet (each moved `width` into the fill);
// `fallback` when they run (nearly) parallel.
Vec2 MiterPoint(Vec2 onFirst, Vec2 firstNormal, Vec2 onSecond, Vec2 secondNormal, double width, Vec2 fallback)
{
    const double det = Cross(firstNormal, secondNormal);
    if (std::fabs(det) < 1e-6)
        return fallback;
    const double c1 = Dot(firstNormal, onFirst) - width, c2 = Dot(secondNormal, onSecond) - width;
    return {(c1 * secondNormal.y - c2 * firstNormal.y) / det, (firstNormal.x * c2 - secondNormal.x * c1) / det};
}

// The contour moved `width` into the fill, each edge parallel to its original. Edges too
// short to survive the move close up: their corners merge into one.
Ring Inset(const Contour& contour, double width, const std::string& glyph)
{
    const std::size_t n = contour.size();
    const auto normals = EdgeNormals(contour);
    // Groups of consecutive outline corners that share one inset corner.
    std::vector<std::vector<std::size_t>> groups;
    std::vector<Vec2> points;
    for (std::size_t k = 0; k < n; ++k) {
        const Vec2 miter = Normalize(normals[Prev(k, n)] + normals[k]);
        const double along = std::max(Dot(miter, normals[k]), 1.0 / kMiterLimit);
        groups.push_back({k});
        points.push_back(contour[k] - miter * (width / along));
    }
    const auto tooWide = [&] {
        char text[160];
        std::snprintf(text, sizeof text, "--bevel %g is too wide for the outline of %s", width, glyph.c_str());
        return std::invalid_argument(text);
    };
    for (bool merged = true; merged;) {
        merged = false;
        for (std::size_t j = 0; j < groups.size() && groups.size() >= 3; ++j) {
            const std::size_t next = (j + 1) % groups.size();
            const std::size_t from = groups[j].back(), to = groups[next].front();
            if (Dot(points[next] - points[j], contour[to] - contour[from]) > 1e-9 * width * width)
                continue;
            // Merge the pair at the meeting point of the edges before and after it.
            std::vector<std::size_t> both = groups[j];
            both.insert(both.end(), groups[next].begin(), groups[next].end());
            const std::size_t first = both.front(), last = both.back();
            const Vec2 middle = (points[j] + points[next]) * 0.5;
            Vec2 meet = MiterPoint(contour[first], normals[Prev(first, n)], contour[last], normals[last], width, middle);
            if (Length(meet - middle) > kMiterLimit * width)
                meet = middle;
            groups[j] = both;
            points[j] = meet;
            groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(next));
            points.erase(points.begin() + static_cast<std::ptrdiff_t>(next));
            if (next < j) { // the pair wrapped around the end: the merged group is now first
                std::rotate(groups.begin(), groups.end() - 1, groups.end());
                std::rotate(points.begin(), points.end() - 1, points.end());
            }
            merged = true;
            break;
        }
        if (groups.size() < 3)
            throw tooWide();
    }
    Ring ring{points, std::vector<std::size_t>(n)};
    for (std::size_t g = 0; g < groups.size(); ++g)
        for (std::size_t k : groups[g])
            ring.of[k] = g;
    if (SignedArea2(ring.points) * SignedArea2(contour) <= 0.0)
        throw tooWide();
    return ring;
}

// One ring of every contour at a depth.
struct Loop {
    const std::vector<Ring>* rings;
    double z;
};

class GlyphExtruder {
public:
    GlyphExtruder(MeshBuilder& mesh, const TextMeshOptions& options, double minX, double width, double top,
                  double height)
        : mesh_(mesh), options_(options), minX_(minX), width_(width), top_(top), height_(height)
    {
    }

    void Extrude(const PlacedGlyph& glyph)
    {
        const std::string name = GlyphName(glyph.character);
        const double front = options_.depth * 0.5, back = -options_.depth * 0.5, bevel = options_.bevel;
        std::vector<Ring> outline, caps;
        for (const Contour& contour : glyph.contours) {
            outline.push_back(PlainRing(contour));
            caps.push_back(bevel > 0.0 ? Inset(contour, bevel, name) : outline.back());
        }
        std::vector<Contour> capContours;
        for (const Ring& ring : caps)
            capContours.push_back(ring.points);
        const auto triangles = TessellateContours(capContours, bevel > 0.0 ? "the bevelled " + name : name);
        AddCap(capContours, triangles, front, {0.0, 0.0, 1.0});
        AddCap(capContours, triangles, back, {0.0, 0.0, -1.0});

        std::vector<Loop> loops;
        loops.push_back({&caps, front});
        if (bevel > 0.0) {
            loops.push_back({&outline, front - bevel});
            loops.push_back({&outline, back + bevel});
        }
        loops.push_back({&caps, back});
        for (std::size_t c = 0; c < glyph.contours.size(); ++c) {
            const auto smooth = SmoothCorners(glyph.contours[c]);
            for (std::size_t l = 0; l + 1 < loops.size(); ++l)
                AddBand(glyph.contours[c], (*loops[l].rings)[c], loops[l].z, (*loops[l + 1].rings)[c], loops[l + 1].z,
                        smooth);
        }
    }

private:
    Vec2 CapUv(Vec2 p) const { return {(p.x - minX_) / width_, (top_ - p.y) / height_}; }

    void AddCap(const std::vector<Contour>& contours, const std::vector<std::array<std::uint32_t, 3>>& triangles,
                double z, Vec3 normal)
    {
        std::vector<std::uint32_t> ids;
        for (const Contour& contour : contours)
            for (const Vec2& p : contour)
                ids.push_back(mesh_.AddVertex({p.x, p.y, z}, normal, CapUv(p)));
        // The triangles run counter-clockwise seen from +Z: as they are for the front, reversed for the back.
        for (const auto& t : triangles) {
            if (normal.z > 0.0)
                mesh_.AddTriangle(ids[t[0]], ids[t[1]], ids[t[2]]);
            else
                mesh_.AddTriangle(ids[t[0]], ids[t[2]], ids[t[1]]);
        }
    }

    // Corners where the outline turns by less than the smoothing angle: the walls share a
    // normal there.
    std::vector<bool> SmoothCorners(const Contour& contour) const
    {
        const auto normals = EdgeNormals(contour);
        const double limit = std::cos(options_.smoothAngle * kPi / 180.0);
        std::vector<bool> smooth;
        for (std::size_t k = 0; k < contour.size(); ++k)
            smooth.push_back(Dot(normals[Prev(k, contour.size())], normals[k]) > limit);
        return smooth;
    }

    // The wall between two rings of one contour, `upper` nearer the front: a quad for each
    // outline edge, a triangle where one ring has merged the edge's corners.
    void AddBand(const Contour& outline, const Ring& upper, double zUpper, const Ring& lower, double zLower,
                 const std::vector<bool>& smooth)
    {
        const std::size_t n = outline.size();
        const auto at = [](const Ring& ring, std::size_t k, double z) {
            const Vec2 p = ring.points[ring.of[k]];
            return Vec3{p.x, p.y, z};
        };
        std::vector<Vec3> faces;
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t l = Next(k, n);
            faces.push_back(Normalize(PolygonNormal(
                {at(upper, k, zUpper), at(upper, l, zUpper), at(lower, l, zLower), at(lower, k, zLower)})));
        }
        const double vUpper = (options_.depth * 0.5 - zUpper) / options_.depth;
        const double vLower = (options_.depth * 0.5 - zLower) / options_.depth;
        double u = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t l = Next(k, n);
            const Vec3 start = smooth[k] ? Normalize(faces[Prev(k, n)] + faces[k]) : faces[k];
            const Vec3 end = smooth[l] ? Normalize(faces[k] + faces[l]) : faces[k];
            const double uNext = u + Length(outline[l] - outline[k]);
            const bool upperJoined = upper.of[k] == upper.of[l], lowerJoined = lower.of[k] == lower.of[l];
            const auto a = mesh_.AddVertex(at(upper, k, zUpper), start, {u, vUpper});
            const auto d = mesh_.AddVertex(at(lower, k, zLower), start, {u, vLower});
            if (upperJoined && !lowerJoined) {
                mesh_.AddTriangle(a, mesh_.AddVertex(at(lower, l, zLower), end, {uNext, vLower}), d);
            } else if (lowerJoined && !upperJoined) {
                mesh_.AddTriangle(a, mesh_.AddVertex(at(upper, l, zUpper), end, {uNext, vUpper}), d);
            } else if (!upperJoined) {
                const auto b = mesh_.AddVertex(at(upper, l, zUpper), end, {uNext, vUpper});
                const auto c = mesh_.AddVertex(at(lower, l, zLower), end, {uNext, vLower});
                mesh_.AddQuad(a, b, c, d);
            }
            u = uNext;
        }
    }

    MeshBuilder& mesh_;
    const TextMeshOptions& options_;
    double minX_, width_, top_, height_;
};

} // namespace

MeshBuilder BuildTextMesh(const std::string& utf8Text, const TextMeshOptions& options)
{
    RequireRange("--depth", options.depth, 1e-3, 100.0);
    RequireRange("--bevel", options.bevel, 0.0, 100.0);
    if (options.bevel * 2.0 >= options.depth)
        throw std::invalid_argument("--bevel must be less than half of --depth");
    RequireCount("--curve-steps", options.curveSteps, 1, 64);
    RequireRange("--smooth-angle", options.smoothAngle, 0.0, 180.0);

    TextOutline layout = LayOutText(options.font, utf8Text, options.curveSteps);
    double minX = std::numeric_limits<double>::max(), minY = minX;
    double maxX = -minX, maxY = -minX;
    for (const PlacedGlyph& glyph : layout.glyphs)
        for (const Contour& contour : glyph.contours)
            for (const Vec2& p : contour) {
                minX = std::min(minX, p.x);
                maxX = std::max(maxX, p.x);
                minY = std::min(minY, p.y);
                maxY = std::max(maxY, p.y);
            }
    // Capital height 1, the bounding box centred on the origin.
    const double scale = 1.0 / layout.capHeight;
    const Vec2 centre{(minX + maxX) * 0.5, (minY + maxY) * 0.5};
    for (PlacedGlyph& glyph : layout.glyphs)
        for (Contour& contour : glyph.contours)
            for (Vec2& p : contour)
                p = (p - centre) * scale;
    const double width = (maxX - minX) * scale, height = (maxY - minY) * scale;

    MeshBuilder mesh;
    GlyphExtruder extruder(mesh, options, -width * 0.5, width, height * 0.5, height);
    for (const PlacedGlyph& glyph : layout.glyphs)
        extruder.Extrude(glyph);
    return mesh;
}

} // namespace meshgen

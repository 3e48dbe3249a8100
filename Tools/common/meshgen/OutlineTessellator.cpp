#include "common/meshgen/OutlineTessellator.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

namespace meshgen {

namespace {

// What the tessellator hands back while it runs.
struct TessState {
    std::vector<std::uint32_t> corners; // every three make a triangle
    bool crossed = false;
    GLenum error = 0;
};

void GLAPIENTRY OnBegin(GLenum, void*) {}
void GLAPIENTRY OnEdgeFlag(GLboolean, void*) {} // asks for separate triangles only
void GLAPIENTRY OnVertex(void* vertex, void* state)
{
    static_cast<TessState*>(state)->corners.push_back(
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(vertex) - 1));
}
void GLAPIENTRY OnEnd(void*) {}
void GLAPIENTRY OnCombine(GLdouble[3], void* [4], GLfloat[4], void** out, void* state)
{
    static_cast<TessState*>(state)->crossed = true;
    *out = nullptr;
}
void GLAPIENTRY OnError(GLenum error, void* state) { static_cast<TessState*>(state)->error = error; }

double Area2(const std::vector<Vec2>& points, const std::array<std::uint32_t, 3>& t)
{
    return Cross(points[t[1]] - points[t[0]], points[t[2]] - points[t[0]]);
}

// True when the triangle has no area to speak of: its corners lie on one line.
bool IsSliver(const std::vector<Vec2>& points, const std::array<std::uint32_t, 3>& t)
{
    double longest = 0.0;
    for (int k = 0; k < 3; ++k)
        longest = std::max(longest, Length(points[t[static_cast<std::size_t>((k + 1) % 3)]] - points[t[static_cast<std::size_t>(k)]]));
    return std::fabs(Area2(points, t)) <= 1e-9 * longest * longest;
}

// The tessellator may join corners of different contours that lie on one line into a
// triangle without area. Each such sliver (a, b, c) with b between a and c is removed by
// flipping its long edge with the triangle across it, (a, c, d): they become (a, b, d) and
// (b, c, d), which share the same outer edges, so the fill stays closed.
void RemoveSlivers(const std::vector<Vec2>& points, std::vector<std::array<std::uint32_t, 3>>& triangles,
                   const std::string& what)
{
    for (std::size_t round = 0; round <= triangles.size() * 4; ++round) {
        std::size_t sliver = triangles.size();
        for (std::size_t i = 0; i < triangles.size() && sliver == triangles.size(); ++i)
            if (IsSliver(points, triangles[i]))
                sliver = i;
        if (sliver == triangles.size()) {
            for (const auto& t : triangles)
                if (Area2(points, t) <= 0.0)
                    throw std::runtime_error("orvala-tool: the fill of " + what + " came out inconsistently wound");
            return;
        }
        // Turn the sliver so that its middle corner comes second: the long edge runs c to a.
        auto t = triangles[sliver];
        for (int turn = 0; turn < 3; ++turn) {
            const double along = Length(points[t[2]] - points[t[0]]);
            if (along >= Length(points[t[1]] - points[t[0]]) && along >= Length(points[t[2]] - points[t[1]]))
                break;
            t = {t[1], t[2], t[0]};
        }
        const std::uint32_t a = t[0], b = t[1], c = t[2];
        std::size_t across = triangles.size();
        std::uint32_t d = 0;
        for (std::size_t j = 0; j < triangles.size() && across == triangles.size(); ++j)
            for (int k = 0; k < 3 && j != sliver; ++k)
                if (triangles[j][static_cast<std::size_t>(k)] == a && triangles[j][static_cast<std::size_t>((k + 1) % 3)] == c) {
                    across = j;
                    d = triangles[j][static_cast<std::size_t>((k + 2) % 3)];
                    break;
                }
        if (across == triangles.size())
            throw std::invalid_argument("the outline of " + what + " has a corner lying on another edge");
        triangles[sliver] = {a, b, d};
        triangles[across] = {b, c, d};
    }
    throw std::runtime_error("orvala-tool: the fill of " + what + " keeps triangles without area");
}

struct TessDeleter {
    void operator()(GLUtesselator* tess) const { gluDeleteTess(tess); }
};

} // namespace

std::vector<std::array<std::uint32_t, 3>> TessellateContours(const std::vector<Contour>& contours,
                                                              const std::string& what)
{
    std::unique_ptr<GLUtesselator, TessDeleter> tess(gluNewTess());
    if (!tess)
        throw std::runtime_error("orvala-tool: the GLU tessellator did not start");
    GLUtesselator* t = tess.get();
    gluTessCallback(t, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(&OnBegin));
    gluTessCallback(t, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(&OnEdgeFlag));
    gluTessCallback(t, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(&OnVertex));
    gluTessCallback(t, GLU_TESS_END_DATA, reinterpret_cast<_GLUfuncptr>(&OnEnd));
    gluTessCallback(t, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(&OnCombine));
    gluTessCallback(t, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(&OnError));
    gluTessProperty(t, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(t, 0.0, 0.0, 1.0);

    // The tessellator keeps pointers to the coordinates until the polygon ends. Each corner's
    // data is its index plus one, so that no corner passes a null pointer.
    std::vector<std::array<GLdouble, 3>> coordinates;
    std::vector<Vec2> points;
    for (const Contour& contour : contours)
        for (const Vec2& p : contour) {
            coordinates.push_back({p.x, p.y, 0.0});
            points.push_back(p);
        }
    TessState state;
    gluTessBeginPolygon(t, &state);
    std::size_t index = 0;
    for (const Contour& contour : contours) {
        gluTessBeginContour(t);
        for (std::size_t k = 0; k < contour.size(); ++k, ++index)
            gluTessVertex(t, coordinates[index].data(), reinterpret_cast<void*>(static_cast<std::uintptr_t>(index) + 1));
        gluTessEndContour(t);
    }
    gluTessEndPolygon(t);

    if (state.crossed)
        throw std::invalid_argument("the outline of " + what + " crosses or touches itself");
    if (state.error != 0 || state.corners.size() % 3 != 0)
        throw std::runtime_error("orvala-tool: the GLU tessellator failed on " + what + ": " +
                                 reinterpret_cast<const char*>(gluErrorString(state.error)));
    std::vector<std::array<std::uint32_t, 3>> triangles;
    double total = 0.0;
    for (std::size_t i = 0; i < state.corners.size(); i += 3) {
        triangles.push_back({state.corners[i], state.corners[i + 1], state.corners[i + 2]});
        total += Area2(points, triangles.back());
    }
    // The tessellator winds its output one way for the whole fill; make it counter-clockwise.
    if (total < 0.0)
        for (auto& t : triangles)
            std::swap(t[1], t[2]);
    RemoveSlivers(points, triangles, what);
    return triangles;
}

} // namespace meshgen

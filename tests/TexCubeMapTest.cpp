#include <gtest/gtest.h>

#include <array>
#include <vector>
#include <cmath>

#include "common/texgen/TexCubeMap.h"
#include "common/texgen/TexEnvironments.h"

namespace {

using Direction = std::array<float, 3>;

void ExpectSameDirection(const Direction& a, const Direction& b)
{
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(a[i], b[i], 1e-6f) << "component " << i;
    }
}

TEST(TexCubeMapTest, FaceCentresLookAlongTheirAxesInFaceOrder)
{
    const Direction axes[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int face = 0; face < 6; ++face) {
        SCOPED_TRACE(face);
        ExpectSameDirection(TexCubeDirection(static_cast<TexCubeFace>(face), 0.5f, 0.5f), axes[face]);
    }
}

// A point on one face's edge and the same point on the neighbouring face's edge.
struct SharedEdge {
    const char* name;
    TexCubeFace a;
    bool aVertical; // the edge runs down (u fixed) rather than across (v fixed)
    float aFixed;
    bool aReversed;
    TexCubeFace b;
    bool bVertical;
    float bFixed;
    bool bReversed;
};

TEST(TexCubeMapTest, NeighbouringFacesMeetAlongTheirEdges)
{
    using F = TexCubeFace;
    const SharedEdge edges[] = {
        {"+X right, -Z left", F::PositiveX, true, 1, false, F::NegativeZ, true, 0, false},
        {"+Z right, +X left", F::PositiveZ, true, 1, false, F::PositiveX, true, 0, false},
        {"-X right, +Z left", F::NegativeX, true, 1, false, F::PositiveZ, true, 0, false},
        {"-Z right, -X left", F::NegativeZ, true, 1, false, F::NegativeX, true, 0, false},
        {"+Z top, +Y bottom", F::PositiveZ, false, 0, false, F::PositiveY, false, 1, false},
        {"+Z bottom, -Y top", F::PositiveZ, false, 1, false, F::NegativeY, false, 0, false},
        {"+Y top, -Z top", F::PositiveY, false, 0, false, F::NegativeZ, false, 0, true},
        {"+X top, +Y right", F::PositiveX, false, 0, false, F::PositiveY, true, 1, true},
    };
    for (const SharedEdge& e : edges) {
        SCOPED_TRACE(e.name);
        for (float t : {0.1f, 0.5f, 0.8f}) {
            float ta = e.aReversed ? 1 - t : t;
            float tb = e.bReversed ? 1 - t : t;
            Direction a = e.aVertical ? TexCubeDirection(e.a, e.aFixed, ta) : TexCubeDirection(e.a, ta, e.aFixed);
            Direction b = e.bVertical ? TexCubeDirection(e.b, e.bFixed, tb) : TexCubeDirection(e.b, tb, e.bFixed);
            ExpectSameDirection(a, b);
        }
    }
}

TEST(TexCubeMapTest, FacesAverageTheirSamples)
{
    // An environment lit only where x > 0.9: the +X face centre is lit, its corners are not, and
    // a texel straddling the boundary is partly lit when sampled more than once.
    TexEnvironment spot = [](float x, float, float) { return x > 0.9f ? TexColor{1, 1, 1, 1} : TexColor{0, 0, 0, 1}; };
    std::vector<TexImage> one = MakeTexCubeFaces(8, spot, 1);
    ASSERT_EQ(one.size(), 6u);
    EXPECT_EQ(one[0].At(4, 4)[0], 1.0f);
    EXPECT_EQ(one[0].At(0, 0)[0], 0.0f);
    EXPECT_EQ(one[1].At(4, 4)[0], 0.0f);
    std::vector<TexImage> many = MakeTexCubeFaces(8, spot, 4);
    int partial = 0;
    for (unsigned x = 0; x < 8; ++x) {
        float v = many[0].At(x, 4)[0];
        partial += (v > 0.0f && v < 1.0f) ? 1 : 0;
    }
    EXPECT_GE(partial, 1);
}

TEST(TexCubeMapTest, GridLinesFollowLatitudeAndLongitude)
{
    TexEnvironment grid = TexGridEnvironment({0, 0, 0, 1}, {1, 1, 1, 1}, 30.0f, 2.0f);
    const float pi = 3.14159265f;
    auto at = [&grid, pi](float latitude, float longitude) {
        float la = latitude * pi / 180, lo = longitude * pi / 180;
        return grid(std::cos(la) * std::sin(lo), std::sin(la), std::cos(la) * std::cos(lo)).r;
    };
    EXPECT_EQ(at(0.5f, 15.0f), 1.0f);  // the equator
    EXPECT_EQ(at(60.3f, 15.0f), 1.0f); // a parallel
    EXPECT_EQ(at(15.0f, 90.5f), 1.0f); // a meridian
    EXPECT_EQ(at(15.0f, 15.0f), 0.0f); // inside a cell
    EXPECT_EQ(at(-45.0f, -75.0f), 0.0f);
}

} // namespace

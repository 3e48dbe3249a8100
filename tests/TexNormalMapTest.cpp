#include <gtest/gtest.h>

#include <vector>

#include "common/texgen/TexNormalMap.h"

namespace {

// 8 x 8 heights from a function of the column and row.
template <typename F>
std::vector<float> Heights(F height)
{
    std::vector<float> heights;
    for (unsigned y = 0; y < 8; ++y) {
        for (unsigned x = 0; x < 8; ++x) {
            heights.push_back(height(x, y));
        }
    }
    return heights;
}

struct SlopeCase {
    const char* name;
    std::vector<float> heights;
    bool redBelowHalf, redAboveHalf, greenBelowHalf, greenAboveHalf;
};

TEST(TexNormalMapTest, NormalsLeanAwayFromRisingGround)
{
    const SlopeCase cases[] = {
        {"rising to the right", Heights([](unsigned x, unsigned) { return x / 8.0f; }), true, false, false, false},
        {"rising to the left", Heights([](unsigned x, unsigned) { return 1 - x / 8.0f; }), false, true, false, false},
        {"rising downwards", Heights([](unsigned, unsigned y) { return y / 8.0f; }), false, false, true, false},
        {"flat", Heights([](unsigned, unsigned) { return 0.3f; }), false, false, false, false},
    };
    for (const SlopeCase& c : cases) {
        SCOPED_TRACE(c.name);
        TexImage normals = MakeTexNormalMap(c.heights, 8, 8, 0.1f, false);
        for (unsigned y = 0; y < 8; ++y) {
            for (unsigned x = 0; x < 8; ++x) {
                const float* n = normals.At(x, y);
                EXPECT_EQ(n[0] < 0.49f, c.redBelowHalf) << x << "," << y;
                EXPECT_EQ(n[0] > 0.51f, c.redAboveHalf) << x << "," << y;
                EXPECT_EQ(n[1] < 0.49f, c.greenBelowHalf) << x << "," << y;
                EXPECT_EQ(n[1] > 0.51f, c.greenAboveHalf) << x << "," << y;
                EXPECT_GT(n[2], 0.5f);
                EXPECT_FLOAT_EQ(n[3], c.heights[y * 8 + x]); // the height rides in alpha
                // A unit normal.
                float nx = 2 * n[0] - 1, ny = 2 * n[1] - 1, nz = 2 * n[2] - 1;
                EXPECT_NEAR(nx * nx + ny * ny + nz * nz, 1.0f, 1e-5f);
            }
        }
    }
}

TEST(TexNormalMapTest, EdgesWrapOnlyWhenAsked)
{
    // A ramp seen as a tile drops back at the seam, so the edge columns lean the other way.
    std::vector<float> ramp = Heights([](unsigned x, unsigned) { return x / 8.0f; });
    TexImage clamped = MakeTexNormalMap(ramp, 8, 8, 0.1f, false);
    TexImage wrapped = MakeTexNormalMap(ramp, 8, 8, 0.1f, true);
    EXPECT_FLOAT_EQ(clamped.At(0, 3)[0], clamped.At(4, 3)[0]);
    EXPECT_FLOAT_EQ(clamped.At(7, 3)[0], clamped.At(4, 3)[0]);
    EXPECT_GT(wrapped.At(0, 3)[0], 0.5f);
    EXPECT_GT(wrapped.At(7, 3)[0], 0.5f);
    EXPECT_FLOAT_EQ(wrapped.At(4, 3)[0], clamped.At(4, 3)[0]);
    // A stronger relief leans further.
    EXPECT_LT(MakeTexNormalMap(ramp, 8, 8, 0.5f, false).At(4, 3)[0], clamped.At(4, 3)[0]);
}

} // namespace

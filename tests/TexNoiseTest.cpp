#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/texgen/TexNoise.h"
#include "common/texgen/TexNoiseImage.h"

namespace {

const TexNoiseType kTypes[] = {TexNoiseType::Value, TexNoiseType::Perlin};

TEST(TexNoiseTest, PeriodsRepeatTheNoiseExactly)
{
    const TexNoise noise(11);
    TexFractalParams fractal;
    for (TexNoiseType type : kTypes) {
        fractal.type = type;
        for (double x : {0.3, 2.75, 4.9}) {
            for (double y : {0.1, 1.6}) {
                SCOPED_TRACE(x * 10 + y);
                EXPECT_NEAR(noise.Sample(type, x, y, 5, 3), noise.Sample(type, x + 5, y, 5, 3), 1e-5f);
                EXPECT_NEAR(noise.Sample(type, x, y, 5, 3), noise.Sample(type, x - 10, y + 3, 5, 3), 1e-5f);
                EXPECT_NEAR(noise.Fractal(fractal, x, y, 5, 3), noise.Fractal(fractal, x + 5, y - 3, 5, 3), 1e-5f);
            }
        }
        // Without a period the lattice does not repeat there.
        EXPECT_NE(noise.Sample(type, 0.3, 0.4, 0, 0), noise.Sample(type, 5.3, 0.4, 0, 0));
    }
}

TEST(TexNoiseTest, NoiseIsSmoothBoundedAndFollowsItsSeed)
{
    const TexNoise noise(3);
    const TexNoise same(3);
    const TexNoise other(4);
    for (TexNoiseType type : kTypes) {
        SCOPED_TRACE(static_cast<int>(type));
        float lowest = 1, highest = -1;
        int differs = 0;
        for (int i = 0; i < 2000; ++i) {
            double x = i * 0.0373, y = i * 0.0191;
            float v = noise.Sample(type, x, y, 0, 0);
            ASSERT_GE(v, -1.0f);
            ASSERT_LE(v, 1.0f);
            ASSERT_EQ(v, same.Sample(type, x, y, 0, 0));
            differs += v != other.Sample(type, x, y, 0, 0) ? 1 : 0;
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
            // Continuous, also across lattice lines.
            ASSERT_NEAR(v, noise.Sample(type, x + 1e-4, y, 0, 0), 2e-3f);
        }
        EXPECT_GT(highest - lowest, 0.8f);
        EXPECT_GT(differs, 1900);
        EXPECT_NEAR(noise.Sample(type, 2.0 - 1e-7, 1.0, 0, 0), noise.Sample(type, 2.0, 1.0, 0, 0), 1e-5f);
    }
}

TEST(TexNoiseTest, TileableHeightFieldsWrapAtThePictureEdges)
{
    TexNoiseImageParams params;
    params.cells = 4;
    params.tileable = true;
    const unsigned width = 64, height = 32;
    std::vector<float> heights = MakeTexHeightField(width, height, params);
    // The field continued one texel past its right edge is its left column.
    TexNoise noise(params.seed);
    for (unsigned y = 0; y < height; y += 5) {
        double v = (y + 0.5) / height * 2.0; // two cells down a half-height picture
        float beyond = noise.Fractal(params.fractal, (width + 0.5) / width * 4.0, v, 4, 2);
        EXPECT_NEAR(std::clamp(0.5f + 0.5f * beyond, 0.0f, 1.0f), heights[y * width], 1e-5f) << y;
    }
    for (float h : heights) {
        ASSERT_GE(h, 0.0f);
        ASSERT_LE(h, 1.0f);
    }
    // Another channel is another noise.
    EXPECT_NE(MakeTexHeightField(width, height, params, 1), heights);
}

} // namespace

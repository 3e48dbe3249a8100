#include <gtest/gtest.h>

#include <vector>

#include "d3dx9/D3DXResample.h"

namespace {

// A single-row image whose red channel holds `values`, the other channels 0.
std::vector<float> Row(const std::vector<float>& values)
{
    std::vector<float> rgba;
    for (float v : values) {
        rgba.insert(rgba.end(), {v, 0.0f, 0.0f, 0.0f});
    }
    return rgba;
}

std::vector<float> Reds(const std::vector<float>& rgba)
{
    std::vector<float> reds;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        reds.push_back(rgba[i]);
    }
    return reds;
}

void ExpectNear(const std::vector<float>& got, const std::vector<float>& expected)
{
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i], expected[i], 1e-5f) << i;
    }
}

TEST(D3DXResampleTest, ShrinkingAveragesTheCoveredSpanWithPartialTexelsWeighted)
{
    // 5 to 2: each target texel covers 2.5 source texels.
    std::vector<float> out = D3DXResampleRgba(Row({0, 10, 20, 30, 40}), 5, 1, 2, 1, D3DXResampleKind::Smooth);
    ExpectNear(Reds(out), {(0 + 10 + 0.5f * 20) / 2.5f, (0.5f * 20 + 30 + 40) / 2.5f});
    // 4 to 2 is a plain pairwise average, and rows are averaged too.
    std::vector<float> square = Row({0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60});
    ExpectNear(Reds(D3DXResampleRgba(square, 4, 4, 2, 2, D3DXResampleKind::Smooth)), {10, 18, 42, 50});
}

TEST(D3DXResampleTest, EnlargingInterpolatesBetweenTexelCentresWithClampedEdges)
{
    std::vector<float> out = D3DXResampleRgba(Row({0, 40}), 2, 1, 4, 1, D3DXResampleKind::Smooth);
    ExpectNear(Reds(out), {0, 10, 30, 40});
}

TEST(D3DXResampleTest, PointPicksTheNearestTexel)
{
    ExpectNear(Reds(D3DXResampleRgba(Row({1, 2, 3}), 3, 1, 6, 1, D3DXResampleKind::Point)), {1, 1, 2, 2, 3, 3});
    ExpectNear(Reds(D3DXResampleRgba(Row({1, 2, 3, 4}), 4, 1, 2, 1, D3DXResampleKind::Point)), {2, 4});
}

TEST(D3DXResampleTest, NoneCopiesToTheTopLeftAndCuts)
{
    std::vector<float> grid = Row({1, 2, 3, 4, 5, 6}); // 3 x 2
    ExpectNear(Reds(D3DXResampleRgba(grid, 3, 2, 4, 3, D3DXResampleKind::None)), {1, 2, 3, 0, 4, 5, 6, 0, 0, 0, 0, 0});
    ExpectNear(Reds(D3DXResampleRgba(grid, 3, 2, 2, 1, D3DXResampleKind::None)), {1, 2});
}

} // namespace

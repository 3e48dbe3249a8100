#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "Noise/NoiseVolume.h"

namespace {

// One generated volume shared by the tests: it takes a few seconds to compute.
const std::vector<std::uint8_t>& Volume()
{
    static const std::vector<std::uint8_t> volume = [] {
        std::vector<std::uint8_t> texels(kNoiseVolumeBytes);
        GenerateNoiseVolume(texels.data(), kNoiseVolumeEdge, std::size_t{kNoiseVolumeEdge} * kNoiseVolumeEdge);
        return texels;
    }();
    return volume;
}

int Texel(int x, int y, int z)
{
    const int n = static_cast<int>(kNoiseVolumeEdge);
    x = (x % n + n) % n;
    y = (y % n + n) % n;
    z = (z % n + n) % n;
    return Volume()[(static_cast<std::size_t>(z) * kNoiseVolumeEdge + static_cast<std::size_t>(y)) * kNoiseVolumeEdge +
                    static_cast<std::size_t>(x)];
}

// Mean absolute difference between texels at `from` and `from + gap` along one axis, over the
// whole plane across that axis.
double MeanStep(int axis, int from, int gap)
{
    double total = 0;
    int count = 0;
    for (int a = 0; a < static_cast<int>(kNoiseVolumeEdge); a += 3) {
        for (int b = 0; b < static_cast<int>(kNoiseVolumeEdge); b += 3) {
            int p[3] = {a, b, 0};
            int q[3] = {a, b, 0};
            // Put the stepping axis where asked.
            int u[3], v[3];
            for (int i = 0, j = 0; i < 3; ++i) {
                if (i == axis) {
                    u[i] = from;
                    v[i] = from + gap;
                } else {
                    u[i] = p[j];
                    v[i] = q[j];
                    ++j;
                }
            }
            total += std::abs(Texel(u[0], u[1], u[2]) - Texel(v[0], v[1], v[2]));
            ++count;
        }
    }
    return total / count;
}

} // namespace

TEST(NoiseVolumeTest, EachFaceContinuesIntoTheOppositeFace)
{
    for (int axis = 0; axis < 3; ++axis) {
        SCOPED_TRACE(axis);
        // Crossing the seam (127 -> 0) is a step like any other inside the volume, and much
        // smaller than the difference between unrelated texels half the volume apart.
        const double seam = MeanStep(axis, 127, 1);
        const double inside = (MeanStep(axis, 31, 1) + MeanStep(axis, 63, 1) + MeanStep(axis, 95, 1)) / 3;
        const double apart = MeanStep(axis, 127, 64);
        EXPECT_LT(seam, inside * 2.0 + 0.5);
        EXPECT_GT(apart, seam * 3.0);
    }
}

TEST(NoiseVolumeTest, ValuesSpreadAroundTheMiddleAndPitchesAreHonoured)
{
    int low = 255;
    int high = 0;
    double sum = 0;
    for (std::uint8_t v : Volume()) {
        low = std::min<int>(low, v);
        high = std::max<int>(high, v);
        sum += v;
    }
    const double mean = sum / static_cast<double>(Volume().size());
    EXPECT_GT(high - low, 60);
    EXPECT_GT(mean, 100.0);
    EXPECT_LT(mean, 180.0);

    // A box with padded rows and slices gets the same texels at the padded places and leaves
    // the padding alone.
    const std::size_t rowPitch = kNoiseVolumeEdge + 16;
    const std::size_t slicePitch = rowPitch * kNoiseVolumeEdge + 64;
    std::vector<std::uint8_t> padded(slicePitch * kNoiseVolumeEdge, 0xEE);
    GenerateNoiseVolume(padded.data(), rowPitch, slicePitch);
    for (int z : {0, 77, 127})
        for (int y : {0, 50, 127})
            for (int x : {0, 1, 127}) {
                ASSERT_EQ(padded[static_cast<std::size_t>(z) * slicePitch + static_cast<std::size_t>(y) * rowPitch +
                                 static_cast<std::size_t>(x)],
                          Texel(x, y, z));
            }
    EXPECT_EQ(padded[kNoiseVolumeEdge], 0xEE);
}

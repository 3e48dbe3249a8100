#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "PerlinNoise.h"
#include "crt/CRand.h"

namespace {

// Positions spread over several lattice cells, negative ones included, off the lattice.
std::vector<float> Sweep(float from, float to, float step)
{
    std::vector<float> xs;
    for (float x = from; x < to; x += step)
        xs.push_back(x);
    return xs;
}

} // namespace

TEST(PerlinNoiseTest, ZeroAtIntegerPositions)
{
    for (float x : {-4000.0f, -17.0f, -1.0f, 0.0f, 1.0f, 2.0f, 255.0f, 256.0f, 257.0f, 1000.0f}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(Noise1(x), 0.0f);
        const float v2[2] = {x, 3.0f - x};
        EXPECT_EQ(Noise2(v2), 0.0f);
        const float v3[3] = {x, -2.0f, x * 0.5f - std::fmod(x * 0.5f, 1.0f)};
        EXPECT_EQ(Noise3(v3), 0.0f);
    }

    struct Sum {
        float alpha;
        float beta;
        int octaves;
    };
    for (const Sum& s : {Sum{2.0f, 2.0f, 5}, Sum{2.5f, 1.8f, 5}, Sum{10.5f, 3.87f, 4}, Sum{0.5f, 0.3f, 8}}) {
        SCOPED_TRACE(s.alpha);
        EXPECT_EQ(PerlinNoise1D(0.0f, s.alpha, s.beta, s.octaves), 0.0f);
        EXPECT_EQ(PerlinNoise2D(0.0f, 0.0f, s.alpha, s.beta, s.octaves), 0.0f);
        EXPECT_EQ(PerlinNoise3D(0.0f, 0.0f, 0.0f, s.alpha, s.beta, s.octaves), 0.0f);
    }
    // Integer positions with an integer frequency factor stay on the lattice in every octave.
    EXPECT_EQ(PerlinNoise1D(7.0f, 2.0f, 2.0f, 6), 0.0f);
    EXPECT_EQ(PerlinNoise2D(-3.0f, 5.0f, 2.0f, 3.0f, 4), 0.0f);
}

TEST(PerlinNoiseTest, NotZeroBetweenLatticePoints)
{
    // A noise that is 0 everywhere would pass the lattice checks; off the lattice the values vary.
    int nonZero1 = 0, nonZero2 = 0, nonZero3 = 0;
    for (float x : Sweep(-20.0f, 20.0f, 0.37f)) {
        const float v2[2] = {x, x * 0.7f + 0.21f};
        const float v3[3] = {x, 0.43f - x, x * 1.3f + 0.11f};
        nonZero1 += Noise1(x) != 0.0f;
        nonZero2 += Noise2(v2) != 0.0f;
        nonZero3 += Noise3(v3) != 0.0f;
    }
    EXPECT_GT(nonZero1, 90);
    EXPECT_GT(nonZero2, 90);
    EXPECT_GT(nonZero3, 90);
}

TEST(PerlinNoiseTest, OneOctaveEqualsTheNoise)
{
    for (float x : Sweep(-30.0f, 30.0f, 0.731f)) {
        SCOPED_TRACE(x);
        EXPECT_EQ(PerlinNoise1D(x, 2.0f, 2.0f, 1), Noise1(x));
        EXPECT_EQ(PerlinNoise1D(x, 10.5f, 3.87f, 1), Noise1(x));
        const float v2[2] = {x, 1.5f - x};
        EXPECT_EQ(PerlinNoise2D(v2[0], v2[1], 2.5f, 1.8f, 1), Noise2(v2));
        const float v3[3] = {x, 0.25f * x, 7.125f - x};
        EXPECT_EQ(PerlinNoise3D(v3[0], v3[1], v3[2], 2.9f, 1.7f, 1), Noise3(v3));
    }
    EXPECT_EQ(PerlinNoise1D(0.4f, 2.0f, 2.0f, 0), 0.0f);
}

// The second octave samples position * beta and is divided by alpha: this pins down the
// order of the parameters.
TEST(PerlinNoiseTest, SecondOctaveScalesPositionByBetaAndAmplitudeByAlpha)
{
    struct Params {
        float alpha;
        float beta;
    };
    for (const Params& p : {Params{2.0f, 3.0f}, Params{3.0f, 2.0f}, Params{10.5f, 3.87f}, Params{1.7f, 2.9f}}) {
        SCOPED_TRACE(p.alpha);
        for (float x : {0.3f, -1.45f, 12.7f}) {
            const float y = x * 0.6f + 0.2f;
            const float z = 2.2f - x;
            EXPECT_FLOAT_EQ(PerlinNoise1D(x, p.alpha, p.beta, 2), Noise1(x) + Noise1(x * p.beta) / p.alpha);

            const float v2[2] = {x, y};
            const float w2[2] = {x * p.beta, y * p.beta};
            EXPECT_FLOAT_EQ(PerlinNoise2D(x, y, p.alpha, p.beta, 2), Noise2(v2) + Noise2(w2) / p.alpha);

            const float v3[3] = {x, y, z};
            const float w3[3] = {x * p.beta, y * p.beta, z * p.beta};
            EXPECT_FLOAT_EQ(PerlinNoise3D(x, y, z, p.alpha, p.beta, 2), Noise3(v3) + Noise3(w3) / p.alpha);
        }
    }
}

TEST(PerlinNoiseTest, Continuous)
{
    const float h = 0.001f;
    for (float x : Sweep(-50.0f, 50.0f, 0.0137f)) {
        ASSERT_LT(std::fabs(Noise1(x) - Noise1(x + h)), 0.01f) << x;
        const float a2[2] = {x, 0.5f * x + 0.3f};
        const float b2[2] = {x + h, 0.5f * x + 0.3f + h};
        ASSERT_LT(std::fabs(Noise2(a2) - Noise2(b2)), 0.01f) << x;
        const float a3[3] = {x, 0.3f - x, 0.7f * x};
        const float b3[3] = {x + h, 0.3f - x - h, 0.7f * x + h};
        ASSERT_LT(std::fabs(Noise3(a3) - Noise3(b3)), 0.01f) << x;
    }
}

TEST(PerlinNoiseTest, StaysWithinRange)
{
    float low = 0.0f, high = 0.0f;
    for (float x : Sweep(-60.0f, 60.0f, 0.0531f)) {
        const float v2[2] = {x, 3.3f - 0.45f * x};
        const float v3[3] = {0.8f * x, x + 1.9f, 0.35f * x - 4.0f};
        for (float n : {Noise1(x), Noise2(v2), Noise3(v3)}) {
            ASSERT_GE(n, -1.0f) << x;
            ASSERT_LE(n, 1.0f) << x;
            low = std::min(low, n);
            high = std::max(high, n);
        }
        // With alpha 2 the octaves add up to less than twice the single noise.
        for (float sum : {PerlinNoise1D(x, 2.0f, 2.0f, 6), PerlinNoise2D(v2[0], v2[1], 2.0f, 2.0f, 6),
                          PerlinNoise3D(v3[0], v3[1], v3[2], 2.0f, 2.0f, 6)}) {
            ASSERT_TRUE(std::isfinite(sum)) << x;
            ASSERT_LT(std::fabs(sum), 2.0f) << x;
        }
    }
    // The values use a fair part of the range.
    EXPECT_LT(low, -0.2f);
    EXPECT_GT(high, 0.2f);
}

TEST(PerlinNoiseTest, OddCoordinatesStayInBounds)
{
    // Below the shifted range and beyond the int range the lattice still wraps safely.
    for (float x : {-4096.5f, -10000.25f, 3.0e9f + 0.0f, -7.5e12f}) {
        SCOPED_TRACE(x);
        EXPECT_TRUE(std::isfinite(Noise1(x)));
        const float v3[3] = {x, x, x};
        EXPECT_TRUE(std::isfinite(Noise3(v3)));
    }
    EXPECT_TRUE(std::isnan(Noise1(std::numeric_limits<float>::quiet_NaN())));
    const float v2[2] = {0.5f, std::numeric_limits<float>::infinity()};
    EXPECT_TRUE(std::isnan(Noise2(v2)));
}

TEST(PerlinNoiseTest, SameValuesOnRepeatedCalls)
{
    std::vector<float> first;
    for (float x : Sweep(-10.0f, 10.0f, 0.173f)) {
        const float v2[2] = {x, -x * 0.3f};
        const float v3[3] = {x, 1.0f - x, x * 0.9f};
        first.insert(first.end(), {Noise1(x), Noise2(v2), Noise3(v3), PerlinNoise3D(x, x, x, 2.0f, 2.0f, 6)});
    }
    // The tables are built once: later draws from the shared generator change nothing.
    for (int i = 0; i < 5000; ++i)
        crt::rand();

    size_t k = 0;
    for (float x : Sweep(-10.0f, 10.0f, 0.173f)) {
        const float v2[2] = {x, -x * 0.3f};
        const float v3[3] = {x, 1.0f - x, x * 0.9f};
        ASSERT_EQ(Noise1(x), first[k++]) << x;
        ASSERT_EQ(Noise2(v2), first[k++]) << x;
        ASSERT_EQ(Noise3(v3), first[k++]) << x;
        ASSERT_EQ(PerlinNoise3D(x, x, x, 2.0f, 2.0f, 6), first[k++]) << x;
    }
}

// ---------------------------------------------------------------------------------------------
// Table construction

namespace {

void ExpectValidTables(const PerlinNoiseTables& t)
{
    const int n = PerlinNoiseTables::kLattice;
    std::vector<int> sorted(t.perm, t.perm + n);
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(sorted[i], i) << "perm must be a permutation of 0...255";

    for (int i = 0; i < PerlinNoiseTables::kEntries; ++i) {
        SCOPED_TRACE(i);
        ASSERT_GE(t.grad1[i], -1.0f);
        ASSERT_LT(t.grad1[i], 1.0f);
        ASSERT_NEAR(std::hypot(t.grad2[i][0], t.grad2[i][1]), 1.0f, 1e-6f);
        ASSERT_NEAR(std::sqrt(t.grad3[i][0] * t.grad3[i][0] + t.grad3[i][1] * t.grad3[i][1] +
                              t.grad3[i][2] * t.grad3[i][2]),
                    1.0f, 1e-6f);
        if (i >= n) {
            ASSERT_EQ(t.perm[i], t.perm[i - n]);
            ASSERT_EQ(t.grad1[i], t.grad1[i - n]);
            ASSERT_EQ(t.grad2[i][1], t.grad2[i - n][1]);
            ASSERT_EQ(t.grad3[i][2], t.grad3[i - n][2]);
        }
    }
}

} // namespace

TEST(PerlinNoiseTest, BuiltTablesAreValid)
{
    struct Source {
        const char* name;
        std::function<int()> random;
    };
    std::minstd_rand engine(20090101);
    int counter = 0;
    const Source sources[] = {
        {"generator values", [&engine] { return static_cast<int>(engine() % 32768u); }},
        {"counting", [&counter] { return counter++; }},
        {"many exact zero components", [&counter] { return (counter++ % 3) == 0 ? 300 : 256 + 512 * (counter % 7); }},
        {"values outside 0...32767", [&counter] { return -1 - 977 * counter++; }},
    };
    for (const Source& source : sources) {
        SCOPED_TRACE(source.name);
        PerlinNoiseTables tables;
        tables.Build(source.random);
        ExpectValidTables(tables);
    }
}

// A gradient whose drawn components are all 0 has no direction; it is drawn again instead of
// being divided by its zero length.
TEST(PerlinNoiseTest, ZeroGradientIsDrawnAgain)
{
    std::vector<int> script = {
        0,             // grad1[0] = -1
        256, 768,      // grad2[0] = (0, 0): no direction
        384, 256,      // drawn again: (0.5, 0) -> (1, 0)
        256, 256, 256, // grad3[0] = (0, 0, 0): no direction
        256, 128, 256, // drawn again: (0, -0.5, 0) -> (0, -1, 0)
    };
    size_t next = 0;
    int after = 0;
    PerlinNoiseTables tables;
    tables.Build([&] { return next < script.size() ? script[next++] : 1 + 37 * after++; });

    ExpectValidTables(tables);
    EXPECT_EQ(tables.grad1[0], -1.0f);
    EXPECT_EQ(tables.grad2[0][0], 1.0f);
    EXPECT_EQ(tables.grad2[0][1], 0.0f);
    EXPECT_EQ(tables.grad3[0][0], 0.0f);
    EXPECT_EQ(tables.grad3[0][1], -1.0f);
    EXPECT_EQ(tables.grad3[0][2], 0.0f);
    EXPECT_EQ(tables.grad3[PerlinNoiseTables::kLattice][1], -1.0f);
}

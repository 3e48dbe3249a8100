#include <gtest/gtest.h>

#include <vector>

#include "common/texgen/TexGradient.h"

namespace {

struct StopCase {
    float t;
    float red;
};

TEST(TexGradientTest, StopsBlendBetweenNeighboursAndHoldBeyondTheEnds)
{
    // Red 0 at 0.2, 1 at 0.6, a hard step down to 0.2 at 0.6, 0.4 at 1.
    const std::vector<TexGradientStop> stops = {
        {0.2f, {0, 0, 0, 1}}, {0.6f, {1, 0, 0, 1}}, {0.6f, {0.2f, 0, 0, 1}}, {1.0f, {0.4f, 0, 0, 1}}};
    const StopCase cases[] = {
        {-1.0f, 0.0f}, {0.0f, 0.0f}, {0.2f, 0.0f}, {0.4f, 0.5f}, {0.59f, 0.975f},
        {0.61f, 0.205f}, {0.8f, 0.3f}, {1.0f, 0.4f}, {7.0f, 0.4f},
    };
    for (const StopCase& c : cases) {
        EXPECT_NEAR(SampleTexGradient(stops, c.t).r, c.red, 1e-5f) << c.t;
    }
}

TEST(TexGradientTest, DiagonalsRunFromCornerToCorner)
{
    TexGradientParams params;
    params.angleDegrees = 45.0f; // from the top left to the bottom right
    params.stops = {{0, {0, 0, 0, 1}}, {1, {1, 1, 1, 1}}};
    TexImage image = MakeTexGradient(8, 8, params);
    EXPECT_NEAR(image.At(0, 0)[0], 0.0f, 1e-5f);
    EXPECT_NEAR(image.At(7, 7)[0], 1.0f, 1e-5f);
    EXPECT_NEAR(image.At(7, 0)[0], 0.5f, 1e-5f);
    EXPECT_NEAR(image.At(0, 7)[0], image.At(7, 0)[0], 1e-5f);

    params.angleDegrees = 270.0f; // upwards
    image = MakeTexGradient(4, 4, params);
    EXPECT_FLOAT_EQ(image.At(2, 3)[0], 0.0f);
    EXPECT_FLOAT_EQ(image.At(2, 0)[0], 1.0f);

    // A single row still has a gradient across it, a single texel takes the first stop.
    params.angleDegrees = 0.0f;
    image = MakeTexGradient(4, 1, params);
    EXPECT_FLOAT_EQ(image.At(3, 0)[0], 1.0f);
    image = MakeTexGradient(1, 1, params);
    EXPECT_FLOAT_EQ(image.At(0, 0)[0], 0.0f);
}

} // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "sync/Track.h"

namespace {

using Key = sync::Track::KeyFrame;

struct KeySpec {
    unsigned row;
    float value;
    int interpolation;
};

sync::Track MakeTrack(const std::vector<KeySpec>& keys)
{
    sync::Track track("Test");
    for (const KeySpec& k : keys)
        track.setKeyFrame(k.row, Key{k.value, k.interpolation});
    return track;
}

TEST(TrackTest, ValuesAtFractionalRows)
{
    // Two keys, row 0 value 0 and row 10 value 1, the first with the interpolation under test.
    auto pair = [](int interpolation) {
        return std::vector<KeySpec>{{0, 0.0f, interpolation}, {10, 1.0f, Key::Step}};
    };
    struct Case {
        const char* what;
        std::vector<KeySpec> keys;
        float row;
        float expected;
    };
    const Case cases[] = {
        {"no key frames", {}, 3.5f, 0.0f},
        {"no key frames at row 0", {}, 0.0f, 0.0f},
        {"single key before it", {{5, 2.5f, Key::Linear}}, 1.0f, 2.5f},
        {"single key at it", {{5, 2.5f, Key::Linear}}, 5.0f, 2.5f},
        {"single key after it", {{5, 2.5f, Key::Linear}}, 1e6f, 2.5f},
        {"linear inside", pair(Key::Linear), 2.5f, 0.25f},
        {"linear at the later key", pair(Key::Linear), 10.0f, 1.0f},
        {"linear long after the last key", pair(Key::Linear), 1000.0f, 1.0f},
        {"step holds just before the next key", pair(Key::Step), 9.99f, 0.0f},
        {"smooth half way", pair(Key::Smooth), 5.0f, 0.5f},
        {"ramp half way", pair(Key::Ramp), 5.0f, 0.25f},
        {"ramp three quarters", pair(Key::Ramp), 7.5f, 0.5625f},
        {"unknown code 7 holds like step", pair(7), 5.0f, 0.0f},
        {"negative code holds like step", pair(-1), 5.0f, 0.0f},
        {"before the first key is the first value", {{4, 3.0f, Key::Linear}, {8, 5.0f, Key::Linear}}, 1.5f, 3.0f},
        {"the earlier key's interpolation applies",
         {{0, 0.0f, Key::Step}, {10, 1.0f, Key::Linear}, {20, 3.0f, Key::Step}},
         15.0f,
         2.0f},
        {"exactly at a middle key whatever the types",
         {{0, 0.0f, Key::Step}, {10, 1.0f, Key::Ramp}, {20, 3.0f, Key::Step}},
         10.0f,
         1.0f},
        {"fraction past the floor row counts", {{0, 0.0f, Key::Linear}, {1, 1.0f, Key::Linear}}, 0.75f, 0.75f},
        {"negative values", {{100, -4.0f, Key::Linear}, {104, 4.0f, Key::Step}}, 101.0f, -2.0f},
        {"rows far apart", {{0, 0.0f, Key::Linear}, {4000000000u, 8.0f, Key::Step}}, 1e9f, 2.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FLOAT_EQ(MakeTrack(c.keys).getValue(c.row), c.expected);
    }
}

TEST(TrackTest, SmoothHasNoSlopeAtEitherKey)
{
    const sync::Track track = MakeTrack({{0, 0.0f, Key::Smooth}, {10, 1.0f, Key::Step}});
    // A linear move would be at 0.01 and 0.99; a curve leaving flat stays far closer.
    EXPECT_LT(track.getValue(0.1f), 0.001f);
    EXPECT_GT(track.getValue(9.9f), 0.999f);
    EXPECT_LT(track.getValue(9.9f), 1.0f);
    EXPECT_GT(track.getValue(0.1f), 0.0f);
}

TEST(TrackTest, SetKeyFrameReplacesTheKeyAtARow)
{
    sync::Track track("Fade");
    track.setKeyFrame(10, Key{1.0f, Key::Linear});
    track.setKeyFrame(0, Key{0.0f, Key::Linear});
    track.setKeyFrame(0, Key{2.0f, Key::Step});
    ASSERT_EQ(track.getKeyFrames().size(), 2u);
    EXPECT_EQ(track.getKeyFrames().at(0).interpolation, Key::Step);
    EXPECT_FLOAT_EQ(track.getValue(5.0f), 2.0f);
    EXPECT_EQ(track.getName(), "Fade");
}

TEST(TrackTest, RowsOutsideTheIntegerRangeStayOnTheEndKeys)
{
    const sync::Track track = MakeTrack({{2, 7.0f, Key::Linear}, {6, 9.0f, Key::Linear}});
    EXPECT_FLOAT_EQ(track.getValue(-3.5f), 7.0f);
    EXPECT_FLOAT_EQ(track.getValue(std::numeric_limits<float>::quiet_NaN()), 7.0f);
    EXPECT_FLOAT_EQ(track.getValue(5e9f), 9.0f);
    EXPECT_FLOAT_EQ(track.getValue(std::numeric_limits<float>::infinity()), 9.0f);
}

} // namespace

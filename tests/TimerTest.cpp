#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "DXFramework.h"
#include "FrameworkEx.h"
#include "FrameworkExMessage.h"
#include "SyncTimer.h"
#include "Timer.h"
#include "sync/Device.h"
#include "win32/Clock.h"

namespace {

// A clock the test sets by hand.
class ManualClock final : public ClockSource {
public:
    bool hasCounter = true;
    std::int64_t counter = 0;
    std::int64_t frequency = 1000000; // microsecond ticks
    DWORD milliseconds = 0;

    bool HasCounter() const override { return hasCounter; }
    std::int64_t Counter() const override { return counter; }
    std::int64_t Frequency() const override { return frequency; }
    DWORD Milliseconds() const override { return milliseconds; }

    void SetSeconds(double seconds) { counter = static_cast<std::int64_t>(seconds * double(frequency) + 0.5); }
};

// A device holding tracks the test fills itself.
class ManualDevice final : public sync::Device {
public:
    ManualDevice() : Device("sync") {}
    sync::Track& getTrack(const std::string& name) override
    {
        requested.push_back(name);
        if (missing)
            throw FrameworkEx("loadTrack failed on Data\\sync_" + name + ".track");
        return playbackTime;
    }
    bool update(float) override { return true; }

    sync::Track playbackTime{"PlaybackTime"};
    std::vector<std::string> requested;
    bool missing = false;
};

class TimerTest : public ::testing::Test {
protected:
    ManualClock clock;
    ManualDevice device;
    ClockSource* previousClock = nullptr;
    std::optional<Timer> timer;

    void SetUp() override
    {
        previousClock = SetClockSource(&clock);
        DXFramework::SetSyncDevice(&device);
        SetRowRate(128, 8);
        clock.SetSeconds(10.0);
        timer.emplace();
    }
    void TearDown() override
    {
        timer.reset();
        DXFramework::SetSyncDevice(nullptr);
        SetClockSource(previousClock);
        SetRowRate(0, 0); // the rate a process starts with
    }

    // Runs one update and tells whether it asked for a redraw.
    bool UpdateAt(double seconds)
    {
        clock.SetSeconds(seconds);
        DXFramework::ClearRedrawRequest();
        Timer::Update();
        return DXFramework::IsRedrawRequested();
    }
};

TEST_F(TimerTest, TakesThePlaybackTimeTrackFromTheSyncDevice)
{
    EXPECT_EQ(device.requested, std::vector<std::string>{"PlaybackTime"});
}

TEST_F(TimerTest, StartsNegativeByTheOffsetAndDrawsOnlyOnceTimeIsPositive)
{
    Timer::Restart(0.0f, 0.05f);
    EXPECT_FLOAT_EQ(Timer::GetTime(), -0.05f); // nothing clamps before the first update
    EXPECT_EQ(GetSyncRow(), 0.0f);

    for (double at : {10.0, 10.02, 10.049}) {
        SCOPED_TRACE(at);
        EXPECT_FALSE(UpdateAt(at));
        EXPECT_EQ(Timer::GetTime(), 0.0f);
        EXPECT_EQ(Timer::GetDelta(), 0.0);
    }
    EXPECT_TRUE(UpdateAt(10.06));
    EXPECT_NEAR(Timer::GetTime(), 0.01, 1e-5);
    EXPECT_NEAR(Timer::GetDelta(), 0.011, 1e-5);
}

TEST_F(TimerTest, RestartSetsTheTimeNow)
{
    Timer::Restart(30.0f, 0.0f);
    EXPECT_FLOAT_EQ(Timer::GetTime(), 30.0f);
    EXPECT_TRUE(UpdateAt(12.5));
    EXPECT_NEAR(Timer::GetTime(), 32.5, 1e-5);
    EXPECT_NEAR(Timer::GetDelta(), 2.5, 1e-5);
}

TEST_F(TimerTest, AnUnchangedReadingIsNoStep)
{
    Timer::Restart(0.0f, 0.0f);
    EXPECT_TRUE(UpdateAt(11.0));
    EXPECT_FALSE(UpdateAt(11.0));
    EXPECT_EQ(Timer::GetDelta(), 0.0);
    EXPECT_NEAR(Timer::GetTime(), 1.0, 1e-6);
}

TEST_F(TimerTest, TheRawReadingIsSinglePrecision)
{
    // Near 100000 s a float moves in steps of 1/128 s: a millisecond later reads the same.
    clock.SetSeconds(100000.0);
    Timer::Restart(0.0f, 0.0f);
    EXPECT_FALSE(UpdateAt(100000.001));
    EXPECT_EQ(Timer::GetDelta(), 0.0);
    EXPECT_TRUE(UpdateAt(100000.01));
    EXPECT_EQ(Timer::GetDelta(), 0.0078125);
}

TEST_F(TimerTest, AClockRunningBackwards)
{
    Timer::Restart(0.0f, 0.0f);
    EXPECT_TRUE(UpdateAt(12.0));
    // still after the start: the time goes back, no frame is asked for
    EXPECT_FALSE(UpdateAt(11.0));
    EXPECT_NEAR(Timer::GetTime(), 1.0, 1e-6);
    // before the start: time and delta are held at 0
    EXPECT_FALSE(UpdateAt(9.0));
    EXPECT_EQ(Timer::GetTime(), 0.0f);
    EXPECT_EQ(Timer::GetDelta(), 0.0);
}

TEST_F(TimerTest, TheFrequencyIsReadOnEveryReading)
{
    Timer::Restart(0.0f, 0.0f); // 10 s at 1 MHz
    clock.frequency = 500000;   // the same count now means 20 s
    DXFramework::ClearRedrawRequest();
    Timer::Update();
    EXPECT_NEAR(Timer::GetTime(), 10.0, 1e-5);
}

TEST_F(TimerTest, SyncRowFollowsThePlaybackTime)
{
    struct Case {
        double seconds;
        float row;
    };
    const Case cases[] = {{0.0, 0.0f}, {0.5, 128.0f / 15.0f}, {15.0, 256.0f}, {60.0, 1024.0f}};
    SyncTimer syncTimer;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        clock.SetSeconds(10.0);
        Timer::Restart(static_cast<float>(c.seconds), 0.0f);
        EXPECT_FLOAT_EQ(GetSyncRow(), c.row);
        EXPECT_EQ(syncTimer.getRow(), GetSyncRow());
    }
    SetRowRate(120, 4); // 8 rows per second
    Timer::Restart(1.5f, 0.0f);
    EXPECT_FLOAT_EQ(GetSyncRow(), 12.0f);
}

TEST_F(TimerTest, UpdateEvaluatesPlaybackTimeAtTheCurrentRow)
{
    // 15 s is row 256; the track maps it to 30
    device.playbackTime.setKeyFrame(0, {0.0f, sync::Track::KeyFrame::Linear});
    device.playbackTime.setKeyFrame(256, {30.0f, sync::Track::KeyFrame::Step});
    Timer::Restart(0.0f, 0.0f);
    UpdateAt(17.5);
    EXPECT_FLOAT_EQ(Timer::GetPlaybackTimeValue(), 15.0f);
    UpdateAt(40.0);
    EXPECT_FLOAT_EQ(Timer::GetPlaybackTimeValue(), 30.0f);
    UpdateAt(5.0); // before the start: row 0
    EXPECT_FLOAT_EQ(Timer::GetPlaybackTimeValue(), 0.0f);
}

TEST_F(TimerTest, WithoutACounterTheMillisecondTimerIsUsed)
{
    timer.reset();
    clock.hasCounter = false;
    clock.milliseconds = 2500;
    timer.emplace();
    EXPECT_FLOAT_EQ(Timer::RawTime(), 2.5f);
    Timer::Restart(0.0f, 0.0f);
    clock.milliseconds = 3000;
    DXFramework::ClearRedrawRequest();
    Timer::Update();
    EXPECT_TRUE(DXFramework::IsRedrawRequested());
    EXPECT_NEAR(Timer::GetTime(), 0.5, 1e-6);
    EXPECT_NEAR(Timer::GetDelta(), 0.5, 1e-6);
}

TEST_F(TimerTest, ACounterThatStopsAnsweringFallsBackToTheMillisecondTimer)
{
    clock.hasCounter = false; // after construction found one
    clock.milliseconds = 7000;
    EXPECT_FLOAT_EQ(Timer::RawTime(), 7.0f);
    clock.hasCounter = true;
    clock.frequency = 0; // a counter without a frequency would divide by zero
    EXPECT_FLOAT_EQ(Timer::RawTime(), 7.0f);
}

TEST_F(TimerTest, OneInstanceAtATime)
{
    EXPECT_EQ(FrameworkExMessage([&] { Timer second; }), "Timer is a singleton!");
    timer.reset();
    timer.emplace(); // the place is free again
}

TEST_F(TimerTest, ConstructionNeedsTheTrackAndTheDevice)
{
    timer.reset();
    device.missing = true;
    EXPECT_EQ(FrameworkExMessage([&] { Timer failing; }), "loadTrack failed on Data\\sync_PlaybackTime.track");
    DXFramework::SetSyncDevice(nullptr);
    EXPECT_THROW(Timer(), FrameworkEx);
    // neither failure kept the instance
    DXFramework::SetSyncDevice(&device);
    device.missing = false;
    timer.emplace();
}

} // namespace

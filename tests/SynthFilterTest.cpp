#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SignalMeasure.h"
#include "common/synth/Filter.h"
#include "common/synth/SynthUnits.h"

namespace {

using synth::Filter;
using synth::FilterMode;
using synth::kSampleRate;

// The filter's gain in dB for a steady sine, measured after it has settled.
double GainDb(FilterMode mode, double cutoff, double resonance, double frequency)
{
    Filter filter;
    filter.SetMode(mode);
    filter.Set(cutoff, resonance);
    std::vector<float> out;
    for (int i = 0; i < kSampleRate; ++i) {
        const float x = static_cast<float>(std::sin(2.0 * synth::kPi * frequency * i / kSampleRate));
        const float y = filter.Process(x);
        if (i >= kSampleRate / 2)
            out.push_back(y);
    }
    return 20.0 * std::log10(ChannelRms(out, 1, 0) / std::sqrt(0.5));
}

TEST(SynthFilterTest, ResponseAroundTheCutoff)
{
    const struct {
        FilterMode mode;
        double cutoff;
        double frequency;
        double expectedDb;
        double toleranceDb;
    } cases[] = {
        // Butterworth low pass: flat below, -3 dB at the cutoff, 12 dB per octave above.
        {FilterMode::LowPass, 1000.0, 100.0, 0.0, 0.1},
        {FilterMode::LowPass, 1000.0, 1000.0, -3.01, 0.2},
        {FilterMode::LowPass, 1000.0, 4000.0, -24.1, 1.0},
        {FilterMode::LowPass, 200.0, 200.0, -3.01, 0.2},
        {FilterMode::LowPass, 5000.0, 5000.0, -3.01, 0.3},
        // The high pass mirrors it.
        {FilterMode::HighPass, 1000.0, 10000.0, 0.0, 0.2},
        {FilterMode::HighPass, 1000.0, 1000.0, -3.01, 0.2},
        {FilterMode::HighPass, 1000.0, 250.0, -24.1, 1.0},
        // The band pass peaks at unity on its centre and falls off 6 dB per octave on both sides
        // (1 / sqrt(1 + Q^2 (8 - 1/8)^2) three octaves away with Q = 0.707); the top side a
        // little faster, as the highest frequencies crowd towards half the sample rate.
        {FilterMode::BandPass, 1000.0, 1000.0, 0.0, 0.2},
        {FilterMode::BandPass, 1000.0, 125.0, -15.07, 0.3},
        {FilterMode::BandPass, 1000.0, 8000.0, -16.0, 1.2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        SCOPED_TRACE(c.frequency);
        EXPECT_NEAR(GainDb(c.mode, c.cutoff, 0.0, c.frequency), c.expectedDb, c.toleranceDb);
    }
}

TEST(SynthFilterTest, ResonanceLiftsTheCutoffWithoutRunningAway)
{
    const double plain = GainDb(FilterMode::LowPass, 800.0, 0.0, 800.0);
    const double resonant = GainDb(FilterMode::LowPass, 800.0, 0.8, 800.0);
    const double extreme = GainDb(FilterMode::LowPass, 800.0, 1.0, 800.0);
    EXPECT_GT(resonant, plain + 9.0);
    EXPECT_GT(extreme, resonant);
    EXPECT_LT(extreme, 30.0);
}

TEST(SynthFilterTest, SweepsAcrossTheWholeRangeStayFinite)
{
    // Cutoffs beyond the usable range are clamped; fast sweeps and loud input must not blow up.
    Filter filter;
    filter.SetMode(FilterMode::LowPass);
    double peak = 0.0;
    for (int i = 0; i < kSampleRate; ++i) {
        if (i % 16 == 0)
            filter.Set(i % 32 == 0 ? 1e6 : 0.0, 1.0);
        const float y = filter.Process(i % 100 < 50 ? 4.0f : -4.0f);
        ASSERT_TRUE(std::isfinite(y));
        peak = std::max(peak, static_cast<double>(std::fabs(y)));
    }
    EXPECT_LT(peak, 400.0);
}

} // namespace

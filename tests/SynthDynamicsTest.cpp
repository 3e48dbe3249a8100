#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "LoudnessMeasure.h"
#include "SignalMeasure.h"
#include "common/synth/Compressor.h"
#include "common/synth/Limiter.h"
#include "common/synth/LoudnessMeter.h"
#include "common/synth/MasterBus.h"
#include "common/synth/Noise.h"
#include "common/synth/SynthUnits.h"
#include "common/synth/TruePeak.h"

namespace {

using synth::kSampleRate;

// Stereo sine, faded in and out over 10 ms so that its ends add no peaks of their own. A quarter
// of the sample rate with a phase of 45 degrees puts every sample at 0.707 of the true peak.
std::vector<float> Sine(double frequency, double amplitude, double seconds, double phase = 0.0)
{
    std::vector<float> out(static_cast<std::size_t>(seconds * kSampleRate) * 2);
    const std::size_t frames = out.size() / 2, fade = kSampleRate / 100;
    for (std::size_t i = 0; i < frames; ++i) {
        const std::size_t edge = std::min(i, frames - 1 - i);
        const double ramp = edge >= fade ? 1.0 : 0.5 - 0.5 * std::cos(synth::kPi * edge / fade);
        out[2 * i] = out[2 * i + 1] =
            static_cast<float>(ramp * amplitude * std::sin(2.0 * synth::kPi * frequency * i / kSampleRate + phase));
    }
    return out;
}

// Drums-like material: noise bursts with sharp attacks at several levels.
std::vector<float> Bursts(double seconds)
{
    synth::Noise noise(5);
    std::vector<float> out(static_cast<std::size_t>(seconds * kSampleRate) * 2);
    for (std::size_t i = 0; i < out.size() / 2; ++i) {
        const std::size_t phase = i % 11025;
        const double env = std::exp(-static_cast<double>(phase) / 2000.0) * (1.0 + (i / 11025) % 4);
        out[2 * i] = static_cast<float>(noise.Next() * env);
        out[2 * i + 1] = static_cast<float>(noise.Next() * env);
    }
    return out;
}

TEST(SynthDynamicsTest, TruePeakSeesBetweenTheSamples)
{
    const std::vector<float> tone = Sine(kSampleRate / 4.0, 1.0, 0.5, synth::kPi / 4.0);
    double samplePeak = 0.0;
    for (float x : tone)
        samplePeak = std::max(samplePeak, static_cast<double>(std::fabs(x)));
    EXPECT_NEAR(samplePeak, 0.7071, 0.001);
    EXPECT_NEAR(synth::TruePeak(tone, 2), 1.0, 0.01);
    EXPECT_NEAR(TruePeakDb(tone, 2), 0.0, 0.05);
}

TEST(SynthDynamicsTest, LimiterHoldsTheTruePeakCeiling)
{
    const struct {
        const char* what;
        std::vector<float> audio;
        double ceilingDb;
    } cases[] = {
        {"inter-sample peaks", Sine(kSampleRate / 4.0, 2.0, 1.0, synth::kPi / 4.0), -1.0},
        {"loud low sine", Sine(60.0, 4.0, 1.0), -1.5},
        {"bursts", Bursts(2.0), -2.0},
        {"bursts to 0 dB", Bursts(2.0), 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<float> audio = c.audio;
        synth::Limiter(c.ceilingDb).Process(audio, 2);
        EXPECT_LE(TruePeakDb(audio, 2), c.ceilingDb + 0.1);
        // Limiting only takes the peaks down: the loud parts stay close to the ceiling.
        EXPECT_GT(TruePeakDb(audio, 2), c.ceilingDb - 1.0);
    }
    EXPECT_THROW(synth::Limiter(0.5), std::invalid_argument);
}

TEST(SynthDynamicsTest, LimiterAndCompressorLeaveQuietAudioAlone)
{
    const std::vector<float> quiet = Sine(440.0, 0.1, 1.0);
    std::vector<float> limited = quiet, compressed = quiet;
    synth::Limiter(-1.0).Process(limited, 2);
    synth::Compressor(-12.0, 4.0).Process(compressed, 2);
    EXPECT_EQ(limited, quiet);
    EXPECT_EQ(compressed, quiet);
}

TEST(SynthDynamicsTest, CompressorReducesWhatIsAboveTheThresholdByItsRatio)
{
    // Above the knee, every 4 dB more in gives 1 dB more out at 4:1; below it nothing changes.
    const auto outDb = [](double inDb) {
        std::vector<float> tone = Sine(440.0, synth::DbToGain(inDb), 2.0);
        synth::Compressor(-20.0, 4.0).Process(tone, 2);
        const std::vector<float> settled(tone.begin() + kSampleRate, tone.end() - kSampleRate / 2);
        return 20.0 * std::log10(ChannelRms(settled, 2, 0) * std::sqrt(2.0));
    };
    EXPECT_NEAR(outDb(0.0) - outDb(-12.0), 3.0, 0.2);
    EXPECT_NEAR(outDb(-30.0), -30.0, 0.01);
    EXPECT_LT(outDb(-8.0), -8.0 - 6.0);
    EXPECT_THROW(synth::Compressor(-10.0, 0.5), std::invalid_argument);
}

TEST(SynthDynamicsTest, LoudnessMeterAgreesWithTheReferenceTones)
{
    const struct {
        const char* what;
        std::vector<float> audio;
        double lufs;
    } cases[] = {
        // A 1 kHz sine at full scale on both channels reads 0 LUFS; the meter follows its level.
        {"1 kHz at -20 dBFS", Sine(1000.0, 0.1, 5.0), -20.0},
        {"1 kHz at -6 dBFS", Sine(1000.0, 0.5, 5.0), -6.02},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(synth::IntegratedLoudness(c.audio, 2), c.lufs, 0.6);
        EXPECT_NEAR(synth::IntegratedLoudness(c.audio, 2), IntegratedLufs(c.audio, 2, kSampleRate), 0.05);
    }
    // The head's weighting: lows count for less, highs for more.
    const double low = synth::IntegratedLoudness(Sine(40.0, 0.1, 5.0), 2);
    const double high = synth::IntegratedLoudness(Sine(4000.0, 0.1, 5.0), 2);
    EXPECT_LT(low, -21.0);
    EXPECT_GT(high, -18.5);
    EXPECT_NEAR(low, IntegratedLufs(Sine(40.0, 0.1, 5.0), 2, kSampleRate), 0.05);
    EXPECT_NEAR(high, IntegratedLufs(Sine(4000.0, 0.1, 5.0), 2, kSampleRate), 0.05);
    // Silence around a tone is gated out: it does not pull the reading down.
    std::vector<float> gapped = Sine(1000.0, 0.1, 5.0);
    gapped.resize(gapped.size() * 3, 0.0f);
    EXPECT_NEAR(synth::IntegratedLoudness(gapped, 2), -20.0, 0.2);
    EXPECT_NEAR(IntegratedLufs(gapped, 2, kSampleRate), -20.0, 0.2);
    EXPECT_EQ(synth::IntegratedLoudness(std::vector<float>(kSampleRate * 2, 0.0f), 2), -70.0);
}

TEST(SynthDynamicsTest, MasterBringsAMixToItsLoudnessUnderItsCeiling)
{
    synth::MasterSpec spec;
    spec.loudness = -14.0;
    spec.ceiling = -1.5;
    spec.fadeOut = 0.5;
    for (double level : {0.02, 0.5, 3.0}) {
        SCOPED_TRACE(level);
        std::vector<float> mix = Bursts(6.0);
        for (float& x : mix)
            x = static_cast<float>(x * level + 0.2); // a DC offset the high pass must take out
        const synth::MasterReport report = synth::MasterBus(spec).Process(mix);
        EXPECT_NEAR(IntegratedLufs(mix, 2, kSampleRate), -14.0, 0.2);
        EXPECT_NEAR(report.loudness, -14.0, 0.1);
        EXPECT_LE(TruePeakDb(mix, 2), -1.4);
        double sum = 0.0;
        for (float x : mix)
            sum += x;
        EXPECT_NEAR(sum / mix.size(), 0.0, 0.001);
        // The fade ends in silence.
        EXPECT_EQ(mix[mix.size() - 1], 0.0f);
    }
    std::vector<float> silence(kSampleRate * 4, 0.0f);
    synth::MasterBus(spec).Process(silence);
    EXPECT_EQ(silence, std::vector<float>(kSampleRate * 4, 0.0f));
}

} // namespace

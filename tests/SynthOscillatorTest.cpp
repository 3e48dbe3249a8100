#include <gtest/gtest.h>

#include <vector>

#include "SignalMeasure.h"
#include "common/synth/Noise.h"
#include "common/synth/Oscillator.h"
#include "common/synth/SynthUnits.h"

namespace {

using synth::kSampleRate;
using synth::Oscillator;
using synth::Wave;

std::vector<float> Play(Oscillator& osc, double frequency, std::size_t frames)
{
    std::vector<float> stereo(frames * 2, 0.0f);
    for (std::size_t i = 0; i < frames; ++i)
        osc.Render(frequency, 1.0, stereo[2 * i], stereo[2 * i + 1]);
    return stereo;
}

TEST(SynthOscillatorTest, EveryWaveSoundsAtThePitchAskedFor)
{
    const struct {
        Wave wave;
        double frequency;
    } cases[] = {
        {Wave::Sine, 440.0},     {Wave::Triangle, 55.0}, {Wave::Triangle, 1760.0}, {Wave::Saw, 110.0},
        {Wave::Saw, 1760.0},     {Wave::Square, 261.63}, {Wave::Pulse, 98.0},      {Wave::Supersaw, 220.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.wave));
        SCOPED_TRACE(c.frequency);
        Oscillator osc(c.wave, 7);
        osc.SetPulseWidth(0.25);
        osc.SetSupersaw(7, 0.0, 0.0); // all voices in tune: one clear period
        const std::vector<float> tone = Play(osc, c.frequency, kSampleRate / 2);
        EXPECT_NEAR(ChannelPitch(tone, 2, 0, kSampleRate), c.frequency, c.frequency * 0.003);
    }
}

TEST(SynthOscillatorTest, SawAndSquareKeepTheirLevelAndCentre)
{
    // A ±1 saw has an RMS of 1/sqrt(3), a ±1 square of 1, a ±1 triangle of 1/sqrt(3).
    const struct {
        Wave wave;
        double rms;
    } cases[] = {{Wave::Saw, 0.5774}, {Wave::Square, 1.0}, {Wave::Triangle, 0.5774}, {Wave::Sine, 0.7071}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.wave));
        Oscillator osc(c.wave);
        const std::vector<float> tone = Play(osc, 100.0, kSampleRate);
        EXPECT_NEAR(ChannelRms(tone, 2, 0), c.rms, 0.02);
        double sum = 0.0;
        for (std::size_t i = 0; i < tone.size(); i += 2)
            sum += tone[i];
        EXPECT_NEAR(sum / (tone.size() / 2), 0.0, 0.01);
    }
}

// A saw of 3520 Hz fits 3520 whole cycles in a second, so its harmonics sit exactly on the
// analysis frequencies; whatever is not in them is aliasing folded back from above 22 kHz.
TEST(SynthOscillatorTest, HighSawAndSquareAliasFarBelowTheirHarmonics)
{
    for (Wave wave : {Wave::Saw, Wave::Square}) {
        SCOPED_TRACE(static_cast<int>(wave));
        Oscillator osc(wave);
        const std::vector<float> tone = Play(osc, 3520.0, kSampleRate);
        double total = 0.0;
        for (std::size_t i = 0; i < tone.size(); i += 2)
            total += static_cast<double>(tone[i]) * tone[i];
        total /= kSampleRate;
        double harmonic = 0.0;
        for (int k = 1; 3520.0 * k < kSampleRate / 2.0; ++k) {
            const double amplitude = std::pow(10.0, ChannelToneDb(tone, 2, 0, kSampleRate, 3520.0 * k) / 20.0);
            harmonic += amplitude * amplitude / 2.0;
        }
        const double aliasDb = 10.0 * std::log10(std::max(total - harmonic, 1e-12) / total);
        // A naive saw leaves about -10 dB here.
        EXPECT_LT(aliasDb, -25.0);
    }
}

TEST(SynthOscillatorTest, SupersawSpreadsItsVoicesAcrossTheStereoField)
{
    Oscillator centred(Wave::Supersaw, 3), spread(Wave::Supersaw, 3);
    centred.SetSupersaw(7, 0.4, 0.0);
    spread.SetSupersaw(7, 0.4, 1.0);
    const std::vector<float> mono = Play(centred, 220.0, kSampleRate / 2), wide = Play(spread, 220.0, kSampleRate / 2);
    double monoSide = 0.0, wideSide = 0.0, wideMid = 0.0;
    for (std::size_t i = 0; i < mono.size(); i += 2) {
        monoSide += std::fabs(mono[i] - mono[i + 1]);
        wideSide += (wide[i] - wide[i + 1]) * (wide[i] - wide[i + 1]);
        wideMid += (wide[i] + wide[i + 1]) * (wide[i] + wide[i + 1]);
    }
    EXPECT_EQ(monoSide, 0.0);
    EXPECT_GT(wideSide / wideMid, 0.1);
    EXPECT_THROW(centred.SetSupersaw(0, 0.1, 0.1), std::invalid_argument);
    EXPECT_THROW(centred.SetSupersaw(10, 0.1, 0.1), std::invalid_argument);
}

TEST(SynthOscillatorTest, NoiseIsFullRangeCentredAndFixedByItsSeed)
{
    synth::Noise a(42), b(42), c(43);
    double sum = 0.0, squares = 0.0;
    bool differs = false;
    for (int i = 0; i < kSampleRate; ++i) {
        const float x = a.Next();
        ASSERT_EQ(x, b.Next());
        differs = differs || x != c.Next();
        ASSERT_GE(x, -1.0f);
        ASSERT_LT(x, 1.0f);
        sum += x;
        squares += x * x;
    }
    EXPECT_TRUE(differs);
    EXPECT_NEAR(sum / kSampleRate, 0.0, 0.01);
    EXPECT_NEAR(std::sqrt(squares / kSampleRate), 0.5774, 0.01);
}

} // namespace

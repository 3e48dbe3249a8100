#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "LoudnessMeasure.h"
#include "SignalMeasure.h"
#include "common/synth/OggWriter.h"
#include "common/synth/ScoreParser.h"
#include "common/synth/ScoreRenderer.h"
#include "common/synth/SynthUnits.h"

namespace {

using synth::kSampleRate;

std::vector<float> Render(const std::string& text)
{
    return synth::RenderScore(synth::ParseScore(text, "test.score")).stereo;
}

std::vector<float> Slice(const std::vector<float>& stereo, double from, double to)
{
    const auto a = static_cast<std::size_t>(from * kSampleRate) * 2, b = static_cast<std::size_t>(to * kSampleRate) * 2;
    return std::vector<float>(stereo.begin() + static_cast<long>(a), stereo.begin() + static_cast<long>(b));
}

double RmsDb(const std::vector<float>& stereo)
{
    return 20.0 * std::log10(std::max(1e-9, 0.5 * (ChannelRms(stereo, 2, 0) + ChannelRms(stereo, 2, 1))));
}

// Every kind of sound the synthesizer makes, in one bar at 120 BPM (a row is 1/16 s).
const std::string kEverything = R"(
tempo 120
master loudness -18 fadeout 0
instrument kick kick
end
instrument snare snare
end
instrument clap clap
end
instrument hat hat
end
instrument saw synth
  osc supersaw
  osc noise 0 0 0.1
  osc pulse -12 0 0.3
  filter lowpass 900 0.4 4
  filterenv 2 0.01 0.2 0.2 0.2
  lfo cutoff 2 1
  lfo pan 1 0.5
  arp updown 2 2
end
channel kick kick
channel snare snare reverb 0.4
channel clap clap delay 0.5
channel hat hat pan 0.5
channel saw saw duck 0.7 width 1.5 reverb 0.3 delay 0.3
sidechain kick
pattern p 32 step 4
  kick   X . . . X . . .
  snare  . . x . . . x .
  clap   . . . X . . . X
  hat    o x o x o x o x
  saw    Am:3 . . . F:3 . . ^
end
section s 2
  play p
  ramp saw cutoff 200 4000
end
)";

TEST(SynthRenderTest, SameScoreSameSamplesSameBytes)
{
    const std::vector<float> first = Render(kEverything);
    const std::vector<float> second = Render(kEverything);
    ASSERT_EQ(first.size(), static_cast<std::size_t>(4 * kSampleRate) * 2); // two bars of two seconds
    EXPECT_EQ(first, second);
    EXPECT_GT(RmsDb(first), -40.0);
    EXPECT_EQ(synth::EncodeOggVorbis(first), synth::EncodeOggVorbis(second));
}

TEST(SynthRenderTest, NotesSoundAtTheirPitchAndGlideBetween)
{
    const std::vector<float> song = Render(R"(
tempo 120
master loudness -20 fadeout 0
instrument tone synth
  osc sine
  amp 0.001 0.1 1 0.05
  mono
  glide 0.5
end
channel tone tone
pattern p 64 step 16
  tone A4 . ~A5 .
end
section s 2
  play p
end
)");
    // At 120 BPM a row lasts 1/16 s: A4 for two seconds, then a half-second slide up to A5.
    EXPECT_NEAR(ChannelPitch(Slice(song, 0.2, 1.8), 2, 0, kSampleRate), 440.0, 1.0);
    const double sliding = ChannelPitch(Slice(song, 2.1, 2.2), 2, 0, kSampleRate);
    EXPECT_GT(sliding, 500.0);
    EXPECT_LT(sliding, 840.0);
    EXPECT_NEAR(ChannelPitch(Slice(song, 3.0, 3.9), 2, 0, kSampleRate), 880.0, 2.0);
}

TEST(SynthRenderTest, KickHitsLandOnTheirRows)
{
    // At 128 BPM and 8 rows a beat, a row lasts 60 / 1024 s; the hits fall on rows 0, 8, 20, 24.
    const std::vector<float> song = Render(R"(
master loudness -24
instrument kick kick
end
channel kick kick
pattern p 32 step 4
  kick X . X . . X X .
end
section s 4
  play p
end
)");
    const std::vector<double> onsets = LowOnsets(song, kSampleRate);
    std::vector<double> expected;
    for (int bar = 0; bar < 4; ++bar)
        for (int row : {0, 8, 20, 24})
            expected.push_back((bar * 32 + row) * 60.0 / 1024.0);
    ASSERT_EQ(onsets.size(), expected.size());
    for (std::size_t i = 0; i < onsets.size(); ++i)
        EXPECT_NEAR(onsets[i], expected[i], 0.005) << i;
}

TEST(SynthRenderTest, TheKickDucksTheChannelsThatFollowIt)
{
    const std::string score = R"(
tempo 120
master loudness -20 fadeout 0
instrument kick kick
  decay 0.05
  click 0
end
instrument pad synth
  osc saw 24
  amp 0.001 0.1 1 0.1
end
channel kick kick gain -40
channel pad pad duck DEPTH
sidechain kick release 0.2
pattern p 32 step 8
  kick X X X X
  pad  A3 . . .
end
section s 2
  play p
end
)";
    std::string steady = score, ducked = score;
    steady.replace(steady.find("DEPTH"), 5, "0");
    ducked.replace(ducked.find("DEPTH"), 5, "0.9");
    // Beats are half a second apart: just after a hit against just before the next one.
    const std::vector<float> plain = Render(steady), pumping = Render(ducked);
    const double plainDip = RmsDb(Slice(plain, 1.01, 1.06)) - RmsDb(Slice(plain, 1.4, 1.45));
    const double duckDip = RmsDb(Slice(pumping, 1.01, 1.06)) - RmsDb(Slice(pumping, 1.4, 1.45));
    EXPECT_NEAR(plainDip, 0.0, 1.0);
    EXPECT_LT(duckDip, -10.0);
}

TEST(SynthRenderTest, EchoesComeBackOnAlternateSidesAfterTheirRows)
{
    // 120 BPM, 8 rows a beat: 4 rows are a quarter second.
    const std::vector<float> song = Render(R"(
tempo 120
delay rows 4 feedback 0.5 damping 12000 reverb 0
master loudness -20 fadeout 0
instrument blip synth
  osc sine 0 0 1
  amp 0.001 0.03 0 0.01
end
channel blip blip delay 1
pattern p 32 step 32
  blip A5
end
section s 1
  play p
end
)");
    const auto level = [&song](double at, std::size_t channel) {
        return ChannelRms(Slice(song, at, at + 0.05), 2, channel);
    };
    // The dry blip is in the middle; the first echo is left, the second right.
    EXPECT_GT(level(0.25, 0), 10.0 * level(0.25, 1));
    EXPECT_GT(level(0.5, 1), 10.0 * level(0.5, 0));
    EXPECT_LT(level(0.12, 0), 0.05 * level(0.25, 0));
    EXPECT_GT(level(0.5, 1), 0.2 * level(0.25, 0));
}

TEST(SynthRenderTest, AutomationRampsGainAndCutoff)
{
    const std::vector<float> song = Render(R"(
tempo 120
master loudness -20 fadeout 0 threshold 0 ratio 1
instrument buzz synth
  osc saw
  filter lowpass 300
end
channel buzz buzz
pattern p 32 step 32
  buzz A3
end
section s 4
  play p
  ramp buzz gain -20 0 bars 1-2
  ramp buzz cutoff 300 8000 bars 3-4
end
)");
    // Gain: 20 dB up over the first two bars (two seconds each).
    EXPECT_NEAR(RmsDb(Slice(song, 3.7, 3.9)) - RmsDb(Slice(song, 0.05, 0.25)), 19.0, 1.5);
    // Cutoff: the 16th harmonic of A3 (3520 Hz) opens up.
    const double closed = ChannelToneDb(Slice(song, 4.0, 5.0), 2, 0, kSampleRate, 3520.0);
    const double open = ChannelToneDb(Slice(song, 7.0, 8.0), 2, 0, kSampleRate, 3520.0);
    EXPECT_GT(open - closed, 30.0);
}

TEST(SynthRenderTest, SectionMapFollowsTheBars)
{
    const synth::Score score = synth::ParseScore(
        "instrument k kick\nend\nchannel k k\npattern p 32\n  k X . . . . . . . . . . . . . . .\nend\n"
        "section intro 8\nend\nsection drop 4\n  play p\nend\nsection end 1\nend\n",
        "map.score");
    const std::vector<synth::SectionStart> map = synth::SectionMap(score);
    ASSERT_EQ(map.size(), 3u);
    EXPECT_EQ(map[1].name, "drop");
    EXPECT_EQ(map[1].row, 256);
    EXPECT_DOUBLE_EQ(map[1].seconds, 15.0);
    EXPECT_EQ(map[2].row, 384);
    EXPECT_DOUBLE_EQ(map[2].seconds, 22.5);
}

} // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "LoudnessMeasure.h"
#include "SignalMeasure.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "audio/OggDecoder.h"
#include "audio/bass.h"

namespace {

// A file of this repository; the test's own path may be relative to the build folder, which
// also holds orvala-tool.
std::filesystem::path RepoFile(const std::string& relative)
{
    std::filesystem::path self(__FILE__);
    if (self.is_relative())
        self = std::filesystem::path(ORVALA_TOOL_PATH).parent_path() / self;
    return self.parent_path().parent_path() / relative;
}

std::vector<float> Decode(const std::string& bytes, unsigned& rate, unsigned& channels)
{
    const DecodedAudio audio = OggDecoder::Decode(bytes.data(), bytes.size());
    EXPECT_EQ(audio.error, BASS_OK);
    rate = audio.rate;
    channels = audio.channels;
    std::vector<float> samples;
    samples.reserve(audio.samples.size());
    for (std::int16_t s : audio.samples)
        samples.push_back(s / 32768.0f);
    return samples;
}

const char* const kSmallScore = R"(# two bars of a pluck over a kick
tempo 128
instrument kick kick
end
instrument pluck synth
  osc saw
  filter lowpass 900 0.2
  amp 0.001 0.3 0 0.2
end
channel kick kick
channel pluck pluck pan 0.5 reverb 0.3
pattern p 32 step 8
  kick  X X X X
  pluck A3 C4 E4 ^
end
section verse 2
  play p
end
section end 1
end
)";

class MusicCommandsTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return (dir.path() / name).string(); }

    TempDir dir;
};

TEST_F(MusicCommandsTest, RenderWritesOggVorbisAndOnRequestWave)
{
    WriteFileBytes(Path("small.score"), kSmallScore);
    const ToolResult result = RunTool({"music", "render", Path("small.score"), Path("small.ogg"), "--wav", Path("small.wav")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    unsigned rate = 0, channels = 0;
    const std::vector<float> audio = Decode(ReadFileBytes(Path("small.ogg")), rate, channels);
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(channels, 2u);
    // Three bars at 128 BPM: 3 * 1.875 s.
    EXPECT_EQ(audio.size(), static_cast<std::size_t>(std::lround(5.625 * 44100)) * 2);
    EXPECT_GT(ChannelRms(audio, 2, 1), ChannelRms(audio, 2, 0)); // panned right

    const std::string wav = ReadFileBytes(Path("small.wav"));
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(wav.size(), 44 + audio.size() * 2);
}

TEST_F(MusicCommandsTest, FaultsWriteNothingAndKeepWhatWasThere)
{
    WriteFileBytes(Path("good.score"), kSmallScore);
    WriteFileBytes(Path("bad.score"), "tempo 128\ninstrument lead synth\n  osc saw\n  filter lowpass loud\nend\n");
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"music", "render", Path("bad.score"), Path("out.ogg")},
         Path("bad.score") + ":4: cutoff \"loud\" is not a number\n"},
        {{"music", "render", Path("bad.score"), Path("out.ogg"), "--wav", Path("out.wav")},
         Path("bad.score") + ":4: cutoff \"loud\" is not a number\n"},
        {{"music", "render", Path("none.score"), Path("out.ogg")},
         "cannot read \"" + Path("none.score") + "\": No such file or directory\n"},
        {{"music", "sections", Path("bad.score")}, Path("bad.score") + ":4: cutoff \"loud\" is not a number\n"},
        {{"music", "render", Path("good.score")}, "orvala-tool: music render needs a score and an output file\n"},
        {{"music", "render", Path("good.score"), Path("out.ogg"), "--wav"}, "orvala-tool: --wav needs one file name\n"},
        {{"music", "sections"}, "orvala-tool: music sections needs a score\n"},
        {{"music", "play", Path("good.score")}, "orvala-tool: unknown music subcommand \"play\"\n"},
        {{"music"}, "orvala-tool: music needs a subcommand\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        WriteFileBytes(Path("out.ogg"), "earlier render");
        const ToolResult result = RunTool(c.args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err.substr(0, c.message.size()), c.message);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(ReadFileBytes(Path("out.ogg")), "earlier render");
        EXPECT_FALSE(std::filesystem::exists(Path("out.wav")));
    }
}

TEST_F(MusicCommandsTest, SectionsListsNameFirstRowAndSeconds)
{
    WriteFileBytes(Path("small.score"), kSmallScore);
    const ToolResult result = RunTool({"music", "sections", Path("small.score")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "# section first-row seconds\nverse 0 0\nend 64 3.75\n");
}

// The sync tracks are authored against Content/music/sections.txt; it must say what the score says.
TEST(MusicTuneTest, SectionMapMatchesTheScore)
{
    const ToolResult result = RunTool({"music", "sections", RepoFile("Content/music/orvala.score").string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, ReadFileBytes(RepoFile("Content/music/sections.txt")));
}

// The whole tune, rendered twice at once (the most expensive test here, so its checks share
// the renders): the same bytes both times, and the decoded sound measures up.
TEST(MusicTuneTest, RendersTheSameBytesTwiceAndMeasuresUp)
{
    TempDir dir;
    const std::string score = RepoFile("Content/music/orvala.score").string();
    const std::string first = (dir.path() / "first.ogg").string(), second = (dir.path() / "second.ogg").string();
    auto other = std::async(std::launch::async, [&] { return RunTool({"music", "render", score, second}); });
    const ToolResult one = RunTool({"music", "render", score, first});
    const ToolResult two = other.get();
    ASSERT_EQ(one.exitCode, 0) << one.err;
    ASSERT_EQ(two.exitCode, 0) << two.err;
    const std::string bytes = ReadFileBytes(first);
    ASSERT_EQ(bytes, ReadFileBytes(second));

    unsigned rate = 0, channels = 0;
    const std::vector<float> tune = Decode(bytes, rate, channels);
    ASSERT_EQ(rate, 44100u);
    ASSERT_EQ(channels, 2u);
    const std::size_t frames = tune.size() / 2;
    EXPECT_NEAR(frames / 44100.0, 141.5, 0.05);

    EXPECT_LE(TruePeakDb(tune, 2), -1.0);
    EXPECT_NEAR(IntegratedLufs(tune, 2, rate), -14.0, 1.0);
    double sumLeft = 0.0, sumRight = 0.0, mid = 0.0, side = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double l = tune[2 * i], r = tune[2 * i + 1];
        sumLeft += l;
        sumRight += r;
        mid += (l + r) * (l + r);
        side += (l - r) * (l - r);
    }
    EXPECT_LT(std::fabs(sumLeft / frames), 0.001);
    EXPECT_LT(std::fabs(sumRight / frames), 0.001);
    EXPECT_GT(side / mid, 0.03); // real width, not a mono mix

    const auto slice = [&tune](double from, double to) {
        return std::vector<float>(tune.begin() + 2 * static_cast<long>(from * 44100),
                                  tune.begin() + 2 * static_cast<long>(to * 44100));
    };
    const auto rmsDb = [](const std::vector<float>& part) {
        return 20.0 * std::log10(std::max(1e-9, std::hypot(ChannelRms(part, 2, 0), ChannelRms(part, 2, 1))));
    };
    // The intro is quieter than the first drop; the ending rings out to silence, not a cut.
    EXPECT_LT(IntegratedLufs(slice(0.0, 15.0), 2, rate), IntegratedLufs(slice(30.0, 45.0), 2, rate) - 3.0);
    EXPECT_GT(rmsDb(slice(135.2, 135.7)), -30.0);
    EXPECT_LT(rmsDb(slice(137.0, 137.5)), rmsDb(slice(135.2, 135.7)) - 6.0);
    EXPECT_LT(rmsDb(slice(141.4, 141.5)), -60.0);

    // The kick: in the full sections (drop and groove from 30 s, climax and anthem from 90 s)
    // every beat starts a low-end onset within 10 ms, and every low-end onset there lies on the
    // 16th-note grid (within 20 ms: ducked bass notes swell in a little after their step).
    const double beat = 60.0 / 128.0;
    const std::vector<double> onsets = LowOnsets(tune, rate);
    for (double start : {30.0, 90.0}) {
        for (int b = 0; b < 64; ++b) {
            const double t = start + b * beat;
            const bool found =
                std::any_of(onsets.begin(), onsets.end(), [t](double o) { return std::fabs(o - t) < 0.01; });
            EXPECT_TRUE(found) << "beat at " << t << " s";
        }
    }
    for (double o : onsets) {
        if (o < 30.0 || (o > 59.99 && o < 90.0) || o > 119.99)
            continue;
        const double grid = beat / 4.0;
        const double off = std::fabs(o - std::round(o / grid) * grid);
        EXPECT_LT(off, 0.02) << "onset at " << o << " s";
    }
}

} // namespace

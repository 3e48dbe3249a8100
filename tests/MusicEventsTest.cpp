#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"

namespace {

// Two one-bar sections at 120 BPM, 8 rows a beat: a row is 1/16 s, a bar 32 rows (2 s). The
// rendered length (3 s, 48 rows) ends before the second section's last two steps.
const char* const kScore = R"(tempo 120
rows_per_beat 8
beats_per_bar 4
length 3
instrument kick kick
end
instrument keys synth
  osc saw
  poly 4
end
instrument lead synth
  osc saw
  mono
end
instrument pluck synth
  osc saw
  arp up 4 1 0.5
end
channel kick kick
channel keys keys
channel solo lead
channel arp pluck
pattern p 32 step 8
  kick  X x o@30 .
  keys  A3+C4 . ^ .
  solo  C4+E4 ~G4 . ^
end
pattern a 32 step 16
  arp   C4+E4 .
end
section one 1
  play p
end
section two 1
  play p
  play a
end
)";

class MusicEventsTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFileBytes(score, kScore); }

    TempDir dir;
    const std::string score = (dir.path() / "tiny.score").string();
};

TEST_F(MusicEventsTest, ListsNotesAndHitsInRowOrderPerVoiceOrAll)
{
    // Chords give a line per note (a mono voice plays only its top note), gliding notes carry a
    // "~", releases and empty steps give none, drums are named by their instrument, the
    // arpeggio is spelled out, and nothing starts after the rendered length.
    const std::string header = "# row seconds voice note velocity\n";
    struct Case {
        std::vector<std::string> voice;
        std::string lines;
    };
    const Case cases[] = {
        {{},
         "0 0.000 kick kick 1.00\n"
         "0 0.000 keys A3 0.80\n"
         "0 0.000 keys C4 0.80\n"
         "0 0.000 solo E4 0.80\n"
         "8 0.500 kick kick 0.80\n"
         "8 0.500 solo ~G4 0.80\n"
         "16 1.000 kick kick 0.30\n"
         "32 2.000 kick kick 1.00\n"
         "32 2.000 keys A3 0.80\n"
         "32 2.000 keys C4 0.80\n"
         "32 2.000 solo E4 0.80\n"
         "32 2.000 arp C4 0.80\n"
         "36 2.250 arp E4 0.80\n"
         "40 2.500 kick kick 0.80\n"
         "40 2.500 solo ~G4 0.80\n"
         "40 2.500 arp C4 0.80\n"
         "44 2.750 arp E4 0.80\n"},
        {{"--voice", "kick"},
         "0 0.000 kick kick 1.00\n"
         "8 0.500 kick kick 0.80\n"
         "16 1.000 kick kick 0.30\n"
         "32 2.000 kick kick 1.00\n"
         "40 2.500 kick kick 0.80\n"},
        {{"--voice", "arp"},
         "32 2.000 arp C4 0.80\n"
         "36 2.250 arp E4 0.80\n"
         "40 2.500 arp C4 0.80\n"
         "44 2.750 arp E4 0.80\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"music", "events", score};
        args.insert(args.end(), c.voice.begin(), c.voice.end());
        const ToolResult result = RunTool(args);
        SCOPED_TRACE(c.voice.empty() ? "all voices" : c.voice[1]);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, header + c.lines);
    }
    // The voice may come before the score.
    EXPECT_EQ(RunTool({"music", "events", "--voice", "kick", score}).out, RunTool({"music", "events", score, "--voice", "kick"}).out);
}

TEST_F(MusicEventsTest, FaultsExitWithOneAndSayWhat)
{
    WriteFileBytes(dir.path() / "bad.score", "tempo 120\ninstrument x synth\n  osc wobble\nend\n");
    struct Case {
        std::vector<std::string> args;
        std::string message; // the start of standard error
    };
    const Case cases[] = {
        {{"music", "events", score, "--voice", "snare"},
         score + ": no voice \"snare\"; its voices are kick keys solo arp\n"},
        {{"music", "events", score, "--voice"}, "orvala-tool: --voice needs one voice name\n"},
        {{"music", "events", score, "--voice", "kick", "--voice", "arp"}, "orvala-tool: --voice is given twice\n"},
        {{"music", "events"}, "orvala-tool: music events needs a score\n"},
        {{"music", "events", score, score}, "orvala-tool: stray argument \"" + score + "\"\n"},
        {{"music", "events", (dir.path() / "bad.score").string()}, (dir.path() / "bad.score").string() + ":3:"},
        {{"music", "events", (dir.path() / "missing.score").string()},
         "cannot read \"" + (dir.path() / "missing.score").string() + "\": No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const ToolResult result = RunTool(c.args);
        SCOPED_TRACE(c.message);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.compare(0, c.message.size(), c.message), 0) << result.err;
    }
}

} // namespace

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "common/AccentTracks.h"
#include "common/TrackText.h"
#include "common/synth/ScoreParser.h"
#include "sync/Track.h"

namespace {

// Three sections at 8 rows a beat, 32 rows a bar: "calm" (rows 0-31, snare on 8 and 24), "loud"
// (32-95: snare on 40 and 56, then a fill on 88, 92 and 94) and "last" (96-127: on 104 and 120).
const char* const kScore = R"(tempo 120
instrument snare snare
end
channel snare snare
channel clap snare
pattern two 32 step 8
  snare . X . X
end
pattern fill 32 step 2
  snare . . . . . . . . . . . . X . X X
end
section calm 1
  play two
end
section loud 2
  play two bars 1-1
  play fill bars 2-2
end
section last 1
  play two
end
)";

synth::Score TinyScore() { return synth::ParseScore(kScore, "tiny.score"); }

// The track as the demo evaluates it.
sync::Track Evaluated(const TrackKeys& keys)
{
    sync::Track track("T");
    for (const auto& [row, key] : keys)
        track.setKeyFrame(row, key);
    return track;
}

struct RowValue {
    float row;
    float value;
};

TEST(AccentTracksTest, ShapesFollowTheScoreAndAreZeroElsewhere)
{
    struct Case {
        const char* rules;
        std::vector<RowValue> expected; // track "T"
    };
    const Case cases[] = {
        // A kick on every hit of the voice in the sections named, none on the others' hits; a
        // hit before the decay ends cuts it short, the value it reached held for its last row.
        {"T on snare in loud peak 1 decay 8 linear",
         {{0, 0}, {8, 0}, {24, 0}, {39.5f, 0}, {40, 1}, {44, 0.5f}, {48, 0}, {56, 1}, {64, 0},
          {88, 1}, {91, 0.625f}, {91.5f, 0.625f}, {92, 1}, {93, 0.875f}, {93.5f, 0.875f}, {94, 1},
          {95, 0.875f}, {95.5f, 0.875f}, {96, 0}, {104, 0}, {120, 0}}},
        // On the first row of each section, falling back as the interpolation says.
        {"T at loud,last peak 0.5 decay 4 smooth", {{31, 0}, {32, 0.5f}, {34, 0.25f}, {36, 0}, {95, 0}, {96, 0.5f}, {100, 0}}},
        {"T at loud peak 1 decay 4 step", {{32, 1}, {35.9f, 1}, {36, 0}}},
        // A fade in the last section never ends.
        {"T at last fade -1 over 16", {{95, 0}, {96, 0}, {104, -0.5f}, {112, -1}, {128, -1}, {1e6f, -1}}},
        {"T at calm fade 2 over 8 linear", {{4, 1}, {8, 2}, {31.5f, 2}, {32, 0}}},
        // A held value runs on through adjacent sections and ends with the last of them.
        {"T at loud,last hold 2", {{31.9f, 0}, {32, 2}, {95.9f, 2}, {96, 2}, {5000, 2}}},
        {"T at loud hold 2", {{32, 2}, {95.9f, 2}, {96, 0}}},
        // Rules of one track side by side, comments and blank lines.
        {"# flash\n\nT at loud peak 1 decay 4   # the drop\nT at last fade -1 over 16\n",
         {{32, 1}, {34, 0.5f}, {36, 0}, {95, 0}, {104, -0.5f}, {112, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rules);
        const std::map<std::string, TrackKeys> tracks = BuildAccentTracks(ParseAccentRules(c.rules), TinyScore());
        ASSERT_EQ(tracks.size(), 1u);
        const sync::Track track = Evaluated(tracks.at("T"));
        for (const RowValue& expected : c.expected)
            EXPECT_NEAR(track.getValue(expected.row), expected.value, 1e-6f) << "row " << expected.row;
    }
}

TEST(AccentTracksTest, EveryTrackNamedGetsItsOwnKeys)
{
    const std::map<std::string, TrackKeys> tracks =
        BuildAccentTracks(ParseAccentRules("A on snare in calm peak 1 decay 4\nB at last hold 3\nA at last hold 5\n"),
                          TinyScore());
    ASSERT_EQ(tracks.size(), 2u);
    const sync::Track a = Evaluated(tracks.at("A"));
    const sync::Track b = Evaluated(tracks.at("B"));
    EXPECT_EQ(a.getValue(8), 1.0f);
    EXPECT_EQ(a.getValue(24), 1.0f);
    EXPECT_EQ(a.getValue(40), 0.0f);
    EXPECT_EQ(a.getValue(100), 5.0f);
    EXPECT_EQ(b.getValue(8), 0.0f);
    EXPECT_EQ(b.getValue(100), 3.0f);
}

TEST(AccentTracksTest, FaultsNameTheirLine)
{
    struct Case {
        const char* rules;
        unsigned line;
        const char* message;
    };
    const Case cases[] = {
        {"T on kick in loud peak 1 decay 4", 1, "the score has no voice \"kick\""},
        {"T at calm hold 1\nT at chorus hold 1", 2, "the score has no section \"chorus\""},
        {"# c\nT at loud hold 1\n\nT at loud,last peak 1 decay 4", 4, "T at row 32 covers rows the rule of line 2 covers"},
        {"T at last fade 1 over 4\nT on snare in last peak 1 decay 2", 2, "T at row 104 covers rows the rule of line 1 covers"},
        {"T at loud wobble 1", 1, "unknown shape \"wobble\" (peak, hold or fade)"},
        {"T at loud peak 1", 1, "missing \"decay\" after the peak value"},
        {"T at loud peak 1 over 4", 1, "\"decay <rows>\" must follow the peak value"},
        {"T at loud fade 1 decay 4", 1, "\"over <rows>\" must follow the fade value"},
        {"T at loud peak 1 decay 0", 1, "rows \"0\" is not a whole number from 1 to 1000000"},
        {"T at loud peak 1 decay -4", 1, "rows \"-4\" is not a whole number from 1 to 1000000"},
        {"T at loud peak 1 decay 4 cubic", 1, "unknown interpolation \"cubic\" (step, linear, smooth or ramp)"},
        {"T at loud hold 1 more", 1, "unexpected \"more\" at the end"},
        {"T at loud hold nan", 1, "value \"nan\" is not a finite number"},
        {"T at loud hold", 1, "missing held value"},
        {"T in loud hold 1", 1, "\"in\" is neither \"at\" nor \"on\""},
        {"T on snare loud hold 1", 1, "\"in\" and the sections must follow the voice"},
        {"T at loud,,last hold 1", 1, "empty section name in \"loud,,last\""},
        {"T", 1, "missing \"at\" or \"on\" after the track name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rules);
        try {
            BuildAccentTracks(ParseAccentRules(c.rules), TinyScore());
            ADD_FAILURE() << "no fault reported";
        } catch (const AccentRulesError& e) {
            EXPECT_EQ(e.Line(), c.line);
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST(AccentTracksTest, ToolWritesTrackTextsOrNothing)
{
    TempDir dir;
    const std::filesystem::path score = dir.path() / "tiny.score", rules = dir.path() / "accents.rules",
                                out = dir.path() / "out";
    WriteFileBytes(score, kScore);
    WriteFileBytes(rules, "Kick on snare in loud peak 1 decay 8\nFade at last fade -1 over 16\n");
    std::filesystem::create_directories(out);

    ToolResult result = RunTool({"track", "accents", rules.string(), score.string(), out.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::map<std::string, TrackKeys> expected =
        BuildAccentTracks(ParseAccentRules(ReadFileBytes(rules)), synth::ParseScore(kScore, "tiny.score"));
    for (const char* name : {"Kick", "Fade"}) {
        SCOPED_TRACE(name);
        const std::filesystem::path text = out / (std::string(name) + ".txt");
        const TrackKeys keys = ParseTrackText(ReadFileBytes(text));
        EXPECT_EQ(FormatTrackText(keys), FormatTrackText(expected.at(name)));
        // The build compiles them as it compiles the typed ones.
        const ToolResult compiled = RunTool({"track", "compile", text.string(), (out / (std::string(name) + ".track")).string()});
        EXPECT_EQ(compiled.exitCode, 0) << compiled.err;
    }

    // Faulty rules or a missing folder: exit 1, the place of the fault, no file written.
    const std::filesystem::path empty = dir.path() / "empty";
    std::filesystem::create_directories(empty);
    WriteFileBytes(rules, "Kick on snare in loud peak 1 decay 8\nFade at coda fade -1 over 16\n");
    result = RunTool({"track", "accents", rules.string(), score.string(), empty.string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, rules.string() + ":2: the score has no section \"coda\"\n");
    EXPECT_TRUE(std::filesystem::is_empty(empty));

    WriteFileBytes(rules, "Kick on snare in loud peak 1 decay 8\n");
    result = RunTool({"track", "accents", rules.string(), score.string(), (dir.path() / "nowhere").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "nowhere"));
    result = RunTool({"track", "accents", rules.string(), score.string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.rfind("orvala-tool: track accents needs a rules file, a score and an output folder\n", 0), 0u)
        << result.err;
}

} // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "TempDir.h"
#include "common/synth/ChannelEvents.h"
#include "common/synth/NoteName.h"
#include "common/synth/ScoreParser.h"

namespace {

using synth::ParseScore;
using synth::ScoreError;

// Two instruments and their channels on lines 1-6; the cases add from line 7 on.
const std::string kPrelude = "instrument lead synth\n"
                             "  osc saw\n"
                             "end\n"
                             "instrument kick kick\n"
                             "end\n"
                             "channel lead lead\nchannel kick kick\n";

TEST(SynthScoreTest, NoteNamesAndChords)
{
    const struct {
        const char* text;
        std::vector<int> notes; // empty: not a note or chord
    } cases[] = {
        {"A4", {69}},
        {"C4", {60}},
        {"C#3", {49}},
        {"Bb2", {46}},
        {"C-1", {0}},
        {"G9", {127}},
        {"A3+C4+E4", {57, 60, 64}},
        {"Am:3", {57, 60, 64}},
        {"F:3", {53, 57, 60}},
        {"Gsus4:2", {43, 48, 50}},
        {"Ebmaj7:3", {51, 55, 58, 62}},
        {"H3", {}},
        {"A10", {}},
        {"G#9", {}},
        {"Cb-1", {}},
        {"a4", {}},
        {"A", {}},
        {"A3+", {}},
        {"+A3", {}},
        {"Am:", {}},
        {"Ax:3", {}},
        {"Am3", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<int> notes;
        EXPECT_EQ(synth::ParseChord(c.text, notes), !c.notes.empty());
        if (!c.notes.empty()) {
            EXPECT_EQ(notes, c.notes);
        }
    }
}

TEST(SynthScoreTest, FaultsNameTheFileAndLine)
{
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"tempo fast\n", "bad.score:1: tempo \"fast\" is not a number"},
        {"\n\ntempo 1000\n", "bad.score:3: tempo 1000 is outside 20 .. 400"},
        {"swing 50\n", "bad.score:1: unknown keyword \"swing\""},
        {"end\n", "bad.score:1: \"end\" without a block to close"},
        {"instrument a organ\nend\n", "bad.score:1: unknown instrument kind \"organ\" (synth, kick, snare, clap or hat)"},
        {"instrument a synth\nend\n", "bad.score:2: instrument \"a\" has no oscillator"},
        {"instrument a synth\n  osc wobble\nend\n",
         "bad.score:2: unknown wave \"wobble\" (sine, triangle, saw, square, pulse, supersaw or noise)"},
        {"instrument a synth\n  osc saw\n  pitch 40\nend\n", "bad.score:3: \"pitch\" is not a setting of a synth instrument"},
        {"instrument k kick\n  osc saw\nend\n", "bad.score:2: \"osc\" is not a setting of a drum instrument"},
        {"instrument a synth\n  osc saw\n  amp 0.1 0.2 1.5 0.1\nend\n", "bad.score:3: sustain 1.5 is outside 0 .. 1"},
        {"instrument a synth\n  osc saw\n", "bad.score:1: this block has no \"end\""},
        {kPrelude + "channel lead lead\n", "bad.score:8: channel \"lead\" is already defined"},
        {kPrelude + "channel pad strings\n", "bad.score:8: unknown instrument \"strings\""},
        {kPrelude + "channel bass lead loud 3\n", "bad.score:8: unknown channel setting \"loud\""},
        {kPrelude + "pattern p 32 step 3\n", "bad.score:8: pattern rows 32 are not a whole number of steps of 3"},
        {kPrelude + "pattern p 8 step 2\n  lead A3 . . .\n  bass A3 . . .\nend\n", "bad.score:10: unknown channel \"bass\""},
        {kPrelude + "pattern p 8 step 2\n  lead A3 . H3 .\nend\n",
         "bad.score:9: \"H3\" is not a note or chord (e.g. A3, C#4, A3+C4+E4, Am:3, ^ or .)"},
        {kPrelude + "pattern p 8 step 2\n  kick x . A3 .\nend\n",
         "bad.score:9: \"A3\" is not a drum hit (x, X, o, ^ or ., with an optional @velocity)"},
        {kPrelude + "pattern p 8 step 2\n  lead A3@0 . . .\nend\n", "bad.score:9: velocity 0 is outside 1 .. 100"},
        {kPrelude + "pattern p 8 step 2\n  lead A3 . . . .\nend\n",
         "bad.score:9: channel \"lead\" has more than the 4 steps of pattern \"p\""},
        {kPrelude + "pattern p 8 step 2\n  lead A3 .\n  lead . \nend\n",
         "bad.score:11: channel \"lead\" has 3 steps in pattern \"p\", which needs 4"},
        {kPrelude + "pattern p 8\nend\n", "bad.score:9: pattern \"p\" plays no channel"},
        {kPrelude + "section a 4\n  play nothing\nend\n", "bad.score:9: unknown pattern \"nothing\""},
        {kPrelude + "pattern p 8\n  lead A3 . . .\nend\nsection a 4\n  play p bars 3-9\nend\n",
         "bad.score:12: bar 9 is outside 1 .. 4"},
        {kPrelude + "pattern p 8\n  lead A3 . . .\nend\nsection a 4\n  play p bars 3-2\nend\n",
         "bad.score:12: bars 3-2 end before they start"},
        {kPrelude + "section a 4\n  ramp lead cutoff 100 200\nend\n",
         "bad.score:9: channel \"lead\" plays an instrument without a filter"},
        {kPrelude + "section a 4\n  ramp master cutoff 100 200\nend\n",
         "bad.score:9: the master bus has only a gain to automate"},
        {kPrelude + "section a 4\n  set lead wobble 1\nend\n",
         "bad.score:9: unknown parameter \"wobble\" (gain, cutoff, reverb, delay or pan)"},
        {kPrelude + "section a 4\nend\nsection a 4\nend\n", "bad.score:10: section \"a\" is already defined"},
        {kPrelude + "sidechain drums\n", "bad.score:8: unknown channel \"drums\""},
        {kPrelude, "bad.score:7: the score has no section"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParseScore(c.text, "bad.score");
            ADD_FAILURE() << "no error";
        } catch (const ScoreError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

TEST(SynthScoreTest, ReadsAScoreIntoItsParts)
{
    const synth::Score score = ParseScore(kPrelude + "tempo 120   # two beats a second\n"
                                                     "delay rows 6 feedback 0.5\n"
                                                     "master loudness -16 ceiling -1\n"
                                                     "sidechain kick release 0.3\n"
                                                     "pattern riff 64 step 4\n"
                                                     "  lead  A3 . ^ . | C4@50 . ~E4 .\n"
                                                     "  kick  X . o . | x@30 . . .\n"
                                                     "  lead,kick  . . . . | . . . .\n"
                                                     "end\n"
                                                     "section s 2\n  play riff\nend\n",
                                          "riff.score");
    EXPECT_EQ(score.tempo, 120.0);
    EXPECT_EQ(score.delay.rows, 6);
    EXPECT_EQ(score.delay.feedback, 0.5);
    EXPECT_EQ(score.master.loudness, -16.0);
    EXPECT_EQ(score.master.ceiling, -1.0);
    EXPECT_EQ(score.duckKey, 1);
    EXPECT_EQ(score.duckRelease, 0.3);
    ASSERT_EQ(score.patterns.size(), 1u);
    ASSERT_EQ(score.patterns[0].lanes.size(), 2u);
    const auto& lead = score.patterns[0].lanes[0].events;
    ASSERT_EQ(lead.size(), 4u);
    EXPECT_EQ(lead[0].row, 0);
    EXPECT_EQ(lead[0].step.notes, std::vector<int>{57});
    EXPECT_EQ(lead[1].row, 8);
    EXPECT_EQ(lead[1].step.kind, synth::Step::Kind::Release);
    EXPECT_EQ(lead[2].row, 16);
    EXPECT_DOUBLE_EQ(lead[2].step.velocity, 0.5);
    EXPECT_EQ(lead[3].row, 24);
    EXPECT_TRUE(lead[3].step.glide);
    const auto& kick = score.patterns[0].lanes[1].events;
    ASSERT_EQ(kick.size(), 3u);
    EXPECT_DOUBLE_EQ(kick[0].step.velocity, 1.0);
    EXPECT_DOUBLE_EQ(kick[1].step.velocity, 0.45);
    EXPECT_DOUBLE_EQ(kick[2].step.velocity, 0.3);
    EXPECT_EQ(kick[2].row, 16);
}

TEST(SynthScoreTest, ReadingAMissingFileIsAnError)
{
    TempDir dir;
    EXPECT_THROW(synth::ReadScoreFile((dir.path() / "none.score").string()), ScoreError);
}

TEST(SynthScoreTest, SectionsLoopTheirPatternsAndArpeggiosSpellOutChords)
{
    const synth::Score score = ParseScore("instrument arp synth\n"
                                          "  osc saw\n"
                                          "  arp updown 4 2 0.5\n"
                                          "end\n"
                                          "instrument pad synth\n  osc saw\nend\n"
                                          "channel arp arp\nchannel pad pad\n"
                                          "pattern a 32 step 32\n  arp A3+C4 \nend\n"
                                          "pattern p 16 step 8\n  pad A3 .\nend\n"
                                          "pattern q 16 step 8\n  pad E3 ^\nend\n"
                                          "section one 2\n  play p\n  play q bars 2\nend\n"
                                          "section two 1\n  play a\nend\n"
                                          "pattern long 96 step 32\n  pad C4 D4 E4\nend\n"
                                          "section three 3\n  play long bars 2-3\nend\n",
                                          "loop.score");
    ASSERT_EQ(score.sections.size(), 3u);
    EXPECT_EQ(score.sections[1].startRow, 64);
    EXPECT_EQ(score.EndRow(), 192);

    // p loops four times over two bars; in bar 2 q joins on the same rows.
    const std::vector<synth::TimedStep> pad = synth::ChannelEvents(score, 1);
    std::vector<double> rows;
    for (const auto& e : pad)
        rows.push_back(e.row);
    // In section three the three-bar pattern placed from bar 2 starts with its own bar 2.
    EXPECT_EQ(rows, (std::vector<double>{0, 16, 32, 40, 48, 56, 64, 128, 160, 192}));
    EXPECT_EQ(pad[2].step.notes, (std::vector<int>{57, 52}));
    EXPECT_EQ(pad[3].step.kind, synth::Step::Kind::Release); // q's release on the row p leaves free
    EXPECT_EQ(pad[6].step.kind, synth::Step::Kind::Release); // where the placements end
    EXPECT_EQ(pad[7].step.notes, std::vector<int>{62});
    EXPECT_EQ(pad[8].step.notes, std::vector<int>{64});
    EXPECT_EQ(pad[9].step.kind, synth::Step::Kind::Release);

    // A3 C4 up two octaves and down again: A3 C4 A4 C5 A4 C4, a step every 4 rows, half a step long.
    const std::vector<synth::TimedStep> arp = synth::ChannelEvents(score, 0);
    std::vector<int> notes;
    for (const auto& e : arp) {
        if (e.step.kind == synth::Step::Kind::Notes) {
            notes.push_back(e.step.notes.at(0));
            EXPECT_EQ(std::fmod(e.row - 64, 4.0), 0.0);
        } else if (e.row < 96) {
            EXPECT_EQ(std::fmod(e.row - 64, 4.0), 2.0);
        }
    }
    EXPECT_EQ(notes, (std::vector<int>{57, 60, 69, 72, 69, 60, 57, 60}));
}

} // namespace

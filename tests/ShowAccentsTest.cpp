#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ToolRun.h"
#include "common/AccentTracks.h"

// The accent tracks of the show as the demo reads them from the built archive, against the
// notes and sections of the show's tune.
namespace {

const std::string kScore = std::string(ORVALA_SOURCE_DIR) + "/Content/music/orvala.score";
constexpr double kRowsPerSecond = 256.0 / 15.0; // 128 BPM, 8 rows a beat

std::vector<float> TrackValues(const std::string& track, const std::vector<double>& rows)
{
    std::vector<std::string> args = {"track", "eval", ORVALA_CONTENT_ARCHIVE, track};
    for (double row : rows) {
        char text[32];
        std::snprintf(text, sizeof text, "%.4f", row);
        args.push_back(text);
    }
    const ToolResult result = RunTool(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::vector<float> values;
    std::istringstream in(result.out);
    for (float value; in >> value;)
        values.push_back(value);
    EXPECT_EQ(values.size(), rows.size()) << track;
    values.resize(rows.size(), NAN);
    return values;
}

struct Range {
    int first = 0;
    int end = 0; // exclusive
};

// Each section of the tune by name, from `music sections`; the last one runs to 141.5 s.
std::map<std::string, Range> Sections()
{
    const ToolResult result = RunTool({"music", "sections", kScore});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::map<std::string, Range> sections;
    std::istringstream in(result.out);
    std::string line, last;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string name;
        int row = 0;
        words >> name >> row;
        if (!last.empty())
            sections[last].end = row;
        sections[name] = Range{row, static_cast<int>(std::ceil(141.5 * kRowsPerSecond))};
        last = name;
    }
    return sections;
}

// The rows where a voice of the tune plays, from `music events`.
std::vector<double> VoiceRows(const std::string& voice)
{
    const ToolResult result = RunTool({"music", "events", kScore, "--voice", voice});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::vector<double> rows;
    std::istringstream in(result.out);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            rows.push_back(std::stod(line));
    return rows;
}

const char* const kEnergetic[] = {"drop", "climax", "anthem"};
const char* const kCalm[] = {"intro", "build", "groove", "breakdown", "rise", "outro", "end"};

TEST(ShowAccentsTest, FlashOnTheFirstBeatOfTheDropClimaxAndAnthemThenBlackAtTheEnd)
{
    const std::map<std::string, Range> sections = Sections();
    ASSERT_EQ(sections.size(), 10u);

    // A white flash on each first beat, gone within two beats; nothing anywhere else before the
    // end section, at whole and half rows.
    std::vector<double> rows;
    for (int row = 0; row < sections.at("end").first * 2; ++row)
        rows.push_back(row * 0.5);
    const std::vector<float> flash = TrackValues("Flash", rows);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        bool flashing = false;
        for (const char* name : kEnergetic) {
            const int first = sections.at(name).first;
            if (rows[i] == first) {
                EXPECT_GT(flash[i], 0.25f) << name << " starts at row " << first;
            }
            flashing = flashing || (rows[i] >= first && rows[i] < first + 16);
        }
        if (!flashing) {
            EXPECT_EQ(flash[i], 0.0f) << "row " << rows[i];
        } else {
            EXPECT_GE(flash[i], 0.0f) << "row " << rows[i];
        }
    }

    // Over the end section the picture darkens smoothly (never brighter again, no jump) and is
    // black from 140 s to the end of the show.
    std::vector<double> fade;
    for (double row = sections.at("end").first; row <= 141.5 * kRowsPerSecond; row += 0.25)
        fade.push_back(row);
    const std::vector<float> end = TrackValues("Flash", fade);
    for (std::size_t i = 1; i < fade.size(); ++i) {
        EXPECT_LE(end[i], end[i - 1]) << "row " << fade[i];
        EXPECT_LT(end[i - 1] - end[i], 0.02f) << "row " << fade[i];
        if (fade[i] >= 140.0 * kRowsPerSecond) {
            EXPECT_EQ(end[i], -1.0f) << "row " << fade[i];
        }
    }
    EXPECT_EQ(end.front(), 0.0f);
}

TEST(ShowAccentsTest, TwitchKicksOnTheBackbeatOfTheEnergeticSectionsOnly)
{
    const std::map<std::string, Range> sections = Sections();
    // The voice the rules follow; whichever it is, it must play the backbeat of those sections.
    const std::vector<AccentRule> rules =
        ParseAccentRules(ReadFileBytes(std::string(ORVALA_SOURCE_DIR) + "/Content/sync/accents.rules"));
    std::string voice;
    for (const AccentRule& rule : rules)
        if (rule.track == "TwitchWeight")
            voice = rule.voice;
    ASSERT_FALSE(voice.empty()) << "TwitchWeight follows no voice";

    std::vector<double> hits;
    for (const char* name : kEnergetic) {
        const Range range = sections.at(name);
        std::vector<double> inside;
        for (double row : VoiceRows(voice))
            if (row >= range.first && row < range.end)
                inside.push_back(row);
        EXPECT_GE(inside.size(), 16u) << voice << " in the " << name;
        hits.insert(hits.end(), inside.begin(), inside.end());
    }
    // Weight and colour fringes kick on each hit; a hit a beat or more before the next has
    // settled again by the row before it.
    for (const char* track : {"TwitchWeight", "TwitchRGB"}) {
        const std::vector<float> onHits = TrackValues(track, hits);
        std::vector<double> before;
        for (std::size_t i = 0; i + 1 < hits.size(); ++i)
            if (hits[i + 1] - hits[i] >= 8)
                before.push_back(hits[i + 1] - 1);
        const std::vector<float> settled = TrackValues(track, before);
        for (std::size_t i = 0; i < hits.size(); ++i)
            EXPECT_GT(onHits[i], 0.0f) << track << " on the hit at row " << hits[i];
        for (std::size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ(settled[i], 0.0f) << track << " at row " << before[i];
    }

    // In the calm sections no twitch at all, at whole and half rows.
    std::vector<double> calm;
    for (const char* name : kCalm)
        for (int row = sections.at(name).first * 2; row < sections.at(name).end * 2; ++row)
            calm.push_back(row * 0.5);
    for (const char* track : {"TwitchWeight", "TwitchRGB"}) {
        const std::vector<float> values = TrackValues(track, calm);
        for (std::size_t i = 0; i < calm.size(); ++i)
            EXPECT_EQ(values[i], 0.0f) << track << " at row " << calm[i];
    }
}

} // namespace

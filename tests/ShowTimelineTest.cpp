#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "LitSceneShow.h"
#include "SceneHandler.h"
#include "ShowComposition.h"
#include "ToolRun.h"
#include "show/ShowRecorder.h"

namespace {

// The last row of the show: 141.5 s at 256/15 rows a second.
constexpr int kLastRow = 2415;

// The first rows of the tune's sections.
std::set<int> SectionRows()
{
    std::ifstream in(std::string(ORVALA_SOURCE_DIR) + "/Content/music/sections.txt");
    std::set<int> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string name;
        int row = -1;
        if (words >> name >> row)
            rows.insert(row);
    }
    return rows;
}

// A track of the built archive at every row of the show.
std::vector<float> TrackAtEveryRow(const std::string& track)
{
    std::vector<std::string> args = {"track", "eval", ORVALA_CONTENT_ARCHIVE, track};
    for (int row = 0; row <= kLastRow; ++row)
        args.push_back(std::to_string(row));
    const ToolResult result = RunTool(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::vector<float> values;
    std::istringstream lines(result.out);
    float value = 0.0f;
    while (lines >> value)
        values.push_back(value);
    EXPECT_EQ(values.size(), static_cast<std::size_t>(kLastRow + 1)) << track;
    return values;
}

// Where the scenes and the cameras change: scenes only where a section of the tune begins, cameras
// only on bar lines; every scene of the show plays, the loader never does.
TEST(ShowTimelineTest, ScenesChangeOnSectionsAndCamerasOnBars)
{
    const std::set<int> sections = SectionRows();
    ASSERT_GE(sections.size(), 8u);
    const std::vector<float> scene = TrackAtEveryRow("Scene");
    const std::vector<float> camera = TrackAtEveryRow("ActiveCam");
    ASSERT_EQ(scene.size(), camera.size());
    std::set<int> shown;
    for (std::size_t row = 0; row < scene.size(); ++row) {
        const int index = static_cast<int>(scene[row]);
        shown.insert(index);
        EXPECT_EQ(scene[row], std::floor(scene[row])) << "row " << row;
        if (row > 0 && scene[row] != scene[row - 1]) {
            EXPECT_EQ(sections.count(static_cast<int>(row)), 1u) << "the scene changes at row " << row;
        }
        if (row > 0 && camera[row] != camera[row - 1]) {
            EXPECT_EQ(row % 32, 0u) << "the camera cuts at row " << row;
        }
    }
    const int loader = static_cast<int>(ShowSceneNames().size()) - 1;
    EXPECT_EQ(ShowSceneNames()[loader], "LoaderBarScene");
    for (int index = 0; index < loader; ++index)
        EXPECT_EQ(shown.count(index), 1u) << ShowSceneNames()[index] << " never plays";
    EXPECT_EQ(shown.count(loader), 0u);
    EXPECT_EQ(*shown.rbegin(), loader - 1) << "an index beyond the scenes";
}

struct Luma {
    double mean = 0.0;
    double deviation = 0.0;
};

Luma MeasureLuma(const std::vector<unsigned char>& bgra)
{
    double sum = 0.0, squares = 0.0;
    const std::size_t n = bgra.size() / 4;
    for (std::size_t i = 0; i < n; ++i) {
        const double y = 0.0722 * bgra[i * 4] + 0.7152 * bgra[i * 4 + 1] + 0.2126 * bgra[i * 4 + 2];
        sum += y;
        squares += y * y;
    }
    Luma luma;
    luma.mean = sum / n;
    luma.deviation = std::sqrt(std::max(0.0, squares / n - luma.mean * luma.mean));
    return luma;
}

// The scene's high-range targets that hold texels that are not numbers.
std::string NonFiniteTargets()
{
    std::string found;
    for (const char* name : {"Color", "Light", "Light3", "NormalDepth"}) {
        long bad = 0;
        try {
            bad = lit_scene_show::NonFiniteTexels(name);
        } catch (...) {
            continue; // the scene has no target of that name
        }
        if (bad > 0)
            found += std::string(name) + " (" + std::to_string(bad) + ") ";
    }
    return found;
}

// The whole show once a second, small, as a capture at one frame a second draws it: every frame
// shows the scene the track "Scene" names, lit (not black, not one flat colour, no texel that is
// not a number) until the fade of the last section, and black at the very end. A contact sheet of it is left for a person.
TEST(ShowTimelineTest, TheWholeShowOnceASecond)
{
    constexpr unsigned kWidth = 160, kHeight = 90, kColumns = 12;
    // The last section (from 135 s) fades the picture out; it is black from 140 s.
    constexpr long kEndSection = 135, kBlackFrom = 140;
    ShowRecorder show(ORVALA_CONTENT_ARCHIVE, kWidth, kHeight, 1);
    const long frames = static_cast<long>(std::ceil(kShowEndTime));
    const unsigned rows = static_cast<unsigned>((frames + kColumns - 1) / kColumns);
    lit_scene_show::Picture sheet;
    sheet.width = kWidth * kColumns;
    sheet.height = kHeight * rows;
    sheet.bgra.assign(static_cast<std::size_t>(sheet.width) * sheet.height * 4, 0);
    std::vector<unsigned char> bgra;
    for (long n = 0; n < frames; ++n) {
        show.Render(n, bgra);
        const std::string& expected = show.SceneNameOf(n);
        ASSERT_NE(SceneHandler::GetCurrent(), nullptr);
        EXPECT_EQ(SceneHandler::GetCurrent()->GetName(), expected) << n << " s";
        const Luma luma = MeasureLuma(bgra);
        if (n < kEndSection) {
            EXPECT_GT(luma.mean, 12.0) << n << " s (" << expected << ") is black";
            EXPECT_GT(luma.deviation, 4.0) << n << " s (" << expected << ") is one flat colour";
        } else if (n >= kBlackFrom) {
            EXPECT_LT(luma.mean, 1.0) << n << " s: the show has faded to black by its end";
        }
        EXPECT_EQ(NonFiniteTargets(), "") << n << " s (" << expected << ")";
        for (unsigned y = 0; y < kHeight; ++y)
            std::copy_n(&bgra[static_cast<std::size_t>(y) * kWidth * 4], kWidth * 4,
                        &sheet.bgra[((static_cast<std::size_t>(n / kColumns) * kHeight + y) * sheet.width +
                                     static_cast<std::size_t>(n % kColumns) * kWidth) * 4]);
    }
    EXPECT_TRUE(show.Boxes().empty()) << show.Boxes().front();
    EXPECT_TRUE(sheet.WritePng(lit_scene_show::PicturePath("show-once-a-second")));
}

} // namespace

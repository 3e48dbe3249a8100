#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameBytes.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "image/PngFile.h"
#include "show/ShowRecorder.h"

namespace {

constexpr unsigned kWidth = 160;
constexpr unsigned kHeight = 90;
constexpr unsigned kFps = 10;

// The picture at a time is the capture's frame there: a recorder that draws the cornell scene's
// section frame by frame from its entry (as a capture from the start does) and one that is asked
// for a frame alone, after its short warm-up, give the same bytes, though the scene carries its
// bounce light from frame to frame. A second recorder asked the same gives the same bytes again.
TEST(ShowRecorderTest, FrameAloneEqualsTheFrameOfARunFromTheScenesEntry)
{
    const long entry = 30 * kFps; // the drop, where the cornell scene is entered
    const long late = entry + 2 * ShowRecorder::kWarmUpFrames;
    std::vector<unsigned char> sequential;
    {
        ShowRecorder show(ORVALA_CONTENT_ARCHIVE, kWidth, kHeight, kFps);
        ASSERT_EQ(show.SceneNameOf(entry), "CornellScene");
        ASSERT_NE(show.SceneNameOf(entry - 1), "CornellScene");
        ASSERT_EQ(show.SceneNameOf(late), "CornellScene");
        for (long n = entry; n <= late; ++n)
            show.Render(n, sequential);
    }
    std::vector<unsigned char> alone;
    std::vector<unsigned char> again;
    {
        ShowRecorder show(ORVALA_CONTENT_ARCHIVE, kWidth, kHeight, kFps);
        show.Render(late, alone);
        // Asked again out of order after another time in the same scene.
        show.Render(late - 5, again);
        show.Render(late, again);
    }
    EXPECT_EQ(DifferingBytes(sequential, alone), 0u);
    EXPECT_EQ(DifferingBytes(alone, again), 0u);
}

// `orvala-tool frame` run twice writes the same bytes, and its picture is the one a recorder
// in this process draws at that time: nothing of a run (the random sequence, memory left over,
// the order of loading) leaks into the picture.
TEST(ShowRecorderTest, FrameCommandGivesTheSameBytesOnEveryRun)
{
    TempDir folder;
    const std::string first = (folder.path() / "first.png").string();
    const std::string second = (folder.path() / "second.png").string();
    for (const std::string& out : {first, second}) {
        const ToolResult run = RunTool({"frame", ORVALA_CONTENT_ARCHIVE, "47.3", out, "--size", "160x90", "--fps", "10"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find("RoomScene"), std::string::npos) << run.out;
    }
    EXPECT_EQ(ReadFileBytes(first), ReadFileBytes(second));

    std::vector<std::uint8_t> written;
    unsigned w = 0, h = 0;
    ASSERT_TRUE(ReadPngBGRA(first, written, w, h));
    ShowRecorder show(ORVALA_CONTENT_ARCHIVE, kWidth, kHeight, kFps);
    std::vector<unsigned char> drawn;
    show.Render(show.FrameAt(47.3), drawn);
    ASSERT_EQ(w, kWidth);
    ASSERT_EQ(h, kHeight);
    EXPECT_EQ(DifferingBytes(std::vector<unsigned char>(written.begin(), written.end()), drawn), 0u);
}

TEST(ShowRecorderTest, FramesAndTimesOnTheRecordersRate)
{
    ShowRecorder show(ORVALA_CONTENT_ARCHIVE, kWidth, kHeight, 60);
    struct Case {
        double seconds;
        long frame;
    } const cases[] = {{0.0, 0}, {-1.0, 0}, {1.0, 60}, {12.34, 740}, {29.999, 1799}, {30.0, 1800}, {141.5, 8490}};
    for (const Case& c : cases)
        EXPECT_EQ(show.FrameAt(c.seconds), c.frame) << c.seconds;
    EXPECT_FLOAT_EQ(show.TimeOf(1800), 30.0f);
    std::vector<unsigned char> bgra;
    EXPECT_THROW(show.Render(-1, bgra), std::runtime_error);
}

TEST(ShowRecorderTest, RefusesWhatItCannotRender)
{
    EXPECT_THROW(ShowRecorder("/nonexistent/basefile.dat", kWidth, kHeight, kFps), std::runtime_error);
    EXPECT_THROW(ShowRecorder(ORVALA_CONTENT_ARCHIVE, 0, kHeight, kFps), std::runtime_error);
    EXPECT_THROW(ShowRecorder(ORVALA_CONTENT_ARCHIVE, kWidth, kHeight, 0), std::runtime_error);
}

} // namespace

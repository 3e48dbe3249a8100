#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "image/PngFile.h"

namespace {

// Command lines the picture commands refuse before they load anything: exit 1, a reason, no file.
TEST(ShowCommandsTest, RefusedCommandLinesSayWhyAndWriteNothing)
{
    TempDir folder;
    const std::string out = (folder.path() / "out.png").string();
    struct Case {
        std::vector<std::string> args;
        const char* reason;
    } const cases[] = {
        {{"frame", ORVALA_CONTENT_ARCHIVE, "12", out, "--size", "640"}, "--size takes WIDTHxHEIGHT, each 1 to 8192, not \"640\""},
        {{"frame", ORVALA_CONTENT_ARCHIVE, "12", out, "--size", "0x90"}, "--size takes WIDTHxHEIGHT, each 1 to 8192, not \"0x90\""},
        {{"frame", ORVALA_CONTENT_ARCHIVE, "12", out, "--fps", "0"}, "--fps takes a whole number from 1 to 1000, not \"0\""},
        {{"frame", ORVALA_CONTENT_ARCHIVE, "150", out}, "within the show"},
        {{"frame", ORVALA_CONTENT_ARCHIVE, "twelve", out}, "number of seconds"},
        {{"frame", ORVALA_CONTENT_ARCHIVE, "12"}, "needs an archive"},
        {{"frame", ORVALA_CONTENT_ARCHIVE, "12", out, "--zoom", "2"}, "unknown option"},
        {{"frame", (folder.path() / "none.dat").string(), "12", out}, "cannot read the archive"},
        {{"sheet", ORVALA_CONTENT_ARCHIVE, out, "--every", "0"}, "--every takes a number of at least 0.1, not \"0\""},
        {{"sheet", ORVALA_CONTENT_ARCHIVE, out, "--from", "-1"}, "--from must lie within"},
        {{"sheet", ORVALA_CONTENT_ARCHIVE, out, "--size", "32x18"}, "at least 64x36"},
    };
    for (const Case& c : cases) {
        const ToolResult run = RunTool(c.args);
        EXPECT_EQ(run.exitCode, 1) << c.reason;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.reason;
    }
}

// A contact sheet of the whole show: a thumbnail a minute (0, 60 and 120 s) side by side, each
// with its label strip below, on a grey ground; each thumbnail is the show's picture, not black.
TEST(ShowCommandsTest, SheetLaysOutOneLabelledPictureEveryInterval)
{
    TempDir folder;
    const std::string out = (folder.path() / "sheet.png").string();
    const ToolResult run = RunTool({"sheet", ORVALA_CONTENT_ARCHIVE, out, "--every", "60", "--size", "96x54", "--fps", "10"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("3 pictures every 60 s"), std::string::npos) << run.out;
    std::vector<std::uint8_t> bgra;
    unsigned w = 0, h = 0;
    ASSERT_TRUE(ReadPngBGRA(out, bgra, w, h));
    // Three cells of 96 + 4 across with a 4-pixel margin; one row of 54 + a 14-pixel label + 4.
    EXPECT_EQ(w, 3u * 100u + 4u);
    EXPECT_EQ(h, 54u + 14u + 4u + 4u);
    for (unsigned cell = 0; cell < 3; ++cell) {
        double sum = 0.0;
        for (unsigned y = 4; y < 4 + 54; ++y)
            for (unsigned x = 4 + cell * 100; x < 4 + cell * 100 + 96; ++x) {
                const std::uint8_t* p = &bgra[(static_cast<std::size_t>(y) * w + x) * 4];
                sum += (p[0] + p[1] + p[2]) / 3.0;
            }
        EXPECT_GT(sum / (96.0 * 54.0), 12.0) << "picture " << cell;
        // The label strip holds light letters on the grey ground.
        unsigned light = 0;
        for (unsigned y = 4 + 54; y < 4 + 54 + 14; ++y)
            for (unsigned x = 4 + cell * 100; x < 4 + cell * 100 + 96; ++x)
                light += bgra[(static_cast<std::size_t>(y) * w + x) * 4 + 1] > 150 ? 1 : 0;
        EXPECT_GT(light, 20u) << "label " << cell;
    }
}

} // namespace

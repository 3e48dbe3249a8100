#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "TrackBytes.h"
#include "common/ArchiveWriter.h"

namespace {

class TrackCommandsTest : public ::testing::Test {
protected:
    TempDir dir;

    std::string Path(const char* name) const { return (dir.path() / name).string(); }
};

TEST_F(TrackCommandsTest, CompileThenDumpRoundTrips)
{
    WriteFileBytes(Path("fade.txt"), "# the fade\n"
                                     "16 1 SMOOTH\n"
                                     "0 0.1 linear   # starts here\n"
                                     "\n"
                                     "32 -0 7\n"
                                     "48 1e-45 -1\n"
                                     "16 2 Ramp\n"
                                     "64 nan(0x7fc00001) step\n");
    ToolResult compile = RunTool({"track", "compile", Path("fade.txt"), Path("fade.track")});
    ASSERT_EQ(compile.exitCode, 0) << compile.err;

    // the compiled file has the archive's layout: count, then 9-byte records in row order
    EXPECT_EQ(ReadFileBytes(Path("fade.track")), U32(5) + Record(0, 0.1f, 1) + Record(16, 2.0f, 3) +
                                                     Record(32, -0.0f, 7) + Record(48, 1e-45f, 0xff) +
                                                     RecordBits(64, 0x7fc00001u, 0));

    ToolResult dump = RunTool({"track", "dump", Path("fade.track")});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(dump.out, "0 0.100000001 linear\n"
                        "16 2 ramp\n"
                        "32 -0 7\n"
                        "48 1.40129846e-45 -1\n"
                        "64 nan(0x7fc00001) step\n");
    EXPECT_EQ(dump.err, "");

    WriteFileBytes(Path("again.txt"), dump.out);
    ASSERT_EQ(RunTool({"track", "compile", Path("again.txt"), Path("again.track")}).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(Path("again.track")), ReadFileBytes(Path("fade.track")));
}

TEST_F(TrackCommandsTest, EvalReadsTheTrackFromTheArchive)
{
    ArchiveWriter writer;
    // records out of order, the first one overridden by a later record of its row
    writer.Add("Data\\sync_Fade.track",
               U32(4) + Record(10, 1.0f, 0) + Record(0, 5.0f, 2) + Record(20, 3.0f, 0) + Record(0, 0.0f, 1));
    writer.Write(Path("basefile.dat"));

    ToolResult eval = RunTool({"track", "eval", Path("basefile.dat"), "Fade", "0", "2.5", "10", "15.75", "1000"});
    ASSERT_EQ(eval.exitCode, 0) << eval.err;
    EXPECT_EQ(eval.out, "0\n0.25\n1\n1\n3\n");
}

TEST_F(TrackCommandsTest, FailuresGoToStandardErrorWithExitCodeOne)
{
    ArchiveWriter writer;
    writer.Add("Data\\sync_Fade.track", U32(0));
    writer.Write(Path("basefile.dat"));
    WriteFileBytes(Path("bad.txt"), "0 0 step\n1 x linear\n");
    WriteFileBytes(Path("keep.track"), "keep");

    struct Case {
        std::vector<std::string> words;
        std::string err; // the start of standard error
    };
    const Case cases[] = {
        {{"track", "eval", Path("basefile.dat"), "fade", "1"}, "loadTrack failed on Data\\sync_fade.track\n"},
        {{"track", "eval", Path("nothere.dat"), "Fade", "1"},
         "Failure: Could not open \"" + Path("nothere.dat") + "\" when reading database\n"},
        {{"track", "eval", Path("basefile.dat"), "Fade", "one"},
         "orvala-tool: row \"one\" is not a finite decimal number\n"},
        {{"track", "eval", Path("basefile.dat"), "Fade"}, "orvala-tool: track eval needs"},
        {{"track", "compile", Path("bad.txt"), Path("keep.track")},
         Path("bad.txt") + ": line 2: value \"x\" is not a number\n"},
        {{"track", "compile", Path("missing.txt"), Path("keep.track")},
         "cannot read \"" + Path("missing.txt") + "\": No such file or directory\n"},
        {{"track", "dump", Path("missing.track")},
         "cannot read \"" + Path("missing.track") + "\": No such file or directory\n"},
        {{"track", "dump"}, "orvala-tool: track dump needs one track file\n"},
        {{"track"}, "orvala-tool: missing track command\n"},
        {{"track", "play"}, "orvala-tool: unknown track command \"play\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.back());
        ToolResult run = RunTool(c.words);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(ReadFileBytes(Path("keep.track")), "keep"); // a failed compile leaves the output alone
}

TEST_F(TrackCommandsTest, DumpOfAShortFileWarnsAndShowsItsWholeRecords)
{
    WriteFileBytes(Path("short.track"), U32(3) + Record(4, 1.5f, 0) + Record(8, 2.5f, 1).substr(0, 6));
    ToolResult dump = RunTool({"track", "dump", Path("short.track")});
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.out, "4 1.5 step\n");
    EXPECT_EQ(dump.err,
              "warning: " + Path("short.track") + " is cut short: it holds 1 of the 3 key frames its count gives\n");
}

} // namespace

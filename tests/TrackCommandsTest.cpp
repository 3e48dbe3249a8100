#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "common/ArchiveWriter.h"

namespace {

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

std::string Slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Spill(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ShellWord(const std::string& word)
{
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A track file laid out by hand: count, then row, value bits and code byte per record.
std::string U32(std::uint32_t v)
{
    std::string out;
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((v >> shift) & 0xff));
    return out;
}

std::string RecordBits(std::uint32_t row, std::uint32_t valueBits, unsigned char code)
{
    return U32(row) + U32(valueBits) + std::string(1, static_cast<char>(code));
}

std::string Record(std::uint32_t row, float value, unsigned char code)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return RecordBits(row, bits, code);
}

class TrackCommandsTest : public ::testing::Test {
protected:
    TempDir dir;

    std::string Path(const char* name) const { return (dir.path() / name).string(); }

    ToolRun Run(const std::vector<std::string>& words) const
    {
        std::string command = ShellWord(ORVALA_TOOL_PATH);
        for (const std::string& word : words)
            command += " " + ShellWord(word);
        command += " >" + ShellWord(Path("stdout")) + " 2>" + ShellWord(Path("stderr")) + " </dev/null";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(Path("stdout")), Slurp(Path("stderr"))};
    }
};

TEST_F(TrackCommandsTest, CompileThenDumpRoundTrips)
{
    Spill(Path("fade.txt"), "# the fade\n"
                            "16 1 SMOOTH\n"
                            "0 0.1 linear   # starts here\n"
                            "\n"
                            "32 -0 7\n"
                            "48 1e-45 -1\n"
                            "16 2 Ramp\n"
                            "64 nan(0x7fc00001) step\n");
    ToolRun compile = Run({"track", "compile", Path("fade.txt"), Path("fade.track")});
    ASSERT_EQ(compile.exitCode, 0) << compile.err;

    // the compiled file has the archive's layout: count, then 9-byte records in row order
    EXPECT_EQ(Slurp(Path("fade.track")), U32(5) + Record(0, 0.1f, 1) + Record(16, 2.0f, 3) + Record(32, -0.0f, 7) +
                                             Record(48, 1e-45f, 0xff) + RecordBits(64, 0x7fc00001u, 0));

    ToolRun dump = Run({"track", "dump", Path("fade.track")});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(dump.out, "0 0.100000001 linear\n"
                        "16 2 ramp\n"
                        "32 -0 7\n"
                        "48 1.40129846e-45 -1\n"
                        "64 nan(0x7fc00001) step\n");
    EXPECT_EQ(dump.err, "");

    Spill(Path("again.txt"), dump.out);
    ASSERT_EQ(Run({"track", "compile", Path("again.txt"), Path("again.track")}).exitCode, 0);
    EXPECT_EQ(Slurp(Path("again.track")), Slurp(Path("fade.track")));
}

TEST_F(TrackCommandsTest, EvalReadsTheTrackFromTheArchive)
{
    ArchiveWriter writer;
    // records out of order, the first one overridden by a later record of its row
    writer.Add("Data\\sync_Fade.track",
               U32(4) + Record(10, 1.0f, 0) + Record(0, 5.0f, 2) + Record(20, 3.0f, 0) + Record(0, 0.0f, 1));
    writer.Write(Path("basefile.dat"));

    ToolRun eval = Run({"track", "eval", Path("basefile.dat"), "Fade", "0", "2.5", "10", "15.75", "1000"});
    ASSERT_EQ(eval.exitCode, 0) << eval.err;
    EXPECT_EQ(eval.out, "0\n0.25\n1\n1\n3\n");
}

TEST_F(TrackCommandsTest, FailuresGoToStandardErrorWithExitCodeOne)
{
    ArchiveWriter writer;
    writer.Add("Data\\sync_Fade.track", U32(0));
    writer.Write(Path("basefile.dat"));
    Spill(Path("bad.txt"), "0 0 step\n1 x linear\n");
    Spill(Path("keep.track"), "keep");

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
         "cannot read \"" + Path("missing.txt") + "\"\n"},
        {{"track", "dump", Path("missing.track")}, "cannot read \"" + Path("missing.track") + "\"\n"},
        {{"track", "dump"}, "orvala-tool: track dump needs one track file\n"},
        {{"track"}, "orvala-tool: missing track command\n"},
        {{"track", "play"}, "orvala-tool: unknown track command \"play\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.back());
        ToolRun run = Run(c.words);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(Slurp(Path("keep.track")), "keep"); // a failed compile leaves the output alone
}

TEST_F(TrackCommandsTest, DumpOfAShortFileWarnsAndShowsItsWholeRecords)
{
    Spill(Path("short.track"), U32(3) + Record(4, 1.5f, 0) + Record(8, 2.5f, 1).substr(0, 6));
    ToolRun dump = Run({"track", "dump", Path("short.track")});
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.out, "4 1.5 step\n");
    EXPECT_EQ(dump.err,
              "warning: " + Path("short.track") + " is cut short: it holds 1 of the 3 key frames its count gives\n");
}

} // namespace

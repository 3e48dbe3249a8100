#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "common/ArchiveWriter.h"

namespace {

// Little-endian single-precision records written by hand, not by the tool's writer.
std::string RawFloats(const std::vector<float>& values)
{
    std::string bytes;
    for (float f : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>(bits >> (8 * i)));
    }
    return bytes;
}

std::vector<float> Numbers(const std::string& lines)
{
    std::vector<float> values;
    std::istringstream in(lines);
    std::string word;
    while (in >> word)
        values.push_back(std::strtof(word.c_str(), nullptr));
    return values;
}

class CurveCommandsTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return (dir.path() / name).string(); }

    TempDir dir;
};

TEST_F(CurveCommandsTest, CompileAndDumpRoundTripBitExactly)
{
    WriteFileBytes(Path("curve.txt"), "# camera sweep\n"
                                      "\n"
                                      "   0 0.1 -0 1.17549435e-38   # first key\r\n"
                                      "0.5\t3.14159274 1e-30 1.40129846e-45\n"
                                      "0.5 -2 123456792 0.333333343\n"
                                      "   \n"
                                      "17 -7.5e+30 0 0");
    ToolResult compiled = RunTool({"curve", "compile", Path("curve.txt"), Path("curve.bin")});
    ASSERT_EQ(compiled.exitCode, 0) << compiled.err;
    const std::string expected = RawFloats({0.0f, 0.1f, -0.0f, 1.17549435e-38f, 0.5f, 3.14159274f, 1e-30f,
                                            1.40129846e-45f, 0.5f, -2.0f, 123456792.0f, 0.333333343f, 17.0f,
                                            -7.5e+30f, 0.0f, 0.0f});
    EXPECT_EQ(ReadFileBytes(Path("curve.bin")), expected);

    ToolResult dumped = RunTool({"curve", "dump", Path("curve.bin")});
    ASSERT_EQ(dumped.exitCode, 0) << dumped.err;
    WriteFileBytes(Path("again.txt"), dumped.out);
    ToolResult recompiled = RunTool({"curve", "compile", Path("again.txt"), Path("again.bin")});
    ASSERT_EQ(recompiled.exitCode, 0) << recompiled.err;
    EXPECT_EQ(ReadFileBytes(Path("again.bin")), expected);
}

TEST_F(CurveCommandsTest, DumpSkipsATrailingPartialRecord)
{
    WriteFileBytes(Path("forty.bin"), RawFloats({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    ToolResult dumped = RunTool({"curve", "dump", Path("forty.bin")});
    ASSERT_EQ(dumped.exitCode, 0) << dumped.err;
    std::string keysOnly;
    std::istringstream lines(dumped.out);
    std::string line, comments;
    while (std::getline(lines, line))
        (line.rfind('#', 0) == 0 ? comments : keysOnly) += line + "\n";
    EXPECT_EQ(Numbers(keysOnly), (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_NE(comments.find("8 trailing bytes ignored"), std::string::npos) << comments;
}

// A curve whose times go back loads in the demo as it is, so dump prints it and exits 0, but
// names the first key that goes back on standard error.
TEST_F(CurveCommandsTest, DumpWarnsAtTheFirstKeyWhoseTimeGoesBack)
{
    const struct {
        const char* what;
        std::vector<float> times;
        std::string warning; // empty: none
    } cases[] = {
        {"ascending", {0, 1, 2, 3}, ""},
        {"equal times", {0, 1, 1, 2}, ""},
        {"one key", {4}, ""},
        {"third key goes back", {0, 5, 3, 7}, "warning: key 3 at time 3 comes before key 2 at time 5\n"},
        {"only the first is named", {2, 1, 0, -1}, "warning: key 2 at time 1 comes before key 1 at time 2\n"},
        {"last key goes back by a little", {0, 0.5f, 0.25f}, "warning: key 3 at time 0.25 comes before key 2 at time 0.5\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<float> record;
        for (float time : c.times)
            record.insert(record.end(), {time, time * 2, 0, 0});
        WriteFileBytes(Path("keys.bin"), RawFloats(record));
        const ToolResult dumped = RunTool({"curve", "dump", Path("keys.bin")});
        EXPECT_EQ(dumped.exitCode, 0);
        EXPECT_EQ(dumped.err, c.warning.empty() ? std::string() : Path("keys.bin") + ": " + c.warning);
        const std::string keys = dumped.out.substr(dumped.out.find('\n') + 1); // after the heading comment
        EXPECT_EQ(Numbers(keys), record); // every key printed as it is, in file order
    }
}

TEST_F(CurveCommandsTest, EvalReadsCurvesFromTheArchiveInTheOrderGiven)
{
    ArchiveWriter writer;
    // time value in-tangent out-tangent
    writer.Add("Data\\anim\\box.translateX", RawFloats({0, 0, 0, 1, 10, 10, 1, 0}));
    writer.Add("Data\\anim\\box.visibility", RawFloats({0, 1, 0, 0, 4, 0, 0, 0}));
    writer.Write(Path("basefile.dat"));

    ToolResult smooth = RunTool({"curve", "eval", Path("basefile.dat"), "box.translateX", "hermite", "7", "2", "9.5",
                                 "-5", "7"});
    ASSERT_EQ(smooth.exitCode, 0) << smooth.err;
    const std::vector<float> values = Numbers(smooth.out);
    const std::vector<float> expected = {7, 2, 9.5f, -5, 7}; // tangents of slope 1 make a straight line
    ASSERT_EQ(values.size(), expected.size()) << smooth.out;
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_NEAR(values[i], expected[i], 1e-5) << i;

    ToolResult step =
        RunTool({"curve", "eval", Path("basefile.dat"), "box.visibility", "step", "4", "-1", "3.9", "10"});
    ASSERT_EQ(step.exitCode, 0) << step.err;
    EXPECT_EQ(step.out, "0\n1\n1\n0\n");
    EXPECT_EQ(step.err, "");
}

TEST_F(CurveCommandsTest, FailuresExitWithOneAndSayWhy)
{
    ArchiveWriter writer;
    writer.Add("Data\\anim\\short", std::string(8, '\0'));
    writer.Write(Path("basefile.dat"));
    WriteFileBytes(Path("unsorted.txt"), "# t v in out\n0 0 0 0\n5 1 0 0\n\n3 2 0 0\n");
    WriteFileBytes(Path("word.txt"), "0 0 0 0\n1 x 0 0\n");
    WriteFileBytes(Path("three.txt"), "0 0 0\n");
    WriteFileBytes(Path("huge.txt"), "0 1e39 0 0\n");
    WriteFileBytes(Path("nan.txt"), "nan 0 0 0\n");
    WriteFileBytes(Path("empty.txt"), "# nothing here\n\n");
    const std::string archive = Path("basefile.dat");
    const std::string missingBox = "File not found: No animCurve found in filesystem corresponding to registered "
                                   "curve: \"nope\".\n(Skipping further error messages)\n";

    const struct {
        const char* what;
        std::vector<std::string> args;
        std::vector<std::string> stderrParts;
    } cases[] = {
        {"missing archive",
         {"curve", "eval", Path("absent.dat"), "box.translateX", "hermite", "1"},
         {"Failure: Could not open \"" + Path("absent.dat") + "\" when reading database"}},
        {"missing smooth curve",
         {"curve", "eval", archive, "nope", "hermite", "1"},
         {missingBox, "no curve \"nope\" (entry \"Data\\anim\\nope\")"}},
        {"missing step curve", {"curve", "eval", archive, "nope", "step", "1"}, {missingBox, "no curve \"nope\""}},
        {"curve without a whole key",
         {"curve", "eval", archive, "short", "hermite", "1"},
         {"No Keys in animation curve \"short\"."}},
        {"unsorted text",
         {"curve", "compile", Path("unsorted.txt"), Path("out.bin")},
         {Path("unsorted.txt") + ":5: key at time 3 comes before the key at time 5 on line 3"}},
        {"word for a number", {"curve", "compile", Path("word.txt"), Path("out.bin")}, {":2: \"x\" is not a number"}},
        {"three numbers", {"curve", "compile", Path("three.txt"), Path("out.bin")}, {":1: expected four numbers"}},
        {"beyond single range",
         {"curve", "compile", Path("huge.txt"), Path("out.bin")},
         {":1: \"1e39\" is not a finite"}},
        {"not a number", {"curve", "compile", Path("nan.txt"), Path("out.bin")}, {":1: \"nan\" is not a finite"}},
        {"no keys", {"curve", "compile", Path("empty.txt"), Path("out.bin")}, {"empty.txt: no keys"}},
        {"missing text",
         {"curve", "compile", Path("absent.txt"), Path("out.bin")},
         {"cannot read \"" + Path("absent.txt") + "\": No such file or directory"}},
        {"missing binary", {"curve", "dump", Path("absent.bin")}, {"cannot read \"" + Path("absent.bin") + "\""}},
        {"unknown kind", {"curve", "eval", archive, "short", "linear", "1"}, {"unknown curve kind", "usage:"}},
        {"time not a number", {"curve", "eval", archive, "short", "step", "soon"}, {"\"soon\"", "usage:"}},
        {"no times", {"curve", "eval", archive, "short", "step"}, {"usage:"}},
        {"compile without output", {"curve", "compile", Path("word.txt")}, {"usage:"}},
        {"unknown subcommand", {"curve", "plot"}, {"usage:"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(Path("out.bin"), "previous");
        ToolResult result = RunTool(c.args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        for (const std::string& part : c.stderrParts)
            EXPECT_NE(result.err.find(part), std::string::npos) << "missing: " << part << "\nstderr: " << result.err;
        EXPECT_EQ(ReadFileBytes(Path("out.bin")), "previous"); // a failed compile leaves the output alone
    }
}

} // namespace

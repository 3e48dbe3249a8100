#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "Deflate.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "common/ArchiveWriter.h"

namespace fs = std::filesystem;

namespace {

// Every file below a folder, by its path relative to the folder, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& root)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).generic_string()] = ReadFileBytes(entry.path());
    return files;
}

class ArchiveCommandsTest : public ::testing::Test {
protected:
    TempDir dir;

    fs::path Path(const std::string& name) const { return dir.path() / name; }

    // Files beside the fixture's own, such as temporary files a failed run left behind.
    std::vector<std::string> Leftovers(const std::vector<std::string>& expected) const
    {
        std::vector<std::string> extra;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (std::find(expected.begin(), expected.end(), name) == expected.end())
                extra.push_back(name);
        }
        return extra;
    }
};

std::string BinaryBytes()
{
    std::string bytes;
    for (int round = 0; round < 40; ++round)
        for (int b = 0; b < 256; ++b)
            bytes.push_back(static_cast<char>(b ^ round));
    return bytes;
}

TEST_F(ArchiveCommandsTest, PackListCatAndUnpackRoundTrip)
{
    const std::map<std::string, std::string> files = {
        {"Data/tune.ogg", BinaryBytes()},
        {"Data/anim/cam.rotateX", std::string("\x00\x00\x80\x3f\r\n\x1a", 7)},
        {"Shaders/common.fxh", "float4 x;\r\n"},
        {"empty.txt", ""},
    };
    for (const auto& [name, bytes] : files)
        WriteFileBytes(Path("src") / name, bytes);
    const std::string archive = Path("basefile.dat").string();

    ToolResult pack = RunTool({"archive", "pack", Path("src").string(), archive});
    ASSERT_EQ(pack.exitCode, 0) << pack.err;
    EXPECT_EQ(pack.err, "");

    ToolResult list = RunTool({"archive", "list", archive});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out, "Data\\anim\\cam.rotateX\t7\n"
                        "Data\\tune.ogg\t10240\n"
                        "Shaders\\common.fxh\t11\n"
                        "empty.txt\t0\n");

    const std::map<std::string, std::string> names = {{"Data\\tune.ogg", "Data/tune.ogg"},
                                                      {"Data\\anim\\cam.rotateX", "Data/anim/cam.rotateX"},
                                                      {"Shaders\\common.fxh", "Shaders/common.fxh"},
                                                      {"empty.txt", "empty.txt"}};
    for (const auto& [entry, file] : names) {
        ToolResult cat = RunTool({"archive", "cat", archive, entry});
        EXPECT_EQ(cat.exitCode, 0) << entry << ": " << cat.err;
        EXPECT_EQ(cat.out, files.at(file)) << entry;
    }

    ToolResult unpack = RunTool({"archive", "unpack", archive, Path("out").string()});
    ASSERT_EQ(unpack.exitCode, 0) << unpack.err;
    EXPECT_EQ(Tree(Path("out")), files);
    EXPECT_EQ(Leftovers({"src", "basefile.dat", "out"}), std::vector<std::string>{});
}

TEST_F(ArchiveCommandsTest, ReadsAnArchiveWrittenByHandWithCrLfLines)
{
    // Upper-case digits, CR LF line ends and streams in the opposite order to the records.
    const std::string first = "first entry\n", second(300, 'z');
    const std::string firstPacked = Deflate(first), secondPacked = Deflate(second);
    auto record = [](const char* name, std::size_t start, std::size_t comp, std::size_t uncomp) {
        char text[128];
        std::snprintf(text, sizeof text, "%s\r\n%08lX\r\n%08lX\r\n%08lX\r\n", name, (unsigned long)start,
                      (unsigned long)comp, (unsigned long)uncomp);
        return std::string(text);
    };
    const std::size_t textLength = 12 + record("Data\\b.txt", 0, 0, 0).size() + record("Data\\a.bin", 0, 0, 0).size();
    char header[16];
    std::snprintf(header, sizeof header, "0x%08lx\r\n", (unsigned long)textLength);
    const std::string text = header +
                             record("Data\\b.txt", textLength + secondPacked.size(), firstPacked.size(), first.size()) +
                             record("Data\\a.bin", textLength, secondPacked.size(), second.size());
    ASSERT_EQ(text.size(), textLength);
    WriteFileBytes(Path("hand.dat"), text + secondPacked + firstPacked);

    ToolResult list = RunTool({"archive", "list", Path("hand.dat").string()});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out, "Data\\a.bin\t300\nData\\b.txt\t12\n");
    ToolResult cat = RunTool({"archive", "cat", Path("hand.dat").string(), "Data\\b.txt"});
    EXPECT_EQ(cat.exitCode, 0) << cat.err;
    EXPECT_EQ(cat.out, first);
}

TEST_F(ArchiveCommandsTest, FailuresPrintTheirMessageAndExitWithOne)
{
    ArchiveWriter writer;
    writer.Add("Data\\x", std::string("x"));
    writer.Write(Path("good.dat").string());
    // One good record, then one whose offset is not hexadecimal; the bytes after the text
    // stand in for the first entry's stream.
    WriteFileBytes(Path("corrupt.dat"),
               "0x00000040\nData\\ok\n00000040\n00000001\n00000001\nData\\bad\nzz\n" + std::string(20, 'x'));
    const std::string missing = Path("missing.dat").string();

    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"archive", "list", missing}, "Failure: Could not open \"" + missing + "\" when reading database\n"},
        {{"archive", "list", Path("corrupt.dat").string()},
         "Data base file corrupt.  Corruption detected while reading file #1"},
        {{"archive", "cat", Path("good.dat").string(), "Data\\y"}, "no entry \"Data\\y\" in"},
        {{"archive", "cat", Path("good.dat").string(), "data\\x"}, "no entry \"data\\x\" in"},
        {{"archive"}, "usage:\norvala-tool archive pack"},
        {{"archive", "frob"}, "unknown archive subcommand \"frob\""},
        {{"archive", "list"}, "usage:"},
        {{"archive", "list", Path("good.dat").string(), "extra"}, "usage:"},
        {{"archive", "cat", Path("good.dat").string()}, "usage:"},
        {{"archive", "pack", Path("src").string()}, "usage:"},
        {{"archive", "unpack", Path("good.dat").string(), "a", "b"}, "usage:"},
        {{"archive", "pack", Path("no-such-folder").string(), Path("new.dat").string()}, "is not a folder"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const auto& arg : c.args)
            line += arg + " ";
        ToolResult run = RunTool(c.args);
        EXPECT_EQ(run.exitCode, 1) << line;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << line << "\nstderr: " << run.err;
        EXPECT_EQ(run.out, "") << line;
    }
    EXPECT_EQ(Leftovers({"good.dat", "corrupt.dat"}), std::vector<std::string>{});
}

TEST_F(ArchiveCommandsTest, UnpackRefusesNamesThatLeaveTheFolderOrClash)
{
    const std::string absolute = Path("evil.txt").generic_string();
    const struct {
        std::vector<std::string> names;
        std::string problem;
    } cases[] = {
        {{"..\\evil.txt"}, "has a \"..\" folder"},
        {{"Data\\..\\..\\evil.txt"}, "has a \"..\" folder"},
        {{"Data/../../evil.txt"}, "has a \"..\" folder"},
        {{"Data\\.\\x"}, "has a \".\" folder"},
        {{"Data\\\\x"}, "has an empty folder name"},
        {{"Data\\"}, "has an empty folder name"},
        {{"\\evil.txt"}, "is an absolute path"},
        {{absolute}, "is an absolute path"},
        {{"C:\\evil.txt"}, "starts with a drive letter"},
        {{"C:evil.txt"}, "starts with a drive letter"},
        {{"Data\\a:stream"}, "holds a colon"},
        {{"Data\\x\x01"}, "holds a control character"},
        {{"Data\\a", "Data/a"}, "unpack to the same path"},
        {{"Data", "Data\\x"}, "unpack to the same path"},
    };
    for (const auto& c : cases) {
        ArchiveWriter writer;
        writer.Add("A\\ok.txt", std::string("fine"));
        for (const std::string& name : c.names)
            writer.Add(name, std::string("evil"));
        writer.Write(Path("bad.dat").string());

        ToolResult run = RunTool({"archive", "unpack", Path("bad.dat").string(), Path("out").string()});
        EXPECT_EQ(run.exitCode, 1) << c.names.back();
        EXPECT_NE(run.err.find("refusing to unpack"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.problem), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.names.back()), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(Path("out"))) << c.names.back();
        EXPECT_EQ(Leftovers({"bad.dat"}), std::vector<std::string>{}) << c.names.back();
    }
}

TEST_F(ArchiveCommandsTest, UnpackLeavesAFolderWithContentAlone)
{
    ArchiveWriter writer;
    writer.Add("keep.txt", std::string("from the archive"));
    writer.Write(Path("a.dat").string());
    WriteFileBytes(Path("out/keep.txt"), "mine");

    ToolResult run = RunTool({"archive", "unpack", Path("a.dat").string(), Path("out").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("it exists and is not an empty folder"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFileBytes(Path("out/keep.txt")), "mine");

    // An empty folder is filled.
    fs::remove(Path("out/keep.txt"));
    run = RunTool({"archive", "unpack", Path("a.dat").string(), Path("out").string() + "/"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(Path("out/keep.txt")), "from the archive");
}

TEST_F(ArchiveCommandsTest, UnpackOfADamagedEntryLeavesNothingBehind)
{
    ArchiveWriter writer;
    writer.Add("Data\\a", std::string(100, 'a'));
    writer.Add("Data\\b", std::string(100, 'b'));
    std::vector<unsigned char> bytes = writer.Build();
    bytes.back() ^= 0xff; // breaks the last stream's checksum
    WriteFileBytes(Path("a.dat"), std::string(bytes.begin(), bytes.end()));

    ToolResult run = RunTool({"archive", "unpack", Path("a.dat").string(), Path("out").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "[FileSys::ReadFile]: Error uncompressing file\n");
    EXPECT_EQ(Leftovers({"a.dat"}), std::vector<std::string>{});
}

TEST_F(ArchiveCommandsTest, PackRefusesWhatTheArchiveCannotHoldAndKeepsTheOldArchive)
{
    const std::string longFolder(200, 'f');
    const struct {
        const char* what;
        std::function<void(const fs::path& src, const fs::path& outside)> make;
        std::string problem;
    } cases[] = {
        {"white space", [](const fs::path& src, const fs::path&) { WriteFileBytes(src / "Data/my tune.ogg", "x"); },
         "holds white space"},
        {"long name",
         [&](const fs::path& src, const fs::path&) {
             WriteFileBytes(src / longFolder / longFolder / std::string(120, 'n'), "x");
         },
         "is longer than 511 bytes"},
        {"backslash", [](const fs::path& src, const fs::path&) { WriteFileBytes(src / "Data/a\\b", "x"); },
         "holds a backslash"},
        {"colon", [](const fs::path& src, const fs::path&) { WriteFileBytes(src / "Data/a:b", "x"); }, "holds a colon"},
        {"file link leaving",
         [](const fs::path& src, const fs::path& outside) {
             fs::create_directories(src / "Data");
             fs::create_symlink(outside / "secret.txt", src / "Data/secret.txt");
         },
         "is a link that leaves"},
        {"folder link leaving",
         [](const fs::path& src, const fs::path& outside) {
             fs::create_directories(src / "Data");
             fs::create_directory_symlink(outside, src / "Data/out");
         },
         "is a link that leaves"},
        {"relative link leaving",
         [](const fs::path& src, const fs::path&) {
             fs::create_directories(src / "Data");
             fs::create_symlink("../../outside/secret.txt", src / "Data/up.txt");
         },
         "is a link that leaves"},
        {"broken link",
         [](const fs::path& src, const fs::path&) {
             fs::create_directories(src / "Data");
             fs::create_symlink("nothing-here", src / "Data/gone.txt");
         },
         "is a broken link"},
        {"link loop",
         [](const fs::path& src, const fs::path&) {
             fs::create_directories(src / "Data");
             fs::create_directory_symlink("..", src / "Data/again");
         },
         "is a link into a folder that holds it"},
    };
    WriteFileBytes(Path("outside/secret.txt"), "secret");
    for (const auto& c : cases) {
        const fs::path src = Path("src");
        WriteFileBytes(src / "Data/fine.txt", "fine");
        c.make(src, Path("outside"));
        WriteFileBytes(Path("old.dat"), "the old archive");

        ToolResult run = RunTool({"archive", "pack", src.string(), Path("old.dat").string()});
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_NE(run.err.find("cannot pack"), std::string::npos) << c.what << ": " << run.err;
        EXPECT_NE(run.err.find(c.problem), std::string::npos) << c.what << ": " << run.err;
        EXPECT_EQ(ReadFileBytes(Path("old.dat")), "the old archive") << c.what;
        EXPECT_EQ(Leftovers({"src", "outside", "old.dat"}), std::vector<std::string>{}) << c.what;
        fs::remove_all(src);
    }
}

// The writer refuses a name the directory cannot hold before it takes the entry; a zero byte
// would cut the name short for the reader, which refuses such a directory.
TEST_F(ArchiveCommandsTest, WriterRefusesNamesTheDirectoryCannotHold)
{
    const struct {
        const char* what;
        std::string name;
        std::string problem;
    } cases[] = {
        {"empty", "", "cannot be empty"},
        {"white space", "Data\\my tune.ogg", "holds white space"},
        {"new line", "Data\\a\nb", "holds white space"},
        {"longer than 511 bytes", std::string(512, 'n'), "longer than 511 bytes"},
        {"zero byte", std::string("Data\\tune.ogg\0x", 16), "holds a zero byte: \"Data\\tune.ogg\\0...\""},
        {"zero byte first", std::string("\0Data", 5), "holds a zero byte"},
    };
    for (const auto& c : cases) {
        ArchiveWriter writer;
        writer.Add("Data\\kept", std::string("kept"));
        try {
            writer.Add(c.name, std::string("x"));
            ADD_FAILURE() << c.what << ": taken";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(c.problem), std::string::npos) << c.what << ": " << e.what();
        }
        EXPECT_EQ(writer.Entries().size(), 1u) << c.what;
    }
}

TEST_F(ArchiveCommandsTest, PackFollowsLinksThatStayInsideTheFolder)
{
    WriteFileBytes(Path("src/Data/a.bin"), "AAA");
    fs::create_symlink("a.bin", Path("src/Data/alias.bin"));
    fs::create_directory_symlink("Data", Path("src/Mirror"));
    const std::string archive = Path("a.dat").string();

    ToolResult pack = RunTool({"archive", "pack", Path("src").string(), archive});
    ASSERT_EQ(pack.exitCode, 0) << pack.err;
    ToolResult list = RunTool({"archive", "list", archive});
    EXPECT_EQ(list.out, "Data\\a.bin\t3\nData\\alias.bin\t3\nMirror\\a.bin\t3\nMirror\\alias.bin\t3\n");
    EXPECT_EQ(RunTool({"archive", "cat", archive, "Mirror\\alias.bin"}).out, "AAA");
}

} // namespace

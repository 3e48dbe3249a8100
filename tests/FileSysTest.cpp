#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "Deflate.h"
#include "FileSys.h"
#include "FrameworkExMessage.h"
#include "TempDir.h"
#include "common/ArchiveWriter.h"

namespace {

void WriteBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Hand-written archive text, so the reader is checked against the layout rather than
// against our own writer.
std::string HandArchive(const std::string& records, const std::string& payload)
{
    char header[16];
    std::snprintf(header, sizeof header, "0x%08lx\n", static_cast<unsigned long>(11 + records.size()));
    return header + records + payload;
}

std::string RecordText(const std::string& name, size_t start, size_t comp, size_t uncomp, const char* sep = "\n")
{
    char text[700];
    std::snprintf(text, sizeof text, "%s%s%08lx%s%08lx%s%08lx%s", name.c_str(), sep, (unsigned long)start, sep,
                  (unsigned long)comp, sep, (unsigned long)uncomp, sep);
    return text;
}

std::string ExpectThrows(const std::string& path)
{
    return FrameworkExMessage([&] { FileSys fs(path.c_str()); });
}

class FileSysTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string Path(const char* name) const { return (dir.path() / name).string(); }
};

TEST_F(FileSysTest, ReadsEntriesWrittenByTheArchiveWriter)
{
    ArchiveWriter writer;
    writer.Add("Data\\tune.ogg", std::string(5000, 'x'));
    writer.Add("Data\\anim\\cam.rotateX", std::string("\x01\x02\x03", 3));
    writer.Add("data\\tune.ogg", std::string("lower"));
    writer.Write(Path("a.dat"));

    FileSys fs(Path("a.dat").c_str());
    EXPECT_EQ(FileSys::GetFileSize("Data\\tune.ogg"), 5000u);
    EXPECT_EQ(FileSys::GetFileSize("data\\tune.ogg"), 5u); // case-sensitive
    EXPECT_EQ(FileSys::GetFileSize("tune.ogg"), 0u);       // the folder is part of the name
    std::vector<char> buffer(5000);
    EXPECT_EQ(FileSys::ReadFile("Data\\tune.ogg", buffer.data()), 5000u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(5000, 'x'));
    char three[3];
    EXPECT_EQ(FileSys::ReadFile("Data\\anim\\cam.rotateX", three), 3u);
    EXPECT_EQ(std::string(three, 3), std::string("\x01\x02\x03", 3));
}

TEST_F(FileSysTest, MissingNameReturnsZeroAndLeavesDestinationAlone)
{
    ArchiveWriter writer;
    writer.Add("Data\\a", std::string("abc"));
    writer.Write(Path("a.dat"));
    FileSys fs(Path("a.dat").c_str());
    char dest[4] = {'k', 'e', 'e', 'p'};
    EXPECT_EQ(FileSys::ReadFile("Data\\b", dest), 0u);
    EXPECT_EQ(std::string(dest, 4), "keep");
}

TEST_F(FileSysTest, HeaderOnlyArchiveIsEmpty)
{
    WriteBytes(Path("empty.dat"), "0x0000000b\n");
    FileSys fs(Path("empty.dat").c_str());
    EXPECT_TRUE(FileSys::GetDirectory().empty());
    EXPECT_EQ(FileSys::GetFileSize("Data\\anything"), 0u);
}

TEST_F(FileSysTest, FirstRecordOfADuplicatedNameWinsAndCrLfIsRead)
{
    std::string first = Deflate("first"), second = Deflate("second!");
    std::string records = RecordText("Data\\x", 0, first.size(), 5, "\r\n") +
                          RecordText("Data\\x", 0, second.size(), 7, "\r\n");
    // offsets depend on the text length, which does not depend on them
    size_t base = 11 + records.size();
    records = RecordText("Data\\x", base, first.size(), 5, "\r\n") +
              RecordText("Data\\x", base + first.size(), second.size(), 7, "\r\n");
    WriteBytes(Path("dup.dat"), HandArchive(records, first + second));

    FileSys fs(Path("dup.dat").c_str());
    EXPECT_EQ(FileSys::GetDirectory().size(), 1u);
    char out[5];
    ASSERT_EQ(FileSys::ReadFile("Data\\x", out), 5u);
    EXPECT_EQ(std::string(out, 5), "first");
}

TEST_F(FileSysTest, OpenFailureNamesTheDatabase)
{
    EXPECT_EQ(ExpectThrows(Path("nope.dat")),
              "Failure: Could not open \"" + Path("nope.dat") + "\" when reading database\n");
}

TEST_F(FileSysTest, DamagedDirectoriesReportTheEntriesAcceptedSoFar)
{
    const std::string good = Deflate("good");
    struct Case {
        const char* what;
        std::string archive;
        int accepted;
    };
    auto withGoodFirst = [&](const std::string& badRecord, const std::string& extra = "") {
        std::string records = RecordText("Data\\good", 0, good.size(), 4) + badRecord;
        records = RecordText("Data\\good", 11 + records.size(), good.size(), 4) + badRecord;
        return HandArchive(records, good + extra);
    };
    const Case cases[] = {
        {"record cut short by the end of the file",
         [&] {
             // the header claims more directory than the file holds
             std::string records = RecordText("Data\\good", 0, 4, 4) + "Data\\cut\n0000";
             char header[16];
             std::snprintf(header, sizeof header, "0x%08lx\n", static_cast<unsigned long>(11 + records.size() + 50));
             return header + records;
         }(),
         1},
        {"non-hexadecimal length", withGoodFirst("Data\\bad\n00000000\nzzzzzzzz\n00000004\n"), 1},
        {"name longer than 511 bytes", withGoodFirst(RecordText(std::string(512, 'n'), 11, 1, 1)), 1},
        {"zero byte inside a name", withGoodFirst(std::string("Data\\zero\0tail", 14) + RecordText("", 11, 1, 1)), 1},
        {"stream reaching past the end of the file", withGoodFirst(RecordText("Data\\far", 11, 100000, 4)), 1},
        {"absurd uncompressed size", withGoodFirst(RecordText("Data\\big", 11, good.size(), 0x7fffffff)), 1},
        {"no header", "Data\\x\n00000000\n00000000\n00000000\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(Path("bad.dat"), c.archive);
        EXPECT_EQ(ExpectThrows(Path("bad.dat")),
                  "Data base file corrupt.  Corruption detected while reading file #" + std::to_string(c.accepted));
        // nothing of the damaged archive stays readable
        EXPECT_EQ(FileSys::GetFileSize("Data\\good"), 0u);
    }
}

TEST_F(FileSysTest, AcceptsA511ByteName)
{
    ArchiveWriter writer;
    const std::string longName(511, 'n');
    writer.Add(longName, std::string("ok"));
    writer.Write(Path("long.dat"));
    FileSys fs(Path("long.dat").c_str());
    EXPECT_EQ(FileSys::GetFileSize(longName.c_str()), 2u);
}

TEST_F(FileSysTest, InflateFailures)
{
    const std::string data = "0123456789";
    const std::string packed = Deflate(data);
    struct Case {
        const char* what;
        std::string stream;
        size_t recordedSize;
        bool ok;
    };
    std::string damaged = packed;
    damaged[4] = static_cast<char>(damaged[4] ^ 0x5a);
    const Case cases[] = {
        {"expands to more than recorded", packed, 9, false},
        {"expands to fewer than recorded", packed, 12, true},
        {"truncated stream", packed.substr(0, packed.size() - 3), 10, false},
        {"damaged stream", damaged, 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string records = RecordText("Data\\e", 0, c.stream.size(), c.recordedSize);
        records = RecordText("Data\\e", 11 + records.size(), c.stream.size(), c.recordedSize);
        WriteBytes(Path("inflate.dat"), HandArchive(records, c.stream));
        FileSys fs(Path("inflate.dat").c_str());
        std::vector<char> out(c.recordedSize + 16, '#');
        if (c.ok) {
            EXPECT_EQ(FileSys::ReadFile("Data\\e", out.data()), c.recordedSize);
            EXPECT_EQ(std::string(out.data(), data.size()), data);
        } else {
            EXPECT_EQ(FrameworkExMessage([&] { FileSys::ReadFile("Data\\e", out.data()); }),
                      "[FileSys::ReadFile]: Error uncompressing file");
        }
    }
}

TEST_F(FileSysTest, ArchiveVanishingAfterStartReportsTheEntry)
{
    ArchiveWriter writer;
    writer.Add("Data\\a", std::string("abc"));
    writer.Write(Path("gone.dat"));
    FileSys fs(Path("gone.dat").c_str());
    std::filesystem::remove(Path("gone.dat"));
    char out[3];
    EXPECT_EQ(FrameworkExMessage([&] { FileSys::ReadFile("Data\\a", out); }),
              "Failure: Could not open \"" + Path("gone.dat") + "\" when trying to read file Data\\a");
}

TEST_F(FileSysTest, SecondInstanceIsRefusedAndTheFirstCanBeReplacedAfterItIsGone)
{
    ArchiveWriter writer;
    writer.Add("Data\\a", std::string("abc"));
    writer.Write(Path("one.dat"));
    {
        FileSys first(Path("one.dat").c_str());
        EXPECT_EQ(FrameworkExMessage([&] { FileSys second(Path("one.dat").c_str()); }), "FileSys is a singleton!");
        EXPECT_EQ(FileSys::GetFileSize("Data\\a"), 3u);
    }
    EXPECT_EQ(FileSys::GetFileSize("Data\\a"), 0u);
    FileSys again(Path("one.dat").c_str());
    EXPECT_EQ(FileSys::GetFileSize("Data\\a"), 3u);
}

} // namespace

// The tools' one whole-file reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "common/WholeFile.h"

namespace {

TEST(WholeFileTest, ReadsEveryByte)
{
    TempDir dir;
    // Empty, text, and binary with zero bytes across the reader's 64 KiB chunks.
    std::string binary;
    for (std::size_t i = 0; i < 3 * 65536 + 7; ++i)
        binary += static_cast<char>((i * 131 + i / 977) & 0xFF);
    for (const std::string& bytes : {std::string(), std::string("one line\r\nand \0 more", 20), binary}) {
        const auto path = dir.path() / "file.bin";
        WriteFileBytes(path, bytes);
        EXPECT_EQ(ReadWholeText(path), bytes);
        const std::vector<unsigned char> read = ReadWholeFile(path);
        EXPECT_EQ(std::string(read.begin(), read.end()), bytes);
    }
}

TEST(WholeFileTest, AFileThatCannotBeReadIsNamedWithTheReason)
{
    TempDir dir;
    const struct {
        std::filesystem::path path;
        const char* reason;
    } cases[] = {
        {dir.path() / "missing.txt", "No such file or directory"},
        {dir.path(), "Is a directory"},
        {dir.path() / "missing" / "file.txt", "No such file or directory"},
    };
    for (const auto& c : cases) {
        for (int asBytes = 0; asBytes < 2; ++asBytes) {
            try {
                if (asBytes)
                    ReadWholeFile(c.path);
                else
                    ReadWholeText(c.path);
                ADD_FAILURE() << c.path << " was read";
            } catch (const FileReadError& e) {
                EXPECT_EQ(std::string(e.what()), "cannot read \"" + c.path.string() + "\": " + c.reason);
                EXPECT_EQ(e.Path(), c.path);
                EXPECT_EQ(e.Reason(), c.reason);
            }
        }
    }
}

} // namespace

// Any bytes opened as basefile.dat either give a directory whose every entry lies inside the
// file and reads back whole, or fail with the corruption message; reading an entry either
// fills exactly its recorded length or fails with the inflate message.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "FileSys.h"
#include "FrameworkEx.h"
#include "FuzzArchive.h"

namespace {

constexpr char kCorrupt[] = "Data base file corrupt.  Corruption detected while reading file #";

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The corruption message ends in the count of entries accepted before the bad record.
void CheckCorruptMessage(const std::string& message)
{
    if (!StartsWith(message, kCorrupt))
        std::abort();
    const std::string count = message.substr(std::strlen(kCorrupt));
    if (count.empty() || count.size() > 10)
        std::abort();
    for (char c : count)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            std::abort();
}

void CheckEntry(const std::string& name, const FILECOORDS& coords, std::size_t fileSize)
{
    // A name is one run of non-white-space characters that fits the reader's buffer.
    if (name.empty() || name.size() > 511)
        std::abort();
    for (char c : name)
        if (std::isspace(static_cast<unsigned char>(c)))
            std::abort();
    // The stream lies inside the file, and the entry claims no more than deflate can give.
    if (std::uint64_t(coords.startoffset) + coords.comp_length > fileSize)
        std::abort();
    if (std::uint64_t(coords.uncomp_length) > std::uint64_t(coords.comp_length) * 1032)
        std::abort();
    if (FileSys::GetFileSize(name.c_str()) != coords.uncomp_length)
        std::abort();

    // The buffer is exactly the recorded size, so a write past it is caught.
    std::unique_ptr<unsigned char[]> dest(new unsigned char[coords.uncomp_length]);
    try {
        if (FileSys::ReadFile(name.c_str(), dest.get()) != coords.uncomp_length)
            std::abort();
    } catch (const FrameworkEx& failure) {
        if (failure.GetMessage() != "[FileSys::ReadFile]: Error uncompressing file")
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    WriteFuzzArchive(data, size);
    std::unique_ptr<FileSys> files;
    try {
        files = std::make_unique<FileSys>(FuzzArchivePath().c_str());
    } catch (const FrameworkEx& failure) {
        CheckCorruptMessage(failure.GetMessage());
        // A failed start-up leaves no directory behind.
        if (!FileSys::GetDirectory().empty())
            std::abort();
        return 0;
    }

    for (const auto& [name, coords] : FileSys::GetDirectory())
        CheckEntry(name, coords, size);

    // A name the directory cannot hold is never found, and its read touches nothing.
    unsigned char untouched = 0x5A;
    if (FileSys::GetFileSize("no such entry") != 0 || FileSys::ReadFile("no such entry", &untouched) != 0 ||
        untouched != 0x5A)
        std::abort();
    return 0;
}

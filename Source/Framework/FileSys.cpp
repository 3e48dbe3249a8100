#include "FileSys.h"

#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "DXFramework.h"
#include "FrameworkEx.h"
#include "ResourceOwner.h"

namespace {

FileSys* instance = nullptr;
std::string databaseName;
unsigned directoryLength = 0;
std::map<std::string, FILECOORDS> directory;

// The longest name the directory may hold; a longer one is a damaged directory.
constexpr std::size_t kMaxNameLength = 511;
// Deflate cannot expand one compressed byte into more than 1032 bytes; an entry that
// claims more is damaged, and believing it would make loaders allocate gigabytes.
constexpr std::uint64_t kMaxInflateRatio = 1032;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Reads the directory's text the way the C formatted-input layouts "0x%08lx\n" and
// "%s\n%08lx\n%08lx\n%08lx\n" read it: fields are separated by any run of white space,
// numbers are at most 8 hexadecimal digits of either case.
class DirectoryReader {
public:
    explicit DirectoryReader(std::FILE* file) : file(file) {}

    void SkipSpace()
    {
        int c;
        while ((c = std::getc(file)) != EOF && std::isspace(c)) {
        }
        if (c != EOF)
            std::ungetc(c, file);
    }

    bool Literal(char expected)
    {
        int c = std::getc(file);
        if (c == expected)
            return true;
        if (c != EOF)
            std::ungetc(c, file);
        return false;
    }

    bool Hex(unsigned& value)
    {
        SkipSpace();
        unsigned result = 0;
        int digits = 0;
        int c = 0;
        while (digits < 8 && (c = std::getc(file)) != EOF && std::isxdigit(c)) {
            result = result * 16 + static_cast<unsigned>(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
            ++digits;
        }
        if (digits < 8 && c != EOF)
            std::ungetc(c, file);
        if (digits == 0)
            return false;
        value = result;
        return true;
    }

    // A name: a run of non-white-space characters. Fails at the end of the file, on a name
    // longer than the directory allows, and on a zero byte, which no name asked for by the
    // loaders can hold: such an entry could never be found, or would pass for a shorter name.
    bool Name(std::string& name)
    {
        SkipSpace();
        name.clear();
        int c;
        while ((c = std::getc(file)) != EOF && !std::isspace(c)) {
            if (c == '\0' || name.size() == kMaxNameLength)
                return false;
            name.push_back(static_cast<char>(c));
        }
        if (c != EOF)
            std::ungetc(c, file);
        return !name.empty();
    }

    long Position() const { return std::ftell(file); }

private:
    std::FILE* file;
};

[[noreturn]] void ThrowCorrupt(unsigned accepted)
{
    throw FrameworkEx("Data base file corrupt.  Corruption detected while reading file #" +
                      std::to_string(accepted));
}

} // namespace

FileSys::FileSys(const char* name)
{
    if (instance != nullptr)
        throw FrameworkEx("FileSys is a singleton!");
    instance = this;
    databaseName = name ? name : "";
    DXFramework::Log("Reading filesystem database...");
    try {
        ReadDirectory();
    } catch (...) {
        instance = nullptr;
        directory.clear();
        throw;
    }
}

// Forgets the instance and its directory, so that no reader sees a closed archive and
// the archive can be opened again.
FileSys::~FileSys()
{
    if (instance == this) {
        instance = nullptr;
        directory.clear();
        directoryLength = 0;
    }
}

void FileSys::Reload()
{
    if (instance == nullptr)
        throw FrameworkEx("FileSys::Reload: no archive is open");
    // Read into a directory of its own first: a damaged archive leaves the one in use as it was.
    std::map<std::string, FILECOORDS> kept;
    kept.swap(directory);
    const unsigned keptLength = directoryLength;
    try {
        ReadDirectory();
    } catch (...) {
        directory.swap(kept);
        directoryLength = keptLength;
        throw;
    }
}

void FileSys::ReadDirectory()
{
    directory.clear();
    File file(std::fopen(databaseName.c_str(), "rb"));
    if (!file)
        throw FrameworkEx("Failure: Could not open \"" + databaseName + "\" when reading database\n");
    DXFramework::Log("...Opened database file successfully");

    std::fseek(file.get(), 0, SEEK_END);
    const std::uint64_t fileSize = static_cast<std::uint64_t>(std::ftell(file.get()));
    std::fseek(file.get(), 0, SEEK_SET);

    DirectoryReader reader(file.get());
    // A file without its header is no archive: the directory length would be unknown.
    if (!reader.Literal('0') || !reader.Literal('x') || !reader.Hex(directoryLength))
        ThrowCorrupt(0);
    reader.SkipSpace();

    unsigned accepted = 0;
    while (reader.Position() >= 0 && static_cast<std::uint64_t>(reader.Position()) < directoryLength) {
        std::string entryName;
        unsigned start = 0, compressed = 0, uncompressed = 0;
        if (!reader.Name(entryName) || !reader.Hex(start) || !reader.Hex(compressed) || !reader.Hex(uncompressed))
            ThrowCorrupt(accepted);
        reader.SkipSpace();
        DXFramework::Log("...read: \"" + entryName + "\"");
        if (directory.count(entryName) != 0)
            continue; // the first record of a name wins
        if (std::uint64_t(start) + compressed > fileSize || uncompressed > compressed * kMaxInflateRatio)
            ThrowCorrupt(accepted);
        directory.emplace(entryName, FILECOORDS{start, uncompressed, compressed});
        ++accepted;
    }
    DXFramework::Log("...filesystem directory read successfully");
}

unsigned FileSys::GetFileSize(const char* name)
{
    ResourceOwner::NoteRead(name);
    auto entry = directory.find(name);
    return entry == directory.end() ? 0 : entry->second.uncomp_length;
}

unsigned FileSys::ReadFile(const char* name, void* dest)
{
    ResourceOwner::NoteRead(name);
    auto entry = directory.find(name);
    if (entry == directory.end())
        return 0;
    const FILECOORDS& coords = entry->second;

    File file(std::fopen(databaseName.c_str(), "rb"));
    if (!file)
        throw FrameworkEx("Failure: Could not open \"" + databaseName + "\" when trying to read file " +
                          std::string(name));
    std::vector<unsigned char> packed(coords.comp_length);
    std::size_t got = 0;
    if (std::fseek(file.get(), static_cast<long>(coords.startoffset), SEEK_SET) == 0)
        got = std::fread(packed.data(), 1, packed.size(), file.get());
    file.reset();

    uLongf outLength = coords.uncomp_length;
    // A stream cut short (the archive changed under us) cannot inflate into its entry.
    if (got != packed.size() ||
        uncompress(static_cast<Bytef*>(dest), &outLength, packed.data(), static_cast<uLong>(packed.size())) != Z_OK)
        throw FrameworkEx("[FileSys::ReadFile]: Error uncompressing file");
    return coords.uncomp_length;
}

const std::map<std::string, FILECOORDS>& FileSys::GetDirectory()
{
    return directory;
}

#include "WholeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The file's bytes, in a string or a byte vector.
template <typename BYTES>
BYTES ReadAll(const std::filesystem::path& path)
{
    errno = 0;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw FileReadError(path, std::strerror(errno));
    BYTES bytes;
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    // A folder opens and then fails on the first read (EISDIR).
    if (std::ferror(file.get()))
        throw FileReadError(path, std::strerror(errno != 0 ? errno : EIO));
    return bytes;
}

} // namespace

FileReadError::FileReadError(const std::filesystem::path& path, const std::string& reason)
    : std::runtime_error("cannot read \"" + path.string() + "\": " + reason), path(path), reason(reason)
{
}

std::string ReadWholeText(const std::filesystem::path& path)
{
    return ReadAll<std::string>(path);
}

std::vector<unsigned char> ReadWholeFile(const std::filesystem::path& path)
{
    return ReadAll<std::vector<unsigned char>>(path);
}

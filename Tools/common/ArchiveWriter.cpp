#include "ArchiveWriter.h"

#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace {

void CheckName(const std::string& name)
{
    if (name.empty())
        throw std::invalid_argument("archive entry names cannot be empty");
    if (name.size() > 511)
        throw std::invalid_argument("archive entry name longer than 511 bytes: " + name.substr(0, 64) + "...");
    for (char c : name) {
        // A zero byte would end the name for every reader that takes it as a C string, and the
        // show's reader refuses a directory that holds one.
        if (c == '\0')
            throw std::invalid_argument("archive entry name holds a zero byte: \"" + name.substr(0, name.find('\0')) +
                                        "\\0...\"");
        if (std::isspace(static_cast<unsigned char>(c)))
            throw std::invalid_argument("archive entry name holds white space: \"" + name + "\"");
    }
}

} // namespace

std::vector<unsigned char> ArchiveWriter::Compress(const std::vector<unsigned char>& data, int level)
{
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    std::vector<unsigned char> packed(length);
    if (compress2(packed.data(), &length, data.data(), static_cast<uLong>(data.size()), level) != Z_OK)
        throw std::runtime_error("zlib could not compress an archive entry");
    packed.resize(length);
    return packed;
}

namespace {

std::string Record(const std::string& name, std::uint64_t start, std::size_t compressed, std::size_t uncompressed)
{
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "\n%08lx\n%08lx\n%08lx\n", static_cast<unsigned long>(start),
                  static_cast<unsigned long>(compressed), static_cast<unsigned long>(uncompressed));
    return name + numbers;
}

} // namespace

void ArchiveWriter::Add(const std::string& name, std::vector<unsigned char> data)
{
    CheckName(name);
    if (data.size() > 0xffffffffull)
        throw std::invalid_argument("archive entry larger than 4 GiB: " + name);
    compressed.erase(name);
    entries[name] = std::move(data);
}

void ArchiveWriter::AddCompressed(const std::string& name, std::vector<unsigned char> stream, std::size_t uncompressedSize)
{
    CheckName(name);
    if (uncompressedSize > 0xffffffffull)
        throw std::invalid_argument("archive entry larger than 4 GiB: " + name);
    entries.erase(name);
    compressed[name] = Compressed{std::move(stream), uncompressedSize};
}

void ArchiveWriter::Add(const std::string& name, const std::string& data)
{
    Add(name, std::vector<unsigned char>(data.begin(), data.end()));
}

std::vector<unsigned char> ArchiveWriter::Build(int level) const
{
    // Every entry in name order, whether added as bytes or as a stream made already; the streams
    // made already are not copied until they go into the archive.
    struct Packed {
        const std::vector<unsigned char>* stream;
        std::size_t size;
    };
    std::map<std::string, std::vector<unsigned char>> made;
    std::map<std::string, Packed> packed;
    for (const auto& [name, data] : entries) {
        const auto& stream = made[name] = Compress(data, level);
        packed[name] = Packed{&stream, data.size()};
    }
    for (const auto& [name, entry] : compressed)
        packed[name] = Packed{&entry.stream, entry.size};
    // Every record has a fixed length, so the text part's length is known before the
    // offsets are.
    std::uint64_t textLength = 11;
    for (const auto& [name, entry] : packed)
        textLength += name.size() + 28;
    std::uint64_t end = textLength;
    for (const auto& [name, entry] : packed)
        end += entry.stream->size();
    if (end > 0xffffffffull)
        throw std::runtime_error("archive larger than 4 GiB");

    char header[16];
    std::snprintf(header, sizeof header, "0x%08lx\n", static_cast<unsigned long>(textLength));
    std::string text = header;
    std::uint64_t offset = textLength;
    for (const auto& [name, entry] : packed) {
        text += Record(name, offset, entry.stream->size(), entry.size);
        offset += entry.stream->size();
    }

    std::vector<unsigned char> archive;
    archive.reserve(end);
    archive.insert(archive.end(), text.begin(), text.end());
    for (const auto& [name, entry] : packed)
        archive.insert(archive.end(), entry.stream->begin(), entry.stream->end());
    return archive;
}

void ArchiveWriter::Write(const std::string& path, int level) const
{
    std::vector<unsigned char> archive = Build(level);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write \"" + path + "\"");
    out.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    if (!out)
        throw std::runtime_error("cannot write \"" + path + "\"");
}

#include "d3dx9/xfile/XFileMszip.h"

#include <string>

#include <zlib.h>

namespace {

std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t ReadU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

XFileResult XFileMszip::Expand(const std::uint8_t* data, std::size_t size, std::size_t headerSize,
                               std::vector<std::uint8_t>& out)
{
    out.clear();
    if (size < 4)
        return XFileResult::Failure("compressed .x file: missing the uncompressed size");
    const std::uint32_t total = ReadU32(data);
    if (total <= headerSize || total > kMaxTotalSize)
        return XFileResult::Failure("compressed .x file: uncompressed size " + std::to_string(total) +
                                    " is out of range");
    const std::size_t expected = total - headerSize;

    std::size_t pos = 4;
    std::size_t previousStart = 0;
    std::size_t previousSize = 0;
    int block = 0;
    while (pos < size) {
        const std::string where = "compressed .x file, block " + std::to_string(block) + ": ";
        if (size - pos < 6)
            return XFileResult::Failure(where + "truncated block header");
        const std::size_t plainSize = ReadU16(data + pos);
        const std::size_t packedSize = ReadU16(data + pos + 2);
        pos += 4;
        if (plainSize == 0 || plainSize > kMaxBlockSize || packedSize < 3 || packedSize > size - pos)
            return XFileResult::Failure(where + "block sizes out of range");
        if (data[pos] != 'C' || data[pos + 1] != 'K')
            return XFileResult::Failure(where + "missing the \"CK\" block signature");
        if (out.size() + plainSize > expected)
            return XFileResult::Failure(where + "more data than the stated uncompressed size");

        z_stream stream{};
        if (inflateInit2(&stream, -15) != Z_OK)
            return XFileResult::Failure(where + "cannot start the inflater");
        int status = Z_OK;
        if (previousSize > 0)
            status = inflateSetDictionary(&stream, out.data() + previousStart, static_cast<uInt>(previousSize));
        const std::size_t start = out.size();
        out.resize(start + plainSize);
        if (status == Z_OK) {
            stream.next_in = const_cast<Bytef*>(data + pos + 2);
            stream.avail_in = static_cast<uInt>(packedSize - 2);
            stream.next_out = out.data() + start;
            stream.avail_out = static_cast<uInt>(plainSize);
            status = inflate(&stream, Z_FINISH);
        }
        const bool complete = status == Z_STREAM_END && stream.avail_out == 0;
        inflateEnd(&stream);
        if (!complete)
            return XFileResult::Failure(where + "damaged deflate data");

        previousStart = start;
        previousSize = plainSize;
        pos += packedSize;
        ++block;
    }
    if (out.size() != expected)
        return XFileResult::Failure("compressed .x file: " + std::to_string(out.size()) + " bytes expand instead of " +
                                    std::to_string(expected));
    return XFileResult::Success();
}

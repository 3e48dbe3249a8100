#pragma once
#include <cstdint>
#include <cstring>
#include <string>

// Track files laid out by hand, byte by byte, so that readers are checked against the file
// layout and not against a writer of ours: a little-endian count, then per key frame the row,
// the value's bits and one code byte.
inline std::string U32(std::uint32_t v)
{
    std::string out;
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((v >> shift) & 0xff));
    return out;
}

inline std::string RecordBits(std::uint32_t row, std::uint32_t valueBits, unsigned char code)
{
    return U32(row) + U32(valueBits) + std::string(1, static_cast<char>(code));
}

inline std::string Record(std::uint32_t row, float value, unsigned char code)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return RecordBits(row, bits, code);
}

#pragma once
#include <string>

#include <zlib.h>

// The data as one zlib stream at the best compression, the way archive entries are stored.
inline std::string Deflate(const std::string& data)
{
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    std::string out(length, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uLong>(data.size()), 9);
    out.resize(length);
    return out;
}

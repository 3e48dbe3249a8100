#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "d3dx9/xfile/XFileResult.h"

// Expands the MSZIP payload of a compressed .x file ("tzip"/"bzip"): a 4-byte total size (header
// included), then blocks of [2-byte uncompressed size, 2-byte compressed size, "CK", raw deflate data],
// each inflated with the previous block's output as its preset dictionary.
class XFileMszip {
public:
    // Largest total size accepted from the compressed header.
    static constexpr std::uint32_t kMaxTotalSize = 64u * 1024u * 1024u;
    static constexpr std::size_t kMaxBlockSize = 32768;

    // data/size: everything after the 16-byte file header. headerSize: length of that header, counted
    // in the stored total. On success out holds the uncompressed bytes that follow the header.
    static XFileResult Expand(const std::uint8_t* data, std::size_t size, std::size_t headerSize,
                              std::vector<std::uint8_t>& out);
};

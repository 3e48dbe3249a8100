#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes pictures for people to look at: screenshots, test read-backs, captures.
// Rows run from the top; pixels are 4 bytes in B, G, R, A order (the byte order of
// D3DFMT_A8R8G8B8 in memory). With opaque set, alpha is written as 255. Returns false when
// the file cannot be written or the sizes do not match.
bool WritePngBGRA(const std::string& path, const std::uint8_t* bgra, unsigned width, unsigned height,
                  unsigned pitchBytes, bool opaque = true);

// Reads a PNG into rows from the top, 4 bytes per pixel in B, G, R, A order.
bool ReadPngBGRA(const std::string& path, std::vector<std::uint8_t>& bgra, unsigned& width, unsigned& height);

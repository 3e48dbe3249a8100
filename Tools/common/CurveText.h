#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "AnimCurve.h"

// The text form of an animation curve, for authors:
//
//   # time value in-tangent out-tangent
//   0    0  0  1
//   10  10  1  0
//
// one key per line, four numbers separated by white space; '#' starts a comment that runs to
// the end of the line; blank lines are skipped. Keys must ascend by time (equal times are
// allowed). Numbers are written with %.9g, so text and binary convert into each other without
// changing a bit.

// Reads curve text. Throws std::runtime_error naming sourceName and the line for a line that
// is not four finite numbers, for a key earlier than the one before it, and for text
// without keys.
std::vector<ANIMCURVEKEY> ParseCurveText(const std::string& text, const std::string& sourceName);
// Reads a text file of keys; messages name the file. Throws std::runtime_error as above, and
// with the system's reason when the file cannot be read.
std::vector<ANIMCURVEKEY> ReadCurveTextFile(const std::string& path);
// The text form of the keys, one line per key.
std::string FormatCurveText(const std::vector<ANIMCURVEKEY>& keys);

// The curve file: the keys as 16-byte little-endian records, no header.
std::vector<unsigned char> EncodeCurveKeys(const std::vector<ANIMCURVEKEY>& keys);
// Writes a curve file; throws std::runtime_error with the system's reason when it cannot.
void WriteCurveFile(const std::string& path, const std::vector<ANIMCURVEKEY>& keys);

struct CurveFileContents {
    std::vector<ANIMCURVEKEY> keys;
    std::size_t ignoredBytes = 0; // a trailing partial record, which readers skip
};
// Reads a curve file; throws std::runtime_error with the system's reason when it cannot.
CurveFileContents ReadCurveFile(const std::string& path);

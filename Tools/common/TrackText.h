#pragma once
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "sync/SyncNamespace.h"
#include "sync/Track.h"

// The two forms of a sync track's key frames, keyed by row.
//
// Text form, for people: one key frame per line, "row value interpolation", fields
// separated by blanks. The row is an unsigned 32-bit decimal integer; the value a decimal
// (or hexadecimal) float, "inf", or a NaN written "nan", "-nan" or "nan(0xXXXXXXXX)" with
// its 32 bits; the interpolation one of step, linear, smooth, ramp in any case, or an
// integer code from -128 to 127. '#' starts a comment that runs to the end of the line;
// blank lines are allowed. A row given twice keeps the later line, as the loader does.
//
// Binary form, the track file of the archive: a little-endian unsigned 32-bit count, then
// that many packed 9-byte records: row (u32), value (IEEE single), interpolation code
// (signed byte). Bytes after the last record are ignored.
using TrackKeys = std::map<std::uint32_t, sync::Track::KeyFrame>;

// A line of text that is not a key frame.
class TrackTextError : public std::runtime_error {
public:
    TrackTextError(unsigned line, const std::string& message);
    unsigned Line() const { return line; }

private:
    unsigned line;
};

// Reads the text form; throws TrackTextError naming the first bad line.
TrackKeys ParseTrackText(const std::string& text);

// Writes the text form in row order, every value printed so that it reads back to the same
// bits: names for the four known codes, the integer for any other.
std::string FormatTrackText(const TrackKeys& keys);

// One value as the text form writes it ("%.9g", NaNs with their bits).
std::string FormatTrackValue(float value);

// The track file for the key frames, in row order. Throws std::invalid_argument for an
// interpolation code a signed byte cannot hold.
std::vector<unsigned char> BuildTrackFile(const TrackKeys& keys);

// What a track file holds, read the way the demo's loader reads it.
struct TrackFileContents {
    TrackKeys keys;
    bool hasCount = false;           // the file is long enough to hold its count
    std::uint32_t declaredCount = 0; // the count it gives
    std::uint32_t wholeRecords = 0;  // records read: the count, or fewer when the file is short
};

// Reads whole records only: a file shorter than its count says gives what it holds.
TrackFileContents ReadTrackFile(const std::vector<unsigned char>& bytes);

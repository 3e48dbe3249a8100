#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

// The show's tune as a capture plays it: "Data\\tune.ogg" from the archive, decoded whole to
// 16-bit samples. Sample frame k is the playback time k / rate, as the program plays it.
struct TuneAudio {
    unsigned rate = 0;
    unsigned channels = 0;
    std::vector<std::int16_t> samples; // interleaved, frames x channels

    std::int64_t Frames() const { return channels ? static_cast<std::int64_t>(samples.size() / channels) : 0; }

    // Sample frames [first, first + count) appended to `out`, interleaved; silence before the
    // tune's start and past its end.
    void AppendFrames(std::int64_t first, std::int64_t count, std::vector<std::int16_t>& out) const;
};

// Reads "Data\\tune.ogg" from the archive and decodes it. Opens the archive itself, so no other
// reader of it may be open (the show's host keeps one while it lives: read the tune first).
// Failures throw std::runtime_error naming the archive.
TuneAudio ReadTune(const std::filesystem::path& archive);

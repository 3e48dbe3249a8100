#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes a whole Ogg Vorbis file held in memory to 16-bit samples through libvorbisfile. The
// memory is only read during Decode.
struct DecodedAudio {
    int error = 0;       // BASS error code; BASS_OK when the rest is valid
    unsigned rate = 0;   // frames per second
    unsigned channels = 0;
    std::vector<std::int16_t> samples; // interleaved, frames × channels
};

class OggDecoder {
public:
    // Not Ogg Vorbis (or its headers cut short): BASS_ERROR_FILEFORM. More than two channels, or
    // links of differing rate or channel count: BASS_ERROR_FORMAT. Audio data that is cut short
    // or damaged ends the sound where the damage starts.
    static DecodedAudio Decode(const void* data, std::size_t size);
};

#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

#include "audio/AudioChannel.h"

// The channels of the open device, under the handles BASS hands out, and the mix of those that
// play. Handles are never reused within a process, so a freed handle stays invalid.
class AudioMixer {
public:
    // Takes the channel; returns its handle (never 0).
    std::uint32_t Add(std::unique_ptr<AudioChannel> channel);
    // Null when no channel has that handle.
    AudioChannel* Find(std::uint32_t handle);
    // False when no channel has that handle.
    bool Remove(std::uint32_t handle);
    void Clear();

    // Writes the next `frames` stereo frames at `rate` into `out` (clipped to -1..1), stream
    // channels scaled by `streamGain` and music channels by `musicGain`; with a null `out`
    // the playing channels only move on.
    void Mix(float* out, std::size_t frames, unsigned rate, float streamGain, float musicGain);

private:
    std::map<std::uint32_t, std::unique_ptr<AudioChannel>> channels_;
    static std::uint32_t nextHandle_;
};

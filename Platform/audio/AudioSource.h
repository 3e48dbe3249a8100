#pragma once
#include <cstddef>
#include <cstdint>

// Something a channel plays: interleaved float frames (-1..1) at a fixed rate and channel count.
class AudioSource {
public:
    virtual ~AudioSource() = default;

    virtual unsigned Rate() const = 0;
    virtual unsigned Channels() const = 0;
    // True when the source starts again at its end instead of ending.
    virtual bool Loops() const = 0;
    // Frames in one pass through the source.
    virtual std::uint64_t LengthFrames() const = 0;
    // The frame the next Read starts at.
    virtual std::uint64_t PositionFrames() const = 0;
    // Moves to `frame` (at most LengthFrames()); false when the source cannot go there.
    virtual bool Seek(std::uint64_t frame) = 0;
    // Reads up to `frames` frames into `out` (frames × Channels() floats). Fewer only at the end.
    virtual std::size_t Read(float* out, std::size_t frames) = 0;
    // Moves on as Read would, without handing out the samples. Returns the frames passed.
    virtual std::size_t Skip(std::size_t frames);
};

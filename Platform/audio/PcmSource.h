#pragma once
#include <cstdint>
#include <vector>

#include "audio/AudioSource.h"

// Plays decoded 16-bit samples held in memory.
class PcmSource : public AudioSource {
public:
    PcmSource(std::vector<std::int16_t> samples, unsigned rate, unsigned channels, bool loop);

    unsigned Rate() const override { return rate_; }
    unsigned Channels() const override { return channels_; }
    bool Loops() const override { return loop_; }
    std::uint64_t LengthFrames() const override { return length_; }
    std::uint64_t PositionFrames() const override { return position_; }
    bool Seek(std::uint64_t frame) override;
    std::size_t Read(float* out, std::size_t frames) override;
    std::size_t Skip(std::size_t frames) override;

private:
    std::vector<std::int16_t> samples_;
    unsigned rate_;
    unsigned channels_;
    bool loop_;
    std::uint64_t length_;
    std::uint64_t position_ = 0;
};

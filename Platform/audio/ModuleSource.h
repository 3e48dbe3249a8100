#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "audio/AudioSource.h"

namespace openmpt {
class module;
}

// Renders a tracker module (MOD, S3M, XM, IT and the other formats libopenmpt reads) while it
// plays. The module's bytes are copied; nothing outside is read after Load.
class ModuleSource : public AudioSource {
public:
    ~ModuleSource() override;

    // Returns null and sets `error` (BASS_ERROR_FILEFORM for data libopenmpt does not take,
    // BASS_ERROR_MEM when memory runs out) when the module cannot be loaded.
    static std::unique_ptr<ModuleSource> Load(const void* data, std::size_t size, unsigned rate, bool mono,
                                              bool loop, int& error);

    unsigned Rate() const override { return rate_; }
    unsigned Channels() const override { return channels_; }
    bool Loops() const override { return loop_; }
    std::uint64_t LengthFrames() const override { return length_; }
    std::uint64_t PositionFrames() const override { return position_; }
    bool Seek(std::uint64_t frame) override;
    std::size_t Read(float* out, std::size_t frames) override;

private:
    ModuleSource(unsigned rate, unsigned channels, bool loop);

    // libopenmpt keeps writing its messages to this stream while the module lives; it swallows them.
    std::ostream log_{nullptr};
    std::unique_ptr<openmpt::module> module_;
    unsigned rate_;
    unsigned channels_;
    bool loop_;
    std::uint64_t length_ = 0;
    std::uint64_t position_ = 0;
};

#include "audio/PcmSource.h"

#include <algorithm>
#include <utility>

PcmSource::PcmSource(std::vector<std::int16_t> samples, unsigned rate, unsigned channels, bool loop)
    : samples_(std::move(samples)), rate_(rate), channels_(channels), loop_(loop),
      length_(channels == 0 ? 0 : samples_.size() / channels)
{
}

bool PcmSource::Seek(std::uint64_t frame)
{
    if (frame > length_)
        return false;
    position_ = frame;
    return true;
}

std::size_t PcmSource::Read(float* out, std::size_t frames)
{
    std::size_t done = 0;
    while (done < frames) {
        if (position_ >= length_) {
            if (!loop_ || length_ == 0)
                break;
            position_ = 0;
        }
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(frames - done, length_ - position_));
        const std::int16_t* from = samples_.data() + position_ * channels_;
        float* to = out + done * channels_;
        for (std::size_t i = 0; i < count * channels_; ++i)
            to[i] = static_cast<float>(from[i]) * (1.0f / 32768.0f);
        position_ += count;
        done += count;
    }
    return done;
}

std::size_t PcmSource::Skip(std::size_t frames)
{
    if (loop_ && length_ > 0) {
        position_ = (position_ + frames % length_) % length_;
        return frames;
    }
    const std::uint64_t count = std::min<std::uint64_t>(frames, length_ - std::min(position_, length_));
    position_ += count;
    return static_cast<std::size_t>(count);
}

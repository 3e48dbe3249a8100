#include "audio/AudioChannel.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "audio/bass.h"

namespace {

constexpr std::size_t kBlockFrames = 1024;

} // namespace

AudioChannel::AudioChannel(Kind kind, std::unique_ptr<AudioSource> source, unsigned bytesPerSample)
    : kind_(kind), source_(std::move(source)), bytesPerSample_(bytesPerSample),
      block_(kBlockFrames * source_->Channels())
{
}

unsigned AudioChannel::Activity() const
{
    switch (state_) {
    case State::Playing:
        return BASS_ACTIVE_PLAYING;
    case State::Paused:
        return BASS_ACTIVE_PAUSED;
    case State::Stopped:
        break;
    }
    return BASS_ACTIVE_STOPPED;
}

int AudioChannel::Play(bool restart)
{
    if (restart || ended_) {
        if (!source_->Seek(0))
            return BASS_ERROR_POSITION;
        ResetResampler();
        ended_ = false;
    }
    state_ = State::Playing;
    return BASS_OK;
}

int AudioChannel::Pause()
{
    if (state_ == State::Paused)
        return BASS_ERROR_ALREADY;
    if (state_ != State::Playing)
        return BASS_ERROR_NOPLAY;
    state_ = State::Paused;
    return BASS_OK;
}

void AudioChannel::Stop()
{
    state_ = State::Stopped;
}

int AudioChannel::SetPositionBytes(std::uint64_t position)
{
    const std::uint64_t frame = position / BytesPerFrame();
    if (frame > source_->LengthFrames() || !source_->Seek(frame))
        return BASS_ERROR_POSITION;
    ResetResampler();
    ended_ = false;
    return BASS_OK;
}

std::int64_t AudioChannel::PlayedFrame() const
{
    // Frames read from the source but not yet played: the rest of the block, and the two
    // frames the resampler interpolates between (it is playing the first of them).
    const std::size_t pending = (blockFrames_ - blockIndex_) + (primed_ ? 2 : 0);
    const std::int64_t length = static_cast<std::int64_t>(source_->LengthFrames());
    std::int64_t frame = static_cast<std::int64_t>(source_->PositionFrames()) - static_cast<std::int64_t>(pending);
    if (source_->Loops() && length > 0)
        frame = ((frame % length) + length) % length;
    return std::max<std::int64_t>(frame, 0);
}

std::uint64_t AudioChannel::PositionBytes() const
{
    return static_cast<std::uint64_t>(PlayedFrame()) * BytesPerFrame();
}

std::uint64_t AudioChannel::LengthBytes() const
{
    return source_->LengthFrames() * BytesPerFrame();
}

std::uint64_t AudioChannel::SecondsToBytes(double seconds) const
{
    if (!(seconds >= 0.0) || !std::isfinite(seconds))
        return static_cast<std::uint64_t>(-1);
    // A millionth of a frame keeps whole frames whole through a round trip with BytesToSeconds.
    const double frames = std::min(std::floor(seconds * source_->Rate() + 1e-6), 9007199254740992.0);
    return static_cast<std::uint64_t>(frames) * BytesPerFrame();
}

double AudioChannel::BytesToSeconds(std::uint64_t bytes) const
{
    return static_cast<double>(bytes) / (static_cast<double>(BytesPerFrame()) * source_->Rate());
}

void AudioChannel::ResetResampler()
{
    blockFrames_ = 0;
    blockIndex_ = 0;
    primed_ = false;
    fraction_ = 0.0;
}

void AudioChannel::Mix(float* out, std::size_t frames, unsigned outputRate, float gain)
{
    if (state_ != State::Playing || frames == 0)
        return;
    const std::size_t played = source_->Rate() == outputRate ? MixDirect(out, frames, gain)
                                                             : MixResampled(out, frames, outputRate, gain);
    if (played < frames) {
        ended_ = true;
        state_ = State::Stopped;
        ResetResampler();
    }
}

void AudioChannel::AddFrame(float* out, const float* frame, float gain) const
{
    out[0] += frame[0] * gain;
    out[1] += frame[1] * gain;
}

std::size_t AudioChannel::MixDirect(float* out, std::size_t frames, float gain)
{
    if (out == nullptr)
        return source_->Skip(frames);
    const unsigned channels = source_->Channels();
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t want = std::min(kBlockFrames, frames - done);
        const std::size_t got = source_->Read(block_.data(), want);
        for (std::size_t i = 0; i < got; ++i) {
            const float* sample = block_.data() + i * channels;
            const float frame[2] = {sample[0], sample[channels - 1]};
            AddFrame(out + (done + i) * 2, frame, gain);
        }
        done += got;
        if (got < want)
            break;
    }
    return done;
}

bool AudioChannel::FetchFrame(float* frame)
{
    if (blockIndex_ == blockFrames_) {
        blockFrames_ = source_->Read(block_.data(), kBlockFrames);
        blockIndex_ = 0;
        if (blockFrames_ == 0)
            return false;
    }
    const unsigned channels = source_->Channels();
    const float* sample = block_.data() + blockIndex_ * channels;
    frame[0] = sample[0];
    frame[1] = sample[channels - 1];
    ++blockIndex_;
    return true;
}

std::size_t AudioChannel::MixResampled(float* out, std::size_t frames, unsigned outputRate, float gain)
{
    // Linear interpolation between neighbouring source frames.
    const double step = static_cast<double>(source_->Rate()) / outputRate;
    for (std::size_t i = 0; i < frames; ++i) {
        if (!primed_) {
            if (!FetchFrame(current_) || !FetchFrame(next_))
                return i;
            primed_ = true;
            fraction_ = 0.0;
        }
        if (out != nullptr) {
            const auto t = static_cast<float>(fraction_);
            const float frame[2] = {current_[0] + (next_[0] - current_[0]) * t,
                                    current_[1] + (next_[1] - current_[1]) * t};
            AddFrame(out + i * 2, frame, gain);
        }
        fraction_ += step;
        while (fraction_ >= 1.0) {
            current_[0] = next_[0];
            current_[1] = next_[1];
            if (!FetchFrame(next_))
                return i + 1;
            fraction_ -= 1.0;
        }
    }
    return frames;
}

#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/AudioSource.h"

// One BASS channel: a source with its play state, its byte format and the resampling that
// brings it to the output rate.
class AudioChannel {
public:
    enum class Kind { Stream, Music };

    // `bytesPerSample` is the size BASS counts positions in: 2 (16 bits) or 4 (float).
    AudioChannel(Kind kind, std::unique_ptr<AudioSource> source, unsigned bytesPerSample);

    Kind GetKind() const { return kind_; }
    // BASS_ACTIVE_STOPPED, BASS_ACTIVE_PLAYING or BASS_ACTIVE_PAUSED.
    unsigned Activity() const;

    // The functions below return BASS_OK or the BASS error code of the refusal.
    int Play(bool restart);
    int Pause();
    void Stop();
    int SetPositionBytes(std::uint64_t position);

    std::uint64_t PositionBytes() const;
    std::uint64_t LengthBytes() const;
    // (QWORD)-1 for a negative or undefined time.
    std::uint64_t SecondsToBytes(double seconds) const;
    double BytesToSeconds(std::uint64_t bytes) const;

    // Adds the next `frames` frames at `outputRate` to the interleaved stereo `out`, scaled by
    // `gain`; with a null `out` the channel only moves on. Does nothing unless playing. A
    // channel whose source ends stops at its end.
    void Mix(float* out, std::size_t frames, unsigned outputRate, float gain);

private:
    enum class State { Stopped, Playing, Paused };

    unsigned BytesPerFrame() const { return bytesPerSample_ * source_->Channels(); }
    std::int64_t PlayedFrame() const;
    void ResetResampler();
    bool FetchFrame(float* frame);
    std::size_t MixDirect(float* out, std::size_t frames, float gain);
    std::size_t MixResampled(float* out, std::size_t frames, unsigned outputRate, float gain);
    void AddFrame(float* out, const float* frame, float gain) const;

    Kind kind_;
    std::unique_ptr<AudioSource> source_;
    unsigned bytesPerSample_;
    State state_ = State::Stopped;
    bool ended_ = false;

    std::vector<float> block_;  // source frames read ahead while resampling
    std::size_t blockFrames_ = 0;
    std::size_t blockIndex_ = 0;
    bool primed_ = false;       // current_ and next_ hold source frames
    float current_[2] = {0.0f, 0.0f};
    float next_[2] = {0.0f, 0.0f};
    double fraction_ = 0.0;     // place between current_ and next_
};

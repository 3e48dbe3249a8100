#pragma once
#include <cstddef>
#include <cstdint>

// SDL's default audio output, playing 32-bit float stereo that a mix function fills on SDL's
// audio thread. SDL's "dummy" and "disk" drivers count as no output: they make no sound.
class SDLAudioOutput {
public:
    // Called on SDL's audio thread for `frames` interleaved stereo frames.
    using MixFunction = void (*)(float* out, std::size_t frames);

    SDLAudioOutput() = default;
    SDLAudioOutput(const SDLAudioOutput&) = delete;
    SDLAudioOutput& operator=(const SDLAudioOutput&) = delete;
    ~SDLAudioOutput();

    // Opens the default output at `rate`, paused. Returns BASS_OK, BASS_ERROR_DEVICE when SDL
    // has no real output, or BASS_ERROR_DRIVER when the default device will not open.
    int Open(unsigned rate, MixFunction mix);
    // Starts calling the mix function.
    void Start();
    // Stops the output and waits until the mix function is no longer running.
    void Close();

    unsigned Rate() const { return rate_; }
    // Frames in SDL's device buffer: the delay between mixing a frame and hearing it.
    unsigned BufferFrames() const { return bufferFrames_; }

private:
    static void Callback(void* user, std::uint8_t* stream, int length);

    std::uint32_t device_ = 0;
    bool subsystemStarted_ = false;
    unsigned rate_ = 0;
    unsigned bufferFrames_ = 0;
    MixFunction mix_ = nullptr;
};

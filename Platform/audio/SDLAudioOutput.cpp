#include "audio/SDLAudioOutput.h"

#include <SDL.h>

#include <cstring>

#include "audio/bass.h"

namespace {

bool IsRealDriver(const char* driver)
{
    return driver != nullptr && std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "disk") != 0;
}

} // namespace

SDLAudioOutput::~SDLAudioOutput()
{
    Close();
}

int SDLAudioOutput::Open(unsigned rate, MixFunction mix)
{
    Close();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return BASS_ERROR_DEVICE;
    subsystemStarted_ = true;
    if (!IsRealDriver(SDL_GetCurrentAudioDriver())) {
        Close();
        return BASS_ERROR_DEVICE;
    }
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = static_cast<int>(rate);
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = &SDLAudioOutput::Callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained;
    SDL_zero(obtained);
    // No changes allowed: SDL converts to whatever the device wants.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
        Close();
        return BASS_ERROR_DRIVER;
    }
    mix_ = mix;
    rate_ = static_cast<unsigned>(obtained.freq);
    bufferFrames_ = obtained.samples;
    return BASS_OK;
}

void SDLAudioOutput::Start()
{
    if (device_ != 0)
        SDL_PauseAudioDevice(device_, 0);
}

void SDLAudioOutput::Close()
{
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    if (subsystemStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted_ = false;
    }
    mix_ = nullptr;
    rate_ = 0;
    bufferFrames_ = 0;
}

void SDLAudioOutput::Callback(void* user, std::uint8_t* stream, int length)
{
    auto* self = static_cast<SDLAudioOutput*>(user);
    const std::size_t frames = static_cast<std::size_t>(length) / (2 * sizeof(float));
    self->mix_(reinterpret_cast<float*>(stream), frames);
}

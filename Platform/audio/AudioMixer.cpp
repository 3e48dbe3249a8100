#include "audio/AudioMixer.h"

#include <algorithm>
#include <utility>

std::uint32_t AudioMixer::nextHandle_ = 0x10000;

std::uint32_t AudioMixer::Add(std::unique_ptr<AudioChannel> channel)
{
    do {
        ++nextHandle_;
    } while (nextHandle_ == 0 || channels_.count(nextHandle_) != 0);
    channels_.emplace(nextHandle_, std::move(channel));
    return nextHandle_;
}

AudioChannel* AudioMixer::Find(std::uint32_t handle)
{
    const auto it = channels_.find(handle);
    return it == channels_.end() ? nullptr : it->second.get();
}

bool AudioMixer::Remove(std::uint32_t handle)
{
    return channels_.erase(handle) != 0;
}

void AudioMixer::Clear()
{
    channels_.clear();
}

void AudioMixer::Mix(float* out, std::size_t frames, unsigned rate, float streamGain, float musicGain)
{
    if (out != nullptr)
        std::fill(out, out + frames * 2, 0.0f);
    for (auto& entry : channels_) {
        AudioChannel& channel = *entry.second;
        channel.Mix(out, frames, rate, channel.GetKind() == AudioChannel::Kind::Music ? musicGain : streamGain);
    }
    if (out != nullptr)
        for (std::size_t i = 0; i < frames * 2; ++i)
            out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

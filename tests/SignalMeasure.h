#pragma once
#include <cmath>
#include <cstddef>
#include <vector>

// Measures of one channel of interleaved samples, to check sound without listening to it.
inline double ChannelRms(const std::vector<float>& samples, std::size_t channels, std::size_t channel)
{
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t i = channel; i < samples.size(); i += channels, ++count)
        sum += static_cast<double>(samples[i]) * samples[i];
    return count == 0 ? 0.0 : std::sqrt(sum / count);
}

// The frequency of a tone from its upward zero crossings.
inline double ChannelFrequency(const std::vector<float>& samples, std::size_t channels, std::size_t channel,
                               double rate)
{
    std::size_t crossings = 0;
    std::size_t first = 0;
    std::size_t last = 0;
    for (std::size_t i = channel + channels; i < samples.size(); i += channels) {
        if (samples[i - channels] < 0.0f && samples[i] >= 0.0f) {
            if (crossings == 0)
                first = i / channels;
            last = i / channels;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0.0;
    return (crossings - 1) * rate / static_cast<double>(last - first);
}

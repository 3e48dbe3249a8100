#pragma once
#include <algorithm>
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

// The level in dB (relative to a full-scale sine) of the component at `frequency` in one channel,
// by the Goertzel algorithm over the whole signal. Exact when the signal holds whole cycles.
inline double ChannelToneDb(const std::vector<float>& samples, std::size_t channels, std::size_t channel,
                            double rate, double frequency)
{
    const double w = 2.0 * 3.14159265358979323846 * frequency / rate;
    const double coef = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    std::size_t count = 0;
    for (std::size_t i = channel; i < samples.size(); i += channels, ++count) {
        const double s0 = samples[i] + coef * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coef * s1 * s2;
    const double amplitude = 2.0 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(count);
    return 20.0 * std::log10(std::max(amplitude, 1e-12));
}

// The fundamental frequency of a periodic signal in one channel: the lag of the strongest
// normalised autocorrelation between rate/maxHz and rate/minHz samples, refined between lags.
inline double ChannelPitch(const std::vector<float>& samples, std::size_t channels, std::size_t channel, double rate,
                           double minHz = 30.0, double maxHz = 5000.0)
{
    const std::size_t frames = samples.size() / channels;
    const auto at = [&](std::size_t i) { return static_cast<double>(samples[i * channels + channel]); };
    const auto shortest = static_cast<std::size_t>(rate / maxHz), longest = static_cast<std::size_t>(rate / minHz);
    if (frames < 2 * longest + 2)
        return 0.0;
    const std::size_t window = frames - longest - 1;
    std::vector<double> score(longest + 2, 0.0);
    for (std::size_t lag = shortest; lag <= longest + 1; ++lag) {
        double cross = 0.0, a = 0.0, b = 0.0;
        for (std::size_t i = 0; i < window; ++i) {
            cross += at(i) * at(i + lag);
            a += at(i) * at(i);
            b += at(i + lag) * at(i + lag);
        }
        score[lag] = a > 0.0 && b > 0.0 ? cross / std::sqrt(a * b) : 0.0;
    }
    // The first lag that comes close to the best one is the period (later ones are multiples).
    const double best = *std::max_element(score.begin() + static_cast<long>(shortest), score.end() - 1);
    std::size_t lag = shortest + 1;
    while (lag <= longest && !(score[lag] >= 0.97 * best && score[lag] >= score[lag - 1] && score[lag] >= score[lag + 1]))
        ++lag;
    if (lag > longest)
        return 0.0;
    const double l = score[lag - 1], c = score[lag], r = score[lag + 1];
    const double denominator = l - 2.0 * c + r;
    const double shift = denominator == 0.0 ? 0.0 : 0.5 * (l - r) / denominator;
    return rate / (static_cast<double>(lag) + shift);
}

// Times (seconds) where the low end of the sound (below about 150 Hz, both channels summed)
// jumps: the mean energy of the 8 ms from there on at least `riseDb` over that of the 20 ms
// ending 8 ms before (clear of the pre-echo a lossy codec smears ahead of an attack), and above
// `floorDb` (relative to full scale). The onset is the first 2 ms hop of the 8 that rises so
// far on its own. Onsets closer than 60 ms count once.
inline std::vector<double> LowOnsets(const std::vector<float>& stereo, double rate, double riseDb = 8.0,
                                     double floorDb = -45.0)
{
    const double coef = 1.0 - std::exp(-2.0 * 3.14159265358979323846 * 150.0 / rate);
    const auto hop = static_cast<std::size_t>(rate * 0.002);
    std::vector<double> energy;
    double a = 0.0, b = 0.0, sum = 0.0;
    for (std::size_t i = 0; i + 1 < stereo.size(); i += 2) {
        a += (0.5 * (stereo[i] + stereo[i + 1]) - a) * coef;
        b += (a - b) * coef;
        sum += b * b;
        if ((i / 2 + 1) % hop == 0) {
            energy.push_back(sum / hop);
            sum = 0.0;
        }
    }
    const double rise = std::pow(10.0, riseDb / 10.0), floor = 0.5 * std::pow(10.0, floorDb / 10.0);
    const auto mean = [&energy](std::size_t from, std::size_t count) {
        double total = 0.0;
        for (std::size_t k = from; k < from + count; ++k)
            total += energy[k];
        return total / static_cast<double>(count);
    };
    std::vector<double> onsets;
    for (std::size_t h = 0; h + 4 <= energy.size(); ++h) {
        const double after = mean(h, 4);
        const double before = h >= 14 ? mean(h - 14, 10) : (h >= 5 ? mean(0, h - 4) : 0.0);
        if (!(after > floor && after > rise * before))
            continue;
        std::size_t first = h;
        while (first + 1 < h + 4 && !(energy[first] > rise * before))
            ++first;
        const double t = static_cast<double>(first * hop) / rate;
        if (onsets.empty() || t - onsets.back() > 0.06)
            onsets.push_back(t);
    }
    return onsets;
}

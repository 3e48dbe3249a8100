#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

// Loudness and peak measures of interleaved audio, written apart from the synthesizer's own
// meter and limiter so that they check each other.

// One biquad in direct form I.
struct MeasureBiquad {
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double operator()(double x)
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

// Integrated loudness in LUFS (ITU-R BS.1770-4): each channel K-weighted (a +4 dB shelf above
// about 1.7 kHz, then a high pass at about 38 Hz), mean squares over 400 ms blocks every 100 ms
// summed over the channels, an absolute gate at -70 LUFS and a relative gate 10 LU below the
// mean of the blocks above it. -70 when no block passes.
inline double IntegratedLufs(const std::vector<float>& samples, std::size_t channels, double rate)
{
    const double pi = 3.14159265358979323846;
    // Both stages from their analogue prototypes by the bilinear transform at this rate.
    double k = std::tan(pi * 1681.974450955533 / rate);
    const double q1 = 0.7071752369554196;
    const double vh = std::pow(10.0, 3.999843853973347 / 20.0), vb = std::pow(vh, 0.4996667741545416);
    double n = 1.0 + k / q1 + k * k;
    const MeasureBiquad shelf{(vh + vb * k / q1 + k * k) / n, 2.0 * (k * k - vh) / n, (vh - vb * k / q1 + k * k) / n,
                              2.0 * (k * k - 1.0) / n, (1.0 - k / q1 + k * k) / n};
    k = std::tan(pi * 38.13547087602444 / rate);
    const double q2 = 0.5003270373238773;
    n = 1.0 + k / q2 + k * k;
    const MeasureBiquad highPass{1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / n, (1.0 - k / q2 + k * k) / n};

    const std::size_t frames = samples.size() / channels;
    const auto hop = static_cast<std::size_t>(rate / 10.0);
    const std::size_t hops = frames / hop;
    std::vector<double> hopEnergy(hops, 0.0);
    for (std::size_t c = 0; c < channels; ++c) {
        MeasureBiquad s = shelf, h = highPass;
        for (std::size_t i = 0; i < hops * hop; ++i) {
            const double y = h(s(samples[i * channels + c]));
            hopEnergy[i / hop] += y * y;
        }
    }
    std::vector<double> blocks;
    for (std::size_t i = 3; i < hops; ++i)
        blocks.push_back((hopEnergy[i] + hopEnergy[i - 1] + hopEnergy[i - 2] + hopEnergy[i - 3]) / (4.0 * hop));
    const auto lufs = [](double z) { return -0.691 + 10.0 * std::log10(z); };
    double gate = -70.0;
    for (int pass = 0; pass < 2; ++pass) {
        double sum = 0.0;
        std::size_t count = 0;
        for (double z : blocks)
            if (z > 0.0 && lufs(z) > gate)
                sum += z, ++count;
        if (count == 0)
            return -70.0;
        if (pass == 1)
            return lufs(sum / count);
        gate = lufs(sum / count) - 10.0;
    }
    return -70.0;
}

// True peak in dBTP: the largest magnitude of any channel upsampled 8 times with a 64-tap
// Kaiser-windowed sinc.
inline double TruePeakDb(const std::vector<float>& samples, std::size_t channels)
{
    const double pi = 3.14159265358979323846;
    const int half = 32, factor = 8;
    const auto bessel = [](double x) {
        double sum = 1.0, term = 1.0;
        for (int i = 1; i < 30; ++i) {
            term *= (x / (2.0 * i)) * (x / (2.0 * i));
            sum += term;
        }
        return sum;
    };
    std::vector<std::vector<double>> taps(factor, std::vector<double>(2 * half));
    for (int p = 1; p < factor; ++p)
        for (int j = 0; j < 2 * half; ++j) {
            const double x = static_cast<double>(p) / factor - (j - half + 1);
            const double r = x / (half + 0.5);
            taps[p][j] = std::sin(pi * x) / (pi * x) * bessel(8.0 * std::sqrt(std::max(0.0, 1.0 - r * r))) / bessel(8.0);
        }
    const long frames = static_cast<long>(samples.size() / channels);
    double peak = 0.0;
    for (std::size_t c = 0; c < channels; ++c)
        for (long i = 0; i < frames; ++i) {
            peak = std::max(peak, static_cast<double>(std::fabs(samples[i * channels + c])));
            for (int p = 1; p < factor; ++p) {
                double v = 0.0;
                for (int j = 0; j < 2 * half; ++j) {
                    const long at = i - half + 1 + j;
                    if (at >= 0 && at < frames)
                        v += taps[p][j] * samples[static_cast<std::size_t>(at) * channels + c];
                }
                peak = std::max(peak, std::fabs(v));
            }
        }
    return 20.0 * std::log10(std::max(peak, 1e-12));
}

#include "common/synth/TruePeak.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "common/synth/SynthUnits.h"

namespace synth {

namespace {

constexpr int kHalfTaps = 32;
constexpr int kTaps = 2 * kHalfTaps;
constexpr int kPhases = 8;
constexpr std::size_t kBlock = 32; // frames per block of the coarse maxima

// taps[p - 1][k] weighs sample i - kHalfTaps + 1 + k for the point at i + p / 8.
struct Kernel {
    float taps[kPhases - 1][kTaps];
    double bound = 0.0; // no point exceeds this times the largest sample magnitude it weighs
    Kernel()
    {
        for (int p = 1; p < kPhases; ++p) {
            const double offset = static_cast<double>(p) / kPhases;
            double sum = 0.0, magnitude = 0.0;
            double raw[kTaps];
            for (int k = 0; k < kTaps; ++k) {
                const double x = offset - (k - kHalfTaps + 1);
                const double window = 0.5 * (1.0 + std::cos(kPi * x / (kHalfTaps + 0.5)));
                raw[k] = std::sin(kPi * x) / (kPi * x) * window;
                sum += raw[k];
            }
            for (int k = 0; k < kTaps; ++k) {
                taps[p - 1][k] = static_cast<float>(raw[k] / sum);
                magnitude += std::fabs(raw[k] / sum);
            }
            bound = std::max(bound, magnitude);
        }
    }
};

const Kernel& TheKernel()
{
    static const Kernel kernel;
    return kernel;
}

// The largest interpolated magnitude between frame i and i + 1 of channel c.
float Between(const std::vector<float>& x, std::size_t stride, std::size_t frames, std::size_t c, std::size_t i)
{
    const Kernel& kernel = TheKernel();
    const long first = static_cast<long>(i) - kHalfTaps + 1;
    float window[kTaps];
    for (int k = 0; k < kTaps; ++k) {
        const long index = first + k;
        // Outside the audio is silence.
        window[k] = index < 0 || index >= static_cast<long>(frames) ? 0.0f
                                                                      : x[static_cast<std::size_t>(index) * stride + c];
    }
    float peak = 0.0f;
    for (int p = 0; p < kPhases - 1; ++p) {
        float value = 0.0f;
        for (int k = 0; k < kTaps; ++k)
            value += kernel.taps[p][k] * window[k];
        peak = std::max(peak, std::fabs(value));
    }
    return peak;
}

// The frame peaks of one channel into peaks, skipping the interpolation where it cannot reach
// `floor` (which may rise as the search goes, when `rising`).
void ChannelPeaks(const std::vector<float>& x, std::size_t stride, std::size_t c, float floor, bool rising,
                  std::vector<float>& peaks)
{
    const std::size_t frames = peaks.size();
    const std::size_t blocks = (frames + kBlock - 1) / kBlock;
    std::vector<float> blockMax(blocks, 0.0f);
    for (std::size_t i = 0; i < frames; ++i)
        blockMax[i / kBlock] = std::max(blockMax[i / kBlock], std::fabs(x[i * stride + c]));
    const auto bound = static_cast<float>(TheKernel().bound);
    for (std::size_t i = 0; i < frames; ++i) {
        const float sample = std::fabs(x[i * stride + c]);
        float peak = std::max(peaks[i], sample);
        // The samples the interpolation weighs lie within a block of the frame's neighbours.
        const std::size_t block = i / kBlock;
        const std::size_t span = (kHalfTaps + kBlock - 1) / kBlock;
        float local = 0.0f;
        for (std::size_t b = block >= span ? block - span : 0; b <= std::min(blocks - 1, block + span); ++b)
            local = std::max(local, blockMax[b]);
        if (local * bound > std::max(floor, peak))
            peak = std::max(peak, Between(x, stride, frames, c, i));
        peaks[i] = peak;
        if (rising)
            floor = std::max(floor, peak);
    }
}

} // namespace

std::vector<float> FramePeaks(const std::vector<float>& interleaved, int channels, float floor)
{
    if (channels < 1)
        throw std::invalid_argument("audio needs at least one channel");
    const std::size_t stride = static_cast<std::size_t>(channels);
    std::vector<float> peaks(interleaved.size() / stride, 0.0f);
    for (std::size_t c = 0; c < stride; ++c)
        ChannelPeaks(interleaved, stride, c, floor, false, peaks);
    return peaks;
}

double TruePeak(const std::vector<float>& interleaved, int channels)
{
    if (channels < 1)
        throw std::invalid_argument("audio needs at least one channel");
    const std::size_t stride = static_cast<std::size_t>(channels);
    std::vector<float> peaks(interleaved.size() / stride, 0.0f);
    double peak = 0.0;
    for (std::size_t c = 0; c < stride; ++c) {
        std::fill(peaks.begin(), peaks.end(), 0.0f);
        // Only points that could beat the largest found so far need working out.
        ChannelPeaks(interleaved, stride, c, static_cast<float>(peak), true, peaks);
        for (float p : peaks)
            peak = std::max(peak, static_cast<double>(p));
    }
    return peak;
}

} // namespace synth

#include "common/synth/Compressor.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "common/synth/SynthUnits.h"

namespace synth {

namespace {

constexpr double kKnee = 6.0;

} // namespace

Compressor::Compressor(double thresholdDb, double r, double attack, double release)
    : threshold(thresholdDb), ratio(r), attackCoef(std::exp(-1.0 / (std::max(attack, 1e-4) * kSampleRate))),
      releaseCoef(std::exp(-1.0 / (std::max(release, 1e-4) * kSampleRate)))
{
    if (!(ratio >= 1.0))
        throw std::invalid_argument("a compressor's ratio must be 1 or more");
}

void Compressor::Process(std::vector<float>& interleaved, int channels) const
{
    const std::size_t stride = static_cast<std::size_t>(channels);
    const std::size_t frames = interleaved.size() / stride;
    double follower = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        double peak = 0.0;
        for (std::size_t c = 0; c < stride; ++c)
            peak = std::max(peak, static_cast<double>(std::fabs(interleaved[i * stride + c])));
        follower = peak > follower ? peak + (follower - peak) * attackCoef : peak + (follower - peak) * releaseCoef;
        const double level = GainToDb(std::max(follower, 1e-9));
        const double over = level - threshold;
        double reduction = 0.0;
        if (over >= kKnee / 2.0)
            reduction = over * (1.0 - 1.0 / ratio);
        else if (over > -kKnee / 2.0)
            reduction = (1.0 - 1.0 / ratio) * (over + kKnee / 2.0) * (over + kKnee / 2.0) / (2.0 * kKnee);
        if (reduction > 0.0) {
            const float gain = static_cast<float>(DbToGain(-reduction));
            for (std::size_t c = 0; c < stride; ++c)
                interleaved[i * stride + c] *= gain;
        }
    }
}

} // namespace synth

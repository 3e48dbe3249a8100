#include "common/synth/LoudnessMeter.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "common/synth/SynthUnits.h"

namespace synth {

namespace {

struct Biquad {
    double b0, b1, b2, a1, a2;
    double z1 = 0.0, z2 = 0.0;
    double Process(double x)
    {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

// The two K-weighting stages (a high shelf for the head, a high pass) for this sample rate.
Biquad Shelf()
{
    const double f0 = 1681.974450955533, gain = 3.999843853973347, q = 0.7071752369554196;
    const double k = std::tan(kPi * f0 / kSampleRate);
    const double vh = std::pow(10.0, gain / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    return {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
            2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

Biquad HighPass()
{
    const double f0 = 38.13547087602444, q = 0.5003270373238773;
    const double k = std::tan(kPi * f0 / kSampleRate);
    const double a0 = 1.0 + k / q + k * k;
    return {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

} // namespace

double IntegratedLoudness(const std::vector<float>& interleaved, int channels)
{
    if (channels < 1)
        throw std::invalid_argument("audio needs at least one channel");
    const std::size_t stride = static_cast<std::size_t>(channels);
    const std::size_t frames = interleaved.size() / stride;
    const std::size_t step = kSampleRate / 10; // 100 ms
    const std::size_t steps = frames / step;

    // Sum over channels of the K-weighted energy in each 100 ms step.
    std::vector<double> energy(steps, 0.0);
    for (std::size_t c = 0; c < stride; ++c) {
        Biquad shelf = Shelf(), highPass = HighPass();
        for (std::size_t s = 0; s < steps; ++s) {
            double sum = 0.0;
            for (std::size_t i = s * step; i < (s + 1) * step; ++i) {
                const double y = highPass.Process(shelf.Process(interleaved[i * stride + c]));
                sum += y * y;
            }
            energy[s] += sum;
        }
    }
    std::vector<double> blocks;
    for (std::size_t s = 3; s < steps; ++s)
        blocks.push_back((energy[s - 3] + energy[s - 2] + energy[s - 1] + energy[s]) / (4.0 * step));

    const auto loudness = [](double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); };
    const auto gatedMean = [&](double gate, double& mean) {
        double sum = 0.0;
        std::size_t count = 0;
        for (double z : blocks)
            if (z > 0.0 && loudness(z) > gate) {
                sum += z;
                ++count;
            }
        mean = count == 0 ? 0.0 : sum / count;
        return count;
    };
    double mean = 0.0;
    if (gatedMean(-70.0, mean) == 0)
        return -70.0;
    if (gatedMean(loudness(mean) - 10.0, mean) == 0)
        return -70.0;
    return loudness(mean);
}

} // namespace synth

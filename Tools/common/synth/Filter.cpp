#include "common/synth/Filter.h"

#include <algorithm>
#include <cmath>

#include "common/synth/SynthUnits.h"

namespace synth {

void Filter::Set(double cutoff, double resonance)
{
    const double fc = std::clamp(cutoff, 10.0, 0.45 * kSampleRate);
    const double g = std::tan(kPi * fc / kSampleRate);
    k = 1.41421356 * (1.0 - std::clamp(resonance, 0.0, 1.0)) + 0.06 * std::clamp(resonance, 0.0, 1.0);
    a1 = 1.0 / (1.0 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

void Filter::Reset() { ic1 = ic2 = 0.0; }

float Filter::Process(float input)
{
    const double v3 = input - ic2;
    const double v1 = a1 * ic1 + a2 * v3;
    const double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    switch (mode) {
    case FilterMode::LowPass:
        return static_cast<float>(v2);
    case FilterMode::HighPass:
        return static_cast<float>(input - k * v1 - v2);
    case FilterMode::BandPass:
        return static_cast<float>(k * v1);
    }
    return 0.0f;
}

} // namespace synth

#include "common/synth/Oscillator.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "common/synth/SynthUnits.h"

namespace synth {

namespace {

// The polyBLEP residual for a step at phase 0 of a wave whose phase advances by dt per sample.
double PolyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// Detune of the supersaw's voices relative to the centre, in cents at full detune; the outer
// voices spread further than the inner ones, as in the classic hardware.
constexpr double kSupersawCents[Oscillator::kMaxSupersawVoices] = {0.0, -11.0, 12.5, -24.0, 25.5, -37.0, 38.5, -49.0, 50.0};

} // namespace

Oscillator::Oscillator(Wave wave, std::uint32_t seed) : wave(wave), noise(seed)
{
    Noise phases(seed * 2654435761u + 12345u);
    for (double& p : superPhase)
        p = 0.5 * (phases.Next() + 1.0);
}

void Oscillator::SetPulseWidth(double width) { pulseWidth = std::clamp(width, 0.02, 0.98); }

void Oscillator::SetSupersaw(int voices, double detune, double spread)
{
    if (voices < 1 || voices > kMaxSupersawVoices)
        throw std::invalid_argument("supersaw voices must be 1 to 9");
    superVoices = voices;
    superDetune = std::clamp(detune, 0.0, 1.0);
    superSpread = std::clamp(spread, 0.0, 1.0);
}

double Oscillator::NextSaw(double& p, double increment) const
{
    double value = 2.0 * p - 1.0 - PolyBlep(p, increment);
    p += increment;
    if (p >= 1.0)
        p -= std::floor(p);
    return value;
}

double Oscillator::NextSquare(double increment)
{
    const double width = wave == Wave::Pulse ? pulseWidth : 0.5;
    double value = phase < width ? 1.0 : -1.0;
    value += PolyBlep(phase, increment);
    double fall = phase - width;
    if (fall < 0.0)
        fall += 1.0;
    value -= PolyBlep(fall, increment);
    phase += increment;
    if (phase >= 1.0)
        phase -= std::floor(phase);
    return value;
}

void Oscillator::Render(double frequency, double gain, float& left, float& right)
{
    const double increment = std::clamp(frequency / kSampleRate, 0.0, 0.45);
    double value = 0.0;
    switch (wave) {
    case Wave::Sine:
        value = std::sin(2.0 * kPi * phase);
        phase += increment;
        if (phase >= 1.0)
            phase -= std::floor(phase);
        break;
    case Wave::Triangle: {
        // The integral of a ±1 square rises by 4 per cycle; a slight leak keeps it centred.
        const double square = NextSquare(increment);
        triangle = triangle * 0.99995 + 4.0 * increment * square;
        value = triangle;
        break;
    }
    case Wave::Saw:
        value = NextSaw(phase, increment);
        break;
    case Wave::Square:
    case Wave::Pulse:
        value = NextSquare(increment);
        break;
    case Wave::Noise:
        value = noise.Next();
        break;
    case Wave::Supersaw: {
        const double norm = 1.0 / std::sqrt(static_cast<double>(superVoices));
        for (int v = 0; v < superVoices; ++v) {
            const double ratio = std::pow(2.0, kSupersawCents[v] * superDetune / 1200.0);
            const double inc = std::clamp(increment * ratio, 0.0, 0.45);
            const double s = NextSaw(superPhase[v], inc) * norm * gain;
            // Voice 0 stays in the middle; the others alternate sides, the outer ones wider.
            const double pan = v == 0 ? 0.0 : ((v & 1) ? -1.0 : 1.0) * superSpread * (0.4 + 0.6 * v / superVoices);
            left += static_cast<float>(s * (1.0 - pan));
            right += static_cast<float>(s * (1.0 + pan));
        }
        return;
    }
    }
    left += static_cast<float>(value * gain);
    right += static_cast<float>(value * gain);
}

} // namespace synth

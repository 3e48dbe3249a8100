#include "common/synth/DrumVoice.h"

#include <cmath>

#include "common/synth/SynthUnits.h"

namespace synth {

namespace {

double SixtyDbCoefficient(double seconds)
{
    return seconds <= 0.0 ? 0.0 : std::exp(std::log(0.001) / (seconds * kSampleRate));
}

// The classic metallic ratios of an analogue hat's six oscillators.
constexpr double kMetalRatios[6] = {1.0, 1.3420, 1.2312, 1.6532, 1.9523, 2.1523};

} // namespace

DrumVoice::DrumVoice(const InstrumentSpec& instrument, std::uint32_t seed) : spec(&instrument), noise(seed)
{
    for (int i = 0; i < 6; ++i)
        metal[i] = Oscillator(Wave::Square, seed + static_cast<std::uint32_t>(i));
}

void DrumVoice::Start(double v)
{
    velocity = v;
    decayCoef = SixtyDbCoefficient(spec->decay);
    noiseCoef = SixtyDbCoefficient(spec->noiseDecay);
    level = 1.0;
    noiseEnv = 1.0;
    age = 0;
    phase = phase2 = 0.0;
    active = true;
    switch (spec->kind) {
    case InstrumentKind::Kick:
        noiseFilter.SetMode(FilterMode::BandPass);
        noiseFilter.Set(3500.0, 0.2);
        break;
    case InstrumentKind::Snare:
        noiseFilter.SetMode(FilterMode::HighPass);
        noiseFilter.Set(spec->tone * 0.25, 0.0);
        noiseFilter2.SetMode(FilterMode::LowPass);
        noiseFilter2.Set(spec->tone, 0.1);
        break;
    case InstrumentKind::Clap:
        noiseFilter.SetMode(FilterMode::BandPass);
        noiseFilter.Set(spec->tone, 0.35);
        noiseFilter2.SetMode(FilterMode::HighPass);
        noiseFilter2.Set(spec->tone * 0.5, 0.0);
        break;
    case InstrumentKind::Hat:
    case InstrumentKind::Synth:
        noiseFilter.SetMode(FilterMode::HighPass);
        noiseFilter.Set(spec->tone, 0.2);
        noiseFilter2.SetMode(FilterMode::HighPass);
        noiseFilter2.Set(spec->tone, 0.0);
        break;
    }
}

double DrumVoice::Kick()
{
    const double t = static_cast<double>(age) / kSampleRate;
    const double frequency = spec->pitch + (spec->sweep - spec->pitch) * std::exp(-t / spec->sweepTime);
    const double body = std::sin(2.0 * kPi * phase) * level;
    phase += frequency / kSampleRate;
    if (phase >= 1.0)
        phase -= 1.0;
    // The click is over within a few milliseconds.
    const double click = noiseFilter.Process(noise.Next()) * spec->click * std::exp(-t / 0.004);
    if (spec->drive <= 0.0)
        return body + click;
    const double drive = 1.0 + 3.0 * spec->drive;
    return std::tanh(body * drive) / std::tanh(drive) + click;
}

double DrumVoice::Snare()
{
    const double t = static_cast<double>(age) / kSampleRate;
    const double bend = 1.0 + 0.5 * std::exp(-t / 0.008);
    const double body = 0.6 * std::sin(2.0 * kPi * phase) + 0.4 * std::sin(2.0 * kPi * phase2);
    phase += spec->pitch * bend / kSampleRate;
    phase2 += spec->pitch * 1.47 * bend / kSampleRate;
    phase -= std::floor(phase);
    phase2 -= std::floor(phase2);
    const double hiss = noiseFilter2.Process(noiseFilter.Process(noise.Next()));
    return (1.0 - spec->noiseLevel) * body * level + spec->noiseLevel * 1.6 * hiss * noiseEnv;
}

double DrumVoice::Clap()
{
    const double t = static_cast<double>(age) / kSampleRate;
    // Three quick bursts 11 ms apart, then the tail.
    double env;
    if (t < 0.033) {
        const double since = std::fmod(t, 0.011);
        env = std::exp(-since / 0.0035);
    } else {
        env = noiseEnv;
    }
    const double hiss = noiseFilter2.Process(noiseFilter.Process(noise.Next()));
    return 2.2 * hiss * env;
}

double DrumVoice::Hat()
{
    float l = 0.0f, r = 0.0f;
    for (int i = 0; i < 6; ++i)
        metal[i].Render(spec->pitch * kMetalRatios[i], 1.0 / 6.0, l, r);
    const double mix = 0.5 * l + 0.7 * noise.Next();
    return 1.4 * noiseFilter2.Process(noiseFilter.Process(static_cast<float>(mix))) * level;
}

void DrumVoice::Render(float* left, float* right, int frames)
{
    for (int i = 0; i < frames && active; ++i) {
        double value = 0.0;
        switch (spec->kind) {
        case InstrumentKind::Kick:
            value = Kick();
            break;
        case InstrumentKind::Snare:
            value = Snare();
            break;
        case InstrumentKind::Clap:
            value = Clap();
            break;
        case InstrumentKind::Hat:
        case InstrumentKind::Synth:
            value = Hat();
            break;
        }
        value *= velocity;
        left[i] += static_cast<float>(value);
        right[i] += static_cast<float>(value);
        level *= decayCoef;
        noiseEnv *= noiseCoef;
        ++age;
        // A hit ends once both its parts have fallen 100 dB.
        if (level < 1e-5 && noiseEnv < 1e-5 && age > kSampleRate / 20)
            active = false;
    }
}

} // namespace synth

#pragma once
#include <cstdint>

#include "common/synth/Filter.h"
#include "common/synth/Instrument.h"
#include "common/synth/Noise.h"
#include "common/synth/Oscillator.h"

namespace synth {

// One hit of a synthesized drum:
// - kick: a sine whose pitch falls from `sweep` to `pitch` Hz, plus a short band-passed click;
// - snare: two detuned body tones around `pitch` and noise filtered at `tone`;
// - clap: band-passed noise in three quick bursts and a tail;
// - hat: six square waves at inharmonic ratios of `pitch` and noise, high-passed at `tone`
//   (a long `decay` makes an open hat or a cymbal).
class DrumVoice {
public:
    DrumVoice(const InstrumentSpec& spec, std::uint32_t seed);

    void Start(double velocity);
    bool IsActive() const { return active; }
    // Adds `frames` samples to left and right.
    void Render(float* left, float* right, int frames);

private:
    double Kick();
    double Snare();
    double Clap();
    double Hat();

    const InstrumentSpec* spec;
    Noise noise;
    Filter noiseFilter;
    Filter noiseFilter2;
    Oscillator metal[6];
    double phase = 0.0;
    double phase2 = 0.0;
    double velocity = 1.0;
    double decayCoef = 0.0;
    double noiseCoef = 0.0;
    double level = 0.0;
    double noiseEnv = 0.0;
    long age = 0;
    bool active = false;
};

} // namespace synth

#pragma once
#include <cstdint>

#include "common/synth/Noise.h"

namespace synth {

enum class Wave { Sine, Triangle, Saw, Square, Pulse, Supersaw, Noise };

// One band-limited oscillator. Saw and pulse waves smooth their steps with polyBLEP residuals;
// the triangle integrates the band-limited square, so its corners are smoothed the same way.
// Supersaw runs up to nine saws spread in pitch and, when spread is above zero, across the
// stereo field.
class Oscillator {
public:
    static constexpr int kMaxSupersawVoices = 9;

    // The seed fixes the noise and the supersaw's start phases.
    explicit Oscillator(Wave wave = Wave::Saw, std::uint32_t seed = 1);

    void SetWave(Wave wave) { this->wave = wave; }
    void SetPulseWidth(double width);
    // voices 1..9; detune 0..1 spreads the outer voices up to about ±50 cents; spread 0..1 pans them.
    void SetSupersaw(int voices, double detune, double spread);

    // Adds one sample at the given frequency to left and right (scaled by gain).
    void Render(double frequency, double gain, float& left, float& right);

private:
    double NextSaw(double& phase, double increment) const;
    double NextSquare(double increment);

    Wave wave;
    double phase = 0.0;
    double pulseWidth = 0.5;
    double triangle = -1.0;
    int superVoices = 7;
    double superDetune = 0.25;
    double superSpread = 0.5;
    double superPhase[kMaxSupersawVoices] = {};
    Noise noise;
};

} // namespace synth

#pragma once

namespace synth {

enum class FilterMode { LowPass, HighPass, BandPass };

// A state-variable filter in its trapezoidal (zero-delay feedback) form: stable under fast
// cutoff modulation, 12 dB per octave. Resonance 0 is the Butterworth response (-3 dB at the
// cutoff); towards 1 it rings more and more without self-oscillating. The band-pass has unity
// gain at its centre.
class Filter {
public:
    void SetMode(FilterMode mode) { this->mode = mode; }
    // Cutoff in Hz (clamped to 10 Hz .. 0.45 of the sample rate), resonance 0..1.
    void Set(double cutoff, double resonance);
    void Reset();

    float Process(float input);

private:
    FilterMode mode = FilterMode::LowPass;
    double k = 1.41421356;
    double a1 = 0.0, a2 = 0.0, a3 = 0.0;
    double ic1 = 0.0, ic2 = 0.0;
};

} // namespace synth

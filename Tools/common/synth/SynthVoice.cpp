#include "common/synth/SynthVoice.h"

#include <algorithm>
#include <cmath>

#include "common/synth/SynthUnits.h"

namespace synth {

namespace {

// Filter coefficients, glide and LFOs are updated once per this many samples.
constexpr int kControlFrames = 16;

double SoftClip(double x, double drive)
{
    if (drive <= 0.0)
        return x;
    const double d = 1.0 + 3.0 * drive;
    return std::tanh(x * d) / std::tanh(d);
}

} // namespace

SynthVoice::SynthVoice(const InstrumentSpec& instrument, std::uint32_t seed) : spec(&instrument)
{
    for (std::size_t i = 0; i < instrument.oscillators.size(); ++i) {
        Oscillator osc(instrument.oscillators[i].wave, seed * 7919u + static_cast<std::uint32_t>(i) * 104729u + 1u);
        osc.SetPulseWidth(instrument.pulseWidth);
        osc.SetSupersaw(instrument.supersawVoices, instrument.supersawDetune, instrument.supersawSpread);
        oscillators.push_back(osc);
    }
    for (auto& stage : filters)
        for (Filter& f : stage)
            f.SetMode(instrument.filterMode);
    amp.Set(instrument.amp);
    filterEnv.Set(instrument.filterEnv);
}

void SynthVoice::Start(int newNote, double newVelocity, bool glide)
{
    note = newNote;
    velocity = newVelocity;
    if (!glide || !started || !amp.IsActive()) {
        pitch = newNote;
        amp.NoteOn();
        filterEnv.NoteOn();
    } else if (released) {
        amp.NoteOn();
        filterEnv.NoteOn();
    }
    gliding = glide && spec->glide > 0.0 ? spec->glide : 0.0;
    if (!glide)
        pitch = newNote;
    released = false;
    started = true;
}

void SynthVoice::Release()
{
    released = true;
    amp.NoteOff();
    filterEnv.NoteOff();
}

void SynthVoice::Render(float* left, float* right, int frames, const VoiceControl& control)
{
    const InstrumentSpec& s = *spec;
    for (int start = 0; start < frames && amp.IsActive(); start += kControlFrames) {
        const int count = std::min(kControlFrames, frames - start);
        const double t = control.time + static_cast<double>(start) / kSampleRate;

        if (gliding > 0.0) {
            // Covers 95% of the distance in the glide time.
            const double coef = std::exp(-3.0 * count / (gliding * kSampleRate));
            pitch = note + (pitch - note) * coef;
        } else {
            pitch = note;
        }

        double pitchMod = 0.0, cutoffMod = 0.0, ampMod = 1.0, pan = 0.0;
        for (const LfoSpec& lfo : s.lfos) {
            const double wave = std::sin(2.0 * kPi * lfo.rate * t);
            switch (lfo.target) {
            case LfoTarget::Pitch:
                pitchMod += lfo.depth * wave;
                break;
            case LfoTarget::Cutoff:
                cutoffMod += lfo.depth * wave;
                break;
            case LfoTarget::Amp:
                ampMod *= 1.0 - lfo.depth * 0.5 * (1.0 + wave);
                break;
            case LfoTarget::Pan:
                pan += lfo.depth * wave;
                break;
            }
        }
        pan = std::clamp(pan, -1.0, 1.0);

        if (s.filterOn) {
            const double octaves = s.filterEnvAmount * filterEnv.Level() + cutoffMod +
                                   s.keyTrack * (pitch - 60.0) / 12.0 + s.velocityToCutoff * (velocity - 1.0);
            const double cutoff = control.cutoff * std::pow(2.0, octaves);
            for (auto& stage : filters)
                for (Filter& f : stage)
                    f.Set(cutoff, s.resonance);
        }

        double frequency[8];
        const std::size_t oscCount = std::min<std::size_t>(oscillators.size(), 8);
        for (std::size_t i = 0; i < oscCount; ++i) {
            const OscillatorSpec& o = s.oscillators[i];
            frequency[i] = NoteToHz(pitch + pitchMod + o.semitones + o.cents / 100.0);
        }
        const double leftPan = 1.0 - pan, rightPan = 1.0 + pan;
        for (int i = start; i < start + count; ++i) {
            float l = 0.0f, r = 0.0f;
            for (std::size_t o = 0; o < oscCount; ++o)
                oscillators[o].Render(frequency[o], s.oscillators[o].level, l, r);
            if (s.filterOn) {
                l = filters[0][0].Process(l);
                r = filters[0][1].Process(r);
                if (s.filterPoles == 4) {
                    l = filters[1][0].Process(l);
                    r = filters[1][1].Process(r);
                }
            }
            filterEnv.Next();
            const double gain = amp.Next() * velocity * ampMod;
            left[i] += static_cast<float>(SoftClip(l, s.drive) * gain * leftPan);
            right[i] += static_cast<float>(SoftClip(r, s.drive) * gain * rightPan);
        }
    }
}

} // namespace synth

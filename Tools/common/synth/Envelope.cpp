#include "common/synth/Envelope.h"

#include <algorithm>
#include <cmath>

#include "common/synth/SynthUnits.h"

namespace synth {

namespace {

// The per-sample factor that shrinks a distance by 60 dB in `seconds`.
double SixtyDbCoefficient(double seconds)
{
    if (seconds <= 0.0)
        return 0.0;
    return std::exp(std::log(0.001) / (seconds * kSampleRate));
}

// Below this the released envelope counts as silent (-100 dB).
constexpr double kSilence = 1e-5;

} // namespace

void Envelope::Set(const Adsr& s)
{
    shape = s;
    shape.sustain = std::clamp(shape.sustain, 0.0, 1.0);
    attackStep = shape.attack <= 0.0 ? 1.0 : 1.0 / (shape.attack * kSampleRate);
    decayCoef = SixtyDbCoefficient(shape.decay);
    releaseCoef = SixtyDbCoefficient(shape.release);
}

void Envelope::NoteOn() { stage = Stage::Attack; }

void Envelope::NoteOff()
{
    if (stage != Stage::Idle)
        stage = Stage::Release;
}

void Envelope::Reset()
{
    stage = Stage::Idle;
    level = 0.0;
}

double Envelope::Next()
{
    switch (stage) {
    case Stage::Idle:
        break;
    case Stage::Attack:
        level += attackStep;
        if (level >= 1.0) {
            level = 1.0;
            stage = Stage::Decay;
        }
        break;
    case Stage::Decay:
        level = shape.sustain + (level - shape.sustain) * decayCoef;
        if (std::fabs(level - shape.sustain) < kSilence) {
            level = shape.sustain;
            stage = shape.sustain <= 0.0 ? Stage::Idle : Stage::Sustain;
        }
        break;
    case Stage::Sustain:
        level = shape.sustain;
        break;
    case Stage::Release:
        level *= releaseCoef;
        if (level < kSilence) {
            level = 0.0;
            stage = Stage::Idle;
        }
        break;
    }
    return level;
}

} // namespace synth

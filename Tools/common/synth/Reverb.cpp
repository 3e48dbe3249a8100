#include "common/synth/Reverb.h"

#include <algorithm>
#include <cmath>

#include "common/synth/SynthUnits.h"

namespace synth {

namespace {

constexpr int kCombLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr int kAllPassLengths[4] = {556, 441, 341, 225};
constexpr int kStereoSpread = 23;
constexpr float kInputGain = 0.015f;

} // namespace

Reverb::Reverb(const ReverbSpec& spec)
    : feedback(static_cast<float>(0.7 + 0.28 * std::clamp(spec.size, 0.0, 1.0))),
      damp(static_cast<float>(0.4 * std::clamp(spec.damping, 0.0, 1.0))),
      lowCutCoef(1.0 - std::exp(-2.0 * kPi * std::clamp(spec.lowCut, 10.0, 5000.0) / kSampleRate))
{
    const double width = std::clamp(spec.width, 0.0, 1.0);
    wet1 = static_cast<float>(3.0 * (width / 2.0 + 0.5));
    wet2 = static_cast<float>(3.0 * ((1.0 - width) / 2.0));
    for (int side = 0; side < 2; ++side) {
        for (int i = 0; i < 8; ++i)
            combs[side][i].buffer.assign(static_cast<std::size_t>(kCombLengths[i] + side * kStereoSpread), 0.0f);
        for (int i = 0; i < 4; ++i)
            passes[side][i].buffer.assign(static_cast<std::size_t>(kAllPassLengths[i] + side * kStereoSpread), 0.0f);
    }
    const auto delayFrames = static_cast<std::size_t>(std::clamp(spec.predelay, 0.0, 0.5) * kSampleRate);
    predelay.assign(std::max<std::size_t>(1, delayFrames), 0.0f);
}

float Reverb::ProcessComb(Comb& comb, float input, float fb, float dampening)
{
    const float output = comb.buffer[comb.position];
    comb.store = output * (1.0f - dampening) + comb.store * dampening;
    comb.buffer[comb.position] = input + comb.store * fb;
    if (++comb.position == comb.buffer.size())
        comb.position = 0;
    return output;
}

float Reverb::ProcessAllPass(AllPass& pass, float input)
{
    const float delayed = pass.buffer[pass.position];
    const float output = delayed - input;
    pass.buffer[pass.position] = input + delayed * 0.5f;
    if (++pass.position == pass.buffer.size())
        pass.position = 0;
    return output;
}

void Reverb::Process(float inLeft, float inRight, float& outLeft, float& outRight)
{
    const double mono = 0.5 * (inLeft + inRight);
    lowState += (mono - lowState) * lowCutCoef;
    const float delayed = predelay[predelayPosition];
    predelay[predelayPosition] = static_cast<float>(mono - lowState);
    if (++predelayPosition == predelay.size())
        predelayPosition = 0;

    const float input = delayed * kInputGain;
    float out[2] = {0.0f, 0.0f};
    for (int side = 0; side < 2; ++side) {
        for (Comb& comb : combs[side])
            out[side] += ProcessComb(comb, input, feedback, damp);
        for (AllPass& pass : passes[side])
            out[side] = ProcessAllPass(pass, out[side]);
    }
    outLeft = out[0] * wet1 + out[1] * wet2;
    outRight = out[1] * wet1 + out[0] * wet2;
}

} // namespace synth

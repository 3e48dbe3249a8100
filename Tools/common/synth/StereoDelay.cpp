#include "common/synth/StereoDelay.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "common/synth/SynthUnits.h"

namespace synth {

StereoDelay::StereoDelay(int frames, double fb, double damping)
    : feedback(std::clamp(fb, 0.0, 0.95)),
      lowpassCoef(1.0 - std::exp(-2.0 * kPi * std::clamp(damping, 100.0, 20000.0) / kSampleRate)),
      highpassCoef(1.0 - std::exp(-2.0 * kPi * 150.0 / kSampleRate))
{
    if (frames < 1)
        throw std::invalid_argument("the echo time must be at least one sample");
    left.assign(static_cast<std::size_t>(frames), 0.0f);
    right.assign(static_cast<std::size_t>(frames), 0.0f);
}

void StereoDelay::Process(float inLeft, float inRight, float& outLeft, float& outRight)
{
    const float echoLeft = left[position];
    const float echoRight = right[position];
    outLeft = echoLeft;
    outRight = echoRight;

    // Each channel's echo, darkened and thinned, feeds the other side.
    lowLeft += (echoLeft - lowLeft) * lowpassCoef;
    lowRight += (echoRight - lowRight) * lowpassCoef;
    bassLeft += (lowLeft - bassLeft) * highpassCoef;
    bassRight += (lowRight - bassRight) * highpassCoef;
    const double thinLeft = lowLeft - bassLeft;
    const double thinRight = lowRight - bassRight;

    left[position] = static_cast<float>(0.5 * (inLeft + inRight) + feedback * thinRight);
    right[position] = static_cast<float>(feedback * thinLeft);
    if (++position == left.size())
        position = 0;
}

} // namespace synth

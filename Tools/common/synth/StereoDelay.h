#pragma once
#include <vector>

namespace synth {

// A ping-pong echo: the input, summed to mono, echoes first on the left, then on the right and
// so on, each echo `feedback` times the one before, losing highs above `damping` Hz and lows
// below 150 Hz on every pass.
class StereoDelay {
public:
    StereoDelay(int frames, double feedback, double damping);

    void Process(float inLeft, float inRight, float& outLeft, float& outRight);

private:
    std::vector<float> left;
    std::vector<float> right;
    std::size_t position = 0;
    double feedback;
    double lowpassCoef;
    double highpassCoef;
    double lowLeft = 0.0, lowRight = 0.0;
    double bassLeft = 0.0, bassRight = 0.0;
};

} // namespace synth

#pragma once
#include <cstddef>
#include <vector>

#include "common/synth/Score.h"

namespace synth {

// A Freeverb-style room: eight damped comb filters and four all-passes per side, the right
// side's delays a little longer than the left's for width, behind a pre-delay and a low cut.
class Reverb {
public:
    explicit Reverb(const ReverbSpec& spec);

    void Process(float inLeft, float inRight, float& outLeft, float& outRight);

private:
    struct Comb {
        std::vector<float> buffer;
        std::size_t position = 0;
        float store = 0.0f;
    };
    struct AllPass {
        std::vector<float> buffer;
        std::size_t position = 0;
    };

    static float ProcessComb(Comb& comb, float input, float feedback, float damp);
    static float ProcessAllPass(AllPass& pass, float input);

    Comb combs[2][8];
    AllPass passes[2][4];
    std::vector<float> predelay;
    std::size_t predelayPosition = 0;
    float feedback;
    float damp;
    float wet1;
    float wet2;
    double lowCutCoef;
    double lowState = 0.0;
};

} // namespace synth

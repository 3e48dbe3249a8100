#pragma once
#include <vector>

namespace synth {

// A gentle stereo-linked bus compressor: a peak follower with attack and release, a soft knee
// 6 dB wide around the threshold, and the ratio above it.
class Compressor {
public:
    Compressor(double thresholdDb, double ratio, double attack = 0.01, double release = 0.15);

    void Process(std::vector<float>& interleaved, int channels) const;

private:
    double threshold;
    double ratio;
    double attackCoef;
    double releaseCoef;
};

} // namespace synth

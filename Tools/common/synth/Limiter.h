#pragma once
#include <vector>

namespace synth {

// A look-ahead brick-wall limiter for a whole piece of interleaved audio. The gain it needs is
// worked out from the true (8 times oversampled) peaks, held over the look-ahead, released
// smoothly and then averaged over the look-ahead, so it is already down when a peak arrives and
// the result's true peak stays at or below the ceiling.
class Limiter {
public:
    // ceiling in dBTP; lookahead and release in seconds.
    Limiter(double ceilingDb, double lookahead = 0.003, double release = 0.08);

    void Process(std::vector<float>& interleaved, int channels) const;

private:
    double ceiling;
    int lookaheadFrames;
    double releaseCoef;
};

} // namespace synth

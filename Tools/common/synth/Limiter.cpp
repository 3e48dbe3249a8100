#include "common/synth/Limiter.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <stdexcept>

#include "common/synth/SynthUnits.h"
#include "common/synth/TruePeak.h"

namespace synth {

Limiter::Limiter(double ceilingDb, double lookahead, double release)
    : ceiling(DbToGain(ceilingDb)),
      lookaheadFrames(std::max(1, static_cast<int>(lookahead * kSampleRate))),
      releaseCoef(std::exp(-1.0 / (std::max(release, 0.001) * kSampleRate)))
{
    if (!(ceilingDb <= 0.0))
        throw std::invalid_argument("the limiter's ceiling must be at or below 0 dBTP");
}

void Limiter::Process(std::vector<float>& interleaved, int channels) const
{
    const std::vector<float> peaks = FramePeaks(interleaved, channels, static_cast<float>(ceiling));
    const std::size_t frames = peaks.size();
    if (frames == 0)
        return;
    // The gain each frame needs; a point between two frames binds both.
    std::vector<double> needed(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const float peak = std::max(peaks[i], i > 0 ? peaks[i - 1] : 0.0f);
        needed[i] = peak > ceiling ? ceiling / peak : 1.0;
    }
    // The least gain needed from this frame to the end of the look-ahead (a sliding minimum).
    const std::size_t span = static_cast<std::size_t>(lookaheadFrames);
    std::vector<double> held(frames);
    std::deque<std::size_t> window;
    for (std::size_t j = frames; j-- > 0;) {
        while (!window.empty() && needed[window.back()] >= needed[j])
            window.pop_back();
        window.push_back(j);
        while (window.front() > j + span)
            window.pop_front();
        held[j] = needed[window.front()];
    }
    // Falls at once, comes back up smoothly; never above what is held.
    double released = 1.0;
    for (std::size_t i = 0; i < frames; ++i) {
        released = held[i] < released ? held[i] : held[i] + (released - held[i]) * releaseCoef;
        held[i] = released;
    }
    // The average over the look-ahead ending at a frame is no more than that frame needs, since
    // every value averaged has seen it.
    double sum = 0.0;
    std::vector<double> gain(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        sum += held[i];
        if (i > span)
            sum -= held[i - span - 1];
        const std::size_t count = std::min(i + 1, span + 1);
        gain[i] = sum / static_cast<double>(count);
    }
    const std::size_t stride = static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < stride; ++c)
            interleaved[i * stride + c] = static_cast<float>(interleaved[i * stride + c] * gain[i]);
}

} // namespace synth

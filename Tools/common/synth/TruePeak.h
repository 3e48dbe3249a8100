#pragma once
#include <vector>

namespace synth {

// Peaks of interleaved audio as a digital-to-analogue converter would see them: besides the
// samples, each channel is interpolated at seven points between every two samples (8 times
// oversampling with a 64-tap windowed-sinc interpolator).

// For each frame, the largest magnitude over all channels of the frame's samples and of the
// points between it and the next frame. Points that cannot reach `floor` are not worked out:
// such frames may report just their samples' magnitude, which is then below `floor` too.
std::vector<float> FramePeaks(const std::vector<float>& interleaved, int channels, float floor = 0.0f);
// The largest magnitude of the samples and the points between them, as a linear value.
double TruePeak(const std::vector<float>& interleaved, int channels);

} // namespace synth

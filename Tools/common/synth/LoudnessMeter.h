#pragma once
#include <vector>

namespace synth {

// Integrated loudness after ITU-R BS.1770: K-weighted mean square over 400 ms blocks that
// overlap by 75%, gated at -70 LUFS and then at 10 LU below the mean of what passed. Returns
// LUFS; audio too short or too quiet for any block to pass reads as -70.
double IntegratedLoudness(const std::vector<float>& interleaved, int channels);

} // namespace synth

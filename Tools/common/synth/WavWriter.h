#pragma once
#include <vector>

namespace synth {

// A 16-bit PCM RIFF WAVE file of interleaved stereo at 44100 Hz; samples beyond ±1 are clipped.
std::vector<unsigned char> EncodeWav(const std::vector<float>& stereo);

} // namespace synth

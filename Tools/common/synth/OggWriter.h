#pragma once
#include <string>
#include <vector>

namespace synth {

// Ogg Vorbis in libvorbisenc's variable-bitrate quality mode (quality -0.1 .. 1), with a fixed
// stream serial number so that the same samples always give the same bytes. The samples are
// interleaved stereo at 44100 Hz. Throws std::runtime_error when the encoder refuses.
std::vector<unsigned char> EncodeOggVorbis(const std::vector<float>& stereo, float quality = 0.5f,
                                           const std::string& title = "");

} // namespace synth

#pragma once
#include <string>
#include <vector>

#include "common/synth/MasterBus.h"
#include "common/synth/Score.h"

namespace synth {

struct RenderedSong {
    std::vector<float> stereo; // interleaved left, right at kSampleRate
    MasterReport master;
};

// Where a section starts.
struct SectionStart {
    std::string name;
    int row = 0;
    double seconds = 0.0;
};

std::vector<SectionStart> SectionMap(const Score& score);

// Plays a score from start to finish into stereo samples: every channel's voices, its gain,
// pan, width and ducking, the sends into the tempo-synced echo and the reverb, and the master
// bus. The same score always gives the same samples.
RenderedSong RenderScore(const Score& score);

} // namespace synth

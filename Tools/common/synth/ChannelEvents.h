#pragma once
#include <vector>

#include "common/synth/Score.h"

namespace synth {

// A step of one channel at its place in the song; rows may be fractional (arpeggio releases).
struct TimedStep {
    double row = 0.0;
    Step step;
};

// Everything a channel plays over the whole song, in time order: the patterns laid out where
// the sections place them, looping from the section's first row and heard in the placed bars
// only (a pattern placed from bar 5 starts with its own bar 5), steps on the same row merged
// into one chord, a release where each placement ends, and arpeggios spelled out note by note.
std::vector<TimedStep> ChannelEvents(const Score& score, int channel);

} // namespace synth

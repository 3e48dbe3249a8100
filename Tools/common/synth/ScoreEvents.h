#pragma once
#include <string>
#include <vector>

#include "common/synth/Score.h"

namespace synth {

// A note or a drum hit as the tune plays it: one per note of a chord, arpeggios spelled out.
struct ScoreEvent {
    double row = 0.0;     // on the sync timeline; whole rows for everything on the grid
    double seconds = 0.0; // row times the score's seconds per row
    int channel = -1;     // index into Score::channels: the voice that plays it
    int note = 60;        // MIDI note number; drums carry 60
    double velocity = 0.8;
    bool drum = false;
    bool glide = false;   // the note glides from the one before without starting again
};

// Every note and hit of the voice (a channel index), or of all voices for -1, that the renderer
// plays within the rendered length: ordered by row, voices on the same row in the score's
// channel order, the notes of a chord from low to high.
std::vector<ScoreEvent> ScoreEvents(const Score& score, int channel = -1);

// The channel of that name, or -1.
int FindChannel(const Score& score, const std::string& name);

// A MIDI note as a note name with sharps: 60 is "C4", 70 "A#4", 0 "C-1".
std::string NoteName(int note);

} // namespace synth

#pragma once
#include <string>
#include <vector>

namespace synth {

// Note names as musicians write them: a letter A-G, an optional # or b, and the octave, with C4
// the middle C (MIDI 60) and A4 440 Hz ("C#3", "Bb2", "A-1"). Returns false for anything else,
// and for notes outside MIDI 0..127.
bool ParseNoteName(const std::string& text, int& note);

// A chord: either notes joined by '+' ("A3+C4+E4") or a chord symbol and the octave of its root
// after a colon ("Am:3", "Fmaj7:3", "Gsus4:2"). Symbol qualities: major (none), m, 7, m7, maj7,
// 6, m6, sus2, sus4, dim, aug, add9, madd9. Returns false for anything else.
bool ParseChord(const std::string& text, std::vector<int>& notes);

} // namespace synth

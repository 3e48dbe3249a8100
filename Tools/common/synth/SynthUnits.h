#pragma once
#include <cmath>

// The synthesizer's fixed output format and the unit conversions every part of it shares.
namespace synth {

constexpr int kSampleRate = 44100;
constexpr double kPi = 3.14159265358979323846;

inline double DbToGain(double db) { return std::pow(10.0, db / 20.0); }
inline double GainToDb(double gain) { return 20.0 * std::log10(gain); }
// MIDI note numbers: 69 is A4 at 440 Hz, 12 steps per octave.
inline double NoteToHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

} // namespace synth

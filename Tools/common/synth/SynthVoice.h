#pragma once
#include <cstdint>
#include <vector>

#include "common/synth/Envelope.h"
#include "common/synth/Filter.h"
#include "common/synth/Instrument.h"
#include "common/synth/Oscillator.h"

namespace synth {

// What the channel tells its voices for one block.
struct VoiceControl {
    double cutoff = 20000.0; // base cutoff (Hz) before envelope, LFO, key and velocity
    double time = 0.0;       // seconds since the start of the song, for the LFOs
};

// One note of a synth instrument: its oscillators, filter, envelopes, LFOs and glide.
class SynthVoice {
public:
    SynthVoice(const InstrumentSpec& spec, std::uint32_t seed);

    // Starts a note. With glide the pitch slides from the note sounding now and the envelopes
    // carry on instead of starting again.
    void Start(int note, double velocity, bool glide);
    void Release();

    bool IsActive() const { return amp.IsActive(); }
    bool IsReleased() const { return released; }
    double Level() const { return amp.Level(); }
    int Note() const { return note; }

    // Adds `frames` samples to left and right.
    void Render(float* left, float* right, int frames, const VoiceControl& control);

private:
    const InstrumentSpec* spec;
    std::vector<Oscillator> oscillators;
    Filter filters[2][2]; // [stage][left, right]
    Envelope amp;
    Envelope filterEnv;
    int note = 60;
    double pitch = 60.0; // the sounding pitch, which glides towards `note`
    double gliding = 0.0;
    double velocity = 1.0;
    bool released = true;
    bool started = false;
};

} // namespace synth

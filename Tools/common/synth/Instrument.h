#pragma once
#include <string>
#include <vector>

#include "common/synth/Envelope.h"
#include "common/synth/Filter.h"
#include "common/synth/Oscillator.h"

namespace synth {

enum class InstrumentKind { Synth, Kick, Snare, Clap, Hat };

struct OscillatorSpec {
    Wave wave = Wave::Saw;
    double semitones = 0.0; // offset from the played note
    double cents = 0.0;
    double level = 1.0;
};

enum class LfoTarget { Cutoff, Pitch, Amp, Pan };

struct LfoSpec {
    LfoTarget target = LfoTarget::Cutoff;
    double rate = 1.0;  // Hz
    double depth = 0.0; // octaves (cutoff), semitones (pitch), 0..1 (amp, pan)
};

enum class ArpMode { Off, Up, Down, UpDown };

struct ArpSpec {
    ArpMode mode = ArpMode::Off;
    int rows = 2;      // rows per arpeggio step
    int octaves = 1;   // the held notes are repeated this many octaves up
    double gate = 0.5; // part of a step the note sounds
};

// What an instrument is made of. Synths use the oscillator, filter, envelope, LFO, glide and
// arpeggio fields; the drums use the drum fields.
struct InstrumentSpec {
    std::string name;
    InstrumentKind kind = InstrumentKind::Synth;

    std::vector<OscillatorSpec> oscillators;
    double pulseWidth = 0.5;
    int supersawVoices = 7;
    double supersawDetune = 0.25;
    double supersawSpread = 0.6;

    bool filterOn = false;
    FilterMode filterMode = FilterMode::LowPass;
    double cutoff = 20000.0; // Hz
    double resonance = 0.0;
    int filterPoles = 2;     // 2 (12 dB/octave) or 4 (24 dB/octave)
    double filterEnvAmount = 0.0; // octaves added at the filter envelope's peak
    Adsr filterEnv{0.001, 0.3, 0.0, 0.3};
    double keyTrack = 0.0;   // 1: the cutoff follows the note's pitch

    Adsr amp{0.005, 0.2, 1.0, 0.1};
    std::vector<LfoSpec> lfos;
    double glide = 0.0;      // seconds of portamento for notes marked to glide
    bool mono = false;
    int polyphony = 8;
    double drive = 0.0;      // soft saturation 0..1 after the filter
    double velocityToCutoff = 0.0; // octaves of cutoff at full velocity over none
    ArpSpec arp;

    // Drums.
    double pitch = 50.0;      // kick: end pitch; snare: body tone; hat: metal base frequency
    double sweep = 200.0;     // kick: start pitch of the sweep (Hz)
    double sweepTime = 0.04;  // kick: seconds for the sweep to fall by 1/e
    double decay = 0.4;       // seconds to fall 60 dB
    double noiseDecay = 0.2;  // snare, clap: seconds for the noise to fall 60 dB
    double click = 0.5;       // kick: level of the attack click
    double tone = 6000.0;     // snare, clap, hat: noise filter frequency (Hz)
    double noiseLevel = 0.6;  // snare: noise against body
};

} // namespace synth

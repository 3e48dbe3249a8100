#pragma once
#include <string>
#include <vector>

#include "common/synth/Instrument.h"

namespace synth {

struct ChannelSpec {
    std::string name;
    int instrument = -1; // index into Score::instruments
    double gainDb = 0.0;
    double pan = 0.0;    // -1 left .. 1 right
    double reverb = 0.0; // send level 0..1
    double delay = 0.0;  // send level 0..1
    double duck = 0.0;   // 0..1: how far the key channel's hits push this channel down
    double width = 1.0;  // 0 mono .. 1 as played .. 2 wider
};

// One entry in a pattern: notes (a chord when more than one), a release, or a drum hit.
struct Step {
    enum class Kind { Notes, Release };
    Kind kind = Kind::Notes;
    std::vector<int> notes; // MIDI note numbers; drums carry 60
    double velocity = 0.8;
    bool glide = false;
};

struct PatternEvent {
    int row = 0; // within the pattern
    Step step;
};

struct PatternLane {
    int channel = -1;
    std::vector<PatternEvent> events; // ascending rows, one per row at most
};

struct Pattern {
    std::string name;
    int rows = 0;
    std::vector<PatternLane> lanes;
};

struct Placement {
    int pattern = -1;
    int fromBar = 0; // within the section
    int toBar = 0;   // exclusive
};

enum class AutomationParam { Gain, Cutoff, Reverb, Delay, Pan };

struct Automation {
    int channel = -1; // -1: the master bus (gain only)
    AutomationParam param = AutomationParam::Gain;
    double from = 0.0;
    double to = 0.0;
    int fromBar = 0; // within the section
    int toBar = 0;   // exclusive; from == to at fromBar for a plain set
};

struct Section {
    std::string name;
    int startRow = 0;
    int bars = 0;
    std::vector<Placement> placements;
    std::vector<Automation> automations;
};

struct DelaySpec {
    int rows = 6;          // echo time in rows
    double feedback = 0.35;
    double damping = 4000; // Hz: echoes lose what lies above
    double toReverb = 0.2; // part of the echoes sent on into the reverb
};

struct ReverbSpec {
    double size = 0.82;   // 0..1
    double damping = 0.4; // 0..1
    double width = 1.0;
    double predelay = 0.02; // seconds
    double lowCut = 250.0;  // Hz, the reverb's input loses what lies below
};

struct MasterSpec {
    double tilt = 0.0;           // dB: highs up and lows down by half of it each, pivot 1 kHz
    double loudness = -14.0;     // integrated loudness the master is brought to (LUFS)
    double ceiling = -1.5;       // true-peak ceiling of the limiter (dBTP)
    double threshold = -10.0;    // compressor threshold (dBFS, after the loudness gain)
    double ratio = 2.0;
    double fadeOut = 1.0;        // seconds of fade at the very end
};

struct Score {
    double tempo = 128.0;  // beats per minute
    int rowsPerBeat = 8;
    int beatsPerBar = 4;
    double length = 0.0;   // seconds rendered; 0: up to the end of the last section
    std::vector<InstrumentSpec> instruments;
    std::vector<ChannelSpec> channels;
    std::vector<Pattern> patterns;
    std::vector<Section> sections;
    DelaySpec delay;
    ReverbSpec reverb;
    MasterSpec master;
    int duckKey = -1;           // the channel whose hits duck the others
    double duckRelease = 0.18;  // seconds to come back up

    int RowsPerBar() const { return rowsPerBeat * beatsPerBar; }
    double SecondsPerRow() const { return 60.0 / (tempo * rowsPerBeat); }
    int EndRow() const;
    double LengthSeconds() const;
};

} // namespace synth

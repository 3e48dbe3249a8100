#pragma once

namespace synth {

// Times in seconds; sustain is a level 0..1.
struct Adsr {
    double attack = 0.005;
    double decay = 0.2;
    double sustain = 1.0;
    double release = 0.1;
};

// An ADSR envelope. The attack rises in a straight line from wherever the level is to 1 in
// `attack` seconds; decay and release are exponential and cover 60 dB of the distance to their
// goal in their time (decay towards the sustain level, release towards 0). A note started again
// while the level is above 0 attacks from that level, so retriggering never clicks.
class Envelope {
public:
    enum class Stage { Idle, Attack, Decay, Sustain, Release };

    void Set(const Adsr& shape);
    void NoteOn();
    void NoteOff();
    // Jumps to silence.
    void Reset();

    double Next();
    double Level() const { return level; }
    Stage GetStage() const { return stage; }
    bool IsActive() const { return stage != Stage::Idle; }

private:
    Adsr shape;
    Stage stage = Stage::Idle;
    double level = 0.0;
    double attackStep = 1.0;
    double decayCoef = 0.0;
    double releaseCoef = 0.0;
};

} // namespace synth

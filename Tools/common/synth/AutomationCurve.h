#pragma once
#include <vector>

#include "common/synth/Score.h"

namespace synth {

// One automated value of a channel (or of the master bus) over the song: the default until the
// first set or ramp, straight ramps between their rows (cutoffs ramp evenly in octaves), and the
// last value reached held after each.
class AutomationCurve {
public:
    AutomationCurve(const Score& score, int channel, AutomationParam param, double defaultValue);

    double ValueAt(double row) const;

private:
    struct Segment {
        double startRow;
        double endRow;
        double from;
        double to;
    };
    std::vector<Segment> segments; // by start row
    double defaultValue;
    bool logarithmic;
};

} // namespace synth

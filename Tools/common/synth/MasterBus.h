#pragma once
#include <vector>

#include "common/synth/Score.h"

namespace synth {

struct MasterReport {
    double gainDb = 0.0;     // the gain that brought the mix to its loudness
    double loudness = 0.0;   // integrated loudness of the result (LUFS)
    double truePeakDb = 0.0; // its true peak (dBTP)
};

// The last stage of the mix, for the whole piece at once: a 20 Hz high pass (which also takes
// out any DC), the tilt, a gain chosen so the result has the wanted integrated loudness, the
// bus compressor, the true-peak limiter and the fade at the very end. The gain is found by
// measuring and correcting a few times, since compressor and limiter take some loudness away.
class MasterBus {
public:
    explicit MasterBus(const MasterSpec& spec);

    // Works on interleaved stereo in place.
    MasterReport Process(std::vector<float>& stereo) const;

private:
    void Finish(std::vector<float>& stereo) const;

    MasterSpec spec;
};

} // namespace synth

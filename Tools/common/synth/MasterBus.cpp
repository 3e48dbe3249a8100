#include "common/synth/MasterBus.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "common/synth/Compressor.h"
#include "common/synth/Filter.h"
#include "common/synth/Limiter.h"
#include "common/synth/LoudnessMeter.h"
#include "common/synth/SynthUnits.h"
#include "common/synth/TruePeak.h"

namespace synth {

namespace {

constexpr int kMaxPasses = 8;
constexpr double kLoudnessTolerance = 0.05;

} // namespace

MasterBus::MasterBus(const MasterSpec& s) : spec(s)
{
    if (!(spec.ceiling <= 0.0))
        throw std::invalid_argument("the master's ceiling must be at or below 0 dBTP");
}

void MasterBus::Finish(std::vector<float>& stereo) const
{
    Compressor(spec.threshold, spec.ratio).Process(stereo, 2);
    Limiter(spec.ceiling).Process(stereo, 2);
    const std::size_t frames = stereo.size() / 2;
    const auto fadeFrames = std::min(frames, static_cast<std::size_t>(std::max(0.0, spec.fadeOut) * kSampleRate));
    for (std::size_t i = 0; i < fadeFrames; ++i) {
        // A raised-cosine fade that reaches silence at the last frame.
        const double x = static_cast<double>(i + 1) / static_cast<double>(fadeFrames);
        const auto gain = static_cast<float>(0.5 + 0.5 * std::cos(kPi * x));
        const std::size_t frame = frames - fadeFrames + i;
        stereo[2 * frame] *= gain;
        stereo[2 * frame + 1] *= gain;
    }
}

MasterReport MasterBus::Process(std::vector<float>& stereo) const
{
    // High pass and tilt: the lows below the 1 kHz pivot lose half the tilt, the highs gain it.
    Filter highPass[2];
    for (Filter& f : highPass) {
        f.SetMode(FilterMode::HighPass);
        f.Set(20.0, 0.0);
    }
    const double pivot = 1.0 - std::exp(-2.0 * kPi * 1000.0 / kSampleRate);
    const double lowGain = DbToGain(-spec.tilt / 2.0), highGain = DbToGain(spec.tilt / 2.0);
    double low[2] = {0.0, 0.0};
    for (std::size_t i = 0; i < stereo.size(); ++i) {
        const std::size_t c = i & 1;
        const double x = highPass[c].Process(stereo[i]);
        low[c] += (x - low[c]) * pivot;
        stereo[i] = static_cast<float>(low[c] * lowGain + (x - low[c]) * highGain);
    }

    MasterReport report;
    const double raw = IntegratedLoudness(stereo, 2);
    if (raw <= -70.0) {
        // Silence stays silence; there is nothing to bring up.
        Finish(stereo);
        report.loudness = IntegratedLoudness(stereo, 2);
        report.truePeakDb = GainToDb(std::max(TruePeak(stereo, 2), 1e-10));
        return report;
    }
    // Secant steps on loudness against gain: compressor and limiter make the slope less than 1.
    double gainDb = spec.loudness - raw;
    double lastGain = 0.0, lastLoudness = raw;
    std::vector<float> result;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        result = stereo;
        const auto gain = static_cast<float>(DbToGain(gainDb));
        for (float& sample : result)
            sample *= gain;
        Finish(result);
        report.gainDb = gainDb;
        report.loudness = IntegratedLoudness(result, 2);
        const double error = spec.loudness - report.loudness;
        if (std::fabs(error) < kLoudnessTolerance)
            break;
        double slope = 1.0;
        if (gainDb != lastGain)
            slope = std::clamp((report.loudness - lastLoudness) / (gainDb - lastGain), 0.05, 1.0);
        lastGain = gainDb;
        lastLoudness = report.loudness;
        gainDb += std::clamp(error / slope, -24.0, 24.0);
    }
    stereo.swap(result);
    report.truePeakDb = GainToDb(std::max(TruePeak(stereo, 2), 1e-10));
    return report;
}

} // namespace synth

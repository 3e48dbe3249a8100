#pragma once
#include <cstdint>
#include <vector>

#include "common/synth/DrumVoice.h"
#include "common/synth/Score.h"
#include "common/synth/SynthVoice.h"

namespace synth {

// The voices one channel plays with, and how steps start and release them:
// - a synth chord releases the notes held before it and starts its own, each on a free voice,
//   else on the quietest released one, else on the one started longest ago;
// - a mono synth plays every note on its one voice; a note marked to glide slides there;
// - a drum hit starts on a free voice, else on the one started longest ago.
class ChannelVoices {
public:
    ChannelVoices(const InstrumentSpec& instrument, std::uint32_t seed);

    void Play(const Step& step);
    // Adds `frames` samples of every sounding voice to left and right.
    void Render(float* left, float* right, int frames, const VoiceControl& control);

private:
    std::size_t PickSynthVoice() const;

    const InstrumentSpec* instrument;
    std::vector<SynthVoice> synths;
    std::vector<DrumVoice> drums;
    std::vector<std::uint64_t> started; // when each voice last started, in steps played
    std::uint64_t clock = 0;
};

} // namespace synth

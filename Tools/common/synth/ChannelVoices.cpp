#include "common/synth/ChannelVoices.h"

#include <algorithm>

namespace synth {

namespace {

constexpr int kDrumVoices = 4;

} // namespace

ChannelVoices::ChannelVoices(const InstrumentSpec& spec, std::uint32_t seed) : instrument(&spec)
{
    if (spec.kind == InstrumentKind::Synth) {
        const int count = spec.mono ? 1 : std::max(1, spec.polyphony);
        for (int i = 0; i < count; ++i)
            synths.emplace_back(spec, seed * 31u + static_cast<std::uint32_t>(i));
        started.assign(synths.size(), 0);
    } else {
        for (int i = 0; i < kDrumVoices; ++i)
            drums.emplace_back(spec, seed * 31u + static_cast<std::uint32_t>(i) + 1u);
        started.assign(drums.size(), 0);
    }
}

std::size_t ChannelVoices::PickSynthVoice() const
{
    std::size_t best = 0;
    for (std::size_t i = 0; i < synths.size(); ++i)
        if (!synths[i].IsActive())
            return i;
    bool haveReleased = false;
    for (std::size_t i = 0; i < synths.size(); ++i) {
        if (!synths[i].IsReleased())
            continue;
        if (!haveReleased || synths[i].Level() < synths[best].Level())
            best = i;
        haveReleased = true;
    }
    if (haveReleased)
        return best;
    for (std::size_t i = 0; i < synths.size(); ++i)
        if (started[i] < started[best])
            best = i;
    return best;
}

void ChannelVoices::Play(const Step& step)
{
    ++clock;
    if (!drums.empty()) {
        if (step.kind == Step::Kind::Release)
            return;
        std::size_t pick = 0;
        for (std::size_t i = 0; i < drums.size(); ++i) {
            if (!drums[i].IsActive()) {
                pick = i;
                break;
            }
            if (started[i] < started[pick])
                pick = i;
        }
        drums[pick].Start(step.velocity);
        started[pick] = clock;
        return;
    }
    if (instrument->mono) {
        if (step.kind == Step::Kind::Release) {
            synths[0].Release();
            return;
        }
        // A chord on a mono instrument plays its top note.
        const int note = *std::max_element(step.notes.begin(), step.notes.end());
        synths[0].Start(note, step.velocity, step.glide);
        started[0] = clock;
        return;
    }
    if (step.kind == Step::Kind::Notes && step.glide && step.notes.size() == 1) {
        // A single gliding note takes over the most recently started held voice.
        std::size_t held = synths.size();
        for (std::size_t i = 0; i < synths.size(); ++i)
            if (synths[i].IsActive() && !synths[i].IsReleased() && (held == synths.size() || started[i] > started[held]))
                held = i;
        if (held != synths.size()) {
            for (std::size_t i = 0; i < synths.size(); ++i)
                if (i != held && !synths[i].IsReleased())
                    synths[i].Release();
            synths[held].Start(step.notes[0], step.velocity, true);
            started[held] = clock;
            return;
        }
    }
    for (SynthVoice& voice : synths)
        if (!voice.IsReleased())
            voice.Release();
    if (step.kind == Step::Kind::Release)
        return;
    for (int note : step.notes) {
        const std::size_t pick = PickSynthVoice();
        synths[pick].Start(note, step.velocity, false);
        started[pick] = clock;
    }
}

void ChannelVoices::Render(float* left, float* right, int frames, const VoiceControl& control)
{
    for (SynthVoice& voice : synths)
        if (voice.IsActive())
            voice.Render(left, right, frames, control);
    for (DrumVoice& voice : drums)
        if (voice.IsActive())
            voice.Render(left, right, frames);
}

} // namespace synth

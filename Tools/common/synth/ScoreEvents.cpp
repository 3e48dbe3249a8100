#include "common/synth/ScoreEvents.h"

#include <algorithm>
#include <cmath>

#include "common/synth/ChannelEvents.h"
#include "common/synth/SynthUnits.h"

namespace synth {

std::vector<ScoreEvent> ScoreEvents(const Score& score, int channel)
{
    // The renderer starts an event on the sample frame nearest to its row and stops at the
    // end of the rendered length; what starts later is never heard.
    const double framesPerRow = score.SecondsPerRow() * kSampleRate;
    const long totalFrames = std::lround(score.LengthSeconds() * kSampleRate);
    std::vector<ScoreEvent> events;
    for (int c = 0; c < static_cast<int>(score.channels.size()); ++c) {
        if (channel >= 0 && c != channel)
            continue;
        const InstrumentSpec& instrument =
            score.instruments[static_cast<std::size_t>(score.channels[static_cast<std::size_t>(c)].instrument)];
        const bool drum = instrument.kind != InstrumentKind::Synth;
        for (const TimedStep& timed : ChannelEvents(score, c)) {
            if (timed.step.kind != Step::Kind::Notes || std::lround(timed.row * framesPerRow) >= totalFrames)
                continue;
            std::vector<int> notes = timed.step.notes;
            std::sort(notes.begin(), notes.end());
            // A mono instrument plays the top note of a chord; on a poly one only a single note
            // glides, a chord starts afresh.
            if (instrument.mono && !notes.empty())
                notes.erase(notes.begin(), notes.end() - 1);
            const bool glide = timed.step.glide && !drum && notes.size() == 1;
            for (int note : notes)
                events.push_back(ScoreEvent{timed.row, timed.row * score.SecondsPerRow(), c, note,
                                            timed.step.velocity, drum, glide});
        }
    }
    // Each channel's events are in row order already; the stable sort keeps channel order and
    // chord order on equal rows.
    std::stable_sort(events.begin(), events.end(),
                     [](const ScoreEvent& a, const ScoreEvent& b) { return a.row < b.row; });
    return events;
}

int FindChannel(const Score& score, const std::string& name)
{
    for (std::size_t c = 0; c < score.channels.size(); ++c)
        if (score.channels[c].name == name)
            return static_cast<int>(c);
    return -1;
}

std::string NoteName(int note)
{
    static const char* const kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    const int octave = note >= 0 ? note / 12 - 1 : (note - 11) / 12 - 1;
    const int pitch = note - (octave + 1) * 12;
    return kNames[pitch] + std::to_string(octave);
}

} // namespace synth

#include "common/synth/ChannelEvents.h"

#include <algorithm>
#include <map>

namespace synth {

namespace {

// The notes an arpeggio walks through for a held chord, one cycle.
std::vector<int> ArpeggioCycle(std::vector<int> notes, const ArpSpec& arp)
{
    std::sort(notes.begin(), notes.end());
    notes.erase(std::unique(notes.begin(), notes.end()), notes.end());
    std::vector<int> up;
    for (int octave = 0; octave < arp.octaves; ++octave)
        for (int note : notes)
            if (note + 12 * octave <= 127)
                up.push_back(note + 12 * octave);
    if (arp.mode == ArpMode::Up)
        return up;
    std::vector<int> down(up.rbegin(), up.rend());
    if (arp.mode == ArpMode::Down)
        return down;
    // Up and down again without playing the top and bottom notes twice.
    std::vector<int> cycle = up;
    if (down.size() > 2)
        cycle.insert(cycle.end(), down.begin() + 1, down.end() - 1);
    return cycle;
}

} // namespace

std::vector<TimedStep> ChannelEvents(const Score& score, int channel)
{
    const InstrumentSpec& instrument =
        score.instruments[static_cast<std::size_t>(score.channels[static_cast<std::size_t>(channel)].instrument)];
    const bool drum = instrument.kind != InstrumentKind::Synth;
    const int rowsPerBar = score.RowsPerBar();

    std::map<int, Step> steps;
    std::map<int, bool> placementEnds;
    for (const Section& section : score.sections) {
        for (const Placement& placement : section.placements) {
            const Pattern& pattern = score.patterns[static_cast<std::size_t>(placement.pattern)];
            const auto lane = std::find_if(pattern.lanes.begin(), pattern.lanes.end(),
                                           [channel](const PatternLane& l) { return l.channel == channel; });
            if (lane == pattern.lanes.end())
                continue;
            const int first = section.startRow + placement.fromBar * rowsPerBar;
            const int end = section.startRow + placement.toBar * rowsPerBar;
            // Patterns run in step with their section: one placed from bar 5 plays its own bar 5
            // there (when it is that long), so parts placed in different bars stay in harmony.
            const int skipped = (first - section.startRow) / pattern.rows;
            for (int start = section.startRow + skipped * pattern.rows; start < end; start += pattern.rows) {
                for (const PatternEvent& event : lane->events) {
                    const int row = start + event.row;
                    if (row < first)
                        continue;
                    if (row >= end)
                        break;
                    auto [it, added] = steps.emplace(row, event.step);
                    if (added)
                        continue;
                    // Two placements on one row: notes join into one chord, a release gives way.
                    Step& merged = it->second;
                    if (event.step.kind == Step::Kind::Release)
                        continue;
                    if (merged.kind == Step::Kind::Release) {
                        merged = event.step;
                        continue;
                    }
                    for (int note : event.step.notes)
                        if (std::find(merged.notes.begin(), merged.notes.end(), note) == merged.notes.end())
                            merged.notes.push_back(note);
                    merged.velocity = std::max(merged.velocity, event.step.velocity);
                    merged.glide = merged.glide && event.step.glide;
                }
            }
            if (!drum)
                placementEnds[end] = true;
        }
    }
    // Notes still held when their placement ends are let go there.
    for (const auto& [row, unused] : placementEnds) {
        (void)unused;
        Step release;
        release.kind = Step::Kind::Release;
        steps.emplace(row, release);
    }

    std::vector<TimedStep> events;
    if (drum || instrument.arp.mode == ArpMode::Off) {
        for (const auto& [row, step] : steps)
            events.push_back(TimedStep{static_cast<double>(row), step});
        return events;
    }
    const ArpSpec& arp = instrument.arp;
    for (auto it = steps.begin(); it != steps.end(); ++it) {
        if (it->second.kind == Step::Kind::Release) {
            events.push_back(TimedStep{static_cast<double>(it->first), it->second});
            continue;
        }
        const auto next = std::next(it);
        const int until = next == steps.end() ? score.EndRow() : next->first;
        const std::vector<int> cycle = ArpeggioCycle(it->second.notes, arp);
        if (cycle.empty())
            continue;
        std::size_t index = 0;
        for (int row = it->first; row < until; row += arp.rows, ++index) {
            Step note = it->second;
            note.notes = {cycle[index % cycle.size()]};
            note.glide = false;
            events.push_back(TimedStep{static_cast<double>(row), note});
            Step release;
            release.kind = Step::Kind::Release;
            events.push_back(TimedStep{std::min<double>(until, row + arp.rows * arp.gate), release});
        }
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const TimedStep& a, const TimedStep& b) { return a.row < b.row; });
    return events;
}

} // namespace synth

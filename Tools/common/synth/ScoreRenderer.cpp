#include "common/synth/ScoreRenderer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

#include "common/synth/AutomationCurve.h"
#include "common/synth/ChannelEvents.h"
#include "common/synth/ChannelVoices.h"
#include "common/synth/Reverb.h"
#include "common/synth/StereoDelay.h"
#include "common/synth/SynthUnits.h"

namespace synth {

namespace {

constexpr int kBlockFrames = 256;
// The ducked channels dip over this time just before a key hit.
constexpr double kDuckAttack = 0.004;

// Decaying tails would otherwise end in denormal numbers, which are slow on x86; flushing them
// to zero changes nothing audible and keeps every render the same.
class FlushDenormals {
public:
#if defined(__SSE2__)
    FlushDenormals() : saved(_mm_getcsr()) { _mm_setcsr(saved | 0x8040); }
    ~FlushDenormals() { _mm_setcsr(saved); }

private:
    unsigned saved;
#endif
};

struct Channel {
    const ChannelSpec* spec;
    std::unique_ptr<ChannelVoices> voices;
    std::vector<TimedStep> events;
    std::vector<long> eventFrames;
    std::size_t next = 0;
    AutomationCurve gain, cutoff, reverb, delay, pan;
    double lastGain = 0.0;
};

// How far (0..1) a ducked channel is down at a frame, from the key hits around it.
class DuckShape {
public:
    DuckShape(std::vector<long> hits, double release)
        : hits(std::move(hits)), attack(kDuckAttack * kSampleRate), release(release * kSampleRate)
    {
    }

    void Fill(long first, int frames, float* depth)
    {
        for (int i = 0; i < frames; ++i) {
            const long frame = first + i;
            while (cursor < hits.size() && hits[cursor] <= frame)
                ++cursor;
            double amount = 0.0;
            if (cursor > 0) {
                const double since = static_cast<double>(frame - hits[cursor - 1]) / release;
                if (since < 1.0)
                    amount = 0.5 * (1.0 + std::cos(kPi * since));
            }
            if (cursor < hits.size()) {
                const double until = static_cast<double>(hits[cursor] - frame);
                if (until < attack)
                    amount = std::max(amount, 1.0 - until / attack);
            }
            depth[i] = static_cast<float>(amount);
        }
    }

private:
    std::vector<long> hits;
    std::size_t cursor = 0;
    double attack;
    double release;
};

// Constant-power pan that leaves the centre at unity.
void PanGains(double pan, double& left, double& right)
{
    const double angle = (std::clamp(pan, -1.0, 1.0) + 1.0) * kPi / 4.0;
    left = std::cos(angle) * std::sqrt(2.0);
    right = std::sin(angle) * std::sqrt(2.0);
}

} // namespace

std::vector<SectionStart> SectionMap(const Score& score)
{
    std::vector<SectionStart> map;
    for (const Section& section : score.sections)
        map.push_back(SectionStart{section.name, section.startRow, section.startRow * score.SecondsPerRow()});
    return map;
}

RenderedSong RenderScore(const Score& score)
{
    FlushDenormals flush;
    const double framesPerRow = score.SecondsPerRow() * kSampleRate;
    const long totalFrames = std::lround(score.LengthSeconds() * kSampleRate);
    if (totalFrames <= 0)
        throw std::invalid_argument("the score is empty");

    std::vector<Channel> channels;
    channels.reserve(score.channels.size());
    for (std::size_t c = 0; c < score.channels.size(); ++c) {
        const ChannelSpec& spec = score.channels[c];
        const InstrumentSpec& instrument = score.instruments[static_cast<std::size_t>(spec.instrument)];
        const int index = static_cast<int>(c);
        Channel channel{&spec,
                        std::make_unique<ChannelVoices>(instrument, 1000u + static_cast<std::uint32_t>(c) * 7u),
                        ChannelEvents(score, index),
                        {},
                        0,
                        AutomationCurve(score, index, AutomationParam::Gain, spec.gainDb),
                        AutomationCurve(score, index, AutomationParam::Cutoff, instrument.cutoff),
                        AutomationCurve(score, index, AutomationParam::Reverb, spec.reverb),
                        AutomationCurve(score, index, AutomationParam::Delay, spec.delay),
                        AutomationCurve(score, index, AutomationParam::Pan, spec.pan),
                        0.0};
        for (const TimedStep& event : channel.events)
            channel.eventFrames.push_back(std::lround(event.row * framesPerRow));
        channel.lastGain = DbToGain(channel.gain.ValueAt(0.0));
        channels.push_back(std::move(channel));
    }
    std::vector<long> keyHits;
    if (score.duckKey >= 0) {
        const Channel& key = channels[static_cast<std::size_t>(score.duckKey)];
        for (std::size_t i = 0; i < key.events.size(); ++i)
            if (key.events[i].step.kind == Step::Kind::Notes)
                keyHits.push_back(key.eventFrames[i]);
    }
    DuckShape duck(keyHits, score.duckRelease);
    const AutomationCurve masterGain(score, -1, AutomationParam::Gain, 0.0);
    double lastMasterGain = DbToGain(masterGain.ValueAt(0.0));

    StereoDelay echo(std::max(1, static_cast<int>(std::lround(score.delay.rows * framesPerRow))),
                     score.delay.feedback, score.delay.damping);
    Reverb reverb(score.reverb);

    RenderedSong song;
    song.stereo.assign(static_cast<std::size_t>(totalFrames) * 2, 0.0f);
    float left[kBlockFrames], right[kBlockFrames], depth[kBlockFrames];
    float busLeft[kBlockFrames], busRight[kBlockFrames];
    float echoLeft[kBlockFrames], echoRight[kBlockFrames];
    float roomLeft[kBlockFrames], roomRight[kBlockFrames];

    for (long first = 0; first < totalFrames; first += kBlockFrames) {
        const int frames = static_cast<int>(std::min<long>(kBlockFrames, totalFrames - first));
        const double startRow = first / framesPerRow;
        const double endRow = (first + frames) / framesPerRow;
        std::fill(busLeft, busLeft + frames, 0.0f);
        std::fill(busRight, busRight + frames, 0.0f);
        std::fill(echoLeft, echoLeft + frames, 0.0f);
        std::fill(echoRight, echoRight + frames, 0.0f);
        std::fill(roomLeft, roomLeft + frames, 0.0f);
        std::fill(roomRight, roomRight + frames, 0.0f);
        duck.Fill(first, frames, depth);

        for (Channel& channel : channels) {
            std::fill(left, left + frames, 0.0f);
            std::fill(right, right + frames, 0.0f);
            int done = 0;
            while (done < frames) {
                // Steps due now are played before the samples that follow them.
                while (channel.next < channel.events.size() && channel.eventFrames[channel.next] <= first + done) {
                    channel.voices->Play(channel.events[channel.next].step);
                    ++channel.next;
                }
                int until = frames;
                if (channel.next < channel.events.size())
                    until = static_cast<int>(std::min<long>(frames, channel.eventFrames[channel.next] - first));
                const double row = (first + done) / framesPerRow;
                VoiceControl control;
                control.cutoff = channel.cutoff.ValueAt(row);
                control.time = (first + done) / static_cast<double>(kSampleRate);
                channel.voices->Render(left + done, right + done, until - done, control);
                done = until;
            }

            const ChannelSpec& spec = *channel.spec;
            const double endGain = DbToGain(channel.gain.ValueAt(endRow));
            double panLeft, panRight;
            PanGains(channel.pan.ValueAt(startRow), panLeft, panRight);
            const double reverbSend = channel.reverb.ValueAt(startRow);
            const double delaySend = channel.delay.ValueAt(startRow);
            const double halfWidth = spec.width / 2.0;
            for (int i = 0; i < frames; ++i) {
                // Gain moves smoothly across the block, so ramps never step.
                const double gain = channel.lastGain + (endGain - channel.lastGain) * (i + 1) / frames;
                const double ducked = gain * (1.0 - spec.duck * depth[i]);
                const double mid = 0.5 * (left[i] + right[i]);
                const double side = halfWidth * (left[i] - right[i]);
                const auto l = static_cast<float>((mid + side) * ducked * panLeft);
                const auto r = static_cast<float>((mid - side) * ducked * panRight);
                busLeft[i] += l;
                busRight[i] += r;
                echoLeft[i] += static_cast<float>(l * delaySend);
                echoRight[i] += static_cast<float>(r * delaySend);
                roomLeft[i] += static_cast<float>(l * reverbSend);
                roomRight[i] += static_cast<float>(r * reverbSend);
            }
            channel.lastGain = endGain;
        }

        const double endMaster = DbToGain(masterGain.ValueAt(endRow));
        for (int i = 0; i < frames; ++i) {
            float echoOutLeft, echoOutRight, roomOutLeft, roomOutRight;
            echo.Process(echoLeft[i], echoRight[i], echoOutLeft, echoOutRight);
            reverb.Process(roomLeft[i] + static_cast<float>(echoOutLeft * score.delay.toReverb),
                           roomRight[i] + static_cast<float>(echoOutRight * score.delay.toReverb), roomOutLeft,
                           roomOutRight);
            const double gain = lastMasterGain + (endMaster - lastMasterGain) * (i + 1) / frames;
            const std::size_t at = static_cast<std::size_t>(first + i) * 2;
            song.stereo[at] = static_cast<float>((busLeft[i] + echoOutLeft + roomOutLeft) * gain);
            song.stereo[at + 1] = static_cast<float>((busRight[i] + echoOutRight + roomOutRight) * gain);
        }
        lastMasterGain = endMaster;
    }

    song.master = MasterBus(score.master).Process(song.stereo);
    return song;
}

} // namespace synth

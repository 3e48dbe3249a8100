#include <gtest/gtest.h>

#include <cmath>

#include "common/synth/Envelope.h"
#include "common/synth/SynthUnits.h"

namespace {

using synth::Envelope;
using synth::kSampleRate;

// Samples until the envelope first meets the condition, or -1 within ten seconds.
template <typename CONDITION>
long SamplesUntil(Envelope& env, CONDITION condition)
{
    for (long i = 1; i <= 10L * kSampleRate; ++i)
        if (condition(env.Next()))
            return i;
    return -1;
}

TEST(SynthEnvelopeTest, StagesTakeTheirTimes)
{
    const struct {
        double attack, decay, sustain, release;
    } cases[] = {{0.01, 0.2, 0.5, 0.3}, {0.5, 1.0, 0.8, 2.0}, {0.0, 0.05, 0.0, 0.01}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attack);
        Envelope env;
        env.Set({c.attack, c.decay, c.sustain, c.release});
        env.NoteOn();
        // The attack reaches full level in its time (a zero attack in one sample).
        const long attack = SamplesUntil(env, [](double level) { return level >= 1.0; });
        EXPECT_NEAR(attack, std::max(1.0, c.attack * kSampleRate), 1.0);
        // The decay covers 60 dB of the way to the sustain level in its time.
        const double goal = c.sustain + 0.001 * (1.0 - c.sustain);
        const long decay = SamplesUntil(env, [goal](double level) { return level <= goal; });
        EXPECT_NEAR(decay, c.decay * kSampleRate, 2.0);
        if (c.sustain > 0.0) {
            for (int i = 0; i < kSampleRate; ++i)
                env.Next();
            EXPECT_NEAR(env.Level(), c.sustain, 1e-9);
            EXPECT_EQ(env.GetStage(), Envelope::Stage::Sustain);
            // The release falls 60 dB in its time, then the envelope goes idle.
            env.NoteOff();
            const double floor = env.Level() * 0.001;
            const long release = SamplesUntil(env, [floor](double level) { return level <= floor; });
            EXPECT_NEAR(release, c.release * kSampleRate, 2.0);
            EXPECT_GT(SamplesUntil(env, [&env](double) { return !env.IsActive(); }), 0);
        } else {
            EXPECT_GT(SamplesUntil(env, [&env](double) { return !env.IsActive(); }), 0);
        }
        EXPECT_EQ(env.Level(), 0.0);
    }
}

TEST(SynthEnvelopeTest, RetriggerRisesFromTheCurrentLevel)
{
    Envelope env;
    env.Set({0.1, 0.1, 0.6, 0.5});
    env.NoteOn();
    for (int i = 0; i < kSampleRate / 2; ++i)
        env.Next();
    env.NoteOff();
    for (int i = 0; i < kSampleRate / 20; ++i)
        env.Next();
    const double before = env.Level();
    ASSERT_GT(before, 0.1);
    env.NoteOn();
    const double after = env.Next();
    EXPECT_GT(after, before);
    EXPECT_LT(after - before, 1.0 / (0.1 * kSampleRate) + 1e-12);
}

TEST(SynthEnvelopeTest, ReleaseBeforeStartDoesNothing)
{
    Envelope env;
    env.Set({0.01, 0.1, 0.5, 0.1});
    env.NoteOff();
    EXPECT_FALSE(env.IsActive());
    EXPECT_EQ(env.Next(), 0.0);
}

} // namespace

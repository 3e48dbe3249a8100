#pragma once
#include <cstdint>

#include "sync/SyncNamespace.h"
#include "sync/Track.h"

// The playback clock: seconds since the music became audible, read from the high-resolution
// counter once per frame. It starts negative by the audio latency; while negative it reads
// as 0 after an update and no frame is drawn. It also evaluates the track "PlaybackTime",
// the remapped time that animation follows. The state is process-wide.
class Timer {
public:
    // Throws FrameworkEx "Timer is a singleton!" when an instance exists. Takes the track
    // "PlaybackTime" from the published sync device (DXFramework::GetSyncDevice()), so the
    // device must exist first.
    Timer();
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // The raw clock in single-precision seconds: the counter over its frequency (read anew
    // each call), or the millisecond timer where there is no counter.
    static float RawTime();
    // Makes the playback time t - offset now.
    static void Restart(float t, float offset);
    // Advances the clock; once per frame. Asks for a redraw when the time moved forward.
    static void Update();

    // The playback time. Right after Restart it is t - offset, possibly negative; after an
    // update it is never negative.
    static float GetTime();
    // Raw seconds between the last two updates; 0 when the time did not advance.
    static double GetDelta();
    // The value of "PlaybackTime" at the row of the last update.
    static float GetPlaybackTimeValue();

private:
    static bool qpcAvailable;
    static std::int64_t frequency;
    static double start;
    static double time;
    static double delta;
    static double last;
    static const sync::Track* playbackTimeTrack;
    static float playbackTimeValue;
};

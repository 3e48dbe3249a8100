#include "Timer.h"

#include "DXFramework.h"
#include "FrameworkEx.h"
#include "SyncTimer.h"
#include "sync/Device.h"
#include "win32/Clock.h"

namespace {
const Timer* instance = nullptr;
} // namespace

bool Timer::qpcAvailable = false;
std::int64_t Timer::frequency = 0;
double Timer::start = 0.0;
double Timer::time = 0.0;
double Timer::delta = 0.0;
double Timer::last = 0.0;
const sync::Track* Timer::playbackTimeTrack = nullptr;
float Timer::playbackTimeValue = 0.0f;

Timer::Timer()
{
    if (instance != nullptr)
        throw FrameworkEx("Timer is a singleton!");
    // No device, or no track file, throws from here, before anything is taken over.
    const sync::Track& track = DXFramework::GetSyncDevice()->getTrack("PlaybackTime");

    LARGE_INTEGER counterFrequency;
    qpcAvailable = QueryPerformanceFrequency(&counterFrequency) != 0;
    frequency = qpcAvailable ? counterFrequency.QuadPart : 0;
    playbackTimeTrack = &track;
    start = time = delta = last = 0.0;
    playbackTimeValue = 0.0f;
    instance = this;
}

Timer::~Timer()
{
    if (instance == this) {
        instance = nullptr;
        playbackTimeTrack = nullptr;
    }
}

float Timer::RawTime()
{
    if (qpcAvailable) {
        LARGE_INTEGER value;
        // A counter that stops answering, or answers with no frequency, falls back to the
        // millisecond timer rather than dividing by zero.
        if (QueryPerformanceFrequency(&value) != 0 && value.QuadPart > 0) {
            frequency = value.QuadPart;
            LARGE_INTEGER counter;
            if (QueryPerformanceCounter(&counter) != 0)
                return static_cast<float>(static_cast<double>(counter.QuadPart) / static_cast<double>(frequency));
        }
    }
    return static_cast<float>(timeGetTime() * 0.001);
}

void Timer::Restart(float t, float offset)
{
    const float now = RawTime();
    last = now;
    delta = 0.0;
    start = static_cast<double>(now) + offset - t;
    time = t - offset;
}

void Timer::Update()
{
    const float now = RawTime();
    time = now - start;
    delta = now - last;
    last = now;
    if (playbackTimeTrack != nullptr)
        playbackTimeValue = playbackTimeTrack->getValue(GetSyncRow());
    if (!(time >= 0.0)) {
        time = 0.0;
        delta = 0.0;
    }
    if (delta > 0.0)
        DXFramework::RequestRedraw();
}

float Timer::GetTime()
{
    return static_cast<float>(time);
}

double Timer::GetDelta()
{
    return delta;
}

float Timer::GetPlaybackTimeValue()
{
    return playbackTimeValue;
}

#include "SyncTimer.h"

#include "Timer.h"

namespace {
double rowRate = 0.0; // rows per second
} // namespace

float SyncTimer::getRow()
{
    return GetSyncRow();
}

float GetSyncRow()
{
    const float time = Timer::GetTime();
    // "not >= 0" also catches a NaN time, which would make a NaN row
    return static_cast<float>((time >= 0.0f ? time : 0.0f) * rowRate);
}

void SetRowRate(float beatsPerMinute, int rowsPerBeat)
{
    rowRate = beatsPerMinute / 60.0 * rowsPerBeat;
}

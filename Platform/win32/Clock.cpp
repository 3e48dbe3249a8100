#include "win32/Clock.h"

#include <chrono>

namespace {

class SystemClock final : public ClockSource {
public:
    SystemClock() : epoch(std::chrono::steady_clock::now()) {}
    bool HasCounter() const override { return true; }
    std::int64_t Counter() const override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - epoch)
            .count();
    }
    std::int64_t Frequency() const override { return 1000000000; }
    DWORD Milliseconds() const override { return static_cast<DWORD>(Counter() / 1000000); }

private:
    std::chrono::steady_clock::time_point epoch;
};

SystemClock& System()
{
    static SystemClock clock;
    return clock;
}

ClockSource* installed = nullptr;

} // namespace

ClockSource* SetClockSource(ClockSource* source)
{
    ClockSource* previous = installed;
    installed = source;
    return previous;
}

ClockSource& GetClockSource()
{
    return installed ? *installed : static_cast<ClockSource&>(System());
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count)
{
    ClockSource& clock = GetClockSource();
    if (!clock.HasCounter() || count == nullptr)
        return FALSE;
    count->QuadPart = clock.Counter();
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    ClockSource& clock = GetClockSource();
    if (!clock.HasCounter() || frequency == nullptr) {
        if (frequency != nullptr)
            frequency->QuadPart = 0;
        return FALSE;
    }
    frequency->QuadPart = clock.Frequency();
    return TRUE;
}

DWORD timeGetTime()
{
    return GetClockSource().Milliseconds();
}

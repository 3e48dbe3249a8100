#pragma once
#include <cstdint>

#include "win32/WinTypes.h"

// The raw clocks: the high-resolution counter and the millisecond timer. Everything reads
// them through one ClockSource, so that tests and a frame-exact capture can drive time.
class ClockSource {
public:
    virtual ~ClockSource() = default;
    // False makes QueryPerformanceFrequency fail, as on a machine without the counter.
    virtual bool HasCounter() const = 0;
    virtual std::int64_t Counter() const = 0;
    virtual std::int64_t Frequency() const = 0;
    virtual DWORD Milliseconds() const = 0;
};

// Installs a clock (not owned); null puts back the system clock. Returns the previous one.
ClockSource* SetClockSource(ClockSource* source);
ClockSource& GetClockSource();

// The system clock counts from the moment the process first reads it, in nanoseconds, so
// that a reading converted to single-precision seconds keeps sub-millisecond steps.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
DWORD timeGetTime();

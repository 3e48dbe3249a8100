#pragma once
// What the studio's parts share: the show's timeline and clocks.
#include <chrono>

#include "common/ToolOptions.h"

// The show's timeline: 128 beats a minute, 8 rows a beat, 4 beats a bar.
constexpr double kRowsPerSecond = 128.0 / 60.0 * 8.0;
constexpr long kRowsPerBeat = 8;
constexpr long kRowsPerBar = 32;
// The rate `shot` draws at, as `orvala-tool frame` does by default.
constexpr unsigned kShotFps = 60;
// How long a grain of the tune sounds while scrubbing or stepping.
constexpr double kGrainSeconds = 0.08;
// The music is resynced when it drifts from the picture by more than this.
constexpr double kMusicTolerance = 1.0 / 60.0;

// The studio's picture sizes, as --size and `shot --size` take them.
inline const ToolOption kStudioSizeOption = ToolOption::Size("--size", 16, 8192);

// Seconds on a steady clock.
inline double SteadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

#pragma once
#include <string>
#include <vector>

#include "DemoMain.h"

// The demo as it is shown: the one place where its modules and scenes are written down. The
// program and the tools (frame, sheet, capture) build the same show from here.

// Title, nominal size 800 x 450, windowed, end time 141.5 s, the setup dialog shown.
DemoConfiguration ShowConfiguration();

// Registers the four shared modules ("PostFX", "DefLight", "Floor", "Dust") and the eight scenes,
// in the order whose positions the track "Scene" selects. Needs the host to exist.
void RegisterShow();

// The scenes' names by their index on the track "Scene".
const std::vector<std::string>& ShowSceneNames();

// The show's end: the playback time at which the run stops, in seconds.
constexpr float kShowEndTime = 141.5f;

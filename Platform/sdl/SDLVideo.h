#pragma once

// Starts SDL's video subsystem once for the whole process. Where there is no display (no
// DISPLAY or WAYLAND_DISPLAY, as in CI), SDL's offscreen driver is used, whose GL contexts
// come from EGL on Mesa. Returns false, with SDL_GetError() telling why, when SDL cannot
// start.
bool EnsureSDLVideo();

// True when the windows are offscreen: there is no display to show them on.
bool IsHeadless();

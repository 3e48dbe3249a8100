#include "sdl/SDLVideo.h"

#include <SDL.h>

#include <cstdlib>

namespace {

bool HasDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

} // namespace

bool EnsureSDLVideo()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0)
        return true;
    if (!HasDisplay())
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

bool IsHeadless()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver)
        return SDL_strcmp(driver, "offscreen") == 0;
    return !HasDisplay();
}

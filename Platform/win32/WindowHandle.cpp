#include "win32/WindowHandle.h"

#include <SDL.h>

#include <map>

namespace {

// Handles are small numbers of our own, never pointers to SDL's windows, so a stale
// handle cannot reach freed memory.
std::map<HWND, SDL_Window*>& Windows()
{
    static std::map<HWND, SDL_Window*> windows;
    return windows;
}

std::uintptr_t nextHandle = 0x100;

} // namespace

HWND RegisterSDLWindow(SDL_Window* window)
{
    if (!window)
        return nullptr;
    if (HWND existing = HWNDFromSDLWindow(window))
        return existing;
    HWND handle = reinterpret_cast<HWND>(nextHandle);
    nextHandle += 0x10;
    Windows()[handle] = window;
    return handle;
}

void UnregisterSDLWindow(HWND handle)
{
    Windows().erase(handle);
}

SDL_Window* SDLWindowFromHWND(HWND handle)
{
    auto found = Windows().find(handle);
    return found == Windows().end() ? nullptr : found->second;
}

HWND HWNDFromSDLWindow(SDL_Window* window)
{
    for (const auto& [handle, registered] : Windows())
        if (registered == window)
            return handle;
    return nullptr;
}

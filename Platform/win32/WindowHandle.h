#pragma once
#include "win32/WinTypes.h"

struct SDL_Window;

// A window handle stands for an SDL window (created with SDL_WINDOW_OPENGL, so a Direct3D
// device can draw into it). The window layer registers its windows here; the device layer
// looks up the SDL window behind the HWND it is given.
HWND RegisterSDLWindow(SDL_Window* window);
void UnregisterSDLWindow(HWND handle);
SDL_Window* SDLWindowFromHWND(HWND handle);
HWND HWNDFromSDLWindow(SDL_Window* window);

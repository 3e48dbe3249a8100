#pragma once

struct SDL_Surface;

// The program's own icon and cursor pictures, drawn by code (32-bit ARGB surfaces that the
// caller frees). The icon is a rounded dark-blue tile with an amber ring; the cursor is the
// classic black-outlined white arrow with its hot spot at the tip, (0, 0).
SDL_Surface* CreateAppIconSurface(int size);
SDL_Surface* CreateArrowCursorSurface();

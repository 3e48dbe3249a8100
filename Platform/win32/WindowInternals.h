#pragma once
#include <string>

#include "win32/WinUser.h"

struct SDL_Window;
struct SDL_Surface;
struct SDL_Cursor;

// What the window layer's units share among themselves: the classes, the windows and the
// queue's housekeeping. Not for use outside Platform/win32.
namespace win32internal {

struct WindowClassInfo {
    std::string key; // lower-case class name
    ATOM atom = 0;
    WNDPROC proc = nullptr;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;
};

struct WindowRecord {
    HWND handle = nullptr;
    SDL_Window* sdl = nullptr;
    WNDPROC proc = nullptr;
    std::string classKey;
    DWORD style = 0;
    DWORD exStyle = 0;
    bool destroying = false;
    bool minimised = false;
};

// WindowClass.cpp. A class named by string (any case) or by its atom; null if none.
const WindowClassInfo* FindWindowClass(LPCSTR nameOrAtom);
// The pictures behind icon and cursor handles; null for a handle that is not one, and for
// a cursor the display cannot show.
bool IsCursorHandle(HCURSOR cursor);
SDL_Surface* IconSurface(HICON icon);
SDL_Cursor* CursorFromHandle(HCURSOR cursor);

// Window.cpp.
WindowRecord* FindWindowRecord(HWND window);
bool ClassHasWindows(const std::string& classKey);
// The display moved the keyboard focus (null: to no window of ours).
void NoteFocus(HWND window);

// MessageQueue.cpp. Drops the queued messages of a window that is going away.
void DiscardMessagesFor(HWND window);

} // namespace win32internal

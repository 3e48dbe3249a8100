#include "win32/WinUser.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

#include "sdl/SDLVideo.h"
#include "win32/WindowHandle.h"
#include "win32/WindowInternals.h"

using win32internal::WindowRecord;

namespace {

// The frame drawn around a caption window: a 3-pixel border with a 23-pixel caption bar
// above the client area. A sizing frame adds 4 pixels on every side, a menu bar 20 at the
// top, a client edge 2 on every side.
constexpr LONG kBorder = 3;
constexpr LONG kCaption = 23;
constexpr LONG kThinBorder = 1;
constexpr LONG kSizingFrame = 4;
constexpr LONG kMenuBar = 20;
constexpr LONG kClientEdge = 2;

// The desktop assumed when there is no display to ask.
constexpr int kHeadlessScreenWidth = 1920;
constexpr int kHeadlessScreenHeight = 1080;

std::map<HWND, std::unique_ptr<WindowRecord>>& Windows()
{
    static std::map<HWND, std::unique_ptr<WindowRecord>> windows;
    return windows;
}

int& CursorCount()
{
    static int count = 0;
    return count;
}

HWND& FocusWindow()
{
    static HWND focus = nullptr;
    return focus;
}

// The insets of the frame that a window of this style draws around its client area.
RECT FrameInsets(DWORD style, bool menu, DWORD exStyle)
{
    RECT insets{0, 0, 0, 0};
    auto grow = [&insets](LONG left, LONG top, LONG right, LONG bottom) {
        insets.left += left;
        insets.top += top;
        insets.right += right;
        insets.bottom += bottom;
    };
    if ((style & WS_CAPTION) == WS_CAPTION)
        grow(kBorder, kBorder + kCaption, kBorder, kBorder);
    else if (style & WS_DLGFRAME)
        grow(kBorder, kBorder, kBorder, kBorder);
    else if (style & WS_BORDER)
        grow(kThinBorder, kThinBorder, kThinBorder, kThinBorder);
    if (style & WS_THICKFRAME)
        grow(kSizingFrame, kSizingFrame, kSizingFrame, kSizingFrame);
    if (menu)
        grow(0, kMenuBar, 0, 0);
    if (exStyle & WS_EX_CLIENTEDGE)
        grow(kClientEdge, kClientEdge, kClientEdge, kClientEdge);
    return insets;
}

void ApplyCursorVisibility()
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowCursor(CursorCount() >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

// A display mode of exactly this size on the window's display, if there is one.
bool FindDisplayMode(int width, int height, SDL_DisplayMode* mode)
{
    const int modes = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < modes; ++i) {
        SDL_DisplayMode candidate;
        if (SDL_GetDisplayMode(0, i, &candidate) == 0 && candidate.w == width && candidate.h == height) {
            *mode = candidate;
            return true;
        }
    }
    return false;
}

} // namespace

namespace win32internal {

WindowRecord* FindWindowRecord(HWND window)
{
    auto found = Windows().find(window);
    return found == Windows().end() ? nullptr : found->second.get();
}

void NoteFocus(HWND window)
{
    FocusWindow() = window;
}

bool ClassHasWindows(const std::string& classKey)
{
    return std::any_of(Windows().begin(), Windows().end(),
                       [&classKey](const auto& entry) { return entry.second->classKey == classKey; });
}

} // namespace win32internal

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle)
{
    if (!rect)
        return FALSE;
    const RECT insets = FrameInsets(style, menu != FALSE, exStyle);
    rect->left -= insets.left;
    rect->top -= insets.top;
    rect->right += insets.right;
    rect->bottom += insets.bottom;
    return TRUE;
}

int GetSystemMetrics(int index)
{
    if (index != SM_CXSCREEN && index != SM_CYSCREEN)
        return 0;
    if (!EnsureSDLVideo() || IsHeadless())
        return index == SM_CXSCREEN ? kHeadlessScreenWidth : kHeadlessScreenHeight;
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0)
        return 0;
    return index == SM_CXSCREEN ? desktop.w : desktop.h;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE /*instance*/, LPVOID /*param*/)
{
    const win32internal::WindowClassInfo* windowClass = win32internal::FindWindowClass(className);
    if (!windowClass || (style & WS_CHILD) || (parent && !IsWindow(parent)))
        return nullptr;
    if (!EnsureSDLVideo())
        return nullptr;

    const bool fullscreen = (style & WS_POPUP) != 0;
    const RECT insets = FrameInsets(style, menu != nullptr, exStyle);
    if (width == CW_USEDEFAULT)
        width = 640 + insets.left + insets.right;
    if (height == CW_USEDEFAULT || height <= 0)
        height = 480 + insets.top + insets.bottom;
    // SDL windows have at least one pixel each way.
    const int clientWidth = std::max(1, width - static_cast<int>(insets.left + insets.right));
    const int clientHeight = std::max(1, height - static_cast<int>(insets.top + insets.bottom));

    Uint32 flags = SDL_WINDOW_OPENGL;
    if (!(style & WS_VISIBLE))
        flags |= SDL_WINDOW_HIDDEN;
    if (style & WS_THICKFRAME)
        flags |= SDL_WINDOW_RESIZABLE;
    if (fullscreen)
        flags |= SDL_WINDOW_BORDERLESS;

    SDL_DisplayMode mode{};
    const bool exactMode = fullscreen && FindDisplayMode(clientWidth, clientHeight, &mode);
    if (fullscreen)
        flags |= exactMode ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_FULLSCREEN_DESKTOP;

    int clientX = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : x + insets.left;
    int clientY = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : y + insets.top;
    if (fullscreen)
        clientX = clientY = 0;

    SDL_Window* sdl =
        SDL_CreateWindow(windowName ? windowName : "", clientX, clientY, clientWidth, clientHeight, flags);
    if (!sdl)
        return nullptr;
    if (exactMode && SDL_SetWindowDisplayMode(sdl, &mode) != 0) {
        SDL_DestroyWindow(sdl);
        return nullptr;
    }
    HWND handle = RegisterSDLWindow(sdl);
    if (!handle) {
        SDL_DestroyWindow(sdl);
        return nullptr;
    }

    auto record = std::make_unique<WindowRecord>();
    record->handle = handle;
    record->sdl = sdl;
    record->proc = windowClass->proc;
    record->classKey = windowClass->key;
    record->style = style;
    record->exStyle = exStyle;
    Windows()[handle] = std::move(record);

    if (SDL_Surface* icon = win32internal::IconSurface(windowClass->icon ? windowClass->icon : windowClass->smallIcon))
        SDL_SetWindowIcon(sdl, icon);
    if (SDL_Cursor* cursor = win32internal::CursorFromHandle(windowClass->cursor))
        SDL_SetCursor(cursor);
    ApplyCursorVisibility();
    return handle;
}

BOOL DestroyWindow(HWND window)
{
    WindowRecord* record = win32internal::FindWindowRecord(window);
    if (!record || record->destroying)
        return FALSE;
    record->destroying = true;
    // The procedure sees WM_DESTROY while the window still exists.
    record->proc(window, WM_DESTROY, 0, 0);
    record = win32internal::FindWindowRecord(window);
    if (!record)
        return TRUE;
    SDL_Window* sdl = record->sdl;
    Windows().erase(window);
    UnregisterSDLWindow(window);
    win32internal::DiscardMessagesFor(window);
    if (FocusWindow() == window)
        FocusWindow() = nullptr;
    SDL_DestroyWindow(sdl);
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    return win32internal::FindWindowRecord(window) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command)
{
    WindowRecord* record = win32internal::FindWindowRecord(window);
    if (!record)
        return FALSE;
    SDL_Window* sdl = record->sdl;
    const BOOL wasVisible = (SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN) ? TRUE : FALSE;
    switch (command) {
    case SW_HIDE:
        SDL_HideWindow(sdl);
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        SDL_ShowWindow(sdl);
        SDL_MinimizeWindow(sdl);
        break;
    case SW_SHOWMAXIMIZED:
        SDL_ShowWindow(sdl);
        SDL_MaximizeWindow(sdl);
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        SDL_ShowWindow(sdl);
        SDL_RestoreWindow(sdl);
        break;
    default:
        SDL_ShowWindow(sdl);
        break;
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND window)
{
    // Nothing is painted by the window layer: the device draws the whole client area.
    return IsWindow(window);
}

HWND SetFocus(HWND window)
{
    const HWND previous = FocusWindow();
    if (!window) {
        FocusWindow() = nullptr;
        return previous;
    }
    WindowRecord* record = win32internal::FindWindowRecord(window);
    if (!record)
        return nullptr;
    FocusWindow() = window;
    SDL_RaiseWindow(record->sdl);
    // Asks the display for the keyboard; SDL does it only for a window on screen.
    SDL_SetWindowInputFocus(record->sdl);
    return previous;
}

HWND GetFocus()
{
    return IsWindow(FocusWindow()) ? FocusWindow() : nullptr;
}

BOOL GetClientRect(HWND window, RECT* rect)
{
    WindowRecord* record = win32internal::FindWindowRecord(window);
    if (!record || !rect)
        return FALSE;
    int width = 0, height = 0;
    SDL_GetWindowSize(record->sdl, &width, &height);
    *rect = RECT{0, 0, width, height};
    return TRUE;
}

BOOL IsIconic(HWND window)
{
    WindowRecord* record = win32internal::FindWindowRecord(window);
    return record && record->minimised ? TRUE : FALSE;
}

int ShowCursor(BOOL show)
{
    CursorCount() += show ? 1 : -1;
    ApplyCursorVisibility();
    return CursorCount();
}

HCURSOR SetCursor(HCURSOR cursor)
{
    static HCURSOR current = nullptr;
    const HCURSOR previous = current;
    if (win32internal::IsCursorHandle(cursor)) {
        if (SDL_Cursor* sdlCursor = win32internal::CursorFromHandle(cursor))
            SDL_SetCursor(sdlCursor);
        ApplyCursorVisibility();
        current = cursor;
    } else if (!cursor) {
        // Windows hides the pointer over the window for a null cursor; the display counter
        // of ShowCursor stays as it is.
        if (SDL_WasInit(SDL_INIT_VIDEO))
            SDL_ShowCursor(SDL_DISABLE);
        current = nullptr;
    }
    return previous;
}

void Sleep(DWORD milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

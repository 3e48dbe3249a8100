#include "win32/Dialog.h"
#include "win32/WinUser.h"

#include <SDL.h>

#include <deque>

#include "win32/VirtualKey.h"
#include "win32/WindowHandle.h"
#include "win32/WindowInternals.h"

namespace {

// A queued message, with the character TranslateMessage makes of it when it is a key
// going down (taken from the modifiers held at that moment, not at translation time).
struct QueuedMessage {
    MSG msg{};
    unsigned character = 0;
};

std::deque<QueuedMessage>& Queue()
{
    static std::deque<QueuedMessage> queue;
    return queue;
}

// The last message taken off the queue, for TranslateMessage.
QueuedMessage& LastRemoved()
{
    static QueuedMessage last;
    return last;
}

// What the translation of SDL's events keeps between events: the mouse buttons and
// modifier keys as of the last event, the pointer in screen coordinates, and whether the
// previous event was a window's close request (SDL follows the last window's close with
// SDL_QUIT, which must not become a second request).
struct InputState {
    Uint32 buttons = 0;
    Uint16 modifiers = 0;
    POINT cursor{0, 0};
    bool closeJustPosted = false;
};

InputState& Input()
{
    static InputState state;
    return state;
}

void Enqueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD time, unsigned character = 0)
{
    QueuedMessage queued;
    queued.msg = MSG{window, message, wParam, lParam, time, Input().cursor};
    queued.character = character;
    Queue().push_back(queued);
}

HWND WindowOfEvent(Uint32 windowID)
{
    SDL_Window* sdl = SDL_GetWindowFromID(windowID);
    HWND window = sdl ? HWNDFromSDLWindow(sdl) : nullptr;
    return IsWindow(window) ? window : nullptr;
}

WPARAM MouseKeys(Uint32 buttons)
{
    WPARAM keys = 0;
    if (buttons & SDL_BUTTON_LMASK)
        keys |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK)
        keys |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK)
        keys |= MK_MBUTTON;
    if (buttons & SDL_BUTTON_X1MASK)
        keys |= MK_XBUTTON1;
    if (buttons & SDL_BUTTON_X2MASK)
        keys |= MK_XBUTTON2;
    if (Input().modifiers & KMOD_SHIFT)
        keys |= MK_SHIFT;
    if (Input().modifiers & KMOD_CTRL)
        keys |= MK_CONTROL;
    return keys;
}

void NoteCursor(HWND window, Sint32 x, Sint32 y)
{
    int left = 0, top = 0;
    if (SDL_Window* sdl = SDLWindowFromHWND(window))
        SDL_GetWindowPosition(sdl, &left, &top);
    Input().cursor = POINT{left + x, top + y};
}

void TranslateKey(const SDL_KeyboardEvent& event)
{
    Input().modifiers = event.keysym.mod;
    HWND window = WindowOfEvent(event.windowID);
    if (!window)
        window = GetFocus();
    const VirtualKey key = VirtualKeyFromSDL(event.keysym.scancode, event.keysym.sym);
    if (!window || key.code == 0)
        return;
    const bool down = event.type == SDL_KEYDOWN;
    // Alt held (not as AltGr, which comes with Ctrl) makes system keys, and so does F10.
    const bool alt = (event.keysym.mod & KMOD_ALT) != 0 || key.code == VK_MENU;
    const bool system = (alt && !(event.keysym.mod & KMOD_CTRL)) || key.code == VK_F10;
    DWORD bits = 1u | (static_cast<DWORD>(key.scan) << 16);
    if (key.extended)
        bits |= 1u << 24;
    if (system && alt)
        bits |= 1u << 29;
    if (!down || event.repeat)
        bits |= 1u << 30;
    if (!down)
        bits |= 1u << 31;
    const UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    const unsigned character = down ? CharacterFromKey(key.code, event.keysym.mod) : 0;
    Enqueue(window, message, key.code, static_cast<LPARAM>(bits), event.timestamp, character);
}

void TranslateMouseButton(const SDL_MouseButtonEvent& event)
{
    HWND window = WindowOfEvent(event.windowID);
    const Uint32 mask = SDL_BUTTON(event.button);
    const bool down = event.type == SDL_MOUSEBUTTONDOWN;
    if (down)
        Input().buttons |= mask;
    else
        Input().buttons &= ~mask;
    if (!window)
        return;
    NoteCursor(window, event.x, event.y);
    UINT message = 0;
    WPARAM xButton = 0;
    switch (event.button) {
    case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
    case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
    case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
    case SDL_BUTTON_X1: message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP, xButton = XBUTTON1; break;
    case SDL_BUTTON_X2: message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP, xButton = XBUTTON2; break;
    default: return;
    }
    Enqueue(window, message, MouseKeys(Input().buttons) | (xButton << 16), MAKELPARAM(event.x, event.y),
            event.timestamp);
}

LPARAM ClientSize(HWND window)
{
    int width = 0, height = 0;
    if (SDL_Window* sdl = SDLWindowFromHWND(window))
        SDL_GetWindowSize(sdl, &width, &height);
    return MAKELPARAM(width, height);
}

void TranslateWindowEvent(const SDL_WindowEvent& event)
{
    if (event.event == SDL_WINDOWEVENT_CLOSE)
        Input().closeJustPosted = true;
    HWND window = WindowOfEvent(event.windowID);
    win32internal::WindowRecord* record = win32internal::FindWindowRecord(window);
    if (!record)
        return;
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        Enqueue(window, WM_CLOSE, 0, 0, event.timestamp);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        record->minimised = true;
        Enqueue(window, WM_SIZE, SIZE_MINIMIZED, ClientSize(window), event.timestamp);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        record->minimised = false;
        Enqueue(window, WM_SIZE, SIZE_MAXIMIZED, ClientSize(window), event.timestamp);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        record->minimised = false;
        Enqueue(window, WM_SIZE, SIZE_RESTORED, ClientSize(window), event.timestamp);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (!record->minimised)
            Enqueue(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(event.data1, event.data2), event.timestamp);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        win32internal::NoteFocus(window);
        Enqueue(window, WM_ACTIVATE, WA_ACTIVE, 0, event.timestamp);
        Enqueue(window, WM_SETFOCUS, 0, 0, event.timestamp);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        if (GetFocus() == window)
            win32internal::NoteFocus(nullptr);
        Enqueue(window, WM_ACTIVATE, WA_INACTIVE, 0, event.timestamp);
        Enqueue(window, WM_KILLFOCUS, 0, 0, event.timestamp);
        break;
    default:
        break;
    }
}

void TranslateEvent(const SDL_Event& event)
{
    const bool afterClose = Input().closeJustPosted;
    Input().closeJustPosted = false;
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        TranslateKey(event.key);
        break;
    case SDL_MOUSEMOTION:
        Input().buttons = event.motion.state;
        if (HWND window = WindowOfEvent(event.motion.windowID)) {
            NoteCursor(window, event.motion.x, event.motion.y);
            Enqueue(window, WM_MOUSEMOVE, MouseKeys(event.motion.state), MAKELPARAM(event.motion.x, event.motion.y),
                    event.motion.timestamp);
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        TranslateMouseButton(event.button);
        break;
    case SDL_WINDOWEVENT:
        TranslateWindowEvent(event.window);
        break;
    case SDL_QUIT:
        // After a close request SDL_QUIT only says the last window is closing, which WM_CLOSE
        // already tells. Otherwise the process was asked to end (SIGINT, SIGTERM).
        if (!afterClose)
            Enqueue(nullptr, WM_QUIT, 0, 0, event.quit.timestamp);
        break;
    default:
        break;
    }
}

// Moves everything SDL has received into the queue, in arrival order.
void PumpSDLEvents()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    SDL_PumpEvents();
    SDL_Event events[64];
    int count = 0;
    while ((count = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT)) > 0)
        for (int i = 0; i < count; ++i)
            TranslateEvent(events[i]);
}

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));

bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax)
{
    if (msg.message == WM_QUIT)
        return true;
    if (window == kThreadMessagesOnly) {
        if (msg.hwnd)
            return false;
    } else if (window && msg.hwnd != window) {
        return false;
    }
    return (filterMin == 0 && filterMax == 0) || (msg.message >= filterMin && msg.message <= filterMax);
}

bool SameMessage(const MSG& a, const MSG& b)
{
    return a.hwnd == b.hwnd && a.message == b.message && a.wParam == b.wParam && a.lParam == b.lParam &&
           a.time == b.time;
}

} // namespace

namespace win32internal {

void DiscardMessagesFor(HWND window)
{
    auto& queue = Queue();
    for (auto it = queue.begin(); it != queue.end();)
        it = it->msg.hwnd == window ? queue.erase(it) : it + 1;
}

} // namespace win32internal

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg)
        return FALSE;
    PumpSDLEvents();
    auto& queue = Queue();
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!Matches(it->msg, window, filterMin, filterMax))
            continue;
        *msg = it->msg;
        if (removeFlags & PM_REMOVE) {
            LastRemoved() = *it;
            queue.erase(it);
        }
        return TRUE;
    }
    return FALSE;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax)
{
    if (!msg || (window && window != kThreadMessagesOnly && !IsWindow(window)))
        return -1;
    for (;;) {
        if (PeekMessageA(msg, window, filterMin, filterMax, PM_REMOVE))
            return msg->message == WM_QUIT ? FALSE : TRUE;
        if (SDL_WasInit(SDL_INIT_VIDEO))
            SDL_WaitEventTimeout(nullptr, 50);
        else
            Sleep(10);
    }
}

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg)
        return FALSE;
    const UINT message = msg->message;
    if (message != WM_KEYDOWN && message != WM_KEYUP && message != WM_SYSKEYDOWN && message != WM_SYSKEYUP)
        return FALSE;
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
        const unsigned character = SameMessage(*msg, LastRemoved().msg)
                                       ? LastRemoved().character
                                       : CharacterFromKey(static_cast<UINT>(msg->wParam), 0);
        if (character) {
            // The character is the next message the window sees.
            QueuedMessage queued;
            queued.msg = *msg;
            queued.msg.message = message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
            queued.msg.wParam = character;
            Queue().push_front(queued);
        }
    }
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg)
        return 0;
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Dialogs and their controls answer for themselves.
    LRESULT dialogResult = 0;
    if (SendDialogMessage(window, message, wParam, lParam, &dialogResult))
        return dialogResult;
    win32internal::WindowRecord* record = win32internal::FindWindowRecord(window);
    if (!record)
        return 0;
    return record->proc(window, message, wParam, lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    if (message == WM_CLOSE)
        DestroyWindow(window);
    return 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window && !IsWindow(window))
        return FALSE;
    Enqueue(window, message, wParam, lParam, SDL_GetTicks());
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    Enqueue(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0, SDL_GetTicks());
}

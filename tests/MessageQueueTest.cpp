#include <gtest/gtest.h>

#include <SDL.h>

#include <vector>

#include "RecordingWindow.h"
#include "win32/WindowHandle.h"
#include "win32/WinUser.h"

namespace {

// A window of the recording class; SDL events are pushed for it as the display would send
// them, and read back as window messages.
class MessageQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EnsureSDLVideo()) << SDL_GetError();
        window = windows.CreateWindowed(200, 100);
        ASSERT_NE(window, nullptr);
        windowID = SDL_GetWindowID(SDLWindowFromHWND(window));
        DrainMessages();
        RecordedMessages().clear();
    }

    void PushKey(Uint32 type, SDL_Scancode scancode, SDL_Keycode symbol, Uint16 modifiers = KMOD_NONE,
                 Uint8 repeat = 0)
    {
        SDL_Event event{};
        event.key.type = type;
        event.key.windowID = windowID;
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat;
        event.key.keysym.scancode = scancode;
        event.key.keysym.sym = symbol;
        event.key.keysym.mod = modifiers;
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    void PushButton(Uint32 type, Uint8 button, int x, int y)
    {
        SDL_Event event{};
        event.button.type = type;
        event.button.windowID = windowID;
        event.button.button = button;
        event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.button.x = x;
        event.button.y = y;
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    void PushMotion(Uint32 buttons, int x, int y)
    {
        SDL_Event event{};
        event.motion.type = SDL_MOUSEMOTION;
        event.motion.windowID = windowID;
        event.motion.state = buttons;
        event.motion.x = x;
        event.motion.y = y;
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    void PushWindowEvent(Uint8 what)
    {
        SDL_Event event{};
        event.window.type = SDL_WINDOWEVENT;
        event.window.windowID = windowID;
        event.window.event = what;
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    void PushQuit()
    {
        SDL_Event event{};
        event.quit.type = SDL_QUIT;
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    // Everything in the queue, taken off it.
    std::vector<MSG> TakeAll()
    {
        std::vector<MSG> taken;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            taken.push_back(msg);
        return taken;
    }

    RecordingWindowClass windows{"orvala_queue_class"};
    HWND window = nullptr;
    Uint32 windowID = 0;
};

struct Expected {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

void ExpectMessages(const std::vector<MSG>& got, HWND window, const std::vector<Expected>& expected)
{
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].hwnd, expected[i].message == WM_QUIT ? nullptr : window) << "message " << i;
        EXPECT_EQ(got[i].message, expected[i].message) << "message " << i;
        EXPECT_EQ(got[i].wParam, expected[i].wParam) << "message " << i;
        EXPECT_EQ(got[i].lParam, expected[i].lParam) << "message " << i;
    }
}

TEST_F(MessageQueueTest, EmptyQueueAnswersAtOnce)
{
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_NOREMOVE));
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, KeysBecomeKeyMessagesWithWindowsBits)
{
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    PushKey(SDL_KEYUP, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a, KMOD_NONE, 1);
    PushKey(SDL_KEYUP, SDL_SCANCODE_A, SDLK_a);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_RIGHT, SDLK_RIGHT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT);
    PushKey(SDL_KEYUP, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT);
    PushKey(SDL_KEYUP, SDL_SCANCODE_LALT, SDLK_LALT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_F10, SDLK_F10);
    PushKey(SDL_KEYUP, SDL_SCANCODE_F10, SDLK_F10);
    // AltGr is Ctrl+Alt: ordinary key messages.
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_E, SDLK_e, KMOD_RALT | KMOD_LCTRL);
    // A key without a Windows code gives no message.
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_UNKNOWN, SDLK_UNKNOWN);

    const LPARAM up = 0xC0000001;
    ExpectMessages(TakeAll(), window,
                   {
                       {WM_KEYDOWN, VK_ESCAPE, 0x00010001},
                       {WM_KEYUP, VK_ESCAPE, up | 0x00010000},
                       {WM_KEYDOWN, 'A', 0x001E0001},
                       {WM_KEYDOWN, 'A', 0x401E0001}, // auto-repeat: the key was down before
                       {WM_KEYUP, 'A', up | 0x001E0000},
                       {WM_KEYDOWN, VK_RIGHT, 0x014D0001}, // extended key
                       {WM_SYSKEYDOWN, VK_MENU, 0x20380001},
                       {WM_SYSKEYDOWN, VK_F4, 0x203E0001},
                       {WM_SYSKEYUP, VK_F4, up | 0x203E0000},
                       {WM_SYSKEYUP, VK_MENU, up | 0x20380000},
                       {WM_SYSKEYDOWN, VK_F10, 0x00440001},
                       {WM_SYSKEYUP, VK_F10, up | 0x00440000},
                       {WM_KEYDOWN, 'E', 0x00120001},
                   });
}

TEST_F(MessageQueueTest, MouseBecomesMouseMessagesWithButtonsAndModifiers)
{
    PushMotion(0, 12, 34);
    PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 12, 34);
    PushMotion(SDL_BUTTON_LMASK, 60000, 2);
    PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 5, 6);
    PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 5, 6);
    PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 5, 6);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LSHIFT | KMOD_LCTRL);
    PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 7, 8);
    PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, 7, 8);
    PushKey(SDL_KEYUP, SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LSHIFT);
    PushKey(SDL_KEYUP, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_NONE);
    PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 1, 1);
    PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_X1, 1, 1);
    // A pointer left of the window (captured while dragging) reads as a negative short.
    PushMotion(0, -3, 9);

    std::vector<MSG> mouse;
    for (const MSG& msg : TakeAll())
        if (msg.message >= WM_MOUSEMOVE && msg.message <= WM_XBUTTONUP)
            mouse.push_back(msg);
    ExpectMessages(mouse, window,
                   {
                       {WM_MOUSEMOVE, 0, MAKELPARAM(12, 34)},
                       {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 34)},
                       {WM_MOUSEMOVE, MK_LBUTTON, 0x0002EA60},
                       {WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(5, 6)},
                       {WM_LBUTTONUP, MK_RBUTTON, MAKELPARAM(5, 6)},
                       {WM_RBUTTONUP, 0, MAKELPARAM(5, 6)},
                       {WM_MBUTTONDOWN, MK_MBUTTON | MK_SHIFT | MK_CONTROL, MAKELPARAM(7, 8)},
                       {WM_MBUTTONUP, MK_SHIFT | MK_CONTROL, MAKELPARAM(7, 8)},
                       {WM_XBUTTONDOWN, MAKEWPARAM(MK_XBUTTON1, XBUTTON1), MAKELPARAM(1, 1)},
                       {WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON1), MAKELPARAM(1, 1)},
                       {WM_MOUSEMOVE, 0, MAKELPARAM(0xFFFD, 9)},
                   });
    EXPECT_EQ(GET_X_LPARAM(mouse.back().lParam), -3);
    EXPECT_EQ(LOWORD(mouse[2].lParam), 60000);
    EXPECT_EQ(HIWORD(mouse[2].lParam), 2);
}

TEST_F(MessageQueueTest, MinimiseRestoreAndFocusReachTheWindow)
{
    PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    PushWindowEvent(SDL_WINDOWEVENT_RESTORED);
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    ExpectMessages(TakeAll(), window,
                   {
                       {WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(200, 100)},
                       {WM_SIZE, SIZE_RESTORED, MAKELPARAM(200, 100)},
                       {WM_ACTIVATE, WA_ACTIVE, 0},
                       {WM_SETFOCUS, 0, 0},
                       {WM_ACTIVATE, WA_INACTIVE, 0},
                       {WM_KILLFOCUS, 0, 0},
                   });
    PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    TakeAll();
    EXPECT_TRUE(IsIconic(window));
}

// SDL follows the last window's close request with SDL_QUIT; only the close request may
// come through. SDL_QUIT on its own (the process was asked to end) is a quit.
TEST_F(MessageQueueTest, CloseButtonIsOneCloseRequest)
{
    PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    PushQuit();
    ExpectMessages(TakeAll(), window, {{WM_CLOSE, 0, 0}});
    PushQuit();
    ExpectMessages(TakeAll(), window, {{WM_QUIT, 0, 0}});
}

TEST_F(MessageQueueTest, MessagesComeInArrivalOrderThroughTheFilters)
{
    ASSERT_TRUE(PostMessageA(window, WM_USER + 1, 1, 0));
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE);
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 2, 2, 0));
    PostQuitMessage(7);
    ASSERT_TRUE(PostMessageA(window, WM_USER + 3, 3, 0));
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(0x7), WM_USER, 0, 0));

    MSG msg{};
    // Looking does not take.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 1);
    // A range skips what lies outside it, and WM_QUIT passes every filter.
    ASSERT_TRUE(PeekMessageA(&msg, window, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    ASSERT_TRUE(PeekMessageA(&msg, window, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 3);
    // Thread messages only.
    ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 2);
    EXPECT_EQ(msg.hwnd, nullptr);

    ExpectMessages(TakeAll(), window, {{WM_USER + 1, 1, 0}, {WM_KEYDOWN, VK_SPACE, 0x00390001}});
}

TEST_F(MessageQueueTest, GetMessageEndsOnQuit)
{
    ASSERT_TRUE(PostMessageA(window, WM_USER, 5, 6));
    PostQuitMessage(3);
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(GetMessageA(&msg, reinterpret_cast<HWND>(0x7), 0, 0), -1);
}

TEST_F(MessageQueueTest, DispatchAndSendReachTheProcedure)
{
    ASSERT_TRUE(PostMessageA(window, WM_USER + 9, 11, 12));
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_EQ(SendMessageA(window, WM_USER + 10, 13, 14), 0);
    EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(0x7), WM_USER + 11, 0, 0), 0);
    ASSERT_EQ(RecordedMessages().size(), 2u);
    EXPECT_EQ(RecordedMessages()[0].message, WM_USER + 9);
    EXPECT_EQ(RecordedMessages()[0].wParam, 11u);
    EXPECT_EQ(RecordedMessages()[0].lParam, 12);
    EXPECT_EQ(RecordedMessages()[1].message, WM_USER + 10);
    EXPECT_EQ(RecordedMessages()[1].hwnd, window);
}

TEST_F(MessageQueueTest, TranslateMessageTypesTheCharacterNext)
{
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a, KMOD_LSHIFT);
    PushKey(SDL_KEYUP, SDL_SCANCODE_A, SDLK_a, KMOD_LSHIFT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_X, SDLK_x, KMOD_LALT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_LEFT, SDLK_LEFT);
    std::vector<MSG> seen;
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        seen.push_back(msg);
        const bool isKey = msg.message == WM_KEYDOWN || msg.message == WM_KEYUP || msg.message == WM_SYSKEYDOWN;
        EXPECT_EQ(TranslateMessage(&msg), isKey ? TRUE : FALSE);
    }
    ExpectMessages(seen, window,
                   {
                       {WM_KEYDOWN, 'A', 0x001E0001},
                       {WM_CHAR, 'A', 0x001E0001},
                       {WM_KEYUP, 'A', 0xC01E0001},
                       {WM_SYSKEYDOWN, 'X', 0x202D0001},
                       {WM_SYSCHAR, 'x', 0x202D0001},
                       {WM_KEYDOWN, VK_LEFT, 0x014B0001},
                   });
}

TEST_F(MessageQueueTest, DestroyedWindowLosesItsMessages)
{
    ASSERT_TRUE(PostMessageA(window, WM_USER, 0, 0));
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_B, SDLK_b);
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_TRUE(TakeAll().empty());
}

} // namespace

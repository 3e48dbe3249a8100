#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "RecordingWindow.h"
#include "XvfbSession.h"
#include "win32/WindowHandle.h"
#include "win32/WinUser.h"

namespace {

// ---- Windows without a display (SDL's offscreen driver, or whatever display there is) ----

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(EnsureSDLVideo()) << SDL_GetError(); }
    RecordingWindowClass windows{"orvala_window_class"};
};

// The client size asked for goes through AdjustWindowRectEx and CreateWindowExA and comes
// out as the SDL window's size, for every frame style.
TEST_F(WindowTest, ClientSizeSurvivesTheFrameRoundTrip)
{
    struct Case {
        DWORD style;
        DWORD exStyle;
        BOOL menu;
        int width;
        int height;
        bool framed;
    };
    const Case cases[] = {
        {WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, FALSE, 800, 450, true},
        {WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, FALSE, 1, 1, true},
        {WS_OVERLAPPEDWINDOW, WS_EX_CLIENTEDGE, FALSE, 333, 77, true},
        {WS_CAPTION, 0, TRUE, 640, 360, true},
        {WS_BORDER, 0, FALSE, 50, 60, true},
    };
    for (const Case& c : cases) {
        RECT rect{0, 0, c.width, c.height};
        ASSERT_TRUE(AdjustWindowRectEx(&rect, c.style, c.menu, c.exStyle));
        EXPECT_EQ(rect.left < 0 && rect.top < 0, c.framed) << c.style;
        HMENU menu = c.menu ? reinterpret_cast<HMENU>(1) : nullptr;
        HWND window = windows.Keep(CreateWindowExA(c.exStyle, "orvala_window_class", "size", c.style, 10, 20,
                                                   rect.right - rect.left, rect.bottom - rect.top, nullptr, menu,
                                                   GetModuleHandleA(nullptr), nullptr));
        ASSERT_NE(window, nullptr) << SDL_GetError();
        SDL_Window* sdl = SDLWindowFromHWND(window);
        ASSERT_NE(sdl, nullptr);
        EXPECT_EQ(HWNDFromSDLWindow(sdl), window);
        int width = 0, height = 0;
        SDL_GetWindowSize(sdl, &width, &height);
        EXPECT_EQ(width, c.width) << c.style;
        EXPECT_EQ(height, c.height) << c.style;
        RECT client{};
        ASSERT_TRUE(GetClientRect(window, &client));
        EXPECT_EQ(client.right, c.width);
        EXPECT_EQ(client.bottom, c.height);
        const Uint32 flags = SDL_GetWindowFlags(sdl);
        EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
        EXPECT_TRUE(flags & SDL_WINDOW_HIDDEN) << "windows start hidden";
        EXPECT_FALSE(flags & SDL_WINDOW_FULLSCREEN);
        EXPECT_EQ((flags & SDL_WINDOW_RESIZABLE) != 0, (c.style & WS_THICKFRAME) != 0);
    }
    RECT rect{0, 0, 800, 450};
    ASSERT_TRUE(AdjustWindowRectEx(&rect, WS_POPUP, FALSE, WS_EX_APPWINDOW));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 800);
    EXPECT_EQ(rect.bottom, 450);
    EXPECT_FALSE(AdjustWindowRectEx(nullptr, WS_CAPTION, FALSE, 0));
}

TEST_F(WindowTest, PopupWindowIsFullScreen)
{
    HWND window = windows.Keep(CreateWindowExA(WS_EX_APPWINDOW, "orvala_window_class", "full",
                                               WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 1024, 768,
                                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    ASSERT_NE(window, nullptr) << SDL_GetError();
    const Uint32 flags = SDL_GetWindowFlags(SDLWindowFromHWND(window));
    EXPECT_TRUE(flags & SDL_WINDOW_FULLSCREEN);
    EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
}

TEST_F(WindowTest, WindowsAreRefusedWhereWindowsWouldRefuseThem)
{
    EXPECT_EQ(CreateWindowExA(0, "no_such_class", "x", WS_CAPTION, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(CreateWindowExA(0, nullptr, "x", WS_CAPTION, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(CreateWindowExA(0, "orvala_window_class", "x", WS_CHILD, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(CreateWindowExA(0, "orvala_window_class", "x", WS_CAPTION, 0, 0, 100, 100,
                              reinterpret_cast<HWND>(0x7), nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_FALSE(ShowWindow(reinterpret_cast<HWND>(0x7), SW_SHOW));
    EXPECT_FALSE(DestroyWindow(reinterpret_cast<HWND>(0x7)));
}

TEST_F(WindowTest, ShowAndHide)
{
    HWND window = windows.CreateWindowed(120, 80);
    ASSERT_NE(window, nullptr);
    SDL_Window* sdl = SDLWindowFromHWND(window);
    EXPECT_FALSE(ShowWindow(window, SW_SHOW)) << "was hidden";
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_EQ(SetFocus(window), nullptr);
    EXPECT_EQ(GetFocus(), window);
    EXPECT_TRUE(ShowWindow(window, SW_HIDE)) << "was visible";
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);
    EXPECT_FALSE(ShowWindow(window, SW_RESTORE));
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);
    EXPECT_EQ(SetFocus(nullptr), window);
    EXPECT_EQ(GetFocus(), nullptr);
}

// Closing goes WM_CLOSE -> DefWindowProcA -> DestroyWindow -> WM_DESTROY, after which the
// handle is no window and stands for no SDL window.
TEST_F(WindowTest, DefaultCloseDestroysTheWindow)
{
    HWND window = windows.CreateWindowed(120, 80);
    ASSERT_NE(window, nullptr);
    SDL_Window* sdl = SDLWindowFromHWND(window);
    const Uint32 id = SDL_GetWindowID(sdl);
    RecordedMessages().clear();
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    ASSERT_EQ(RecordedMessages().size(), 2u);
    EXPECT_EQ(RecordedMessages()[0].message, WM_CLOSE);
    EXPECT_EQ(RecordedMessages()[1].message, WM_DESTROY);
    EXPECT_EQ(RecordedMessages()[1].hwnd, window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(SDLWindowFromHWND(window), nullptr);
    EXPECT_EQ(SDL_GetWindowFromID(id), nullptr) << "the SDL window is gone";
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(DefWindowProcA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(RecordedMessages().size(), 2u) << "nothing reaches a destroyed window";
}

// A procedure that destroys its window again while handling WM_DESTROY gets no second one.
LRESULT CALLBACK DestroyAgainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    RecordedMessages().push_back({window, message, wParam, lParam});
    if (message == WM_DESTROY) {
        EXPECT_TRUE(IsWindow(window)) << "still a window during WM_DESTROY";
        EXPECT_FALSE(DestroyWindow(window));
    }
    return 0;
}

TEST_F(WindowTest, DestroyInsideDestroyIsRefused)
{
    WNDCLASSEXA description = RecordingClassDescription("orvala_destroy_again");
    description.lpfnWndProc = DestroyAgainProc;
    ASSERT_NE(RegisterClassExA(&description), 0);
    HWND window =
        CreateWindowExA(0, "orvala_destroy_again", "", WS_CAPTION, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    RecordedMessages().clear();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(RecordedMessages().size(), 1u);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(UnregisterClassA("orvala_destroy_again", nullptr));
    RecordedMessages().clear();
}

// The display counter: the cursor shows while it is 0 or more, however far it was moved.
TEST_F(WindowTest, ShowCursorKeepsTheDisplayCounter)
{
    HWND window = windows.CreateWindowed(64, 64);
    ASSERT_NE(window, nullptr);
    const int start = ShowCursor(TRUE) - 1;
    ShowCursor(FALSE);
    std::vector<int> counts;
    for (BOOL show : {FALSE, FALSE, TRUE, TRUE, TRUE, FALSE}) {
        counts.push_back(ShowCursor(show) - start);
        EXPECT_EQ(SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE, start + counts.back() >= 0) << counts.back();
    }
    EXPECT_EQ(counts, (std::vector<int>{-1, -2, -1, 0, 1, 0}));
    // The full-screen rule of the device: hide until the counter is below 0.
    int count = 0;
    while ((count = ShowCursor(FALSE)) >= 0) {
    }
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    while (count < start)
        count = ShowCursor(TRUE);
    while (count > start)
        count = ShowCursor(FALSE);
}

TEST_F(WindowTest, ScreenSizeComesFromTheDisplay)
{
    if (IsHeadless()) {
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    } else {
        SDL_DisplayMode desktop;
        ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktop.w);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), desktop.h);
    }
    EXPECT_EQ(GetSystemMetrics(12345), 0);
}

// ---- A real X display ----
//
// SDL's video driver is chosen once per process, so the window that talks to Xvfb lives in
// a child process: this test binary started again with ORVALA_WINDOW_SCENARIO set, which
// runs the scenario below before main and reports what the window's procedure saw on its
// standard output ("phase NAME" lines, then "msg MESSAGE WPARAM LPARAM" in hex).

std::vector<RecordedMessage>& Seen()
{
    return RecordedMessages();
}

// The frame loop's message handling: thread messages are written down here, window
// messages by the procedure.
void PumpUntil(bool (*done)(const std::vector<RecordedMessage>&, size_t), size_t from, Uint32 limitMs)
{
    const Uint32 start = SDL_GetTicks();
    MSG msg;
    while (!done(Seen(), from) && SDL_GetTicks() - start < limitMs) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!msg.hwnd) {
                Seen().push_back({nullptr, msg.message, msg.wParam, msg.lParam});
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        SDL_Delay(5);
    }
}

template <UINT Message, WPARAM WParam>
bool Saw(const std::vector<RecordedMessage>& seen, size_t from)
{
    for (size_t i = from; i < seen.size(); ++i)
        if (seen[i].message == Message && (WParam == 0xFFFF || seen[i].wParam == WParam))
            return true;
    return false;
}

// A key press of a key that was already down: the server's auto-repeat has started.
template <WPARAM Key>
bool SawRepeat(const std::vector<RecordedMessage>& seen, size_t from)
{
    for (size_t i = from; i < seen.size(); ++i)
        if (seen[i].message == WM_KEYDOWN && seen[i].wParam == Key && (seen[i].lParam & 0x40000000))
            return true;
    return false;
}

void Print(const char* phase, size_t from)
{
    std::printf("phase %s\n", phase);
    for (size_t i = from; i < Seen().size(); ++i)
        std::printf("msg %x %lx %lx\n", Seen()[i].message, static_cast<unsigned long>(Seen()[i].wParam),
                    static_cast<unsigned long>(Seen()[i].lParam));
}

bool Run(const std::string& command)
{
    return std::system(("timeout 20 " + command + " >/dev/null 2>&1").c_str()) == 0;
}

// What a window manager does for the close button: WM_DELETE_WINDOW through WM_PROTOCOLS.
bool SendDeleteWindow(const SDL_SysWMinfo& info)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = info.info.x11.window;
    event.xclient.message_type = XInternAtom(info.info.x11.display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(info.info.x11.display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(info.info.x11.display, info.info.x11.window, False, NoEventMask, &event) != 0;
    XFlush(info.info.x11.display);
    return sent;
}

// Fills the client area with a colour through the window's GL context, so that a screenshot
// shows where the window is.
void PaintForScreenshot(SDL_Window* sdl, const char* path)
{
    SDL_GLContext context = SDL_GL_CreateContext(sdl);
    if (!context) {
        std::printf("note no GL context: %s\n", SDL_GetError());
        return;
    }
    auto clearColor = reinterpret_cast<void (*)(float, float, float, float)>(SDL_GL_GetProcAddress("glClearColor"));
    auto clear = reinterpret_cast<void (*)(unsigned)>(SDL_GL_GetProcAddress("glClear"));
    if (clearColor && clear) {
        clearColor(0.15f, 0.45f, 0.75f, 1.0f);
        clear(0x00004000); // GL_COLOR_BUFFER_BIT
        SDL_GL_SwapWindow(sdl);
    }
    SDL_Delay(300);
    std::printf("note screenshot %s\n",
                Run(std::string("sh -c 'xwd -root -silent | convert xwd:- ") + path + "'") ? "taken" : "failed");
    SDL_GL_DeleteContext(context);
}

int RunXvfbScenario()
{
    if (!EnsureSDLVideo() || IsHeadless()) {
        std::printf("fail no X video: %s\n", SDL_GetError());
        return 2;
    }
    WNDCLASSEXA description = RecordingClassDescription("orvala_x11_class");
    if (!RegisterClassExA(&description))
        return 3;
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT rect{0, 0, 320, 200};
    AdjustWindowRectEx(&rect, style, FALSE, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE);
    HWND window = CreateWindowExA(WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, "orvala_x11_class", "Orvala 2009",
                                  style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 100, 80, rect.right - rect.left,
                                  rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) {
        std::printf("fail no window: %s\n", SDL_GetError());
        return 4;
    }
    SDL_Window* sdl = SDLWindowFromHWND(window);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11)
        return 5;
    const std::string xid = std::to_string(info.info.x11.window);
    ShowWindow(window, SW_SHOW);
    SetFocus(window);
    UpdateWindow(window);
    // The keys below go to the focused window, so nothing is typed before it has the focus.
    PumpUntil(Saw<WM_SETFOCUS, 0>, 0, 15000);
    Print("focus", 0);
    if (!Saw<WM_SETFOCUS, 0>(Seen(), 0)) {
        std::printf("fail no keyboard focus\n");
        return 6;
    }
    if (const char* path = std::getenv("ORVALA_SCREENSHOT"))
        PaintForScreenshot(sdl, path);

    struct Phase {
        const char* name;
        std::string command;
        bool (*done)(const std::vector<RecordedMessage>&, size_t);
        // Run once `done` holds (a held key let go after it has repeated), then waited for.
        std::string release = {};
        bool (*released)(const std::vector<RecordedMessage>&, size_t) = nullptr;
    };
    const Phase phases[] = {
        {"escape", "xdotool key Escape", Saw<WM_KEYUP, VK_ESCAPE>},
        {"letter", "xdotool key --delay 0 a", Saw<WM_KEYUP, 'A'>},
        {"alt", "xdotool keydown alt keydown x keyup x keyup alt", Saw<WM_SYSKEYUP, VK_MENU>},
        {"repeat", "xdotool keydown b", SawRepeat<'B'>, "xdotool keyup b", Saw<WM_KEYUP, 'B'>},
        {"mouse", "xdotool mousemove --window " + xid + " 40 30 click 1 keydown shift click 3 keyup shift",
         Saw<WM_RBUTTONUP, 0xFFFF>},
        {"minimise", "xdotool windowunmap --sync " + xid, Saw<WM_SIZE, 0xFFFF>},
        {"restore", "xdotool windowmap --sync " + xid, Saw<WM_SIZE, 0xFFFF>},
    };
    for (const Phase& phase : phases) {
        const size_t from = Seen().size();
        if (!Run(phase.command))
            std::printf("note command failed: %s\n", phase.command.c_str());
        PumpUntil(phase.done, from, 5000);
        if (!phase.release.empty()) {
            if (!Run(phase.release))
                std::printf("note command failed: %s\n", phase.release.c_str());
            PumpUntil(phase.released, from, 5000);
        }
        Print(phase.name, from);
        if (phase.name == std::string("minimise"))
            std::printf("note iconic %d\n", IsIconic(window));
    }

    const size_t from = Seen().size();
    if (!SendDeleteWindow(info))
        std::printf("note close request not sent\n");
    PumpUntil(Saw<WM_DESTROY, 0>, from, 5000);
    // Anything SDL added after the close (its SDL_QUIT) is in the queue by now.
    PumpUntil([](const std::vector<RecordedMessage>&, size_t) { return false; }, from, 200);
    Print("close", from);
    std::printf("note window %s\n", IsWindow(window) ? "alive" : "gone");
    UnregisterClassA("orvala_x11_class", nullptr);
    return 0;
}

// The child's entry: runs before main when the variable is set, then ends the process.
const int scenarioHook = [] {
    const char* scenario = std::getenv("ORVALA_WINDOW_SCENARIO");
    if (!scenario)
        return 0;
    const int code = std::string(scenario) == "xvfb" ? RunXvfbScenario() : 64;
    std::fflush(stdout);
    SDL_Quit();
    _exit(code);
}();

struct ChildRun {
    int exitCode = -1;
    std::map<std::string, std::vector<RecordedMessage>> phases;
    std::vector<std::string> notes;
    std::string output;
};

ChildRun RunScenarioChild(const std::vector<std::string>& extraEnvironment)
{
    ChildRun run;
    const SelfRun self = RunSelf(extraEnvironment);
    run.exitCode = self.exitCode;
    run.output = self.output;

    std::istringstream lines(run.output);
    std::string line, phase;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "phase") {
            words >> phase;
            run.phases[phase];
        } else if (kind == "msg") {
            unsigned long message = 0, wParam = 0, lParam = 0;
            words >> std::hex >> message >> wParam >> lParam;
            run.phases[phase].push_back({nullptr, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                                         static_cast<LPARAM>(lParam)});
        } else if (kind == "note") {
            run.notes.push_back(line.substr(5));
        }
    }
    return run;
}

// One child run under one Xvfb serves every test of the suite.
class WindowOnDisplayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        XvfbSession xvfb;
        if (!xvfb.Started()) {
            problem = xvfb.Problem();
            return;
        }
        run = new ChildRun(RunScenarioChild({"ORVALA_WINDOW_SCENARIO=xvfb", "DISPLAY=" + xvfb.Display()}));
    }
    static void TearDownTestSuite()
    {
        delete run;
        run = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(run, nullptr) << problem;
        ASSERT_EQ(run->exitCode, 0) << run->output;
    }

    // The messages of a phase among the given ones, in order.
    static std::vector<RecordedMessage> Of(const std::string& phase, std::initializer_list<UINT> kinds)
    {
        std::vector<RecordedMessage> picked;
        for (const RecordedMessage& m : run->phases[phase])
            for (UINT kind : kinds)
                if (m.message == kind)
                    picked.push_back(m);
        return picked;
    }

    static bool HasNote(const std::string& note)
    {
        for (const std::string& n : run->notes)
            if (n == note)
                return true;
        return false;
    }

    static inline ChildRun* run = nullptr;
    static inline std::string problem;
};

struct Expected {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

void ExpectSequence(const std::vector<RecordedMessage>& got, const std::vector<Expected>& expected,
                    const std::string& output)
{
    ASSERT_EQ(got.size(), expected.size()) << output;
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].message, expected[i].message) << "message " << i;
        EXPECT_EQ(got[i].wParam, expected[i].wParam) << "message " << i;
        EXPECT_EQ(got[i].lParam, expected[i].lParam) << "message " << i;
    }
}

const std::initializer_list<UINT> kKeyMessages = {WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP,
                                                   WM_SYSCHAR};

TEST_F(WindowOnDisplayTest, WindowGetsTheKeyboardFocus)
{
    EXPECT_FALSE(Of("focus", {WM_SETFOCUS}).empty()) << run->output;
}

TEST_F(WindowOnDisplayTest, KeysArriveWithCodesAndBits)
{
    ExpectSequence(Of("escape", kKeyMessages),
                   {{WM_KEYDOWN, VK_ESCAPE, 0x00010001}, {WM_CHAR, 0x1B, 0x00010001}, {WM_KEYUP, VK_ESCAPE, 0xC0010001}},
                   run->output);
    ExpectSequence(Of("letter", kKeyMessages),
                   {{WM_KEYDOWN, 'A', 0x001E0001}, {WM_CHAR, 'a', 0x001E0001}, {WM_KEYUP, 'A', 0xC01E0001}},
                   run->output);
    ExpectSequence(Of("alt", kKeyMessages),
                   {{WM_SYSKEYDOWN, VK_MENU, 0x20380001},
                    {WM_SYSKEYDOWN, 'X', 0x202D0001},
                    {WM_SYSCHAR, 'x', 0x202D0001},
                    {WM_SYSKEYUP, 'X', 0xE02D0001},
                    {WM_SYSKEYUP, VK_MENU, 0xE0380001}},
                   run->output);
}

TEST_F(WindowOnDisplayTest, HeldKeyRepeatsWithThePreviousStateBit)
{
    const std::vector<RecordedMessage> keys = Of("repeat", {WM_KEYDOWN, WM_KEYUP});
    ASSERT_GE(keys.size(), 3u) << run->output;
    EXPECT_EQ(keys.front().message, WM_KEYDOWN);
    EXPECT_EQ(keys.front().lParam, 0x00300001) << "first press: the key was up";
    for (size_t i = 1; i + 1 < keys.size(); ++i) {
        EXPECT_EQ(keys[i].message, WM_KEYDOWN) << i;
        EXPECT_EQ(keys[i].wParam, 'B');
        EXPECT_EQ(keys[i].lParam, 0x40300001) << "repeat " << i;
    }
    EXPECT_EQ(keys.back().message, WM_KEYUP);
    EXPECT_EQ(keys.back().lParam, 0xC0300001);
}

TEST_F(WindowOnDisplayTest, MouseArrivesInClientCoordinates)
{
    const std::vector<RecordedMessage> mouse =
        Of("mouse", {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP});
    ASSERT_GE(mouse.size(), 5u) << run->output;
    const std::vector<RecordedMessage> buttons(mouse.end() - 4, mouse.end());
    EXPECT_EQ(mouse[mouse.size() - 5].message, WM_MOUSEMOVE);
    EXPECT_EQ(mouse[mouse.size() - 5].lParam, MAKELPARAM(40, 30));
    ExpectSequence(buttons,
                   {{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 30)},
                    {WM_LBUTTONUP, 0, MAKELPARAM(40, 30)},
                    {WM_RBUTTONDOWN, MK_RBUTTON | MK_SHIFT, MAKELPARAM(40, 30)},
                    {WM_RBUTTONUP, MK_SHIFT, MAKELPARAM(40, 30)}},
                   run->output);
}

// Without a window manager the test plays its part: iconifying is unmapping the window,
// restoring is mapping it again.
TEST_F(WindowOnDisplayTest, MinimiseAndRestoreAreSizeMessages)
{
    ExpectSequence(Of("minimise", {WM_SIZE}), {{WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(320, 200)}}, run->output);
    EXPECT_TRUE(HasNote("iconic 1")) << run->output;
    ExpectSequence(Of("restore", {WM_SIZE}), {{WM_SIZE, SIZE_RESTORED, MAKELPARAM(320, 200)}}, run->output);
}

TEST_F(WindowOnDisplayTest, CloseButtonClosesOnceAndDestroys)
{
    ExpectSequence(Of("close", {WM_CLOSE, WM_DESTROY, WM_QUIT}), {{WM_CLOSE, 0, 0}, {WM_DESTROY, 0, 0}},
                   run->output);
    EXPECT_TRUE(HasNote("window gone")) << run->output;
}

} // namespace

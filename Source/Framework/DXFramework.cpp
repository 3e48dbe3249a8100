#include "DXFramework.h"

#include <memory>

#include "BASSPlayer.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXError.h"
#include "FileSys.h"
#include "FrameworkEx.h"
#include "FrameworkState.h"
#include "KeyHandler.h"
#include "ModuleHandler.h"
#include "Mouse.h"
#include "RenderTargetResources/RSHandler/RSHandler.h"
#include "RenderTargetResources/RTCubeHandler/RTCubeHandler.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "SceneHandler.h"
#include "SyncHost.h"
#include "SyncTimer.h"
#include "Timer.h"
#include "sync/Device.h"
#include "d3d9/DeviceFactory.h"
#include "win32/Clock.h"

namespace {

constexpr const char* kWindowClassName = "d3d_framework";

// A clock that stands still, for frames drawn at a chosen playback time.
class HeldClock : public ClockSource {
public:
    bool HasCounter() const override { return true; }
    std::int64_t Counter() const override { return 1000000000LL; }
    std::int64_t Frequency() const override { return 1000000LL; }
    DWORD Milliseconds() const override { return 1000000u; }
};

} // namespace

DXFramework::DXFramework(HINSTANCE instanceHandle, const std::string& commandLine, const std::string& windowTitle,
                         unsigned width, unsigned height, bool fullscreen, float runEndTime, bool runSetupDialog,
                         const std::string& archive)
    : title(windowTitle),
      hInstance(instanceHandle),
      cmdLine(commandLine),
      archivePath(archive),
      endTime(runEndTime),
      showSetupDialog(runSetupDialog)
{
    Log("Creating DXFramework");
    if (State().instance)
        throw FrameworkEx("Framework is a singleton and can only have 1 instance!");
    State().instance = this;
    State().device = nullptr;
    // A failure from here on leaves through the destructor's order of release.
    try {
        mouse = new Mouse();

        DisplaySettings settings{};
        settings.width = width;
        settings.height = height;
        settings.contentWidth = width;
        settings.contentHeight = (width * 9u) / 16u;
        settings.refreshRate = 0;
        settings.multiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(4);
        settings.multiSampleQuality = 0;
        settings.monitorAspect = 0.0f;
        settings.fullscreen = fullscreen;
        settings.vsync = false;
        settings.highVRAM = true;
        SetDisplaySettings(settings);
        State().window = nullptr;
        State().minimised = false;
        State().destroyingWindow = false;
        State().loaded = false;
        State().loadCount = 0;
        State().redraw = true;

        windowClass.cbSize = 48;
        windowClass.style = CS_CLASSDC;
        windowClass.lpfnWndProc = &DXFramework::WndProc;
        windowClass.cbClsExtra = 0;
        windowClass.cbWndExtra = 0;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
        windowClass.hCursor = LoadCursorA(hInstance, MAKEINTRESOURCEA(101));
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszMenuName = nullptr;
        windowClass.lpszClassName = kWindowClassName;
        windowClass.hIconSm = LoadIconA(hInstance, MAKEINTRESOURCEA(103));
        Log("Registering window class...");
        RegisterClassExA(&windowClass);

        Log("Creating filesystem...");
        fileSys = new FileSys(archivePath.c_str());

        Log("Creating render resource handlers...");
        rtHandler = new RTHandler();
        rsHandler = new RSHandler();
        rtCubeHandler = new RTCubeHandler();

        syncTimer = new SyncTimer();
        syncDevice = ::createDevice("sync", *syncTimer);
        if (!syncDevice)
            throw FrameworkEx("something went wrong - failed to connect to host?");
        SetSyncDevice(syncDevice);

        timer = new Timer();
        SetRowRate(128.0f, 8);

        Log("Creating BASSplayer...");
        bassPlayer = new BASSPlayer();

        effectHandler = new DXEffectHandler();
        moduleHandler = new ModuleHandler();
        sceneHandler = new SceneHandler();
        keyHandler = new KeyHandler();

        Log("Creating direct3d object...");
        IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!d3d)
            throw FrameworkEx("Unable to initialize d3d9");
        SetDirect3D(d3d);

        // Lost-device reports are answered at the frame loop's next pass, never under the
        // feet of the code that met them.
        SetDeviceLostHandler([this] { deviceLost = true; });

        Log("Running setup dialogue...");
        if (showSetupDialog) {
            const INT_PTR result =
                DialogBoxParamA(hInstance, MAKEINTRESOURCEA(102), nullptr, &DXFramework::SetupDialogProc, 0);
            if (result == -1)
                throw FrameworkEx("The setup dialog could not be shown (no display?)");
            if (result != IDOK)
                throw 0;
        }
    } catch (...) {
        DestroyOwned();
        throw;
    }
}

DXFramework::~DXFramework()
{
    DestroyOwned();
}

void DXFramework::DestroyOwned()
{
    if (State().instance != this)
        return;
    delete syncDevice;
    syncDevice = nullptr;
    SetSyncDevice(nullptr);
    delete syncTimer;
    syncTimer = nullptr;
    delete rtHandler;
    rtHandler = nullptr;
    delete rtCubeHandler;
    rtCubeHandler = nullptr;
    delete rsHandler;
    rsHandler = nullptr;
    // A destructor cannot pass a failure on; whatever Shutdown could not release goes with the process.
    try {
        Shutdown();
    } catch (...) {
    }
    delete mouse;
    mouse = nullptr;
    delete timer;
    timer = nullptr;
    delete bassPlayer;
    bassPlayer = nullptr;
    delete moduleHandler;
    moduleHandler = nullptr;
    delete sceneHandler;
    sceneHandler = nullptr;
    // The effect registry goes last, after the scenes and modules that hold its effects, so that
    // a host can be made again in the same process.
    delete effectHandler;
    effectHandler = nullptr;
    delete keyHandler;
    keyHandler = nullptr;
    delete fileSys;
    fileSys = nullptr;
    UnregisterClassA(kWindowClassName, windowClass.hInstance);
    SetDeviceLostHandler(nullptr);
    if (IDirect3D9* d3d = GetDirect3D()) {
        d3d->Release();
        SetDirect3D(nullptr);
    }
    State().instance = nullptr;
}

void DXFramework::CreateAppWindow()
{
    const DisplaySettings settings = GetDisplaySettings();
    DWORD exStyle = 0;
    DWORD style = 0;
    int x = 0;
    int y = 0;
    if (settings.fullscreen) {
        exStyle = WS_EX_APPWINDOW;
        style = WS_POPUP;
    } else {
        exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
        style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    }
    RECT windowRect = {0, 0, static_cast<LONG>(settings.width), static_cast<LONG>(settings.height)};
    AdjustWindowRectEx(&windowRect, style, FALSE, exStyle);
    const int outerWidth = windowRect.right - windowRect.left;
    const int outerHeight = windowRect.bottom - windowRect.top;
    if (!settings.fullscreen) {
        x = GetSystemMetrics(SM_CXSCREEN) / 2 - outerWidth / 2;
        y = GetSystemMetrics(SM_CYSCREEN) / 2 - outerHeight / 2;
    }
    HWND hwnd = CreateWindowExA(exStyle, kWindowClassName, title.c_str(), style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                x, y, outerWidth, outerHeight, nullptr, nullptr, hInstance, nullptr);
    if (!hwnd)
        throw FrameworkEx("Failed creating window");
    SetWindow(hwnd);
}

void DXFramework::StartMusic()
{
    BASSPlayer::OpenOutput();
    BASSPlayer::Init("Data\\tune.ogg", SOUNDTYPE_STREAM);
    BASSPlayer::Play();
    const float latency = static_cast<float>(BASSPlayer::GetInfo().latency);
    Timer::Restart(0.0f, latency / 1000.0f);
    BASSPlayer::Pause();
    BASSPlayer::Resume(0.0f);
}

void DXFramework::Run()
{
    CreateAppWindow();
    InitDevice();
    HWND hwnd = GetWindow();
    ShowWindow(hwnd, SW_SHOW);
    SetFocus(hwnd);
    UpdateWindow(hwnd);
    CreateResources();
    Timer::Restart(0.0f, 0.0f);
    StartMusic();

    MSG msg{};
    while (msg.message != WM_QUIT && Timer::GetTime() < endTime) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (State().minimised) {
            Sleep(100);
        } else if (deviceLost) {
            // The device is rebuilt between frames; while it cannot be reset yet the window
            // keeps its messages flowing and the next pass tries again.
            if (!RebuildDevice())
                Sleep(50);
        } else {
            FrameWork();
        }
    }
    BASSPlayer::Pause();
    Shutdown();
}

void DXFramework::FrameWork()
{
    const float row = syncTimer->getRow();
    syncDevice->update(row);
    Timer::Update();
    Mouse::Update();
    if (State().redraw) {
        SceneHandler::Idle();
        RenderFrame();
        State().redraw = false;
    }
    KeyHandler::Update();
}

void DXFramework::Boot()
{
    CreateAppWindow();
    InitDevice();
    ShowWindow(GetWindow(), SW_SHOW);
    CreateResources();
    Timer::Restart(0.0f, 0.0f);
}

bool DXFramework::DrawFrameAt(float seconds)
{
    HeldClock held;
    ClockSource* previous = SetClockSource(&held);
    struct Restore {
        ClockSource* clock;
        ~Restore() { SetClockSource(clock); }
    } restore{previous};

    for (int attempt = 0; attempt < 8 && deviceLost; ++attempt)
        RebuildDevice();
    Timer::Restart(seconds, 0.0f);
    syncDevice->update(syncTimer->getRow());
    Timer::Update();
    SceneHandler::Idle();
    RenderFrame();
    State().redraw = false;
    return !deviceLost;
}

bool DXFramework::RenderFrameAt(float seconds, std::vector<unsigned char>& bgra, unsigned& width, unsigned& height)
{
    drawOverlay = false;
    const bool drawn = DrawFrameAt(seconds);
    drawOverlay = true;
    if (!drawn)
        return false;
    UINT w = 0;
    UINT h = 0;
    std::vector<std::uint8_t> frame;
    if (GetDevice()->GetPresentedFrame(frame, w, h) != D3D_OK)
        return false;
    bgra.assign(frame.begin(), frame.end());
    width = w;
    height = h;
    return true;
}

void DXFramework::Shutdown()
{
    if (shutDown)
        return;
    shutDown = true;
    BASSPlayer::Free();
    ReleaseResources();
    if (IDirect3DDevice9* device = GetDevice()) {
        device->Release();
        SetDevice(nullptr);
    }
    if (IDirect3D9* d3d = GetDirect3D()) {
        d3d->Release();
        SetDirect3D(nullptr);
    }
    if (HWND hwnd = GetWindow()) {
        State().destroyingWindow = true;
        DestroyWindow(hwnd);
        SetWindow(nullptr);
    }
}

LRESULT DXFramework::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto buttons = [wParam] {
        Mouse::SetButtons((wParam & MK_LBUTTON) != 0, (wParam & MK_MBUTTON) != 0, (wParam & MK_RBUTTON) != 0);
    };
    switch (message) {
    case WM_KEYDOWN:
        KeyHandler::KeyDown(static_cast<std::uint32_t>(wParam));
        if (wParam == VK_ESCAPE)
            PostQuitMessage(0);
        return 0;
    case WM_SYSKEYDOWN:
        KeyHandler::KeyDown(static_cast<std::uint32_t>(wParam));
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        KeyHandler::KeyUp(static_cast<std::uint32_t>(wParam));
        return 0;
    case WM_SIZE:
        State().minimised = wParam == SIZE_MINIMIZED;
        return 0;
    case WM_DESTROY:
        if (State().destroyingWindow)
            State().destroyingWindow = false;
        else
            PostQuitMessage(0);
        return 0;
    case WM_MOUSEMOVE:
        buttons();
        Mouse::SetPosition(static_cast<std::int32_t>(LOWORD(lParam)), static_cast<std::int32_t>(HIWORD(lParam)));
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        buttons();
        return DefWindowProcA(hwnd, message, wParam, lParam);
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

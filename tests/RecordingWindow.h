#pragma once
#include <string>
#include <vector>

#include "sdl/SDLVideo.h"
#include "win32/WinUser.h"

// A window class whose procedure writes down every message it is given and then leaves it
// to DefWindowProcA. The windows made through it are destroyed, the queue drained and the
// class unregistered when it goes away, so tests leave nothing behind.
struct RecordedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<RecordedMessage>& RecordedMessages()
{
    static std::vector<RecordedMessage> recorded;
    return recorded;
}

inline LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    RecordedMessages().push_back({window, message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

inline void DrainMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

inline WNDCLASSEXA RecordingClassDescription(const char* name)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = CS_CLASSDC;
    windowClass.lpfnWndProc = RecordingWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(IDR_APP_CURSOR));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = name;
    windowClass.hIconSm = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(IDR_APP_ICON));
    return windowClass;
}

class RecordingWindowClass {
public:
    explicit RecordingWindowClass(const char* name = "orvala_test_window") : name(name)
    {
        EnsureSDLVideo();
        DrainMessages();
        const WNDCLASSEXA description = RecordingClassDescription(name);
        atom = RegisterClassExA(&description);
        RecordedMessages().clear();
    }
    ~RecordingWindowClass()
    {
        for (HWND window : windows)
            DestroyWindow(window);
        DrainMessages();
        UnregisterClassA(name.c_str(), GetModuleHandleA(nullptr));
        RecordedMessages().clear();
    }
    RecordingWindowClass(const RecordingWindowClass&) = delete;
    RecordingWindowClass& operator=(const RecordingWindowClass&) = delete;

    // A window of the class whose client area is width x height, placed as the demo's
    // windowed mode places its window.
    HWND CreateWindowed(int width, int height, DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX)
    {
        const DWORD exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
        RECT rect{0, 0, width, height};
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
        return Keep(CreateWindowExA(exStyle, name.c_str(), "Orvala test", style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                    40, 30, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr));
    }

    HWND Keep(HWND window)
    {
        if (window)
            windows.push_back(window);
        return window;
    }

    ATOM atom = 0;
    std::string name;

private:
    std::vector<HWND> windows;
};

#pragma once
#include <cstdint>

#include "win32/WinTypes.h"

// The Win32 window layer: window classes, windows, the message queue, the cursor and the
// keyboard and mouse messages, on SDL. A window is an SDL window made with
// SDL_WINDOW_OPENGL and registered in win32/WindowHandle.h, so the device layer can draw
// into it. Everything runs on one thread, the one that created the windows.

#ifndef CALLBACK
#define CALLBACK
#endif
#ifndef WINAPI
#define WINAPI
#endif

using ATOM = WORD;
using HICON = struct HICON__*;
using HCURSOR = HICON;
using HBRUSH = struct HBRUSH__*;
using HMENU = struct HMENU__*;
using HMODULE = HINSTANCE;
using HGDIOBJ = HANDLE;
using LPVOID = void*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};
using WNDCLASSEX = WNDCLASSEXA;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

// Word and resource helpers.
#define LOWORD(l) (static_cast<WORD>(static_cast<std::uintptr_t>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<std::uintptr_t>(l) >> 16) & 0xffff))
#define GET_X_LPARAM(lp) (static_cast<int>(static_cast<short>(LOWORD(lp))))
#define GET_Y_LPARAM(lp) (static_cast<int>(static_cast<short>(HIWORD(lp))))
#define MAKELONG(a, b)                                                                                       \
    (static_cast<LONG>(static_cast<DWORD>(static_cast<WORD>(static_cast<std::uintptr_t>(a) & 0xffff)) |      \
                       (static_cast<DWORD>(static_cast<WORD>(static_cast<std::uintptr_t>(b) & 0xffff)) << 16)))
#define MAKELPARAM(l, h) (static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define MAKEWPARAM(l, h) (static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(i))))
#define MAKEINTRESOURCE(i) MAKEINTRESOURCEA(i)
#define MAKEINTATOM(i) MAKEINTRESOURCEA(i)
#define IS_INTRESOURCE(p) ((reinterpret_cast<std::uintptr_t>(p) >> 16) == 0)

// Class styles.
#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_OWNDC 0x0020u
#define CS_CLASSDC 0x0040u

// Window styles.
#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_MAXIMIZE 0x01000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u
#define WS_OVERLAPPEDWINDOW                                                                                  \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_EX_WINDOWEDGE 0x00000100u
#define WS_EX_CLIENTEDGE 0x00000200u
#define WS_EX_APPWINDOW 0x00040000u
#define CW_USEDEFAULT (static_cast<int>(0x80000000u))

// Messages.
#define WM_NULL 0x0000u
#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_SIZE 0x0005u
#define WM_ACTIVATE 0x0006u
#define WM_SETFOCUS 0x0007u
#define WM_KILLFOCUS 0x0008u
#define WM_GETTEXT 0x000Du
#define WM_CLOSE 0x0010u
#define WM_QUIT 0x0012u
#define WM_KEYDOWN 0x0100u
#define WM_KEYUP 0x0101u
#define WM_CHAR 0x0102u
#define WM_SYSKEYDOWN 0x0104u
#define WM_SYSKEYUP 0x0105u
#define WM_SYSCHAR 0x0106u
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define WM_MOUSEMOVE 0x0200u
#define WM_LBUTTONDOWN 0x0201u
#define WM_LBUTTONUP 0x0202u
#define WM_RBUTTONDOWN 0x0204u
#define WM_RBUTTONUP 0x0205u
#define WM_MBUTTONDOWN 0x0207u
#define WM_MBUTTONUP 0x0208u
#define WM_XBUTTONDOWN 0x020Bu
#define WM_XBUTTONUP 0x020Cu
#define WM_USER 0x0400u

// WM_ACTIVATE's low word.
#define WA_INACTIVE 0
#define WA_ACTIVE 1

// WM_SIZE's wParam.
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2

// Mouse message wParam bits; the X button of WM_XBUTTON* is in the high word.
#define MK_LBUTTON 0x0001u
#define MK_RBUTTON 0x0002u
#define MK_SHIFT 0x0004u
#define MK_CONTROL 0x0008u
#define MK_MBUTTON 0x0010u
#define MK_XBUTTON1 0x0020u
#define MK_XBUTTON2 0x0040u
#define XBUTTON1 0x0001u
#define XBUTTON2 0x0002u

// Key message lParam: bits 0-15 repeat count, 16-23 scan code, 24 extended key, 29 Alt
// held, 30 key was down before, 31 key is going up.
#define KF_EXTENDED 0x0100u
#define KF_ALTDOWN 0x2000u
#define KF_REPEAT 0x4000u
#define KF_UP 0x8000u

// Virtual-key codes. Letters and digits are their upper-case ASCII codes, 'A'..'Z' and
// '0'..'9'.
#define VK_LBUTTON 0x01u
#define VK_RBUTTON 0x02u
#define VK_MBUTTON 0x04u
#define VK_BACK 0x08u
#define VK_TAB 0x09u
#define VK_CLEAR 0x0Cu
#define VK_RETURN 0x0Du
#define VK_SHIFT 0x10u
#define VK_CONTROL 0x11u
#define VK_MENU 0x12u
#define VK_PAUSE 0x13u
#define VK_CAPITAL 0x14u
#define VK_ESCAPE 0x1Bu
#define VK_SPACE 0x20u
#define VK_PRIOR 0x21u
#define VK_NEXT 0x22u
#define VK_END 0x23u
#define VK_HOME 0x24u
#define VK_LEFT 0x25u
#define VK_UP 0x26u
#define VK_RIGHT 0x27u
#define VK_DOWN 0x28u
#define VK_SNAPSHOT 0x2Cu
#define VK_INSERT 0x2Du
#define VK_DELETE 0x2Eu
#define VK_LWIN 0x5Bu
#define VK_RWIN 0x5Cu
#define VK_APPS 0x5Du
#define VK_NUMPAD0 0x60u
#define VK_NUMPAD1 0x61u
#define VK_NUMPAD2 0x62u
#define VK_NUMPAD3 0x63u
#define VK_NUMPAD4 0x64u
#define VK_NUMPAD5 0x65u
#define VK_NUMPAD6 0x66u
#define VK_NUMPAD7 0x67u
#define VK_NUMPAD8 0x68u
#define VK_NUMPAD9 0x69u
#define VK_MULTIPLY 0x6Au
#define VK_ADD 0x6Bu
#define VK_SUBTRACT 0x6Du
#define VK_DECIMAL 0x6Eu
#define VK_DIVIDE 0x6Fu
#define VK_F1 0x70u
#define VK_F2 0x71u
#define VK_F3 0x72u
#define VK_F4 0x73u
#define VK_F5 0x74u
#define VK_F6 0x75u
#define VK_F7 0x76u
#define VK_F8 0x77u
#define VK_F9 0x78u
#define VK_F10 0x79u
#define VK_F11 0x7Au
#define VK_F12 0x7Bu
#define VK_NUMLOCK 0x90u
#define VK_SCROLL 0x91u
#define VK_OEM_1 0xBAu
#define VK_OEM_PLUS 0xBBu
#define VK_OEM_COMMA 0xBCu
#define VK_OEM_MINUS 0xBDu
#define VK_OEM_PERIOD 0xBEu
#define VK_OEM_2 0xBFu
#define VK_OEM_3 0xC0u
#define VK_OEM_4 0xDBu
#define VK_OEM_5 0xDCu
#define VK_OEM_6 0xDDu
#define VK_OEM_7 0xDEu
#define VK_OEM_102 0xE2u

// PeekMessageA's removal flags.
#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define PM_NOYIELD 0x0002u

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// GetSystemMetrics indices.
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1

// Stock objects.
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5

// Standard icons and cursors (load them with a null instance).
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_HAND MAKEINTRESOURCEA(32649)

// The demo's own resources, drawn by code: the cursor and the icon.
#define IDR_APP_CURSOR 101
#define IDR_APP_ICON 103

// Window classes. RegisterClassExA fails (0) on a missing procedure or name, a cbSize that
// is neither sizeof(WNDCLASSEXA) nor the 32-bit layout's 48, or a name already registered
// (names compare without regard to case, as in Windows). UnregisterClassA fails while a
// window of the class exists. A class may be named by the atom RegisterClassExA returned.
ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);

// The module handle of the program (null name); named modules are not known here.
HMODULE GetModuleHandleA(LPCSTR moduleName);

// Icons and cursors: with a null instance the standard ones (IDI_APPLICATION, IDC_*), with
// the program's instance the demo's resources IDR_APP_ICON and IDR_APP_CURSOR. Anything
// else gives null. Handles stay valid for the life of the process.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
#define LoadIcon LoadIconA
#define LoadCursor LoadCursorA
// Stock brushes (WHITE_BRUSH .. NULL_BRUSH); null for other indices.
HGDIOBJ GetStockObject(int object);

// Windows. Caption styles get a fixed frame: AdjustWindowRectEx grows the client rectangle
// by it and CreateWindowExA takes it off again, so the SDL window has exactly the client
// size asked for. A WS_POPUP window has no frame and is full screen: in the display mode of
// its size when the display has one, otherwise over the whole desktop. Windows start
// hidden unless WS_VISIBLE is given. A class or window without a procedure, an unknown
// class and a child window (no child windows here) give null.
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
HWND SetFocus(HWND window);
HWND GetFocus();
BOOL GetClientRect(HWND window, RECT* rect);
BOOL IsIconic(HWND window);

// The desktop size; with no display (SDL's offscreen driver) 1920 x 1080.
int GetSystemMetrics(int index);

// The message queue. PeekMessageA never waits; GetMessageA waits for a message and returns
// 0 for WM_QUIT, -1 for a window handle that is not a window. Messages come in the order
// they arrived, SDL's input and posted messages alike; WM_QUIT passes every filter.
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// The cursor. ShowCursor keeps Windows' display counter (0 at start, the cursor shows
// while it is 0 or more) and returns the new count. SetCursor returns the previous cursor.
int ShowCursor(BOOL show);
HCURSOR SetCursor(HCURSOR cursor);

void Sleep(DWORD milliseconds);

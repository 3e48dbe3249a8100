#pragma once
#include <functional>
#include <string>

#include "win32/WinTypes.h"

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ICONERROR 0x00000010u
#define IDOK 1
#define IDCANCEL 2

// Shows a modal message box and returns the button pressed. Until the window layer shows
// real boxes, a box is written to standard error and answered as if OK was pressed.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// What a shown box looked like, for whoever captures them.
struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

// Replaces how boxes are shown (tests capture them); an empty function puts back the
// default. Returns the previous presenter.
using MessageBoxPresenter = std::function<int(const MessageBoxRecord&)>;
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

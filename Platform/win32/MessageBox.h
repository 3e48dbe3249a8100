#pragma once
#include <functional>
#include <string>

#include "win32/WinTypes.h"

// Buttons (the low four bits of the type).
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_CANCELTRYCONTINUE 0x00000006u
#define MB_TYPEMASK 0x0000000Fu
// Icons.
#define MB_ICONERROR 0x00000010u
#define MB_ICONHAND MB_ICONERROR
#define MB_ICONSTOP MB_ICONERROR
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONEXCLAMATION MB_ICONWARNING
#define MB_ICONINFORMATION 0x00000040u
#define MB_ICONASTERISK MB_ICONINFORMATION
#define MB_ICONMASK 0x000000F0u
// Which button is the default (Enter): the first, second or third.
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFMASK 0x00000F00u

// The answers.
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDTRYAGAIN 10
#define IDCONTINUE 11

// Shows a modal message box and returns the button pressed. With a display, the box is a
// GTK window titled with the caption (a null caption reads "Error"); Escape and the close
// box answer IDCANCEL when the box has a Cancel button and IDOK for an OK-only box, and
// are ignored otherwise. Without a display the box is written to standard error as
// "[caption] text" and answered with its default button (IDOK for MB_OK and MB_OKCANCEL).
// An unknown button type shows nothing on screen (it is still written to standard error)
// and returns 0.
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

#pragma once
#include <cstdint>
#include <functional>

#include "win32/DialogResources.h"
#include "win32/DialogTemplate.h"
#include "win32/MessageBox.h"
#include "win32/WinTypes.h"
#include "win32/WinUser.h"

// Modal dialogs built from a DialogTemplate and shown as GTK windows.
//
// Layout: one dialog unit is 2 pixels across and 2 pixels down; controls sit at the
// template's absolute positions. The dialog procedure sees WM_INITDIALOG (wParam = the
// control that gets the focus, lParam = the caller's parameter) before the window is
// shown, then WM_COMMAND: LOWORD(wParam) = control id, HIWORD(wParam) = notification
// (BN_CLICKED when a button or check box is clicked, CBN_SELCHANGE when the user picks
// another entry of a list), lParam = the control's handle. Enter sends IDOK (or the
// default push button's id; the focused push button's own id when one has the focus),
// Escape sends IDCANCEL, and closing the window sends WM_CLOSE, which a procedure that
// leaves it alone turns into WM_COMMAND IDCANCEL.
//
// Handles: dialogs and their controls get handles from 0x100000 upwards, a range of their
// own (the SDL windows of WindowHandle.h count up from 0x100). A handle is valid from the
// dialog's creation until DialogBoxParamA returns.

using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// Messages the dialog and its controls answer, beyond those of WinUser.h.
#ifndef WM_SETTEXT
#define WM_SETTEXT 0x000Cu
#endif
#ifndef WM_GETTEXTLENGTH
#define WM_GETTEXTLENGTH 0x000Eu
#endif

#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_CLICK 0x00F5
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define BN_CLICKED 0

#define CB_ERR (-1)
#define CB_OKAY 0
#define CB_ADDSTRING 0x0143
#define CB_RESETCONTENT 0x014B
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_SETCURSEL 0x014E
#define CBN_SELCHANGE 1

// Shows the dialog resource `name` modally and returns the value passed to EndDialog, or
// -1 when the resource does not exist, the procedure is null or no display is available.
// An exception thrown by the procedure closes the dialog and leaves this function.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
// The same for a template the caller holds.
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const DialogTemplate& dialog, HWND owner, DLGPROC proc,
                                LPARAM param);

// Ends a modal dialog once its procedure returns; DialogBoxParamA then returns `result`.
BOOL EndDialog(HWND dialog, INT_PTR result);

HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);

// Delivers a message to a dialog or one of its controls. Returns false, leaving *result
// alone, when the handle is not a dialog's; SendMessageA tries this first.
bool SendDialogMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

// Replaces the screen for the dialogs that follow (tests drive dialogs without a display):
// DialogBoxParamA builds the dialog and its controls, sends WM_INITDIALOG and then calls
// the driver with the dialog's handle instead of showing a window. The driver acts as the
// user would, e.g. SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0); a dialog the driver
// leaves open returns -1. An empty function puts the screen back. Returns the previous one.
using DialogDriver = std::function<void(HWND dialog)>;
DialogDriver SetDialogDriver(DialogDriver driver);

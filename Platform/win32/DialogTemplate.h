#pragma once
#include <string>
#include <vector>

#include "win32/WinTypes.h"

#include "win32/WinUser.h"

// The window styles a dialog template names beyond those of WinUser.h.
#ifndef WS_VSCROLL
#define WS_VSCROLL 0x00200000u
#endif
#ifndef WS_TABSTOP
#define WS_TABSTOP 0x00010000u
#endif
#ifndef WS_EX_TOPMOST
#define WS_EX_TOPMOST 0x00000008u
#endif
#ifndef DS_SETFONT
#define DS_SETFONT 0x40u
#endif
#ifndef DS_MODALFRAME
#define DS_MODALFRAME 0x80u
#endif

// Control styles.
#ifndef SS_LEFT
#define SS_LEFT 0x0000u
#endif
#ifndef BS_PUSHBUTTON
#define BS_PUSHBUTTON 0x0000u
#endif
#ifndef BS_DEFPUSHBUTTON
#define BS_DEFPUSHBUTTON 0x0001u
#endif
#ifndef BS_AUTOCHECKBOX
#define BS_AUTOCHECKBOX 0x0003u
#endif
#ifndef CBS_DROPDOWNLIST
#define CBS_DROPDOWNLIST 0x0003u
#endif

// The id of controls nobody asks for by id (labels).
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// What a control is; it decides which messages the control answers and how it is drawn.
enum class DialogControlKind {
    Static,        // a text label, left-aligned
    DropDownList,  // a combo box without an edit field (CBS_DROPDOWNLIST), unsorted
    AutoCheckBox,  // a check box that toggles itself when clicked (BS_AUTOCHECKBOX)
    PushButton,    // BS_PUSHBUTTON
    DefPushButton, // BS_DEFPUSHBUTTON: the button Enter presses
};

// One control of a dialog template. Positions and sizes are in dialog units, relative to
// the dialog's client area. For a drop-down list the height is that of the list when it
// is dropped; the closed box is one line high.
struct DialogItemTemplate {
    DialogControlKind kind;
    int id;
    std::string text;
    short x;
    short y;
    short cx;
    short cy;
    DWORD style; // WS_TABSTOP, WS_VSCROLL and the kind's own style bits
};

// A dialog as a resource describes it: caption, font, placement in dialog units (relative
// to the screen for a dialog without owner), styles and the controls in tab order.
struct DialogTemplate {
    std::string caption;
    std::string fontName;
    int pointSize;
    short x;
    short y;
    short cx;
    short cy;
    DWORD style;
    DWORD exStyle;
    std::vector<DialogItemTemplate> items;
};

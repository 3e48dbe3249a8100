#pragma once
#include <vector>

#include "win32/WinTypes.h"

// A button of a message box: its label (with a GTK mnemonic) and the answer it gives.
struct MessageBoxButton {
    const char* label;
    int answer;
};

// The buttons of a box type, left to right; empty for an unknown type.
std::vector<MessageBoxButton> MessageBoxButtons(UINT type);
// The answer of the default button (MB_DEFBUTTONn, the first one when n is out of range);
// 0 for an unknown type.
int MessageBoxDefaultAnswer(UINT type);
// What Escape or closing the box answers: IDCANCEL when the box has a Cancel button,
// IDOK for an OK-only box, 0 (the box cannot be dismissed that way) otherwise.
int MessageBoxEscapeAnswer(UINT type);

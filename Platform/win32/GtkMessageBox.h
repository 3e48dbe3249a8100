#pragma once
#include "win32/MessageBox.h"

// Shows a box as a modal GTK message dialog and waits for the answer. GTK must be running
// (GtkDisplayAvailable) and the box's type known (MessageBoxButtons not empty).
int ShowGtkMessageBox(const MessageBoxRecord& box);

#pragma once
#include "win32/DialogTemplate.h"
#include "win32/WinTypes.h"
#include "win32/WinUser.h"

// The program's dialog resources, the settings dialog (102) among them. Resources are
// named by number (MAKEINTRESOURCEA); a name that is a real string, a null name or an
// unknown number finds nothing. The program is one module, so the instance handle is
// not needed to find them.
const DialogTemplate* FindDialogResource(HINSTANCE instance, LPCSTR name);

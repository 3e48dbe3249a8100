#pragma once
#include <string>

#include "d3d9/D3DResults.h"
#include "win32/WinTypes.h"

// The symbolic name of a Direct3D 9 / D3DX 9 result code, or "UNKNOWN ERROR!" for a code
// the table does not hold.
const char* DXErrorName(HRESULT result);

// The rule for the result of a Direct3D or D3DX call made at file:line. D3D_OK passes; a
// lost device is handed to DXFramework::HandleDeviceLost and the caller carries on; any
// other value, success codes such as D3DOK_NOAUTOGEN included, throws FrameworkEx
// "Error: <name>\n\n<path> : <line>".
void CheckResult(HRESULT result, const char* file, int line);

// The path of a source file as the error messages show it: relative to the repository,
// in Windows form, with a ".\" prefix and without extension
// (".\Source\Framework\DXFramework" for .../Source/Framework/DXFramework.cpp).
std::string DXSourcePath(const char* file);

// Makes the call once and applies CheckResult at the call's source position.
#define CHECK_RESULT(call) CheckResult((call), __FILE__, __LINE__)

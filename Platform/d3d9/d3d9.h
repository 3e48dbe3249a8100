#pragma once
// Direct3D 9: the result codes, types, capabilities and interfaces, and the entry point that
// makes the Direct3D object.
#include "d3d9/D3DResults.h"
#include "d3d9/d3d9caps.h"
#include "d3d9/d3d9interfaces.h"
#include "d3d9/d3d9types.h"
#include "win32/WinTypes.h"

// The SDK version the demo is built against; Direct3DCreate9 accepts only this value.
inline constexpr UINT D3D_SDK_VERSION = 32;

// Makes the Direct3D object (one reference, owned by the caller), or returns null when
// SDKVersion is not D3D_SDK_VERSION or the graphics system cannot start.
IDirect3D9* Direct3DCreate9(UINT SDKVersion);

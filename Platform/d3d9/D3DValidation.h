#pragma once

#include "d3d9/d3d9.h"

// Argument checks that every device makes the same way. Each answers D3D_OK or the result the
// device call returns for the argument.

// The presentation intervals a device accepts: DEFAULT, ONE to FOUR and IMMEDIATE; others are an
// invalid call.
HRESULT CheckD3DPresentationInterval(UINT interval);

// A back buffer the adapter can show: X8R8G8B8 or A8R8G8B8; any other format is not available.
HRESULT CheckD3DBackBufferFormat(D3DFORMAT format);

// An automatic depth-stencil buffer needs a depth format; any other is not available.
HRESULT CheckD3DAutoDepthStencilFormat(D3DFORMAT format);

// Lock flags of a vertex or index buffer: only the known ones, and never DISCARD with READONLY.
HRESULT CheckD3DBufferLockFlags(DWORD flags);

#pragma once
// The D3DX 9 core pieces the effect functions use: buffers, includes and macros, with the names,
// signatures and values of D3DX 9.
#include "d3d9/d3d9.h"
#include "win32/WinTypes.h"

using LPCVOID = const void*;
using LPVOID = void*;

// A preprocessor definition handed to the effect functions; an array of them ends with a
// { nullptr, nullptr } entry.
struct D3DXMACRO {
    LPCSTR Name;
    LPCSTR Definition;
};
using LPD3DXMACRO = D3DXMACRO*;

enum D3DXINCLUDE_TYPE : DWORD {
    D3DXINC_LOCAL = 0,  // #include "name"
    D3DXINC_SYSTEM = 1, // #include <name>
    D3DXINC_FORCE_DWORD = 0x7fffffff,
};

// Reads the files an effect source includes. Open hands out the whole file (which stays valid
// until Close is called with the same pointer); a failure code means the file is not there.
// pParentData is the text of the including file as Open handed it out, or null for the top file.
struct ID3DXInclude {
    virtual ~ID3DXInclude() = default;
    virtual HRESULT Open(D3DXINCLUDE_TYPE IncludeType, LPCSTR pFileName, LPCVOID pParentData, LPCVOID* ppData,
                         UINT* pBytes) = 0;
    virtual HRESULT Close(LPCVOID pData) = 0;
};
using LPD3DXINCLUDE = ID3DXInclude*;

// A block of bytes with a reference count (compile errors, for one).
struct ID3DXBuffer : IUnknown {
    virtual LPVOID GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};
using LPD3DXBUFFER = ID3DXBuffer*;

// A zero-filled buffer of NumBytes bytes (one reference, owned by the caller). D3DERR_INVALIDCALL
// for a null ppBuffer, E_OUTOFMEMORY when the bytes cannot be had.
HRESULT D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer);

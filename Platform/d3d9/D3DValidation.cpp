#include "d3d9/D3DValidation.h"

#include "d3d9/D3DFormatInfo.h"

HRESULT CheckD3DPresentationInterval(UINT interval)
{
    switch (interval) {
    case D3DPRESENT_INTERVAL_DEFAULT:
    case D3DPRESENT_INTERVAL_ONE:
    case D3DPRESENT_INTERVAL_TWO:
    case D3DPRESENT_INTERVAL_THREE:
    case D3DPRESENT_INTERVAL_FOUR:
    case D3DPRESENT_INTERVAL_IMMEDIATE:
        return D3D_OK;
    default:
        return D3DERR_INVALIDCALL;
    }
}

HRESULT CheckD3DBackBufferFormat(D3DFORMAT format)
{
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8 ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT CheckD3DAutoDepthStencilFormat(D3DFORMAT format)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    return info != nullptr && info->depthBuffer ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT CheckD3DBufferLockFlags(DWORD flags)
{
    constexpr DWORD kKnown = D3DLOCK_READONLY | D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE | D3DLOCK_NOSYSLOCK |
                             D3DLOCK_DONOTWAIT;
    if ((flags & ~kKnown) != 0 || ((flags & D3DLOCK_DISCARD) != 0 && (flags & D3DLOCK_READONLY) != 0)) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

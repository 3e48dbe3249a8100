#pragma once
// The result codes of Direct3D 9 and D3DX 9 that the demo names, with the values of the
// Direct3D 9 headers. Typed constants rather than macros; a d3d9.h of the platform layer
// includes this header instead of defining them again; the header may be included any
// number of times.
#include "win32/WinTypes.h"

namespace d3d9detail {
// The facility 0x876 with the severity bit: what the Direct3D headers call MAKE_D3DHRESULT.
constexpr HRESULT MakeD3DHResult(unsigned code)
{
    return static_cast<HRESULT>(0x88760000u | code);
}
// The facility 0x876 without the severity bit: a success status (MAKE_D3DSTATUS).
constexpr HRESULT MakeD3DStatus(unsigned code)
{
    return static_cast<HRESULT>(0x08760000u | code);
}
} // namespace d3d9detail

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

inline constexpr HRESULT D3D_OK = 0;
inline constexpr HRESULT D3DOK_NOAUTOGEN = d3d9detail::MakeD3DStatus(2159);

inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

inline constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = d3d9detail::MakeD3DHResult(380);
inline constexpr HRESULT D3DERR_WASSTILLDRAWING = d3d9detail::MakeD3DHResult(540);
inline constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = d3d9detail::MakeD3DHResult(2072);
inline constexpr HRESULT D3DERR_UNSUPPORTEDCOLOROPERATION = d3d9detail::MakeD3DHResult(2073);
inline constexpr HRESULT D3DERR_UNSUPPORTEDCOLORARG = d3d9detail::MakeD3DHResult(2074);
inline constexpr HRESULT D3DERR_UNSUPPORTEDALPHAOPERATION = d3d9detail::MakeD3DHResult(2075);
inline constexpr HRESULT D3DERR_UNSUPPORTEDALPHAARG = d3d9detail::MakeD3DHResult(2076);
inline constexpr HRESULT D3DERR_TOOMANYOPERATIONS = d3d9detail::MakeD3DHResult(2077);
inline constexpr HRESULT D3DERR_CONFLICTINGTEXTUREFILTER = d3d9detail::MakeD3DHResult(2078);
inline constexpr HRESULT D3DERR_UNSUPPORTEDFACTORVALUE = d3d9detail::MakeD3DHResult(2079);
inline constexpr HRESULT D3DERR_CONFLICTINGRENDERSTATE = d3d9detail::MakeD3DHResult(2081);
inline constexpr HRESULT D3DERR_UNSUPPORTEDTEXTUREFILTER = d3d9detail::MakeD3DHResult(2082);
inline constexpr HRESULT D3DERR_CONFLICTINGTEXTUREPALETTE = d3d9detail::MakeD3DHResult(2086);
inline constexpr HRESULT D3DERR_DRIVERINTERNALERROR = d3d9detail::MakeD3DHResult(2087);
inline constexpr HRESULT D3DERR_NOTFOUND = d3d9detail::MakeD3DHResult(2150);
inline constexpr HRESULT D3DERR_MOREDATA = d3d9detail::MakeD3DHResult(2151);
inline constexpr HRESULT D3DERR_DEVICELOST = d3d9detail::MakeD3DHResult(2152);
inline constexpr HRESULT D3DERR_DEVICENOTRESET = d3d9detail::MakeD3DHResult(2153);
inline constexpr HRESULT D3DERR_NOTAVAILABLE = d3d9detail::MakeD3DHResult(2154);
inline constexpr HRESULT D3DERR_INVALIDDEVICE = d3d9detail::MakeD3DHResult(2155);
inline constexpr HRESULT D3DERR_INVALIDCALL = d3d9detail::MakeD3DHResult(2156);
inline constexpr HRESULT D3DERR_DRIVERINVALIDCALL = d3d9detail::MakeD3DHResult(2157);

inline constexpr HRESULT D3DXERR_CANNOTMODIFYINDEXBUFFER = d3d9detail::MakeD3DHResult(2900);
inline constexpr HRESULT D3DXERR_INVALIDMESH = d3d9detail::MakeD3DHResult(2901);
inline constexpr HRESULT D3DXERR_CANNOTATTRSORT = d3d9detail::MakeD3DHResult(2902);
inline constexpr HRESULT D3DXERR_SKINNINGNOTSUPPORTED = d3d9detail::MakeD3DHResult(2903);
inline constexpr HRESULT D3DXERR_TOOMANYINFLUENCES = d3d9detail::MakeD3DHResult(2904);
inline constexpr HRESULT D3DXERR_INVALIDDATA = d3d9detail::MakeD3DHResult(2905);
inline constexpr HRESULT D3DXERR_LOADEDMESHASNODATA = d3d9detail::MakeD3DHResult(2906);
inline constexpr HRESULT D3DXERR_DUPLICATENAMEDFRAGMENT = d3d9detail::MakeD3DHResult(2907);
inline constexpr HRESULT D3DXERR_CANNOTREMOVELASTITEM = d3d9detail::MakeD3DHResult(2908);

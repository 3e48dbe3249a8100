#pragma once
// Layer's own, for profiling: stamps of the GPU's clock, put into the command stream among the
// draws and read back later, once the GPU has passed them, so that timing never makes the CPU
// wait for the GPU. The OpenGL device offers it (GL timer queries, glQueryCounter with
// GL_TIMESTAMP); the recording device has no GPU and offers none.
#include <cstdint>

#include "d3d9/d3d9interfaces.h"

// GetTime flag: wait until the GPU has passed the stamp instead of answering S_FALSE.
inline constexpr DWORD D3DGETTIME_WAIT = 1u << 1;

struct IDirect3DGpuTimer9 : IUnknown {
    // Puts a stamp after every command given so far, sending them on to the GPU (a flush, no
    // wait): it takes the GPU's clock when the GPU has finished them. *pStamp names it until it is read or dropped. D3DERR_DEVICELOST while the
    // device is lost, D3DERR_INVALIDCALL once the device is gone or for a null pStamp.
    virtual HRESULT Stamp(std::uint64_t* pStamp) = 0;
    // The stamp's time in nanoseconds, on a clock that all stamps of the device share: S_OK, and
    // the stamp is forgotten. S_FALSE while the GPU has not passed it yet (D3DGETDATA_FLUSH sends
    // the commands before it on; D3DGETTIME_WAIT waits instead). D3DERR_INVALIDCALL for a stamp
    // this timer does not hold.
    virtual HRESULT GetTime(std::uint64_t stamp, std::uint64_t* pNanoseconds, DWORD flags) = 0;
    // Forgets a stamp without reading it; D3DERR_INVALIDCALL for one this timer does not hold.
    virtual HRESULT Drop(std::uint64_t stamp) = 0;
};

// A timer on the device: D3D_OK, or D3DERR_NOTAVAILABLE for a device without a GPU clock (the
// recording device) and D3DERR_INVALIDCALL for null arguments. The timer holds a reference on
// the device while it lives.
HRESULT D3DCreateGpuTimer(IDirect3DDevice9* device, IDirect3DGpuTimer9** ppTimer);

#pragma once
#include "d3d9/DeviceFactory.h"

// One recording device for the whole fuzzing run: the loaders create their resources on it and
// release them again, so a leak or a stale pointer shows up under the sanitizers.
inline IDirect3DDevice9* FuzzDevice()
{
    static IDirect3DDevice9* device = [] {
        D3DCAPS9 caps{};
        caps.DeviceType = D3DDEVTYPE_HAL;
        caps.MaxTextureWidth = 4096;
        caps.MaxTextureHeight = 4096;
        caps.MaxVolumeExtent = 512;
        caps.NumSimultaneousRTs = 4;
        caps.MaxSimultaneousTextures = 16;
        caps.MaxStreams = 16;
        caps.VertexShaderVersion = D3DVS_VERSION(3, 0);
        caps.PixelShaderVersion = D3DPS_VERSION(3, 0);
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = 64;
        params.BackBufferHeight = 64;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        IDirect3DDevice9* made = nullptr;
        CreateRecordingDevice(caps, &params, &made);
        return made;
    }();
    return device;
}

// The recording device logs every call; a fuzzing run makes millions of them.
inline void ForgetFuzzCalls()
{
    ClearRecordedCalls(FuzzDevice());
}

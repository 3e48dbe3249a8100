#pragma once
#include <string>
#include <vector>

#include "d3d9/d3d9.h"

struct SDL_Window;

// The two devices behind IDirect3DDevice9.
//
// The OpenGL device draws into an SDL window made with SDL_WINDOW_OPENGL (headless: SDL's
// offscreen driver on EGL). IDirect3D9::CreateDevice of the object Direct3DCreate9 returns
// makes it for the window behind the HWND it is given.
HRESULT CreateGLDevice(IDirect3D9* direct3d, SDL_Window* window, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* presentParameters, IDirect3DDevice9** device);

// The recording device: the same interfaces without GL. It keeps resource state, validates
// arguments as the OpenGL device does and logs every call, so that tests can assert what a
// pass did and the demo's own CPU cost per frame can be measured without a renderer.
HRESULT CreateRecordingDevice(const D3DCAPS9& caps, D3DPRESENT_PARAMETERS* presentParameters,
                              IDirect3DDevice9** device);

// One logged call of a recording device: the method's name and its arguments as text
// ("SetRenderTarget", "0, surface#3"), plus for draws the render targets then bound.
struct RecordedCall {
    std::string method;
    std::string arguments;
    std::vector<std::string> targets;
};

// The calls a recording device has logged so far; empty for any other device.
const std::vector<RecordedCall>& GetRecordedCalls(IDirect3DDevice9* device);
void ClearRecordedCalls(IDirect3DDevice9* device);

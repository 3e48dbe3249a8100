#pragma once
#include <chrono>
#include <functional>

#include "DXFramework.h"

class DXEffect;

// The host's state that the static operations read: one per process, like the host itself.
struct FrameworkState {
    DXFramework* instance = nullptr;
    IDirect3DDevice9* device = nullptr;
    IDirect3D9* direct3d = nullptr;
    HWND window = nullptr;
    // The constructor's defaults until the dialog or a caller chooses: 800 x 450, four samples.
    DXFramework::DisplaySettings display = {800, 450, 0, static_cast<D3DMULTISAMPLE_TYPE>(4), 0, 0.0f, false, false,
                                            true, 800, 450};
    IDirect3DSurface9* backBuffer = nullptr;
    IDirect3DSurface9* depthSurface = nullptr;
    IDirect3DSurface9* plainDepthSurface = nullptr;
    ID3DXEffectPool* effectPool = nullptr;
    EffectSemantics* globalEffect = nullptr;
    sync::Device* syncDevice = nullptr;
    bool redraw = true; // one extra frame at start is harmless
    bool loaded = false;
    int loadCount = 0;
    bool loaderPaced = false;
    std::chrono::steady_clock::time_point nextLoaderFrame{}; // paced: no loader picture before this
    bool minimised = false;
    bool destroyingWindow = false;
    std::function<void()> deviceLostHandler;
};

FrameworkState& State();

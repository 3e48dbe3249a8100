#pragma once
#include <functional>
#include <string>

#include "d3d9/d3d9.h"
#include "sync/SyncNamespace.h"

namespace orvala::sync {
class Device;
}
class EffectSemantics;

// The framework's static services that the rest of the demo calls: the sync device, redraw
// requests, the progress log and the reaction to a lost device. The framework publishes
// its singletons here when it creates them; a tool or a test that builds some of them
// itself (a sync device over an archive, say) publishes those the same way.
class DXFramework {
public:
    // The Direct3D device everything draws with; null while there is none. The framework
    // publishes it when it creates the device; a tool or a test publishes its own.
    static IDirect3DDevice9* GetDevice();
    static void SetDevice(IDirect3DDevice9* device);

    // The demo's main window; null while there is none.
    static HWND GetWindow();
    static void SetWindow(HWND window);

    // Back-buffer size and the 16:9 content area inside it.
    static unsigned GetWidth();
    static unsigned GetHeight();
    static unsigned GetContentWidth();
    static unsigned GetContentHeight();
    // Publishes the back-buffer size; the content area becomes width x trunc(width * 9 / 16).
    static void SetBackBufferSize(unsigned width, unsigned height);

    // The back buffer's multisampling, which render surfaces share.
    static void GetMultiSample(D3DMULTISAMPLE_TYPE* type, DWORD* quality);
    static void SetMultiSample(D3DMULTISAMPLE_TYPE type, DWORD quality);

    // False when the user asked to spare video memory.
    static bool IsHighVRAM();
    static void SetHighVRAM(bool high);

    // The depth-stencil surfaces: the main one shares the back buffer's multisampling, the
    // plain one does not (render textures are never multisampled). Null while there are none.
    static void SetDepthSurfaces(IDirect3DSurface9* main, IDirect3DSurface9* plain);
    // SetDepthStencilSurface of the main surface, its result checked.
    static void SetMainDepthSurface();
    // SetDepthStencilSurface of the plain surface; its result is ignored.
    static void SetPlainDepthSurface();

    // The sync device tracks are requested from; FrameworkEx when none is published yet.
    static sync::Device* GetSyncDevice();
    static void SetSyncDevice(sync::Device* device);

    // The effect registered as "Global", through which the camera and time reach every
    // effect; null while there is none.
    static EffectSemantics* GetGlobalEffect();
    static void SetGlobalEffect(EffectSemantics* effect);

    // Asks for a new frame to be drawn at the next pass of the frame loop.
    static void RequestRedraw();
    static bool IsRedrawRequested();
    static void ClearRedrawRequest();

    // Receives one progress line; the demo keeps no log, so the line is discarded.
    static void Log(const std::string& text);

    // Rebuilds the device resources after a Direct3D call reported a lost device. The
    // host installs the rebuild; with none installed there is no device to rebuild.
    static void HandleDeviceLost();
    static void SetDeviceLostHandler(std::function<void()> handler);
};

// min + r * (max - min) / 32767 with r from the C runtime's rand(), as a 32-bit float.
float RandomRange(float min, float max);

#pragma once
#include <functional>
#include <string>

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

#pragma once
#include "d3d9/d3d9.h"

class GLDevice;

// Bookkeeping every object a GL device makes shares: the device knows its children (so that it can
// count the D3DPOOL_DEFAULT resources Reset must not find alive, and tell its children when it goes
// away), and a child knows whether its device is still there. Children hold no reference on the
// device, so a texture left bound when the device is released cannot keep it alive in a cycle.
class GLDeviceChild {
public:
    GLDeviceChild(GLDevice* device, bool defaultPool);
    virtual ~GLDeviceChild();
    GLDeviceChild(const GLDeviceChild&) = delete;
    GLDeviceChild& operator=(const GLDeviceChild&) = delete;

    // Null once the device is gone.
    GLDevice* Device() const { return device_; }
    bool IsDefaultPool() const { return defaultPool_; }

    // The device is going away and with it the GL context: forget the GL names, delete nothing.
    void DetachFromDevice();

protected:
    virtual void ForgetGLObjects() = 0;
    // The device as an interface for GetDevice, with a reference; D3DERR_INVALIDCALL once it is gone.
    HRESULT GetDeviceInterface(IDirect3DDevice9** ppDevice) const;

    GLDevice* device_;

private:
    bool defaultPool_;
};

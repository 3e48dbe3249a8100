#pragma once
#include "d3d9/d3d9.h"

class GLDevice;

// Bookkeeping every object a GL device makes shares: the device knows its children (so that it can
// count the D3DPOOL_DEFAULT resources Reset must not find alive, and tell its children when it goes
// away), and a child knows whether its device is still there.
//
// Two reference counts, as in Direct3D 9. External references are the application's (AddRef and
// Release; one at creation); while there is at least one, the object holds a reference on its
// device. Internal references are the device's own bindings (a bound texture, render target,
// stream...): they keep the object alive without showing in the counts AddRef and Release return,
// and never hold the device, so a texture left bound cannot keep its device alive in a cycle. The
// object is deleted once both counts are zero. Levels and faces pass every reference on to their
// texture: a held level keeps the whole texture alive.
class GLDeviceChild {
public:
    GLDeviceChild(GLDevice* device, bool defaultPool);
    // A level or face of `container`, sharing its counts.
    GLDeviceChild(GLDevice* device, GLDeviceChild* container);
    virtual ~GLDeviceChild();
    GLDeviceChild(const GLDeviceChild&) = delete;
    GLDeviceChild& operator=(const GLDeviceChild&) = delete;

    ULONG AddRefExternal();
    ULONG ReleaseExternal();
    void AddRefInternal();
    void ReleaseInternal();
    // The application's references (those of the container for a level).
    ULONG ExternalRefs() const;

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
    GLDeviceChild* container_ = nullptr;
    bool defaultPool_;
    ULONG external_ = 1;
    ULONG internal_ = 0;
};


#pragma once
#include <string>

#include "d3d9/d3d9.h"

class RecordingDevice;

// What every object of the recording device shares: its stable name in the call log, the device
// that made it, and two reference counts.
//
// External references are the ones the application holds (AddRef/Release); while there is at
// least one, the object holds a reference on its device, as Direct3D 9 objects do. Internal
// references are the device's own bindings (a bound texture, render target, stream...): they keep
// the object alive without showing in the counts AddRef and Release return, so that an application
// may release a bound object and the device still uses it until it is unbound. The object is
// deleted once both counts are zero.
//
// Levels and faces of textures pass every reference on to their texture: a held level keeps the
// whole texture alive, as in Direct3D 9.
class RecordingObject {
public:
    RecordingObject(RecordingDevice* device, std::string name, bool countsForReset);
    RecordingObject(RecordingObject* container, std::string name);
    RecordingObject(const RecordingObject&) = delete;
    RecordingObject& operator=(const RecordingObject&) = delete;
    virtual ~RecordingObject() = default;

    ULONG AddRefExternal();
    ULONG ReleaseExternal();
    void AddRefInternal();
    void ReleaseInternal();

    RecordingDevice* Device() const { return device_; }
    const std::string& Name() const { return name_; }
    // Whether this is a level or face of a texture.
    bool IsLevel() const { return container_ != nullptr; }

protected:
    // Logs an AddRef or Release call on this object, then does it.
    ULONG LoggedAddRef();
    ULONG LoggedRelease();
    // GetDevice of every object: a new external reference on the device.
    HRESULT GetDeviceOf(IDirect3DDevice9** ppDevice);

private:
    RecordingDevice* device_;
    RecordingObject* container_;
    std::string name_;
    bool countsForReset_;
    ULONG external_ = 0;
    ULONG internal_ = 0;
};

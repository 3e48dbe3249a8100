#include "d3d9/recording/RecordingObject.h"

#include <utility>

#include "d3d9/recording/RecordingCallText.h"
#include "d3d9/recording/RecordingDevice.h"

RecordingObject::RecordingObject(RecordingDevice* device, std::string name, bool countsForReset)
    : device_(device), container_(nullptr), name_(std::move(name)), countsForReset_(countsForReset)
{
}

RecordingObject::RecordingObject(RecordingObject* container, std::string name)
    : device_(container->device_), container_(container), name_(std::move(name)), countsForReset_(false)
{
}

ULONG RecordingObject::AddRefExternal()
{
    if (container_ != nullptr) {
        return container_->AddRefExternal();
    }
    if (external_++ == 0) {
        device_->HoldForObject();
        if (countsForReset_) {
            device_->DefaultPoolObjectHeld(true);
        }
    }
    return external_;
}

ULONG RecordingObject::ReleaseExternal()
{
    if (container_ != nullptr) {
        return container_->ReleaseExternal();
    }
    if (external_ == 0) {
        return 0;
    }
    ULONG left = --external_;
    if (left == 0) {
        RecordingDevice* device = device_;
        if (countsForReset_) {
            device->DefaultPoolObjectHeld(false);
        }
        if (internal_ == 0) {
            delete this;
        }
        // May delete the device, which then drops its bindings of this object.
        device->ReleaseForObject();
    }
    return left;
}

void RecordingObject::AddRefInternal()
{
    if (container_ != nullptr) {
        container_->AddRefInternal();
        return;
    }
    ++internal_;
}

void RecordingObject::ReleaseInternal()
{
    if (container_ != nullptr) {
        container_->ReleaseInternal();
        return;
    }
    if (internal_ == 0) {
        return;
    }
    if (--internal_ == 0 && external_ == 0) {
        delete this;
    }
}

ULONG RecordingObject::LoggedAddRef()
{
    ULONG count = AddRefExternal();
    device_->Record("AddRef", RecordingCallText().Object(this).Take(), D3D_OK);
    return count;
}

ULONG RecordingObject::LoggedRelease()
{
    // Logged first: the release may delete this object and its device.
    device_->Record("Release", RecordingCallText().Object(this).Take(), D3D_OK);
    return ReleaseExternal();
}

HRESULT RecordingObject::GetDeviceOf(IDirect3DDevice9** ppDevice)
{
    HRESULT hr = D3D_OK;
    if (ppDevice == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        device_->AddRefWithoutLog();
        *ppDevice = device_;
    }
    device_->Record("GetDevice", RecordingCallText().Object(this).Take(), hr);
    return hr;
}

#include "d3d9/gl/GLDeviceChild.h"

#include "d3d9/gl/GLDevice.h"

GLDeviceChild::GLDeviceChild(GLDevice* device, bool defaultPool) : device_(device), defaultPool_(defaultPool)
{
    if (device_) {
        device_->RegisterChild(this);
        device_->AddRef(); // for the reference the creator gets
    }
}

GLDeviceChild::GLDeviceChild(GLDevice* device, GLDeviceChild* container)
    : device_(device), container_(container), defaultPool_(false), external_(0)
{
    if (device_)
        device_->RegisterChild(this);
}

ULONG GLDeviceChild::AddRefExternal()
{
    if (container_)
        return container_->AddRefExternal();
    if (external_++ == 0 && device_)
        device_->AddRef();
    return external_;
}

ULONG GLDeviceChild::ReleaseExternal()
{
    if (container_)
        return container_->ReleaseExternal();
    if (external_ == 0)
        return 0;
    const ULONG left = --external_;
    if (left == 0) {
        GLDevice* device = device_;
        if (internal_ == 0)
            delete this;
        // May delete the device, which then drops its bindings of this object.
        if (device)
            device->Release();
    }
    return left;
}

void GLDeviceChild::AddRefInternal()
{
    if (container_) {
        container_->AddRefInternal();
        return;
    }
    ++internal_;
}

void GLDeviceChild::ReleaseInternal()
{
    if (container_) {
        container_->ReleaseInternal();
        return;
    }
    if (internal_ == 0)
        return;
    if (--internal_ == 0 && external_ == 0)
        delete this;
}

ULONG GLDeviceChild::ExternalRefs() const
{
    return container_ ? container_->ExternalRefs() : external_;
}

GLDeviceChild::~GLDeviceChild()
{
    if (device_)
        device_->UnregisterChild(this);
}

void GLDeviceChild::DetachFromDevice()
{
    ForgetGLObjects();
    device_ = nullptr;
}

HRESULT GLDeviceChild::GetDeviceInterface(IDirect3DDevice9** ppDevice) const
{
    if (!ppDevice || !device_)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}

#include "d3d9/gl/GLDeviceChild.h"

#include "d3d9/gl/GLDevice.h"

GLDeviceChild::GLDeviceChild(GLDevice* device, bool defaultPool) : device_(device), defaultPool_(defaultPool)
{
    if (device_)
        device_->RegisterChild(this);
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

#pragma once
#include "d3d9/gl/GLDeviceChild.h"

class GLTextureStorage;

// A level of a volume texture; shares the texture's reference count.
class GLVolume : public IDirect3DVolume9, public GLDeviceChild {
public:
    GLVolume(GLDevice* device, IUnknown* container, GLTextureStorage* storage, UINT level);

    ULONG AddRef() override { return AddRefExternal(); }
    ULONG Release() override { return ReleaseExternal(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceInterface(ppDevice); }
    HRESULT GetDesc(D3DVOLUME_DESC* pDesc) override;
    HRESULT LockBox(D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox, DWORD Flags) override;
    HRESULT UnlockBox() override;

private:
    void ForgetGLObjects() override {}

    GLTextureStorage* storage_;
    UINT level_;
};

#pragma once
#include <memory>
#include <vector>

#include "d3d9/gl/GLBaseTexture.h"
#include "d3d9/gl/GLDeviceChild.h"
#include "d3d9/gl/GLTextureStorage.h"
#include "d3d9/gl/GLVolume.h"

// A volume texture of the GL device (a GL 3D texture; slice 0 of LockBox memory is w = 0).
class GLVolumeTexture : public IDirect3DVolumeTexture9, public GLDeviceChild, public GLBaseTexture {
public:
    ULONG AddRef() override { return AddRefExternal(); }
    ULONG Release() override { return ReleaseExternal(); }
    static HRESULT Create(GLDevice* device, UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DVolumeTexture9** texture);
    ~GLVolumeTexture() override;

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceInterface(ppDevice); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VOLUMETEXTURE; }
    DWORD GetLevelCount() override { return storage_.LevelCount(); }
    HRESULT GetLevelDesc(UINT Level, D3DVOLUME_DESC* pDesc) override;
    HRESULT GetVolumeLevel(UINT Level, IDirect3DVolume9** ppVolumeLevel) override;
    HRESULT LockBox(UINT Level, D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox, DWORD Flags) override;
    HRESULT UnlockBox(UINT Level) override;

    GLTextureStorage& Storage() override { return storage_; }

private:
    GLVolumeTexture(GLDevice* device, UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                    D3DPOOL pool);
    void ForgetGLObjects() override { storage_.ForgetGLObjects(); }

    GLTextureStorage storage_;
    std::vector<std::unique_ptr<GLVolume>> volumes_;
};

#pragma once
#include <memory>
#include <vector>

#include "d3d9/gl/GLBaseTexture.h"
#include "d3d9/gl/GLDeviceChild.h"
#include "d3d9/gl/GLSurface.h"
#include "d3d9/gl/GLTextureStorage.h"

// A 2D texture of the GL device. Its levels are surfaces that share its reference count; those of a
// D3DUSAGE_RENDERTARGET texture can be render targets.
class GLTexture : public IDirect3DTexture9, public GLDeviceChild, public GLBaseTexture {
public:
    ULONG AddRef() override { return AddRefExternal(); }
    ULONG Release() override { return ReleaseExternal(); }
    static HRESULT Create(GLDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture9** texture);
    ~GLTexture() override;

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceInterface(ppDevice); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return storage_.LevelCount(); }
    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
    HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect(UINT Level) override;

    GLTextureStorage& Storage() override { return storage_; }

private:
    GLTexture(GLDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    void ForgetGLObjects() override { storage_.ForgetGLObjects(); }

    GLTextureStorage storage_;
    std::vector<std::unique_ptr<GLSurface>> surfaces_;
};

#pragma once
#include <memory>
#include <vector>

#include "d3d9/gl/GLBaseTexture.h"
#include "d3d9/gl/GLDeviceChild.h"
#include "d3d9/gl/GLSurface.h"
#include "d3d9/gl/GLTextureStorage.h"

// A cube texture of the GL device: six faces, each a surface per level (render targets when made
// with D3DUSAGE_RENDERTARGET). Faces keep Direct3D's orientation: row 0 of a face is its top as
// Direct3D's face table defines it, both when locked and when drawn into.
class GLCubeTexture : public IDirect3DCubeTexture9, public GLDeviceChild, public GLBaseTexture {
public:
    ULONG AddRef() override { return AddRefExternal(); }
    ULONG Release() override { return ReleaseExternal(); }
    static HRESULT Create(GLDevice* device, UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DCubeTexture9** texture);
    ~GLCubeTexture() override;

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceInterface(ppDevice); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
    DWORD GetLevelCount() override { return storage_.LevelCount(); }
    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level, IDirect3DSurface9** ppCubeMapSurface) override;
    HRESULT LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                     DWORD Flags) override;
    HRESULT UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) override;

    GLTextureStorage& Storage() override { return storage_; }

private:
    GLCubeTexture(GLDevice* device, UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    void ForgetGLObjects() override { storage_.ForgetGLObjects(); }
    GLSurface* Find(D3DCUBEMAP_FACES face, UINT level);

    GLTextureStorage storage_;
    std::vector<std::unique_ptr<GLSurface>> surfaces_; // face * levels + level
};

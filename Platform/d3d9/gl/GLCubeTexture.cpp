#include "d3d9/gl/GLCubeTexture.h"

#include "d3d9/D3DValidation.h"

GLCubeTexture::GLCubeTexture(GLDevice* device, UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                             D3DPOOL pool)
    : GLDeviceChild(device, pool == D3DPOOL_DEFAULT),
      storage_(device, GL_TEXTURE_CUBE_MAP, edgeLength, edgeLength, 1, levels, usage, format, pool)
{
}

GLCubeTexture::~GLCubeTexture() = default;

HRESULT GLCubeTexture::Create(GLDevice* device, UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DCubeTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    GLCubeTexture* t = new GLCubeTexture(device, edgeLength, levels, usage, format, pool);
    const HRESULT hr = t->storage_.Create();
    if ((hr < 0)) {
        t->Release();
        return hr;
    }
    for (UINT face = 0; face < 6; ++face)
        for (UINT level = 0; level < t->storage_.LevelCount(); ++level)
            t->surfaces_.emplace_back(new GLSurface(device, t, &t->storage_, face, level));
    *texture = t;
    return D3D_OK;
}

GLSurface* GLCubeTexture::Find(D3DCUBEMAP_FACES face, UINT level)
{
    if (static_cast<DWORD>(face) >= 6 || level >= storage_.LevelCount())
        return nullptr;
    return surfaces_[static_cast<size_t>(face) * storage_.LevelCount() + level].get();
}

HRESULT GLCubeTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc)
{
    GLSurface* s = Find(D3DCUBEMAP_FACE_POSITIVE_X, Level);
    return s ? s->GetDesc(pDesc) : D3DERR_INVALIDCALL;
}

HRESULT GLCubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level, IDirect3DSurface9** ppCubeMapSurface)
{
    GLSurface* s = Find(FaceType, Level);
    if (!s || !ppCubeMapSurface)
        return D3DERR_INVALIDCALL;
    AddRef();
    *ppCubeMapSurface = s;
    return D3D_OK;
}

HRESULT GLCubeTexture::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                DWORD Flags)
{
    GLSurface* s = Find(FaceType, Level);
    return s ? s->LockRect(pLockedRect, pRect, Flags) : D3DLockResult(D3DERR_INVALIDCALL, pLockedRect);
}

HRESULT GLCubeTexture::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level)
{
    GLSurface* s = Find(FaceType, Level);
    return s ? s->UnlockRect() : D3DERR_INVALIDCALL;
}

#include "d3d9/gl/GLTexture.h"

#include "d3d9/D3DValidation.h"

GLTexture::GLTexture(GLDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                     D3DPOOL pool)
    : GLDeviceChild(device, pool == D3DPOOL_DEFAULT),
      storage_(device, GL_TEXTURE_2D, width, height, 1, levels, usage, format, pool)
{
}

GLTexture::~GLTexture() = default;

HRESULT GLTexture::Create(GLDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    GLTexture* t = new GLTexture(device, width, height, levels, usage, format, pool);
    const HRESULT hr = t->storage_.Create();
    if ((hr < 0)) {
        t->Release();
        return hr;
    }
    for (UINT level = 0; level < t->storage_.LevelCount(); ++level)
        t->surfaces_.emplace_back(new GLSurface(device, t, &t->storage_, 0, level));
    *texture = t;
    return D3D_OK;
}

HRESULT GLTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc)
{
    if (Level >= surfaces_.size())
        return D3DERR_INVALIDCALL;
    return surfaces_[Level]->GetDesc(pDesc);
}

HRESULT GLTexture::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel)
{
    if (!ppSurfaceLevel || Level >= surfaces_.size())
        return D3DERR_INVALIDCALL;
    AddRef();
    *ppSurfaceLevel = surfaces_[Level].get();
    return D3D_OK;
}

HRESULT GLTexture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags)
{
    if (Level >= surfaces_.size())
        return D3DLockResult(D3DERR_INVALIDCALL, pLockedRect);
    return surfaces_[Level]->LockRect(pLockedRect, pRect, Flags);
}

HRESULT GLTexture::UnlockRect(UINT Level)
{
    if (Level >= surfaces_.size())
        return D3DERR_INVALIDCALL;
    return surfaces_[Level]->UnlockRect();
}

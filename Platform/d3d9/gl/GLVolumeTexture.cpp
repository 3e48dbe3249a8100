#include "d3d9/gl/GLVolumeTexture.h"

#include "d3d9/D3DValidation.h"

GLVolumeTexture::GLVolumeTexture(GLDevice* device, UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                 D3DFORMAT format, D3DPOOL pool)
    : GLDeviceChild(device, pool == D3DPOOL_DEFAULT),
      storage_(device, GL_TEXTURE_3D, width, height, depth, levels, usage, format, pool)
{
}

GLVolumeTexture::~GLVolumeTexture() = default;

HRESULT GLVolumeTexture::Create(GLDevice* device, UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                D3DFORMAT format, D3DPOOL pool, IDirect3DVolumeTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    // Volumes cannot be drawn into or used as depth buffers.
    if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL))
        return D3DERR_INVALIDCALL;
    GLVolumeTexture* t = new GLVolumeTexture(device, width, height, depth, levels, usage, format, pool);
    const HRESULT hr = t->storage_.Create();
    if ((hr < 0)) {
        t->Release();
        return hr;
    }
    for (UINT level = 0; level < t->storage_.LevelCount(); ++level)
        t->volumes_.emplace_back(new GLVolume(device, t, &t->storage_, level));
    *texture = t;
    return D3D_OK;
}

HRESULT GLVolumeTexture::GetLevelDesc(UINT Level, D3DVOLUME_DESC* pDesc)
{
    return Level < volumes_.size() ? volumes_[Level]->GetDesc(pDesc) : D3DERR_INVALIDCALL;
}

HRESULT GLVolumeTexture::GetVolumeLevel(UINT Level, IDirect3DVolume9** ppVolumeLevel)
{
    if (!ppVolumeLevel || Level >= volumes_.size())
        return D3DERR_INVALIDCALL;
    AddRef();
    *ppVolumeLevel = volumes_[Level].get();
    return D3D_OK;
}

HRESULT GLVolumeTexture::LockBox(UINT Level, D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox, DWORD Flags)
{
    return Level < volumes_.size() ? volumes_[Level]->LockBox(pLockedVolume, pBox, Flags)
                                   : D3DLockResult(D3DERR_INVALIDCALL, pLockedVolume);
}

HRESULT GLVolumeTexture::UnlockBox(UINT Level)
{
    return Level < volumes_.size() ? volumes_[Level]->UnlockBox() : D3DERR_INVALIDCALL;
}

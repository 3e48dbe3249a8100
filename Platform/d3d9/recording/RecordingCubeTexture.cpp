#include "d3d9/recording/RecordingCubeTexture.h"

#include <utility>

#include "d3d9/D3DValidation.h"
#include "d3d9/recording/RecordingCallText.h"
#include "d3d9/recording/RecordingDevice.h"

RecordingCubeTexture::RecordingCubeTexture(RecordingDevice* device, std::string name, UINT edgeLength, UINT levels,
                                           DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : RecordingObject(device, std::move(name), pool == D3DPOOL_DEFAULT), pool_(pool), levels_(levels)
{
    bool lockable = pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) != 0;
    surfaces_.reserve(std::size_t{levels} * 6);
    for (UINT face = 0; face < 6; ++face) {
        for (UINT level = 0; level < levels; ++level) {
            UINT extent = D3DMipExtent(edgeLength, level);
            D3DSURFACE_DESC desc{format, D3DRTYPE_SURFACE, usage, pool, D3DMULTISAMPLE_NONE, 0, extent, extent};
            surfaces_.push_back(std::make_unique<RecordingSurface>(
                this, Name() + ".face" + std::to_string(face) + ".level" + std::to_string(level), desc, lockable));
        }
    }
}

RecordingSurface* RecordingCubeTexture::Find(D3DCUBEMAP_FACES face, UINT level) const
{
    if (face > D3DCUBEMAP_FACE_NEGATIVE_Z || level >= levels_) {
        return nullptr;
    }
    return surfaces_[std::size_t{face} * levels_ + level].get();
}

D3DRESOURCETYPE RecordingCubeTexture::GetType()
{
    Device()->Record("GetType", RecordingCallText().Object(this).Take(), D3D_OK);
    return D3DRTYPE_CUBETEXTURE;
}

DWORD RecordingCubeTexture::GetLevelCount()
{
    Device()->Record("GetLevelCount", RecordingCallText().Object(this).Take(), D3D_OK);
    return levels_;
}

HRESULT RecordingCubeTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc)
{
    RecordingSurface* surface = Find(D3DCUBEMAP_FACE_POSITIVE_X, Level);
    HRESULT hr = D3DERR_INVALIDCALL;
    if (surface != nullptr && pDesc != nullptr) {
        *pDesc = surface->Desc();
        hr = D3D_OK;
    }
    Device()->Record("GetLevelDesc", RecordingCallText().Object(this).Unsigned(Level).Take(), hr);
    return hr;
}

HRESULT RecordingCubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level,
                                                IDirect3DSurface9** ppCubeMapSurface)
{
    RecordingSurface* surface = Find(FaceType, Level);
    HRESULT hr = D3DERR_INVALIDCALL;
    if (surface != nullptr && ppCubeMapSurface != nullptr) {
        surface->AddRefExternal();
        *ppCubeMapSurface = surface;
        hr = D3D_OK;
    }
    Device()->Record("GetCubeMapSurface",
                     RecordingCallText().Object(this).Unsigned(FaceType).Unsigned(Level).Take(), hr);
    return hr;
}

HRESULT RecordingCubeTexture::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                                       const RECT* pRect, DWORD Flags)
{
    RecordingSurface* surface = Find(FaceType, Level);
    HRESULT hr = surface != nullptr ? surface->LockUnlogged(pLockedRect, pRect, Flags)
                                    : D3DLockResult(D3DERR_INVALIDCALL, pLockedRect);
    Device()->Record(
        "LockRect",
        RecordingCallText().Object(this).Unsigned(FaceType).Unsigned(Level).Rect(pRect).Hex(Flags).Take(), hr);
    return hr;
}

HRESULT RecordingCubeTexture::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level)
{
    RecordingSurface* surface = Find(FaceType, Level);
    HRESULT hr = surface != nullptr ? surface->UnlockUnlogged() : D3DERR_INVALIDCALL;
    Device()->Record("UnlockRect", RecordingCallText().Object(this).Unsigned(FaceType).Unsigned(Level).Take(), hr);
    return hr;
}

#include "d3d9/recording/RecordingTexture.h"

#include <utility>

#include "d3d9/D3DValidation.h"
#include "d3d9/recording/RecordingCallText.h"
#include "d3d9/recording/RecordingDevice.h"

RecordingTexture::RecordingTexture(RecordingDevice* device, std::string name, UINT width, UINT height, UINT levels,
                                   DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : RecordingObject(device, std::move(name), pool == D3DPOOL_DEFAULT), pool_(pool)
{
    bool lockable = pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) != 0;
    levels_.reserve(levels);
    for (UINT level = 0; level < levels; ++level) {
        D3DSURFACE_DESC desc{format,
                             D3DRTYPE_SURFACE,
                             usage,
                             pool,
                             D3DMULTISAMPLE_NONE,
                             0,
                             D3DMipExtent(width, level),
                             D3DMipExtent(height, level)};
        levels_.push_back(std::make_unique<RecordingSurface>(this, Name() + ".level" + std::to_string(level), desc,
                                                             lockable));
    }
}

D3DRESOURCETYPE RecordingTexture::GetType()
{
    Device()->Record("GetType", RecordingCallText().Object(this).Take(), D3D_OK);
    return D3DRTYPE_TEXTURE;
}

DWORD RecordingTexture::GetLevelCount()
{
    Device()->Record("GetLevelCount", RecordingCallText().Object(this).Take(), D3D_OK);
    return static_cast<DWORD>(levels_.size());
}

HRESULT RecordingTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc)
{
    HRESULT hr = D3DERR_INVALIDCALL;
    if (Level < levels_.size() && pDesc != nullptr) {
        *pDesc = levels_[Level]->Desc();
        hr = D3D_OK;
    }
    Device()->Record("GetLevelDesc", RecordingCallText().Object(this).Unsigned(Level).Take(), hr);
    return hr;
}

HRESULT RecordingTexture::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel)
{
    HRESULT hr = D3DERR_INVALIDCALL;
    if (Level < levels_.size() && ppSurfaceLevel != nullptr) {
        levels_[Level]->AddRefExternal();
        *ppSurfaceLevel = levels_[Level].get();
        hr = D3D_OK;
    }
    Device()->Record("GetSurfaceLevel", RecordingCallText().Object(this).Unsigned(Level).Take(), hr);
    return hr;
}

HRESULT RecordingTexture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags)
{
    HRESULT hr = Level < levels_.size() ? levels_[Level]->LockUnlogged(pLockedRect, pRect, Flags)
                                        : D3DLockResult(D3DERR_INVALIDCALL, pLockedRect);
    Device()->Record("LockRect", RecordingCallText().Object(this).Unsigned(Level).Rect(pRect).Hex(Flags).Take(), hr);
    return hr;
}

HRESULT RecordingTexture::UnlockRect(UINT Level)
{
    HRESULT hr = Level < levels_.size() ? levels_[Level]->UnlockUnlogged() : D3DERR_INVALIDCALL;
    Device()->Record("UnlockRect", RecordingCallText().Object(this).Unsigned(Level).Take(), hr);
    return hr;
}

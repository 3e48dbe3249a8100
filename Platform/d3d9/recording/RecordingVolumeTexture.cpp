#include "d3d9/recording/RecordingVolumeTexture.h"

#include <utility>

#include "d3d9/D3DValidation.h"
#include "d3d9/recording/RecordingCallText.h"
#include "d3d9/recording/RecordingDevice.h"

RecordingVolumeTexture::RecordingVolumeTexture(RecordingDevice* device, std::string name, UINT width, UINT height,
                                               UINT depth, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : RecordingObject(device, std::move(name), pool == D3DPOOL_DEFAULT), pool_(pool)
{
    bool lockable = pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) != 0;
    levels_.reserve(levels);
    for (UINT level = 0; level < levels; ++level) {
        D3DVOLUME_DESC desc{format,
                            D3DRTYPE_VOLUME,
                            usage,
                            pool,
                            D3DMipExtent(width, level),
                            D3DMipExtent(height, level),
                            D3DMipExtent(depth, level)};
        levels_.push_back(
            std::make_unique<RecordingVolume>(this, Name() + ".level" + std::to_string(level), desc, lockable));
    }
}

D3DRESOURCETYPE RecordingVolumeTexture::GetType()
{
    Device()->Record("GetType", RecordingCallText().Object(this).Take(), D3D_OK);
    return D3DRTYPE_VOLUMETEXTURE;
}

DWORD RecordingVolumeTexture::GetLevelCount()
{
    Device()->Record("GetLevelCount", RecordingCallText().Object(this).Take(), D3D_OK);
    return static_cast<DWORD>(levels_.size());
}

HRESULT RecordingVolumeTexture::GetLevelDesc(UINT Level, D3DVOLUME_DESC* pDesc)
{
    HRESULT hr = D3DERR_INVALIDCALL;
    if (Level < levels_.size() && pDesc != nullptr) {
        *pDesc = levels_[Level]->Desc();
        hr = D3D_OK;
    }
    Device()->Record("GetLevelDesc", RecordingCallText().Object(this).Unsigned(Level).Take(), hr);
    return hr;
}

HRESULT RecordingVolumeTexture::GetVolumeLevel(UINT Level, IDirect3DVolume9** ppVolumeLevel)
{
    HRESULT hr = D3DERR_INVALIDCALL;
    if (Level < levels_.size() && ppVolumeLevel != nullptr) {
        levels_[Level]->AddRefExternal();
        *ppVolumeLevel = levels_[Level].get();
        hr = D3D_OK;
    }
    Device()->Record("GetVolumeLevel", RecordingCallText().Object(this).Unsigned(Level).Take(), hr);
    return hr;
}

HRESULT RecordingVolumeTexture::LockBox(UINT Level, D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox, DWORD Flags)
{
    HRESULT hr = Level < levels_.size() ? levels_[Level]->LockUnlogged(pLockedVolume, pBox, Flags)
                                        : D3DLockResult(D3DERR_INVALIDCALL, pLockedVolume);
    Device()->Record("LockBox", RecordingCallText().Object(this).Unsigned(Level).Box(pBox).Hex(Flags).Take(), hr);
    return hr;
}

HRESULT RecordingVolumeTexture::UnlockBox(UINT Level)
{
    HRESULT hr = Level < levels_.size() ? levels_[Level]->UnlockUnlogged() : D3DERR_INVALIDCALL;
    Device()->Record("UnlockBox", RecordingCallText().Object(this).Unsigned(Level).Take(), hr);
    return hr;
}

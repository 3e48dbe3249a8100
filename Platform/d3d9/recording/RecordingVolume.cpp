#include "d3d9/recording/RecordingVolume.h"

#include <utility>

#include "d3d9/D3DValidation.h"
#include "d3d9/recording/RecordingCallText.h"
#include "d3d9/recording/RecordingDevice.h"
#include "d3d9/recording/RecordingSurface.h"

RecordingVolume::RecordingVolume(RecordingObject* container, std::string name, const D3DVOLUME_DESC& desc,
                                 bool lockable)
    : RecordingObject(container, std::move(name)), desc_(desc), lockable_(lockable),
      image_(desc.Format, desc.Width, desc.Height, desc.Depth)
{
}

HRESULT RecordingVolume::GetDesc(D3DVOLUME_DESC* pDesc)
{
    HRESULT hr = pDesc != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
    if (pDesc != nullptr) {
        *pDesc = desc_;
    }
    Device()->Record("GetDesc", RecordingCallText().Object(this).Take(), hr);
    return hr;
}

HRESULT RecordingVolume::LockUnlogged(D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox, DWORD Flags)
{
    HRESULT hr = lockable_ ? CheckRecordingImageLockFlags(Flags, desc_.Usage) : D3DERR_INVALIDCALL;
    if (hr == D3D_OK) {
        hr = image_.LockBox(pBox, pLockedVolume);
    }
    return D3DLockResult(hr, pLockedVolume);
}

HRESULT RecordingVolume::UnlockUnlogged()
{
    // A level that is not locked unlocks without complaint, as a texture's surface does.
    return image_.Locked() ? image_.Unlock() : D3D_OK;
}

HRESULT RecordingVolume::LockBox(D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox, DWORD Flags)
{
    HRESULT hr = LockUnlogged(pLockedVolume, pBox, Flags);
    Device()->Record("LockBox", RecordingCallText().Object(this).Box(pBox).Hex(Flags).Take(), hr);
    return hr;
}

HRESULT RecordingVolume::UnlockBox()
{
    HRESULT hr = UnlockUnlogged();
    Device()->Record("UnlockBox", RecordingCallText().Object(this).Take(), hr);
    return hr;
}

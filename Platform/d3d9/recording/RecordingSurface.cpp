#include "d3d9/recording/RecordingSurface.h"

#include <utility>

#include "d3d9/D3DValidation.h"
#include "d3d9/recording/RecordingCallText.h"
#include "d3d9/recording/RecordingDevice.h"

HRESULT CheckRecordingImageLockFlags(DWORD flags, DWORD usage)
{
    constexpr DWORD kKnown =
        D3DLOCK_READONLY | D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK | D3DLOCK_DONOTWAIT | D3DLOCK_NO_DIRTY_UPDATE;
    if ((flags & ~kKnown) != 0) {
        return D3DERR_INVALIDCALL;
    }
    if ((flags & D3DLOCK_DISCARD) != 0 && ((usage & D3DUSAGE_DYNAMIC) == 0 || (flags & D3DLOCK_READONLY) != 0)) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

RecordingSurface::RecordingSurface(RecordingDevice* device, std::string name, const D3DSURFACE_DESC& desc,
                                   bool lockable, bool countsForReset)
    : RecordingObject(device, std::move(name), countsForReset), desc_(desc), lockable_(lockable),
      image_(desc.Format, desc.Width, desc.Height)
{
}

RecordingSurface::RecordingSurface(RecordingObject* container, std::string name, const D3DSURFACE_DESC& desc,
                                   bool lockable)
    : RecordingObject(container, std::move(name)), desc_(desc), lockable_(lockable),
      image_(desc.Format, desc.Width, desc.Height)
{
}

D3DRESOURCETYPE RecordingSurface::GetType()
{
    Device()->Record("GetType", RecordingCallText().Object(this).Take(), D3D_OK);
    return D3DRTYPE_SURFACE;
}

HRESULT RecordingSurface::GetDesc(D3DSURFACE_DESC* pDesc)
{
    HRESULT hr = pDesc != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
    if (pDesc != nullptr) {
        *pDesc = desc_;
    }
    Device()->Record("GetDesc", RecordingCallText().Object(this).Take(), hr);
    return hr;
}

HRESULT RecordingSurface::LockUnlogged(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags)
{
    HRESULT hr = lockable_ ? CheckRecordingImageLockFlags(Flags, desc_.Usage) : D3DERR_INVALIDCALL;
    if (hr == D3D_OK) {
        hr = image_.LockRect(pRect, pLockedRect);
    }
    return D3DLockResult(hr, pLockedRect);
}

HRESULT RecordingSurface::UnlockUnlogged()
{
    // A texture's level answers D3D_OK when it is not locked; other surfaces refuse.
    return IsLevel() && !image_.Locked() ? D3D_OK : image_.Unlock();
}

HRESULT RecordingSurface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags)
{
    HRESULT hr = LockUnlogged(pLockedRect, pRect, Flags);
    Device()->Record("LockRect", RecordingCallText().Object(this).Rect(pRect).Hex(Flags).Take(), hr);
    return hr;
}

HRESULT RecordingSurface::UnlockRect()
{
    HRESULT hr = UnlockUnlogged();
    Device()->Record("UnlockRect", RecordingCallText().Object(this).Take(), hr);
    return hr;
}

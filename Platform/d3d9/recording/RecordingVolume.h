#pragma once
#include <string>

#include "d3d9/d3d9.h"
#include "d3d9/recording/RecordingImage.h"
#include "d3d9/recording/RecordingObject.h"

// A level of a volume texture of the recording device ("volumetexture#1.level0"); its references
// are its texture's. Its bytes persist between locks.
class RecordingVolume : public IDirect3DVolume9, public RecordingObject {
public:
    // Throws std::bad_alloc when the bytes cannot be had.
    RecordingVolume(RecordingObject* container, std::string name, const D3DVOLUME_DESC& desc, bool lockable);

    ULONG AddRef() override { return LoggedAddRef(); }
    ULONG Release() override { return LoggedRelease(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOf(ppDevice); }
    HRESULT GetDesc(D3DVOLUME_DESC* pDesc) override;
    HRESULT LockBox(D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox, DWORD Flags) override;
    HRESULT UnlockBox() override;

    // The same without a log entry, for the texture that holds this level. A failed lock clears
    // pBits; a level that is not locked unlocks with D3D_OK.
    HRESULT LockUnlogged(D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox, DWORD Flags);
    HRESULT UnlockUnlogged();

    const D3DVOLUME_DESC& Desc() const { return desc_; }

private:
    D3DVOLUME_DESC desc_;
    bool lockable_;
    RecordingImage image_;
};

#pragma once
#include <memory>
#include <string>
#include <vector>

#include "d3d9/d3d9.h"
#include "d3d9/recording/RecordingObject.h"
#include "d3d9/recording/RecordingVolume.h"

// A volume texture of the recording device: its mip levels are volumes it owns. Levels of a
// D3DPOOL_DEFAULT volume texture without D3DUSAGE_DYNAMIC cannot be locked.
class RecordingVolumeTexture : public IDirect3DVolumeTexture9, public RecordingObject {
public:
    // Arguments already validated; levels is the actual count. Throws std::bad_alloc.
    RecordingVolumeTexture(RecordingDevice* device, std::string name, UINT width, UINT height, UINT depth,
                           UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);

    ULONG AddRef() override { return LoggedAddRef(); }
    ULONG Release() override { return LoggedRelease(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOf(ppDevice); }
    D3DRESOURCETYPE GetType() override;
    DWORD GetLevelCount() override;
    HRESULT GetLevelDesc(UINT Level, D3DVOLUME_DESC* pDesc) override;
    HRESULT GetVolumeLevel(UINT Level, IDirect3DVolume9** ppVolumeLevel) override;
    HRESULT LockBox(UINT Level, D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox, DWORD Flags) override;
    HRESULT UnlockBox(UINT Level) override;

    D3DPOOL Pool() const { return pool_; }

private:
    D3DPOOL pool_;
    std::vector<std::unique_ptr<RecordingVolume>> levels_;
};

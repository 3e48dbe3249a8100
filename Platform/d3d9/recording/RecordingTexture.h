#pragma once
#include <memory>
#include <string>
#include <vector>

#include "d3d9/d3d9.h"
#include "d3d9/recording/RecordingObject.h"
#include "d3d9/recording/RecordingSurface.h"

// A 2D texture of the recording device: its mip levels are surfaces it owns ("texture#3.level0").
// Levels of a D3DPOOL_DEFAULT texture without D3DUSAGE_DYNAMIC cannot be locked.
class RecordingTexture : public IDirect3DTexture9, public RecordingObject {
public:
    // Arguments already validated; levels is the actual count. Throws std::bad_alloc.
    RecordingTexture(RecordingDevice* device, std::string name, UINT width, UINT height, UINT levels, DWORD usage,
                     D3DFORMAT format, D3DPOOL pool);

    ULONG AddRef() override { return LoggedAddRef(); }
    ULONG Release() override { return LoggedRelease(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOf(ppDevice); }
    D3DRESOURCETYPE GetType() override;
    DWORD GetLevelCount() override;
    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
    HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect(UINT Level) override;

    D3DPOOL Pool() const { return pool_; }

private:
    D3DPOOL pool_;
    std::vector<std::unique_ptr<RecordingSurface>> levels_;
};

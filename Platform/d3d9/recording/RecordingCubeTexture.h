#pragma once
#include <memory>
#include <string>
#include <vector>

#include "d3d9/d3d9.h"
#include "d3d9/recording/RecordingObject.h"
#include "d3d9/recording/RecordingSurface.h"

// A cube texture of the recording device: six faces of mip levels, surfaces it owns
// ("cubetexture#1.face2.level0"). Levels of a D3DPOOL_DEFAULT cube texture without
// D3DUSAGE_DYNAMIC cannot be locked.
class RecordingCubeTexture : public IDirect3DCubeTexture9, public RecordingObject {
public:
    // Arguments already validated; levels is the actual count. Throws std::bad_alloc.
    RecordingCubeTexture(RecordingDevice* device, std::string name, UINT edgeLength, UINT levels, DWORD usage,
                         D3DFORMAT format, D3DPOOL pool);

    ULONG AddRef() override { return LoggedAddRef(); }
    ULONG Release() override { return LoggedRelease(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOf(ppDevice); }
    D3DRESOURCETYPE GetType() override;
    DWORD GetLevelCount() override;
    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level, IDirect3DSurface9** ppCubeMapSurface) override;
    HRESULT LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                     DWORD Flags) override;
    HRESULT UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) override;

    D3DPOOL Pool() const { return pool_; }

private:
    // The surface of a face and level, or null when either is out of range.
    RecordingSurface* Find(D3DCUBEMAP_FACES face, UINT level) const;

    D3DPOOL pool_;
    UINT levels_;
    std::vector<std::unique_ptr<RecordingSurface>> surfaces_; // face-major
};

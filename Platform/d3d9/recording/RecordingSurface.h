#pragma once
#include <string>

#include "d3d9/d3d9.h"
#include "d3d9/recording/RecordingImage.h"
#include "d3d9/recording/RecordingObject.h"

// A surface of the recording device: a render target, depth-stencil or plain surface of its own,
// the back buffer, or a level (or cube face level) of a texture, whose references are its
// texture's. Its bytes persist between locks.
class RecordingSurface : public IDirect3DSurface9, public RecordingObject {
public:
    // Throw std::bad_alloc when the bytes cannot be had.
    RecordingSurface(RecordingDevice* device, std::string name, const D3DSURFACE_DESC& desc, bool lockable,
                     bool countsForReset);
    RecordingSurface(RecordingObject* container, std::string name, const D3DSURFACE_DESC& desc, bool lockable);

    ULONG AddRef() override { return LoggedAddRef(); }
    ULONG Release() override { return LoggedRelease(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOf(ppDevice); }
    D3DRESOURCETYPE GetType() override;
    HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect() override;

    // The same without a log entry, for the texture that holds this level. A failed lock clears
    // pBits; a texture's level that is not locked unlocks with D3D_OK.
    HRESULT LockUnlogged(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags);
    HRESULT UnlockUnlogged();

    const D3DSURFACE_DESC& Desc() const { return desc_; }
    RecordingImage& Image() { return image_; }
    bool IsRenderTarget() const { return (desc_.Usage & D3DUSAGE_RENDERTARGET) != 0; }
    bool IsDepthStencil() const { return (desc_.Usage & D3DUSAGE_DEPTHSTENCIL) != 0; }

private:
    D3DSURFACE_DESC desc_;
    bool lockable_;
    RecordingImage image_;
};

// The lock flags a texture level or surface accepts: D3DERR_INVALIDCALL for unknown bits,
// D3DLOCK_NOOVERWRITE, D3DLOCK_DISCARD on a resource without D3DUSAGE_DYNAMIC, or D3DLOCK_DISCARD
// with D3DLOCK_READONLY.
HRESULT CheckRecordingImageLockFlags(DWORD flags, DWORD usage);

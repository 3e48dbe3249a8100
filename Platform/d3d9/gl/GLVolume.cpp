#include "d3d9/gl/GLVolume.h"

#include "d3d9/D3DValidation.h"

#include "d3d9/gl/GLTextureStorage.h"

GLVolume::GLVolume(GLDevice* device, IUnknown* container, GLTextureStorage* storage, UINT level)
    : GLDeviceChild(device, dynamic_cast<GLDeviceChild*>(container)), storage_(storage), level_(level)
{
}

HRESULT GLVolume::GetDesc(D3DVOLUME_DESC* pDesc)
{
    if (!pDesc)
        return D3DERR_INVALIDCALL;
    pDesc->Format = storage_->Format();
    pDesc->Type = D3DRTYPE_VOLUME;
    pDesc->Usage = storage_->Usage();
    pDesc->Pool = storage_->Pool();
    pDesc->Width = storage_->Width(level_);
    pDesc->Height = storage_->Height(level_);
    pDesc->Depth = storage_->Depth(level_);
    return D3D_OK;
}

HRESULT GLVolume::LockBox(D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox, DWORD Flags)
{
    if (!pLockedVolume)
        return D3DERR_INVALIDCALL;
    return D3DLockResult(storage_->Lock(0, level_, pBox, Flags, &pLockedVolume->pBits, &pLockedVolume->RowPitch,
                                        &pLockedVolume->SlicePitch),
                         pLockedVolume);
}

HRESULT GLVolume::UnlockBox()
{
    return storage_->Unlock(0, level_);
}

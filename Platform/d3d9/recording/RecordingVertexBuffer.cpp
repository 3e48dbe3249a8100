#include "d3d9/recording/RecordingVertexBuffer.h"

#include <utility>

#include "d3d9/recording/RecordingCallText.h"
#include "d3d9/recording/RecordingDevice.h"

RecordingVertexBuffer::RecordingVertexBuffer(RecordingDevice* device, std::string name,
                                             const D3DVERTEXBUFFER_DESC& desc)
    : RecordingObject(device, std::move(name), desc.Pool == D3DPOOL_DEFAULT), desc_(desc), bytes_(desc.Size)
{
}

D3DRESOURCETYPE RecordingVertexBuffer::GetType()
{
    Device()->Record("GetType", RecordingCallText().Object(this).Take(), D3D_OK);
    return D3DRTYPE_VERTEXBUFFER;
}

HRESULT RecordingVertexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags)
{
    HRESULT hr = bytes_.Lock(OffsetToLock, SizeToLock, ppbData, Flags);
    Device()->Record(
        "Lock", RecordingCallText().Object(this).Unsigned(OffsetToLock).Unsigned(SizeToLock).Hex(Flags).Take(), hr);
    return hr;
}

HRESULT RecordingVertexBuffer::Unlock()
{
    HRESULT hr = bytes_.Unlock();
    Device()->Record("Unlock", RecordingCallText().Object(this).Take(), hr);
    return hr;
}

HRESULT RecordingVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc)
{
    HRESULT hr = pDesc != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
    if (pDesc != nullptr) {
        *pDesc = desc_;
    }
    Device()->Record("GetDesc", RecordingCallText().Object(this).Take(), hr);
    return hr;
}

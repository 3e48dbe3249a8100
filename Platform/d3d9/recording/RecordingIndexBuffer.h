#pragma once
#include <string>

#include "d3d9/d3d9.h"
#include "d3d9/recording/RecordingBufferBytes.h"
#include "d3d9/recording/RecordingObject.h"

// A index buffer of the recording device ("indexbuffer#1"); its bytes persist between locks.
class RecordingIndexBuffer : public IDirect3DIndexBuffer9, public RecordingObject {
public:
    // Arguments already validated. Throws std::bad_alloc.
    RecordingIndexBuffer(RecordingDevice* device, std::string name, const D3DINDEXBUFFER_DESC& desc);

    ULONG AddRef() override { return LoggedAddRef(); }
    ULONG Release() override { return LoggedRelease(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOf(ppDevice); }
    D3DRESOURCETYPE GetType() override;
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;

    UINT Size() const { return bytes_.Size(); }
    UINT IndexSize() const { return desc_.Format == D3DFMT_INDEX32 ? 4 : 2; }

private:
    D3DINDEXBUFFER_DESC desc_;
    RecordingBufferBytes bytes_;
};

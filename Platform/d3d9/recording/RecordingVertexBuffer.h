#pragma once
#include <string>

#include "d3d9/d3d9.h"
#include "d3d9/recording/RecordingBufferBytes.h"
#include "d3d9/recording/RecordingObject.h"

// A vertex buffer of the recording device ("vertexbuffer#1"); its bytes persist between locks.
class RecordingVertexBuffer : public IDirect3DVertexBuffer9, public RecordingObject {
public:
    // Arguments already validated. Throws std::bad_alloc.
    RecordingVertexBuffer(RecordingDevice* device, std::string name, const D3DVERTEXBUFFER_DESC& desc);

    ULONG AddRef() override { return LoggedAddRef(); }
    ULONG Release() override { return LoggedRelease(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOf(ppDevice); }
    D3DRESOURCETYPE GetType() override;
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

    UINT Size() const { return bytes_.Size(); }
    DWORD Fvf() const { return desc_.FVF; }

private:
    D3DVERTEXBUFFER_DESC desc_;
    RecordingBufferBytes bytes_;
};

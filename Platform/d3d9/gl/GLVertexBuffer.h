#pragma once
#include "d3d9/gl/GLBufferStorage.h"
#include "d3d9/gl/GLDeviceChild.h"

// A vertex buffer of the GL device.
class GLVertexBuffer : public IDirect3DVertexBuffer9, public GLDeviceChild {
public:
    ULONG AddRef() override { return AddRefExternal(); }
    ULONG Release() override { return ReleaseExternal(); }
    static HRESULT Create(GLDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                          IDirect3DVertexBuffer9** buffer);

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceInterface(ppDevice); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override
    {
        return storage_.Lock(OffsetToLock, SizeToLock, ppbData, Flags);
    }
    HRESULT Unlock() override { return storage_.Unlock(); }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

    GLuint Name() const { return storage_.Name(); }

private:
    GLVertexBuffer(GLDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    void ForgetGLObjects() override { storage_.ForgetGLObjects(); }

    GLBufferStorage storage_;
    DWORD usage_;
    DWORD fvf_;
    D3DPOOL pool_;
};

#include "d3d9/gl/GLIndexBuffer.h"

GLIndexBuffer::GLIndexBuffer(GLDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : GLDeviceChild(device, pool == D3DPOOL_DEFAULT), storage_(device, length, usage), usage_(usage),
      format_(format), pool_(pool)
{
}

HRESULT GLIndexBuffer::Create(GLDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer)
{
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (length == 0 || pool >= D3DPOOL_SCRATCH || ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) ||
        (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    GLIndexBuffer* b = new GLIndexBuffer(device, length, usage, format, pool);
    const HRESULT hr = b->storage_.Create();
    if (hr < 0) {
        b->Release();
        return hr;
    }
    *buffer = b;
    return D3D_OK;
}

HRESULT GLIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc)
{
    if (!pDesc)
        return D3DERR_INVALIDCALL;
    *pDesc = {format_, D3DRTYPE_INDEXBUFFER, usage_, pool_, storage_.Size()};
    return D3D_OK;
}

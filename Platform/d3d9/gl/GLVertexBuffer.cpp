#include "d3d9/gl/GLVertexBuffer.h"

GLVertexBuffer::GLVertexBuffer(GLDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : GLDeviceChild(device, pool == D3DPOOL_DEFAULT), storage_(device, length, usage), usage_(usage), fvf_(fvf),
      pool_(pool)
{
}

HRESULT GLVertexBuffer::Create(GLDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** buffer)
{
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (length == 0 || pool >= D3DPOOL_SCRATCH || ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED))
        return D3DERR_INVALIDCALL;
    GLVertexBuffer* b = new GLVertexBuffer(device, length, usage, fvf, pool);
    const HRESULT hr = b->storage_.Create();
    if (hr < 0) {
        b->Release();
        return hr;
    }
    *buffer = b;
    return D3D_OK;
}

HRESULT GLVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc)
{
    if (!pDesc)
        return D3DERR_INVALIDCALL;
    *pDesc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage_, pool_, storage_.Size(), fvf_};
    return D3D_OK;
}

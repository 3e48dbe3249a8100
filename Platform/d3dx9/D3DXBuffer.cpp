#include "d3dx9/D3DXBuffer.h"

#include <new>

D3DXBuffer* D3DXBuffer::FromText(const std::string& text)
{
    std::vector<BYTE> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return new D3DXBuffer(std::move(bytes));
}

ULONG D3DXBuffer::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer)
{
    if (ppBuffer == nullptr)
        return D3DERR_INVALIDCALL;
    try {
        *ppBuffer = new D3DXBuffer(std::vector<BYTE>(NumBytes, 0));
    } catch (const std::bad_alloc&) {
        *ppBuffer = nullptr;
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

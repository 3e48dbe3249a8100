#include "d3d9/recording/RecordingVertexDeclaration.h"

#include <algorithm>
#include <utility>

#include "d3d9/D3DValidation.h"
#include "d3d9/recording/RecordingCallText.h"
#include "d3d9/recording/RecordingDevice.h"

RecordingVertexDeclaration::RecordingVertexDeclaration(RecordingDevice* device, std::string name,
                                                       std::vector<D3DVERTEXELEMENT9> elements)
    : RecordingObject(device, std::move(name), false), elements_(std::move(elements))
{
}

UINT RecordingVertexDeclaration::TypeSize(BYTE type)
{
    switch (type) {
    case D3DDECLTYPE_FLOAT1: return 4;
    case D3DDECLTYPE_FLOAT2: return 8;
    case D3DDECLTYPE_FLOAT3: return 12;
    case D3DDECLTYPE_FLOAT4: return 16;
    case D3DDECLTYPE_SHORT4:
    case D3DDECLTYPE_SHORT4N:
    case D3DDECLTYPE_USHORT4N:
    case D3DDECLTYPE_FLOAT16_4: return 8;
    case D3DDECLTYPE_UNUSED: return 0;
    default: return 4;
    }
}

HRESULT RecordingVertexDeclaration::ReadElements(const D3DVERTEXELEMENT9* pVertexElements,
                                                 std::vector<D3DVERTEXELEMENT9>& elements)
{
    elements.clear();
    UINT count = 0;
    const HRESULT hr = CheckD3DVertexElements(pVertexElements, &count);
    if (hr == D3D_OK) {
        elements.assign(pVertexElements, pVertexElements + count);
    }
    return hr;
}

HRESULT RecordingVertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements)
{
    HRESULT hr = D3DERR_INVALIDCALL;
    if (pNumElements != nullptr) {
        if (pElement != nullptr) {
            std::copy(elements_.begin(), elements_.end(), pElement);
            pElement[elements_.size()] = D3DVERTEXELEMENT9 D3DDECL_END();
        }
        *pNumElements = static_cast<UINT>(elements_.size() + 1);
        hr = D3D_OK;
    }
    Device()->Record("GetDeclaration", RecordingCallText().Object(this).Pointer(pElement).Take(), hr);
    return hr;
}

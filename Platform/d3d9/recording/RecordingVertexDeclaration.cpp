#include "d3d9/recording/RecordingVertexDeclaration.h"

#include <algorithm>
#include <utility>

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
    if (pVertexElements == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    for (UINT i = 0; i <= MAXD3DDECLLENGTH; ++i) {
        const D3DVERTEXELEMENT9& e = pVertexElements[i];
        if (e.Stream == 0xFF) {
            if (e.Type != D3DDECLTYPE_UNUSED) {
                return D3DERR_INVALIDCALL;
            }
            return D3D_OK;
        }
        if (e.Stream >= 16 || e.Offset % 4 != 0 || e.Type >= D3DDECLTYPE_UNUSED || e.Method > MAXD3DDECLMETHOD ||
            e.Usage > MAXD3DDECLUSAGE || e.UsageIndex > MAXD3DDECLUSAGEINDEX) {
            return D3DERR_INVALIDCALL;
        }
        bool repeated = std::any_of(elements.begin(), elements.end(), [&e](const D3DVERTEXELEMENT9& other) {
            return other.Usage == e.Usage && other.UsageIndex == e.UsageIndex;
        });
        if (repeated) {
            return D3DERR_INVALIDCALL;
        }
        elements.push_back(e);
    }
    return D3DERR_INVALIDCALL;
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

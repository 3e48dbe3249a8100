#pragma once
#include <string>
#include <vector>

#include "d3d9/d3d9.h"
#include "d3d9/recording/RecordingObject.h"

// A vertex declaration of the recording device ("declaration#1"): the elements as given.
class RecordingVertexDeclaration : public IDirect3DVertexDeclaration9, public RecordingObject {
public:
    RecordingVertexDeclaration(RecordingDevice* device, std::string name, std::vector<D3DVERTEXELEMENT9> elements);

    // Reads the elements up to D3DDECL_END() into `elements` (without the marker).
    // The elements before the end marker, as CheckD3DVertexElements takes them; its result
    // otherwise.
    static HRESULT ReadElements(const D3DVERTEXELEMENT9* pVertexElements, std::vector<D3DVERTEXELEMENT9>& elements);
    // Bytes of one element of a D3DDECLTYPE.
    static UINT TypeSize(BYTE type);

    ULONG AddRef() override { return LoggedAddRef(); }
    ULONG Release() override { return LoggedRelease(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOf(ppDevice); }
    HRESULT GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override;

    // The elements without the end marker.
    const std::vector<D3DVERTEXELEMENT9>& Elements() const { return elements_; }

private:
    std::vector<D3DVERTEXELEMENT9> elements_;
};

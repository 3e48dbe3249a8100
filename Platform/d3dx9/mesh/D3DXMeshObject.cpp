#include "d3dx9/mesh/D3DXMeshObject.h"

#include <new>

HRESULT D3DXMeshObject::Create(IDirect3DDevice9* device, DWORD options, const std::vector<D3DVERTEXELEMENT9>& elements,
                               UINT stride, DWORD numVertices, DWORD numFaces)
{
    HRESULT hr = buffers_.Create(device, options, elements, stride, numVertices, numFaces);
    if (hr == D3D_OK)
        attributes_.assign(numFaces, 0);
    return hr;
}

HRESULT D3DXMeshObject::Fill(const D3DXMeshContent& content)
{
    if (content.numVertices != buffers_.VertexCapacity() || content.NumFaces() != buffers_.FaceCapacity() ||
        content.indices.size() != std::size_t{content.NumFaces()} * 3 ||
        content.vertices.size() != std::size_t{content.numVertices} * buffers_.Stride())
        return D3DERR_INVALIDCALL;
    HRESULT hr = buffers_.WriteVertices(content.vertices);
    if (hr == D3D_OK)
        hr = buffers_.WriteIndices(content.indices);
    if (hr == D3D_OK)
        hr = SetAttributeTable(content.table.data(), static_cast<DWORD>(content.table.size()));
    if (hr == D3D_OK)
        attributes_ = content.attributes;
    return hr;
}

HRESULT D3DXMeshObject::DrawSubset(DWORD AttribId)
{
    if (!table_.empty()) {
        for (const D3DXATTRIBUTERANGE& range : table_)
            if (range.AttribId == AttribId && range.FaceCount != 0 && range.VertexCount != 0)
                return buffers_.Draw(range.FaceStart, range.FaceCount, range.VertexStart, range.VertexCount);
        return D3D_OK;
    }
    const DWORD faces = static_cast<DWORD>(attributes_.size());
    for (DWORD start = 0; start < faces;) {
        if (attributes_[start] != AttribId) {
            ++start;
            continue;
        }
        DWORD end = start + 1;
        while (end < faces && attributes_[end] == AttribId)
            ++end;
        const HRESULT hr = buffers_.Draw(start, end - start, 0, buffers_.VertexCapacity());
        if (hr != D3D_OK)
            return hr;
        start = end;
    }
    return D3D_OK;
}

HRESULT D3DXMeshObject::LockAttributeBuffer(DWORD, DWORD** ppData)
{
    if (ppData == nullptr)
        return D3DERR_INVALIDCALL;
    *ppData = attributes_.data();
    ++attributeLocks_;
    return D3D_OK;
}

HRESULT D3DXMeshObject::UnlockAttributeBuffer()
{
    if (attributeLocks_ == 0)
        return D3DERR_INVALIDCALL;
    if (--attributeLocks_ == 0 && !TableMatchesAttributes())
        table_.clear();
    return D3D_OK;
}

HRESULT D3DXMeshObject::SetAttributeTable(const D3DXATTRIBUTERANGE* pAttribTable, DWORD cAttribTableSize)
{
    if (pAttribTable == nullptr && cAttribTableSize != 0)
        return D3DERR_INVALIDCALL;
    for (DWORD i = 0; i < cAttribTableSize; ++i) {
        const D3DXATTRIBUTERANGE& range = pAttribTable[i];
        if (std::uint64_t{range.FaceStart} + range.FaceCount > buffers_.FaceCapacity() ||
            std::uint64_t{range.VertexStart} + range.VertexCount > buffers_.VertexCapacity())
            return D3DERR_INVALIDCALL;
    }
    table_.assign(pAttribTable, pAttribTable + cAttribTableSize);
    return D3D_OK;
}

bool D3DXMeshObject::TableMatchesAttributes() const
{
    std::vector<bool> covered(attributes_.size(), false);
    std::size_t count = 0;
    for (const D3DXATTRIBUTERANGE& range : table_)
        for (DWORD face = range.FaceStart; face < range.FaceStart + range.FaceCount; ++face) {
            if (covered[face] || attributes_[face] != range.AttribId)
                return false;
            covered[face] = true;
            ++count;
        }
    return count == attributes_.size();
}

HRESULT D3DXCreateMeshFromContent(IDirect3DDevice9* device, DWORD options, const D3DXMeshContent& content,
                                  ID3DXMesh** mesh)
{
    if (mesh == nullptr)
        return D3DERR_INVALIDCALL;
    *mesh = nullptr;
    auto* made = new (std::nothrow) D3DXMeshObject();
    if (made == nullptr)
        return E_OUTOFMEMORY;
    HRESULT hr = made->Create(device, options, content.elements, content.stride, content.numVertices,
                              content.NumFaces());
    if (hr == D3D_OK)
        hr = made->Fill(content);
    if (hr != D3D_OK) {
        made->Release();
        return hr;
    }
    *mesh = made;
    return D3D_OK;
}

HRESULT D3DXCreateMesh(DWORD NumFaces, DWORD NumVertices, DWORD Options, const D3DVERTEXELEMENT9* pDeclaration,
                       IDirect3DDevice9* pD3DDevice, ID3DXMesh** ppMesh)
{
    if (ppMesh == nullptr)
        return D3DERR_INVALIDCALL;
    *ppMesh = nullptr;
    std::vector<D3DVERTEXELEMENT9> elements;
    UINT stride = 0;
    if (D3DXReadMeshDeclaration(pDeclaration, elements, stride) != D3D_OK)
        return D3DERR_INVALIDCALL;
    auto* made = new (std::nothrow) D3DXMeshObject();
    if (made == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT hr = made->Create(pD3DDevice, Options, elements, stride, NumVertices, NumFaces);
    if (hr != D3D_OK) {
        made->Release();
        return hr;
    }
    *ppMesh = made;
    return D3D_OK;
}

HRESULT D3DXCreateMeshFVF(DWORD NumFaces, DWORD NumVertices, DWORD Options, DWORD FVF, IDirect3DDevice9* pD3DDevice,
                          ID3DXMesh** ppMesh)
{
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    if (ppMesh == nullptr)
        return D3DERR_INVALIDCALL;
    *ppMesh = nullptr;
    if (D3DXDeclaratorFromFVF(FVF, declaration) != D3D_OK)
        return D3DERR_INVALIDCALL;
    return D3DXCreateMesh(NumFaces, NumVertices, Options, declaration, pD3DDevice, ppMesh);
}

#pragma once
// What ID3DXMesh and ID3DXPMesh share: reference counting, the buffers and their locks, the vertex
// layout, cloning and adjacency. A derived mesh says which faces and vertices are current and which
// attribute id each current face has.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "d3dx9/mesh/D3DXAdjacency.h"
#include "d3dx9/mesh/D3DXMeshBuffers.h"
#include "d3dx9/mesh/D3DXMeshContent.h"
#include "d3dx9/mesh/D3DXVertexConvert.h"
#include "d3dx9/mesh/D3DXVertexFormat.h"

// A new ID3DXMesh holding the content (indices below its vertex count), made with the options on
// the device.
HRESULT D3DXCreateMeshFromContent(IDirect3DDevice9* device, DWORD options, const D3DXMeshContent& content,
                                  ID3DXMesh** mesh);

template <class Interface>
class D3DXBaseMeshImpl : public Interface {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG refs = --refs_;
        if (refs == 0)
            delete this;
        return refs;
    }

    DWORD GetNumFaces() override { return ActiveFaces(); }
    DWORD GetNumVertices() override { return ActiveVertices(); }
    DWORD GetFVF() override { return buffers_.Fvf(); }
    DWORD GetNumBytesPerVertex() override { return buffers_.Stride(); }
    DWORD GetOptions() override { return buffers_.Options(); }

    HRESULT GetDeclaration(D3DVERTEXELEMENT9 Declaration[MAX_FVF_DECL_SIZE]) override
    {
        if (Declaration == nullptr)
            return D3DERR_INVALIDCALL;
        const auto& elements = buffers_.Elements();
        std::copy(elements.begin(), elements.end(), Declaration);
        Declaration[elements.size()] = D3DVERTEXELEMENT9 D3DDECL_END();
        return D3D_OK;
    }

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override
    {
        if (ppDevice == nullptr)
            return D3DERR_INVALIDCALL;
        *ppDevice = buffers_.Device();
        (*ppDevice)->AddRef();
        return D3D_OK;
    }

    HRESULT GetVertexBuffer(IDirect3DVertexBuffer9** ppVB) override
    {
        if (ppVB == nullptr)
            return D3DERR_INVALIDCALL;
        *ppVB = buffers_.VertexBuffer();
        (*ppVB)->AddRef();
        return D3D_OK;
    }

    HRESULT GetIndexBuffer(IDirect3DIndexBuffer9** ppIB) override
    {
        if (ppIB == nullptr)
            return D3DERR_INVALIDCALL;
        *ppIB = buffers_.IndexBuffer();
        (*ppIB)->AddRef();
        return D3D_OK;
    }

    HRESULT LockVertexBuffer(DWORD Flags, LPVOID* ppData) override
    {
        return ppData == nullptr ? D3DERR_INVALIDCALL : buffers_.VertexBuffer()->Lock(0, 0, ppData, Flags);
    }
    HRESULT UnlockVertexBuffer() override { return buffers_.VertexBuffer()->Unlock(); }
    HRESULT LockIndexBuffer(DWORD Flags, LPVOID* ppData) override
    {
        return ppData == nullptr ? D3DERR_INVALIDCALL : buffers_.IndexBuffer()->Lock(0, 0, ppData, Flags);
    }
    HRESULT UnlockIndexBuffer() override { return buffers_.IndexBuffer()->Unlock(); }

    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable, DWORD* pAttribTableSize) override
    {
        const std::vector<D3DXATTRIBUTERANGE>& table = ActiveTable();
        if (pAttribTable == nullptr && pAttribTableSize == nullptr)
            return D3DERR_INVALIDCALL;
        if (pAttribTableSize != nullptr)
            *pAttribTableSize = static_cast<DWORD>(table.size());
        if (pAttribTable != nullptr)
            std::copy(table.begin(), table.end(), pAttribTable);
        return D3D_OK;
    }

    HRESULT CloneMeshFVF(DWORD Options, DWORD FVF, IDirect3DDevice9* pD3DDevice, ID3DXMesh** ppCloneMesh) override
    {
        D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
        if (ppCloneMesh == nullptr)
            return D3DERR_INVALIDCALL;
        *ppCloneMesh = nullptr;
        if (D3DXDeclaratorFromFVF(FVF, declaration) != D3D_OK)
            return D3DERR_INVALIDCALL;
        return CloneMesh(Options, declaration, pD3DDevice, ppCloneMesh);
    }

    HRESULT CloneMesh(DWORD Options, const D3DVERTEXELEMENT9* pDeclaration, IDirect3DDevice9* pD3DDevice,
                      ID3DXMesh** ppCloneMesh) override
    {
        if (ppCloneMesh == nullptr)
            return D3DERR_INVALIDCALL;
        *ppCloneMesh = nullptr;
        D3DXMeshContent clone;
        if (pD3DDevice == nullptr || D3DXReadMeshDeclaration(pDeclaration, clone.elements, clone.stride) != D3D_OK)
            return D3DERR_INVALIDCALL;
        D3DXMeshContent current;
        HRESULT hr = ReadContent(current);
        if (hr != D3D_OK)
            return hr;
        clone.numVertices = current.numVertices;
        clone.vertices = D3DXConvertVertices(current.vertices, current.numVertices, buffers_.Elements(),
                                             buffers_.Stride(), clone.elements, clone.stride);
        clone.indices = std::move(current.indices);
        clone.attributes = std::move(current.attributes);
        clone.table = std::move(current.table);
        return D3DXCreateMeshFromContent(pD3DDevice, Options, clone, ppCloneMesh);
    }

    HRESULT GenerateAdjacency(float Epsilon, DWORD* pAdjacency) override
    {
        if (pAdjacency == nullptr || !(Epsilon >= 0.0f))
            return D3DERR_INVALIDCALL;
        D3DXMeshContent current;
        HRESULT hr = ReadContent(current);
        if (hr != D3D_OK)
            return hr;
        const std::vector<DWORD> adjacency =
            D3DXComputeAdjacency(current.indices, D3DXWeldPositions(current.Positions(), Epsilon));
        std::copy(adjacency.begin(), adjacency.end(), pAdjacency);
        return D3D_OK;
    }

    // The current vertices, faces, attribute ids and attribute table. D3DXERR_INVALIDMESH when an
    // index names a vertex beyond the current ones.
    HRESULT ReadContent(D3DXMeshContent& content)
    {
        content = D3DXMeshContent{};
        content.elements = buffers_.Elements();
        content.stride = buffers_.Stride();
        content.numVertices = ActiveVertices();
        HRESULT hr = buffers_.ReadVertices(content.numVertices, content.vertices);
        if (hr == D3D_OK)
            hr = buffers_.ReadIndices(ActiveFaces(), content.indices);
        if (hr != D3D_OK)
            return hr;
        for (std::uint32_t index : content.indices)
            if (index >= content.numVertices)
                return D3DXERR_INVALIDMESH;
        content.attributes = ActiveAttributes();
        content.table = ActiveTable();
        return D3D_OK;
    }

protected:
    D3DXBaseMeshImpl() = default;
    virtual ~D3DXBaseMeshImpl() = default;

    virtual DWORD ActiveFaces() const = 0;
    virtual DWORD ActiveVertices() const = 0;
    virtual std::vector<DWORD> ActiveAttributes() const = 0;
    virtual const std::vector<D3DXATTRIBUTERANGE>& ActiveTable() const = 0;

    D3DXMeshBuffers buffers_;

private:
    ULONG refs_ = 1;
};

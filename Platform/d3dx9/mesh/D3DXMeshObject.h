#pragma once
// ID3DXMesh: a mesh with an attribute buffer kept in memory beside its vertex and index buffers.
#include <vector>

#include "d3dx9/mesh/D3DXBaseMeshImpl.h"

class D3DXMeshObject : public D3DXBaseMeshImpl<ID3DXMesh> {
public:
    // The buffers are made by Create; a mesh that fails to create is released by its maker.
    D3DXMeshObject() = default;
    HRESULT Create(IDirect3DDevice9* device, DWORD options, const std::vector<D3DVERTEXELEMENT9>& elements,
                   UINT stride, DWORD numVertices, DWORD numFaces);
    // Fills the buffers, the attribute ids and the table from content of the mesh's own size.
    HRESULT Fill(const D3DXMeshContent& content);

    // With an attribute table, draws its range for the id; without one, every run of faces with
    // that id.
    HRESULT DrawSubset(DWORD AttribId) override;
    HRESULT LockAttributeBuffer(DWORD Flags, DWORD** ppData) override;
    HRESULT UnlockAttributeBuffer() override;
    HRESULT SetAttributeTable(const D3DXATTRIBUTERANGE* pAttribTable, DWORD cAttribTableSize) override;

protected:
    DWORD ActiveFaces() const override { return buffers_.FaceCapacity(); }
    DWORD ActiveVertices() const override { return buffers_.VertexCapacity(); }
    std::vector<DWORD> ActiveAttributes() const override { return attributes_; }
    const std::vector<D3DXATTRIBUTERANGE>& ActiveTable() const override { return table_; }

private:
    // True when the table covers every face once, each with the table's id for it.
    bool TableMatchesAttributes() const;

    std::vector<DWORD> attributes_;
    std::vector<D3DXATTRIBUTERANGE> table_;
    unsigned attributeLocks_ = 0;
};

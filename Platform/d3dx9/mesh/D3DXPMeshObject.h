#pragma once
// ID3DXPMesh: a mesh with discrete levels of detail. The vertex buffer holds every vertex, ordered
// so that each level uses a prefix of them; the index buffer holds the current level's faces.
#include <vector>

#include "d3dx9/mesh/D3DXBaseMeshImpl.h"
#include "d3dx9/mesh/D3DXPMeshLevels.h"

class D3DXPMeshObject : public D3DXBaseMeshImpl<ID3DXPMesh> {
public:
    D3DXPMeshObject() = default;
    // Makes the buffers and selects the level with the most faces.
    HRESULT Create(IDirect3DDevice9* device, DWORD options, const std::vector<D3DVERTEXELEMENT9>& elements,
                   UINT stride, D3DXPMeshPlan plan);

    HRESULT DrawSubset(DWORD AttribId) override;
    HRESULT SetNumFaces(DWORD Faces) override;
    HRESULT SetNumVertices(DWORD Vertices) override;
    DWORD GetMaxFaces() override { return levels_.front().numFaces; }
    DWORD GetMinFaces() override { return levels_.back().numFaces; }
    DWORD GetMaxVertices() override { return levels_.front().numVertices; }
    DWORD GetMinVertices() override { return levels_.back().numVertices; }

protected:
    DWORD ActiveFaces() const override { return levels_[current_].numFaces; }
    DWORD ActiveVertices() const override { return levels_[current_].numVertices; }
    std::vector<DWORD> ActiveAttributes() const override;
    const std::vector<D3DXATTRIBUTERANGE>& ActiveTable() const override { return levels_[current_].table; }

private:
    // Writes the level's faces into the index buffer and makes it current.
    HRESULT Select(std::size_t level);

    std::vector<D3DXPMeshLevel> levels_;
    std::size_t current_ = 0;
};

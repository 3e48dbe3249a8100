#pragma once
// What a mesh holds, in memory: the vertices in their declared layout, three indices per face,
// one attribute id per face and the attribute table.
#include <array>
#include <cstdint>
#include <vector>

#include "d3dx9/d3dx9mesh.h"

struct D3DXMeshContent {
    std::vector<D3DVERTEXELEMENT9> elements;  // stream 0, without the end marker
    UINT stride = 0;
    DWORD numVertices = 0;
    std::vector<BYTE> vertices;               // numVertices * stride bytes
    std::vector<std::uint32_t> indices;       // three per face
    std::vector<DWORD> attributes;            // one per face
    std::vector<D3DXATTRIBUTERANGE> table;    // empty when the mesh has none

    DWORD NumFaces() const { return static_cast<DWORD>(attributes.size()); }
    // The position (the POSITION element of usage index 0, three floats) of every vertex; zeros
    // when there is no such element.
    std::vector<std::array<float, 3>> Positions() const;
};

// The attribute table of faces whose attribute ids are sorted: one entry per run of equal ids, with
// the lowest and highest vertex its faces use. False when an id appears in two separate runs (the
// faces are not sorted by attribute).
bool D3DXBuildAttributeTable(const std::vector<std::uint32_t>& indices, const std::vector<DWORD>& attributes,
                             std::vector<D3DXATTRIBUTERANGE>& table);

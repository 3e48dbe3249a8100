#pragma once
// The levels of detail of a progressive mesh, made by simplifying a mesh step by step with
// meshoptimizer. Each step removes about an eighth of the faces; every attribute subset is
// simplified on its own with its border locked, so subsets never open cracks between them. The
// vertices are ordered so that each level uses a prefix of them.
#include <cstdint>
#include <vector>

#include "d3dx9/mesh/D3DXMeshContent.h"

struct D3DXPMeshLevel {
    DWORD numFaces = 0;
    DWORD numVertices = 0;                  // the prefix of the vertex order this level uses
    std::vector<std::uint32_t> indices;     // faces sorted by attribute id
    std::vector<D3DXATTRIBUTERANGE> table;  // one entry per attribute id with faces
};

struct D3DXPMeshPlan {
    std::vector<BYTE> vertices;           // the content's vertices, reordered
    std::vector<D3DXPMeshLevel> levels;   // the first has every face; fewer faces level by level
};

// Simplifies down to minValue faces (or vertices when countVertices), never below it, or as far
// as the mesh allows. The content's indices must be below its vertex count and it needs a
// POSITION0 element of three or four floats.
D3DXPMeshPlan D3DXPlanProgressiveMesh(const D3DXMeshContent& content, DWORD minValue, bool countVertices);

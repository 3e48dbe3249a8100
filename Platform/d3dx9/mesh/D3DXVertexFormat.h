#pragma once
// Vertex layouts of meshes: the sizes of declaration types and the checks a mesh declaration
// passes (one stream, known types and usages, each usage and usage index once, 4-byte aligned
// elements, an end marker within MAX_FVF_DECL_SIZE elements).
#include <vector>

#include "d3dx9/d3dx9mesh.h"

// Bytes of one element of the type; 0 for D3DDECLTYPE_UNUSED and unknown types.
UINT D3DXDeclTypeSize(BYTE type);

// The elements of a mesh declaration before its end marker and the vertex size they need (the end
// of the element that ends last). D3DERR_INVALIDCALL for a declaration a mesh cannot use.
HRESULT D3DXReadMeshDeclaration(const D3DVERTEXELEMENT9* declaration, std::vector<D3DVERTEXELEMENT9>& elements,
                                UINT& stride);

// The element of that usage and usage index, or null.
const D3DVERTEXELEMENT9* D3DXFindElement(const std::vector<D3DVERTEXELEMENT9>& elements, BYTE usage,
                                         BYTE usageIndex);

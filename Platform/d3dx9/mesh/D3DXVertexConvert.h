#pragma once
// Vertices from one mesh layout to another, as CloneMesh makes them.
#include <vector>

#include "d3dx9/d3dx9mesh.h"

// Vertices (count of them, `fromStride` bytes apart, laid out by `from`) in the layout `to`
// (`toStride` bytes apart). An element found in both (same usage and usage index) is copied;
// float vectors and D3DCOLOR convert into each other (components a shorter source lacks read as
// 0, 0, 0, 1). Other elements are zero, except COLOR0, the diffuse colour, which is opaque white.
std::vector<BYTE> D3DXConvertVertices(const std::vector<BYTE>& vertices, DWORD count,
                                      const std::vector<D3DVERTEXELEMENT9>& from, UINT fromStride,
                                      const std::vector<D3DVERTEXELEMENT9>& to, UINT toStride);

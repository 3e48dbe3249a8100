#pragma once
// Face adjacency of triangle meshes: which face lies across each edge.
#include <array>
#include <cstdint>
#include <vector>

#include "win32/WinTypes.h"

// For each position, the smallest index of the positions that count as the same point: those within
// epsilon of each other in every coordinate, joined transitively (epsilon 0 joins equal positions).
// A position with a NaN coordinate joins no other.
std::vector<std::uint32_t> D3DXWeldPositions(const std::vector<std::array<float, 3>>& positions, float epsilon);

// Three entries per triangle (indices, three per face, into `weld`): the face across edge (v0, v1),
// (v1, v2) and (v2, v0), or 0xFFFFFFFF. Edges match when their welded end points do; an edge met in
// opposite directions pairs first, and each edge pairs with at most one other. Indices must be
// smaller than weld.size().
std::vector<DWORD> D3DXComputeAdjacency(const std::vector<std::uint32_t>& indices,
                                        const std::vector<std::uint32_t>& weld);

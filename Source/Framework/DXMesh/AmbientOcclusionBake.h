#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "d3d9/d3d9types.h"
#include "d3dx9/d3dx9math.h"

// Per-vertex ambient occlusion by ray casting against the mesh's own triangles: 256 rays per
// vertex over the hemisphere around its normal, directions drawn with RandomRange (so the
// result follows the C runtime's random sequence), each ray that meets a triangle lowering the
// vertex's openness by 1/256. The colour of a vertex carries 255 x openness (truncated) in all
// four channels.
//
// Both searches answer "does this ray meet any triangle" with the very same per-triangle test
// and consume the same random numbers, so they give the same bytes. EveryFace tests every
// triangle for every ray; Bvh walks a bounding-volume hierarchy whose boxes are widened by the
// worst rounding of that test, so it only skips triangles the test could never accept.
enum class AmbientOcclusionSearch { EveryFace, Bvh };

// positions and normals hold vertexCount elements (normals need not be unit length), indices
// holds faceCount x 3 vertex indices, each below vertexCount.
std::vector<D3DCOLOR> BakeAmbientOcclusion(const D3DXVECTOR3* positions, const D3DXVECTOR3* normals,
                                           std::size_t vertexCount, const std::uint32_t* indices,
                                           std::size_t faceCount, AmbientOcclusionSearch search);

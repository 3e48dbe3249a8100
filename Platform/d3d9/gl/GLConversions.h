#pragma once
// Direct3D 9's enumerations in GL's terms, and the small value conversions the GL device makes.
#include <epoxy/gl.h>

#include <cstdint>

#include "d3d9/d3d9.h"

// A state value that holds the bits of a float (D3DRS_POINTSIZE, D3DRS_DEPTHBIAS ...).
float D3DBitsAsFloat(DWORD bits);

// D3DCMP_*; an unknown value compares as ALWAYS.
GLenum GLCompareFunc(DWORD f);

// D3DBLEND_*; an unknown value is ONE.
GLenum GLBlendFactor(DWORD b);

// D3DBLENDOP_*; an unknown value adds.
GLenum GLBlendOp(DWORD op);

// The source and destination factors of a pair, with D3DBLEND_BOTHSRCALPHA/BOTHINVSRCALPHA
// (which set both from the source value).
void GLBlendPair(DWORD src, DWORD dst, GLenum& glSrc, GLenum& glDst);

// D3DSTENCILOP_*; an unknown value keeps.
GLenum GLStencilOp(DWORD op);

// D3DTADDRESS_*; an unknown value wraps.
GLenum GLAddressMode(DWORD a);

// Vertices of primitiveCount primitives and the GL mode that draws them; 0 for an unknown type.
UINT GLPrimitiveVertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount, GLenum& mode);

// A D3DCOLOR (A8R8G8B8) as red, green, blue, alpha in 0..1.
void D3DColourToFloats(D3DCOLOR c, float out[4]);

// The bytes one vertex element of a D3DDECLTYPE takes.
std::uint64_t D3DDeclTypeSize(BYTE type);

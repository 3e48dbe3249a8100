#include "d3d9/gl/GLConversions.h"

#include <cstring>

float D3DBitsAsFloat(DWORD bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

GLenum GLCompareFunc(DWORD f)
{
    switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum GLBlendFactor(DWORD b)
{
    switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
    }
}

GLenum GLBlendOp(DWORD op)
{
    switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

// The source and destination factors of a pair, with D3DBLEND_BOTHSRCALPHA/BOTHINVSRCALPHA
// (which set both from the source value).
void GLBlendPair(DWORD src, DWORD dst, GLenum& glSrc, GLenum& glDst)
{
    if (src == D3DBLEND_BOTHSRCALPHA) {
        glSrc = GL_SRC_ALPHA, glDst = GL_ONE_MINUS_SRC_ALPHA;
    } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
        glSrc = GL_ONE_MINUS_SRC_ALPHA, glDst = GL_SRC_ALPHA;
    } else {
        glSrc = GLBlendFactor(src), glDst = GLBlendFactor(dst);
    }
}

GLenum GLStencilOp(DWORD op)
{
    switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

GLenum GLAddressMode(DWORD a)
{
    switch (a) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
    }
}

// Vertices of primitiveCount primitives; 0 for an unknown type.
UINT GLPrimitiveVertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount, GLenum& mode)
{
    switch (type) {
    case D3DPT_POINTLIST: mode = GL_POINTS; return primitiveCount;
    case D3DPT_LINELIST: mode = GL_LINES; return primitiveCount * 2;
    case D3DPT_LINESTRIP: mode = GL_LINE_STRIP; return primitiveCount + 1;
    case D3DPT_TRIANGLELIST: mode = GL_TRIANGLES; return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP: mode = GL_TRIANGLE_STRIP; return primitiveCount + 2;
    case D3DPT_TRIANGLEFAN: mode = GL_TRIANGLE_FAN; return primitiveCount + 2;
    default: return 0;
    }
}

void D3DColourToFloats(D3DCOLOR c, float out[4])
{
    out[0] = ((c >> 16) & 0xFF) / 255.f;
    out[1] = ((c >> 8) & 0xFF) / 255.f;
    out[2] = (c & 0xFF) / 255.f;
    out[3] = ((c >> 24) & 0xFF) / 255.f;
}

// The bytes one vertex element of a D3DDECLTYPE takes.
std::uint64_t D3DDeclTypeSize(BYTE type)
{
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
    case D3DDECLTYPE_D3DCOLOR:
    case D3DDECLTYPE_UBYTE4:
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_UBYTE4N:
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_UDEC3:
    case D3DDECLTYPE_DEC3N:
    case D3DDECLTYPE_FLOAT16_2:
        return 4;
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_SHORT4:
    case D3DDECLTYPE_SHORT4N:
    case D3DDECLTYPE_USHORT4N:
    case D3DDECLTYPE_FLOAT16_4:
        return 8;
    case D3DDECLTYPE_FLOAT3:
        return 12;
    case D3DDECLTYPE_FLOAT4:
        return 16;
    default:
        return 0;
    }
}

#include "d3dx9/mesh/D3DXVertexFormat.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr WORD kEndStream = 0xFF;
constexpr DWORD kLastBeta = D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR;
// Every FVF bit that means something; the reserved ones are refused.
constexpr DWORD kKnownFvfBits = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE |
                                D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK | kLastBeta | 0xFFFF0000u;

D3DVERTEXELEMENT9 Element(WORD offset, BYTE type, BYTE usage, BYTE usageIndex)
{
    return D3DVERTEXELEMENT9{0, offset, type, D3DDECLMETHOD_DEFAULT, usage, usageIndex};
}

bool IsEnd(const D3DVERTEXELEMENT9& element)
{
    return element.Stream == kEndStream;
}

BYTE FloatType(UINT count)
{
    return static_cast<BYTE>(D3DDECLTYPE_FLOAT1 + (count - 1));
}

// The elements of an FVF in its memory order; false for an FVF that is not valid.
bool ElementsOfFvf(DWORD fvf, std::vector<D3DVERTEXELEMENT9>& elements)
{
    elements.clear();
    if ((fvf & ~kKnownFvfBits) != 0 || (fvf & kLastBeta) == kLastBeta)
        return false;
    WORD offset = 0;
    const auto add = [&](BYTE type, BYTE usage, BYTE usageIndex) {
        elements.push_back(Element(offset, type, usage, usageIndex));
        offset = static_cast<WORD>(offset + D3DXDeclTypeSize(type));
    };
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    const bool blended = position >= D3DFVF_XYZB1 && position <= D3DFVF_XYZB5;
    if ((fvf & kLastBeta) != 0 && !blended)
        return false;
    if (position == D3DFVF_XYZ) {
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
    } else if (position == D3DFVF_XYZRHW) {
        add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0);
    } else if (position == D3DFVF_XYZW) {
        add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0);
    } else if (blended) {
        const UINT betas = (position - D3DFVF_XYZRHW) / 2;
        const bool indices = (fvf & kLastBeta) != 0;
        const UINT weights = indices ? betas - 1 : betas;
        if (weights > 4)
            return false;
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
        if (weights > 0)
            add(FloatType(weights), D3DDECLUSAGE_BLENDWEIGHT, 0);
        if (indices)
            add((fvf & D3DFVF_LASTBETA_UBYTE4) != 0 ? D3DDECLTYPE_UBYTE4 : D3DDECLTYPE_D3DCOLOR,
                D3DDECLUSAGE_BLENDINDICES, 0);
    } else if (position != 0) {
        return false;
    }
    if (fvf & D3DFVF_NORMAL)
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (fvf & D3DFVF_PSIZE)
        add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
    if (fvf & D3DFVF_DIFFUSE)
        add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    if (fvf & D3DFVF_SPECULAR)
        add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);
    const DWORD texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (texCount > 8)
        return false;
    for (DWORD i = 0; i < texCount; ++i) {
        const DWORD size = (fvf >> (16 + 2 * i)) & 3;
        const BYTE type = size == D3DFVF_TEXTUREFORMAT1   ? D3DDECLTYPE_FLOAT1
                          : size == D3DFVF_TEXTUREFORMAT3 ? D3DDECLTYPE_FLOAT3
                          : size == D3DFVF_TEXTUREFORMAT4 ? D3DDECLTYPE_FLOAT4
                                                          : D3DDECLTYPE_FLOAT2;
        add(type, D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(i));
    }
    return true;
}

// The elements before the end marker; false when there is none within MAX_FVF_DECL_SIZE elements.
bool ElementsOfDeclaration(const D3DVERTEXELEMENT9* declaration, std::vector<D3DVERTEXELEMENT9>& elements)
{
    elements.clear();
    if (declaration == nullptr)
        return false;
    for (UINT i = 0; i < MAX_FVF_DECL_SIZE; ++i) {
        if (IsEnd(declaration[i]))
            return true;
        elements.push_back(declaration[i]);
    }
    return false;
}

bool IsFloatType(BYTE type)
{
    return type >= D3DDECLTYPE_FLOAT1 && type <= D3DDECLTYPE_FLOAT4;
}

} // namespace

UINT D3DXDeclTypeSize(BYTE type)
{
    switch (type) {
    case D3DDECLTYPE_FLOAT1: return 4;
    case D3DDECLTYPE_FLOAT2: return 8;
    case D3DDECLTYPE_FLOAT3: return 12;
    case D3DDECLTYPE_FLOAT4: return 16;
    case D3DDECLTYPE_D3DCOLOR:
    case D3DDECLTYPE_UBYTE4:
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_UBYTE4N:
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_UDEC3:
    case D3DDECLTYPE_DEC3N:
    case D3DDECLTYPE_FLOAT16_2: return 4;
    case D3DDECLTYPE_SHORT4:
    case D3DDECLTYPE_SHORT4N:
    case D3DDECLTYPE_USHORT4N:
    case D3DDECLTYPE_FLOAT16_4: return 8;
    default: return 0;
    }
}

HRESULT D3DXReadMeshDeclaration(const D3DVERTEXELEMENT9* declaration, std::vector<D3DVERTEXELEMENT9>& elements,
                                UINT& stride)
{
    stride = 0;
    if (!ElementsOfDeclaration(declaration, elements) || elements.empty())
        return D3DERR_INVALIDCALL;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const D3DVERTEXELEMENT9& e = elements[i];
        const UINT size = D3DXDeclTypeSize(e.Type);
        if (e.Stream != 0 || size == 0 || e.Method > MAXD3DDECLMETHOD || e.Usage > MAXD3DDECLUSAGE ||
            e.UsageIndex > MAXD3DDECLUSAGEINDEX || e.Offset % 4 != 0)
            return D3DERR_INVALIDCALL;
        for (std::size_t j = 0; j < i; ++j)
            if (elements[j].Usage == e.Usage && elements[j].UsageIndex == e.UsageIndex)
                return D3DERR_INVALIDCALL;
        stride = std::max(stride, UINT{e.Offset} + size);
    }
    return D3D_OK;
}

const D3DVERTEXELEMENT9* D3DXFindElement(const std::vector<D3DVERTEXELEMENT9>& elements, BYTE usage, BYTE usageIndex)
{
    for (const D3DVERTEXELEMENT9& e : elements)
        if (e.Usage == usage && e.UsageIndex == usageIndex)
            return &e;
    return nullptr;
}

HRESULT D3DXDeclaratorFromFVF(DWORD FVF, D3DVERTEXELEMENT9 pDeclarator[MAX_FVF_DECL_SIZE])
{
    std::vector<D3DVERTEXELEMENT9> elements;
    if (pDeclarator == nullptr || !ElementsOfFvf(FVF, elements))
        return D3DERR_INVALIDCALL;
    std::copy(elements.begin(), elements.end(), pDeclarator);
    pDeclarator[elements.size()] = D3DVERTEXELEMENT9 D3DDECL_END();
    return D3D_OK;
}

HRESULT D3DXFVFFromDeclarator(const D3DVERTEXELEMENT9* pDeclarator, DWORD* pFVF)
{
    std::vector<D3DVERTEXELEMENT9> elements;
    if (pFVF == nullptr || !ElementsOfDeclaration(pDeclarator, elements))
        return D3DERR_INVALIDCALL;
    // Guess the FVF from the usages, then accept it only when its own layout is the declaration.
    DWORD fvf = 0;
    UINT weights = 0;
    bool indices = false;
    DWORD texCount = 0;
    for (const D3DVERTEXELEMENT9& e : elements) {
        const bool first = e.UsageIndex == 0;
        if (e.Usage == D3DDECLUSAGE_POSITION && first) {
            fvf |= e.Type == D3DDECLTYPE_FLOAT4 ? D3DFVF_XYZW : D3DFVF_XYZ;
        } else if (e.Usage == D3DDECLUSAGE_POSITIONT && first) {
            fvf |= D3DFVF_XYZRHW;
        } else if (e.Usage == D3DDECLUSAGE_BLENDWEIGHT && first && IsFloatType(e.Type)) {
            weights = e.Type - D3DDECLTYPE_FLOAT1 + 1u;
        } else if (e.Usage == D3DDECLUSAGE_BLENDINDICES && first) {
            indices = true;
            fvf |= e.Type == D3DDECLTYPE_UBYTE4 ? D3DFVF_LASTBETA_UBYTE4 : D3DFVF_LASTBETA_D3DCOLOR;
        } else if (e.Usage == D3DDECLUSAGE_NORMAL && first) {
            fvf |= D3DFVF_NORMAL;
        } else if (e.Usage == D3DDECLUSAGE_PSIZE && first) {
            fvf |= D3DFVF_PSIZE;
        } else if (e.Usage == D3DDECLUSAGE_COLOR && e.UsageIndex <= 1) {
            fvf |= first ? D3DFVF_DIFFUSE : D3DFVF_SPECULAR;
        } else if (e.Usage == D3DDECLUSAGE_TEXCOORD && e.UsageIndex < 8 && IsFloatType(e.Type)) {
            texCount = std::max<DWORD>(texCount, e.UsageIndex + 1u);
            const DWORD size = e.Type == D3DDECLTYPE_FLOAT1   ? D3DFVF_TEXTUREFORMAT1
                               : e.Type == D3DDECLTYPE_FLOAT3 ? D3DFVF_TEXTUREFORMAT3
                               : e.Type == D3DDECLTYPE_FLOAT4 ? D3DFVF_TEXTUREFORMAT4
                                                              : D3DFVF_TEXTUREFORMAT2;
            fvf |= size << (16 + 2 * e.UsageIndex);
        } else {
            return D3DERR_INVALIDCALL;
        }
    }
    if ((weights > 0 || indices) && (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZ) {
        const UINT betas = weights + (indices ? 1 : 0);
        if (betas > 5)
            return D3DERR_INVALIDCALL;
        fvf = (fvf & ~D3DFVF_POSITION_MASK) | (D3DFVF_XYZRHW + 2 * betas);
    }
    fvf |= texCount << D3DFVF_TEXCOUNT_SHIFT;
    std::vector<D3DVERTEXELEMENT9> expected;
    if (!ElementsOfFvf(fvf, expected) || expected.size() != elements.size())
        return D3DERR_INVALIDCALL;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const D3DVERTEXELEMENT9& a = elements[i];
        const D3DVERTEXELEMENT9& b = expected[i];
        if (a.Stream != b.Stream || a.Offset != b.Offset || a.Type != b.Type || a.Method != b.Method ||
            a.Usage != b.Usage || a.UsageIndex != b.UsageIndex)
            return D3DERR_INVALIDCALL;
    }
    *pFVF = fvf;
    return D3D_OK;
}

UINT D3DXGetFVFVertexSize(DWORD FVF)
{
    std::vector<D3DVERTEXELEMENT9> elements;
    if (!ElementsOfFvf(FVF, elements))
        return 0;
    UINT size = 0;
    for (const D3DVERTEXELEMENT9& e : elements)
        size += D3DXDeclTypeSize(e.Type);
    return size;
}

UINT D3DXGetDeclVertexSize(const D3DVERTEXELEMENT9* pDecl, DWORD Stream)
{
    std::vector<D3DVERTEXELEMENT9> elements;
    if (!ElementsOfDeclaration(pDecl, elements))
        return 0;
    UINT size = 0;
    for (const D3DVERTEXELEMENT9& e : elements) {
        if (D3DXDeclTypeSize(e.Type) == 0)
            return 0;
        if (e.Stream == Stream)
            size = std::max(size, UINT{e.Offset} + D3DXDeclTypeSize(e.Type));
    }
    return size;
}

UINT D3DXGetDeclLength(const D3DVERTEXELEMENT9* pDecl)
{
    std::vector<D3DVERTEXELEMENT9> elements;
    return ElementsOfDeclaration(pDecl, elements) ? static_cast<UINT>(elements.size()) : 0;
}

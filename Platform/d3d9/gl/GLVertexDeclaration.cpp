#include "d3d9/gl/GLVertexDeclaration.h"

#include <cstdlib>
#include <cstring>

#include "d3d9/D3DValidation.h"

namespace {

const char* const kUsageNames[] = {"POSITION", "BLENDWEIGHT", "BLENDINDICES", "NORMAL",   "PSIZE",
                                   "TEXCOORD", "TANGENT",     "BINORMAL",     "TESSFACTOR", "POSITIONT",
                                   "COLOR",    "FOG",         "DEPTH",        "SAMPLE"};

struct TypeFormat {
    GLint size;
    GLenum type;
    bool normalized;
};

// D3DCOLOR is B, G, R, A bytes: GL's BGRA size swizzles them to R, G, B, A for the shader.
const TypeFormat kTypes[] = {
    {1, GL_FLOAT, false},         {2, GL_FLOAT, false},          {3, GL_FLOAT, false},
    {4, GL_FLOAT, false},         {GL_BGRA, GL_UNSIGNED_BYTE, true}, {4, GL_UNSIGNED_BYTE, false},
    {2, GL_SHORT, false},         {4, GL_SHORT, false},          {4, GL_UNSIGNED_BYTE, true},
    {2, GL_SHORT, true},          {4, GL_SHORT, true},           {2, GL_UNSIGNED_SHORT, true},
    {4, GL_UNSIGNED_SHORT, true}, {4, GL_UNSIGNED_INT_2_10_10_10_REV, false},
    {4, GL_INT_2_10_10_10_REV, true}, {2, GL_HALF_FLOAT, false}, {4, GL_HALF_FLOAT, false},
};

} // namespace

std::string VertexInputName(BYTE usage, BYTE usageIndex)
{
    if (usage > MAXD3DDECLUSAGE)
        return {};
    return std::string(kUsageNames[usage]) + std::to_string(usageIndex);
}

bool ParseVertexInputName(const std::string& name, BYTE& usage, BYTE& usageIndex)
{
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    if (digits == name.size() || name.size() - digits > 2)
        return false;
    const int index = std::atoi(name.c_str() + digits);
    if (index > MAXD3DDECLUSAGEINDEX)
        return false;
    const std::string prefix = name.substr(0, digits);
    for (BYTE u = 0; u <= MAXD3DDECLUSAGE; ++u) {
        if (prefix == kUsageNames[u]) {
            usage = u;
            usageIndex = static_cast<BYTE>(index);
            return true;
        }
    }
    return false;
}

HRESULT GLVertexDeclaration::Create(GLDevice* device, const D3DVERTEXELEMENT9* elements,
                                    IDirect3DVertexDeclaration9** decl)
{
    if (!decl)
        return D3DERR_INVALIDCALL;
    *decl = nullptr;
    UINT count = 0;
    if (const HRESULT hr = CheckD3DVertexElements(elements, &count); hr != D3D_OK)
        return hr;
    std::vector<Element> parsed;
    parsed.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        const TypeFormat& f = kTypes[elements[i].Type];
        parsed.push_back({elements[i], f.size, f.type, f.normalized});
    }
    GLVertexDeclaration* d = new GLVertexDeclaration(device);
    d->elements_ = std::move(parsed);
    *decl = d;
    return D3D_OK;
}

HRESULT GLVertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements)
{
    if (!pNumElements)
        return D3DERR_INVALIDCALL;
    const UINT count = static_cast<UINT>(elements_.size()) + 1;
    if (pElement) {
        for (size_t i = 0; i < elements_.size(); ++i)
            pElement[i] = elements_[i].d3d;
        pElement[elements_.size()] = D3DVERTEXELEMENT9 D3DDECL_END();
    }
    *pNumElements = count;
    return D3D_OK;
}

const GLVertexDeclaration::Element* GLVertexDeclaration::Find(BYTE usage, BYTE usageIndex) const
{
    for (const Element& e : elements_)
        if (e.d3d.Usage == usage && e.d3d.UsageIndex == usageIndex)
            return &e;
    return nullptr;
}

#include "d3dx9/mesh/D3DXPMeshObject.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

HRESULT D3DXPMeshObject::Create(IDirect3DDevice9* device, DWORD options, const std::vector<D3DVERTEXELEMENT9>& elements,
                                UINT stride, D3DXPMeshPlan plan)
{
    if (plan.levels.empty() || stride == 0)
        return D3DERR_INVALIDCALL;
    const auto numVertices = static_cast<DWORD>(plan.vertices.size() / stride);
    HRESULT hr = buffers_.Create(device, options, elements, stride, numVertices, plan.levels.front().numFaces);
    if (hr == D3D_OK)
        hr = buffers_.WriteVertices(plan.vertices);
    if (hr != D3D_OK)
        return hr;
    levels_ = std::move(plan.levels);
    current_ = levels_.size();
    return Select(0);
}

HRESULT D3DXPMeshObject::Select(std::size_t level)
{
    if (level == current_)
        return D3D_OK;
    const HRESULT hr = buffers_.WriteIndices(levels_[level].indices);
    if (hr == D3D_OK)
        current_ = level;
    return hr;
}

HRESULT D3DXPMeshObject::DrawSubset(DWORD AttribId)
{
    for (const D3DXATTRIBUTERANGE& range : levels_[current_].table)
        if (range.AttribId == AttribId)
            return buffers_.Draw(range.FaceStart, range.FaceCount, range.VertexStart, range.VertexCount);
    return D3D_OK;
}

HRESULT D3DXPMeshObject::SetNumFaces(DWORD Faces)
{
    Faces = std::clamp(Faces, GetMinFaces(), GetMaxFaces());
    std::size_t level = 0;
    while (levels_[level].numFaces > Faces)
        ++level;
    return Select(level);
}

HRESULT D3DXPMeshObject::SetNumVertices(DWORD Vertices)
{
    Vertices = std::clamp(Vertices, GetMinVertices(), GetMaxVertices());
    std::size_t level = 0;
    while (levels_[level].numVertices > Vertices)
        ++level;
    return Select(level);
}

std::vector<DWORD> D3DXPMeshObject::ActiveAttributes() const
{
    std::vector<DWORD> attributes(levels_[current_].numFaces, 0);
    for (const D3DXATTRIBUTERANGE& range : levels_[current_].table)
        std::fill_n(attributes.begin() + range.FaceStart, range.FaceCount, range.AttribId);
    return attributes;
}

namespace {

// The mesh's vertices, faces and attribute ids through its public interface.
HRESULT ReadMesh(ID3DXMesh* mesh, D3DXMeshContent& content)
{
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    HRESULT hr = mesh->GetDeclaration(declaration);
    if (hr == D3D_OK)
        hr = D3DXReadMeshDeclaration(declaration, content.elements, content.stride);
    if (hr != D3D_OK)
        return hr;
    if (content.stride != mesh->GetNumBytesPerVertex())
        return D3DERR_INVALIDCALL;
    content.numVertices = mesh->GetNumVertices();
    const DWORD faces = mesh->GetNumFaces();
    const bool indices32 = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    void* data = nullptr;
    if ((hr = mesh->LockVertexBuffer(D3DLOCK_READONLY, &data)) != D3D_OK)
        return hr;
    const auto* bytes = static_cast<const BYTE*>(data);
    content.vertices.assign(bytes, bytes + std::size_t{content.numVertices} * content.stride);
    mesh->UnlockVertexBuffer();
    if ((hr = mesh->LockIndexBuffer(D3DLOCK_READONLY, &data)) != D3D_OK)
        return hr;
    content.indices.resize(std::size_t{faces} * 3);
    for (std::size_t i = 0; i < content.indices.size(); ++i)
        content.indices[i] = indices32 ? static_cast<const std::uint32_t*>(data)[i]
                                       : static_cast<const std::uint16_t*>(data)[i];
    mesh->UnlockIndexBuffer();
    DWORD* attributes = nullptr;
    if ((hr = mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes)) != D3D_OK)
        return hr;
    content.attributes.assign(attributes, attributes + faces);
    mesh->UnlockAttributeBuffer();
    for (std::uint32_t index : content.indices)
        if (index >= content.numVertices)
            return D3DXERR_INVALIDMESH;
    return D3D_OK;
}

bool ValidWeight(float weight)
{
    return std::isfinite(weight) && weight >= 0.0f;
}

bool ValidWeights(const D3DXATTRIBUTEWEIGHTS* weights)
{
    if (weights == nullptr)
        return true;
    bool valid = ValidWeight(weights->Position) && ValidWeight(weights->Boundary) && ValidWeight(weights->Normal) &&
                 ValidWeight(weights->Diffuse) && ValidWeight(weights->Specular) && ValidWeight(weights->Tangent) &&
                 ValidWeight(weights->Binormal);
    for (float texcoord : weights->Texcoord)
        valid = valid && ValidWeight(texcoord);
    return valid;
}

} // namespace

HRESULT D3DXGeneratePMesh(ID3DXMesh* pMesh, const DWORD* pAdjacency, const D3DXATTRIBUTEWEIGHTS* pVertexAttributeWeights,
                          const float* pVertexWeights, DWORD MinValue, DWORD Options, ID3DXPMesh** ppPMesh)
{
    if (ppPMesh == nullptr)
        return D3DERR_INVALIDCALL;
    *ppPMesh = nullptr;
    if (pMesh == nullptr || pAdjacency == nullptr || (Options != D3DXMESHSIMP_FACE && Options != D3DXMESHSIMP_VERTEX) ||
        !ValidWeights(pVertexAttributeWeights))
        return D3DERR_INVALIDCALL;
    try {
        D3DXMeshContent content;
        HRESULT hr = ReadMesh(pMesh, content);
        if (hr != D3D_OK)
            return hr;
        const D3DVERTEXELEMENT9* position = D3DXFindElement(content.elements, D3DDECLUSAGE_POSITION, 0);
        if (position == nullptr || (position->Type != D3DDECLTYPE_FLOAT3 && position->Type != D3DDECLTYPE_FLOAT4))
            return D3DERR_INVALIDCALL;
        for (std::size_t i = 0; i < content.attributes.size() * 3; ++i)
            if (pAdjacency[i] != D3DX_UNUSED_ADJACENCY && pAdjacency[i] >= content.attributes.size())
                return D3DERR_INVALIDCALL;
        if (pVertexWeights != nullptr)
            for (DWORD v = 0; v < content.numVertices; ++v)
                if (!ValidWeight(pVertexWeights[v]))
                    return D3DERR_INVALIDCALL;

        IDirect3DDevice9* device = nullptr;
        if ((hr = pMesh->GetDevice(&device)) != D3D_OK)
            return hr;
        auto* made = new (std::nothrow) D3DXPMeshObject();
        if (made == nullptr) {
            device->Release();
            return E_OUTOFMEMORY;
        }
        hr = made->Create(device, pMesh->GetOptions(), content.elements, content.stride,
                          D3DXPlanProgressiveMesh(content, MinValue, Options == D3DXMESHSIMP_VERTEX));
        device->Release();
        if (hr != D3D_OK) {
            made->Release();
            return hr;
        }
        *ppPMesh = made;
        return D3D_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

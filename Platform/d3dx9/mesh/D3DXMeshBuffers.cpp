#include "d3dx9/mesh/D3DXMeshBuffers.h"

#include <cstring>
#include <limits>

namespace {

constexpr DWORD kKnownOptions = D3DXMESH_32BIT | D3DXMESH_DONOTCLIP | D3DXMESH_POINTS | D3DXMESH_RTPATCHES |
                                D3DXMESH_NPATCHES | D3DXMESH_VB_SYSTEMMEM | D3DXMESH_VB_MANAGED |
                                D3DXMESH_VB_WRITEONLY | D3DXMESH_VB_DYNAMIC | D3DXMESH_VB_SOFTWAREPROCESSING |
                                D3DXMESH_IB_SYSTEMMEM | D3DXMESH_IB_MANAGED | D3DXMESH_IB_WRITEONLY |
                                D3DXMESH_IB_DYNAMIC | D3DXMESH_IB_SOFTWAREPROCESSING | D3DXMESH_USEHWONLY;
constexpr DWORD kMaxVertices16 = 0xFFFF;

// The pool of one buffer; false when both pools are asked for.
bool PoolOf(DWORD options, DWORD systemBit, DWORD managedBit, D3DPOOL& pool)
{
    if ((options & systemBit) != 0 && (options & managedBit) != 0)
        return false;
    pool = (options & systemBit) != 0 ? D3DPOOL_SYSTEMMEM : (options & managedBit) != 0 ? D3DPOOL_MANAGED
                                                                                        : D3DPOOL_DEFAULT;
    return true;
}

DWORD UsageOf(DWORD options, DWORD writeOnly, DWORD dynamic, DWORD software)
{
    DWORD usage = 0;
    usage |= (options & writeOnly) != 0 ? D3DUSAGE_WRITEONLY : 0;
    usage |= (options & dynamic) != 0 ? D3DUSAGE_DYNAMIC : 0;
    usage |= (options & software) != 0 ? D3DUSAGE_SOFTWAREPROCESSING : 0;
    usage |= (options & D3DXMESH_DONOTCLIP) != 0 ? D3DUSAGE_DONOTCLIP : 0;
    usage |= (options & D3DXMESH_POINTS) != 0 ? D3DUSAGE_POINTS : 0;
    usage |= (options & D3DXMESH_RTPATCHES) != 0 ? D3DUSAGE_RTPATCHES : 0;
    usage |= (options & D3DXMESH_NPATCHES) != 0 ? D3DUSAGE_NPATCHES : 0;
    return usage;
}

} // namespace

D3DXMeshBuffers::~D3DXMeshBuffers()
{
    if (declaration_ != nullptr)
        declaration_->Release();
    if (indexBuffer_ != nullptr)
        indexBuffer_->Release();
    if (vertexBuffer_ != nullptr)
        vertexBuffer_->Release();
    if (device_ != nullptr)
        device_->Release();
}

HRESULT D3DXMeshBuffers::Create(IDirect3DDevice9* device, DWORD options, const std::vector<D3DVERTEXELEMENT9>& elements,
                                UINT stride, DWORD numVertices, DWORD numFaces)
{
    D3DPOOL vertexPool = D3DPOOL_DEFAULT, indexPool = D3DPOOL_DEFAULT;
    const bool indices32 = (options & D3DXMESH_32BIT) != 0;
    const std::uint64_t vertexBytes = std::uint64_t{numVertices} * stride;
    const std::uint64_t indexBytes = std::uint64_t{numFaces} * 3 * (indices32 ? 4 : 2);
    constexpr std::uint64_t kMaxBytes = std::numeric_limits<UINT>::max();
    if (device == nullptr || device_ != nullptr || (options & ~kKnownOptions) != 0 || numVertices == 0 ||
        numFaces == 0 || stride == 0 || elements.empty() ||
        !PoolOf(options, D3DXMESH_VB_SYSTEMMEM, D3DXMESH_VB_MANAGED, vertexPool) ||
        !PoolOf(options, D3DXMESH_IB_SYSTEMMEM, D3DXMESH_IB_MANAGED, indexPool) ||
        (!indices32 && numVertices > kMaxVertices16) || vertexBytes > kMaxBytes || indexBytes > kMaxBytes)
        return D3DERR_INVALIDCALL;

    std::vector<D3DVERTEXELEMENT9> declaration(elements);
    declaration.push_back(D3DVERTEXELEMENT9 D3DDECL_END());
    DWORD fvf = 0;
    if (D3DXFVFFromDeclarator(declaration.data(), &fvf) != D3D_OK)
        fvf = 0;
    HRESULT hr = device->CreateVertexBuffer(static_cast<UINT>(vertexBytes),
                                            UsageOf(options, D3DXMESH_VB_WRITEONLY, D3DXMESH_VB_DYNAMIC,
                                                    D3DXMESH_VB_SOFTWAREPROCESSING),
                                            fvf, vertexPool, &vertexBuffer_, nullptr);
    if (hr == D3D_OK)
        hr = device->CreateIndexBuffer(static_cast<UINT>(indexBytes),
                                       UsageOf(options, D3DXMESH_IB_WRITEONLY, D3DXMESH_IB_DYNAMIC,
                                               D3DXMESH_IB_SOFTWAREPROCESSING),
                                       indices32 ? D3DFMT_INDEX32 : D3DFMT_INDEX16, indexPool, &indexBuffer_, nullptr);
    if (hr == D3D_OK)
        hr = device->CreateVertexDeclaration(declaration.data(), &declaration_);
    if (hr != D3D_OK) {
        if (indexBuffer_ != nullptr)
            indexBuffer_->Release();
        if (vertexBuffer_ != nullptr)
            vertexBuffer_->Release();
        indexBuffer_ = nullptr;
        vertexBuffer_ = nullptr;
        declaration_ = nullptr;
        return hr;
    }
    device_ = device;
    device_->AddRef();
    options_ = options;
    fvf_ = fvf;
    stride_ = stride;
    elements_ = elements;
    vertexCapacity_ = numVertices;
    faceCapacity_ = numFaces;
    return D3D_OK;
}

HRESULT D3DXMeshBuffers::WriteVertices(const std::vector<BYTE>& vertices)
{
    if (vertices.size() > std::uint64_t{vertexCapacity_} * stride_)
        return D3DERR_INVALIDCALL;
    if (vertices.empty())
        return D3D_OK;
    void* data = nullptr;
    HRESULT hr = vertexBuffer_->Lock(0, static_cast<UINT>(vertices.size()), &data, 0);
    if (hr != D3D_OK)
        return hr;
    std::memcpy(data, vertices.data(), vertices.size());
    return vertexBuffer_->Unlock();
}

HRESULT D3DXMeshBuffers::WriteIndices(const std::vector<std::uint32_t>& indices)
{
    if (indices.size() > std::uint64_t{faceCapacity_} * 3)
        return D3DERR_INVALIDCALL;
    for (std::uint32_t index : indices)
        if (index >= vertexCapacity_)
            return D3DERR_INVALIDCALL;
    if (indices.empty())
        return D3D_OK;
    const UINT size = static_cast<UINT>(indices.size() * (Indices32() ? 4 : 2));
    void* data = nullptr;
    HRESULT hr = indexBuffer_->Lock(0, size, &data, 0);
    if (hr != D3D_OK)
        return hr;
    if (Indices32()) {
        std::memcpy(data, indices.data(), size);
    } else {
        auto* out = static_cast<std::uint16_t*>(data);
        for (std::size_t i = 0; i < indices.size(); ++i)
            out[i] = static_cast<std::uint16_t>(indices[i]);
    }
    return indexBuffer_->Unlock();
}

HRESULT D3DXMeshBuffers::ReadVertices(DWORD count, std::vector<BYTE>& vertices)
{
    vertices.clear();
    if (count > vertexCapacity_)
        return D3DERR_INVALIDCALL;
    if (count == 0)
        return D3D_OK;
    void* data = nullptr;
    const UINT size = count * stride_;
    HRESULT hr = vertexBuffer_->Lock(0, size, &data, D3DLOCK_READONLY);
    if (hr != D3D_OK)
        return hr;
    const auto* bytes = static_cast<const BYTE*>(data);
    vertices.assign(bytes, bytes + size);
    return vertexBuffer_->Unlock();
}

HRESULT D3DXMeshBuffers::ReadIndices(DWORD faces, std::vector<std::uint32_t>& indices)
{
    indices.clear();
    if (faces > faceCapacity_)
        return D3DERR_INVALIDCALL;
    if (faces == 0)
        return D3D_OK;
    const std::size_t count = std::size_t{faces} * 3;
    void* data = nullptr;
    HRESULT hr = indexBuffer_->Lock(0, static_cast<UINT>(count * (Indices32() ? 4 : 2)), &data, D3DLOCK_READONLY);
    if (hr != D3D_OK)
        return hr;
    indices.resize(count);
    if (Indices32()) {
        std::memcpy(indices.data(), data, count * 4);
    } else {
        const auto* in = static_cast<const std::uint16_t*>(data);
        for (std::size_t i = 0; i < count; ++i)
            indices[i] = in[i];
    }
    return indexBuffer_->Unlock();
}

HRESULT D3DXMeshBuffers::Draw(DWORD faceStart, DWORD faceCount, DWORD vertexStart, DWORD vertexCount)
{
    HRESULT hr = device_->SetStreamSource(0, vertexBuffer_, 0, stride_);
    if (hr == D3D_OK)
        hr = device_->SetIndices(indexBuffer_);
    if (hr == D3D_OK)
        hr = device_->SetVertexDeclaration(declaration_);
    if (hr == D3D_OK)
        hr = device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, vertexStart, vertexCount, faceStart * 3, faceCount);
    return hr;
}

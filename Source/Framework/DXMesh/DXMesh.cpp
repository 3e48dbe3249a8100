#include "DXMesh/DXMesh.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "DXEffect/DXEffect.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXMesh/AmbientOcclusionBake.h"
#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "Transform.h"
#include "win32/MessageBox.h"

namespace {

D3DXCOLOR Colour(const D3DCOLORVALUE& value)
{
    return D3DXCOLOR(value.r, value.g, value.b, value.a);
}

D3DXVECTOR4 Vector(const D3DXCOLOR& colour)
{
    return D3DXVECTOR4(colour.r, colour.g, colour.b, colour.a);
}

} // namespace

DXMesh::DXMesh(Transform* meshTransform) : BASERENDEROBJECT(meshTransform) {}

DXMesh::~DXMesh()
{
    if (mMesh)
        mMesh->Release();
    if (pMesh)
        pMesh->Release();
    for (DXMaterial& material : materials) {
        if (material.texture)
            material.texture->Release();
        material.texture = nullptr;
    }
}

void DXMesh::LoadX(const std::string& filename, bool loadTextures, bool generateLOD)
{
    ID3DXBuffer* adjacency = nullptr;
    ID3DXBuffer* materialBuffer = nullptr;
    DWORD count = 0;
    const std::string path = dataPath + filename;
    const HRESULT hr = DXFramework::LoadMeshFromX(path.c_str(), D3DXMESH_MANAGED | D3DXMESH_32BIT, &adjacency,
                                                  &materialBuffer, nullptr, &count, &mMesh);
    if (hr != D3D_OK) {
        if (adjacency)
            adjacency->Release();
        if (materialBuffer)
            materialBuffer->Release();
        if (mMesh) {
            mMesh->Release();
            mMesh = nullptr;
        }
        throw FrameworkEx("[DXMesh::LoadX]: failed to load \"" + filename + "\".");
    }
    numMaterials = count;

    const auto* fileMaterials =
        materialBuffer ? static_cast<const D3DXMATERIAL*>(materialBuffer->GetBufferPointer()) : nullptr;
    for (DWORD i = 0; fileMaterials && i < count; ++i) {
        const D3DXMATERIAL& source = fileMaterials[i];
        DXMaterial material;
        material.diffuse = Colour(source.MatD3D.Diffuse);
        material.ambient = Colour(source.MatD3D.Ambient);
        material.specular = Colour(source.MatD3D.Specular);
        material.emissive = Colour(source.MatD3D.Emissive);
        material.power = source.MatD3D.Power;
        if (loadTextures && source.pTextureFilename && source.pTextureFilename[0] != '\0') {
            const std::string texturePath = dataPath + source.pTextureFilename;
            if (DXFramework::CreateTextureFromFileEx(texturePath.c_str(), D3DX_FROM_FILE, D3DX_FROM_FILE, 1, 0,
                                                     D3DFMT_FROM_FILE, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                                     D3DX_FILTER_NONE, 0, nullptr, nullptr,
                                                     &material.texture) != D3D_OK) {
                material.texture = nullptr;
                MessageBoxA(nullptr, texturePath.c_str(), "Could not locate texture", MB_OKCANCEL);
            }
        }
        materials.push_back(material);
    }

    if (generateLOD) {
        const auto* adjacencyData = static_cast<const DWORD*>(adjacency->GetBufferPointer());
        lodAdjacency.assign(adjacencyData, adjacencyData + adjacency->GetBufferSize() / sizeof(DWORD));
        try {
            CHECK_RESULT(D3DXGeneratePMesh(mMesh, static_cast<const DWORD*>(adjacency->GetBufferPointer()), nullptr,
                                           nullptr, 10, D3DXMESHSIMP_FACE, &pMesh));
        } catch (...) {
            adjacency->Release();
            if (materialBuffer)
                materialBuffer->Release();
            throw;
        }
    }
    if (adjacency)
        adjacency->Release();
    if (materialBuffer)
        materialBuffer->Release();
}

void DXMesh::Draw()
{
    if (transform && !transform->IsVisible())
        return;
    DXEffect* effect = DXEffectHandler::GetActiveEffect();
    ID3DXBaseMesh* drawn = pMesh ? static_cast<ID3DXBaseMesh*>(pMesh) : static_cast<ID3DXBaseMesh*>(mMesh);
    if (!effect || !drawn)
        return;
    for (unsigned i = 0; i < numMaterials && i < materials.size(); ++i) {
        const DXMaterial& material = materials[i];
        const D3DXVECTOR4 diffuse = Vector(material.diffuse);
        const D3DXVECTOR4 ambient = Vector(material.ambient);
        const D3DXVECTOR4 specular = Vector(material.specular);
        effect->SetMaterialTexture(material.texture);
        effect->SetMaterialDiffuse(&diffuse);
        effect->SetMaterialAmbient(&ambient);
        effect->SetMaterialSpecular(&specular);
        effect->SetMaterialSpecularPower(material.power);
        effect->CommitChanges();
        drawn->DrawSubset(i);
    }
}

unsigned DXMesh::GetNumVertices() const
{
    if (!mMesh)
        throw FrameworkEx("[DXMesh::GetNumVertices()]: mMesh == NULL");
    return mMesh->GetNumVertices();
}

unsigned DXMesh::GetNumFaces() const
{
    if (!mMesh)
        throw FrameworkEx("[DXMesh::GetNumFaces()]: mMesh == NULL");
    return mMesh->GetNumFaces();
}

void DXMesh::CopyOut(BYTE usage, D3DXVECTOR3* out) const
{
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    CHECK_RESULT(mMesh->GetDeclaration(declaration));
    int offset = -1;
    for (UINT i = 0; i < MAX_FVF_DECL_SIZE && declaration[i].Stream != 0xFF; ++i)
        if (declaration[i].Usage == usage)
            offset = declaration[i].Offset;
    if (offset < 0)
        throw FrameworkEx("[DXMesh::CopyOutPositionData]: no position info in vertex stream.");
    void* data = nullptr;
    CHECK_RESULT(mMesh->LockVertexBuffer(0, &data));
    if (!data)
        return;
    const DWORD stride = mMesh->GetNumBytesPerVertex();
    const DWORD n = mMesh->GetNumVertices();
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (DWORD i = 0; i < n; ++i)
        std::memcpy(&out[i], bytes + static_cast<std::size_t>(i) * stride + static_cast<std::size_t>(offset),
                    sizeof(float) * 3);
    mMesh->UnlockVertexBuffer();
}

void DXMesh::GetVertexPositions(D3DXVECTOR3* out) const
{
    if (!mMesh)
        throw FrameworkEx("[DXMesh::GetVertexPositions]: Mesh not loaded yet!");
    CopyOut(D3DDECLUSAGE_POSITION, out);
}

void DXMesh::GetVertexNormals(D3DXVECTOR3* out) const
{
    if (!mMesh)
        throw FrameworkEx("[DXMesh::GetVertexNormals]: Mesh not loaded yet!");
    CopyOut(D3DDECLUSAGE_NORMAL, out);
}

void DXMesh::LockIB(void** data, DWORD flags)
{
    if (!mMesh)
        throw FrameworkEx("[DXMesh::LockIB]: mMesh == NULL");
    CHECK_RESULT(mMesh->LockIndexBuffer(flags, data));
}

void DXMesh::UnlockIB()
{
    if (!mMesh)
        return;
    mMesh->UnlockIndexBuffer();
}

void DXMesh::Bake_AO_to_Vertex()
{
    if (!mMesh)
        throw FrameworkEx("[DXMesh::Bake_AO_to_Vertex]: Mesh not loaded yet!");
    if (!(mMesh->GetFVF() & D3DFVF_NORMAL))
        throw FrameworkEx("[DXMesh::Bake_AO_to_Vertex]: Mesh does not have normal information!");
    if (!(mMesh->GetFVF() & D3DFVF_DIFFUSE)) {
        ID3DXMesh* clone = nullptr;
        CHECK_RESULT(mMesh->CloneMeshFVF(mMesh->GetOptions() | D3DXMESH_32BIT, mMesh->GetFVF() | D3DFVF_DIFFUSE,
                                         DXFramework::GetDevice(), &clone));
        mMesh->Release();
        mMesh = clone;
    }

    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    CHECK_RESULT(mMesh->GetDeclaration(declaration));
    int colourOffset = -1, normalOffset = -1, positionOffset = -1;
    for (UINT i = 0; i < MAX_FVF_DECL_SIZE && declaration[i].Stream != 0xFF; ++i) {
        if (declaration[i].Usage == D3DDECLUSAGE_COLOR)
            colourOffset = declaration[i].Offset;
        else if (declaration[i].Usage == D3DDECLUSAGE_NORMAL)
            normalOffset = declaration[i].Offset;
        else if (declaration[i].Usage == D3DDECLUSAGE_POSITION)
            positionOffset = declaration[i].Offset;
    }
    if (colourOffset < 0)
        throw FrameworkEx(
            "[DXMesh::Bake_AO_to_Vertex]: Cloning must have failed - still no color info in vertex stream.");
    if (normalOffset < 0)
        throw FrameworkEx(
            "[DXMesh::Bake_AO_to_Vertex]: Cloning must have failed - no normal vector info in vertex stream.");
    if (positionOffset < 0)
        throw FrameworkEx(
            "[DXMesh::Bake_AO_to_Vertex]: Cloning must have failed - no position info in vertex stream.");

    void* indexData = nullptr;
    CHECK_RESULT(mMesh->LockIndexBuffer(0, &indexData));
    void* vertexData = nullptr;
    try {
        CHECK_RESULT(mMesh->LockVertexBuffer(0, &vertexData));
    } catch (...) {
        mMesh->UnlockIndexBuffer();
        throw;
    }
    const DWORD stride = mMesh->GetNumBytesPerVertex();
    const DWORD faces = mMesh->GetNumFaces();
    const DWORD vertices = mMesh->GetNumVertices();
    auto* bytes = static_cast<unsigned char*>(vertexData);
    std::vector<D3DXVECTOR3> positions(vertices), normals(vertices);
    for (DWORD v = 0; v < vertices; ++v) {
        std::memcpy(&positions[v], bytes + static_cast<std::size_t>(v) * stride + positionOffset, sizeof(float) * 3);
        std::memcpy(&normals[v], bytes + static_cast<std::size_t>(v) * stride + normalOffset, sizeof(float) * 3);
    }
    const std::vector<D3DCOLOR> colours =
        BakeAmbientOcclusion(positions.data(), normals.data(), vertices, static_cast<const std::uint32_t*>(indexData),
                             faces, AmbientOcclusionSearch::Bvh);
    for (DWORD v = 0; v < vertices; ++v)
        std::memcpy(bytes + static_cast<std::size_t>(v) * stride + colourOffset, &colours[v], sizeof(D3DCOLOR));
    mMesh->UnlockVertexBuffer();
    mMesh->UnlockIndexBuffer();

    // The progressive mesh was made from the mesh before the bake; it would draw the old colours.
    if (pMesh)
        RegenerateLOD();
}

void DXMesh::RegenerateLOD()
{
    const DWORD faces = pMesh->GetNumFaces();
    if (lodAdjacency.size() != static_cast<std::size_t>(mMesh->GetNumFaces()) * 3) {
        lodAdjacency.resize(static_cast<std::size_t>(mMesh->GetNumFaces()) * 3);
        CHECK_RESULT(mMesh->GenerateAdjacency(0.0f, lodAdjacency.data()));
    }
    ID3DXPMesh* rebuilt = nullptr;
    CHECK_RESULT(D3DXGeneratePMesh(mMesh, lodAdjacency.data(), nullptr, nullptr, 10, D3DXMESHSIMP_FACE, &rebuilt));
    pMesh->Release();
    pMesh = rebuilt;
    CHECK_RESULT(pMesh->SetNumFaces(faces));
}

void DXMesh::DumpBuffers(const std::string& base)
{
    if (!mMesh)
        throw FrameworkEx("[DXMesh::DumpBuffers]: Mesh not loaded yet!");
    const DWORD vertices = mMesh->GetNumVertices();
    const DWORD stride = mMesh->GetNumBytesPerVertex();
    const DWORD faces = mMesh->GetNumFaces();

    if (std::FILE* file = std::fopen((base + ".nfo").c_str(), "w")) {
        std::fprintf(file, "Verts:%lx\nBytesPrVert:%lx\nFaces:%lx\n", static_cast<unsigned long>(vertices),
                     static_cast<unsigned long>(stride), static_cast<unsigned long>(faces));
        std::fclose(file);
    }

    if (std::FILE* file = std::fopen((base + ".decl").c_str(), "wb")) {
        D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
        try {
            CHECK_RESULT(mMesh->GetDeclaration(declaration));
        } catch (...) {
            std::fclose(file);
            throw;
        }
        for (UINT i = 0; i < MAX_FVF_DECL_SIZE && declaration[i].Stream != 0xFF; ++i) {
            const D3DVERTEXELEMENT9& e = declaration[i];
            const unsigned char element[8] = {static_cast<unsigned char>(e.Stream & 0xFF),
                                              static_cast<unsigned char>(e.Stream >> 8),
                                              static_cast<unsigned char>(e.Offset & 0xFF),
                                              static_cast<unsigned char>(e.Offset >> 8),
                                              e.Type,
                                              e.Method,
                                              e.Usage,
                                              e.UsageIndex};
            std::fwrite(element, 1, sizeof(element), file);
        }
        std::fclose(file);
    }

    // Writes `size` bytes of a buffer locked read-only by `lock`, unlocked by `unlock` after.
    const auto dump = [](const std::string& path, std::size_t size, auto lock, auto unlock) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file)
            return;
        void* data = nullptr;
        try {
            CHECK_RESULT(lock(&data));
        } catch (...) {
            std::fclose(file);
            throw;
        }
        if (data && size > 0)
            std::fwrite(data, 1, size, file);
        unlock();
        std::fclose(file);
    };
    dump(base + ".vb", static_cast<std::size_t>(vertices) * stride,
         [this](void** data) { return mMesh->LockVertexBuffer(D3DLOCK_READONLY, data); },
         [this] { mMesh->UnlockVertexBuffer(); });
    dump(base + ".ib", static_cast<std::size_t>(faces) * 3 * sizeof(std::uint32_t),
         [this](void** data) { return mMesh->LockIndexBuffer(D3DLOCK_READONLY, data); },
         [this] { mMesh->UnlockIndexBuffer(); });
}

void DXMesh::SetNumFacesLOD(float fraction)
{
    if (!pMesh)
        throw FrameworkEx("[DXMesh::SetNumFacesLOD()] input parameter indicates that a LOD is requested, but no LOD "
                          "is generated");
    // Truncated toward zero; fractions outside 0 ... 1 (or not a number) stay within the mesh's
    // range instead of wrapping around in the conversion.
    const float wanted = static_cast<float>(pMesh->GetMaxFaces()) * fraction;
    const float limited = std::clamp(wanted >= 0.0f ? wanted : 0.0f, 0.0f, static_cast<float>(pMesh->GetMaxFaces()));
    CHECK_RESULT(pMesh->SetNumFaces(static_cast<DWORD>(limited)));
}

#include "DXMesh/DXMesh.h"

#include <cstring>

#include "DXEffect/DXEffect.h"
#include "DXEffect/DXEffectHandler.h"
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

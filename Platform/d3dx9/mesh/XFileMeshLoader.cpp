#include "d3dx9/mesh/XFileMeshLoader.h"

#include <cstring>
#include <new>
#include <string>

#include "d3dx9/mesh/D3DXAdjacency.h"
#include "d3dx9/mesh/D3DXBaseMeshImpl.h"
#include "d3dx9/mesh/XFileMeshBuilder.h"
#include "d3dx9/xfile/XFileReader.h"

namespace {

D3DCOLORVALUE Color(float r, float g, float b, float a)
{
    return D3DCOLORVALUE{r, g, b, a};
}

// The D3DXMATERIAL array followed by the texture file names (each ending in a zero) it points to.
HRESULT MakeMaterialBuffer(const std::vector<XFileMaterial>& materials, ID3DXBuffer** buffer)
{
    std::size_t size = materials.size() * sizeof(D3DXMATERIAL);
    for (const XFileMaterial& material : materials)
        if (!material.textureFilename.empty())
            size += material.textureFilename.size() + 1;
    if (size > 0xFFFFFFFFu)
        return E_OUTOFMEMORY;
    HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(size), buffer);
    if (hr != D3D_OK)
        return hr;
    auto* bytes = static_cast<char*>((*buffer)->GetBufferPointer());
    char* names = bytes + materials.size() * sizeof(D3DXMATERIAL);
    for (std::size_t i = 0; i < materials.size(); ++i) {
        const XFileMaterial& from = materials[i];
        D3DXMATERIAL material{};
        material.MatD3D.Diffuse = Color(from.faceColor[0], from.faceColor[1], from.faceColor[2], from.faceColor[3]);
        // A .x material has no ambient colour: it stays black.
        material.MatD3D.Ambient = Color(0.0f, 0.0f, 0.0f, 0.0f);
        material.MatD3D.Specular = Color(from.specular[0], from.specular[1], from.specular[2], 1.0f);
        material.MatD3D.Emissive = Color(from.emissive[0], from.emissive[1], from.emissive[2], 1.0f);
        material.MatD3D.Power = from.power;
        material.pTextureFilename = nullptr;
        if (!from.textureFilename.empty()) {
            std::memcpy(names, from.textureFilename.c_str(), from.textureFilename.size() + 1);
            material.pTextureFilename = names;
            names += from.textureFilename.size() + 1;
        }
        std::memcpy(bytes + i * sizeof(D3DXMATERIAL), &material, sizeof(material));
    }
    return D3D_OK;
}

HRESULT MakeAdjacencyBuffer(const D3DXMeshContent& content, ID3DXBuffer** buffer)
{
    const std::vector<DWORD> adjacency =
        D3DXComputeAdjacency(content.indices, D3DXWeldPositions(content.Positions(), 0.0f));
    HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(adjacency.size() * sizeof(DWORD)), buffer);
    if (hr == D3D_OK)
        std::memcpy((*buffer)->GetBufferPointer(), adjacency.data(), adjacency.size() * sizeof(DWORD));
    return hr;
}

void Release(ID3DXBuffer** buffer)
{
    if (buffer != nullptr && *buffer != nullptr) {
        (*buffer)->Release();
        *buffer = nullptr;
    }
}

HRESULT Fail(HRESULT hr, const std::string& reason, std::string* error)
{
    if (error != nullptr)
        *error = reason;
    return hr;
}

} // namespace

HRESULT LoadXFileMeshInMemory(LPCVOID memory, DWORD size, DWORD options, IDirect3DDevice9* device,
                              ID3DXBuffer** adjacency, ID3DXBuffer** materials, ID3DXBuffer** effectInstances,
                              DWORD* numMaterials, ID3DXMesh** mesh, std::string* error)
{
    for (ID3DXBuffer** out : {adjacency, materials, effectInstances})
        if (out != nullptr)
            *out = nullptr;
    if (numMaterials != nullptr)
        *numMaterials = 0;
    if (mesh != nullptr)
        *mesh = nullptr;
    if (mesh == nullptr || device == nullptr || (memory == nullptr && size != 0))
        return Fail(D3DERR_INVALIDCALL, "no mesh, device or data", error);

    try {
        XFileModel model;
        XFileReader reader;
        XFileResult result = reader.Read(memory, size, model);
        XFileMeshBuild build;
        if (result.ok)
            result = BuildXFileMesh(model, build);
        if (!result.ok)
            return Fail(D3DXERR_INVALIDDATA, result.message, error);

        ID3DXMesh* made = nullptr;
        HRESULT hr = D3DXCreateMeshFromContent(device, options, build.content, &made);
        if (hr != D3D_OK && (options & D3DXMESH_32BIT) == 0 && build.content.numVertices > 0xFFFF)
            return Fail(hr, "the mesh has " + std::to_string(build.content.numVertices) +
                                " vertices, more than 16-bit indices reach (load it with D3DXMESH_32BIT)", error);
        if (hr != D3D_OK)
            return Fail(hr, "the mesh's buffers could not be made with these options", error);
        if (adjacency != nullptr)
            hr = MakeAdjacencyBuffer(build.content, adjacency);
        if (hr == D3D_OK && materials != nullptr)
            hr = MakeMaterialBuffer(build.materials, materials);
        if (hr != D3D_OK) {
            made->Release();
            Release(adjacency);
            Release(materials);
            return Fail(hr, "out of memory", error);
        }
        if (numMaterials != nullptr)
            *numMaterials = static_cast<DWORD>(build.materials.size());
        *mesh = made;
        return D3D_OK;
    } catch (const std::bad_alloc&) {
        Release(adjacency);
        Release(materials);
        return Fail(E_OUTOFMEMORY, "out of memory", error);
    }
}

HRESULT D3DXLoadMeshFromXInMemory(LPCVOID Memory, DWORD SizeOfMemory, DWORD Options, IDirect3DDevice9* pD3DDevice,
                                  ID3DXBuffer** ppAdjacency, ID3DXBuffer** ppMaterials,
                                  ID3DXBuffer** ppEffectInstances, DWORD* pNumMaterials, ID3DXMesh** ppMesh)
{
    return LoadXFileMeshInMemory(Memory, SizeOfMemory, Options, pD3DDevice, ppAdjacency, ppMaterials,
                                 ppEffectInstances, pNumMaterials, ppMesh, nullptr);
}

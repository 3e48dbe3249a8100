// Any bytes handed to D3DXLoadMeshFromXInMemory either make a mesh whose subsets draw, or fail
// with a failure code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzDevice.h"
#include "d3dx9/d3dx9mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    IDirect3DDevice9* device = FuzzDevice();
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    const HRESULT hr = D3DXLoadMeshFromXInMemory(data, static_cast<DWORD>(size), D3DXMESH_MANAGED | D3DXMESH_32BIT,
                                                 device, &adjacency, &materials, nullptr, &count, &mesh);
    if ((hr == D3D_OK) != (mesh != nullptr))
        std::abort();
    if (mesh) {
        for (DWORD i = 0; i < count; ++i)
            mesh->DrawSubset(i);
        if (adjacency && mesh->GetNumFaces() > 10 && mesh->GetNumFaces() < 5000) {
            ID3DXPMesh* progressive = nullptr;
            if (D3DXGeneratePMesh(mesh, static_cast<const DWORD*>(adjacency->GetBufferPointer()), nullptr, nullptr,
                                  10, D3DXMESHSIMP_FACE, &progressive) == D3D_OK) {
                progressive->SetNumFaces(progressive->GetMinFaces());
                progressive->DrawSubset(0);
                progressive->Release();
            }
        }
        mesh->Release();
    }
    if (adjacency)
        adjacency->Release();
    if (materials)
        materials->Release();
    ForgetFuzzCalls();
    return 0;
}

#pragma once
#include <string>
#include <vector>

#include "DXMesh/BaseRenderObject.h"
#include "d3dx9/d3dx9mesh.h"

// One material of a mesh: its colours and power from the file, and its texture (owned) or null.
struct DXMaterial {
    D3DXCOLOR diffuse;
    D3DXCOLOR ambient;
    D3DXCOLOR specular;
    D3DXCOLOR emissive;
    float power = 0.0f;
    IDirect3DTexture9* texture = nullptr;
};

// A mesh from a DirectX .x file in the archive, drawn subset by subset with each material bound on
// the active effect; optionally with a progressive mesh for level of detail.
class DXMesh : public BASERENDEROBJECT {
public:
    explicit DXMesh(Transform* transform);
    ~DXMesh() override;

    // Loads "Data\\" + filename (32-bit indices, managed pool); FrameworkEx when it cannot.
    void LoadX(const std::string& filename, bool loadTextures = true, bool generateLOD = false);
    // Draws every subset with its material; nothing while the transform is hidden.
    void Draw() override;

    unsigned GetNumVertices() const;
    unsigned GetNumFaces() const;
    // Every vertex's position (normal) into out, which holds GetNumVertices() elements.
    void GetVertexPositions(D3DXVECTOR3* out) const;
    void GetVertexNormals(D3DXVECTOR3* out) const;
    // The 32-bit index buffer, three indices per face.
    void LockIB(void** data, DWORD flags);
    void UnlockIB();

    // Offline tools, for a mesh loaded with LoadX.
    // Casts 256 rays from every vertex over the hemisphere around its normal against the mesh's
    // own triangles and stores the share that escapes (255 x openness, in all four channels) in
    // the vertex colour, adding a diffuse colour to the vertices when they have none. A
    // progressive mesh is made again from the baked mesh (at the same face count), so the baked
    // colours are what draws.
    void Bake_AO_to_Vertex();
    // Writes base + ".nfo" (counts in hexadecimal), ".decl" (the declaration's elements, 8 bytes
    // each), ".vb" (the raw vertices) and ".ib" (the 32-bit indices). A file that cannot be
    // opened is skipped.
    void DumpBuffers(const std::string& base);
    // Sets the progressive mesh to that fraction of its most faces (truncated, 0 ... 1);
    // FrameworkEx without a progressive mesh.
    void SetNumFacesLOD(float fraction);

    ID3DXMesh* GetMesh() const { return mMesh; }
    ID3DXPMesh* GetProgressiveMesh() const { return pMesh; }
    const std::vector<DXMaterial>& GetMaterials() const { return materials; }
    unsigned GetNumMaterials() const { return numMaterials; }

protected:
    // The three floats at the last element of that usage in every vertex (whatever its usage
    // index and stream); FrameworkEx naming position data when the declaration has none.
    void CopyOut(BYTE usage, D3DXVECTOR3* out) const;
    // Makes pMesh again from mMesh with the adjacency of the load, keeping its face count.
    void RegenerateLOD();

    ID3DXPMesh* pMesh = nullptr;
    ID3DXMesh* mMesh = nullptr;
    std::vector<DXMaterial> materials;
    unsigned numMaterials = 0;
    std::string dataPath = "Data\\";
    // The adjacency LoadX generated the progressive mesh with (empty without one).
    std::vector<DWORD> lodAdjacency;
};

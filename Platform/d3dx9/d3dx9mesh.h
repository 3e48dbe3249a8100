#pragma once
// The D3DX 9 mesh interfaces the demo calls: ID3DXMesh and ID3DXPMesh with the names, arguments,
// results and constant values of D3DX 9, the .x file loader, progressive-mesh generation and the
// vertex-format helpers.
//
// A mesh keeps its vertices in one vertex buffer (stream 0, one vertex declaration), its triangles
// in one index buffer (16-bit indices, or 32-bit with D3DXMESH_32BIT) and one attribute id per face.
// The attribute table lists, per attribute id, the range of faces and vertices DrawSubset draws.
// Bad arguments give D3DERR_INVALIDCALL; a .x file that cannot be read gives D3DXERR_INVALIDDATA.
#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9core.h"
#include "d3dx9/d3dx9math.h"
#include "win32/WinTypes.h"

// ---------------------------------------------------------------------------------------------
// Options of a mesh (D3DXMESH): index size and the pools and usages of its buffers.

inline constexpr DWORD D3DXMESH_32BIT = 0x001;
inline constexpr DWORD D3DXMESH_DONOTCLIP = 0x002;
inline constexpr DWORD D3DXMESH_POINTS = 0x004;
inline constexpr DWORD D3DXMESH_RTPATCHES = 0x008;
inline constexpr DWORD D3DXMESH_NPATCHES = 0x4000;
inline constexpr DWORD D3DXMESH_VB_SYSTEMMEM = 0x010;
inline constexpr DWORD D3DXMESH_VB_MANAGED = 0x020;
inline constexpr DWORD D3DXMESH_VB_WRITEONLY = 0x040;
inline constexpr DWORD D3DXMESH_VB_DYNAMIC = 0x080;
inline constexpr DWORD D3DXMESH_VB_SOFTWAREPROCESSING = 0x8000;
inline constexpr DWORD D3DXMESH_IB_SYSTEMMEM = 0x100;
inline constexpr DWORD D3DXMESH_IB_MANAGED = 0x200;
inline constexpr DWORD D3DXMESH_IB_WRITEONLY = 0x400;
inline constexpr DWORD D3DXMESH_IB_DYNAMIC = 0x800;
inline constexpr DWORD D3DXMESH_IB_SOFTWAREPROCESSING = 0x10000;
inline constexpr DWORD D3DXMESH_VB_SHARE = 0x1000;
inline constexpr DWORD D3DXMESH_USEHWONLY = 0x2000;
inline constexpr DWORD D3DXMESH_SYSTEMMEM = 0x110;
inline constexpr DWORD D3DXMESH_MANAGED = 0x220;
inline constexpr DWORD D3DXMESH_WRITEONLY = 0x440;
inline constexpr DWORD D3DXMESH_DYNAMIC = 0x880;
inline constexpr DWORD D3DXMESH_SOFTWAREPROCESSING = 0x18000;

// What the minimum value of D3DXGeneratePMesh counts.
inline constexpr DWORD D3DXMESHSIMP_VERTEX = 0x1;
inline constexpr DWORD D3DXMESHSIMP_FACE = 0x2;

// Elements of a declaration array that can hold any FVF: MAXD3DDECLLENGTH plus the end marker.
inline constexpr UINT MAX_FVF_DECL_SIZE = MAXD3DDECLLENGTH + 1;

// An adjacency entry for an edge without a neighbouring face.
inline constexpr DWORD D3DX_UNUSED_ADJACENCY = 0xFFFFFFFF;

// ---------------------------------------------------------------------------------------------
// Structures

// A material of a loaded mesh. pTextureFilename points into the same material buffer, or is null.
struct D3DXMATERIAL {
    D3DMATERIAL9 MatD3D;
    LPSTR pTextureFilename;
};
using LPD3DXMATERIAL = D3DXMATERIAL*;

// The faces [FaceStart, FaceStart + FaceCount) of one attribute id and the vertices they use.
struct D3DXATTRIBUTERANGE {
    DWORD AttribId;
    DWORD FaceStart;
    DWORD FaceCount;
    DWORD VertexStart;
    DWORD VertexCount;
};
using LPD3DXATTRIBUTERANGE = D3DXATTRIBUTERANGE*;

// How much each vertex component weighs when D3DX simplifies a mesh.
struct D3DXATTRIBUTEWEIGHTS {
    float Position;
    float Boundary;
    float Normal;
    float Diffuse;
    float Specular;
    float Texcoord[8];
    float Tangent;
    float Binormal;
};
using LPD3DXATTRIBUTEWEIGHTS = D3DXATTRIBUTEWEIGHTS*;

enum D3DXEFFECTDEFAULTTYPE : DWORD {
    D3DXEDT_STRING = 0x1,
    D3DXEDT_FLOATS = 0x2,
    D3DXEDT_DWORD = 0x3,
    D3DXEDT_FORCEDWORD = 0x7fffffff,
};

struct D3DXEFFECTDEFAULT {
    LPSTR pParamName;
    D3DXEFFECTDEFAULTTYPE Type;
    DWORD NumBytes;
    LPVOID pValue;
};
using LPD3DXEFFECTDEFAULT = D3DXEFFECTDEFAULT*;

// An effect a .x file names for a material. The loader reads no effect instances.
struct D3DXEFFECTINSTANCE {
    LPSTR pEffectFilename;
    DWORD NumDefaults;
    LPD3DXEFFECTDEFAULT pDefaults;
};
using LPD3DXEFFECTINSTANCE = D3DXEFFECTINSTANCE*;

// ---------------------------------------------------------------------------------------------
// Interfaces

struct ID3DXMesh;

struct ID3DXBaseMesh : IUnknown {
    // Draws the faces of one attribute id with the mesh's buffers and declaration (it sets the
    // stream source 0, the indices and the vertex declaration on the device). An id without faces
    // draws nothing and succeeds.
    virtual HRESULT DrawSubset(DWORD AttribId) = 0;
    virtual DWORD GetNumFaces() = 0;
    virtual DWORD GetNumVertices() = 0;
    // The mesh's FVF, or 0 when its declaration has no FVF equivalent.
    virtual DWORD GetFVF() = 0;
    // Copies the declaration, end marker included.
    virtual HRESULT GetDeclaration(D3DVERTEXELEMENT9 Declaration[MAX_FVF_DECL_SIZE]) = 0;
    virtual DWORD GetNumBytesPerVertex() = 0;
    virtual DWORD GetOptions() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice9** ppDevice) = 0;
    // A new mesh with the same faces and attributes whose vertices have the given format: components
    // both formats have are copied (converted between float vectors and D3DCOLOR), new ones are
    // zero except COLOR0 (the diffuse colour), which is opaque white.
    virtual HRESULT CloneMeshFVF(DWORD Options, DWORD FVF, IDirect3DDevice9* pD3DDevice, ID3DXMesh** ppCloneMesh) = 0;
    virtual HRESULT CloneMesh(DWORD Options, const D3DVERTEXELEMENT9* pDeclaration, IDirect3DDevice9* pD3DDevice,
                              ID3DXMesh** ppCloneMesh) = 0;
    virtual HRESULT GetVertexBuffer(IDirect3DVertexBuffer9** ppVB) = 0;
    virtual HRESULT GetIndexBuffer(IDirect3DIndexBuffer9** ppIB) = 0;
    virtual HRESULT LockVertexBuffer(DWORD Flags, LPVOID* ppData) = 0;
    virtual HRESULT UnlockVertexBuffer() = 0;
    virtual HRESULT LockIndexBuffer(DWORD Flags, LPVOID* ppData) = 0;
    virtual HRESULT UnlockIndexBuffer() = 0;
    // With pAttribTable null, *pAttribTableSize receives the number of entries; otherwise that many
    // entries are copied.
    virtual HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable, DWORD* pAttribTableSize) = 0;
    // Three entries per face: the face across edge (v0, v1), (v1, v2) and (v2, v0), or
    // D3DX_UNUSED_ADJACENCY. Vertices closer than Epsilon in every coordinate count as one.
    virtual HRESULT GenerateAdjacency(float Epsilon, DWORD* pAdjacency) = 0;
};
using LPD3DXBASEMESH = ID3DXBaseMesh*;

struct ID3DXMesh : ID3DXBaseMesh {
    virtual HRESULT LockAttributeBuffer(DWORD Flags, DWORD** ppData) = 0;
    // When the attribute ids no longer match the attribute table, the table is dropped and
    // DrawSubset draws the faces of the id wherever they are.
    virtual HRESULT UnlockAttributeBuffer() = 0;
    virtual HRESULT SetAttributeTable(const D3DXATTRIBUTERANGE* pAttribTable, DWORD cAttribTableSize) = 0;
};
using LPD3DXMESH = ID3DXMesh*;

// A mesh with levels of detail: it draws, clones and reports the faces and vertices of its current
// level. Each level keeps the attribute ids of the faces it came from.
struct ID3DXPMesh : ID3DXBaseMesh {
    // Selects the level with the most faces not above Faces (clamped into [GetMinFaces(),
    // GetMaxFaces()]).
    virtual HRESULT SetNumFaces(DWORD Faces) = 0;
    // Selects the level with the most vertices not above Vertices (clamped likewise).
    virtual HRESULT SetNumVertices(DWORD Vertices) = 0;
    virtual DWORD GetMaxFaces() = 0;
    virtual DWORD GetMinFaces() = 0;
    virtual DWORD GetMaxVertices() = 0;
    virtual DWORD GetMinVertices() = 0;
};
using LPD3DXPMESH = ID3DXPMesh*;

// ---------------------------------------------------------------------------------------------
// Functions

// A mesh of NumFaces faces and NumVertices vertices with the given FVF or declaration, contents
// zero. No attribute table until SetAttributeTable.
HRESULT D3DXCreateMeshFVF(DWORD NumFaces, DWORD NumVertices, DWORD Options, DWORD FVF, IDirect3DDevice9* pD3DDevice,
                          ID3DXMesh** ppMesh);
HRESULT D3DXCreateMesh(DWORD NumFaces, DWORD NumVertices, DWORD Options, const D3DVERTEXELEMENT9* pDeclaration,
                       IDirect3DDevice9* pD3DDevice, ID3DXMesh** ppMesh);

// Loads every mesh of a .x file (text, binary or compressed) as one mesh: positions moved by their
// frame transforms, normals by the inverse transpose (renormalised), polygons split into triangle
// fans, a vertex made for each pair of file vertex and normal its faces use. The vertex format is
// D3DFVF_XYZ, then D3DFVF_NORMAL when the file has normals, D3DFVF_DIFFUSE when it has vertex
// colours and D3DFVF_TEX1 when it has texture coordinates. Faces are sorted by material into one
// attribute subset per material, in material order. A file without materials gets one: opaque
// white diffuse, everything else zero, no texture. ppMaterials receives the D3DXMATERIAL array
// followed by the texture file names it points to; ppAdjacency three DWORDs per face (faces
// touching along an edge of identical positions). No effect instances are read: *ppEffectInstances
// is set to null. Every out-parameter but ppMesh may be null.
HRESULT D3DXLoadMeshFromXInMemory(LPCVOID Memory, DWORD SizeOfMemory, DWORD Options, IDirect3DDevice9* pD3DDevice,
                                  ID3DXBuffer** ppAdjacency, ID3DXBuffer** ppMaterials,
                                  ID3DXBuffer** ppEffectInstances, DWORD* pNumMaterials, ID3DXMesh** ppMesh);

// A progressive mesh made by simplifying pMesh (meshoptimizer's edge collapses under a quadric
// position error; the borders between attribute subsets and open edges are kept) in steps down to
// MinValue faces (D3DXMESHSIMP_FACE) or vertices (D3DXMESHSIMP_VERTEX), or as far as the mesh
// allows. pAdjacency (three entries per face) is required and checked. The order of collapses
// comes from the positions alone: attribute weights and vertex weights are checked (finite, not
// negative) but do not change it. The new mesh draws at its maximum face count.
HRESULT D3DXGeneratePMesh(ID3DXMesh* pMesh, const DWORD* pAdjacency, const D3DXATTRIBUTEWEIGHTS* pVertexAttributeWeights,
                          const float* pVertexWeights, DWORD MinValue, DWORD Options, ID3DXPMesh** ppPMesh);

// The declaration of an FVF, end marker included.
HRESULT D3DXDeclaratorFromFVF(DWORD FVF, D3DVERTEXELEMENT9 pDeclarator[MAX_FVF_DECL_SIZE]);
// The FVF of a declaration laid out exactly as that FVF's own; D3DERR_INVALIDCALL otherwise.
HRESULT D3DXFVFFromDeclarator(const D3DVERTEXELEMENT9* pDeclarator, DWORD* pFVF);
// Bytes per vertex of an FVF; 0 for an FVF that is not valid.
UINT D3DXGetFVFVertexSize(DWORD FVF);
// Bytes per vertex of one stream of a declaration; 0 for a declaration that is not valid.
UINT D3DXGetDeclVertexSize(const D3DVERTEXELEMENT9* pDecl, DWORD Stream);
// Elements before the end marker; 0 for a declaration that is not valid.
UINT D3DXGetDeclLength(const D3DVERTEXELEMENT9* pDecl);

// The axis-aligned box around NumVertices positions Stride bytes apart (at least one).
HRESULT D3DXComputeBoundingBox(const D3DXVECTOR3* pFirstPosition, DWORD NumVertices, DWORD dwStride,
                               D3DXVECTOR3* pMin, D3DXVECTOR3* pMax);

#pragma once
// D3DXLoadMeshFromXInMemory, telling why a file could not be loaded.
#include <string>

#include "d3dx9/d3dx9mesh.h"

// The same as D3DXLoadMeshFromXInMemory; on failure *error (when given) receives the reason.
HRESULT LoadXFileMeshInMemory(LPCVOID memory, DWORD size, DWORD options, IDirect3DDevice9* device,
                              ID3DXBuffer** adjacency, ID3DXBuffer** materials, ID3DXBuffer** effectInstances,
                              DWORD* numMaterials, ID3DXMesh** mesh, std::string* error);

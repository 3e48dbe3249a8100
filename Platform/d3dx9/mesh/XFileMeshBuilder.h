#pragma once
// Turns the meshes of a .x file into the content of one D3DX mesh (see D3DXLoadMeshFromXInMemory).
#include <vector>

#include "d3dx9/mesh/D3DXMeshContent.h"
#include "d3dx9/xfile/XFileModel.h"
#include "d3dx9/xfile/XFileResult.h"

struct XFileMeshBuild {
    D3DXMeshContent content;  // faces sorted by attribute id, with its attribute table
    DWORD fvf = 0;
    std::vector<XFileMaterial> materials;  // attribute id i draws with materials[i]
};

// Fails when the model holds no faces or more vertices or faces than a mesh can index.
XFileResult BuildXFileMesh(const XFileModel& model, XFileMeshBuild& build);

// The material a mesh without materials draws with: opaque white, no texture.
XFileMaterial DefaultXFileMaterial();

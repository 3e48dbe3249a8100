#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "RecordingDeviceScope.h"
#include "common/WholeFile.h"
#include "d3d9/DeviceFactory.h"
#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9mesh.h"
#include "d3dx9/mesh/XFileMeshLoader.h"

// `mesh info`: what D3DXLoadMeshFromXInMemory makes of a .x file, loaded on the recording device so
// that no graphics system is needed.

namespace {

const ToolCommandShape kInfoShape{"mesh info", "<file.x>", {}, 1, ""};

const char* TypeName(BYTE type)
{
    static const char* const kNames[] = {"FLOAT1",   "FLOAT2",   "FLOAT3",   "FLOAT4",    "D3DCOLOR",  "UBYTE4",
                                         "SHORT2",   "SHORT4",   "UBYTE4N",  "SHORT2N",   "SHORT4N",   "USHORT2N",
                                         "USHORT4N", "UDEC3",    "DEC3N",    "FLOAT16_2", "FLOAT16_4", "UNUSED"};
    return type < std::size(kNames) ? kNames[type] : "?";
}

const char* UsageName(BYTE usage)
{
    static const char* const kNames[] = {"POSITION", "BLENDWEIGHT", "BLENDINDICES", "NORMAL",   "PSIZE",
                                         "TEXCOORD", "TANGENT",     "BINORMAL",     "TESSFACTOR", "POSITIONT",
                                         "COLOR",    "FOG",         "DEPTH",        "SAMPLE"};
    return usage < std::size(kNames) ? kNames[usage] : "?";
}

void PrintColor(const char* name, const D3DCOLORVALUE& c)
{
    std::printf(" %s %g %g %g %g", name, c.r, c.g, c.b, c.a);
}

// Everything but the loading; the mesh and buffers belong to the caller.
void PrintMesh(ID3DXMesh* mesh, ID3DXBuffer* materialBuffer, DWORD numMaterials)
{
    std::printf("vertices: %lu\nfaces: %lu\n", static_cast<unsigned long>(mesh->GetNumVertices()),
                static_cast<unsigned long>(mesh->GetNumFaces()));
    std::printf("bytes per vertex: %lu\nfvf: 0x%03lx\n", static_cast<unsigned long>(mesh->GetNumBytesPerVertex()),
                static_cast<unsigned long>(mesh->GetFVF()));
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    mesh->GetDeclaration(declaration);
    std::printf("declaration:\n");
    for (const D3DVERTEXELEMENT9* e = declaration; e->Stream != 0xFF; ++e)
        std::printf("  offset %u: %s %s%u\n", e->Offset, TypeName(e->Type), UsageName(e->Usage), e->UsageIndex);

    void* vertices = nullptr;
    if (mesh->LockVertexBuffer(D3DLOCK_READONLY, &vertices) == D3D_OK) {
        D3DXVECTOR3 low, high;
        if (D3DXComputeBoundingBox(static_cast<const D3DXVECTOR3*>(vertices), mesh->GetNumVertices(),
                                   mesh->GetNumBytesPerVertex(), &low, &high) == D3D_OK)
            std::printf("bounding box: min %g %g %g max %g %g %g\n", low.x, low.y, low.z, high.x, high.y, high.z);
        mesh->UnlockVertexBuffer();
    }

    DWORD entries = 0;
    mesh->GetAttributeTable(nullptr, &entries);
    std::vector<D3DXATTRIBUTERANGE> table(entries);
    if (entries > 0)
        mesh->GetAttributeTable(table.data(), &entries);
    std::printf("subsets: %lu\n", static_cast<unsigned long>(entries));
    for (const D3DXATTRIBUTERANGE& range : table)
        std::printf("  subset %lu: %lu faces from face %lu, vertices %lu to %lu\n",
                    static_cast<unsigned long>(range.AttribId), static_cast<unsigned long>(range.FaceCount),
                    static_cast<unsigned long>(range.FaceStart), static_cast<unsigned long>(range.VertexStart),
                    static_cast<unsigned long>(range.VertexStart + range.VertexCount - 1));

    std::printf("materials: %lu\n", static_cast<unsigned long>(numMaterials));
    const auto* materials = static_cast<const D3DXMATERIAL*>(materialBuffer->GetBufferPointer());
    for (DWORD i = 0; i < numMaterials; ++i) {
        const D3DMATERIAL9& m = materials[i].MatD3D;
        std::printf("  material %lu:", static_cast<unsigned long>(i));
        PrintColor("diffuse", m.Diffuse);
        PrintColor("specular", m.Specular);
        PrintColor("emissive", m.Emissive);
        std::printf(" power %g texture %s\n", m.Power,
                    materials[i].pTextureFilename != nullptr
                        ? ("\"" + std::string(materials[i].pTextureFilename) + "\"").c_str()
                        : "none");
    }
}

int RunInfo(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        throw ToolUsageError{"mesh info takes one .x file"};
    const std::vector<unsigned char> bytes = ReadWholeFile(args[0]);
    if (bytes.size() > 0xFFFFFFFFu)
        throw std::runtime_error("\"" + args[0] + "\" is too large for a mesh file");

    const RecordingDeviceScope device;
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* materials = nullptr;
    DWORD numMaterials = 0;
    std::string error;
    const HRESULT hr = LoadXFileMeshInMemory(bytes.data(), static_cast<DWORD>(bytes.size()),
                                             D3DXMESH_MANAGED | D3DXMESH_32BIT, device.device, nullptr, &materials, nullptr,
                                             &numMaterials, &mesh, &error);
    if (hr != D3D_OK) {
        std::fprintf(stderr, "orvala-tool: cannot load \"%s\": %s\n", args[0].c_str(), error.c_str());
        return 1;
    }
    std::printf("file: %s\n", args[0].c_str());
    PrintMesh(mesh, materials, numMaterials);
    materials->Release();
    mesh->Release();
    return 0;
}

const ToolCommandRegistration info("mesh info", {ToolUsage(kInfoShape), RunInfo});

} // namespace

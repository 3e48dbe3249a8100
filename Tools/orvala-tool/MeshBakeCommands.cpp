#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "RecordingDeviceScope.h"
#include "common/WholeFile.h"
#include "d3d9/DeviceFactory.h"
#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9mesh.h"
#include "d3dx9/mesh/XFileMeshLoader.h"

// `mesh bake-ao` and `mesh dump`: the mesh tools of DXMesh run on a .x file from disk, on the
// recording device, so that no graphics system is needed.

namespace {

const ToolCommandShape kBakeShape{"mesh bake-ao", "<in.x> <out.x>", {}, 2, ""};
const ToolCommandShape kDumpShape{"mesh dump", "<in.x> <base>", {}, 2, ""};

// A DXMesh made from a file on disk rather than from the archive; it keeps the file's material
// records for writing the mesh out again.
class FileMesh : public DXMesh {
public:
    FileMesh(const std::string& path, IDirect3DDevice9* device) : DXMesh(nullptr)
    {
        const std::vector<unsigned char> bytes = ReadWholeFile(path);
        if (bytes.size() > 0xFFFFFFFFu)
            throw std::runtime_error("\"" + path + "\" is too large for a mesh file");
        ID3DXBuffer* materialBuffer = nullptr;
        DWORD count = 0;
        std::string error;
        if (LoadXFileMeshInMemory(bytes.data(), static_cast<DWORD>(bytes.size()), D3DXMESH_MANAGED | D3DXMESH_32BIT,
                                  device, nullptr, &materialBuffer, nullptr, &count, &mMesh, &error) != D3D_OK)
            throw std::runtime_error("cannot load \"" + path + "\": " + error);
        const auto* records = static_cast<const D3DXMATERIAL*>(materialBuffer->GetBufferPointer());
        for (DWORD i = 0; i < count; ++i)
            fileMaterials.push_back({records[i].MatD3D, records[i].pTextureFilename ? records[i].pTextureFilename : ""});
        materialBuffer->Release();
        numMaterials = count;
    }

    struct Material {
        D3DMATERIAL9 colours;
        std::string texture;
    };
    std::vector<Material> fileMaterials;
};

void AppendFloats(std::string& out, const unsigned char* at, int count)
{
    char text[48];
    for (int i = 0; i < count; ++i) {
        float value;
        std::memcpy(&value, at + i * sizeof(float), sizeof(float));
        std::snprintf(text, sizeof(text), "%.9g;", static_cast<double>(value));
        out += text;
    }
}

// The mesh as a text .x file that our reader loads back vertex for vertex: positions, one normal
// per vertex, texture coordinates, vertex colours and the material list, with every face's
// material from the attribute buffer.
std::string XFileText(FileMesh& file)
{
    ID3DXMesh* mesh = file.GetMesh();
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    if (mesh->GetDeclaration(declaration) != D3D_OK)
        throw std::runtime_error("the mesh has no declaration");
    int position = -1, normal = -1, colour = -1, uv = -1;
    for (const D3DVERTEXELEMENT9* e = declaration; e->Stream != 0xFF; ++e) {
        if (e->Usage == D3DDECLUSAGE_POSITION && e->UsageIndex == 0)
            position = e->Offset;
        else if (e->Usage == D3DDECLUSAGE_NORMAL && e->UsageIndex == 0)
            normal = e->Offset;
        else if (e->Usage == D3DDECLUSAGE_COLOR && e->UsageIndex == 0)
            colour = e->Offset;
        else if (e->Usage == D3DDECLUSAGE_TEXCOORD && e->UsageIndex == 0 && e->Type == D3DDECLTYPE_FLOAT2)
            uv = e->Offset;
    }
    const DWORD vertices = mesh->GetNumVertices(), faces = mesh->GetNumFaces(), stride = mesh->GetNumBytesPerVertex();
    void* vertexData = nullptr;
    void* indexData = nullptr;
    DWORD* attributes = nullptr;
    if (mesh->LockVertexBuffer(D3DLOCK_READONLY, &vertexData) != D3D_OK)
        throw std::runtime_error("the vertex buffer cannot be read");
    mesh->LockIndexBuffer(D3DLOCK_READONLY, &indexData);
    mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes);
    const auto* bytes = static_cast<const unsigned char*>(vertexData);
    const auto* indices = static_cast<const std::uint32_t*>(indexData);
    const auto vertex = [&](DWORD v, int offset) { return bytes + static_cast<std::size_t>(v) * stride + offset; };
    const auto list = [&](DWORD count, const auto& item) {
        std::string out = " " + std::to_string(count) + ";\n";
        for (DWORD i = 0; i < count; ++i)
            out += "  " + item(i) + (i + 1 < count ? ",\n" : ";\n");
        return out;
    };
    const auto floats = [&](int offset, int count) {
        return [&, offset, count](DWORD v) {
            std::string out;
            AppendFloats(out, vertex(v, offset), count);
            return out;
        };
    };
    const auto faceList = [&]() {
        return list(faces, [&](DWORD f) {
            return "3;" + std::to_string(indices[3 * f]) + "," + std::to_string(indices[3 * f + 1]) + "," +
                   std::to_string(indices[3 * f + 2]) + ";";
        });
    };

    std::string out = "xof 0303txt 0032\nMesh BakedMesh {\n";
    out += list(vertices, floats(position, 3));
    out += faceList();
    if (normal >= 0)
        out += " MeshNormals {\n" + list(vertices, floats(normal, 3)) + faceList() + " }\n";
    if (uv >= 0)
        out += " MeshTextureCoords {\n" + list(vertices, floats(uv, 2)) + " }\n";
    if (colour >= 0)
        out += " MeshVertexColors {\n" + list(vertices, [&](DWORD v) {
                   D3DCOLOR c;
                   std::memcpy(&c, vertex(v, colour), sizeof(c));
                   char text[96];
                   std::snprintf(text, sizeof(text), "%lu;%.9g;%.9g;%.9g;%.9g;;", static_cast<unsigned long>(v),
                                 ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
                                 ((c >> 24) & 0xFF) / 255.0);
                   return std::string(text);
               }) + " }\n";
    if (!file.fileMaterials.empty()) {
        out += " MeshMaterialList {\n  " + std::to_string(file.fileMaterials.size()) + ";\n" +
               list(faces, [&](DWORD f) { return std::to_string(attributes ? attributes[f] : 0); });
        for (const FileMesh::Material& m : file.fileMaterials) {
            char text[512];
            const D3DMATERIAL9& c = m.colours;
            std::snprintf(text, sizeof(text), "  Material {\n   %.9g;%.9g;%.9g;%.9g;;\n   %.9g;\n   %.9g;%.9g;%.9g;;\n"
                                              "   %.9g;%.9g;%.9g;;\n",
                          c.Diffuse.r, c.Diffuse.g, c.Diffuse.b, c.Diffuse.a, c.Power, c.Specular.r, c.Specular.g,
                          c.Specular.b, c.Emissive.r, c.Emissive.g, c.Emissive.b);
            out += text;
            if (!m.texture.empty())
                out += "   TextureFilename { \"" + m.texture + "\"; }\n";
            out += "  }\n";
        }
        out += " }\n";
    }
    out += "}\n";
    if (attributes)
        mesh->UnlockAttributeBuffer();
    mesh->UnlockIndexBuffer();
    mesh->UnlockVertexBuffer();
    return out;
}

int RunBake(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        throw ToolUsageError{"mesh bake-ao takes a .x file and the .x file to write"};
    RecordingDeviceScope device;
    FileMesh mesh(args[0], device.device);
    mesh.Bake_AO_to_Vertex();
    const std::string text = XFileText(mesh);
    std::ofstream out(args[1], std::ios::binary);
    if (!out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush())
        throw std::runtime_error("cannot write \"" + args[1] + "\"");
    return 0;
}

int RunDump(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        throw ToolUsageError{"mesh dump takes a .x file and the base name of the files to write"};
    RecordingDeviceScope device;
    FileMesh mesh(args[0], device.device);
    mesh.DumpBuffers(args[1]);
    for (const char* extension : {".nfo", ".decl", ".vb", ".ib"})
        if (!std::ifstream(args[1] + extension))
            throw std::runtime_error("cannot write \"" + args[1] + extension + "\"");
    return 0;
}

const ToolCommandRegistration bake("mesh bake-ao", {ToolUsage(kBakeShape), RunBake});
const ToolCommandRegistration dump("mesh dump", {ToolUsage(kDumpShape), RunDump});

} // namespace

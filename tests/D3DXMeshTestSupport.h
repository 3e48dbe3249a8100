#pragma once
// Shared by the mesh tests: .x files written in memory, loading them, and reading a mesh back.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "d3d9/DeviceFactory.h"
#include "d3dx9/d3dx9mesh.h"

using Vec3 = std::array<float, 3>;

// One Mesh object of a text .x file.
struct XTextMesh {
    struct Material {
        std::array<float, 4> color{1, 1, 1, 1};
        float power = 0;
        std::array<float, 3> specular{};
        std::array<float, 3> emissive{};
        std::string texture;
    };

    std::vector<Vec3> positions;
    std::vector<std::vector<std::uint32_t>> faces;
    std::vector<Vec3> normals;
    std::vector<std::vector<std::uint32_t>> normalFaces;
    std::vector<std::array<float, 2>> uvs;
    std::vector<std::pair<std::uint32_t, std::array<float, 4>>> colors;
    std::vector<Material> materials;
    std::vector<std::uint32_t> faceMaterials;

    static void Faces(std::ostringstream& out, const std::vector<std::vector<std::uint32_t>>& faces)
    {
        out << faces.size() << ";\n";
        for (std::size_t f = 0; f < faces.size(); ++f) {
            out << faces[f].size() << ";";
            for (std::size_t k = 0; k < faces[f].size(); ++k)
                out << faces[f][k] << (k + 1 < faces[f].size() ? "," : "");
            out << ";" << (f + 1 < faces.size() ? ",\n" : ";\n");
        }
    }

    static void Vectors(std::ostringstream& out, const std::vector<Vec3>& vectors)
    {
        out << vectors.size() << ";\n";
        for (std::size_t i = 0; i < vectors.size(); ++i)
            out << vectors[i][0] << ";" << vectors[i][1] << ";" << vectors[i][2] << ";"
                << (i + 1 < vectors.size() ? ",\n" : ";\n");
    }

    std::string Text() const
    {
        std::ostringstream out;
        out.precision(9);
        out << "Mesh {\n";
        Vectors(out, positions);
        Faces(out, faces);
        if (!normals.empty()) {
            out << "MeshNormals {\n";
            Vectors(out, normals);
            Faces(out, normalFaces);
            out << "}\n";
        }
        if (!uvs.empty()) {
            out << "MeshTextureCoords {\n" << uvs.size() << ";\n";
            for (std::size_t i = 0; i < uvs.size(); ++i)
                out << uvs[i][0] << ";" << uvs[i][1] << ";" << (i + 1 < uvs.size() ? ",\n" : ";\n");
            out << "}\n";
        }
        if (!colors.empty()) {
            out << "MeshVertexColors {\n" << colors.size() << ";\n";
            for (std::size_t i = 0; i < colors.size(); ++i) {
                const auto& c = colors[i].second;
                out << colors[i].first << ";" << c[0] << ";" << c[1] << ";" << c[2] << ";" << c[3] << ";;"
                    << (i + 1 < colors.size() ? ",\n" : ";\n");
            }
            out << "}\n";
        }
        if (!materials.empty()) {
            out << "MeshMaterialList {\n" << materials.size() << ";\n" << faceMaterials.size() << ";\n";
            for (std::size_t i = 0; i < faceMaterials.size(); ++i)
                out << faceMaterials[i] << (i + 1 < faceMaterials.size() ? ",\n" : ";\n");
            for (const Material& m : materials) {
                out << "Material {\n"
                    << m.color[0] << ";" << m.color[1] << ";" << m.color[2] << ";" << m.color[3] << ";;\n"
                    << m.power << ";\n"
                    << m.specular[0] << ";" << m.specular[1] << ";" << m.specular[2] << ";;\n"
                    << m.emissive[0] << ";" << m.emissive[1] << ";" << m.emissive[2] << ";;\n";
                if (!m.texture.empty())
                    out << "TextureFilename { \"" << m.texture << "\"; }\n";
                out << "}\n";
            }
            out << "}\n";
        }
        out << "}\n";
        return out.str();
    }
};

inline std::string XFileText(const std::string& body)
{
    return "xof 0303txt 0032\n" + body;
}

// A frame with a FrameTransformMatrix (16 values, row by row) around the body.
inline std::string XFrame(const std::string& name, const std::array<float, 16>& matrix, const std::string& body)
{
    std::ostringstream out;
    out << "Frame " << name << " {\nFrameTransformMatrix {\n";
    for (int i = 0; i < 16; ++i)
        out << matrix[i] << (i == 15 ? ";;\n" : ",");
    out << "}\n" << body << "}\n";
    return out.str();
}

// A unit cube's eight corners and its six faces as quads, clockwise seen from outside (Direct3D's
// front faces), with one normal per face.
inline XTextMesh CubeMesh()
{
    XTextMesh cube;
    cube.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    cube.faces = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {3, 7, 6, 2}, {0, 4, 7, 3}, {1, 2, 6, 5}};
    cube.normals = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
    for (std::uint32_t f = 0; f < 6; ++f)
        cube.normalFaces.push_back({f, f, f, f});
    return cube;
}

// Everything D3DXLoadMeshFromXInMemory handed out, released at the end.
struct LoadedMesh {
    HRESULT hr = E_FAIL;
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    ID3DXBuffer* materials = nullptr;
    ID3DXBuffer* effects = nullptr;
    DWORD numMaterials = 0;

    LoadedMesh() = default;
    LoadedMesh(const LoadedMesh&) = delete;
    LoadedMesh& operator=(const LoadedMesh&) = delete;
    ~LoadedMesh()
    {
        for (IUnknown* object : std::initializer_list<IUnknown*>{mesh, adjacency, materials, effects})
            if (object != nullptr)
                object->Release();
    }

    const D3DXMATERIAL* Materials() const { return static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer()); }
    const DWORD* Adjacency() const { return static_cast<const DWORD*>(adjacency->GetBufferPointer()); }
};

inline void LoadMesh(LoadedMesh& loaded, IDirect3DDevice9* device, const void* data, std::size_t size,
                     DWORD options = D3DXMESH_MANAGED | D3DXMESH_32BIT)
{
    loaded.hr = D3DXLoadMeshFromXInMemory(data, static_cast<DWORD>(size), options, device, &loaded.adjacency,
                                          &loaded.materials, &loaded.effects, &loaded.numMaterials, &loaded.mesh);
}

inline void LoadMesh(LoadedMesh& loaded, IDirect3DDevice9* device, const std::string& text,
                     DWORD options = D3DXMESH_MANAGED | D3DXMESH_32BIT)
{
    LoadMesh(loaded, device, text.data(), text.size(), options);
}

// The vertex bytes of a mesh.
inline std::vector<std::uint8_t> VertexBytes(ID3DXBaseMesh* mesh)
{
    void* data = nullptr;
    EXPECT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::vector<std::uint8_t> result(bytes, bytes + std::size_t{mesh->GetNumVertices()} * mesh->GetNumBytesPerVertex());
    mesh->UnlockVertexBuffer();
    return result;
}

// Three floats at a byte offset of vertex v.
inline Vec3 VertexVector(const std::vector<std::uint8_t>& bytes, DWORD stride, DWORD v, DWORD offset)
{
    Vec3 value;
    std::memcpy(value.data(), bytes.data() + std::size_t{v} * stride + offset, sizeof(value));
    return value;
}

inline std::vector<std::uint32_t> MeshIndices(ID3DXBaseMesh* mesh)
{
    void* data = nullptr;
    EXPECT_EQ(mesh->LockIndexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    std::vector<std::uint32_t> indices(std::size_t{mesh->GetNumFaces()} * 3);
    const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = wide ? static_cast<const std::uint32_t*>(data)[i] : static_cast<const std::uint16_t*>(data)[i];
    mesh->UnlockIndexBuffer();
    return indices;
}

inline std::vector<DWORD> MeshAttributes(ID3DXMesh* mesh)
{
    DWORD* data = nullptr;
    EXPECT_EQ(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    std::vector<DWORD> attributes(data, data + mesh->GetNumFaces());
    mesh->UnlockAttributeBuffer();
    return attributes;
}

inline std::vector<D3DXATTRIBUTERANGE> AttributeTable(ID3DXBaseMesh* mesh)
{
    DWORD size = 0;
    EXPECT_EQ(mesh->GetAttributeTable(nullptr, &size), D3D_OK);
    std::vector<D3DXATTRIBUTERANGE> table(size);
    if (size > 0) {
        EXPECT_EQ(mesh->GetAttributeTable(table.data(), &size), D3D_OK);
    }
    return table;
}

// The corpus of .x files beside the project. A compiler cache may record this file's name relative
// to the build folder, which is the folder orvala-tool is built in.
inline std::filesystem::path MeshCorpusDir()
{
    std::filesystem::path source(__FILE__);
    if (source.is_relative())
        source = std::filesystem::path(ORVALA_TOOL_PATH).parent_path() / source;
    return source.lexically_normal().parent_path().parent_path().parent_path() / "shared" / "corpus" / "x";
}

inline std::vector<std::uint8_t> ReadCorpusFile(const std::string& name)
{
    std::ifstream in(MeshCorpusDir() / name, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A recording device and the shaders a draw needs on it.
class D3DXMeshRecordingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(MakeRecordingDevice(&device, 16, 16), D3D_OK);
    }

    void TearDown() override
    {
        if (vertexShader != nullptr)
            vertexShader->Release();
        if (pixelShader != nullptr)
            pixelShader->Release();
        if (device != nullptr) {
            device->SetVertexShader(nullptr);
            device->SetPixelShader(nullptr);
            device->SetStreamSource(0, nullptr, 0, 0);
            device->SetIndices(nullptr);
            device->SetVertexDeclaration(nullptr);
            EXPECT_EQ(device->Release(), 0u) << "the test left objects of the device alive";
        }
    }

    void UseShaders()
    {
        ASSERT_EQ(device->CreateVertexShader("in vec3 POSITION0; void main() { gl_Position = vec4(POSITION0, 1.0); }",
                                             &vertexShader),
                  D3D_OK);
        ASSERT_EQ(device->CreatePixelShader("out vec4 COLOR0; void main() { COLOR0 = vec4(1.0); }", &pixelShader),
                  D3D_OK);
        ASSERT_EQ(device->SetVertexShader(vertexShader), D3D_OK);
        ASSERT_EQ(device->SetPixelShader(pixelShader), D3D_OK);
    }

    // The arguments of every DrawIndexedPrimitive logged since the last ClearRecordedCalls.
    std::vector<std::string> IndexedDraws() const
    {
        std::vector<std::string> draws;
        for (const RecordedCall& call : GetRecordedCalls(device))
            if (call.method == "DrawIndexedPrimitive")
                draws.push_back(call.arguments);
        return draws;
    }

    IDirect3DDevice9* device = nullptr;
    IDirect3DVertexShader9* vertexShader = nullptr;
    IDirect3DPixelShader9* pixelShader = nullptr;
};

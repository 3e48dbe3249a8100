#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "d3dx9/xfile/XFileModel.h"
#include "d3dx9/xfile/XFileResult.h"
#include "d3dx9/xfile/XFileTokenStream.h"

// Reads a whole DirectX .x file from memory (text, binary, or MSZIP-compressed text or binary; 32- or
// 64-bit floats; the format comes from the 16-byte header alone) into an XFileModel: every mesh with its
// accumulated frame transform, normals, texture coordinates, vertex colours and materials. Templates,
// animation, skinning and unknown objects are read past. Hostile input fails with a message; counts are
// checked against the remaining data before anything is allocated.
class XFileReader {
public:
    static constexpr int kMaxDepth = 64;

    XFileResult Read(const void* data, std::size_t size, XFileModel& model);

private:
    struct Header {
        bool binary = false;
        bool compressed = false;
        bool doubleFloats = false;
    };

    XFileResult ParseHeader(const std::uint8_t* data, std::size_t size, Header& header) const;
    bool ParseBody();
    bool ParseTopLevelObject();
    bool SkipTemplate();
    bool ReadObjectHeader(std::string& type, std::string& name, int depth);
    bool SkipObjectBody(int depth);
    bool ReadReference(std::string& name);
    using ChildHandler = std::function<bool(const std::string& type, const std::string& name, int depth)>;
    using ReferenceHandler = std::function<bool(const std::string& name)>;
    // Reads the child objects and references of an open object up to and including its '}'.
    bool ForEachChild(int depth, const ChildHandler& onChild, const ReferenceHandler& onReference);
    bool ParseFrame(int depth);
    bool ParseMesh(const std::string& name, int depth);
    bool ParseMeshNormals(XFileMesh& mesh, int depth);
    bool ParseTextureCoords(XFileMesh& mesh, int depth);
    bool ParseVertexColors(XFileMesh& mesh, int depth);
    bool ParseMaterialList(XFileMesh& mesh, int depth);
    bool ParseMaterial(XFileMaterial& material, int depth);
    bool ParseTransform(std::array<float, 16>& matrix, int depth);
    bool ParseFaces(std::vector<std::vector<std::uint32_t>>& faces, std::uint32_t vertexCount, const char* what);
    bool ParseVectors(std::vector<std::array<float, 3>>& vectors, const char* what);

    bool ReadInteger(std::uint32_t& value, const char* what);
    bool ReadFloat(float& value, const char* what);
    bool ReadString(std::string& value, const char* what);
    bool Expect(XFileToken::Type type, const char* what);
    bool CheckDepth(int depth);
    bool TokenFailed();
    bool Fail(const std::string& message);

    XFileTokenStream* tokens_ = nullptr;
    XFileModel* model_ = nullptr;
    std::map<std::string, XFileMaterial> namedMaterials_;
    std::string error_;
};

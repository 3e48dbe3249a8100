#include "d3dx9/xfile/XFileReader.h"

#include <cstring>
#include <vector>

#include "d3dx9/xfile/XFileMszip.h"

namespace {

constexpr std::size_t kHeaderSize = 16;
using Type = XFileToken::Type;

std::array<float, 16> Identity()
{
    std::array<float, 16> m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    return m;
}

// Row-vector product a × b: a point is transformed by a first, then by b.
std::array<float, 16> Multiply(const std::array<float, 16>& a, const std::array<float, 16>& b)
{
    std::array<float, 16> r{};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[row * 4 + k] * b[k * 4 + col];
            r[row * 4 + col] = sum;
        }
    return r;
}

const char* TypeName(Type type)
{
    switch (type) {
    case Type::End: return "the end of the file";
    case Type::Name: return "a name";
    case Type::String: return "a string";
    case Type::Integer: return "an integer";
    case Type::Float: return "a number";
    case Type::Guid: return "a GUID";
    case Type::OBrace: return "'{'";
    case Type::CBrace: return "'}'";
    case Type::Other: break;
    }
    return "an unexpected token";
}

}  // namespace

XFileResult XFileReader::Read(const void* data, std::size_t size, XFileModel& model)
{
    model = XFileModel{};
    namedMaterials_.clear();
    error_.clear();
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (bytes == nullptr && size != 0)
        return XFileResult::Failure(".x file: no data");

    Header header;
    XFileResult result = ParseHeader(bytes, size, header);
    if (!result.ok)
        return result;

    std::vector<std::uint8_t> expanded;
    const std::uint8_t* body = bytes + kHeaderSize;
    std::size_t bodySize = size - kHeaderSize;
    if (header.compressed) {
        result = XFileMszip::Expand(body, bodySize, kHeaderSize, expanded);
        if (!result.ok)
            return result;
        body = expanded.data();
        bodySize = expanded.size();
    }

    XFileModel parsed;
    XFileTokenStream tokens(body, bodySize, header.binary, header.doubleFloats);
    tokens_ = &tokens;
    model_ = &parsed;
    const bool ok = ParseBody();
    tokens_ = nullptr;
    model_ = nullptr;
    if (!ok)
        return XFileResult::Failure(".x file: " + error_);
    if (parsed.meshes.empty())
        return XFileResult::Failure(".x file: the file holds no mesh");
    model = std::move(parsed);
    return XFileResult::Success();
}

XFileResult XFileReader::ParseHeader(const std::uint8_t* data, std::size_t size, Header& header) const
{
    if (size < kHeaderSize)
        return XFileResult::Failure(".x file: " + std::to_string(size) +
                                    " bytes are too few for the 16-byte \"xof\" header");
    if (std::memcmp(data, "xof ", 4) != 0)
        return XFileResult::Failure(".x file: missing the \"xof \" signature");
    const std::string format(reinterpret_cast<const char*>(data + 8), 4);
    const std::string floatSize(reinterpret_cast<const char*>(data + 12), 4);
    if (format == "txt ") {
    } else if (format == "bin ") {
        header.binary = true;
    } else if (format == "tzip") {
        header.compressed = true;
    } else if (format == "bzip") {
        header.binary = true;
        header.compressed = true;
    } else {
        return XFileResult::Failure(".x file: unknown format \"" + format + "\" in the header");
    }
    if (floatSize == "0064")
        header.doubleFloats = true;
    else if (floatSize != "0032")
        return XFileResult::Failure(".x file: unknown float size \"" + floatSize + "\" in the header");
    return XFileResult::Success();
}

bool XFileReader::Fail(const std::string& message)
{
    error_ = message;
    return false;
}

bool XFileReader::TokenFailed()
{
    error_ = tokens_->Error();
    return false;
}

bool XFileReader::CheckDepth(int depth)
{
    if (depth > kMaxDepth)
        return Fail("objects nested deeper than " + std::to_string(kMaxDepth) + " levels");
    return true;
}

bool XFileReader::Expect(Type type, const char* what)
{
    XFileToken token;
    if (!tokens_->Next(token))
        return TokenFailed();
    if (token.type != type)
        return Fail(std::string("expected ") + TypeName(type) + " " + what + ", found " +
                    TypeName(token.type));
    return true;
}

bool XFileReader::ReadInteger(std::uint32_t& value, const char* what)
{
    XFileToken token;
    if (!tokens_->Next(token))
        return TokenFailed();
    if (token.type != Type::Integer)
        return Fail(std::string("expected an integer for ") + what + ", found " + TypeName(token.type));
    value = token.integer;
    return true;
}

bool XFileReader::ReadFloat(float& value, const char* what)
{
    XFileToken token;
    if (!tokens_->Next(token))
        return TokenFailed();
    if (token.type != Type::Integer && token.type != Type::Float)
        return Fail(std::string("expected a number for ") + what + ", found " + TypeName(token.type));
    value = static_cast<float>(token.number);
    return true;
}

bool XFileReader::ReadString(std::string& value, const char* what)
{
    XFileToken token;
    if (!tokens_->Next(token))
        return TokenFailed();
    if (token.type != Type::String)
        return Fail(std::string("expected a string for ") + what + ", found " + TypeName(token.type));
    value = std::move(token.text);
    return true;
}

bool XFileReader::ParseBody()
{
    for (;;) {
        XFileToken token;
        if (!tokens_->Peek(token))
            return TokenFailed();
        if (token.type == Type::End)
            return true;
        if (token.type == Type::Name && token.text == "template") {
            if (!SkipTemplate())
                return false;
            continue;
        }
        if (token.type != Type::Name)
            return Fail(std::string("expected a template or data object, found ") + TypeName(token.type));
        if (!ParseTopLevelObject())
            return false;
    }
}

bool XFileReader::SkipTemplate()
{
    XFileToken token;
    tokens_->Next(token);  // "template", already seen
    if (!Expect(Type::Name, "after \"template\""))
        return false;
    if (!Expect(Type::OBrace, "opening a template"))
        return false;
    return SkipObjectBody(1);
}

bool XFileReader::ReadObjectHeader(std::string& type, std::string& name, int depth)
{
    if (!CheckDepth(depth))
        return false;
    XFileToken token;
    if (!tokens_->Next(token))
        return TokenFailed();
    type = token.text;
    name.clear();
    if (!tokens_->Next(token))
        return TokenFailed();
    if (token.type == Type::Name) {
        name = token.text;
        if (!tokens_->Next(token))
            return TokenFailed();
    }
    if (token.type == Type::Guid && !tokens_->Next(token))
        return TokenFailed();
    if (token.type != Type::OBrace)
        return Fail("expected '{' after \"" + type + "\", found " + TypeName(token.type));
    // A data object may restate its template's GUID first.
    if (!tokens_->Peek(token))
        return TokenFailed();
    if (token.type == Type::Guid)
        tokens_->Next(token);
    return true;
}

bool XFileReader::SkipObjectBody(int depth)
{
    int level = 1;
    while (level > 0) {
        XFileToken token;
        if (!tokens_->Next(token))
            return TokenFailed();
        if (token.type == Type::End)
            return Fail("unterminated object: the file ends before its '}'");
        if (token.type == Type::OBrace) {
            ++level;
            if (!CheckDepth(depth + level - 1))
                return false;
        } else if (token.type == Type::CBrace) {
            --level;
        }
    }
    return true;
}

bool XFileReader::ReadReference(std::string& name)
{
    name.clear();
    // { name } or { name guid } or { guid }; the '{' is already read.
    for (int count = 0; count < 3; ++count) {
        XFileToken token;
        if (!tokens_->Next(token))
            return TokenFailed();
        if (token.type == Type::CBrace)
            return true;
        if (token.type == Type::Name && name.empty())
            name = token.text;
        else if (token.type != Type::Guid)
            return Fail(std::string("malformed reference: found ") + TypeName(token.type));
    }
    return Fail("malformed reference: missing '}'");
}

bool XFileReader::ParseTopLevelObject()
{
    std::string type;
    std::string name;
    if (!ReadObjectHeader(type, name, 1))
        return false;
    if (type == "Frame")
        return ParseFrame(1);
    if (type == "Mesh")
        return ParseMesh(name, 1);
    if (type == "Material") {
        XFileMaterial material;
        if (!ParseMaterial(material, 1))
            return false;
        if (!name.empty())
            namedMaterials_[name] = material;
        return true;
    }
    return SkipObjectBody(1);
}

bool XFileReader::ForEachChild(int depth, const ChildHandler& onChild, const ReferenceHandler& onReference)
{
    for (;;) {
        XFileToken token;
        if (!tokens_->Peek(token))
            return TokenFailed();
        if (token.type == Type::CBrace) {
            tokens_->Next(token);
            return true;
        }
        if (token.type == Type::End)
            return Fail("unterminated object: the file ends before its '}'");
        if (token.type == Type::OBrace) {
            tokens_->Next(token);
            std::string name;
            if (!ReadReference(name))
                return false;
            if (!onReference(name))
                return false;
            continue;
        }
        if (token.type != Type::Name)
            return Fail(std::string("unexpected ") + TypeName(token.type) + " among child objects");
        std::string type;
        std::string name;
        if (!ReadObjectHeader(type, name, depth + 1))
            return false;
        if (!onChild(type, name, depth + 1))
            return false;
    }
}

bool XFileReader::ParseFrame(int depth)
{
    const std::size_t firstMesh = model_->meshes.size();
    std::array<float, 16> local = Identity();
    const bool ok = ForEachChild(
        depth,
        [&](const std::string& type, const std::string& name, int childDepth) {
            if (type == "FrameTransformMatrix")
                return ParseTransform(local, childDepth);
            if (type == "Frame")
                return ParseFrame(childDepth);
            if (type == "Mesh")
                return ParseMesh(name, childDepth);
            if (type == "Material") {
                XFileMaterial material;
                if (!ParseMaterial(material, childDepth))
                    return false;
                if (!name.empty())
                    namedMaterials_[name] = material;
                return true;
            }
            return SkipObjectBody(childDepth);
        },
        [](const std::string&) { return true; });
    if (!ok)
        return false;
    for (std::size_t i = firstMesh; i < model_->meshes.size(); ++i)
        model_->meshes[i].transform = Multiply(model_->meshes[i].transform, local);
    return true;
}

bool XFileReader::ParseTransform(std::array<float, 16>& matrix, int depth)
{
    for (float& value : matrix)
        if (!ReadFloat(value, "FrameTransformMatrix"))
            return false;
    return SkipObjectBody(depth);
}

bool XFileReader::ParseVectors(std::vector<std::array<float, 3>>& vectors, const char* what)
{
    std::uint32_t count = 0;
    if (!ReadInteger(count, what))
        return false;
    if (!tokens_->CanHoldNumbers(std::uint64_t{count} * 3))
        return Fail(std::string(what) + ": count " + std::to_string(count) + " is larger than the data");
    vectors.resize(count);
    for (auto& v : vectors)
        for (float& value : v)
            if (!ReadFloat(value, what))
                return false;
    return true;
}

bool XFileReader::ParseFaces(std::vector<std::vector<std::uint32_t>>& faces, std::uint32_t vertexCount,
                             const char* what)
{
    std::uint32_t count = 0;
    if (!ReadInteger(count, what))
        return false;
    // Every face holds at least its index count and three indices.
    if (!tokens_->CanHoldNumbers(std::uint64_t{count} * 4))
        return Fail(std::string(what) + ": face count " + std::to_string(count) + " is larger than the data");
    faces.resize(count);
    for (std::uint32_t f = 0; f < count; ++f) {
        std::uint32_t n = 0;
        if (!ReadInteger(n, what))
            return false;
        if (n < 3)
            return Fail(std::string(what) + ": face " + std::to_string(f) + " has " + std::to_string(n) +
                        " indices; a face needs at least 3");
        if (!tokens_->CanHoldNumbers(n))
            return Fail(std::string(what) + ": face " + std::to_string(f) + " index count " + std::to_string(n) +
                        " is larger than the data");
        faces[f].resize(n);
        for (std::uint32_t& index : faces[f]) {
            if (!ReadInteger(index, what))
                return false;
            if (index >= vertexCount)
                return Fail(std::string(what) + ": face " + std::to_string(f) + " index " + std::to_string(index) +
                            " is out of range (" + std::to_string(vertexCount) + " available)");
        }
    }
    return true;
}

bool XFileReader::ParseMesh(const std::string& name, int depth)
{
    XFileMesh mesh;
    mesh.name = name;
    mesh.transform = Identity();
    if (!ParseVectors(mesh.positions, "Mesh vertices"))
        return false;
    if (!ParseFaces(mesh.faces, static_cast<std::uint32_t>(mesh.positions.size()), "Mesh faces"))
        return false;
    const bool ok = ForEachChild(
        depth,
        [&](const std::string& type, const std::string&, int childDepth) {
            if (type == "MeshNormals")
                return ParseMeshNormals(mesh, childDepth);
            if (type == "MeshTextureCoords")
                return ParseTextureCoords(mesh, childDepth);
            if (type == "MeshVertexColors")
                return ParseVertexColors(mesh, childDepth);
            if (type == "MeshMaterialList")
                return ParseMaterialList(mesh, childDepth);
            return SkipObjectBody(childDepth);
        },
        [](const std::string&) { return true; });
    if (!ok)
        return false;
    model_->meshes.push_back(std::move(mesh));
    return true;
}

bool XFileReader::ParseMeshNormals(XFileMesh& mesh, int depth)
{
    if (!ParseVectors(mesh.normals, "MeshNormals"))
        return false;
    if (!ParseFaces(mesh.normalFaces, static_cast<std::uint32_t>(mesh.normals.size()), "MeshNormals faces"))
        return false;
    if (mesh.normalFaces.size() != mesh.faces.size())
        return Fail("MeshNormals: " + std::to_string(mesh.normalFaces.size()) + " normal faces for " +
                    std::to_string(mesh.faces.size()) + " mesh faces");
    for (std::size_t f = 0; f < mesh.faces.size(); ++f)
        if (mesh.normalFaces[f].size() != mesh.faces[f].size())
            return Fail("MeshNormals: normal face " + std::to_string(f) + " has a different number of indices");
    return SkipObjectBody(depth);
}

bool XFileReader::ParseTextureCoords(XFileMesh& mesh, int depth)
{
    std::uint32_t count = 0;
    if (!ReadInteger(count, "MeshTextureCoords"))
        return false;
    if (count != mesh.positions.size())
        return Fail("MeshTextureCoords: " + std::to_string(count) + " coordinates for " +
                    std::to_string(mesh.positions.size()) + " vertices");
    if (!tokens_->CanHoldNumbers(std::uint64_t{count} * 2))
        return Fail("MeshTextureCoords: count " + std::to_string(count) + " is larger than the data");
    mesh.texCoords.resize(count);
    for (auto& uv : mesh.texCoords)
        for (float& value : uv)
            if (!ReadFloat(value, "MeshTextureCoords"))
                return false;
    return SkipObjectBody(depth);
}

bool XFileReader::ParseVertexColors(XFileMesh& mesh, int depth)
{
    std::uint32_t count = 0;
    if (!ReadInteger(count, "MeshVertexColors"))
        return false;
    if (!tokens_->CanHoldNumbers(std::uint64_t{count} * 5))
        return Fail("MeshVertexColors: count " + std::to_string(count) + " is larger than the data");
    mesh.vertexColors.resize(count);
    for (auto& color : mesh.vertexColors) {
        if (!ReadInteger(color.index, "MeshVertexColors"))
            return false;
        if (color.index >= mesh.positions.size())
            return Fail("MeshVertexColors: vertex index " + std::to_string(color.index) + " is out of range (" +
                        std::to_string(mesh.positions.size()) + " vertices)");
        for (float& value : color.rgba)
            if (!ReadFloat(value, "MeshVertexColors"))
                return false;
    }
    return SkipObjectBody(depth);
}

bool XFileReader::ParseMaterial(XFileMaterial& material, int depth)
{
    for (float& value : material.faceColor)
        if (!ReadFloat(value, "Material faceColor"))
            return false;
    if (!ReadFloat(material.power, "Material power"))
        return false;
    for (float& value : material.specular)
        if (!ReadFloat(value, "Material specularColor"))
            return false;
    for (float& value : material.emissive)
        if (!ReadFloat(value, "Material emissiveColor"))
            return false;
    return ForEachChild(
        depth,
        [&](const std::string& type, const std::string&, int childDepth) {
            if (type == "TextureFilename" || type == "TextureFileName") {
                if (!ReadString(material.textureFilename, "TextureFilename"))
                    return false;
            }
            return SkipObjectBody(childDepth);
        },
        [](const std::string&) { return true; });
}

bool XFileReader::ParseMaterialList(XFileMesh& mesh, int depth)
{
    std::uint32_t materialCount = 0;
    std::uint32_t indexCount = 0;
    if (!ReadInteger(materialCount, "MeshMaterialList") || !ReadInteger(indexCount, "MeshMaterialList"))
        return false;
    if (!tokens_->CanHoldNumbers(indexCount))
        return Fail("MeshMaterialList: face index count " + std::to_string(indexCount) + " is larger than the data");
    if (indexCount > mesh.faces.size())
        return Fail("MeshMaterialList: " + std::to_string(indexCount) + " face indices for " +
                    std::to_string(mesh.faces.size()) + " faces");
    mesh.faceMaterials.resize(indexCount);
    for (std::uint32_t& index : mesh.faceMaterials)
        if (!ReadInteger(index, "MeshMaterialList"))
            return false;
    // Exporters may list fewer indices than faces (often a single one): the last index carries on.
    if (!mesh.faceMaterials.empty())
        mesh.faceMaterials.resize(mesh.faces.size(), mesh.faceMaterials.back());

    mesh.materials.clear();
    const bool ok = ForEachChild(
        depth,
        [&](const std::string& type, const std::string&, int childDepth) {
            if (type != "Material")
                return SkipObjectBody(childDepth);
            XFileMaterial material;
            if (!ParseMaterial(material, childDepth))
                return false;
            mesh.materials.push_back(std::move(material));
            return true;
        },
        [&](const std::string& name) {
            const auto found = namedMaterials_.find(name);
            if (found == namedMaterials_.end())
                return Fail("MeshMaterialList: reference to unknown material \"" + name + "\"");
            mesh.materials.push_back(found->second);
            return true;
        });
    if (!ok)
        return false;
    if (mesh.materials.size() != materialCount)
        return Fail("MeshMaterialList: declares " + std::to_string(materialCount) + " materials but holds " +
                    std::to_string(mesh.materials.size()));
    for (std::size_t f = 0; f < mesh.faceMaterials.size(); ++f)
        if (mesh.faceMaterials[f] >= mesh.materials.size())
            return Fail("MeshMaterialList: face " + std::to_string(f) + " uses material " +
                        std::to_string(mesh.faceMaterials[f]) + " of " + std::to_string(materialCount));
    return true;
}

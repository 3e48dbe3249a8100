#include "d3dx9/mesh/XFileMeshBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>
#include <tuple>

#include "d3dx9/mesh/D3DXVertexFormat.h"

namespace {

using Vec3 = std::array<float, 3>;
using Matrix = std::array<float, 16>;

constexpr D3DCOLOR kWhite = 0xFFFFFFFFu;
// Indices stay below this so that a face count times three and a vertex count fit a DWORD.
constexpr std::uint64_t kMaxElements = 0xFFFFFFFFull / 3;

Vec3 Cross(const Vec3& a, const Vec3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

float Dot(const Vec3& a, const Vec3& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vec3 Normalized(const Vec3& v)
{
    const float length = std::sqrt(Dot(v, v));
    if (!(length > 0.0f) || !std::isfinite(length))
        return {0.0f, 0.0f, 0.0f};
    return {v[0] / length, v[1] / length, v[2] / length};
}

// p × m for a point (w = 1) under an affine row-vector matrix.
Vec3 TransformPoint(const Matrix& m, const Vec3& p)
{
    Vec3 r{};
    for (int c = 0; c < 3; ++c)
        r[c] = p[0] * m[c] + p[1] * m[4 + c] + p[2] * m[8 + c] + m[12 + c];
    return r;
}

// Normals move by the inverse transpose of the upper 3×3 of a transform. That is the cofactor
// matrix divided by the determinant; since normals are renormalised, the cofactor matrix with the
// determinant's sign does, and it stays usable for a singular transform.
struct NormalTransform {
    std::array<Vec3, 3> rows{};
    float sign = 1.0f;

    explicit NormalTransform(const Matrix& m)
    {
        const Vec3 a{m[0], m[1], m[2]}, b{m[4], m[5], m[6]}, c{m[8], m[9], m[10]};
        rows = {Cross(b, c), Cross(c, a), Cross(a, b)};
        sign = Dot(a, rows[0]) < 0.0f ? -1.0f : 1.0f;
    }

    Vec3 Apply(const Vec3& n) const
    {
        Vec3 r{};
        for (int j = 0; j < 3; ++j)
            r[j] = sign * (n[0] * rows[0][j] + n[1] * rows[1][j] + n[2] * rows[2][j]);
        return Normalized(r);
    }
};

BYTE ColorByte(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    return static_cast<BYTE>(std::lround(value * 255.0f));
}

D3DCOLOR ToColor(const std::array<float, 4>& rgba)
{
    return static_cast<D3DCOLOR>(ColorByte(rgba[3])) << 24 | static_cast<D3DCOLOR>(ColorByte(rgba[0])) << 16 |
           static_cast<D3DCOLOR>(ColorByte(rgba[1])) << 8 | ColorByte(rgba[2]);
}

// Per position, the normalised sum of the normals of the triangles around it (their area weights
// them), for a mesh without normals of its own in a file whose other meshes have them.
std::vector<Vec3> SmoothNormals(const XFileMesh& mesh)
{
    std::vector<Vec3> sums(mesh.positions.size(), Vec3{});
    for (const auto& face : mesh.faces)
        for (std::size_t k = 1; k + 1 < face.size(); ++k) {
            const Vec3& a = mesh.positions[face[0]];
            const Vec3& b = mesh.positions[face[k]];
            const Vec3& c = mesh.positions[face[k + 1]];
            const Vec3 n = Cross({b[0] - a[0], b[1] - a[1], b[2] - a[2]}, {c[0] - a[0], c[1] - a[1], c[2] - a[2]});
            for (std::uint32_t corner : {face[0], face[k], face[k + 1]})
                for (int i = 0; i < 3; ++i)
                    sums[corner][i] += n[i];
        }
    for (Vec3& n : sums)
        n = Normalized(n);
    return sums;
}

// A vertex of the merged mesh: a position of one file mesh with one normal (in file space).
struct VertexSource {
    std::uint32_t mesh;
    std::uint32_t position;
    Vec3 normal;
};

using NormalKey = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t>;

NormalKey KeyOf(std::uint32_t position, const Vec3& normal)
{
    std::uint32_t bits[3];
    std::memcpy(bits, normal.data(), sizeof(bits));
    return {position, bits[0], bits[1], bits[2]};
}

} // namespace

XFileMaterial DefaultXFileMaterial()
{
    XFileMaterial material;
    material.faceColor = {1.0f, 1.0f, 1.0f, 1.0f};
    return material;
}

XFileResult BuildXFileMesh(const XFileModel& model, XFileMeshBuild& build)
{
    build = XFileMeshBuild{};
    bool normals = false, colors = false, texCoords = false, needDefault = false;
    std::uint64_t positionCount = 0, triangleCount = 0;
    DWORD fileMaterials = 0;
    for (const XFileMesh& mesh : model.meshes) {
        normals = normals || !mesh.normals.empty();
        colors = colors || !mesh.vertexColors.empty();
        texCoords = texCoords || !mesh.texCoords.empty();
        needDefault = needDefault || mesh.materials.empty();
        positionCount += mesh.positions.size();
        triangleCount += mesh.TriangleCount();
        fileMaterials += static_cast<DWORD>(mesh.materials.size());
    }
    if (triangleCount == 0)
        return XFileResult::Failure(".x file: the meshes hold no faces");
    if (triangleCount > kMaxElements || positionCount > kMaxElements)
        return XFileResult::Failure(".x file: more faces or vertices than a mesh can hold");

    build.fvf = D3DFVF_XYZ | (normals ? D3DFVF_NORMAL : 0) | (colors ? D3DFVF_DIFFUSE : 0) |
                (texCoords ? D3DFVF_TEX1 : 0);
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    D3DXDeclaratorFromFVF(build.fvf, declaration);
    D3DXMeshContent& content = build.content;
    D3DXReadMeshDeclaration(declaration, content.elements, content.stride);

    for (const XFileMesh& mesh : model.meshes)
        build.materials.insert(build.materials.end(), mesh.materials.begin(), mesh.materials.end());
    if (needDefault)
        build.materials.push_back(DefaultXFileMaterial());
    const DWORD defaultMaterial = fileMaterials;

    // Vertices: every file position first (with the normal of its first use), then one more for
    // each further normal a position is used with.
    std::vector<VertexSource> sources;
    std::vector<std::uint32_t> indices;
    std::vector<DWORD> attributes;
    indices.reserve(static_cast<std::size_t>(triangleCount) * 3);
    attributes.reserve(static_cast<std::size_t>(triangleCount));
    DWORD materialBase = 0;
    for (std::uint32_t m = 0; m < model.meshes.size(); ++m) {
        const XFileMesh& mesh = model.meshes[m];
        const auto base = static_cast<std::uint32_t>(sources.size());
        for (std::uint32_t p = 0; p < mesh.positions.size(); ++p)
            sources.push_back({m, p, Vec3{}});
        const bool ownNormals = !mesh.normals.empty();
        const std::vector<Vec3> smooth = normals && !ownNormals ? SmoothNormals(mesh) : std::vector<Vec3>{};
        std::vector<bool> assigned(mesh.positions.size(), false);
        std::map<NormalKey, std::uint32_t> extra;
        const auto vertexFor = [&](std::uint32_t position, const Vec3& normal) -> std::uint32_t {
            if (!normals)
                return base + position;
            VertexSource& first = sources[base + position];
            if (!assigned[position]) {
                assigned[position] = true;
                first.normal = normal;
                return base + position;
            }
            if (std::memcmp(first.normal.data(), normal.data(), sizeof(Vec3)) == 0)
                return base + position;
            const auto [found, added] =
                extra.try_emplace(KeyOf(position, normal), static_cast<std::uint32_t>(sources.size()));
            if (added)
                sources.push_back({m, position, normal});
            return found->second;
        };
        std::vector<std::uint32_t> corners;
        for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
            const auto& face = mesh.faces[f];
            corners.resize(face.size());
            for (std::size_t k = 0; k < face.size(); ++k) {
                const Vec3 normal = ownNormals ? mesh.normals[mesh.normalFaces[f][k]]
                                    : normals  ? smooth[face[k]]
                                               : Vec3{};
                corners[k] = vertexFor(face[k], normal);
            }
            DWORD material = defaultMaterial;
            if (!mesh.materials.empty())
                material = materialBase + (mesh.faceMaterials.empty() ? 0 : mesh.faceMaterials[f]);
            for (std::size_t k = 1; k + 1 < corners.size(); ++k) {
                indices.insert(indices.end(), {corners[0], corners[k], corners[k + 1]});
                attributes.push_back(material);
            }
        }
        materialBase += static_cast<DWORD>(mesh.materials.size());
        if (sources.size() > kMaxElements)
            return XFileResult::Failure(".x file: more vertices than a mesh can hold");
    }

    // The vertex bytes, in the declaration's layout.
    content.numVertices = static_cast<DWORD>(sources.size());
    content.vertices.assign(static_cast<std::size_t>(content.numVertices) * content.stride, 0);
    const D3DVERTEXELEMENT9* normalElement = D3DXFindElement(content.elements, D3DDECLUSAGE_NORMAL, 0);
    const D3DVERTEXELEMENT9* colorElement = D3DXFindElement(content.elements, D3DDECLUSAGE_COLOR, 0);
    const D3DVERTEXELEMENT9* uvElement = D3DXFindElement(content.elements, D3DDECLUSAGE_TEXCOORD, 0);
    std::uint32_t currentMesh = 0xFFFFFFFF;
    NormalTransform normalTransform(Matrix{});
    std::vector<D3DCOLOR> meshColors;
    for (std::size_t v = 0; v < sources.size(); ++v) {
        const VertexSource& source = sources[v];
        const XFileMesh& mesh = model.meshes[source.mesh];
        if (source.mesh != currentMesh) {
            currentMesh = source.mesh;
            normalTransform = NormalTransform(mesh.transform);
            meshColors.assign(mesh.positions.size(), kWhite);
            for (const XFileVertexColor& color : mesh.vertexColors)
                meshColors[color.index] = ToColor(color.rgba);
        }
        BYTE* out = content.vertices.data() + v * content.stride;
        const Vec3 position = TransformPoint(mesh.transform, mesh.positions[source.position]);
        std::memcpy(out, position.data(), sizeof(Vec3));
        if (normalElement != nullptr) {
            const Vec3 normal = normalTransform.Apply(source.normal);
            std::memcpy(out + normalElement->Offset, normal.data(), sizeof(Vec3));
        }
        if (colorElement != nullptr)
            std::memcpy(out + colorElement->Offset, &meshColors[source.position], sizeof(D3DCOLOR));
        if (uvElement != nullptr && !mesh.texCoords.empty())
            std::memcpy(out + uvElement->Offset, mesh.texCoords[source.position].data(), sizeof(float) * 2);
    }

    // Faces sorted by material, file order within a material.
    std::vector<std::uint32_t> order(attributes.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return attributes[a] < attributes[b]; });
    content.indices.resize(indices.size());
    content.attributes.resize(attributes.size());
    for (std::size_t f = 0; f < order.size(); ++f) {
        content.attributes[f] = attributes[order[f]];
        std::copy_n(&indices[static_cast<std::size_t>(order[f]) * 3], 3, &content.indices[f * 3]);
    }
    D3DXBuildAttributeTable(content.indices, content.attributes, content.table);
    return XFileResult::Success();
}

#include "common/meshgen/MeshBuilder.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

namespace meshgen {

std::uint32_t MeshBuilder::AddVertex(Vec3 position, Vec3 normal, Vec2 uv)
{
    vertices_.push_back({position, normal, uv});
    return static_cast<std::uint32_t>(vertices_.size() - 1);
}

void MeshBuilder::AddTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c)
{
    const std::size_t count = vertices_.size();
    if (a >= count || b >= count || c >= count)
        throw std::logic_error("mesh triangle refers to vertex " + std::to_string(std::max({a, b, c})) + " of " +
                               std::to_string(count));
    triangles_.push_back({a, b, c});
    triangleMaterials_.push_back(currentMaterial_);
}

std::uint32_t MeshBuilder::AddMaterial(const MeshMaterial& added)
{
    addedMaterials_.push_back(added);
    return static_cast<std::uint32_t>(addedMaterials_.size());
}

void MeshBuilder::UseMaterial(std::uint32_t index)
{
    if (index >= MaterialCount())
        throw std::logic_error("mesh material " + std::to_string(index) + " of " + std::to_string(MaterialCount()));
    currentMaterial_ = index;
}

const MeshMaterial& MeshBuilder::MaterialAt(std::size_t index) const
{
    if (index >= MaterialCount())
        throw std::logic_error("mesh material " + std::to_string(index) + " of " + std::to_string(MaterialCount()));
    return index == 0 ? material : addedMaterials_[index - 1];
}

void MeshBuilder::AddQuad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    AddTriangle(a, b, c);
    AddTriangle(a, c, d);
}

Vec3 PolygonNormal(const std::vector<Vec3>& corners)
{
    Vec3 normal;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const Vec3& p = corners[i];
        const Vec3& q = corners[(i + 1) % corners.size()];
        normal.x += (p.y - q.y) * (p.z + q.z);
        normal.y += (p.z - q.z) * (p.x + q.x);
        normal.z += (p.x - q.x) * (p.y + q.y);
    }
    return normal;
}

void MeshBuilder::AddFlatPolygon(const std::vector<Vec3>& corners, const std::vector<Vec2>& uvs, Vec3 outside)
{
    if (corners.size() < 3 || uvs.size() != corners.size())
        throw std::logic_error("flat polygon needs three or more corners, each with texture coordinates");
    Vec3 normal = PolygonNormal(corners);
    const bool reversed = Dot(normal, outside) < 0.0;
    normal = Normalize(reversed ? -normal : normal);
    std::vector<std::uint32_t> ids;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const std::size_t k = reversed ? corners.size() - 1 - i : i;
        ids.push_back(AddVertex(corners[k], normal, uvs[k]));
    }
    for (std::size_t i = 1; i + 1 < ids.size(); ++i)
        AddTriangle(ids[0], ids[i], ids[i + 1]);
}

void MeshBuilder::Append(const MeshBuilder& other)
{
    const auto offset = static_cast<std::uint32_t>(vertices_.size());
    // The other mesh's material k > 0 becomes this mesh's added material materialOffset + k.
    const auto materialOffset = static_cast<std::uint32_t>(addedMaterials_.size());
    vertices_.insert(vertices_.end(), other.vertices_.begin(), other.vertices_.end());
    addedMaterials_.insert(addedMaterials_.end(), other.addedMaterials_.begin(), other.addedMaterials_.end());
    for (std::size_t i = 0; i < other.triangles_.size(); ++i) {
        const auto& t = other.triangles_[i];
        const std::uint32_t m = other.triangleMaterials_[i];
        triangles_.push_back({t[0] + offset, t[1] + offset, t[2] + offset});
        triangleMaterials_.push_back(m == 0 ? 0 : m + materialOffset);
    }
}

void MeshBuilder::Flip()
{
    for (auto& t : triangles_)
        std::swap(t[1], t[2]);
    for (auto& v : vertices_)
        v.normal = -v.normal;
}

} // namespace meshgen

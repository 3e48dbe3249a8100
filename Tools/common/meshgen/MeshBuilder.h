#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/meshgen/MeshMath.h"

namespace meshgen {

// One corner of the mesh: where it is, which way it faces, where it samples the texture.
struct MeshVertex {
    Vec3 position;
    Vec3 normal;
    Vec2 uv;
};

// A material of a generated mesh.
struct MeshMaterial {
    std::array<double, 4> diffuse{1.0, 1.0, 1.0, 1.0}; // red, green, blue, alpha
    double power = 20.0;
    std::array<double, 3> specular{0.0, 0.0, 0.0};
    std::array<double, 3> emissive{0.0, 0.0, 0.0};
    std::string texture; // empty: no texture
};

// A triangle mesh under construction. Winding rule of every generator: a triangle (a, b, c)
// is listed so that cross(b - a, c - a) points to the side the surface shows, that is out of a
// solid, or into a room for the boxes and tunnels seen from inside. Vertex normals point the
// same way.
//
// Materials: `material` is material 0, the one every triangle carries unless another is chosen
// with UseMaterial; AddMaterial appends further ones (1, 2, ...).
class MeshBuilder {
public:
    std::uint32_t AddVertex(Vec3 position, Vec3 normal, Vec2 uv);
    // Adds a triangle carrying the material chosen by UseMaterial.
    void AddTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c);
    // A quad whose corners run counter-clockwise seen from the side it shows; split along a-c.
    void AddQuad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);
    // A flat convex polygon with one normal for all its corners (hard edges around it). The
    // corners are listed in either order; they are wound so that the face shows towards
    // `outside`. The texture coordinates go with the corners in the order given.
    void AddFlatPolygon(const std::vector<Vec3>& corners, const std::vector<Vec2>& uvs, Vec3 outside);
    // Appends another mesh's vertices and triangles. The triangles keep their materials: those
    // on the other mesh's material 0 take this mesh's material 0, and the other mesh's added
    // materials are added here after this mesh's own.
    void Append(const MeshBuilder& other);
    // Reverses every triangle and normal: a solid seen from outside becomes one seen from inside.
    // Each triangle keeps its material.
    void Flip();

    // Appends a material and returns its index.
    std::uint32_t AddMaterial(const MeshMaterial& added);
    // The material of the triangles added from now on (an index below MaterialCount()).
    void UseMaterial(std::uint32_t index);
    std::size_t MaterialCount() const { return 1 + addedMaterials_.size(); }
    // Material `index`: 0 is `material`, then the added ones in order.
    const MeshMaterial& MaterialAt(std::size_t index) const;

    const std::vector<MeshVertex>& Vertices() const { return vertices_; }
    std::vector<MeshVertex>& Vertices() { return vertices_; }
    const std::vector<std::array<std::uint32_t, 3>>& Triangles() const { return triangles_; }
    // One material index per triangle.
    const std::vector<std::uint32_t>& TriangleMaterials() const { return triangleMaterials_; }

    MeshMaterial material;

private:
    std::vector<MeshVertex> vertices_;
    std::vector<std::array<std::uint32_t, 3>> triangles_;
    std::vector<std::uint32_t> triangleMaterials_;
    std::vector<MeshMaterial> addedMaterials_;
    std::uint32_t currentMaterial_ = 0;
};

// Newell's normal of a polygon: its area-weighted direction, following the corner order.
Vec3 PolygonNormal(const std::vector<Vec3>& corners);

} // namespace meshgen

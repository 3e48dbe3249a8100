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

// The one material a generated mesh carries.
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
class MeshBuilder {
public:
    std::uint32_t AddVertex(Vec3 position, Vec3 normal, Vec2 uv);
    void AddTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c);
    // A quad whose corners run counter-clockwise seen from the side it shows; split along a-c.
    void AddQuad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);
    // A flat convex polygon with one normal for all its corners (hard edges around it). The
    // corners are listed in either order; they are wound so that the face shows towards
    // `outside`. The texture coordinates go with the corners in the order given.
    void AddFlatPolygon(const std::vector<Vec3>& corners, const std::vector<Vec2>& uvs, Vec3 outside);
    // Appends another mesh's vertices and triangles.
    void Append(const MeshBuilder& other);
    // Reverses every triangle and normal: a solid seen from outside becomes one seen from inside.
    void Flip();

    const std::vector<MeshVertex>& Vertices() const { return vertices_; }
    std::vector<MeshVertex>& Vertices() { return vertices_; }
    const std::vector<std::array<std::uint32_t, 3>>& Triangles() const { return triangles_; }

    MeshMaterial material;

private:
    std::vector<MeshVertex> vertices_;
    std::vector<std::array<std::uint32_t, 3>> triangles_;
};

// Newell's normal of a polygon: its area-weighted direction, following the corner order.
Vec3 PolygonNormal(const std::vector<Vec3>& corners);

} // namespace meshgen

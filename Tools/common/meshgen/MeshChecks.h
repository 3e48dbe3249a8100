#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/meshgen/MeshBuilder.h"
#include "common/meshgen/MeshMath.h"
#include "d3dx9/xfile/XFileModel.h"

// Geometric checks of a triangle mesh: closed surfaces, which way they face, normals that
// agree with the winding, degenerate triangles, texture ranges. Positions closer than the weld
// tolerance count as one point, so hard edges (split vertices) still join their neighbours.
namespace meshgen {

struct CheckMesh {
    std::vector<Vec3> positions;
    std::vector<Vec2> uvs; // one per position, or none
    std::vector<std::array<std::uint32_t, 3>> triangles;
    std::vector<std::array<Vec3, 3>> cornerNormals; // one per triangle, or none
};

CheckMesh CheckMeshFromBuilder(const MeshBuilder& mesh);
// Polygons are split into fans; positions go through the mesh's frame transform (normals
// through its rotation part).
CheckMesh CheckMeshFromXFile(const XFileMesh& mesh);

constexpr double kWeldTolerance = 1e-5;

// How the triangle edges pair up. A closed, consistently wound surface has every edge used
// exactly twice, once in each direction.
struct EdgeReport {
    std::size_t edges = 0;         // distinct edges between distinct points
    std::size_t boundary = 0;      // used once
    std::size_t overShared = 0;    // used three or more times
    std::size_t sameDirection = 0; // used twice the same way (flipped neighbour)
    std::string firstProblem;
    bool Watertight() const { return edges > 0 && boundary == 0 && overShared == 0 && sameDirection == 0; }
};
EdgeReport CheckEdges(const CheckMesh& mesh, double weldTolerance = kWeldTolerance);

// V - E + F over welded points: 2 for each closed piece without holes, 2 - 2g for a piece with
// g holes through it (the counters of "O" or "B").
long EulerCharacteristic(const CheckMesh& mesh, double weldTolerance = kWeldTolerance);

// The volume enclosed, positive when the triangles face out of it, negative when they face
// into it. For an open surface every hole is first closed by a fan from its centre, so a room
// with one wall missing or a tunnel still tells which way it faces.
double SignedVolume(const CheckMesh& mesh, double weldTolerance = kWeldTolerance);

// Problems of one kind: how many, and a description of the first.
struct CheckProblems {
    std::size_t count = 0;
    std::string first;
};
// Corners whose normal does not point to the side the triangle's winding shows (dot <= 0).
CheckProblems CheckNormalsAgreeWithWinding(const CheckMesh& mesh);
// Triangles with two corners at one point or an area below minArea.
CheckProblems CheckDegenerateTriangles(const CheckMesh& mesh, double minArea = 1e-10,
                                       double weldTolerance = kWeldTolerance);

struct UvBounds {
    Vec2 min;
    Vec2 max;
};
UvBounds UvRange(const CheckMesh& mesh);

// Times the surface wraps around the point: about 1 inside a closed outward surface, -1
// inside an inward one, 0 outside.
double WindingNumber(const CheckMesh& mesh, Vec3 point);
// Distance from the point to the nearest point of any triangle.
double DistanceToSurface(const CheckMesh& mesh, Vec3 point);

} // namespace meshgen

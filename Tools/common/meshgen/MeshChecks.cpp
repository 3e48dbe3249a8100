#include "common/meshgen/MeshChecks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <set>
#include <tuple>
#include <utility>

namespace meshgen {

namespace {

// Groups positions closer than the tolerance; returns the group of each position.
std::vector<std::uint32_t> Weld(const std::vector<Vec3>& positions, double tolerance)
{
    using Cell = std::tuple<long long, long long, long long>;
    std::map<Cell, std::vector<std::uint32_t>> cells;
    std::vector<std::uint32_t> group(positions.size());
    std::vector<Vec3> representatives;
    const auto cellOf = [&](double v) { return static_cast<long long>(std::floor(v / tolerance)); };
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const Vec3& p = positions[i];
        const long long cx = cellOf(p.x), cy = cellOf(p.y), cz = cellOf(p.z);
        bool found = false;
        for (long long dx = -1; dx <= 1 && !found; ++dx)
            for (long long dy = -1; dy <= 1 && !found; ++dy)
                for (long long dz = -1; dz <= 1 && !found; ++dz) {
                    const auto cell = cells.find({cx + dx, cy + dy, cz + dz});
                    if (cell == cells.end())
                        continue;
                    for (std::uint32_t g : cell->second)
                        if (Length(representatives[g] - p) <= tolerance) {
                            group[i] = g;
                            found = true;
                            break;
                        }
                }
        if (!found) {
            group[i] = static_cast<std::uint32_t>(representatives.size());
            representatives.push_back(p);
            cells[{cx, cy, cz}].push_back(group[i]);
        }
    }
    return group;
}

std::string PointText(Vec3 p)
{
    char text[96];
    std::snprintf(text, sizeof text, "(%.6f, %.6f, %.6f)", p.x, p.y, p.z);
    return text;
}

Vec3 Corner(const CheckMesh& mesh, const std::array<std::uint32_t, 3>& t, int k)
{
    return mesh.positions[t[static_cast<std::size_t>(k)]];
}

// Closest point of triangle abc to p (Ericson, Real-Time Collision Detection, 5.1.5).
Vec3 ClosestOnTriangle(Vec3 p, Vec3 a, Vec3 b, Vec3 c)
{
    const Vec3 ab = b - a, ac = c - a, ap = p - a;
    const double d1 = Dot(ab, ap), d2 = Dot(ac, ap);
    if (d1 <= 0.0 && d2 <= 0.0)
        return a;
    const Vec3 bp = p - b;
    const double d3 = Dot(ab, bp), d4 = Dot(ac, bp);
    if (d3 >= 0.0 && d4 <= d3)
        return b;
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0)
        return a + ab * (d1 / (d1 - d3));
    const Vec3 cp = p - c;
    const double d5 = Dot(ab, cp), d6 = Dot(ac, cp);
    if (d6 >= 0.0 && d5 <= d6)
        return c;
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0)
        return a + ac * (d2 / (d2 - d6));
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && (d4 - d3) >= 0.0 && (d5 - d6) >= 0.0)
        return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
    const double denom = 1.0 / (va + vb + vc);
    return a + ab * (vb * denom) + ac * (vc * denom);
}

} // namespace

CheckMesh CheckMeshFromBuilder(const MeshBuilder& mesh)
{
    CheckMesh out;
    for (const MeshVertex& v : mesh.Vertices()) {
        out.positions.push_back(v.position);
        out.uvs.push_back(v.uv);
    }
    for (const auto& t : mesh.Triangles()) {
        out.triangles.push_back(t);
        out.cornerNormals.push_back(
            {mesh.Vertices()[t[0]].normal, mesh.Vertices()[t[1]].normal, mesh.Vertices()[t[2]].normal});
    }
    return out;
}

CheckMesh CheckMeshFromXFile(const XFileMesh& mesh)
{
    const auto& m = mesh.transform;
    const auto place = [&](const std::array<float, 3>& p, double w) {
        return Vec3{p[0] * m[0] + p[1] * m[4] + p[2] * m[8] + w * m[12], p[0] * m[1] + p[1] * m[5] + p[2] * m[9] + w * m[13],
                    p[0] * m[2] + p[1] * m[6] + p[2] * m[10] + w * m[14]};
    };
    CheckMesh out;
    for (const auto& p : mesh.positions)
        out.positions.push_back(place(p, 1.0));
    for (const auto& uv : mesh.texCoords)
        out.uvs.push_back({uv[0], uv[1]});
    const bool normals = mesh.normalFaces.size() == mesh.faces.size() && !mesh.normals.empty();
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        const auto& face = mesh.faces[f];
        for (std::size_t k = 1; k + 1 < face.size(); ++k) {
            out.triangles.push_back({face[0], face[k], face[k + 1]});
            if (normals) {
                const auto& nf = mesh.normalFaces[f];
                out.cornerNormals.push_back({Normalize(place(mesh.normals[nf[0]], 0.0)),
                                             Normalize(place(mesh.normals[nf[k]], 0.0)),
                                             Normalize(place(mesh.normals[nf[k + 1]], 0.0))});
            }
        }
    }
    return out;
}

EdgeReport CheckEdges(const CheckMesh& mesh, double weldTolerance)
{
    const auto group = Weld(mesh.positions, weldTolerance);
    // Per undirected edge (low, high): uses from low to high and from high to low.
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::pair<int, int>> uses;
    for (const auto& t : mesh.triangles)
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = group[t[static_cast<std::size_t>(k)]], b = group[t[static_cast<std::size_t>((k + 1) % 3)]];
            if (a == b)
                continue;
            auto& count = uses[{std::min(a, b), std::max(a, b)}];
            (a < b ? count.first : count.second) += 1;
        }
    EdgeReport report;
    report.edges = uses.size();
    std::vector<Vec3> firstOf(mesh.positions.size());
    for (std::size_t i = 0; i < mesh.positions.size(); ++i)
        firstOf[group[i]] = mesh.positions[i];
    for (const auto& [edge, count] : uses) {
        const int total = count.first + count.second;
        std::string problem;
        if (total == 1) {
            ++report.boundary;
            problem = "is used by one triangle only";
        } else if (total > 2) {
            ++report.overShared;
            problem = "is used by " + std::to_string(total) + " triangles";
        } else if (count.first != 1) {
            ++report.sameDirection;
            problem = "runs the same way in both of its triangles";
        }
        if (!problem.empty() && report.firstProblem.empty())
            report.firstProblem =
                "edge " + PointText(firstOf[edge.first]) + " - " + PointText(firstOf[edge.second]) + " " + problem;
    }
    return report;
}

long EulerCharacteristic(const CheckMesh& mesh, double weldTolerance)
{
    const auto group = Weld(mesh.positions, weldTolerance);
    std::set<std::uint32_t> points;
    std::set<std::pair<std::uint32_t, std::uint32_t>> edges;
    for (const auto& t : mesh.triangles)
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = group[t[static_cast<std::size_t>(k)]], b = group[t[static_cast<std::size_t>((k + 1) % 3)]];
            points.insert(a);
            if (a != b)
                edges.insert({std::min(a, b), std::max(a, b)});
        }
    return static_cast<long>(points.size()) - static_cast<long>(edges.size()) + static_cast<long>(mesh.triangles.size());
}

double SignedVolume(const CheckMesh& mesh, double weldTolerance)
{
    const auto group = Weld(mesh.positions, weldTolerance);
    std::vector<Vec3> point(mesh.positions.size());
    for (std::size_t i = 0; i < mesh.positions.size(); ++i)
        point[group[i]] = mesh.positions[i];
    double six = 0.0;
    std::multiset<std::pair<std::uint32_t, std::uint32_t>> directed;
    for (const auto& t : mesh.triangles) {
        const Vec3 a = Corner(mesh, t, 0), b = Corner(mesh, t, 1), c = Corner(mesh, t, 2);
        six += Dot(a, Cross(b, c));
        for (int k = 0; k < 3; ++k)
            directed.insert({group[t[static_cast<std::size_t>(k)]], group[t[static_cast<std::size_t>((k + 1) % 3)]]});
    }
    // Holes: edges without a partner running the other way, followed around their loops.
    std::multimap<std::uint32_t, std::uint32_t> open;
    for (const auto& [a, b] : directed)
        if (a != b && directed.count({b, a}) == 0)
            open.insert({a, b});
    while (!open.empty()) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> loop;
        auto edge = open.begin();
        const std::uint32_t start = edge->first;
        for (;;) {
            loop.push_back(*edge);
            const std::uint32_t next = edge->second;
            open.erase(edge);
            if (next == start)
                break;
            edge = open.find(next);
            if (edge == open.end())
                break;
        }
        Vec3 centre;
        for (const auto& e : loop)
            centre = centre + point[e.first] * (1.0 / loop.size());
        // The fan runs each hole edge backwards, pairing it.
        for (const auto& [a, b] : loop)
            six += Dot(centre, Cross(point[b], point[a]));
    }
    return six / 6.0;
}

CheckProblems CheckNormalsAgreeWithWinding(const CheckMesh& mesh)
{
    CheckProblems problems;
    for (std::size_t i = 0; i < mesh.triangles.size() && i < mesh.cornerNormals.size(); ++i) {
        const auto& t = mesh.triangles[i];
        const Vec3 face = Cross(Corner(mesh, t, 1) - Corner(mesh, t, 0), Corner(mesh, t, 2) - Corner(mesh, t, 0));
        for (int k = 0; k < 3; ++k) {
            const Vec3 n = mesh.cornerNormals[i][static_cast<std::size_t>(k)];
            if (Dot(n, face) > 0.0)
                continue;
            if (problems.count++ == 0)
                problems.first = "triangle " + std::to_string(i) + " at " + PointText(Corner(mesh, t, k)) +
                                 ": normal " + PointText(n) + " against winding " + PointText(Normalize(face));
        }
    }
    return problems;
}

CheckProblems CheckDegenerateTriangles(const CheckMesh& mesh, double minArea, double weldTolerance)
{
    const auto group = Weld(mesh.positions, weldTolerance);
    CheckProblems problems;
    for (std::size_t i = 0; i < mesh.triangles.size(); ++i) {
        const auto& t = mesh.triangles[i];
        const double area =
            0.5 * Length(Cross(Corner(mesh, t, 1) - Corner(mesh, t, 0), Corner(mesh, t, 2) - Corner(mesh, t, 0)));
        if (group[t[0]] != group[t[1]] && group[t[1]] != group[t[2]] && group[t[0]] != group[t[2]] && area >= minArea)
            continue;
        if (problems.count++ == 0)
            problems.first = "triangle " + std::to_string(i) + " at " + PointText(Corner(mesh, t, 0)) + ", " +
                             PointText(Corner(mesh, t, 1)) + ", " + PointText(Corner(mesh, t, 2));
    }
    return problems;
}

UvBounds UvRange(const CheckMesh& mesh)
{
    UvBounds bounds;
    if (mesh.uvs.empty())
        return bounds;
    bounds.min = bounds.max = mesh.uvs[0];
    for (const Vec2& uv : mesh.uvs) {
        bounds.min = {std::min(bounds.min.x, uv.x), std::min(bounds.min.y, uv.y)};
        bounds.max = {std::max(bounds.max.x, uv.x), std::max(bounds.max.y, uv.y)};
    }
    return bounds;
}

double WindingNumber(const CheckMesh& mesh, Vec3 point)
{
    // Signed solid angles of the triangles seen from the point (van Oosterom and Strackee).
    double total = 0.0;
    for (const auto& t : mesh.triangles) {
        const Vec3 a = Corner(mesh, t, 0) - point, b = Corner(mesh, t, 1) - point, c = Corner(mesh, t, 2) - point;
        const double la = Length(a), lb = Length(b), lc = Length(c);
        const double numerator = Dot(a, Cross(b, c));
        const double denominator = la * lb * lc + Dot(a, b) * lc + Dot(a, c) * lb + Dot(b, c) * la;
        total += 2.0 * std::atan2(numerator, denominator);
    }
    return total / (4.0 * kPi);
}

double DistanceToSurface(const CheckMesh& mesh, Vec3 point)
{
    double nearest = std::numeric_limits<double>::max();
    for (const auto& t : mesh.triangles)
        nearest = std::min(nearest,
                           Length(point - ClosestOnTriangle(point, Corner(mesh, t, 0), Corner(mesh, t, 1), Corner(mesh, t, 2))));
    return nearest;
}

} // namespace meshgen

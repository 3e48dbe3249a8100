#include "common/meshgen/TubeShapes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "common/meshgen/HeightNoise.h"
#include "common/meshgen/ShapeChecks.h"

namespace meshgen {

namespace {

// Rings of points around a centre line, row i along the line, column j around; the column
// `sides` repeats column 0 bit for bit, and when `closed` the row `rows` repeats row 0. Quads
// run (i, j), (i, j + 1), (i + 1, j + 1), (i + 1, j) when `outward`, the other way round
// otherwise.
void AddRings(MeshBuilder& mesh, const std::vector<std::vector<MeshVertex>>& rows, bool closed, bool outward,
              double tileU, double tileV)
{
    const std::size_t count = rows.size();
    const std::size_t lines = closed ? count + 1 : count;
    const std::size_t sides = rows[0].size();
    std::vector<std::vector<std::uint32_t>> ids(lines);
    for (std::size_t i = 0; i < lines; ++i)
        for (std::size_t j = 0; j <= sides; ++j) {
            const MeshVertex& v = rows[i % count][j % sides];
            const double along = static_cast<double>(i) / (lines - 1);
            ids[i].push_back(mesh.AddVertex(v.position, v.normal, {tileU * static_cast<double>(j) / sides, tileV * along}));
        }
    for (std::size_t i = 0; i + 1 < lines; ++i)
        for (std::size_t j = 0; j < sides; ++j) {
            if (outward)
                mesh.AddQuad(ids[i][j], ids[i][j + 1], ids[i + 1][j + 1], ids[i + 1][j]);
            else
                mesh.AddQuad(ids[i][j], ids[i + 1][j], ids[i + 1][j + 1], ids[i][j + 1]);
        }
}

} // namespace

MeshBuilder BuildTube(const TubeOptions& o)
{
    RequirePositive("--radius", o.radius);
    RequirePositive("--length", o.length);
    RequireCount("--segments", o.segments, 3, 1024);
    RequireCount("--rings", o.rings, 1, 4096);
    RequireRange("--noise", o.noise, 0.0, 0.5);
    RequireRange("--bend", o.bend, 0.0, 1e6);
    RequirePositive("--tile", o.tileU);
    RequirePositive("--tile", o.tileV);
    const HeightNoise noise(o.seed);

    // The surface point at t (0 ... 1 along) and angle phi.
    const auto surface = [&](double t, double phi) {
        const Vec3 centre{o.bend * std::sin(2.0 * kPi * t), 0.5 * o.bend * std::sin(kPi * t), o.length * (0.5 - t)};
        const Vec3 tangent = Normalize(Vec3{2.0 * kPi * o.bend * std::cos(2.0 * kPi * t),
                                            0.5 * kPi * o.bend * std::cos(kPi * t), -o.length});
        const Vec3 side = Normalize(Vec3{1.0, 0.0, 0.0} - tangent * tangent.x);
        const Vec3 up = Cross(tangent, side);
        double radius = o.radius;
        if (o.noise > 0.0)
            radius *= 1.0 + o.noise * noise.Fractal(t * o.length * 0.5 + 1.3 * std::cos(phi), 1.3 * std::sin(phi), 2);
        return centre + (side * std::cos(phi) + up * std::sin(phi)) * radius;
    };

    const double dt = 1e-4, dphi = 1e-4;
    std::vector<std::vector<MeshVertex>> rows;
    for (int i = 0; i <= o.rings; ++i) {
        const double t = static_cast<double>(i) / o.rings;
        std::vector<MeshVertex> row;
        for (int j = 0; j < o.segments; ++j) {
            const double phi = 2.0 * kPi * j / o.segments;
            // Along the line, then around: the cross product points into the tube.
            const Vec3 along = surface(t + dt, phi) - surface(t - dt, phi);
            const Vec3 around = surface(t, phi + dphi) - surface(t, phi - dphi);
            row.push_back({surface(t, phi), Normalize(Cross(along, around)), {}});
        }
        rows.push_back(std::move(row));
    }
    MeshBuilder mesh;
    AddRings(mesh, rows, false, false, o.tileU, o.tileV);
    return mesh;
}

MeshBuilder BuildTorusKnot(const TorusKnotOptions& o)
{
    RequirePositive("--radius", o.radius);
    RequirePositive("--tube", o.tube);
    RequireCount("--p", o.p, 1, 16);
    RequireCount("--q", o.q, 1, 16);
    if (std::gcd(o.p, o.q) != 1)
        throw std::invalid_argument("--p " + std::to_string(o.p) + " and --q " + std::to_string(o.q) +
                                    " share a factor; the knot would run over itself");
    RequireCount("--segments", o.segments, 16, 4096);
    RequireCount("--sides", o.sides, 3, 256);

    const double scale = o.radius / 3.0;
    const double p = o.p, q = o.q;
    const auto centre = [&](double t) {
        const double r = 2.0 + std::cos(q * t);
        return Vec3{r * std::cos(p * t), r * std::sin(p * t), -std::sin(q * t)} * scale;
    };
    const auto velocity = [&](double t) {
        const double r = 2.0 + std::cos(q * t);
        return Vec3{-q * std::sin(q * t) * std::cos(p * t) - p * r * std::sin(p * t),
                    -q * std::sin(q * t) * std::sin(p * t) + p * r * std::cos(p * t), -q * std::cos(q * t)} *
               scale;
    };
    const auto acceleration = [&](double t) {
        const double r = 2.0 + std::cos(q * t), dr = -q * std::sin(q * t), ddr = -q * q * std::cos(q * t);
        return Vec3{ddr * std::cos(p * t) - 2.0 * dr * p * std::sin(p * t) - r * p * p * std::cos(p * t),
                    ddr * std::sin(p * t) + 2.0 * dr * p * std::cos(p * t) - r * p * p * std::sin(p * t),
                    q * q * std::sin(q * t)} *
               scale;
    };

    const int n = o.segments;
    std::vector<Vec3> points, tangents;
    double tightest = 0.0; // largest curvature
    for (int i = 0; i < n; ++i) {
        const double t = 2.0 * kPi * i / n;
        points.push_back(centre(t));
        const Vec3 v = velocity(t), a = acceleration(t);
        tangents.push_back(Normalize(v));
        tightest = std::max(tightest, Length(Cross(v, a)) / std::pow(Length(v), 3.0));
    }
    // The tube must not fold on the inside of a bend, nor touch a strand of the knot further along.
    char text[160];
    if (o.tube * tightest >= 0.95) {
        std::snprintf(text, sizeof text, "--tube %g is too thick: the knot bends tighter than that (at most %.4g)",
                      o.tube, 0.95 / tightest);
        throw std::invalid_argument(text);
    }
    std::vector<double> arc(static_cast<std::size_t>(n) + 1, 0.0);
    for (int i = 0; i < n; ++i)
        arc[static_cast<std::size_t>(i) + 1] =
            arc[static_cast<std::size_t>(i)] + Length(points[static_cast<std::size_t>((i + 1) % n)] - points[static_cast<std::size_t>(i)]);
    const double total = arc.back();
    double closest = std::numeric_limits<double>::max();
    for (std::size_t i = 0; i < points.size(); ++i)
        for (std::size_t k = i + 1; k < points.size(); ++k) {
            const double apart = std::min(arc[k] - arc[i], total - (arc[k] - arc[i]));
            if (apart > 2.0 * kPi * o.tube)
                closest = std::min(closest, Length(points[k] - points[i]));
        }
    if (2.0 * o.tube >= closest * 0.95) {
        std::snprintf(text, sizeof text, "--tube %g is too thick: strands of the knot pass %.4g apart (at most %.4g)",
                      o.tube, closest, closest * 0.95 / 2.0);
        throw std::invalid_argument(text);
    }

    // Frames carried along the knot without twisting, then the mismatch left after one turn
    // is spread evenly so that the tube closes on itself.
    const auto rotate = [](Vec3 v, Vec3 axis, double angle) {
        return v * std::cos(angle) + Cross(axis, v) * std::sin(angle);
    };
    std::vector<Vec3> normals(points.size());
    const Vec3 seed = std::fabs(tangents[0].z) < 0.9 ? Vec3{0.0, 0.0, 1.0} : Vec3{1.0, 0.0, 0.0};
    normals[0] = Normalize(seed - tangents[0] * Dot(seed, tangents[0]));
    for (std::size_t i = 1; i <= points.size(); ++i) {
        const Vec3& t = tangents[i % points.size()];
        const Vec3 carried = Normalize(normals[i - 1] - t * Dot(normals[i - 1], t));
        if (i < points.size()) {
            normals[i] = carried;
            continue;
        }
        const double twist = std::atan2(Dot(Cross(carried, normals[0]), t), Dot(carried, normals[0]));
        for (std::size_t k = 1; k < points.size(); ++k)
            normals[k] = rotate(normals[k], tangents[k], twist * static_cast<double>(k) / n);
    }

    std::vector<std::vector<MeshVertex>> rows;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Vec3 binormal = Cross(tangents[i], normals[i]);
        std::vector<MeshVertex> row;
        for (int j = 0; j < o.sides; ++j) {
            const double a = 2.0 * kPi * j / o.sides;
            const Vec3 out = normals[i] * std::cos(a) + binormal * std::sin(a);
            row.push_back({points[i] + out * o.tube, out, {}});
        }
        rows.push_back(std::move(row));
    }
    MeshBuilder mesh;
    AddRings(mesh, rows, true, true, 1.0, std::max(1.0, std::round(total / (2.0 * kPi * o.tube))));
    return mesh;
}

} // namespace meshgen

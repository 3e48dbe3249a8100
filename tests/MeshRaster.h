#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "common/meshgen/MeshChecks.h"

// A small software rasteriser for looking at meshes in tests: the view of the demo's
// right-handed cameras from +Z towards -Z with +Y up (x to the right), orthographic. Triangles
// whose winding does not face the viewer are culled, as the device culls them; the rest are
// depth-tested and shaded by their normal. Rows run from the top, pixels in B, G, R, A order.
class MeshRaster {
public:
    static constexpr std::uint8_t kBackground[4] = {60, 30, 20, 255};

    // Maps the world rectangle [left, right] × [bottom, top] onto the picture.
    MeshRaster(unsigned width, unsigned height, double left, double right, double bottom, double top)
        : width_(width), height_(height), left_(left), right_(right), bottom_(bottom), top_(top),
          depth_(static_cast<std::size_t>(width) * height, -1e30), pixels_(static_cast<std::size_t>(width) * height * 4)
    {
        for (std::size_t i = 0; i < pixels_.size(); i += 4)
            std::copy(kBackground, kBackground + 4, pixels_.begin() + static_cast<std::ptrdiff_t>(i));
    }

    void Draw(const meshgen::CheckMesh& mesh)
    {
        for (std::size_t t = 0; t < mesh.triangles.size(); ++t) {
            meshgen::Vec3 p[3];
            for (int k = 0; k < 3; ++k)
                p[k] = mesh.positions[mesh.triangles[t][static_cast<std::size_t>(k)]];
            const meshgen::Vec3 normal = meshgen::Normalize(meshgen::Cross(p[1] - p[0], p[2] - p[0]));
            if (normal.z <= 0.0)
                continue;
            const double light = 0.35 + 0.65 * std::max(0.0, meshgen::Dot(normal, meshgen::Normalize({0.3, 0.5, 1.0})));
            Fill(p, static_cast<std::uint8_t>(std::lround(255.0 * light)));
        }
    }

    // True when the world point (x, y) is covered by a drawn triangle.
    bool Inked(double x, double y) const
    {
        const long px = std::lround((x - left_) / (right_ - left_) * width_ - 0.5);
        const long py = std::lround((top_ - y) / (top_ - bottom_) * height_ - 0.5);
        if (px < 0 || py < 0 || px >= static_cast<long>(width_) || py >= static_cast<long>(height_))
            return false;
        return depth_[static_cast<std::size_t>(py) * width_ + static_cast<std::size_t>(px)] > -1e30;
    }

    const std::vector<std::uint8_t>& Pixels() const { return pixels_; }
    unsigned Width() const { return width_; }
    unsigned Height() const { return height_; }

private:
    void Fill(const meshgen::Vec3 (&p)[3], std::uint8_t shade)
    {
        double sx[3], sy[3];
        for (int k = 0; k < 3; ++k) {
            sx[k] = (p[k].x - left_) / (right_ - left_) * width_;
            sy[k] = (top_ - p[k].y) / (top_ - bottom_) * height_;
        }
        // Screen rows grow downwards, so a triangle facing the viewer has a negative area here.
        const double area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
        if (area >= 0.0)
            return;
        const long x0 = std::max(0L, static_cast<long>(std::floor(std::min({sx[0], sx[1], sx[2]}))));
        const long x1 = std::min(static_cast<long>(width_) - 1, static_cast<long>(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
        const long y0 = std::max(0L, static_cast<long>(std::floor(std::min({sy[0], sy[1], sy[2]}))));
        const long y1 = std::min(static_cast<long>(height_) - 1, static_cast<long>(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
        for (long y = y0; y <= y1; ++y)
            for (long x = x0; x <= x1; ++x) {
                const double cx = x + 0.5, cy = y + 0.5;
                double w[3];
                for (int k = 0; k < 3; ++k) {
                    const int a = (k + 1) % 3, b = (k + 2) % 3;
                    w[k] = ((sx[b] - sx[a]) * (cy - sy[a]) - (sy[b] - sy[a]) * (cx - sx[a])) / area;
                }
                if (w[0] < 0.0 || w[1] < 0.0 || w[2] < 0.0)
                    continue;
                const double z = w[0] * p[0].z + w[1] * p[1].z + w[2] * p[2].z;
                const std::size_t at = static_cast<std::size_t>(y) * width_ + static_cast<std::size_t>(x);
                if (z <= depth_[at])
                    continue;
                depth_[at] = z;
                pixels_[at * 4 + 0] = shade;
                pixels_[at * 4 + 1] = shade;
                pixels_[at * 4 + 2] = shade;
                pixels_[at * 4 + 3] = 255;
            }
    }

    unsigned width_, height_;
    double left_, right_, bottom_, top_;
    std::vector<double> depth_;
    std::vector<std::uint8_t> pixels_;
};

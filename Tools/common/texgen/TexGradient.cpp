#include "common/texgen/TexGradient.h"

#include <algorithm>
#include <cmath>

TexColor SampleTexGradient(const std::vector<TexGradientStop>& stops, float t)
{
    if (stops.empty()) {
        return {};
    }
    if (t <= stops.front().position) {
        return stops.front().color;
    }
    for (std::size_t i = 1; i < stops.size(); ++i) {
        const TexGradientStop& from = stops[i - 1];
        const TexGradientStop& to = stops[i];
        if (t <= to.position) {
            float span = to.position - from.position;
            return span > 0.0f ? from.color.Mix(to.color, (t - from.position) / span) : to.color;
        }
    }
    return stops.back().color;
}

namespace {

// cos and sin of whole quarter turns come out exact, so axis-aligned gradients have uniform rows
// or columns.
double CleanTrig(double value)
{
    return std::fabs(value) < 1e-12 ? 0.0 : value;
}

} // namespace

TexImage MakeTexGradient(unsigned width, unsigned height, const TexGradientParams& params)
{
    TexImage image(width, height);
    const double pi = 3.14159265358979323846;
    double angle = static_cast<double>(params.angleDegrees) * pi / 180.0;
    double dx = CleanTrig(std::cos(angle));
    double dy = CleanTrig(std::sin(angle));
    // The projections of the corner texel centres bound the linear gradient.
    double low = 0.0, high = 0.0;
    bool first = true;
    for (double cx : {0.5, width - 0.5}) {
        for (double cy : {0.5, height - 0.5}) {
            double s = cx * dx + cy * dy;
            low = first ? s : std::min(low, s);
            high = first ? s : std::max(high, s);
            first = false;
        }
    }
    double reach = static_cast<double>(params.radius) * std::min(width, height) / 2.0;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            double px = x + 0.5;
            double py = y + 0.5;
            double t = 0.0;
            if (params.shape == TexGradientShape::Linear) {
                t = high > low ? ((px * dx + py * dy) - low) / (high - low) : 0.0;
            } else {
                t = std::hypot(px - width / 2.0, py - height / 2.0) / reach;
            }
            TexColor c = SampleTexGradient(params.stops, static_cast<float>(t));
            image.Set(x, y, c.r, c.g, c.b, c.a);
        }
    }
    return image;
}

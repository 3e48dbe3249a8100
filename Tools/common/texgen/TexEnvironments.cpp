#include "common/texgen/TexEnvironments.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kDegrees = 180.0 / 3.14159265358979323846;

// The distance in degrees from an angle to the nearest multiple of the step.
double DistanceToStep(double angle, double step)
{
    double r = std::fmod(std::fabs(angle), step);
    return std::min(r, step - r);
}

} // namespace

TexEnvironment TexSkyEnvironment(const TexColor& zenith, const TexColor& horizon, const TexColor& ground)
{
    return [zenith, horizon, ground](float, float y, float) {
        if (y >= 0.0f) {
            return horizon.Mix(zenith, std::sqrt(y));
        }
        return horizon.Mix(ground, std::min(1.0f, -y * 8.0f));
    };
}

TexEnvironment TexDirectionEnvironment()
{
    return [](float x, float y, float z) { return TexColor{0.5f + 0.5f * x, 0.5f + 0.5f * y, 0.5f + 0.5f * z, 1.0f}; };
}

TexEnvironment TexGridEnvironment(const TexColor& background, const TexColor& line, float stepDegrees,
                                  float lineDegrees)
{
    return [=](float x, float y, float z) {
        double latitude = std::asin(std::clamp(static_cast<double>(y), -1.0, 1.0)) * kDegrees;
        double longitude = std::atan2(static_cast<double>(x), static_cast<double>(z)) * kDegrees;
        // Meridians crowd together towards the poles; their width is measured along the parallel.
        double alongParallel = DistanceToStep(longitude, stepDegrees) * std::cos(latitude / kDegrees);
        bool onLine = DistanceToStep(latitude, stepDegrees) < lineDegrees / 2.0 || alongParallel < lineDegrees / 2.0;
        return onLine ? line : background;
    };
}

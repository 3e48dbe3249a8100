#include "d3dx9/D3DXResample.h"

#include <algorithm>
#include <cmath>

namespace {

struct Tap {
    UINT index;
    float weight;
};

// The source texels and weights that make each target texel along one axis.
std::vector<std::vector<Tap>> AxisTaps(UINT size, UINT target, D3DXResampleKind kind)
{
    std::vector<std::vector<Tap>> taps(target);
    double scale = static_cast<double>(size) / target;
    for (UINT t = 0; t < target; ++t) {
        std::vector<Tap>& list = taps[t];
        if (kind == D3DXResampleKind::Point) {
            auto index = static_cast<UINT>((t + 0.5) * scale);
            list.push_back({std::min(index, size - 1), 1.0f});
        } else if (target <= size) {
            // Each target texel averages the source span it covers, partial texels weighted.
            double begin = t * scale;
            double end = (t + 1) * scale;
            for (auto s = static_cast<UINT>(begin); s < size && s < end; ++s) {
                double overlap = std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s));
                if (overlap > 0.0) {
                    list.push_back({s, static_cast<float>(overlap / scale)});
                }
            }
        } else {
            double centre = (t + 0.5) * scale - 0.5;
            double floorCentre = std::floor(centre);
            auto fraction = static_cast<float>(centre - floorCentre);
            auto low = static_cast<long long>(floorCentre);
            auto clampIndex = [size](long long i) {
                return static_cast<UINT>(std::min<long long>(std::max<long long>(i, 0), size - 1));
            };
            list.push_back({clampIndex(low), 1.0f - fraction});
            list.push_back({clampIndex(low + 1), fraction});
        }
    }
    return taps;
}

} // namespace

std::vector<float> D3DXResampleRgba(const std::vector<float>& source, UINT width, UINT height, UINT targetWidth,
                                    UINT targetHeight, D3DXResampleKind kind)
{
    std::vector<float> target(static_cast<std::size_t>(targetWidth) * targetHeight * 4, 0.0f);
    if (kind == D3DXResampleKind::None) {
        for (UINT y = 0; y < std::min(height, targetHeight); ++y) {
            const float* from = &source[static_cast<std::size_t>(y) * width * 4];
            float* to = &target[static_cast<std::size_t>(y) * targetWidth * 4];
            std::copy(from, from + std::min(width, targetWidth) * 4, to);
        }
        return target;
    }
    if (width == targetWidth && height == targetHeight) {
        return source;
    }
    // Rows first, then columns.
    std::vector<std::vector<Tap>> across = AxisTaps(width, targetWidth, kind);
    std::vector<std::vector<Tap>> down = AxisTaps(height, targetHeight, kind);
    std::vector<float> rows(static_cast<std::size_t>(targetWidth) * height * 4, 0.0f);
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < targetWidth; ++x) {
            float* to = &rows[(static_cast<std::size_t>(y) * targetWidth + x) * 4];
            for (const Tap& tap : across[x]) {
                const float* from = &source[(static_cast<std::size_t>(y) * width + tap.index) * 4];
                for (int ch = 0; ch < 4; ++ch) {
                    to[ch] += tap.weight * from[ch];
                }
            }
        }
    }
    for (UINT y = 0; y < targetHeight; ++y) {
        for (UINT x = 0; x < targetWidth; ++x) {
            float* to = &target[(static_cast<std::size_t>(y) * targetWidth + x) * 4];
            for (const Tap& tap : down[y]) {
                const float* from = &rows[(static_cast<std::size_t>(tap.index) * targetWidth + x) * 4];
                for (int ch = 0; ch < 4; ++ch) {
                    to[ch] += tap.weight * from[ch];
                }
            }
        }
    }
    return target;
}

#pragma once
#include <cstdint>

namespace meshgen {

// Smooth gradient noise in two dimensions, about -1 ... 1, whose lattice comes from a seed
// through an integer hash: the same seed gives the same values on every run and machine, and
// nothing else in the process changes them.
class HeightNoise {
public:
    explicit HeightNoise(std::uint32_t seed) : seed_(seed) {}

    double At(double x, double y) const;
    // Octaves of At, each at twice the frequency and half the amplitude, scaled back to about -1 ... 1.
    double Fractal(double x, double y, int octaves) const;

private:
    double Gradient(long long ix, long long iy, double dx, double dy) const;

    std::uint32_t seed_;
};

} // namespace meshgen

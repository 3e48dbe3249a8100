#pragma once
#include <cstdint>

// Lattice noise for generated textures: value noise (random heights at the lattice points) and
// Perlin's gradient noise (random slopes), both smoothed with a quintic fade, and fractal sums of
// them. Everything follows from the seed, so the same seed gives the same texels on every run.
// With a period the lattice repeats every `period` cells along that axis, which makes the noise
// wrap seamlessly there; a period of 0 never repeats.
enum class TexNoiseType { Value, Perlin };

struct TexFractalParams {
    TexNoiseType type = TexNoiseType::Perlin;
    unsigned octaves = 5; // each octave doubles the frequency
    float gain = 0.5f;    // amplitude of each octave relative to the one before
};

class TexNoise {
public:
    explicit TexNoise(std::uint32_t seed) : seed_(seed) {}

    // One octave at (x, y) in lattice cells: about -1..1.
    float Sample(TexNoiseType type, double x, double y, unsigned periodX, unsigned periodY,
                 std::uint32_t octave = 0) const;

    // The sum of the octaves, divided by the root of the sum of their squared amplitudes and
    // clamped to -1..1; the periods (when not 0) double with the frequency so that every octave
    // wraps where the first does.
    float Fractal(const TexFractalParams& params, double x, double y, unsigned periodX, unsigned periodY) const;

private:
    std::uint32_t Hash(std::int64_t x, std::int64_t y, unsigned periodX, unsigned periodY, std::uint32_t octave) const;

    std::uint32_t seed_;
};

#pragma once
#include <functional>

// Ken Perlin's classic gradient noise in one, two and three dimensions, and fractal sums of
// it. The functions share process-wide lattice tables that the first noise call builds from
// crt::rand() on a random stream of their own (from seed 1, where a new process starts), so they
// are the same whoever asks first and whatever was drawn before. Main thread only.

// Gradient noise, roughly in [-1, 1] and 0 at every integer lattice point.
float Noise1(float x);
float Noise2(const float v[2]);
float Noise3(const float v[3]);

// Fractal sums over n octaves: octave i adds the noise at position * beta^i divided by
// alpha^i. The position is one, two or three floats; alpha divides the amplitude and beta
// multiplies the frequency from one octave to the next.
float PerlinNoise1D(float x, float alpha, float beta, int n);
float PerlinNoise2D(float x, float y, float alpha, float beta, int n);
float PerlinNoise3D(float x, float y, float z, float alpha, float beta, int n);

// The lattice tables: a shuffled permutation of 0...255 and one gradient per entry, with the
// first 258 entries repeated after the 256th so that a lattice index plus an offset in
// 0...257 stays inside.
struct PerlinNoiseTables {
    static constexpr int kLattice = 256;
    static constexpr int kEntries = kLattice + kLattice + 2;

    int perm[kEntries] = {};
    float grad1[kEntries] = {};
    float grad2[kEntries][2] = {};
    float grad3[kEntries][3] = {};

    // Fills the tables from `random`, which yields integers in 0...32767: per entry one draw
    // for grad1, two for grad2 and three for grad3, each component ((r mod 512) - 256) / 256;
    // then the permutation is shuffled with one draw per step. The 2-D and 3-D gradients are
    // scaled to unit length; one whose components all come out 0 has no direction, so it
    // is drawn again.
    void Build(const std::function<int()>& random);
};

#pragma once
#include <cstddef>
#include <cstdint>

// The 128 x 128 x 128 noise volume every effect samples: smooth fractal noise that wraps
// seamlessly at its faces, one byte per texel.
constexpr unsigned kNoiseVolumeEdge = 128;
constexpr std::size_t kNoiseVolumeBytes = std::size_t{kNoiseVolumeEdge} * kNoiseVolumeEdge * kNoiseVolumeEdge;

// Fills the volume: texel (x, y, z) goes to z * slicePitch + y * rowPitch + x. Eight shifted
// copies of the noise are blended so that each face continues into the opposite one.
void GenerateNoiseVolume(std::uint8_t* texels, std::size_t rowPitch, std::size_t slicePitch);

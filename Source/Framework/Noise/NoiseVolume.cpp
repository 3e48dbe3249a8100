#include "Noise/NoiseVolume.h"

#include "PerlinNoise.h"

void GenerateNoiseVolume(std::uint8_t* texels, std::size_t rowPitch, std::size_t slicePitch)
{
    const float s = 0.05f;
    const float P = static_cast<float>(kNoiseVolumeEdge) * s;
    const float Q = static_cast<float>(kNoiseVolumeEdge) * s;
    const float R = static_cast<float>(kNoiseVolumeEdge) * s;
    const auto N = [](float a, float b, float c) { return PerlinNoise3D(a, b, c, 2.0f, 2.0f, 6); };
    for (unsigned z = 0; z < kNoiseVolumeEdge; ++z) {
        for (unsigned y = 0; y < kNoiseVolumeEdge; ++y) {
            for (unsigned x = 0; x < kNoiseVolumeEdge; ++x) {
                const float fx = static_cast<float>(x) * s;
                const float fy = static_cast<float>(y) * s;
                const float fz = static_cast<float>(z) * s;
                float sum = N(fx, fy, fz) * (P - fx) * (Q - fy) * (R - fz);
                sum += N(fx - P, fy, fz) * fx * (Q - fy) * (R - fz);
                sum += N(fx - P, fy - Q, fz) * fx * fy * (R - fz);
                sum += N(fx, fy - Q, fz) * (P - fx) * fy * (R - fz);
                sum += N(fx, fy, fz - R) * (P - fx) * (Q - fy) * fz;
                sum += N(fx - P, fy, fz - R) * fx * (Q - fy) * fz;
                sum += N(fx - P, fy - Q, fz - R) * fx * fy * fz;
                sum += N(fx, fy - Q, fz - R) * (P - fx) * fy * fz;
                float v = sum / (P * Q * R) + 0.55f;
                if (v < 0.0f)
                    v = 0.0f;
                if (v > 1.0f)
                    v = 1.0f;
                texels[z * slicePitch + y * rowPitch + x] = static_cast<std::uint8_t>(v * 255.0f);
            }
        }
    }
}

#pragma once
#include <cstdint>
#include <vector>

// A generated picture: rows from the top, four floats per texel (red, green, blue, alpha, each
// 0..1, alpha not premultiplied).
class TexImage {
public:
    TexImage() = default;
    TexImage(unsigned width, unsigned height);

    unsigned Width() const { return width_; }
    unsigned Height() const { return height_; }

    float* At(unsigned x, unsigned y) { return &rgba_[(static_cast<std::size_t>(y) * width_ + x) * 4]; }
    const float* At(unsigned x, unsigned y) const { return &rgba_[(static_cast<std::size_t>(y) * width_ + x) * 4]; }
    void Set(unsigned x, unsigned y, float r, float g, float b, float a);

    const std::vector<float>& Rgba() const { return rgba_; }

    // True when every texel's alpha rounds to 255.
    bool IsOpaque() const;

    // Texels as bytes B, G, R, A (A8R8G8B8 in memory), each channel clamped and rounded.
    std::vector<std::uint8_t> ToBgra8() const;

    // The next smaller mip level: half the size (at least 1), each texel the area average.
    TexImage HalfSize() const;

private:
    unsigned width_ = 0;
    unsigned height_ = 0;
    std::vector<float> rgba_;
};

// A channel value 0..1 as a byte, clamped and rounded.
std::uint8_t TexChannelByte(float value);

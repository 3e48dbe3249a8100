#include "common/texgen/TexImage.h"

#include <algorithm>
#include <cmath>

#include "d3dx9/D3DXResample.h"

TexImage::TexImage(unsigned width, unsigned height)
    : width_(width), height_(height), rgba_(static_cast<std::size_t>(width) * height * 4, 0.0f)
{
}

void TexImage::Set(unsigned x, unsigned y, float r, float g, float b, float a)
{
    float* texel = At(x, y);
    texel[0] = r;
    texel[1] = g;
    texel[2] = b;
    texel[3] = a;
}

std::uint8_t TexChannelByte(float value)
{
    if (!(value > 0.0f)) {
        return 0; // NaN too
    }
    return static_cast<std::uint8_t>(std::lround(std::min(value, 1.0f) * 255.0f));
}

bool TexImage::IsOpaque() const
{
    for (std::size_t i = 3; i < rgba_.size(); i += 4) {
        if (TexChannelByte(rgba_[i]) != 255) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> TexImage::ToBgra8() const
{
    std::vector<std::uint8_t> bytes(rgba_.size());
    for (std::size_t i = 0; i < rgba_.size(); i += 4) {
        bytes[i + 0] = TexChannelByte(rgba_[i + 2]);
        bytes[i + 1] = TexChannelByte(rgba_[i + 1]);
        bytes[i + 2] = TexChannelByte(rgba_[i + 0]);
        bytes[i + 3] = TexChannelByte(rgba_[i + 3]);
    }
    return bytes;
}

TexImage TexImage::HalfSize() const
{
    TexImage half(std::max(1u, width_ / 2), std::max(1u, height_ / 2));
    half.rgba_ = D3DXResampleRgba(rgba_, width_, height_, half.width_, half.height_, D3DXResampleKind::Smooth);
    return half;
}

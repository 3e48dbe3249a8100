#include "common/texgen/TexDdsWriter.h"

#include <algorithm>
#include <cstring>

namespace {

// Header flags: caps, height, width, pitch, pixel format, mip count.
constexpr std::uint32_t kFlagsBase = 0x1 | 0x2 | 0x4 | 0x8 | 0x1000;
constexpr std::uint32_t kFlagMipMapCount = 0x20000;
constexpr std::uint32_t kPfAlphaPixels = 0x1;
constexpr std::uint32_t kPfRgb = 0x40;
constexpr std::uint32_t kCapsComplex = 0x8;
constexpr std::uint32_t kCapsTexture = 0x1000;
constexpr std::uint32_t kCapsMipMap = 0x400000;
constexpr std::uint32_t kCaps2CubeAllFaces = 0x200 | 0xFC00;

void Put(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

} // namespace

std::vector<std::uint8_t> EncodeTexDds(const std::vector<TexMipChain>& faces)
{
    if (faces.empty() || faces[0].empty()) {
        return {};
    }
    const TexImage& top = faces[0][0];
    const auto levels = static_cast<std::uint32_t>(faces[0].size());
    const bool cube = faces.size() == 6;
    const bool mips = levels > 1;
    std::vector<std::uint8_t> file(128, 0);
    std::memcpy(file.data(), "DDS ", 4);
    Put(file, 4, 124);
    Put(file, 8, kFlagsBase | (mips ? kFlagMipMapCount : 0));
    Put(file, 12, top.Height());
    Put(file, 16, top.Width());
    Put(file, 20, top.Width() * 4); // pitch of the top level
    Put(file, 28, mips ? levels : 0);
    Put(file, 76, 32); // pixel format size
    Put(file, 80, kPfRgb | kPfAlphaPixels);
    Put(file, 88, 32);
    Put(file, 92, 0x00FF0000u);
    Put(file, 96, 0x0000FF00u);
    Put(file, 100, 0x000000FFu);
    Put(file, 104, 0xFF000000u);
    Put(file, 108, kCapsTexture | (mips || cube ? kCapsComplex : 0) | (mips ? kCapsMipMap : 0));
    Put(file, 112, cube ? kCaps2CubeAllFaces : 0);
    for (const TexMipChain& chain : faces) {
        for (const TexImage& level : chain) {
            std::vector<std::uint8_t> texels = level.ToBgra8();
            file.insert(file.end(), texels.begin(), texels.end());
        }
    }
    return file;
}

TexMipChain MakeTexMipChain(const TexImage& top, unsigned levels)
{
    TexMipChain chain{top};
    while ((levels == 0 && (chain.back().Width() > 1 || chain.back().Height() > 1)) ||
           (levels != 0 && chain.size() < levels)) {
        chain.push_back(chain.back().HalfSize());
    }
    return chain;
}

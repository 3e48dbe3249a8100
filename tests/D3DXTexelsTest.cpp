#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "d3dx9/D3DXTexels.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct RoundTripCase {
    D3DFORMAT format;
    Bytes texels; // two texels
};

TEST(D3DXTexelsTest, UncompressedFormatsRoundTripExactly)
{
    const RoundTripCase cases[] = {
        {D3DFMT_A8R8G8B8, {1, 2, 3, 4, 250, 128, 0, 255}},
        {D3DFMT_X8R8G8B8, {9, 8, 7, 0xFF, 0, 0, 0, 0xFF}},
        {D3DFMT_L8, {0, 200}},
        // 1.0, -2.0, 0.5, 0 and 65504, 0, 0, 1.0 as half floats
        {D3DFMT_A16B16G16R16F, {0x00, 0x3C, 0x00, 0xC0, 0x00, 0x38, 0x00, 0x00,
                                0xFF, 0x7B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3C}},
    };
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.format);
        std::vector<float> rgba = D3DXTexelsToRgba(c.format, c.texels.data(), 2, 1);
        EXPECT_EQ(D3DXRgbaToTexels(c.format, rgba, 2, 1), c.texels);
    }
}

TEST(D3DXTexelsTest, ChannelsLandWhereTheFormatsPutThem)
{
    Bytes argb = {0x10, 0x20, 0x30, 0x40}; // B, G, R, A
    std::vector<float> rgba = D3DXTexelsToRgba(D3DFMT_A8R8G8B8, argb.data(), 1, 1);
    EXPECT_FLOAT_EQ(rgba[0], 0x30 / 255.0f);
    EXPECT_FLOAT_EQ(rgba[2], 0x10 / 255.0f);
    EXPECT_FLOAT_EQ(rgba[3], 0x40 / 255.0f);
    // X8R8G8B8 reads opaque whatever the fourth byte holds, and writes 0xFF there.
    EXPECT_FLOAT_EQ(D3DXTexelsToRgba(D3DFMT_X8R8G8B8, argb.data(), 1, 1)[3], 1.0f);
    EXPECT_EQ(D3DXRgbaToTexels(D3DFMT_X8R8G8B8, {0.0f, 0.0f, 0.0f, 0.0f}, 1, 1), (Bytes{0, 0, 0, 0xFF}));
    // L8 from colour weights green most; out-of-range values clamp.
    EXPECT_EQ(D3DXRgbaToTexels(D3DFMT_L8, {0.0f, 1.0f, 0.0f, 1.0f, 2.0f, 2.0f, 2.0f, 1.0f}, 2, 1), (Bytes{182, 255}));
}

TEST(D3DXTexelsTest, Dxt3AndDxt5AlphaBlocksDecode)
{
    // DXT3: explicit 4-bit alpha 0..15 across the block, white colour block.
    Bytes dxt3 = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    std::vector<float> rgba = D3DXTexelsToRgba(D3DFMT_DXT3, dxt3.data(), 4, 4);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(rgba[i * 4 + 3], static_cast<float>(i) / 15.0f) << i;
        EXPECT_FLOAT_EQ(rgba[i * 4 + 0], 1.0f);
    }
    // DXT5: alpha 255 / 0 endpoints, texel 0 index 0, texel 1 index 1, texel 2 index 2 (6/7 of 255).
    Bytes dxt5 = {255, 0, 0x88, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    rgba = D3DXTexelsToRgba(D3DFMT_DXT5, dxt5.data(), 4, 4);
    EXPECT_FLOAT_EQ(rgba[0 * 4 + 3], 1.0f);
    EXPECT_FLOAT_EQ(rgba[1 * 4 + 3], 0.0f);
    EXPECT_FLOAT_EQ(rgba[2 * 4 + 3], 6.0f / 7.0f);
}

TEST(D3DXTexelsTest, BlockEncodingKeepsSolidColoursAndPartialBlocks)
{
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5}) {
        SCOPED_TRACE(format);
        // 5x3: a partial block on each axis; solid blue with alpha 1.
        std::vector<float> blue;
        for (int i = 0; i < 15; ++i) {
            blue.insert(blue.end(), {0.0f, 0.0f, 1.0f, 1.0f});
        }
        Bytes blocks = D3DXRgbaToTexels(format, blue, 5, 3);
        EXPECT_EQ(blocks.size(), format == D3DFMT_DXT1 ? 16u : 32u);
        EXPECT_EQ(D3DXTexelsToRgba(format, blocks.data(), 5, 3), blue);
    }
}

TEST(D3DXTexelsTest, SupportedFormats)
{
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_L8, D3DFMT_A16B16G16R16F, D3DFMT_DXT1,
                             D3DFMT_DXT3, D3DFMT_DXT5}) {
        EXPECT_TRUE(IsD3DXTexelFormat(format)) << format;
    }
    for (D3DFORMAT format : {D3DFMT_UNKNOWN, D3DFMT_R5G6B5, D3DFMT_D24S8, D3DFMT_R16F, D3DFMT_INDEX16}) {
        EXPECT_FALSE(IsD3DXTexelFormat(format)) << format;
    }
}

} // namespace

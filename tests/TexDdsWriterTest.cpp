#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/texgen/TexDdsWriter.h"
#include "d3dx9/DdsImageReader.h"

namespace {

std::uint32_t Field(const std::vector<std::uint8_t>& file, std::size_t at)
{
    return file[at] | (file[at + 1] << 8) | (file[at + 2] << 16) | (static_cast<std::uint32_t>(file[at + 3]) << 24);
}

TexImage Filled(unsigned width, unsigned height, float r, float g, float b, float a)
{
    TexImage image(width, height);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            image.Set(x, y, r, g, b, a);
        }
    }
    return image;
}

TEST(TexDdsWriterTest, HeaderDescribesAnA8R8G8B8TextureWithItsLevels)
{
    TexImage image = Filled(8, 2, 1.0f, 0.5f, 0.0f, 0.25f);
    image.Set(1, 0, 0, 0, 1, 1);
    TexMipChain chain = MakeTexMipChain(image, 0);
    ASSERT_EQ(chain.size(), 4u); // 8x2, 4x1, 2x1, 1x1
    EXPECT_EQ(chain[1].Width(), 4u);
    EXPECT_EQ(chain[1].Height(), 1u);
    EXPECT_EQ(chain[3].Width(), 1u);

    std::vector<std::uint8_t> file = EncodeTexDds({chain});
    ASSERT_EQ(file.size(), 128u + 4u * (16 + 4 + 2 + 1));
    EXPECT_EQ(Field(file, 0), 0x20534444u); // "DDS "
    EXPECT_EQ(Field(file, 4), 124u);
    EXPECT_EQ(Field(file, 8), 0x2100Fu);    // caps, height, width, pitch, pixel format, mip count
    EXPECT_EQ(Field(file, 12), 2u);         // height
    EXPECT_EQ(Field(file, 16), 8u);         // width
    EXPECT_EQ(Field(file, 20), 32u);        // pitch
    EXPECT_EQ(Field(file, 28), 4u);         // levels
    EXPECT_EQ(Field(file, 76), 32u);
    EXPECT_EQ(Field(file, 80), 0x41u);      // RGB with alpha
    EXPECT_EQ(Field(file, 88), 32u);
    EXPECT_EQ(Field(file, 92), 0xFF0000u);
    EXPECT_EQ(Field(file, 104), 0xFF000000u);
    EXPECT_EQ(Field(file, 108), 0x401008u); // texture, complex, mip map
    EXPECT_EQ(Field(file, 112), 0u);
    // Texels in memory order B, G, R, A from the top-left.
    EXPECT_EQ(Field(file, 128), 0x40FF8000u);
    EXPECT_EQ(Field(file, 132), 0xFF0000FFu);

    D3DXImage read;
    ASSERT_EQ(ReadDdsImage(file.data(), static_cast<UINT>(file.size()), read), D3D_OK);
    EXPECT_EQ(read.info.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(read.info.MipLevels, 4u);
    EXPECT_EQ(read.info.ResourceType, D3DRTYPE_TEXTURE);
}

TEST(TexDdsWriterTest, SixFacesMakeACubeMapInTheirOrder)
{
    std::vector<TexMipChain> faces;
    for (int face = 0; face < 6; ++face) {
        faces.push_back({Filled(4, 4, face / 5.0f, 0, 0, 1)});
    }
    std::vector<std::uint8_t> file = EncodeTexDds(faces);
    EXPECT_EQ(Field(file, 8), 0x100Fu);     // no mip count
    EXPECT_EQ(Field(file, 108), 0x1008u);   // texture, complex
    EXPECT_EQ(Field(file, 112), 0xFE00u);   // cube map with all six faces
    D3DXImage read;
    ASSERT_EQ(ReadDdsImage(file.data(), static_cast<UINT>(file.size()), read), D3D_OK);
    ASSERT_EQ(read.faces, 6u);
    EXPECT_EQ(read.info.MipLevels, 1u);
    for (UINT face = 0; face < 6; ++face) {
        EXPECT_EQ(read.Surface(face, 0).bytes[2], static_cast<std::uint8_t>(face * 51)) << face; // red
    }
}

TEST(TexDdsWriterTest, MipLevelsAverageTheLevelAbove)
{
    TexImage checker(2, 2);
    checker.Set(0, 0, 1, 1, 1, 1);
    checker.Set(1, 1, 1, 1, 1, 1);
    TexMipChain chain = MakeTexMipChain(checker, 0);
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_FLOAT_EQ(chain[1].At(0, 0)[0], 0.5f);
    EXPECT_FLOAT_EQ(chain[1].At(0, 0)[3], 0.5f);
    EXPECT_EQ(MakeTexMipChain(checker, 1).size(), 1u);
    EXPECT_TRUE(EncodeTexDds({}).empty());
}

} // namespace

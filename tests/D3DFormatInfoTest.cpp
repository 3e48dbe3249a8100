#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "d3d9/D3DFormatInfo.h"

namespace {

struct FormatCase {
    D3DFORMAT format;
    UINT bytes;
    bool compressed, depth, stencil, floatingPoint, texture, renderTarget, depthBuffer, indexBuffer;
};

// Memory sizes and uses as Direct3D 9 defines them for the formats the adapter offers.
const FormatCase kFormats[] = {
    {D3DFMT_A8R8G8B8, 4, false, false, false, false, true, true, false, false},
    {D3DFMT_X8R8G8B8, 4, false, false, false, false, true, true, false, false},
    {D3DFMT_R5G6B5, 2, false, false, false, false, true, false, false, false},
    {D3DFMT_X1R5G5B5, 2, false, false, false, false, true, false, false, false},
    {D3DFMT_A1R5G5B5, 2, false, false, false, false, true, false, false, false},
    {D3DFMT_A4R4G4B4, 2, false, false, false, false, true, false, false, false},
    {D3DFMT_L8, 1, false, false, false, false, true, false, false, false},
    {D3DFMT_R16F, 2, false, false, false, true, true, true, false, false},
    {D3DFMT_G16R16F, 4, false, false, false, true, true, true, false, false},
    {D3DFMT_A16B16G16R16F, 8, false, false, false, true, true, true, false, false},
    {D3DFMT_DXT1, 8, true, false, false, false, true, false, false, false},
    {D3DFMT_DXT3, 16, true, false, false, false, true, false, false, false},
    {D3DFMT_DXT5, 16, true, false, false, false, true, false, false, false},
    {D3DFMT_D24S8, 4, false, true, true, false, false, false, true, false},
    {D3DFMT_D16, 2, false, true, false, false, false, false, true, false},
    {D3DFMT_INDEX16, 2, false, false, false, false, false, false, false, true},
    {D3DFMT_INDEX32, 4, false, false, false, false, false, false, false, true},
};

TEST(D3DFormatInfoTest, SupportedFormatsDescribeSizeKindAndUses)
{
    for (const FormatCase& c : kFormats) {
        const D3DFormatInfo* info = FindD3DFormatInfo(c.format);
        ASSERT_NE(info, nullptr) << c.format;
        SCOPED_TRACE(info->name);
        EXPECT_EQ(info->format, c.format);
        EXPECT_EQ(info->bytes, c.bytes);
        EXPECT_EQ(info->compressed, c.compressed);
        EXPECT_EQ(info->depth, c.depth);
        EXPECT_EQ(info->stencil, c.stencil);
        EXPECT_EQ(info->floatingPoint, c.floatingPoint);
        EXPECT_EQ(info->texture, c.texture);
        EXPECT_EQ(info->renderTarget, c.renderTarget);
        EXPECT_EQ(info->depthBuffer, c.depthBuffer);
        EXPECT_EQ(info->indexBuffer, c.indexBuffer);
    }
}

TEST(D3DFormatInfoTest, FormatsTheRuntimeDoesNotKnowHaveNoEntryAndNoSize)
{
    for (D3DFORMAT format : {D3DFMT_UNKNOWN, static_cast<D3DFORMAT>(0x1234), static_cast<D3DFORMAT>(-3),
                             static_cast<D3DFORMAT>(MAKEFOURCC('A', 'T', 'I', '2'))}) {
        EXPECT_EQ(FindD3DFormatInfo(format), nullptr) << format;
        EXPECT_EQ(D3DFormatPitch(format, 16), 0u) << format;
        EXPECT_EQ(D3DFormatLevelSize(format, 16, 16), 0u) << format;
    }
}

// Formats the runtime knows but the adapter offers for nothing: they are known (named, sized) and
// used by nothing but the scratch pool; the buffer formats have no texel rows at all.
TEST(D3DFormatInfoTest, FormatsOutsideTheAdapterAreKnownButOfferedForNothing)
{
    for (D3DFORMAT format : {D3DFMT_A32B32G32R32F, D3DFMT_V8U8, D3DFMT_YUY2, D3DFMT_DXT2, D3DFMT_D32,
                             D3DFMT_D16_LOCKABLE, D3DFMT_A2R10G10B10}) {
        const D3DFormatInfo* info = FindD3DFormatInfo(format);
        ASSERT_NE(info, nullptr) << format;
        SCOPED_TRACE(info->name);
        EXPECT_FALSE(info->texture || info->renderTarget || info->depthBuffer || info->indexBuffer);
        EXPECT_GT(D3DFormatLevelSize(format, 16, 16), 0u);
    }
    for (D3DFORMAT format : {D3DFMT_VERTEXDATA, D3DFMT_MULTI2_ARGB8, D3DFMT_INDEX16}) {
        const D3DFormatInfo* info = FindD3DFormatInfo(format);
        ASSERT_NE(info, nullptr) << format;
        SCOPED_TRACE(info->name);
        EXPECT_FALSE(info->lockable);
        EXPECT_EQ(D3DFormatPitch(format, 16), 0u);
        EXPECT_EQ(D3DFormatRowCount(format, 16), 0u);
        EXPECT_EQ(D3DFormatLevelSize(format, 16, 16), 0u);
    }
}

// Every format with texels locks but the depth formats without _LOCKABLE in their names; the display
// formats are the four of display modes.
TEST(D3DFormatInfoTest, LockableAndDisplayFormats)
{
    int display = 0;
    for (const D3DFormatInfo* info = D3DFormatInfoBegin(); info != D3DFormatInfoEnd(); ++info) {
        SCOPED_TRACE(info->name);
        const bool texels = info->bytes != 0 && !info->indexBuffer;
        const bool lockableName = std::string(info->name).find("_LOCKABLE") != std::string::npos;
        EXPECT_EQ(info->lockable, texels && (!info->depth || lockableName));
        EXPECT_EQ(FindD3DFormatInfo(info->format), info) << "a format listed twice";
        display += info->display;
    }
    EXPECT_EQ(display, 4);
    for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A2R10G10B10})
        EXPECT_TRUE(FindD3DFormatInfo(format)->display) << format;
}

struct LevelCase {
    D3DFORMAT format;
    UINT width, height, depth;
    UINT pitch;
    UINT rows;
    std::uint64_t size;
};

const LevelCase kLevels[] = {
    {D3DFMT_A8R8G8B8, 13, 7, 1, 52, 7, 364},
    {D3DFMT_L8, 128, 128, 128, 128, 128, 128u * 128u * 128u},
    {D3DFMT_A16B16G16R16F, 480, 270, 1, 3840, 270, 3840u * 270u},
    {D3DFMT_R16F, 1, 1, 1, 2, 1, 2},
    // Block formats: rows of 4x4 blocks, a partial block counts whole, 1x1 is one block.
    {D3DFMT_DXT1, 1, 1, 1, 8, 1, 8},
    {D3DFMT_DXT1, 5, 9, 1, 16, 3, 48},
    {D3DFMT_DXT3, 256, 64, 1, 1024, 16, 16384},
    {D3DFMT_DXT5, 2, 2, 1, 16, 1, 16},
    {D3DFMT_D24S8, 2048, 2048, 1, 8192, 2048, 8192u * 2048u},
    {D3DFMT_R5G6B5, 13, 3, 2, 26, 3, 156},
    {D3DFMT_A32B32G32R32F, 3, 2, 1, 48, 2, 96},
    // Packed YUV: two texels in four bytes, an odd width rounds up to a whole pair.
    {D3DFMT_YUY2, 5, 3, 1, 12, 3, 36},
    {D3DFMT_UYVY, 1, 1, 1, 4, 1, 4},
};

TEST(D3DFormatInfoTest, LevelPitchRowsAndSize)
{
    for (const LevelCase& c : kLevels) {
        SCOPED_TRACE(FindD3DFormatInfo(c.format)->name);
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.depth);
        EXPECT_EQ(D3DFormatPitch(c.format, c.width), c.pitch);
        EXPECT_EQ(D3DFormatRowCount(c.format, c.height), c.rows);
        EXPECT_EQ(D3DFormatLevelSize(c.format, c.width, c.height, c.depth), c.size);
    }
}

// A locked rectangle of a block format covers whole blocks: its edges on block boundaries or on the
// level's own edge; texel offsets count blocks.
TEST(D3DFormatInfoTest, RectanglesOnBlocksAndTheirOffsets)
{
    const D3DFormatInfo& dxt = *FindD3DFormatInfo(D3DFMT_DXT1);
    const D3DFormatInfo& yuv = *FindD3DFormatInfo(D3DFMT_YUY2);
    const D3DFormatInfo& plain = *FindD3DFormatInfo(D3DFMT_R5G6B5);
    EXPECT_TRUE(D3DFormatRectOnBlocks(dxt, 4, 8, 12, 16, 16, 16));
    EXPECT_TRUE(D3DFormatRectOnBlocks(dxt, 8, 0, 10, 6, 10, 6)); // to the edge of a 10 x 6 level
    EXPECT_FALSE(D3DFormatRectOnBlocks(dxt, 2, 0, 8, 8, 16, 16));
    EXPECT_FALSE(D3DFormatRectOnBlocks(dxt, 0, 0, 8, 6, 16, 16));
    EXPECT_TRUE(D3DFormatRectOnBlocks(yuv, 2, 1, 6, 3, 8, 8)); // any row; pairs of columns
    EXPECT_FALSE(D3DFormatRectOnBlocks(yuv, 1, 0, 4, 2, 8, 8));
    EXPECT_TRUE(D3DFormatRectOnBlocks(yuv, 6, 0, 7, 2, 7, 8));
    EXPECT_TRUE(D3DFormatRectOnBlocks(plain, 3, 5, 7, 6, 8, 8));

    EXPECT_EQ(D3DFormatTexelOffset(dxt, 32, 8, 4), 32u + 16u);
    EXPECT_EQ(D3DFormatTexelOffset(yuv, 16, 6, 2), 32u + 12u);
    EXPECT_EQ(D3DFormatTexelOffset(plain, 26, 3, 2), 52u + 6u);
}

TEST(D3DFormatInfoTest, DegenerateAndHugeLevels)
{
    EXPECT_EQ(D3DFormatPitch(D3DFMT_A8R8G8B8, 0), 0u);
    EXPECT_EQ(D3DFormatLevelSize(D3DFMT_A8R8G8B8, 4, 0), 0u);
    EXPECT_EQ(D3DFormatLevelSize(D3DFMT_L8, 4, 4, 0), 0u);
    // Index formats have no texel rows.
    EXPECT_EQ(D3DFormatPitch(D3DFMT_INDEX16, 4), 0u);
    EXPECT_EQ(D3DFormatLevelSize(D3DFMT_INDEX32, 4, 4), 0u);
    // A pitch that does not fit D3DLOCKED_RECT::Pitch is refused rather than wrapped.
    EXPECT_EQ(D3DFormatPitch(D3DFMT_A16B16G16R16F, 0x10000000u), 0u);
    EXPECT_EQ(D3DFormatPitch(D3DFMT_A8R8G8B8, 0x1FFFFFFFu), 0x7FFFFFFCu);
    // A level too large for 64 bits saturates instead of wrapping to a small size.
    EXPECT_EQ(D3DFormatLevelSize(D3DFMT_A16B16G16R16F, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), UINT64_MAX);
    EXPECT_EQ(D3DFormatLevelSize(D3DFMT_A8R8G8B8, 0xFFFFFFFFu, 0x0FFFFFFFu), 0x3FFFFFFFCull * 0x0FFFFFFFull);
}

TEST(D3DFormatInfoTest, MipExtentsAndChainLength)
{
    EXPECT_EQ(D3DMipExtent(256, 0), 256u);
    EXPECT_EQ(D3DMipExtent(256, 3), 32u);
    EXPECT_EQ(D3DMipExtent(300, 2), 75u);
    EXPECT_EQ(D3DMipExtent(5, 3), 1u);
    EXPECT_EQ(D3DMipExtent(0x80000000u, 40), 1u);

    EXPECT_EQ(D3DFullMipLevelCount(1, 1), 1u);
    EXPECT_EQ(D3DFullMipLevelCount(256, 256), 9u);
    EXPECT_EQ(D3DFullMipLevelCount(256, 1), 9u);
    EXPECT_EQ(D3DFullMipLevelCount(300, 17), 9u); // 300 150 75 37 18 9 4 2 1
    EXPECT_EQ(D3DFullMipLevelCount(4, 4, 128), 8u);
    EXPECT_EQ(D3DFullMipLevelCount(0xFFFFFFFFu, 1), 32u);
    EXPECT_EQ(D3DFullMipLevelCount(0, 16), 0u);
}

} // namespace

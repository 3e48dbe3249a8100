#include <gtest/gtest.h>

#include "TempDir.h"
#include "image/PngFile.h"

namespace {

TEST(PngFileTest, RoundTripKeepsRowsFromTheTopAndChannelOrder)
{
    TempDir dir;
    // 2 x 2 with a padded pitch: top row blue, red; bottom row green, half-transparent white
    const std::uint8_t bgra[] = {255, 0, 0, 255, 0, 0, 255, 255, 9, 9, 9, 9,
                                 0, 255, 0, 255, 255, 255, 255, 128, 9, 9, 9, 9};
    const std::string path = (dir.path() / "p.png").string();
    ASSERT_TRUE(WritePngBGRA(path, bgra, 2, 2, 12, false));
    std::vector<std::uint8_t> back;
    unsigned w = 0, h = 0;
    ASSERT_TRUE(ReadPngBGRA(path, back, w, h));
    EXPECT_EQ(w, 2u);
    EXPECT_EQ(h, 2u);
    EXPECT_EQ(back, (std::vector<std::uint8_t>{255, 0, 0, 255, 0, 0, 255, 255, 0, 255, 0, 255, 255, 255, 255, 128}));

    ASSERT_TRUE(WritePngBGRA(path, bgra, 2, 2, 12, true));
    ASSERT_TRUE(ReadPngBGRA(path, back, w, h));
    EXPECT_EQ(back[15], 255); // opaque forces alpha
}

TEST(PngFileTest, RefusesWhatCannotBeWrittenOrRead)
{
    TempDir dir;
    const std::uint8_t pixel[4] = {1, 2, 3, 4};
    EXPECT_FALSE(WritePngBGRA((dir.path() / "p.png").string(), pixel, 2, 1, 4)); // pitch too small
    EXPECT_FALSE(WritePngBGRA((dir.path() / "no" / "p.png").string(), pixel, 1, 1, 4));
    std::vector<std::uint8_t> out;
    unsigned w, h;
    EXPECT_FALSE(ReadPngBGRA((dir.path() / "missing.png").string(), out, w, h));
}

} // namespace

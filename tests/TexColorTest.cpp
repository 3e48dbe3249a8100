#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/texgen/TexColor.h"

namespace {

struct ColorCase {
    const char* text;
    bool valid;
    float r, g, b, a;
};

TEST(TexColorTest, HexAndNamedColoursParseAndEverythingElseIsRefused)
{
    const ColorCase cases[] = {
        {"ff8000", true, 1.0f, 128 / 255.0f, 0.0f, 1.0f},
        {"#FF8000", true, 1.0f, 128 / 255.0f, 0.0f, 1.0f},
        {"#ff800040", true, 1.0f, 128 / 255.0f, 0.0f, 64 / 255.0f},
        {"transparent", true, 0, 0, 0, 0},
        {"grey", true, 0.5f, 0.5f, 0.5f, 1},
        {"white", true, 1, 1, 1, 1},
        {"", false, 0, 0, 0, 0},
        {"#", false, 0, 0, 0, 0},
        {"ff80", false, 0, 0, 0, 0},
        {"ff80001", false, 0, 0, 0, 0},
        {"gg8000", false, 0, 0, 0, 0},
        {"White", false, 0, 0, 0, 0},
        {"ff 800", false, 0, 0, 0, 0},
    };
    for (const ColorCase& c : cases) {
        SCOPED_TRACE(c.text);
        TexColor color;
        ASSERT_EQ(ParseTexColor(c.text, color), c.valid);
        if (c.valid) {
            EXPECT_FLOAT_EQ(color.r, c.r);
            EXPECT_FLOAT_EQ(color.g, c.g);
            EXPECT_FLOAT_EQ(color.b, c.b);
            EXPECT_FLOAT_EQ(color.a, c.a);
        }
    }
}

TEST(TexColorTest, ListsNeedEveryEntryToBeAColour)
{
    std::vector<TexColor> colors;
    ASSERT_TRUE(ParseTexColorList("red,#00ff0080,blue", colors));
    ASSERT_EQ(colors.size(), 3u);
    EXPECT_FLOAT_EQ(colors[1].g, 1.0f);
    EXPECT_FLOAT_EQ(colors[1].a, 128 / 255.0f);
    for (const char* bad : {"", ",", "red,", ",red", "red,,blue", "red;blue"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseTexColorList(bad, colors));
        EXPECT_TRUE(colors.empty());
    }
}

TEST(TexColorTest, MixRunsFromOneColourToTheOther)
{
    TexColor from{0, 0.5f, 1, 0};
    TexColor to{1, 0.5f, 0, 1};
    TexColor half = from.Mix(to, 0.5f);
    EXPECT_FLOAT_EQ(half.r, 0.5f);
    EXPECT_FLOAT_EQ(half.g, 0.5f);
    EXPECT_FLOAT_EQ(half.b, 0.5f);
    EXPECT_FLOAT_EQ(half.a, 0.5f);
    EXPECT_FLOAT_EQ(from.Mix(to, 1.0f).b, 0.0f);
}

} // namespace

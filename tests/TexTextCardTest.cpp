#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/texgen/TexGenError.h"
#include "common/texgen/TexTextCard.h"

namespace {

struct Utf8Case {
    const char* name;
    std::string text;
    std::vector<char32_t> codePoints; // empty: refused
};

TEST(TexTextCardTest, Utf8DecodesOrIsRefused)
{
    const Utf8Case cases[] = {
        {"ASCII", "Ab 1", {U'A', U'b', U' ', U'1'}},
        {"two bytes", "\xC3\x85", {0xC5}},
        {"three bytes", "\xE2\x82\xAC", {0x20AC}},
        {"four bytes", "\xF0\x9F\x98\x80", {0x1F600}},
        {"lone continuation", "\x80", {}},
        {"cut sequence", "\xE2\x82", {}},
        {"overlong slash", "\xC0\xAF", {}},
        {"overlong three bytes", "\xE0\x80\xAF", {}},
        {"surrogate", "\xED\xA0\x80", {}},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", {}},
        {"five-byte lead", "\xF8\x88\x80\x80\x80", {}},
        {"bad continuation", "\xC3\x41", {}},
    };
    for (const Utf8Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.codePoints.empty()) {
            EXPECT_THROW(DecodeTexUtf8(c.text), TexGenError);
        } else {
            EXPECT_EQ(DecodeTexUtf8(c.text), c.codePoints);
        }
    }
}

// Texels at least half covered by the letters.
int InkCount(const TexImage& card)
{
    int count = 0;
    for (unsigned y = 0; y < card.Height(); ++y) {
        for (unsigned x = 0; x < card.Width(); ++x) {
            count += card.At(x, y)[3] > 0.5f ? 1 : 0;
        }
    }
    return count;
}

TEST(TexTextCardTest, LettersAreDrawnInsideTheCardAndBackgroundsFillIt)
{
    TexTextCardParams params;
    params.lines = {"\xC3\x85rvala"}; // a letter beyond ASCII
    TexImage card = MakeTexTextCard(128, 32, params);
    EXPECT_GT(InkCount(card), 50);
    // Transparent around the text, the letters white and opaque.
    for (unsigned x = 0; x < 128; ++x) {
        EXPECT_EQ(card.At(x, 0)[3], 0.0f) << x;
        EXPECT_EQ(card.At(x, 31)[3], 0.0f) << x;
    }

    params.lines = {""};
    params.background = {0.25f, 0.5f, 0.75f, 1.0f};
    TexImage empty = MakeTexTextCard(16, 16, params);
    EXPECT_FLOAT_EQ(empty.At(7, 7)[1], 0.5f);
    EXPECT_FLOAT_EQ(empty.At(7, 7)[3], 1.0f);
}

TEST(TexTextCardTest, TextThatCannotBeSetIsRefused)
{
    TexTextCardParams tooLarge;
    tooLarge.lines = {"Orvala"};
    tooLarge.pixelSize = 64;
    EXPECT_THROW(MakeTexTextCard(128, 128, tooLarge), TexGenError);

    TexTextCardParams tooLong;
    tooLong.lines = {"a line far too long to be set on such a narrow card at any size"};
    EXPECT_THROW(MakeTexTextCard(16, 64, tooLong), TexGenError);

    // The shadow needs room too: a size that fits alone does not fit with a wide shadow.
    TexTextCardParams fits;
    fits.lines = {"I"};
    fits.pixelSize = 24;
    EXPECT_NO_THROW(MakeTexTextCard(32, 32, fits));
    fits.effect = TexTextEffect::Shadow;
    fits.effectRadius = 12;
    EXPECT_THROW(MakeTexTextCard(32, 32, fits), TexGenError);

    TexTextCardParams privateUse;
    privateUse.lines = {"\xEE\x80\x80"}; // U+E000 has no glyph in DejaVu Sans
    try {
        MakeTexTextCard(64, 64, privateUse);
        ADD_FAILURE() << "accepted";
    } catch (const TexGenError& e) {
        EXPECT_NE(std::string(e.what()).find("U+E000"), std::string::npos) << e.what();
    }

    TexTextCardParams notAFont;
    notAFont.lines = {"x"};
    notAFont.fontPath = "/dev/null";
    EXPECT_THROW(MakeTexTextCard(64, 64, notAFont), TexGenError);
}

TEST(TexTextCardTest, GlowSurroundsTheLettersInItsColour)
{
    TexTextCardParams params;
    params.lines = {"I"};
    params.pixelSize = 24;
    params.text = {1, 1, 1, 1};
    params.effect = TexTextEffect::Glow;
    params.effectRadius = 4;
    params.effectColor = {1, 0, 0, 1};
    TexImage card = MakeTexTextCard(48, 48, params);
    // Find the stem's left edge on the middle row, then look just outside it.
    unsigned row = 24, left = 0;
    while (left < 48 && card.At(left, row)[1] < 0.9f) {
        ++left;
    }
    ASSERT_LT(left, 40u);
    const float* outside = card.At(left - 2, row);
    EXPECT_GT(outside[3], 0.2f);     // glowing
    EXPECT_FLOAT_EQ(outside[0], 1.0f); // red
    EXPECT_LT(outside[1], 0.1f);
    EXPECT_EQ(card.At(0, 0)[3], 0.0f);
}

} // namespace

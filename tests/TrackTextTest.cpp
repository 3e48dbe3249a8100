#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/TrackText.h"

namespace {

using Key = sync::Track::KeyFrame;

std::uint32_t Bits(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float FromBits(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void ExpectSameKeys(const TrackKeys& actual, const TrackKeys& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (const auto& [row, key] : expected) {
        ASSERT_EQ(actual.count(row), 1u) << "row " << row;
        EXPECT_EQ(Bits(actual.at(row).value), Bits(key.value)) << "row " << row;
        EXPECT_EQ(actual.at(row).interpolation, key.interpolation) << "row " << row;
    }
}

TEST(TrackTextTest, ReadsKeysCommentsAndBlankLines)
{
    const std::string text = "# fade in\n"
                             "\n"
                             "10 1 Step   # held\r\n"
                             "0\t0.25\tLINEAR\n"
                             "   \n"
                             "4294967295 -2.5e3 smooth\n"
                             "20 inf ramp\n"
                             "30 -0 -1\n"
                             "40 1e-45 +127\n"
                             "50 0x1p-2 -128"; // no line feed at the end
    ExpectSameKeys(ParseTrackText(text), {{0, {0.25f, Key::Linear}},
                                          {10, {1.0f, Key::Step}},
                                          {20, {FromBits(0x7f800000u), Key::Ramp}},
                                          {30, {-0.0f, -1}},
                                          {40, {FromBits(1), 127}},
                                          {50, {0.25f, -128}},
                                          {4294967295u, {-2500.0f, Key::Smooth}}});
}

TEST(TrackTextTest, LaterLineOfARowWins)
{
    ExpectSameKeys(ParseTrackText("5 1 linear\n6 2 step\n5 3 ramp\n"), {{5, {3.0f, Key::Ramp}}, {6, {2.0f, 0}}});
}

TEST(TrackTextTest, BadLinesNameTheirLine)
{
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"1 2\n", "line 1: expected \"row value interpolation\", found 2 fields"},
        {"# ok\n1 2 step 4\n", "line 2: expected \"row value interpolation\", found 4 fields"},
        {"\n\n\nx\n", "line 4: expected \"row value interpolation\", found 1 field"},
        {"-1 2 step\n", "line 1: row \"-1\" is not an unsigned 32-bit integer"},
        {"4294967296 2 step\n", "line 1: row \"4294967296\" is not an unsigned 32-bit integer"},
        {"99999999999999999999999 2 step\n",
         "line 1: row \"99999999999999999999999\" is not an unsigned 32-bit integer"},
        {"1.5 2 step\n", "line 1: row \"1.5\" is not an unsigned 32-bit integer"},
        {"1 two step\n", "line 1: value \"two\" is not a number"},
        {"1 2.5x step\n", "line 1: value \"2.5x\" is not a number"},
        {"1 1e39 step\n", "line 1: value \"1e39\" is out of the range of a 32-bit float"},
        {"1 nan(0x7f800000) step\n", "line 1: value \"nan(0x7f800000)\" does not hold the bits of a NaN"},
        {"1 nan(0x7fc000001) step\n", "line 1: value \"nan(0x7fc000001)\" is not a number"},
        {"1 nan(7fc00001) step\n", "line 1: value \"nan(7fc00001)\" is not a number"},
        {"1 2 cubic\n", "line 1: interpolation \"cubic\" is not step, linear, smooth, ramp or a code from -128 to 127"},
        {"1 2 128\n", "line 1: interpolation \"128\" is not step, linear, smooth, ramp or a code from -128 to 127"},
        {"1 2 -129\n", "line 1: interpolation \"-129\" is not step, linear, smooth, ramp or a code from -128 to 127"},
        {"1 2 1.0\n", "line 1: interpolation \"1.0\" is not step, linear, smooth, ramp or a code from -128 to 127"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParseTrackText(c.text);
            ADD_FAILURE() << "no exception";
        } catch (const TrackTextError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

TEST(TrackTextTest, FormatReadsBackToTheSameBits)
{
    const TrackKeys keys = {
        {0, {0.1f, Key::Step}},
        {1, {1.0f / 3.0f, Key::Linear}},
        {2, {-0.0f, Key::Smooth}},
        {3, {FromBits(1), Key::Ramp}},             // smallest subnormal
        {4, {FromBits(0x7f7fffffu), 7}},           // largest float
        {5, {FromBits(0xff800000u), -1}},          // -inf
        {6, {FromBits(0x7fc00000u), -128}},        // quiet NaN
        {7, {FromBits(0xffa00001u), 127}},         // negative signalling NaN with a payload
        {4294967295u, {16777217.0f, Key::Linear}}, // rounds to 16777216 when read as a float
    };
    const std::string text = FormatTrackText(keys);
    ExpectSameKeys(ParseTrackText(text), keys);
    EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1), "0 0.100000001 step\n1 0.333333343 linear\n");
    EXPECT_NE(text.find("\n6 nan(0x7fc00000) -128\n"), std::string::npos) << text;
}

TEST(TrackTextTest, TrackFileLayout)
{
    const TrackKeys keys = {{258, {1.0f, Key::Linear}}, {1, {-2.0f, -1}}};
    // count 2; row 1, -2.0f (0xc0000000), code 0xff; row 258, 1.0f (0x3f800000), code 1
    const std::vector<unsigned char> expected = {2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0xc0, 0xff,
                                                 2, 1, 0, 0, 0, 0, 0x80, 0x3f, 1};
    EXPECT_EQ(BuildTrackFile(keys), expected);
    const TrackFileContents read = ReadTrackFile(expected);
    EXPECT_TRUE(read.hasCount);
    EXPECT_EQ(read.declaredCount, 2u);
    EXPECT_EQ(read.wholeRecords, 2u);
    ExpectSameKeys(read.keys, keys);
}

TEST(TrackTextTest, ShortTrackFilesGiveTheirWholeRecords)
{
    const std::vector<unsigned char> full = BuildTrackFile({{1, {1.0f, 0}}, {2, {2.0f, 1}}, {3, {3.0f, 2}}});
    struct Case {
        std::size_t length;
        bool hasCount;
        std::uint32_t records;
    };
    const Case cases[] = {{0, false, 0}, {3, false, 0}, {4, true, 0}, {12, true, 0}, {13, true, 1}, {30, true, 2},
                          {31, true, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const TrackFileContents read = ReadTrackFile({full.begin(), full.begin() + static_cast<long>(c.length)});
        EXPECT_EQ(read.hasCount, c.hasCount);
        EXPECT_EQ(read.declaredCount, c.hasCount ? 3u : 0u);
        EXPECT_EQ(read.wholeRecords, c.records);
        EXPECT_EQ(read.keys.size(), c.records);
    }
}

TEST(TrackTextTest, CodesOutsideASignedByteCannotBeWritten)
{
    EXPECT_THROW(BuildTrackFile({{1, {1.0f, 128}}}), std::invalid_argument);
    EXPECT_THROW(BuildTrackFile({{1, {1.0f, -129}}}), std::invalid_argument);
}

} // namespace

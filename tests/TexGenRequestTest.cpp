#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/texgen/TexGenError.h"
#include "common/texgen/TexGenRequest.h"

namespace {

using Args = std::vector<std::string>;

TEST(TexGenRequestTest, OptionsFillTheRequestOfTheirKind)
{
    TexGenRequest noise = ParseTexGenRequest({"noise", "--size", "128", "64", "--scale", "8", "--tile", "--type",
                                              "value", "--octaves", "3", "--gain", "0.25", "--seed", "42", "--colors",
                                              "black,#ff000080", "out.PNG"});
    EXPECT_EQ(noise.kind, TexKind::Noise);
    EXPECT_EQ(noise.fileType, TexFileType::Png);
    EXPECT_EQ(noise.output, "out.PNG");
    EXPECT_EQ(noise.width, 128u);
    EXPECT_EQ(noise.height, 64u);
    EXPECT_EQ(noise.noise.cells, 8.0);
    EXPECT_TRUE(noise.noise.tileable);
    EXPECT_EQ(noise.noise.fractal.type, TexNoiseType::Value);
    EXPECT_EQ(noise.noise.fractal.octaves, 3u);
    EXPECT_FLOAT_EQ(noise.noise.fractal.gain, 0.25f);
    EXPECT_EQ(noise.noise.seed, 42u);
    EXPECT_FLOAT_EQ(noise.noise.high.a, 128.0f / 255.0f);

    TexGenRequest text = ParseTexGenRequest({"text", "--text", "ORVALA", "--text", "", "--text", "2009", "--glow",
                                             "5", "--colors", "yellow", "card.dds"});
    EXPECT_EQ(text.fileType, TexFileType::Dds);
    EXPECT_EQ(text.width, 512u); // text cards default to a wide strip
    EXPECT_EQ(text.height, 128u);
    EXPECT_EQ(text.text.lines, (std::vector<std::string>{"ORVALA", "", "2009"}));
    EXPECT_EQ(text.text.effect, TexTextEffect::Glow);
    EXPECT_EQ(text.text.effectRadius, 5u);
    EXPECT_FLOAT_EQ(text.text.effectColor.g, 1.0f); // the glow takes the text colour
    EXPECT_FLOAT_EQ(text.text.effectColor.b, 0.0f);

    TexGenRequest stops = ParseTexGenRequest({"gradient", "--stops", "0:white,0.25:red,1:00000000", "g.png"});
    ASSERT_EQ(stops.gradient.stops.size(), 3u);
    EXPECT_FLOAT_EQ(stops.gradient.stops[1].position, 0.25f);
    EXPECT_FLOAT_EQ(stops.gradient.stops[2].color.a, 0.0f);

    TexGenRequest colours = ParseTexGenRequest({"gradient", "--colors", "red,green,blue", "g.png"});
    ASSERT_EQ(colours.gradient.stops.size(), 3u);
    EXPECT_FLOAT_EQ(colours.gradient.stops[1].position, 0.5f);

    TexGenRequest odd = ParseTexGenRequest({"grid", "--npot", "--size", "30", "20", "--cell", "10", "t.png"});
    EXPECT_EQ(odd.width, 30u);
    EXPECT_EQ(odd.grid.line, 1u);

    TexGenRequest cube = ParseTexGenRequest({"cube", "--type", "grid", "--step", "30", "--size", "64", "64", "--mips",
                                             "sky.dds"});
    EXPECT_EQ(cube.cube.environment, TexCubeEnvironment::Grid);
    EXPECT_FLOAT_EQ(cube.cube.stepDegrees, 30.0f);
    EXPECT_TRUE(cube.mips);
}

struct BadCase {
    Args args;
    const char* message;
};

TEST(TexGenRequestTest, BadCommandLinesNameTheirFault)
{
    const BadCase cases[] = {
        {{}, "needs a kind"},
        {{"noise"}, "needs an output file"},
        {{"noise", "a.png", "b.png"}, "one output file"},
        {{"noise", "out.jpg"}, "must end in .png or .dds"},
        {{"noise", "png"}, "must end in .png or .dds"},
        {{"marble", "m.png"}, "unknown texture kind \"marble\""},
        {{"noise", "--wobble", "n.png"}, "unknown option \"--wobble\""},
        {{"noise", "--size", "64", "n.png"}, "--size takes a whole number from 1 to 4096, not \"n.png\""},
        {{"noise", "n.png", "--size"}, "--size needs 2 values"},
        {{"noise", "--size", "0", "64", "n.png"}, "--size takes a whole number from 1 to 4096"},
        {{"noise", "--size", "8192", "64", "n.png"}, "--size takes a whole number from 1 to 4096"},
        {{"noise", "--size", "-4", "64", "n.png"}, "--size takes a whole number"},
        {{"noise", "--size", "96", "64", "n.png"}, "not a power of two"},
        {{"noise", "--seed", "1", "--seed", "2", "n.png"}, "--seed is given twice"},
        {{"noise", "--mips", "n.png"}, "--mips needs a .dds output"},
        {{"noise", "--scale", "0", "n.png"}, "--scale takes a number above 0"},
        {{"noise", "--scale", "nan", "n.png"}, "--scale takes a number"},
        {{"noise", "--scale", "3.5", "--tile", "n.png"}, "--tile needs a --scale that gives whole cells"},
        {{"noise", "--scale", "3", "--size", "64", "32", "--tile", "n.png"}, "whole cells"},
        {{"noise", "--octaves", "13", "n.png"}, "--octaves takes a whole number from 1 to 12"},
        {{"noise", "--gain", "1.5", "n.png"}, "--gain takes a number above 0 and at most 1"},
        {{"noise", "--type", "simplex", "n.png"}, "perlin or value"},
        {{"noise", "--rgb", "--colors", "red,blue", "n.png"}, "leave out --colors"},
        {{"noise", "--colors", "red", "n.png"}, "two colours"},
        {{"noise", "--colors", "reddish,blue", "n.png"}, "--colors needs colours"},
        {{"noise", "--strength", "2", "n.png"}, "--strength does not apply to noise"},
        {{"gradient", "--angle", "10", "--type", "radial", "g.png"}, "--angle is for linear gradients"},
        {{"gradient", "--radius", "0.5", "g.png"}, "--radius is for radial gradients"},
        {{"gradient", "--stops", "0:red", "g.png"}, "at least two stops"},
        {{"gradient", "--stops", "0.5:red,0.2:blue", "g.png"}, "must not decrease"},
        {{"gradient", "--stops", "0:red,1.5:blue", "g.png"}, "position takes a number from 0 to 1, not \"1.5\""},
        {{"gradient", "--stops", "0-red,1:blue", "g.png"}, "<position>:<colour>"},
        {{"gradient", "--stops", "0:red,1:blue", "--colors", "red,blue", "g.png"}, "either --colors or --stops"},
        {{"grid", "--cell", "24", "g.png"}, "must divide the width and the height"},
        {{"grid", "--cell", "8", "--line", "8", "g.png"}, "--line must be less than the cell"},
        {{"grid", "--line", "0", "g.png"}, "at least 1 for a grid"},
        {{"grid", "--checker", "--colors", "red", "g.png"}, "two or three colours"},
        {{"glow", "--radius", "1.5", "g.png"}, "--radius takes a number above 0 and at most 1"},
        {{"glow", "--power", "-1", "g.png"}, "--power takes a number above 0"},
        {{"cookie", "--pattern", "stars", "c.png"}, "--pattern is none, bars"},
        {{"cookie", "--radius", "0.5", "--softness", "0.6", "c.png"}, "--softness takes a number from 0 to 0.5, not \"0.6\""},
        {{"cookie", "--count", "0", "c.png"}, "--count takes a whole number from 1 to 256"},
        {{"text", "t.png"}, "at least one --text"},
        {{"text", "--text", "a", "--shadow", "2", "--glow", "2", "t.png"}, "either --shadow or --glow"},
        {{"text", "--text", "a", "--px", "2", "t.png"}, "--px takes a whole number from 4"},
        {{"text", "--text", "a", "--colors", "red,green,blue,white", "t.png"}, "one to three colours"},
        {{"cube", "c.png"}, "a cube map is written as a .dds file"},
        {{"cube", "--size", "64", "32", "c.dds"}, "cube faces are square"},
        {{"cube", "--size", "4096", "4096", "c.dds"}, "cube faces are at most 2048"},
        {{"cube", "--step", "10", "c.dds"}, "--step and --line are for --type grid"},
        {{"cube", "--type", "direction", "--colors", "red", "c.dds"}, "leave out --colors"},
        {{"cube", "--type", "grid", "--step", "120", "c.dds"}, "--step takes a number above 0 and at most 90"},
        {{"cube", "--colors", "red,blue", "c.dds"}, "three colours"},
        {{"cube", "--tile", "c.dds"}, "--tile does not apply to cube"},
    };
    for (const BadCase& c : cases) {
        std::string joined;
        for (const std::string& a : c.args) {
            joined += a + " ";
        }
        SCOPED_TRACE(joined);
        try {
            ParseTexGenRequest(c.args);
            ADD_FAILURE() << "accepted";
        } catch (const TexGenError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

} // namespace

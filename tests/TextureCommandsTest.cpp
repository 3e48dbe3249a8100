#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "D3DXTextureTestSupport.h"
#include "TempDir.h"
#include "ToolRun.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A level read back as A8R8G8B8 texels.
struct Texels {
    UINT width = 0;
    UINT height = 0;
    Bytes bytes;

    D3DCOLOR At(UINT x, UINT y) const { return TexelAt(bytes, width, x, y); }
};

int Channel(D3DCOLOR c, int shift)
{
    return static_cast<int>((c >> shift) & 0xFF);
}
int Alpha(D3DCOLOR c)
{
    return Channel(c, 24);
}
int Red(D3DCOLOR c)
{
    return Channel(c, 16);
}
int Green(D3DCOLOR c)
{
    return Channel(c, 8);
}
int Blue(D3DCOLOR c)
{
    return Channel(c, 0);
}

class TextureCommandsTest : public D3DXTextureFixture {
protected:
    std::string Path(const std::string& name) const { return (dir.path() / name).string(); }

    // Runs "texture gen" with the arguments and the output file last; expects success.
    Bytes Generate(std::vector<std::string> args, const std::string& name)
    {
        args.insert(args.begin(), {"texture", "gen"});
        args.push_back(Path(name));
        ToolResult result = RunTool(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        std::string bytes = ReadFileBytes(Path(name));
        return Bytes(bytes.begin(), bytes.end());
    }

    // The file through the 2D loader, at its own size, as A8R8G8B8.
    Texels Load(const Bytes& file, UINT level = 0, UINT* levels = nullptr)
    {
        Texels texels;
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()),
                                                      D3DX_FROM_FILE, D3DX_FROM_FILE, D3DX_FROM_FILE, 0,
                                                      D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                                      D3DX_FILTER_NONE, 0, nullptr, nullptr, &texture),
                  D3D_OK);
        if (texture == nullptr) {
            return texels;
        }
        D3DSURFACE_DESC desc{};
        EXPECT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
        texels = {desc.Width, desc.Height, ReadLevel(texture, level)};
        if (levels != nullptr) {
            *levels = texture->GetLevelCount();
        }
        texture->Release();
        return texels;
    }

    TempDir dir;
};

TEST_F(TextureCommandsTest, GradientsRunTheWayTheirAngleSays)
{
    Texels down = Load(Generate({"gradient", "--size", "64", "32", "--colors", "white,black"}, "down.png"));
    ASSERT_EQ(down.width, 64u);
    ASSERT_EQ(down.height, 32u);
    for (UINT x = 0; x < 64; x += 9) {
        EXPECT_EQ(down.At(x, 0), 0xFFFFFFFFu) << x;
        EXPECT_EQ(down.At(x, 31), 0xFF000000u) << x;
    }
    for (UINT y = 1; y < 32; ++y) {
        EXPECT_LT(Red(down.At(5, y)), Red(down.At(5, y - 1))) << y;
    }

    Texels right = Load(Generate({"gradient", "--size", "32", "16", "--angle", "0", "--stops", "0:red,1:blue"},
                                 "right.png"));
    EXPECT_EQ(right.At(0, 7), 0xFFFF0000u);
    EXPECT_EQ(right.At(31, 7), 0xFF0000FFu);

    // Stops carry alpha: clear at the top, opaque at the bottom.
    Texels fade = Load(Generate({"gradient", "--size", "16", "16", "--colors", "ff800000,ff8000ff"}, "fade.png"));
    EXPECT_EQ(fade.At(3, 0), 0x00FF8000u);
    EXPECT_EQ(fade.At(3, 15), 0xFFFF8000u);
    EXPECT_GT(Alpha(fade.At(3, 8)), 0);
    EXPECT_LT(Alpha(fade.At(3, 8)), 255);

    Texels radial = Load(Generate({"gradient", "--type", "radial", "--size", "32", "32", "--colors", "white,black"},
                                  "radial.png"));
    EXPECT_GT(Red(radial.At(15, 15)), 240);
    EXPECT_EQ(radial.At(0, 0), 0xFF000000u);
}

// The mean difference across the wrap (last column to first) against the mean difference of
// neighbouring columns inside the picture.
double WrapRatio(const Texels& t, bool columns)
{
    UINT along = columns ? t.width : t.height;
    UINT across = columns ? t.height : t.width;
    auto value = [&](UINT i, UINT j) { return Red(columns ? t.At(i, j) : t.At(j, i)); };
    double inside = 0.0, wrap = 0.0;
    for (UINT j = 0; j < across; ++j) {
        wrap += std::abs(value(along - 1, j) - value(0, j));
        for (UINT i = 1; i < along; ++i) {
            inside += std::abs(value(i, j) - value(i - 1, j));
        }
    }
    return (wrap / across) / (inside / (across * (along - 1.0)));
}

TEST_F(TextureCommandsTest, TileableNoiseContinuesAcrossItsEdges)
{
    const std::vector<std::string> noise = {"noise", "--size", "128", "64", "--scale", "4", "--seed", "7"};
    std::vector<std::string> tiled = noise;
    tiled.push_back("--tile");
    Texels wraps = Load(Generate(tiled, "tiled.png"));
    Texels plain = Load(Generate(noise, "plain.png"));
    ASSERT_EQ(wraps.width, 128u);
    // Across the seam the tileable noise changes no more than between any two neighbours...
    EXPECT_LT(WrapRatio(wraps, true), 2.0);
    EXPECT_LT(WrapRatio(wraps, false), 2.0);
    // ...which the same noise without the option does not.
    EXPECT_GT(WrapRatio(plain, true), 4.0);
    EXPECT_GT(WrapRatio(plain, false), 4.0);
    // Greyscale, opaque, and not flat.
    int lowest = 255, highest = 0;
    for (UINT y = 0; y < 64; ++y) {
        for (UINT x = 0; x < 128; ++x) {
            D3DCOLOR c = wraps.At(x, y);
            ASSERT_EQ(Alpha(c), 255);
            ASSERT_EQ(Red(c), Green(c));
            ASSERT_EQ(Red(c), Blue(c));
            lowest = std::min(lowest, Red(c));
            highest = std::max(highest, Red(c));
        }
    }
    EXPECT_GT(highest - lowest, 100);

    Texels rgb = Load(Generate({"noise", "--rgb", "--size", "32", "32"}, "rgb.png"));
    int differing = 0;
    for (UINT i = 0; i < 32; ++i) {
        differing += Red(rgb.At(i, i)) != Green(rgb.At(i, i)) ? 1 : 0;
    }
    EXPECT_GT(differing, 16);
}

TEST_F(TextureCommandsTest, SameArgumentsGiveTheSameBytes)
{
    const std::vector<std::vector<std::string>> kinds = {
        {"noise", "--tile", "--type", "value"},
        {"gradient", "--type", "radial"},
        {"grid", "--checker"},
        {"glow"},
        {"cookie", "--pattern", "noise"},
        {"text", "--text", "Orvala", "--shadow", "3"},
        {"normal", "--tile"},
        {"cube", "--size", "16", "16", "--mips"},
    };
    for (const std::vector<std::string>& kind : kinds) {
        SCOPED_TRACE(kind[0]);
        const std::string extension = kind[0] == "cube" ? ".dds" : ".png";
        Bytes first = Generate(kind, "first" + extension);
        Bytes second = Generate(kind, "second" + extension);
        ASSERT_FALSE(first.empty());
        EXPECT_EQ(first, second);
        EXPECT_NE(Load(first).width, 0u);
    }
    std::vector<std::string> seeded = {"noise", "--seed", "2"};
    EXPECT_NE(Generate(seeded, "seed2.png"), Generate({"noise"}, "seed1.png"));
}

TEST_F(TextureCommandsTest, GlowFadesToClearCornersWithPremultipliedColour)
{
    Texels glow = Load(Generate({"glow", "--size", "64", "64", "--colors", "ff8040"}, "glow.png"));
    D3DCOLOR centre = glow.At(32, 32); // a texel off the exact centre: (1 - 0.022)^2 of the full glow
    EXPECT_GT(Alpha(centre), 235);
    EXPECT_GT(Red(centre), 235);
    for (D3DCOLOR corner : {glow.At(0, 0), glow.At(63, 0), glow.At(0, 63), glow.At(63, 63), glow.At(0, 32)}) {
        EXPECT_EQ(corner, 0u);
    }
    D3DCOLOR half = glow.At(48, 32);
    EXPECT_GT(Alpha(half), 20);
    EXPECT_LT(Alpha(half), 200);
    EXPECT_NEAR(Red(half), Alpha(half), 1);              // red 1.0 scaled by the intensity
    EXPECT_NEAR(Green(half), Alpha(half) * 0x80 / 255, 1); // green 0.5 scaled
    // Without premultiplying the colour stays whole and only alpha fades.
    Texels straight = Load(Generate({"glow", "--size", "64", "64", "--straight", "--colors", "ff8040"}, "s.png"));
    EXPECT_EQ(straight.At(48, 32) & 0xFFFFFFu, 0xFF8040u);
    EXPECT_EQ(Alpha(straight.At(48, 32)), Alpha(half));
}

TEST_F(TextureCommandsTest, CookiesAreSoftDiscsCutByTheirPattern)
{
    Texels disc = Load(Generate({"cookie", "--size", "64", "64"}, "disc.png"));
    EXPECT_EQ(disc.At(32, 32), 0xFFFFFFFFu);
    EXPECT_EQ(disc.At(0, 0), 0xFF000000u);
    EXPECT_EQ(disc.At(32, 0), 0xFF000000u);
    // The edge is soft: some texels lie between light and dark.
    int between = 0;
    for (UINT x = 32; x < 64; ++x) {
        between += (Red(disc.At(x, 32)) > 10 && Red(disc.At(x, 32)) < 245) ? 1 : 0;
    }
    EXPECT_GE(between, 2);

    Texels bars = Load(Generate({"cookie", "--size", "64", "64", "--pattern", "bars", "--count", "4"}, "bars.png"));
    // Bars of 8 texels: light from 16 to 23, dark from 24 to 31, along the middle row.
    EXPECT_GT(Red(bars.At(20, 32)), 245);
    EXPECT_LT(Red(bars.At(28, 32)), 10);
}

// The bounding box of the white letters: texels more than half covered and light.
struct Ink {
    UINT left = ~0u, top = ~0u, right = 0, bottom = 0;
};

Ink FindInk(const Texels& t)
{
    Ink ink;
    for (UINT y = 0; y < t.height; ++y) {
        for (UINT x = 0; x < t.width; ++x) {
            if (Alpha(t.At(x, y)) > 128 && Red(t.At(x, y)) > 128) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
        }
    }
    return ink;
}

TEST_F(TextureCommandsTest, TextCardsReadLeftToRightTopToBottom)
{
    // "L": its stem is at the left and its foot at the bottom, unless the card is mirrored or flipped.
    Texels card = Load(Generate({"text", "--size", "64", "64", "--text", "L", "--px", "40"}, "l.png"));
    ASSERT_EQ(card.width, 64u);
    EXPECT_EQ(card.At(0, 0), 0u); // clear background
    Ink ink = FindInk(card);
    ASSERT_LT(ink.left, ink.right);
    EXPECT_EQ(card.At((ink.left + ink.right) / 2, ink.bottom) & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_LT(Alpha(card.At(ink.right, ink.top)), 128);                // top right: empty
    EXPECT_GT(Alpha(card.At(ink.left + 1, ink.top + 1)), 128);          // top left: stem
    EXPECT_GT(Alpha(card.At(ink.right - 1, ink.bottom - 1)), 128);      // bottom right: foot
    // Centred: as much room on either side.
    EXPECT_LE(std::abs(static_cast<int>(ink.left) - static_cast<int>(63 - ink.right)), 2);

    // Two lines, the wider one second.
    Texels lines =
        Load(Generate({"text", "--size", "128", "64", "--text", "I", "--text", "WWW", "--colors", "white,black"},
                      "lines.png"));
    EXPECT_EQ(lines.At(0, 0), 0xFF000000u); // opaque black background
    auto litWidth = [&lines](UINT from, UINT to) {
        UINT left = ~0u, right = 0;
        for (UINT y = from; y < to; ++y) {
            for (UINT x = 0; x < lines.width; ++x) {
                if (Red(lines.At(x, y)) > 128) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        return right > left ? right - left : 0;
    };
    UINT upper = litWidth(0, 32);
    UINT lower = litWidth(32, 64);
    EXPECT_GT(upper, 0u);
    EXPECT_GT(lower, 3 * upper);
}

TEST_F(TextureCommandsTest, TextShadowFallsBelowAndRight)
{
    Texels card =
        Load(Generate({"text", "--size", "64", "64", "--text", "I", "--px", "40", "--shadow", "6"}, "shadow.png"));
    Ink ink = FindInk(card);
    ASSERT_LT(ink.left, ink.right);
    // Right of the stem: dark, partly covering shadow; left of it nothing.
    D3DCOLOR right = card.At(ink.right + 3, (ink.top + ink.bottom) / 2);
    EXPECT_GT(Alpha(right), 20);
    EXPECT_LT(Red(right), 40);
    EXPECT_LT(Alpha(card.At(ink.left - 4, (ink.top + ink.bottom) / 2)), Alpha(right));
}

TEST_F(TextureCommandsTest, GridLinesWrapAndCheckersStartWithTheFirstColour)
{
    Texels grid = Load(Generate({"grid", "--size", "32", "32", "--cell", "8", "--line", "2", "--colors",
                                 "black,white"},
                                "grid.png"));
    for (UINT x : {0u, 7u, 8u, 15u, 31u}) {
        EXPECT_EQ(grid.At(x, 4), 0xFFFFFFFFu) << x; // lines straddle every cell border, the picture edges too
    }
    EXPECT_EQ(grid.At(4, 4), 0xFF000000u);
    EXPECT_EQ(grid.At(4, 31), 0xFFFFFFFFu);

    Texels checker = Load(Generate({"grid", "--checker", "--size", "16", "16", "--cell", "4", "--colors", "red,blue"},
                                   "checker.png"));
    EXPECT_EQ(checker.At(0, 0), 0xFFFF0000u);
    EXPECT_EQ(checker.At(5, 1), 0xFF0000FFu);
    EXPECT_EQ(checker.At(5, 5), 0xFFFF0000u);
}

TEST_F(TextureCommandsTest, NormalMapsPointOutOfTheSurface)
{
    Texels normals = Load(Generate({"normal", "--size", "64", "64", "--tile"}, "normal.png"));
    double blue = 0.0, red = 0.0, green = 0.0;
    for (UINT y = 0; y < 64; ++y) {
        for (UINT x = 0; x < 64; ++x) {
            D3DCOLOR c = normals.At(x, y);
            ASSERT_GT(Blue(c), 127); // z is never negative
            blue += Blue(c);
            red += Red(c);
            green += Green(c);
        }
    }
    // Slopes of a tileable height field average out to a flat surface.
    EXPECT_NEAR(red / 4096.0, 127.5, 6.0);
    EXPECT_NEAR(green / 4096.0, 127.5, 6.0);
    EXPECT_GT(blue / 4096.0, 200.0);
}

TEST_F(TextureCommandsTest, CubeFacesComeInDirect3DOrder)
{
    Bytes file = Generate({"cube", "--type", "direction", "--size", "16", "16"}, "dirs.dds");
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(D3DXCreateCubeTextureFromFileInMemory(device, file.data(), static_cast<UINT>(file.size()), &cube),
              D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(cube->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Width, 16u);
    // Each face's centre looks along its axis: the channel of that axis is high for +, low for -.
    const int shifts[3] = {16, 8, 0};
    for (int face = 0; face < 6; ++face) {
        SCOPED_TRACE(face);
        Bytes texels = ReadFace(cube, static_cast<D3DCUBEMAP_FACES>(face), 0);
        D3DCOLOR centre = TexelAt(texels, 16, 8, 8);
        for (int axis = 0; axis < 3; ++axis) {
            int value = Channel(centre, shifts[axis]);
            if (axis == face / 2) {
                EXPECT_EQ(value > 200, face % 2 == 0) << std::hex << centre;
                EXPECT_EQ(value < 55, face % 2 == 1) << std::hex << centre;
            } else {
                EXPECT_NEAR(value, 128, 12) << axis;
            }
        }
        // Within a side face, up is the top row.
        if (face != 2 && face != 3) {
            EXPECT_GT(Green(TexelAt(texels, 16, 8, 0)), Green(TexelAt(texels, 16, 8, 15)));
        }
    }
    // +X has +Z at its left edge; +Y has -Z at its top edge and +X at its right.
    Bytes positiveX = ReadFace(cube, D3DCUBEMAP_FACE_POSITIVE_X, 0);
    EXPECT_GT(Blue(TexelAt(positiveX, 16, 0, 8)), Blue(TexelAt(positiveX, 16, 15, 8)));
    Bytes positiveY = ReadFace(cube, D3DCUBEMAP_FACE_POSITIVE_Y, 0);
    EXPECT_LT(Blue(TexelAt(positiveY, 16, 8, 0)), Blue(TexelAt(positiveY, 16, 8, 15)));
    EXPECT_GT(Red(TexelAt(positiveY, 16, 15, 8)), Red(TexelAt(positiveY, 16, 0, 8)));
    cube->Release();
}

TEST_F(TextureCommandsTest, SkyCubesHaveSkyAboveGroundBelowAndTheirMips)
{
    Bytes file =
        Generate({"cube", "--size", "32", "32", "--mips", "--colors", "0000ff,ffffff,00ff00"}, "sky.dds");
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(D3DXCreateCubeTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()),
                                                      D3DX_DEFAULT, D3DX_FROM_FILE, 0, D3DFMT_FROM_FILE,
                                                      D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                                      nullptr, &cube),
              D3D_OK);
    ASSERT_EQ(cube->GetLevelCount(), 6u);
    D3DCOLOR up = TexelAt(ReadFace(cube, D3DCUBEMAP_FACE_POSITIVE_Y, 0), 32, 16, 16);
    D3DCOLOR down = TexelAt(ReadFace(cube, D3DCUBEMAP_FACE_NEGATIVE_Y, 0), 32, 16, 16);
    EXPECT_EQ(up, 0xFF0000FFu);
    EXPECT_EQ(down, 0xFF00FF00u);
    for (D3DCUBEMAP_FACES side : {D3DCUBEMAP_FACE_POSITIVE_X, D3DCUBEMAP_FACE_NEGATIVE_Z}) {
        Bytes face = ReadFace(cube, side, 0);
        EXPECT_LT(Red(TexelAt(face, 32, 16, 2)), 200);   // well above the horizon: blue
        EXPECT_GT(Red(TexelAt(face, 32, 16, 15)), 200);  // at the horizon: white
        EXPECT_EQ(Blue(TexelAt(face, 32, 16, 31)), 0);   // below: green ground
        // The 1x1 level of a side face blends sky, horizon and ground.
        D3DCOLOR tiny = TexelAt(ReadFace(cube, side, 5), 1, 0, 0);
        EXPECT_GT(Blue(tiny), 60);
        EXPECT_GT(Green(tiny), 60);
    }
    cube->Release();
}

TEST_F(TextureCommandsTest, DdsOutputsKeepTheirMipChains)
{
    UINT levels = 0;
    Bytes file = Generate({"gradient", "--size", "32", "8", "--mips", "--angle", "0"}, "mips.dds");
    Texels top = Load(file, 0, &levels);
    EXPECT_EQ(levels, 6u);
    EXPECT_EQ(top.At(0, 0), 0xFFFFFFFFu);
    Texels smallest = Load(file, 5);
    EXPECT_EQ(smallest.width, 1u);
    EXPECT_NEAR(Red(smallest.At(0, 0)), 128, 2);
}

struct BadCommand {
    const char* name;
    std::vector<std::string> args; // the output file follows
    const char* message;
};

TEST_F(TextureCommandsTest, BadOptionsAreUsageErrorsAndWriteNothing)
{
    const BadCommand cases[] = {
        {"unknown kind", {"plasma"}, "unknown texture kind \"plasma\""},
        {"unknown option", {"noise", "--bumpy"}, "unknown option \"--bumpy\""},
        {"option of another kind", {"glow", "--tile"}, "--tile does not apply to glow"},
        {"size not a power of two", {"noise", "--size", "100", "64"}, "is not a power of two"},
        {"mips in a PNG", {"noise", "--mips"}, "--mips needs a .dds output"},
        {"cube as PNG", {"cube"}, "a cube map is written as a .dds file"},
        {"text too large", {"text", "--text", "Orvala 2009", "--px", "200"}, "does not fit"},
        {"font missing", {"text", "--text", "x", "--font", "/nonexistent/font.ttf"}, "cannot read the font"},
    };
    for (const BadCommand& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"texture", "gen"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const std::string out = Path(c.args[0] + ".png");
        args.push_back(out);
        ToolResult result = RunTool(args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("usage:\norvala-tool texture gen"), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(TextureCommandsTest, AFailedWriteLeavesTheOldFileAndNoPart)
{
    // The destination is a folder: the finished file cannot take its place.
    std::filesystem::create_directories(Path("taken.png"));
    ToolResult result = RunTool({"texture", "gen", "noise", "--size", "8", "8", Path("taken.png")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cannot write"), std::string::npos) << result.err;
    EXPECT_TRUE(std::filesystem::is_directory(Path("taken.png")));
    EXPECT_FALSE(std::filesystem::exists(Path("taken.png.part")));

    ToolResult missing = RunTool({"texture", "gen", "noise", Path("no/such/folder/n.png")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot write"), std::string::npos) << missing.err;

    ToolResult noSubcommand = RunTool({"texture", "make", "noise", Path("n.png")});
    EXPECT_EQ(noSubcommand.exitCode, 1);
    EXPECT_NE(noSubcommand.err.find("unknown texture subcommand \"make\""), std::string::npos);
}

} // namespace

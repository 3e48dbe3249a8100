// `texture info` and `texture decode` run on small DDS files made of hand-made DXT blocks, checked
// against FFmpeg's own DDS decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "CaptureMedia.h"
#include "D3DXTextureTestSupport.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "image/PngFile.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// One level of one face: its size and the blocks of each slice (one slice unless a volume map).
struct BlockSurface {
    UINT width = 0;
    UINT height = 0;
    std::vector<Bytes> slices;
};

// Random DXT blocks. Every other colour block of DXT1 is in three-colour mode (c0 <= c1, with
// transparent black) and every other DXT5 alpha block in its six-value mode (a0 <= a1), so both
// modes of each format are decoded.
Bytes RandomBlocks(DWORD fourCC, UINT width, UINT height, std::mt19937& random)
{
    const UINT blocks = ((width + 3) / 4) * ((height + 3) / 4);
    const std::size_t blockBytes = fourCC == D3DFMT_DXT1 ? 8 : 16;
    Bytes bytes(blocks * blockBytes);
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(byte(random));
    for (UINT i = 0; i < blocks; ++i) {
        std::uint8_t* block = &bytes[i * blockBytes];
        const bool firstMode = i % 2 == 0;
        std::uint8_t* colour = fourCC == D3DFMT_DXT1 ? block : block + 8;
        const unsigned c0 = colour[0] | (colour[1] << 8), c1 = colour[2] | (colour[3] << 8);
        if (fourCC == D3DFMT_DXT1 && (c0 > c1) != firstMode) {
            std::swap(colour[0], colour[2]);
            std::swap(colour[1], colour[3]);
            if (c0 == c1)
                colour[0] ^= 1; // c0 > c1 now, since the low bit is set on one side only
        }
        if (fourCC == D3DFMT_DXT5 && (block[0] > block[1]) != firstMode) {
            std::swap(block[0], block[1]);
            if (block[0] == block[1])
                block[0] = static_cast<std::uint8_t>(block[1] ^ 1);
        }
    }
    return bytes;
}

// A DDS file: faces one after another, each with its levels from the top, each level with its
// slices front to back.
struct DxtTexture {
    DWORD fourCC = D3DFMT_DXT1;
    UINT width = 0, height = 0, depth = 0; // depth 0: not a volume map
    bool cube = false;
    std::vector<std::vector<BlockSurface>> faces; // [face][level]

    Bytes File() const
    {
        DdsHeaderFields fields = DdsFourCC(fourCC);
        fields.width = width;
        fields.height = height;
        fields.depth = depth;
        fields.mipCount = static_cast<UINT>(faces[0].size());
        fields.caps2 = cube ? 0xFE00u : depth > 0 ? 0x200000u : 0u;
        Bytes payload;
        for (const auto& face : faces)
            for (const auto& level : face)
                for (const auto& slice : level.slices)
                    payload.insert(payload.end(), slice.begin(), slice.end());
        return MakeDds(fields, payload);
    }
};

DxtTexture RandomTexture(DWORD fourCC, UINT width, UINT height, UINT depth, bool cube, UINT levels,
                         std::mt19937& random)
{
    DxtTexture texture{fourCC, width, height, depth, cube, {}};
    texture.faces.resize(cube ? 6 : 1);
    for (auto& face : texture.faces) {
        for (UINT level = 0; level < levels; ++level) {
            BlockSurface surface{D3DMipExtent(width, level), D3DMipExtent(height, level), {}};
            for (UINT z = 0; z < D3DMipExtent(std::max(depth, 1u), level); ++z)
                surface.slices.push_back(RandomBlocks(fourCC, surface.width, surface.height, random));
            face.push_back(surface);
        }
    }
    return texture;
}

std::string Str(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// A picture file decoded by FFmpeg to R, G, B, A bytes, top row first.
std::string FfmpegRgba(const std::filesystem::path& file)
{
    return capture_media::CommandOutput("ffmpeg -v error -i " + ShellQuoted(file.string()) +
                                        " -frames:v 1 -f rawvideo -pix_fmt rgba -");
}

class TextureInspectCommandsTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const Bytes& bytes)
    {
        const std::filesystem::path path = temp.path() / name;
        WriteFileBytes(path, Str(bytes));
        return path.string();
    }

    TempDir temp;
};

TEST_F(TextureInspectCommandsTest, DecodeGivesWhatAnIndependentDecoderGivesForEveryFaceSliceAndLevel)
{
    std::mt19937 random(14);
    const struct {
        const char* name;
        DxtTexture texture;
    } cases[] = {
        {"DXT1 2D", RandomTexture(D3DFMT_DXT1, 16, 8, 0, false, 2, random)},
        {"DXT3 2D", RandomTexture(D3DFMT_DXT3, 16, 8, 0, false, 1, random)},
        {"DXT5 2D", RandomTexture(D3DFMT_DXT5, 16, 8, 0, false, 2, random)},
        {"DXT1 cube", RandomTexture(D3DFMT_DXT1, 8, 8, 0, true, 1, random)},
        {"DXT3 volume", RandomTexture(D3DFMT_DXT3, 8, 8, 2, false, 2, random)},
        {"DXT5 volume", RandomTexture(D3DFMT_DXT5, 4, 4, 3, false, 1, random)},
    };
    for (const auto& c : cases) {
        const std::string file = Write("texture.dds", c.texture.File());
        for (std::size_t face = 0; face < c.texture.faces.size(); ++face) {
            for (std::size_t level = 0; level < c.texture.faces[face].size(); ++level) {
                const BlockSurface& surface = c.texture.faces[face][level];
                for (std::size_t slice = 0; slice < surface.slices.size(); ++slice) {
                    const std::string where = std::string(c.name) + " face " + std::to_string(face) + " level " +
                                              std::to_string(level) + " slice " + std::to_string(slice);
                    // The reference: the same blocks alone in a 2D file, decoded by FFmpeg.
                    DdsHeaderFields fields = DdsFourCC(c.texture.fourCC);
                    fields.width = surface.width;
                    fields.height = surface.height;
                    const std::filesystem::path reference = Write("reference.dds", MakeDds(fields, surface.slices[slice]));
                    const std::string expected = FfmpegRgba(reference);
                    ASSERT_EQ(expected.size(), std::size_t{surface.width} * surface.height * 4) << where;

                    const std::filesystem::path out = temp.path() / "out.png";
                    const ToolResult result =
                        RunTool({"texture", "decode", file, out.string(), "--face", std::to_string(face), "--level",
                                 std::to_string(level), "--slice", std::to_string(slice)});
                    ASSERT_EQ(result.exitCode, 0) << where << ": " << result.err;
                    EXPECT_EQ(result.out + result.err, "") << where;
                    Bytes bgra;
                    unsigned width = 0, height = 0;
                    ASSERT_TRUE(ReadPngBGRA(out.string(), bgra, width, height)) << where;
                    ASSERT_EQ(width, surface.width) << where;
                    ASSERT_EQ(height, surface.height) << where;
                    // The two decoders round the interpolated colours and alphas differently.
                    int worst = 0;
                    for (std::size_t i = 0; i < bgra.size(); i += 4) {
                        for (int ch = 0; ch < 4; ++ch) {
                            const int ours = bgra[i + (ch == 3 ? 3 : 2 - ch)];
                            worst = std::max(worst, std::abs(ours - static_cast<std::uint8_t>(expected[i + ch])));
                        }
                    }
                    EXPECT_LE(worst, 2) << where;
                }
            }
        }
    }
}

TEST_F(TextureInspectCommandsTest, DecodeWritesAPictureFilesTexelsUnchanged)
{
    // Every texel different, with alpha, so that a flip, a mirror or a channel swap shows.
    const unsigned width = 5, height = 3;
    Bytes bgra;
    for (unsigned i = 0; i < width * height; ++i)
        bgra.insert(bgra.end(), {static_cast<std::uint8_t>(i * 17), static_cast<std::uint8_t>(255 - i * 9),
                                 static_cast<std::uint8_t>(i * 5 + 40), static_cast<std::uint8_t>(i * 16 + 10)});
    const std::string png = (temp.path() / "in.png").string();
    ASSERT_TRUE(WritePngBGRA(png, bgra.data(), width, height, width * 4, false));
    DdsHeaderFields fields; // A8R8G8B8
    fields.width = width;
    fields.height = height;
    const std::string dds = Write("in.dds", MakeDds(fields, bgra));
    for (const std::string& in : {png, dds}) {
        const std::string out = (temp.path() / "out.png").string();
        const ToolResult result = RunTool({"texture", "decode", in, out});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        Bytes decoded;
        unsigned decodedWidth = 0, decodedHeight = 0;
        ASSERT_TRUE(ReadPngBGRA(out, decoded, decodedWidth, decodedHeight)) << in;
        EXPECT_EQ(decodedWidth, width) << in;
        EXPECT_EQ(decodedHeight, height) << in;
        EXPECT_EQ(decoded, bgra) << in;
    }
}

TEST_F(TextureInspectCommandsTest, HalfFloatTexelsAreClampedIntoThePicture)
{
    // Two texels R, G, B, A: values above 1 and below 0 stay at the ends instead of wrapping.
    const std::uint16_t halves[] = {0x4000 /* 2 */,    0x3800 /* 0.5 */, 0xBC00 /* -1 */, 0x3C00 /* 1 */,
                                    0x3400 /* 0.25 */, 0x0000 /* 0 */,   0x7C00 /* inf */, 0x3A00 /* 0.75 */};
    Bytes payload;
    for (std::uint16_t h : halves)
        payload.insert(payload.end(), {static_cast<std::uint8_t>(h & 0xFF), static_cast<std::uint8_t>(h >> 8)});
    DdsHeaderFields fields = DdsFourCC(D3DFMT_A16B16G16R16F);
    fields.width = 2;
    fields.height = 1;
    const std::string file = Write("half.dds", MakeDds(fields, payload));
    const std::string out = (temp.path() / "out.png").string();
    const ToolResult result = RunTool({"texture", "decode", file, out});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    Bytes bgra;
    unsigned width = 0, height = 0;
    ASSERT_TRUE(ReadPngBGRA(out, bgra, width, height));
    EXPECT_EQ(bgra, (Bytes{0, 128, 255, 255, 255, 0, 64, 191}));
}

TEST_F(TextureInspectCommandsTest, InfoDescribesTheFileAsTheLoadersReadIt)
{
    std::mt19937 random(1);
    const std::string dxt1 = Write("mips.dds", RandomTexture(D3DFMT_DXT1, 16, 8, 0, false, 3, random).File());
    const std::string cube = Write("cube.dds", RandomTexture(D3DFMT_DXT5, 8, 8, 0, true, 2, random).File());
    const std::string volume = Write("volume.dds", RandomTexture(D3DFMT_DXT3, 8, 4, 4, false, 2, random).File());
    const Bytes grey(6 * 2 * 4, 128);
    const std::string png = (temp.path() / "card.png").string();
    ASSERT_TRUE(WritePngBGRA(png, grey.data(), 6, 2, 6 * 4, false));
    const struct {
        std::string file;
        std::string expected;
    } cases[] = {
        {dxt1, "file format: DDS\nkind: 2D\nsize: 16x8\nfaces: 1\nformat: D3DFMT_DXT1\nlevels: 3\n"
               "  level 0: 16x8\n  level 1: 8x4\n  level 2: 4x2\n"},
        {cube, "file format: DDS\nkind: cube\nsize: 8x8\nfaces: 6\nformat: D3DFMT_DXT5\nlevels: 2\n"
               "  level 0: 8x8\n  level 1: 4x4\n"},
        {volume, "file format: DDS\nkind: volume\nsize: 8x4x4\nfaces: 1\nformat: D3DFMT_DXT3\nlevels: 2\n"
                 "  level 0: 8x4x4\n  level 1: 4x2x2\n"},
        {png, "file format: PNG\nkind: 2D\nsize: 6x2\nfaces: 1\nformat: D3DFMT_A8R8G8B8\nlevels: 1\n"
              "  level 0: 6x2\n"},
    };
    for (const auto& c : cases) {
        const ToolResult result = RunTool({"texture", "info", c.file});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out, "file: " + c.file + "\n" + c.expected);
    }
}

TEST_F(TextureInspectCommandsTest, BadFilesIndicesAndCommandLinesFailWithAMessage)
{
    std::mt19937 random(2);
    const std::string flat = Write("flat.dds", RandomTexture(D3DFMT_DXT1, 8, 8, 0, false, 2, random).File());
    const std::string cube = Write("cube.dds", RandomTexture(D3DFMT_DXT1, 4, 4, 0, true, 1, random).File());
    const std::string volume = Write("volume.dds", RandomTexture(D3DFMT_DXT5, 4, 4, 4, false, 2, random).File());
    Bytes cut = RandomTexture(D3DFMT_DXT1, 8, 8, 0, false, 1, random).File();
    cut.pop_back();
    const std::string damaged = Write("damaged.dds", cut);
    const std::string missing = (temp.path() / "missing.dds").string();
    const std::string out = (temp.path() / "out.png").string();
    const std::string unwritable = (temp.path() / "no-such-folder" / "out.png").string();
    const std::string notLoaded = "orvala-tool: cannot load \"" + damaged + "\"";
    const struct {
        std::vector<std::string> args;
        std::string errorStart;
    } cases[] = {
        {{"texture", "decode", missing, out}, "cannot read \"" + missing + "\": No such file or directory\n"},
        {{"texture", "info", missing}, "cannot read \"" + missing + "\": No such file or directory\n"},
        {{"texture", "decode", damaged, out}, notLoaded},
        {{"texture", "info", damaged}, notLoaded},
        {{"texture", "decode", cube, out, "--face", "6"}, "orvala-tool: \"" + cube + "\" has no face 6"},
        {{"texture", "decode", flat, out, "--face", "1"}, "orvala-tool: \"" + flat + "\" has no face 1"},
        {{"texture", "decode", flat, out, "--level", "2"}, "orvala-tool: \"" + flat + "\" has no level 2"},
        {{"texture", "decode", flat, out, "--slice", "1"}, "orvala-tool: \"" + flat + "\" has no slice 1"},
        // The second level of a 4-slice volume map holds 2 slices.
        {{"texture", "decode", volume, out, "--level", "1", "--slice", "2"},
         "orvala-tool: \"" + volume + "\" has no slice 2 in level 1"},
        {{"texture", "decode", flat, unwritable}, "orvala-tool: cannot write \"" + unwritable + "\""},
        {{"texture", "decode", flat, out, "--face", "-1"}, "orvala-tool: --face takes a whole number from 0 to 999999999, not \"-1\""},
        {{"texture", "decode", flat, out, "--level"}, "orvala-tool: --level needs a number"},
        {{"texture", "decode", flat, out, "--mip", "1"}, "orvala-tool: unknown option \"--mip\""},
        {{"texture", "decode", flat}, "orvala-tool: texture decode takes a texture file and an output .png"},
        {{"texture", "info"}, "orvala-tool: texture info takes one texture file"},
        {{"texture", "info", flat, flat}, "orvala-tool: texture info takes one texture file"},
    };
    for (const auto& c : cases) {
        const ToolResult result = RunTool(c.args);
        EXPECT_EQ(result.exitCode, 1) << c.errorStart;
        EXPECT_EQ(result.out, "") << c.errorStart;
        EXPECT_EQ(result.err.compare(0, c.errorStart.size(), c.errorStart), 0) << result.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.errorStart;
    }
}

} // namespace

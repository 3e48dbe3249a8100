#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <stb_image_write.h>

#include "D3DXTextureTestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(void* context, void* data, int size)
{
    auto* out = static_cast<Bytes*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

enum class Codec { Png, Bmp, Tga, TgaRaw, Jpg };

// Pixels as R, G, B[, A] rows from the top, written by stb_image_write.
Bytes Encode(Codec codec, int width, int height, int channels, const Bytes& pixels)
{
    Bytes out;
    switch (codec) {
    case Codec::Png:
        stbi_write_png_to_func(Append, &out, width, height, channels, pixels.data(), width * channels);
        break;
    case Codec::Bmp: stbi_write_bmp_to_func(Append, &out, width, height, channels, pixels.data()); break;
    case Codec::Tga: stbi_write_tga_to_func(Append, &out, width, height, channels, pixels.data()); break;
    case Codec::TgaRaw: {
        int saved = stbi_write_tga_with_rle;
        stbi_write_tga_with_rle = 0;
        stbi_write_tga_to_func(Append, &out, width, height, channels, pixels.data());
        stbi_write_tga_with_rle = saved;
        break;
    }
    case Codec::Jpg: stbi_write_jpg_to_func(Append, &out, width, height, channels, pixels.data(), 95); break;
    }
    return out;
}

// The test picture, 4 x 2 texels as A8R8G8B8 colours from the top left: red, green, blue, white, then
// black, grey, yellow and a translucent magenta.
const D3DCOLOR kPicture[2][4] = {{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu},
                                 {0xFF000000u, 0xFF808080u, 0xFFFFFF00u, 0x40FF00FFu}};

// The picture with every texel a scale x scale square, as R, G, B[, A] bytes.
Bytes PicturePixels(int channels, int scale)
{
    Bytes pixels;
    for (int y = 0; y < 2 * scale; ++y) {
        for (int x = 0; x < 4 * scale; ++x) {
            D3DCOLOR c = kPicture[y / scale][x / scale];
            pixels.push_back(static_cast<std::uint8_t>(c >> 16));
            pixels.push_back(static_cast<std::uint8_t>(c >> 8));
            pixels.push_back(static_cast<std::uint8_t>(c));
            if (channels == 4) {
                pixels.push_back(static_cast<std::uint8_t>(c >> 24));
            }
        }
    }
    return pixels;
}

// A 2 x 2 24-bit BMP stored top-down (negative height): red, green / blue, white.
Bytes TopDownBmp()
{
    Bytes file = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF,
                  1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes rows = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
    file.insert(file.end(), rows.begin(), rows.end());
    return file;
}

// A 2 x 2 24-bit TGA whose origin is the top left: red, green / blue, white.
Bytes TopOriginTga()
{
    Bytes file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0x20};
    Bytes pixels = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

class D3DXTextureTest : public D3DXTextureFixture {
protected:
    HRESULT Load(const Bytes& file, UINT width, UINT height, UINT mipLevels, D3DFORMAT format,
                 IDirect3DTexture9** texture, DWORD filter = D3DX_FILTER_NONE, DWORD mipFilter = D3DX_DEFAULT,
                 D3DPOOL pool = D3DPOOL_MANAGED, DWORD usage = 0, D3DCOLOR colourKey = 0,
                 D3DXIMAGE_INFO* info = nullptr)
    {
        return D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), width, height,
                                                   mipLevels, usage, format, pool, filter, mipFilter, colourKey, info,
                                                   nullptr, texture);
    }

    IDirect3DTexture9* LoadAsIs(const Bytes& file, D3DXIMAGE_INFO* info = nullptr)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(Load(file, D3DX_FROM_FILE, D3DX_FROM_FILE, D3DX_FROM_FILE, D3DFMT_FROM_FILE, &texture,
                       D3DX_FILTER_NONE, D3DX_FILTER_NONE, D3DPOOL_MANAGED, 0, 0, info),
                  D3D_OK);
        return texture;
    }

    static D3DSURFACE_DESC Desc(IDirect3DTexture9* texture, UINT level = 0)
    {
        D3DSURFACE_DESC desc{};
        EXPECT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
        return desc;
    }
};

int ChannelDistance(D3DCOLOR a, D3DCOLOR b)
{
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int difference = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        worst = std::max(worst, std::abs(difference));
    }
    return worst;
}

struct FileCase {
    const char* name;
    Codec codec;
    int channels;
    int scale;
    D3DFORMAT format;
    D3DXIMAGE_FILEFORMAT fileFormat;
    int tolerance;
};

TEST_F(D3DXTextureTest, EachFileFormatLoadsTopRowFirstWithItsChannels)
{
    const FileCase cases[] = {
        {"PNG with alpha", Codec::Png, 4, 1, D3DFMT_A8R8G8B8, D3DXIFF_PNG, 0},
        {"PNG without alpha", Codec::Png, 3, 1, D3DFMT_X8R8G8B8, D3DXIFF_PNG, 0},
        {"BMP (bottom-up rows)", Codec::Bmp, 3, 1, D3DFMT_X8R8G8B8, D3DXIFF_BMP, 0},
        {"TGA run-length", Codec::Tga, 4, 1, D3DFMT_A8R8G8B8, D3DXIFF_TGA, 0},
        {"TGA uncompressed", Codec::TgaRaw, 3, 1, D3DFMT_X8R8G8B8, D3DXIFF_TGA, 0},
        {"JPEG", Codec::Jpg, 3, 8, D3DFMT_X8R8G8B8, D3DXIFF_JPG, 24},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = Encode(c.codec, 4 * c.scale, 2 * c.scale, c.channels, PicturePixels(c.channels, c.scale));
        ASSERT_FALSE(file.empty());
        D3DXIMAGE_INFO info{};
        IDirect3DTexture9* texture = LoadAsIs(file, &info);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(info.ImageFileFormat, c.fileFormat);
        EXPECT_EQ(info.Format, c.format);
        EXPECT_EQ(info.Width, static_cast<UINT>(4 * c.scale));
        EXPECT_EQ(info.Height, static_cast<UINT>(2 * c.scale));
        EXPECT_EQ(info.MipLevels, 1u);
        EXPECT_EQ(texture->GetLevelCount(), 1u);
        EXPECT_EQ(Desc(texture).Format, c.format);
        Bytes texels = ReadLevel(texture, 0);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 4; ++x) {
                D3DCOLOR expected = kPicture[y][x] | (c.channels == 4 ? 0u : 0xFF000000u);
                D3DCOLOR got = TexelAt(texels, 4 * c.scale, x * c.scale + c.scale / 2, y * c.scale + c.scale / 2);
                EXPECT_LE(ChannelDistance(got, expected), c.tolerance) << x << "," << y << " " << std::hex << got;
            }
        }
        texture->Release();
    }
}

TEST_F(D3DXTextureTest, HandMadeTopDownBmpAndTopOriginTgaKeepTheirOrientation)
{
    for (const Bytes& file : {TopDownBmp(), TopOriginTga()}) {
        SCOPED_TRACE(file[0] == 'B' ? "BMP" : "TGA");
        IDirect3DTexture9* texture = LoadAsIs(file);
        ASSERT_NE(texture, nullptr);
        Bytes texels = ReadLevel(texture, 0);
        EXPECT_EQ(TexelAt(texels, 2, 0, 0), 0xFFFF0000u);
        EXPECT_EQ(TexelAt(texels, 2, 1, 0), 0xFF00FF00u);
        EXPECT_EQ(TexelAt(texels, 2, 0, 1), 0xFF0000FFu);
        EXPECT_EQ(TexelAt(texels, 2, 1, 1), 0xFFFFFFFFu);
        texture->Release();
    }
}

TEST_F(D3DXTextureTest, GreyImagesLoadAsL8UnlessTheyHaveAlpha)
{
    Bytes grey = {0, 64, 128, 255};
    IDirect3DTexture9* texture = LoadAsIs(Encode(Codec::Png, 2, 2, 1, grey));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(Desc(texture).Format, D3DFMT_L8);
    EXPECT_EQ(ReadLevel(texture, 0), grey);
    texture->Release();

    Bytes greyAlpha = {10, 255, 20, 128, 30, 0, 40, 64};
    texture = LoadAsIs(Encode(Codec::Png, 2, 2, 2, greyAlpha));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(Desc(texture).Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(TexelAt(ReadLevel(texture, 0), 2, 1, 0), 0x80141414u);
    texture->Release();
}

struct SizeCase {
    UINT width;
    UINT height;
    UINT mipLevels;
    UINT expectedWidth;
    UINT expectedHeight;
    UINT expectedLevels;
};

TEST_F(D3DXTextureTest, SizesAndLevelsFollowTheRequest)
{
    Bytes file = Encode(Codec::Png, 5, 3, 3, Bytes(5 * 3 * 3, 200));
    const SizeCase cases[] = {
        {D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 8, 4, 4},
        {0, 0, 0, 8, 4, 4},
        {D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 0, 5, 3, 3},
        {D3DX_FROM_FILE, D3DX_FROM_FILE, D3DX_FROM_FILE, 5, 3, 1},
        {10, 6, 2, 10, 6, 2},
        {16, 16, 100, 16, 16, 5},
        {D3DX_DEFAULT, 3, 1, 8, 3, 1},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " levels " +
                     std::to_string(c.mipLevels));
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(Load(file, c.width, c.height, c.mipLevels, D3DFMT_FROM_FILE, &texture, D3DX_FILTER_LINEAR), D3D_OK);
        EXPECT_EQ(Desc(texture).Width, c.expectedWidth);
        EXPECT_EQ(Desc(texture).Height, c.expectedHeight);
        EXPECT_EQ(texture->GetLevelCount(), c.expectedLevels);
        // A uniform picture stays uniform whatever the resampling.
        Bytes texels = ReadLevel(texture, c.expectedLevels - 1);
        EXPECT_EQ(TexelAt(texels, 1, 0, 0), 0xFFC8C8C8u);
        texture->Release();
    }
}

TEST_F(D3DXTextureTest, MipLevelsAreBoxFilteredFromTheLevelAbove)
{
    // 4x4 with a distinct red value per texel and alpha varying by row.
    Bytes pixels;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            pixels.insert(pixels.end(), {static_cast<std::uint8_t>(16 * (y * 4 + x)), 0, 0,
                                         static_cast<std::uint8_t>(y * 80)});
        }
    }
    Bytes file = Encode(Codec::Png, 4, 4, 4, pixels);
    for (DWORD mipFilter : {static_cast<DWORD>(D3DX_FILTER_BOX), static_cast<DWORD>(D3DX_DEFAULT),
                            static_cast<DWORD>(D3DX_FILTER_DITHER_DIFFUSION)}) {
        SCOPED_TRACE(mipFilter);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(Load(file, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_FROM_FILE, &texture, D3DX_FILTER_NONE, mipFilter),
                  D3D_OK);
        ASSERT_EQ(texture->GetLevelCount(), 3u);
        Bytes level1 = ReadLevel(texture, 1);
        // Texel (1, 0) of level 1 averages red 32, 48, 96, 112 and alpha 0, 0, 80, 80;
        // texel (0, 1) red 128, 144, 192, 208 and alpha 160, 160, 240, 240.
        EXPECT_EQ(TexelAt(level1, 2, 1, 0), 0x28480000u);
        EXPECT_EQ(TexelAt(level1, 2, 0, 1), 0xC8A80000u);
        // The 1x1 level is the mean of all: red 120, alpha 120.
        EXPECT_EQ(TexelAt(ReadLevel(texture, 2), 1, 0, 0), 0x78780000u);
        texture->Release();
    }
}

TEST_F(D3DXTextureTest, FilterNoneKeepsTheImageAtTheTopLeftOfALargerTexture)
{
    Bytes pixels(3 * 3 * 4, 0xFF);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(Load(Encode(Codec::Png, 3, 3, 4, pixels), D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_FROM_FILE, &texture),
              D3D_OK);
    ASSERT_EQ(Desc(texture).Width, 4u);
    Bytes texels = ReadLevel(texture, 0);
    for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 4; ++x) {
            EXPECT_EQ(TexelAt(texels, 4, x, y), (x < 3 && y < 3) ? 0xFFFFFFFFu : 0u) << x << "," << y;
        }
    }
    texture->Release();
}

TEST_F(D3DXTextureTest, ExplicitSizesResampleWithTheFilter)
{
    // 2x2 enlarged by point sampling: each texel becomes a 2x2 square.
    Bytes four = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(Load(Encode(Codec::Png, 2, 2, 3, four), 4, 4, 1, D3DFMT_FROM_FILE, &texture, D3DX_FILTER_POINT),
              D3D_OK);
    Bytes texels = ReadLevel(texture, 0);
    EXPECT_EQ(TexelAt(texels, 4, 1, 1), 0xFFFF0000u);
    EXPECT_EQ(TexelAt(texels, 4, 2, 1), 0xFF00FF00u);
    EXPECT_EQ(TexelAt(texels, 4, 1, 2), 0xFF0000FFu);
    EXPECT_EQ(TexelAt(texels, 4, 3, 3), 0xFFFFFFFFu);
    texture->Release();

    // A 4x4 checker shrunk to 2x2 with a smooth filter is grey everywhere.
    Bytes checker;
    for (int i = 0; i < 16; ++i) {
        std::uint8_t v = ((i % 4) + (i / 4)) % 2 == 0 ? 0 : 255;
        checker.insert(checker.end(), {v, v, v});
    }
    for (DWORD filter : {D3DX_FILTER_LINEAR, D3DX_FILTER_TRIANGLE, D3DX_FILTER_BOX}) {
        SCOPED_TRACE(filter);
        ASSERT_EQ(Load(Encode(Codec::Png, 4, 4, 3, checker), 2, 2, 1, D3DFMT_FROM_FILE, &texture, filter), D3D_OK);
        Bytes grey = ReadLevel(texture, 0);
        for (UINT i = 0; i < 4; ++i) {
            EXPECT_LE(ChannelDistance(TexelAt(grey, 2, i % 2, i / 2), 0xFF808080u), 1);
        }
        texture->Release();
    }
}

TEST_F(D3DXTextureTest, RequestedFormatsAreConvertedOrRefused)
{
    Bytes file = Encode(Codec::Png, 4, 2, 4, PicturePixels(4, 1));
    IDirect3DTexture9* texture = nullptr;

    ASSERT_EQ(Load(file, D3DX_FROM_FILE, D3DX_FROM_FILE, 1, D3DFMT_L8, &texture), D3D_OK);
    EXPECT_EQ(Desc(texture).Format, D3DFMT_L8);
    Bytes luminance = ReadLevel(texture, 0);
    EXPECT_EQ(luminance[0], 54);  // red
    EXPECT_EQ(luminance[1], 182); // green
    EXPECT_EQ(luminance[3], 255); // white
    EXPECT_EQ(luminance[5], 128); // grey
    texture->Release();

    ASSERT_EQ(Load(file, D3DX_FROM_FILE, D3DX_FROM_FILE, 1, D3DFMT_X8R8G8B8, &texture), D3D_OK);
    EXPECT_EQ(TexelAt(ReadLevel(texture, 0), 4, 3, 1), 0xFFFF00FFu); // alpha dropped
    texture->Release();

    ASSERT_EQ(Load(file, D3DX_FROM_FILE, D3DX_FROM_FILE, 1, D3DFMT_A16B16G16R16F, &texture), D3D_OK);
    Bytes halves = ReadLevel(texture, 0);
    ASSERT_EQ(halves.size(), 4u * 2u * 8u);
    const Bytes red = {0x00, 0x3C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3C}; // R, G, B, A = 1, 0, 0, 1
    EXPECT_EQ(Bytes(halves.begin(), halves.begin() + 8), red);
    texture->Release();

    for (D3DFORMAT refused : {D3DFMT_R5G6B5, D3DFMT_D16, D3DFMT_INDEX16, D3DFMT_A8}) {
        SCOPED_TRACE(refused);
        texture = nullptr;
        EXPECT_EQ(Load(file, D3DX_DEFAULT, D3DX_DEFAULT, 1, refused, &texture), D3DERR_NOTAVAILABLE);
        EXPECT_EQ(texture, nullptr);
    }
}

TEST_F(D3DXTextureTest, ColourKeyTexelsBecomeTransparentBlack)
{
    Bytes file = Encode(Codec::Png, 4, 2, 3, PicturePixels(3, 1));
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(Load(file, D3DX_FROM_FILE, D3DX_FROM_FILE, 1, D3DFMT_A8R8G8B8, &texture, D3DX_FILTER_NONE,
                   D3DX_DEFAULT, D3DPOOL_MANAGED, 0, 0xFF00FF00u),
              D3D_OK);
    Bytes texels = ReadLevel(texture, 0);
    EXPECT_EQ(TexelAt(texels, 4, 1, 0), 0u);
    EXPECT_EQ(TexelAt(texels, 4, 0, 0), 0xFFFF0000u);
    texture->Release();
}

TEST_F(D3DXTextureTest, DefaultPoolTexturesAreMadeDynamicToBeFilled)
{
    Bytes file = Encode(Codec::Png, 4, 2, 4, PicturePixels(4, 1));
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(Load(file, D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_FROM_FILE, &texture, D3DX_FILTER_NONE, D3DX_DEFAULT,
                   D3DPOOL_DEFAULT),
              D3D_OK);
    D3DSURFACE_DESC desc = Desc(texture);
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    EXPECT_NE(desc.Usage & D3DUSAGE_DYNAMIC, 0u);
    EXPECT_EQ(TexelAt(ReadLevel(texture, 0), 4, 2, 0), 0xFF0000FFu);
    texture->Release();

    texture = nullptr;
    EXPECT_EQ(Load(file, D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_FROM_FILE, &texture, D3DX_FILTER_NONE, D3DX_DEFAULT,
                   D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
}

TEST_F(D3DXTextureTest, ShortFormUsesTheDefaults)
{
    Bytes file = Encode(Codec::Png, 5, 3, 3, Bytes(5 * 3 * 3, 90));
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(device, file.data(), static_cast<UINT>(file.size()), &texture), D3D_OK);
    D3DSURFACE_DESC desc = Desc(texture);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_EQ(desc.Height, 4u);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Usage, 0u);
    EXPECT_EQ(texture->GetLevelCount(), 4u);
    // Stretched over the whole texture, not placed at the top left.
    EXPECT_EQ(TexelAt(ReadLevel(texture, 0), 8, 7, 3), 0xFF5A5A5Au);
    texture->Release();
}

TEST_F(D3DXTextureTest, NullArgumentsAndBadFiltersAreInvalidCalls)
{
    Bytes file = Encode(Codec::Png, 2, 2, 3, Bytes(12, 1));
    UINT size = static_cast<UINT>(file.size());
    IDirect3DTexture9* texture = nullptr;
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(nullptr, file.data(), size, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, nullptr, size, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, file.data(), 0, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, file.data(), size, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), size, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(nullptr, size, &info), D3DERR_INVALIDCALL);
    EXPECT_EQ(Load(file, D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_FROM_FILE, &texture, 6), D3DERR_INVALIDCALL);
    EXPECT_EQ(Load(file, D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_FROM_FILE, &texture, D3DX_FILTER_BOX, 0x40000000u),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(Load(file, 100000, 4, 1, D3DFMT_FROM_FILE, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
}

struct DamagedCase {
    const char* name;
    Bytes file;
};

Bytes Cut(const Bytes& file, std::size_t keep)
{
    return Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(std::min(keep, file.size())));
}

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

TEST_F(D3DXTextureTest, BinaryPpmLoadsTopRowFirst)
{
    // Two rows of two pixels: red, green / blue, white; a comment in the header.
    const std::string file = std::string("P6\n# made by hand\n2 2\n255\n") + std::string("\xFF\x00\x00\x00\xFF\x00", 6) +
                             std::string("\x00\x00\xFF\xFF\xFF\xFF", 6);
    const Bytes bytes = Text(file);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, bytes.data(), static_cast<UINT>(bytes.size()), D3DX_FROM_FILE,
                                                  D3DX_FROM_FILE, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                                  D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr, &texture),
              D3D_OK);
    const std::vector<std::uint8_t> texels = ReadLevel(texture, 0);
    texture->Release();
    EXPECT_EQ(TexelAt(texels, 2, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(TexelAt(texels, 2, 1, 0), 0xFF00FF00u);
    EXPECT_EQ(TexelAt(texels, 2, 0, 1), 0xFF0000FFu);
    EXPECT_EQ(TexelAt(texels, 2, 1, 1), 0xFFFFFFFFu);
}

TEST_F(D3DXTextureTest, DamagedImagesAreInvalidData)
{
    Bytes picture = PicturePixels(3, 8);
    Bytes png = Encode(Codec::Png, 32, 16, 3, picture);
    Bytes bmp = Encode(Codec::Bmp, 32, 16, 3, picture);
    Bytes tga = Encode(Codec::TgaRaw, 32, 16, 3, picture);
    Bytes jpg = Encode(Codec::Jpg, 32, 16, 3, picture);
    Bytes zeroWidthBmp = TopDownBmp();
    zeroWidthBmp[18] = 0;
    // Width and height whose product overflows 64-bit arithmetic.
    Bytes hugeBmp = TopDownBmp();
    for (int i = 0; i < 4; ++i) {
        hugeBmp[18 + i] = i == 3 ? 0x7F : 0xFF;
        hugeBmp[22 + i] = i == 3 ? 0x7F : 0xFF;
    }
    // A compression code that is negative as a signed number, which stb would take for plain pixels.
    Bytes oddCompressionBmp = TopDownBmp();
    oddCompressionBmp[33] = 0xFA;
    // A Huffman table of 300 codes (a table holds 256 at most) put before the file's own tables.
    Bytes oversizeHuffman(jpg.begin(), jpg.begin() + 2);
    const Bytes table = [] {
        Bytes t = {0xFF, 0xC4, 0x01, 0x3F, 0x00};
        for (int i = 0; i < 16; ++i)
            t.push_back(i == 14 ? 45 : (i == 15 ? 255 : 0));
        t.insert(t.end(), 300, 0x01);
        return t;
    }();
    oversizeHuffman.insert(oversizeHuffman.end(), table.begin(), table.end());
    oversizeHuffman.insert(oversizeHuffman.end(), jpg.begin() + 2, jpg.end());
    Bytes hugeTga = TopOriginTga();
    hugeTga[12] = hugeTga[13] = hugeTga[14] = hugeTga[15] = 0xFF;
    std::string text = "this is not an image at all";
    const DamagedCase cases[] = {
        {"PNG cut in half", Cut(png, png.size() / 2)},
        {"PNG signature alone", Cut(png, 8)},
        {"PNG with its data scrambled", [&png] {
             Bytes bad = png;
             for (std::size_t i = 40; i < bad.size() - 12; ++i) {
                 bad[i] ^= 0x5A;
             }
             return bad;
         }()},
        {"BMP cut short", Cut(bmp, bmp.size() - 10)},
        {"BMP header alone", Cut(bmp, 20)},
        {"BMP of zero width", zeroWidthBmp},
        {"BMP of 2^31 x 2^31 pixels", hugeBmp},
        {"BMP of compression 0xFA000000", oddCompressionBmp},
        {"TGA cut short", Cut(tga, tga.size() - 1)},
        {"TGA larger than its data", hugeTga},
        {"JPEG cut short", Cut(jpg, jpg.size() / 2)},
        {"JPEG with a Huffman table of 300 codes", oversizeHuffman},
        {"JPEG whose table segment runs past the end", [&jpg] {
             Bytes bad(jpg.begin(), jpg.begin() + 2);
             const Bytes segment = {0xFF, 0xC4, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xD9};
             bad.insert(bad.end(), segment.begin(), segment.end());
             return bad;
         }()},
        {"text", Bytes(text.begin(), text.end())},
        {"PPM with a width of ten digits", Text("P6\n6666666666 2\n255\n" + std::string(64, '6'))},
        {"PPM cut short", Text("P6\n# a comment\n4 4\n255\n" + std::string(47, 'x'))},
        {"PPM of largest value 0", Text("P5 2 2 0 " + std::string(4, 'x'))},
        {"PPM of 16-bit samples", Text("P6\n4 2\n256\n" + std::string(48, 'z'))},
        {"GIF", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}},
        {"zeros", Bytes(64, 0)},
        {"one byte", {0x89}},
    };
    for (const DamagedCase& c : cases) {
        SCOPED_TRACE(c.name);
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(Load(c.file, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_FROM_FILE, &texture), D3DXERR_INVALIDDATA);
        EXPECT_EQ(texture, nullptr);
        D3DXIMAGE_INFO info{};
        EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(c.file.data(), static_cast<UINT>(c.file.size()), &info),
                  D3DXERR_INVALIDDATA);
    }
}

TEST_F(D3DXTextureTest, EveryTruncationOfAnImageIsInvalidData)
{
    Bytes picture = PicturePixels(4, 2);
    const std::pair<const char*, Bytes> files[] = {
        {"PNG", Encode(Codec::Png, 8, 4, 4, picture)},
        {"BMP", Encode(Codec::Bmp, 8, 4, 4, picture)},
        {"TGA run-length", Encode(Codec::Tga, 8, 4, 4, picture)},
        {"TGA uncompressed", Encode(Codec::TgaRaw, 8, 4, 4, picture)},
        {"JPEG", Encode(Codec::Jpg, 8, 4, 4, picture)},
    };
    for (const auto& [name, file] : files) {
        SCOPED_TRACE(name);
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(file.size()), &info), D3D_OK);
        for (std::size_t keep = 1; keep < file.size(); ++keep) {
            Bytes cut = Cut(file, keep);
            ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(cut.data(), static_cast<UINT>(cut.size()), &info),
                      D3DXERR_INVALIDDATA)
                << keep << " of " << file.size() << " bytes";
        }
    }
}

// Every single-bit change in the first bytes of each kind of file loads, or is refused cleanly.
TEST_F(D3DXTextureTest, FlippedHeaderBitsLoadOrFailCleanly)
{
    Bytes picture = PicturePixels(4, 2);
    Bytes dds;
    PutArgb(dds, 0xFF00FF00u, 8 * 4 + 4 * 2 + 2 + 1);
    DdsHeaderFields fields;
    fields.width = 8;
    fields.height = 4;
    fields.mipCount = 4;
    const std::pair<const char*, Bytes> files[] = {
        {"PNG", Encode(Codec::Png, 8, 4, 4, picture)},      {"BMP", Encode(Codec::Bmp, 8, 4, 3, picture)},
        {"TGA", Encode(Codec::Tga, 8, 4, 4, picture)},      {"JPEG", Encode(Codec::Jpg, 8, 4, 3, picture)},
        {"TGA raw", Encode(Codec::TgaRaw, 8, 4, 3, picture)}, {"DDS", MakeDds(fields, dds)},
    };
    for (const auto& [name, file] : files) {
        SCOPED_TRACE(name);
        for (std::size_t at = 0; at < std::min<std::size_t>(file.size(), 128); ++at) {
            for (int bit = 0; bit < 8; ++bit) {
                Bytes changed = file;
                changed[at] ^= static_cast<std::uint8_t>(1 << bit);
                IDirect3DTexture9* texture = nullptr;
                HRESULT hr = Load(changed, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_FROM_FILE, &texture);
                EXPECT_TRUE(hr == D3D_OK || hr == D3DXERR_INVALIDDATA || hr == D3DERR_INVALIDCALL)
                    << "byte " << at << " bit " << bit << ": " << std::hex << hr;
                EXPECT_EQ(hr == D3D_OK, texture != nullptr);
                if (texture != nullptr) {
                    texture->Release();
                }
            }
        }
    }
}

} // namespace

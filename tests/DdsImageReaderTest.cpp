#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "D3DXTextureTestSupport.h"
#include "d3dx9/DdsImageReader.h"
#include "d3dx9/D3DXTexels.h"

namespace {

class DdsImageReaderTest : public D3DXTextureFixture {
protected:
    IDirect3DTexture9* Load(const std::vector<std::uint8_t>& file, UINT mipLevels, D3DFORMAT format = D3DFMT_FROM_FILE)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT,
                                                      D3DX_DEFAULT, mipLevels, 0, format, D3DPOOL_MANAGED,
                                                      D3DX_FILTER_NONE, D3DX_FILTER_BOX, 0, nullptr, nullptr,
                                                      &texture),
                  D3D_OK);
        return texture;
    }
};

// 4x4, 2x2 and 1x1 levels, each filled with its own colour.
std::vector<std::uint8_t> ThreeLevelArgb()
{
    std::vector<std::uint8_t> payload;
    PutArgb(payload, 0xFF102030u, 16);
    PutArgb(payload, 0x80405060u, 4);
    PutArgb(payload, 0x01708090u, 1);
    return payload;
}

TEST_F(DdsImageReaderTest, FileMipLevelsAreKeptExactly)
{
    DdsHeaderFields fields;
    fields.mipCount = 3;
    std::vector<std::uint8_t> payload = ThreeLevelArgb();
    std::vector<std::uint8_t> file = MakeDds(fields, payload);
    for (UINT mipLevels : {0u, D3DX_DEFAULT, D3DX_FROM_FILE}) {
        SCOPED_TRACE(mipLevels);
        IDirect3DTexture9* texture = Load(file, mipLevels);
        ASSERT_NE(texture, nullptr);
        ASSERT_EQ(texture->GetLevelCount(), 3u);
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
        std::vector<std::uint8_t> all;
        for (UINT level = 0; level < 3; ++level) {
            std::vector<std::uint8_t> bytes = ReadLevel(texture, level);
            all.insert(all.end(), bytes.begin(), bytes.end());
        }
        EXPECT_EQ(all, payload);
        texture->Release();
    }
}

TEST_F(DdsImageReaderTest, MissingLevelsAreGeneratedFromTheLastFileLevel)
{
    // 8x8 file with two levels: the third and fourth are box-filtered from the 4x4 one.
    DdsHeaderFields fields;
    fields.width = fields.height = 8;
    fields.mipCount = 2;
    std::vector<std::uint8_t> payload;
    PutArgb(payload, 0xFFFFFFFFu, 64);
    for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 4; ++x) {
            PutArgb(payload, (x + y) % 2 == 0 ? 0xFF000000u : 0xFFFF0000u);
        }
    }
    IDirect3DTexture9* texture = Load(MakeDds(fields, payload), 0);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    std::vector<std::uint8_t> level2 = ReadLevel(texture, 2);
    for (UINT i = 0; i < 4; ++i) {
        EXPECT_EQ(TexelAt(level2, 2, i % 2, i / 2), 0xFF800000u); // half red, from the checker
    }
    EXPECT_EQ(TexelAt(ReadLevel(texture, 3), 1, 0, 0), 0xFF800000u);
    texture->Release();
}

struct FormatCase {
    const char* name;
    DdsHeaderFields fields;
    D3DFORMAT format;
    UINT texelBytes;
};

DdsHeaderFields Uncompressed(DWORD flags, DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a)
{
    DdsHeaderFields fields;
    fields.pixelFlags = flags;
    fields.bits = bits;
    fields.masks[0] = r;
    fields.masks[1] = g;
    fields.masks[2] = b;
    fields.masks[3] = a;
    return fields;
}

TEST_F(DdsImageReaderTest, EachPixelFormatLoadsItsBytesUnchanged)
{
    const FormatCase cases[] = {
        {"A8R8G8B8", Uncompressed(0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u), D3DFMT_A8R8G8B8, 4},
        {"X8R8G8B8", Uncompressed(0x40, 32, 0xFF0000, 0xFF00, 0xFF, 0), D3DFMT_X8R8G8B8, 4},
        {"L8", Uncompressed(0x20000, 8, 0xFF, 0, 0, 0), D3DFMT_L8, 1},
        {"A16B16G16R16F", DdsFourCC(D3DFMT_A16B16G16R16F), D3DFMT_A16B16G16R16F, 8},
        {"DXT1", DdsFourCC(D3DFMT_DXT1), D3DFMT_DXT1, 0},
        {"DXT3", DdsFourCC(D3DFMT_DXT3), D3DFMT_DXT3, 0},
        {"DXT5", DdsFourCC(D3DFMT_DXT5), D3DFMT_DXT5, 0},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        DdsHeaderFields fields = c.fields;
        fields.width = 8;
        fields.height = 4;
        std::size_t size = static_cast<std::size_t>(D3DFormatLevelSize(c.format, 8, 4));
        std::vector<std::uint8_t> payload(size);
        for (std::size_t i = 0; i < size; ++i) {
            payload[i] = static_cast<std::uint8_t>(i * 7 + 3);
        }
        D3DXIMAGE_INFO info{};
        std::vector<std::uint8_t> file = MakeDds(fields, payload);
        ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(file.size()), &info), D3D_OK);
        EXPECT_EQ(info.Format, c.format);
        EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
        EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
        EXPECT_EQ(info.Width, 8u);
        EXPECT_EQ(info.Height, 4u);
        IDirect3DTexture9* texture = Load(file, D3DX_FROM_FILE);
        ASSERT_NE(texture, nullptr);
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Format, c.format);
        // X8R8G8B8 keeps the unused byte as the file had it: the bytes are copied, not converted.
        EXPECT_EQ(ReadLevel(texture, 0), payload);
        texture->Release();
    }
}

// Two DXT1 blocks side by side: solid red (four-colour block) and one with transparent texels.
std::vector<std::uint8_t> DxtBlocks()
{
    return {0x00, 0xF8, 0x00, 0xF8, 0x00, 0x00, 0x00, 0x00,  // c0 = c1 = red, all index 0
            0x1F, 0x00, 0xE0, 0x07, 0xFF, 0xFF, 0xFF, 0xFF}; // c0 = blue <= c1 = green: three colours, index 3 clear
}

TEST_F(DdsImageReaderTest, Dxt1DecodesWhenAnotherFormatIsAsked)
{
    DdsHeaderFields fields = DdsFourCC(D3DFMT_DXT1);
    fields.width = 8;
    fields.height = 4;
    IDirect3DTexture9* texture = Load(MakeDds(fields, DxtBlocks()), 1, D3DFMT_A8R8G8B8);
    ASSERT_NE(texture, nullptr);
    std::vector<std::uint8_t> texels = ReadLevel(texture, 0);
    EXPECT_EQ(TexelAt(texels, 8, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(TexelAt(texels, 8, 3, 3), 0xFFFF0000u);
    EXPECT_EQ(TexelAt(texels, 8, 4, 0), 0x00000000u);
    EXPECT_EQ(TexelAt(texels, 8, 7, 3), 0x00000000u);
    texture->Release();
}

TEST_F(DdsImageReaderTest, Dxt1MipLevelsAreMadeInTheSameFormat)
{
    DdsHeaderFields fields = DdsFourCC(D3DFMT_DXT1);
    fields.width = 4;
    fields.height = 4;
    std::vector<std::uint8_t> blocks = DxtBlocks();
    std::vector<std::uint8_t> red(blocks.begin(), blocks.begin() + 8);
    IDirect3DTexture9* texture = Load(MakeDds(fields, red), 0);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    EXPECT_EQ(ReadLevel(texture, 0), red);
    for (UINT level = 1; level < 3; ++level) {
        std::vector<std::uint8_t> block = ReadLevel(texture, level);
        ASSERT_EQ(block.size(), 8u);
        UINT size = 4 >> level;
        std::vector<float> rgba = D3DXTexelsToRgba(D3DFMT_DXT1, block.data(), size, size);
        for (UINT i = 0; i < size * size; ++i) {
            EXPECT_FLOAT_EQ(rgba[i * 4 + 0], 1.0f);
            EXPECT_FLOAT_EQ(rgba[i * 4 + 1], 0.0f);
            EXPECT_FLOAT_EQ(rgba[i * 4 + 2], 0.0f);
            EXPECT_FLOAT_EQ(rgba[i * 4 + 3], 1.0f);
        }
    }
    texture->Release();
}

DdsHeaderFields CubeFields(UINT edge, UINT mipCount)
{
    DdsHeaderFields fields;
    fields.width = fields.height = edge;
    fields.mipCount = mipCount;
    fields.caps2 = 0x200 | 0xFC00;
    return fields;
}

const D3DCOLOR kFaceColours[6] = {0xFFFF0000u, 0xFF00FFFFu, 0xFF00FF00u, 0xFFFF00FFu, 0xFF0000FFu, 0xFFFFFF00u};

std::vector<std::uint8_t> CubePayload(UINT edge, UINT levels)
{
    std::vector<std::uint8_t> payload;
    for (D3DCOLOR colour : kFaceColours) {
        for (UINT level = 0; level < levels; ++level) {
            UINT size = D3DMipExtent(edge, level);
            PutArgb(payload, colour - level, size * size);
        }
    }
    return payload;
}

TEST_F(DdsImageReaderTest, CubeMapFacesLoadInFileOrder)
{
    std::vector<std::uint8_t> file = MakeDds(CubeFields(4, 3), CubePayload(4, 3));
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(D3DXCreateCubeTextureFromFileInMemory(device, file.data(), static_cast<UINT>(file.size()), &cube),
              D3D_OK);
    ASSERT_NE(cube, nullptr);
    ASSERT_EQ(cube->GetLevelCount(), 3u);
    for (UINT face = 0; face < 6; ++face) {
        for (UINT level = 0; level < 3; ++level) {
            SCOPED_TRACE(face * 10 + level);
            std::vector<std::uint8_t> texels = ReadFace(cube, static_cast<D3DCUBEMAP_FACES>(face), level);
            UINT size = 4 >> level;
            EXPECT_EQ(TexelAt(texels, size, 0, 0), kFaceColours[face] - level);
            EXPECT_EQ(TexelAt(texels, size, size - 1, size - 1), kFaceColours[face] - level);
        }
    }
    cube->Release();

    // As a 2D texture the cube map gives its +X face; its info says what the file holds.
    D3DXIMAGE_INFO info{};
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT,
                                                  D3DX_DEFAULT, 1, 0, D3DFMT_FROM_FILE, D3DPOOL_MANAGED,
                                                  D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &texture),
              D3D_OK);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_CUBETEXTURE);
    EXPECT_EQ(info.MipLevels, 3u);
    EXPECT_EQ(TexelAt(ReadLevel(texture, 0), 4, 2, 2), kFaceColours[0]);
    texture->Release();
}

TEST_F(DdsImageReaderTest, CubeLoaderRefusesImagesThatAreNotCubeMaps)
{
    std::vector<std::uint8_t> payload;
    PutArgb(payload, 0xFF000000u, 16);
    std::vector<std::uint8_t> flat = MakeDds(DdsHeaderFields{}, payload);
    IDirect3DCubeTexture9* cube = nullptr;
    EXPECT_EQ(D3DXCreateCubeTextureFromFileInMemory(device, flat.data(), static_cast<UINT>(flat.size()), &cube),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(cube, nullptr);
    EXPECT_EQ(D3DXCreateCubeTextureFromFileInMemory(nullptr, flat.data(), static_cast<UINT>(flat.size()), &cube),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateCubeTextureFromFileInMemory(device, flat.data(), static_cast<UINT>(flat.size()), nullptr),
              D3DERR_INVALIDCALL);
}

DdsHeaderFields VolumeFields(DdsHeaderFields fields, UINT width, UINT height, UINT depth, UINT mipCount)
{
    fields.width = width;
    fields.height = height;
    fields.depth = depth;
    fields.mipCount = mipCount;
    fields.caps2 = 0x200000;
    return fields;
}

struct VolumeCase {
    const char* name;
    DdsHeaderFields fields;
    D3DFORMAT format;
    bool held = true; // false: the devices hold no volume of this format
};

TEST_F(DdsImageReaderTest, VolumeMapSlicesAndLevelsLoadInFileOrder)
{
    const VolumeCase cases[] = {
        {"A8R8G8B8 4x4x4, three levels", VolumeFields(DdsHeaderFields{}, 4, 4, 4, 3), D3DFMT_A8R8G8B8},
        {"L8 8x4x2, one level", VolumeFields(Uncompressed(0x20000, 8, 0xFF, 0, 0, 0), 8, 4, 2, 1), D3DFMT_L8},
        {"L8 2x4x8, four levels", VolumeFields(Uncompressed(0x20000, 8, 0xFF, 0, 0, 0), 2, 4, 8, 4), D3DFMT_L8},
        // Described from its header, but no device of ours holds a block-compressed volume.
        {"DXT5 4x8x3, two levels", VolumeFields(DdsFourCC(D3DFMT_DXT5), 4, 8, 3, 2), D3DFMT_DXT5, false},
    };
    for (const VolumeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const DdsHeaderFields& f = c.fields;
        // Every byte different, so that a slice or row out of place shows.
        std::vector<std::vector<std::uint8_t>> levels;
        std::vector<std::uint8_t> payload;
        for (UINT level = 0; level < f.mipCount; ++level) {
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(D3DFormatLevelSize(
                c.format, D3DMipExtent(f.width, level), D3DMipExtent(f.height, level), D3DMipExtent(f.depth, level))));
            for (std::uint8_t& b : bytes) {
                b = static_cast<std::uint8_t>(payload.size() * 7 + 3);
                payload.push_back(b);
            }
            levels.push_back(bytes);
        }
        std::vector<std::uint8_t> file = MakeDds(f, payload);
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(file.size()), &info), D3D_OK);
        EXPECT_EQ(info.ResourceType, D3DRTYPE_VOLUMETEXTURE);
        EXPECT_EQ(info.Depth, f.depth);
        EXPECT_EQ(info.MipLevels, f.mipCount);
        EXPECT_EQ(info.Format, c.format);

        IDirect3DVolumeTexture9* volume = nullptr;
        ASSERT_EQ(D3DXCreateVolumeTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()),
                                                            D3DX_FROM_FILE, D3DX_FROM_FILE, D3DX_FROM_FILE,
                                                            D3DX_FROM_FILE, 0, D3DFMT_FROM_FILE, D3DPOOL_MANAGED,
                                                            D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr,
                                                            &volume),
                  c.held ? D3D_OK : D3DERR_NOTAVAILABLE);
        if (!c.held) {
            EXPECT_EQ(volume, nullptr);
            continue;
        }
        ASSERT_EQ(volume->GetLevelCount(), f.mipCount);
        for (UINT level = 0; level < f.mipCount; ++level) {
            SCOPED_TRACE(level);
            D3DVOLUME_DESC desc{};
            ASSERT_EQ(volume->GetLevelDesc(level, &desc), D3D_OK);
            EXPECT_EQ(desc.Format, c.format);
            EXPECT_EQ(desc.Depth, D3DMipExtent(f.depth, level));
            EXPECT_EQ(ReadVolumeLevel(volume, level), levels[level]);
        }
        volume->Release();
    }
}

// 2x2x2 A8R8G8B8: the front slice black, the back slice white.
std::vector<std::uint8_t> BlackWhiteVolume()
{
    std::vector<std::uint8_t> payload;
    PutArgb(payload, 0xFF000000u, 4);
    PutArgb(payload, 0xFFFFFFFFu, 4);
    return MakeDds(VolumeFields(DdsHeaderFields{}, 2, 2, 2, 1), payload);
}

TEST_F(DdsImageReaderTest, VolumeLevelsAndDepthsAreMadeInThreeDimensions)
{
    std::vector<std::uint8_t> file = BlackWhiteVolume();
    IDirect3DVolumeTexture9* volume = nullptr;
    ASSERT_EQ(D3DXCreateVolumeTextureFromFileInMemory(device, file.data(), static_cast<UINT>(file.size()), &volume),
              D3D_OK);
    ASSERT_EQ(volume->GetLevelCount(), 2u);
    // The 1x1x1 level averages both slices.
    EXPECT_EQ(TexelAt(ReadVolumeLevel(volume, 1), 1, 0, 0), 0xFF808080u);
    volume->Release();

    // Four slices by point sampling: each file slice twice, front to back.
    ASSERT_EQ(D3DXCreateVolumeTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), 2, 2, 4,
                                                        1, 0, D3DFMT_FROM_FILE, D3DPOOL_MANAGED, D3DX_FILTER_POINT,
                                                        D3DX_DEFAULT, 0, nullptr, nullptr, &volume),
              D3D_OK);
    std::vector<std::uint8_t> slices = ReadVolumeLevel(volume, 0);
    ASSERT_EQ(slices.size(), 2u * 2u * 4u * 4u);
    const D3DCOLOR expected[4] = {0xFF000000u, 0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu};
    for (UINT z = 0; z < 4; ++z) {
        EXPECT_EQ(TexelAt(slices, 2, 1, 2 * z + 1), expected[z]) << z; // slice z is rows 2z, 2z + 1
    }
    volume->Release();

    // Converted to L8 on the way: black and white luminance.
    ASSERT_EQ(D3DXCreateVolumeTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()),
                                                        D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_L8,
                                                        D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                                        nullptr, &volume),
              D3D_OK);
    EXPECT_EQ(ReadVolumeLevel(volume, 0), (std::vector<std::uint8_t>{0, 0, 0, 0, 255, 255, 255, 255}));
    volume->Release();
}

TEST_F(DdsImageReaderTest, VolumeAndFlatLoadersTakeOnlyWhatFitsThem)
{
    std::vector<std::uint8_t> volumeFile = BlackWhiteVolume();
    UINT volumeSize = static_cast<UINT>(volumeFile.size());
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, volumeFile.data(), volumeSize, &texture), D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture, nullptr);
    IDirect3DCubeTexture9* cube = nullptr;
    EXPECT_EQ(D3DXCreateCubeTextureFromFileInMemory(device, volumeFile.data(), volumeSize, &cube),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(cube, nullptr);

    IDirect3DVolumeTexture9* volume = nullptr;
    std::vector<std::uint8_t> cubeFile = MakeDds(CubeFields(4, 1), CubePayload(4, 1));
    EXPECT_EQ(D3DXCreateVolumeTextureFromFileInMemory(device, cubeFile.data(), static_cast<UINT>(cubeFile.size()),
                                                      &volume),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(volume, nullptr);
    EXPECT_EQ(D3DXCreateVolumeTextureFromFileInMemory(nullptr, volumeFile.data(), volumeSize, &volume),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateVolumeTextureFromFileInMemory(device, volumeFile.data(), volumeSize, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateVolumeTextureFromFileInMemory(device, nullptr, volumeSize, &volume), D3DERR_INVALIDCALL);

    // A flat image is a volume of one slice.
    std::vector<std::uint8_t> payload;
    PutArgb(payload, 0x80102030u, 16);
    std::vector<std::uint8_t> flat = MakeDds(DdsHeaderFields{}, payload);
    ASSERT_EQ(D3DXCreateVolumeTextureFromFileInMemory(device, flat.data(), static_cast<UINT>(flat.size()), &volume),
              D3D_OK);
    D3DVOLUME_DESC desc{};
    ASSERT_EQ(volume->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Depth, 1u);
    EXPECT_EQ(ReadVolumeLevel(volume, 0), payload);
    volume->Release();
}

struct DamagedCase {
    const char* name;
    std::vector<std::uint8_t> file;
};

std::vector<DamagedCase> DamagedFiles()
{
    std::vector<std::uint8_t> payload;
    PutArgb(payload, 0xFF000000u, 16);
    auto with = [&payload](auto change) {
        DdsHeaderFields fields;
        change(fields);
        return MakeDds(fields, payload);
    };
    std::vector<std::uint8_t> good = MakeDds(DdsHeaderFields{}, payload);
    std::vector<std::uint8_t> shortByOne(good.begin(), good.end() - 1);
    std::vector<std::uint8_t> headerOnly(good.begin(), good.begin() + 100);
    std::vector<std::uint8_t> cubeShort = MakeDds(CubeFields(4, 1), std::vector<std::uint8_t>(64 * 5));
    std::vector<std::uint8_t> volumeShort =
        MakeDds(VolumeFields(DdsHeaderFields{}, 4, 4, 4, 1), std::vector<std::uint8_t>(64 * 3));
    DdsHeaderFields cubeVolume = CubeFields(4, 1);
    cubeVolume.depth = 4;
    cubeVolume.caps2 |= 0x200000;
    DdsHeaderFields deepVolume = VolumeFields(DdsHeaderFields{}, 4, 4, 0x40000000u, 1);
    DdsHeaderFields partialCube = CubeFields(4, 1);
    partialCube.caps2 = 0x200 | 0x400 | 0x800;
    return {
        {"truncated data", shortByOne},
        {"truncated header", headerOnly},
        {"magic alone", {'D', 'D', 'S', ' '}},
        {"header size", with([](DdsHeaderFields& f) { f.headerSize = 120; })},
        {"pixel format size", with([](DdsHeaderFields& f) { f.pixelFormatSize = 0; })},
        {"zero width", with([](DdsHeaderFields& f) { f.width = 0; })},
        {"zero height", with([](DdsHeaderFields& f) { f.height = 0; })},
        {"absurd width", with([](DdsHeaderFields& f) { f.width = 0x40000000u; })},
        {"size larger than the data", with([](DdsHeaderFields& f) { f.width = f.height = 16384; })},
        {"more mip levels than the size allows", with([](DdsHeaderFields& f) { f.mipCount = 4; })},
        {"mip levels beyond the data", with([](DdsHeaderFields& f) { f.mipCount = 3; })},
        {"unknown four-character code",
         with([](DdsHeaderFields& f) { f = DdsFourCC(MAKEFOURCC('A', 'B', 'C', 'D')); })},
        {"24-bit masks", with([](DdsHeaderFields& f) { f.bits = 24; })},
        {"cube map short of a face", cubeShort},
        {"cube map with three faces", MakeDds(partialCube, std::vector<std::uint8_t>(64 * 6))},
        {"volume map short of a slice", volumeShort},
        {"volume and cube map at once", MakeDds(cubeVolume, std::vector<std::uint8_t>(64 * 6 * 4))},
        {"absurd depth", MakeDds(deepVolume, payload)},
        {"more mip levels than the depth allows",
         MakeDds(VolumeFields(DdsHeaderFields{}, 1, 1, 2, 3), std::vector<std::uint8_t>(64))},
    };
}

TEST_F(DdsImageReaderTest, DamagedFilesAreInvalidData)
{
    for (const DamagedCase& c : DamagedFiles()) {
        SCOPED_TRACE(c.name);
        D3DXImage image;
        EXPECT_EQ(ReadDdsImage(c.file.data(), static_cast<UINT>(c.file.size()), image), D3DXERR_INVALIDDATA);
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, c.file.data(), static_cast<UINT>(c.file.size()),
                                                      D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_FROM_FILE,
                                                      D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                                      nullptr, &texture),
                  D3DXERR_INVALIDDATA);
        EXPECT_EQ(texture, nullptr);
    }
}

TEST_F(DdsImageReaderTest, EveryTruncationIsInvalidData)
{
    const std::vector<std::uint8_t> files[] = {
        MakeDds(CubeFields(4, 3), CubePayload(4, 3)),
        MakeDds(VolumeFields(DdsHeaderFields{}, 4, 2, 4, 3), std::vector<std::uint8_t>((32 + 4 + 1) * 4)),
    };
    for (const std::vector<std::uint8_t>& file : files) {
        D3DXImage image;
        ASSERT_EQ(ReadDdsImage(file.data(), static_cast<UINT>(file.size()), image), D3D_OK);
        for (std::size_t keep = 0; keep < file.size(); ++keep) {
            ASSERT_EQ(ReadDdsImage(file.data(), static_cast<UINT>(keep), image), D3DXERR_INVALIDDATA) << keep;
        }
    }
}

} // namespace

// The formats of the GL device: what a program writes into a locked texel is what its shaders
// sample, as Direct3D defines the format; IDirect3D9's format answers and the device's creation
// calls agree; and generated mip chains follow their top level.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "GLTestDevice.h"
#include "d3d9/D3DFormatInfo.h"
#include "d3d9/gl/GLFormat.h"

namespace {

// Pixel i of a 24 x 1 row writes SAMPLE with `lookup` = lookups[i].
const char* kLookupPS = R"(
uniform SAMPLER image;
uniform vec3 lookups[24];
out vec4 COLOR0;
void main()
{
    vec3 lookup = lookups[int(gl_FragCoord.x)];
    COLOR0 = SAMPLE;
})";

class GLDeviceFormatsTest : public GLTestDevice {
protected:
    // The 24 pixels of a row whose pixel i samples `texture` through `sample` at lookups[i].
    std::vector<std::uint32_t> SampleRow(IDirect3DBaseTexture9* texture, const char* sampler, const char* sample,
                                         const std::vector<float>& lookups)
    {
        std::string source = kLookupPS;
        source.replace(source.find("SAMPLER"), 7, sampler);
        source.replace(source.find("SAMPLE;"), 6, sample);
        std::vector<float> all(lookups);
        all.resize(72, 0.f);
        IDirect3DSurface9* row = nullptr;
        EXPECT_EQ(device->CreateRenderTarget(24, 1, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &row, nullptr),
                  D3D_OK);
        if (row == nullptr)
            return {};
        Own(row);
        EXPECT_EQ(device->SetRenderTarget(0, row), D3D_OK);
        EXPECT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK);
        EXPECT_EQ(device->SetVertexShader(VertexShader(kColourVS)), D3D_OK);
        EXPECT_EQ(device->SetPixelShader(PixelShader(source.c_str())), D3D_OK);
        EXPECT_EQ(device->SetVertexDeclaration(colourDecl), D3D_OK);
        EXPECT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
        EXPECT_EQ(device->SetTexture(0, texture), D3D_OK);
        EXPECT_EQ(device->SetUniformF("lookups", all.data(), 72), D3D_OK);
        DrawRect(0, 0, 24, 1, 0);
        EXPECT_EQ(device->SetTexture(0, nullptr), D3D_OK);
        return ReadTarget(row);
    }
};

// An n-bit channel as Direct3D reads it, in 8 bits.
std::uint32_t Widen(std::uint32_t value, std::uint32_t bits)
{
    const std::uint32_t max = (1u << bits) - 1;
    return (value * 255 + max / 2) / max;
}

// The colour Direct3D samples from a 16-bit texel of `format`.
D3DCOLOR Decode16(D3DFORMAT format, std::uint16_t w)
{
    switch (format) {
    case D3DFMT_R5G6B5:
        return D3DCOLOR_ARGB(255, Widen(w >> 11, 5), Widen((w >> 5) & 63, 6), Widen(w & 31, 5));
    case D3DFMT_X1R5G5B5:
        return D3DCOLOR_ARGB(255, Widen((w >> 10) & 31, 5), Widen((w >> 5) & 31, 5), Widen(w & 31, 5));
    case D3DFMT_A1R5G5B5:
        return D3DCOLOR_ARGB(w >> 15 ? 255 : 0, Widen((w >> 10) & 31, 5), Widen((w >> 5) & 31, 5), Widen(w & 31, 5));
    case D3DFMT_A4R4G4B4:
        return D3DCOLOR_ARGB(Widen(w >> 12, 4), Widen((w >> 8) & 15, 4), Widen((w >> 4) & 15, 4), Widen(w & 15, 4));
    default:
        return 0;
    }
}

// Whether every channel of two colours lies within one step of 8 bits.
bool Near(D3DCOLOR a, D3DCOLOR b)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 1)
            return false;
    return true;
}

// 4 x 4 texels: each channel runs through its range, alpha bits alternate (x ^ y), so a channel
// read from the wrong bits shows.
std::uint16_t Word(D3DFORMAT format, int x, int y)
{
    const unsigned i = static_cast<unsigned>(y * 4 + x);
    const unsigned a = static_cast<unsigned>((x ^ y) & 1);
    switch (format) {
    case D3DFMT_R5G6B5:
        return static_cast<std::uint16_t>((i * 2) << 11 | (63 - i * 4) << 5 | (i * 7 % 32));
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        return static_cast<std::uint16_t>(a << 15 | (i * 2) << 10 | (31 - i * 2) << 5 | (i * 7 % 32));
    default: // A4R4G4B4
        return static_cast<std::uint16_t>((a ? 15 - i : i) << 12 | i << 8 | (15 - i) << 4 | (i * 5 % 16));
    }
}

constexpr D3DFORMAT kSixteenBitFormats[] = {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4};

// A texel written through LockRect or LockBox reads back through another lock and samples in a
// shader as Direct3D defines its format: A1R5G5B5 has alpha in bit 15 and red in bits 14..10, the
// X formats read alpha 1 whatever their top bit holds.
TEST_F(GLDeviceFormatsTest, SixteenBitTexelsSampleAsDirect3DDefinesThem)
{
    ASSERT_EQ(device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT), D3D_OK);
    ASSERT_EQ(device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT), D3D_OK);
    for (D3DFORMAT format : kSixteenBitFormats) {
        SCOPED_TRACE(FindD3DFormatInfo(format)->name);
        std::vector<float> lookups;
        std::vector<D3DCOLOR> expected;
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                lookups.insert(lookups.end(), {(x + 0.5f) / 4, (y + 0.5f) / 4, 0.75f});
                expected.push_back(Decode16(format, Word(format, x, y)));
            }
        }

        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        Own(texture);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const std::uint16_t w = Word(format, x, y);
                std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch + x * 2, &w, 2);
            }
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                std::uint16_t w = 0;
                std::memcpy(&w, static_cast<const std::uint8_t*>(locked.pBits) + y * locked.Pitch + x * 2, 2);
                EXPECT_EQ(w, Word(format, x, y)) << "texel " << x << ", " << y;
            }
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        std::vector<std::uint32_t> sampled = SampleRow(texture, "sampler2D", "texture(image, lookup.xy)", lookups);
        ASSERT_EQ(sampled.size(), 24u);
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_TRUE(Near(sampled[i], expected[i]))
                << "2D texel " << i << ": sampled " << std::hex << sampled[i] << ", Direct3D reads " << expected[i];

        // The same texels in the second slice of a volume.
        IDirect3DVolumeTexture9* volume = nullptr;
        ASSERT_EQ(device->CreateVolumeTexture(4, 4, 2, 1, 0, format, D3DPOOL_MANAGED, &volume, nullptr), D3D_OK);
        Own(volume);
        D3DLOCKED_BOX box{};
        ASSERT_EQ(volume->LockBox(0, &box, nullptr, 0), D3D_OK);
        std::memset(box.pBits, 0, static_cast<size_t>(box.SlicePitch) * 2);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const std::uint16_t w = Word(format, x, y);
                std::memcpy(static_cast<std::uint8_t*>(box.pBits) + box.SlicePitch + y * box.RowPitch + x * 2, &w, 2);
            }
        ASSERT_EQ(volume->UnlockBox(0), D3D_OK);
        sampled = SampleRow(volume, "sampler3D", "texture(image, lookup)", lookups);
        ASSERT_EQ(sampled.size(), 24u);
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_TRUE(Near(sampled[i], expected[i]))
                << "volume texel " << i << ": sampled " << std::hex << sampled[i] << ", Direct3D reads " << expected[i];
    }
}

// L8 with D3DUSAGE_AUTOGENMIPMAP: the texture shows one level, and its lower levels, sampled
// through a mip filter, are the averages of what was last written into it.
TEST_F(GLDeviceFormatsTest, AGeneratedL8ChainFollowsItsTopLevel)
{
    ASSERT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_AUTOGENMIPMAP, D3DRTYPE_TEXTURE,
                                     D3DFMT_L8),
              D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 16, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_L8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    Own(texture);
    ASSERT_EQ(texture->GetLevelCount(), 1u);
    for (D3DSAMPLERSTATETYPE filter : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER})
        ASSERT_EQ(device->SetSamplerState(0, filter, D3DTEXF_POINT), D3D_OK);
    // Level 4 is one texel: the mean of level 0. Level 2 is 4 x 4: each texel the mean of a 4 x 4 block.
    const std::vector<float> lookups = {0.5f, 0.5f, 4.f, 0.125f, 0.125f, 2.f, 0.875f, 0.875f, 2.f, 0.03f, 0.03f, 0.f};
    const char* sample = "textureLod(image, lookup.xy, lookup.z)";

    // Left half 255, right half 51, then all 0: the chain follows each write.
    struct Write {
        std::uint8_t left, right;
        unsigned mean;
    };
    for (const Write& write : {Write{255, 51, 153}, Write{0, 0, 0}, Write{200, 200, 200}}) {
        SCOPED_TRACE(testing::Message() << "left " << int(write.left) << ", right " << int(write.right));
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 16; ++y) {
            auto* row = static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch;
            std::memset(row, write.left, 8);
            std::memset(row + 8, write.right, 8);
        }
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        const std::vector<std::uint32_t> sampled = SampleRow(texture, "sampler2D", sample, lookups);
        ASSERT_EQ(sampled.size(), 24u);
        auto grey = [](unsigned v) { return D3DCOLOR_ARGB(255, v, v, v); };
        EXPECT_TRUE(Near(sampled[0], grey(write.mean))) << std::hex << sampled[0];
        EXPECT_TRUE(Near(sampled[1], grey(write.left))) << std::hex << sampled[1];
        EXPECT_TRUE(Near(sampled[2], grey(write.right))) << std::hex << sampled[2];
        EXPECT_TRUE(Near(sampled[3], grey(write.left))) << std::hex << sampled[3]; // level 0 itself
    }
}

// IDirect3D9::CheckDeviceFormat and the creation calls give one answer: what it offers is made (a
// D3DOK_NOAUTOGEN format with one level shown), what it refuses is not.
TEST_F(GLDeviceFormatsTest, CheckDeviceFormatAnswersWhatCreationDoes)
{
    const DWORD usages[] = {0,
                            D3DUSAGE_AUTOGENMIPMAP,
                            D3DUSAGE_RENDERTARGET,
                            D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP,
                            D3DUSAGE_DEPTHSTENCIL,
                            D3DUSAGE_DYNAMIC};
    size_t offered = 0;
    for (const D3DFormatInfo* info = D3DFormatInfoBegin(); info != D3DFormatInfoEnd(); ++info) {
        SCOPED_TRACE(info->name);
        for (DWORD usage : usages) {
            for (D3DRESOURCETYPE type : {D3DRTYPE_TEXTURE, D3DRTYPE_CUBETEXTURE, D3DRTYPE_VOLUMETEXTURE}) {
                SCOPED_TRACE(testing::Message() << "usage " << std::hex << usage << std::dec << ", type " << type);
                const HRESULT check =
                    d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, usage, type, info->format);
                const UINT levels = (usage & D3DUSAGE_AUTOGENMIPMAP) != 0 ? 0 : 1;
                IDirect3DBaseTexture9* made = nullptr;
                HRESULT hr = E_FAIL;
                if (type == D3DRTYPE_TEXTURE) {
                    IDirect3DTexture9* t = nullptr;
                    hr = device->CreateTexture(8, 8, levels, usage, info->format, D3DPOOL_DEFAULT, &t, nullptr);
                    made = t;
                } else if (type == D3DRTYPE_CUBETEXTURE) {
                    IDirect3DCubeTexture9* t = nullptr;
                    hr = device->CreateCubeTexture(8, levels, usage, info->format, D3DPOOL_DEFAULT, &t, nullptr);
                    made = t;
                } else {
                    IDirect3DVolumeTexture9* t = nullptr;
                    hr = device->CreateVolumeTexture(8, 8, 8, levels, usage, info->format, D3DPOOL_DEFAULT, &t,
                                                     nullptr);
                    made = t;
                }
                EXPECT_EQ(check >= 0, hr == D3D_OK) << "CheckDeviceFormat " << std::hex << check << ", creation " << hr;
                if (check == D3DOK_NOAUTOGEN && made != nullptr) {
                    EXPECT_EQ(made->GetLevelCount(), 1u);
                }
                offered += hr == D3D_OK;
                if (made != nullptr) {
                    EXPECT_EQ(made->Release(), 0u);
                }
            }
        }
        // Surfaces: render targets, depth buffers and plain surfaces in system memory.
        IDirect3DSurface9* surface = nullptr;
        HRESULT check = d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET,
                                               D3DRTYPE_SURFACE, info->format);
        HRESULT hr = device->CreateRenderTarget(8, 8, info->format, D3DMULTISAMPLE_NONE, 0, FALSE, &surface, nullptr);
        EXPECT_EQ(check == D3D_OK, hr == D3D_OK) << "render target";
        if (surface != nullptr) {
            EXPECT_EQ(surface->Release(), 0u);
        }
        surface = nullptr;
        check = d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                       info->format);
        hr = device->CreateDepthStencilSurface(8, 8, info->format, D3DMULTISAMPLE_NONE, 0, FALSE, &surface, nullptr);
        EXPECT_EQ(check == D3D_OK, hr == D3D_OK) << "depth stencil";
        if (surface != nullptr) {
            EXPECT_EQ(surface->Release(), 0u);
        }
        surface = nullptr;
        check = d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_SURFACE, info->format);
        hr = device->CreateOffscreenPlainSurface(8, 8, info->format, D3DPOOL_SYSTEMMEM, &surface, nullptr);
        EXPECT_EQ(check == D3D_OK, hr == D3D_OK) << "plain surface";
        if (surface != nullptr) {
            EXPECT_EQ(surface->Release(), 0u);
        }
    }
    EXPECT_GT(offered, 0u) << "the adapter offered nothing at all";
}

// The adapter-format argument must be a display format: others are invalid calls; display formats
// the adapter has no modes in are not available.
TEST_F(GLDeviceFormatsTest, TheAdapterFormatIsADisplayFormat)
{
    struct Case {
        D3DFORMAT adapterFormat;
        HRESULT expected;
    };
    const Case cases[] = {
        {D3DFMT_X8R8G8B8, D3D_OK},
        {D3DFMT_R5G6B5, D3DERR_NOTAVAILABLE},
        {D3DFMT_X1R5G5B5, D3DERR_NOTAVAILABLE},
        {D3DFMT_A2R10G10B10, D3DERR_NOTAVAILABLE},
        {D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL},
        {D3DFMT_A1R5G5B5, D3DERR_INVALIDCALL},
        {D3DFMT_L8, D3DERR_INVALIDCALL},
        {D3DFMT_D24S8, D3DERR_INVALIDCALL},
        {D3DFMT_A16B16G16R16F, D3DERR_INVALIDCALL},
        {D3DFMT_UNKNOWN, D3DERR_INVALIDCALL},
        {static_cast<D3DFORMAT>(0x1234), D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "adapter format " << c.adapterFormat);
        D3DDISPLAYMODE mode{};
        EXPECT_EQ(d3d->EnumAdapterModes(0, c.adapterFormat, 0, &mode), c.expected);
        EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, c.adapterFormat, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
                  c.expected);
        EXPECT_EQ(d3d->GetAdapterModeCount(0, c.adapterFormat) > 0, c.expected == D3D_OK);
    }
}

// Every format the adapter offers for a use has a GL form, so what CheckDeviceFormat promises the
// device can hold.
TEST(GLFormatTest, EveryFormatTheAdapterOffersHasAGLForm)
{
    for (const D3DFormatInfo* info = D3DFormatInfoBegin(); info != D3DFormatInfoEnd(); ++info) {
        if (!info->texture && !info->renderTarget && !info->depthBuffer)
            continue;
        SCOPED_TRACE(info->name);
        const GLFormat* gl = FindGLFormat(info->format);
        ASSERT_NE(gl, nullptr);
        EXPECT_EQ(gl->compressed, info->compressed);
        EXPECT_EQ(gl->attachmentBits != GL_COLOR_BUFFER_BIT, info->depth);
    }
}

} // namespace

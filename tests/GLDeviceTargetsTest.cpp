#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "GLTestDevice.h"

namespace {

using GLDeviceTargetsTest = GLTestDevice;

constexpr D3DCOLOR kRed = D3DCOLOR_XRGB(255, 0, 0);
constexpr D3DCOLOR kGreen = D3DCOLOR_XRGB(0, 255, 0);
constexpr D3DCOLOR kBlue = D3DCOLOR_XRGB(0, 0, 255);
constexpr D3DCOLOR kWhite = D3DCOLOR_XRGB(255, 255, 255);

float HalfToFloat(std::uint16_t h)
{
    const int exponent = (h >> 10) & 0x1F, mantissa = h & 0x3FF;
    const float sign = (h & 0x8000) ? -1.f : 1.f;
    if (exponent == 0)
        return sign * std::ldexp(static_cast<float>(mantissa), -24);
    return sign * std::ldexp(static_cast<float>(mantissa + 1024), exponent - 25);
}

IDirect3DSurface9* Level0(IDirect3DTexture9* texture)
{
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    return surface;
}

TEST_F(GLDeviceTargetsTest, FourTargetsAtOnceWithPerTargetWriteMasks)
{
    const char* ps = R"(
in vec4 colour;
out vec4 COLOR0;
out vec4 COLOR1;
out vec4 COLOR2;
out vec4 COLOR3;
void main()
{
    COLOR0 = vec4(1, 0, 0, 1);
    COLOR1 = vec4(0, 1, 0, 1);
    COLOR2 = vec4(0, 0, 1, 1);
    COLOR3 = vec4(1, 1, 1, 1);
})";
    ASSERT_EQ(device->SetVertexShader(VertexShader(kColourVS)), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(PixelShader(ps)), D3D_OK);
    ASSERT_EQ(device->SetVertexDeclaration(colourDecl), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    IDirect3DSurface9* targets[4] = {};
    for (DWORD i = 0; i < 4; ++i) {
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device->CreateTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture,
                                        nullptr),
                  D3D_OK);
        Own(texture);
        targets[i] = Level0(texture);
        ASSERT_EQ(device->SetRenderTarget(i, targets[i]), D3D_OK);
    }
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_COLORWRITEENABLE2, D3DCOLORWRITEENABLE_RED), D3D_OK);
    DrawRect(0, 0, 32, 32, 0);
    const std::uint32_t expected[4] = {0xFFFF0000u, 0xFF00FF00u, 0x00000000u, 0xFFFFFFFFu};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ReadTarget(targets[i])[100], expected[i]) << "target " << i;

    // Unbinding targets 1..3 leaves them alone; target 0 cannot be unbound.
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3D_OK);
    for (DWORD i = 1; i < 4; ++i)
        ASSERT_EQ(device->SetRenderTarget(i, nullptr), D3D_OK);
    EXPECT_EQ(device->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderTarget(4, targets[1]), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.f, 0), D3D_OK);
    DrawRect(0, 0, 16, 32, 0);
    std::vector<std::uint32_t> first = ReadTarget(targets[0]);
    EXPECT_EQ(first[5], 0xFFFF0000u);
    EXPECT_EQ(first[20], 0xFF0000FFu);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(ReadTarget(targets[i])[5], 0u) << "target " << i;
    for (IDirect3DSurface9* t : targets)
        t->Release();
}

TEST_F(GLDeviceTargetsTest, SetRenderTargetResetsViewportAndRefusesOtherSurfaces)
{
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(32, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
              D3D_OK);
    Own(target);
    D3DVIEWPORT9 small{4, 4, 8, 8, 0.2f, 0.4f};
    ASSERT_EQ(device->SetViewport(&small), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    D3DVIEWPORT9 viewport{};
    ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.X, 0u);
    EXPECT_EQ(viewport.Y, 0u);
    EXPECT_EQ(viewport.Width, 32u);
    EXPECT_EQ(viewport.Height, 16u);
    EXPECT_EQ(viewport.MinZ, 0.f);
    EXPECT_EQ(viewport.MaxZ, 1.f);
    // Neither a depth surface nor a plain surface can be a render target.
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(32, 16, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE, &depth, nullptr),
              D3D_OK);
    Own(depth);
    IDirect3DSurface9* plain = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(32, 16, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &plain, nullptr), D3D_OK);
    Own(plain);
    EXPECT_EQ(device->SetRenderTarget(0, depth), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderTarget(0, plain), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetDepthStencilSurface(target), D3DERR_INVALIDCALL);
    // A depth surface of another size and format is set on its own: D16 with a 2048-wide target.
    ASSERT_EQ(device->SetDepthStencilSurface(depth), D3D_OK);
    UseColourShaders();
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.f, 0), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.f, 0), D3DERR_INVALIDCALL); // D16 has no stencil
    DrawRect(0, 0, 32, 16, kGreen, 0.5f);
    DrawRect(0, 0, 16, 16, kRed, 0.7f); // behind
    std::vector<std::uint32_t> pixels = ReadTarget(target);
    EXPECT_EQ(Rgb(pixels[8 * 32 + 4]), 0x00FF00u);
}

// Values above 1 accumulate in a half-float target with additive blending.
TEST_F(GLDeviceTargetsTest, HalfFloatTargetBlendsAdditivelyAboveOne)
{
    const char* ps = R"(
uniform vec4 value;
out vec4 COLOR0;
void main()
{
    COLOR0 = value;
})";
    ASSERT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING,
                                     D3DRTYPE_TEXTURE, D3DFMT_A16B16G16R16F),
              D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A16B16G16R16F, D3DPOOL_DEFAULT, &texture,
                                    nullptr),
              D3D_OK);
    Own(texture);
    IDirect3DSurface9* target = Level0(texture);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3D_OK);
    ASSERT_EQ(device->SetVertexShader(VertexShader(kColourVS)), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(PixelShader(ps)), D3D_OK);
    ASSERT_EQ(device->SetVertexDeclaration(colourDecl), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE), D3D_OK);
    const float value[4] = {0.75f, 1.5f, 3.0f, 1.0f};
    ASSERT_EQ(device->SetUniformF("value", value, 4), D3D_OK);
    for (int pass = 0; pass < 3; ++pass)
        DrawRect(0, 0, 16, 8, 0);
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(16, 16, D3DFMT_A16B16G16R16F, D3DPOOL_SYSTEMMEM, &copy, nullptr),
              D3D_OK);
    Own(copy);
    ASSERT_EQ(device->GetRenderTargetData(target, copy), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* top = static_cast<const std::uint16_t*>(locked.pBits);
    const auto* bottom =
        reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(locked.pBits) + 12 * locked.Pitch);
    EXPECT_FLOAT_EQ(HalfToFloat(top[0]), 2.25f);
    EXPECT_FLOAT_EQ(HalfToFloat(top[1]), 4.5f);
    EXPECT_FLOAT_EQ(HalfToFloat(top[2]), 9.0f);
    EXPECT_FLOAT_EQ(HalfToFloat(top[3]), 3.0f);
    EXPECT_FLOAT_EQ(HalfToFloat(bottom[0]), 0.f);
    copy->UnlockRect();
    target->Release();
}

TEST_F(GLDeviceTargetsTest, StretchRectCopiesAndScalesBetweenSurfaces)
{
    UseColourShaders();
    IDirect3DSurface9* source = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(32, 32, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &source, nullptr),
              D3D_OK);
    Own(source);
    ASSERT_EQ(device->SetRenderTarget(0, source), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3D_OK);
    DrawRect(0, 0, 16, 16, kRed);
    DrawRect(16, 0, 32, 16, kGreen);
    DrawRect(0, 16, 16, 32, kBlue);
    DrawRect(16, 16, 32, 32, kWhite);
    // The top-right quarter (green) doubled into a texture's surface.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture,
                                    nullptr),
              D3D_OK);
    Own(texture);
    IDirect3DSurface9* level = Level0(texture);
    const RECT quarter{16, 0, 32, 16};
    const RECT whole{0, 0, 64, 64};
    ASSERT_EQ(device->StretchRect(source, &quarter, level, &whole, D3DTEXF_POINT), D3D_OK);
    std::vector<std::uint32_t> scaled = ReadTarget(level);
    EXPECT_EQ(Rgb(scaled[0]), 0x00FF00u);
    EXPECT_EQ(Rgb(scaled[63 * 64 + 63]), 0x00FF00u);
    // The whole source into the bottom-right of the back buffer, 1:1.
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    const RECT corner{32, 32, 64, 64};
    ASSERT_EQ(device->ColorFill(back, nullptr, D3DCOLOR_XRGB(10, 20, 30)), D3D_OK);
    ASSERT_EQ(device->StretchRect(source, nullptr, back, &corner, D3DTEXF_NONE), D3D_OK);
    std::vector<std::uint32_t> pixels = ReadBackBuffer();
    SavePng("stretchrect.png", pixels, 64, 64);
    EXPECT_EQ(Rgb(pixels[0]), 0x0A141Eu);
    EXPECT_EQ(Rgb(pixels[32 * 64 + 32]), 0xFF0000u);
    EXPECT_EQ(Rgb(pixels[32 * 64 + 63]), 0x00FF00u);
    EXPECT_EQ(Rgb(pixels[63 * 64 + 32]), 0x0000FFu);
    EXPECT_EQ(Rgb(pixels[63 * 64 + 63]), 0xFFFFFFu);
    // Bad arguments: a rectangle outside the source, the same surface both ways, a system-memory source.
    const RECT outside{16, 0, 48, 16};
    EXPECT_EQ(device->StretchRect(source, &outside, level, nullptr, D3DTEXF_POINT), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(source, nullptr, source, nullptr, D3DTEXF_POINT), D3DERR_INVALIDCALL);
    IDirect3DSurface9* plain = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(32, 32, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &plain, nullptr), D3D_OK);
    Own(plain);
    EXPECT_EQ(device->StretchRect(plain, nullptr, level, nullptr, D3DTEXF_POINT), D3DERR_INVALIDCALL);
    level->Release();
    back->Release();
}

// Plain surfaces in video memory copy into each other, stretched as the filter says: the point filter
// repeats texels in blocks, the linear one blends between their centres.
TEST_F(GLDeviceTargetsTest, StretchRectScalesBetweenPlainSurfaces)
{
    // 2 x 2: black, white over red, blue.
    IDirect3DSurface9* source = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(2, 2, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &source, nullptr), D3D_OK);
    Own(source);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(source->LockRect(&locked, nullptr, 0), D3D_OK);
    const D3DCOLOR texels[2][2] = {{D3DCOLOR_XRGB(0, 0, 0), kWhite}, {kRed, kBlue}};
    for (int y = 0; y < 2; ++y)
        std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch, texels[y], 8);
    ASSERT_EQ(source->UnlockRect(), D3D_OK);
    const auto stretched = [&](D3DTEXTUREFILTERTYPE filter) {
        std::vector<std::uint32_t> pixels;
        IDirect3DSurface9* dest = nullptr;
        EXPECT_EQ(device->CreateOffscreenPlainSurface(64, 64, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &dest, nullptr),
                  D3D_OK);
        if (!dest)
            return pixels;
        EXPECT_EQ(device->StretchRect(source, nullptr, dest, nullptr, filter), D3D_OK);
        D3DLOCKED_RECT out{};
        EXPECT_EQ(dest->LockRect(&out, nullptr, D3DLOCK_READONLY), D3D_OK);
        pixels.resize(64 * 64);
        for (int y = 0; y < 64; ++y)
            std::memcpy(&pixels[y * 64], static_cast<const std::uint8_t*>(out.pBits) + y * out.Pitch, 64 * 4);
        dest->UnlockRect();
        dest->Release();
        return pixels;
    };

    const std::vector<std::uint32_t> point = stretched(D3DTEXF_POINT);
    ASSERT_EQ(point.size(), 64u * 64u);
    SavePng("stretch-plain-point.png", point, 64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(point[y * 64 + x], texels[y / 32][x / 32] | 0xFF000000u) << x << ", " << y;

    const std::vector<std::uint32_t> linear = stretched(D3DTEXF_LINEAR);
    ASSERT_EQ(linear.size(), 64u * 64u);
    SavePng("stretch-plain-linear.png", linear, 64, 64);
    // The corners keep their texels; along the top row black turns to white, down the left column
    // black to red, each step no darker than the one before.
    EXPECT_EQ(Rgb(linear[0]), 0u);
    EXPECT_EQ(Rgb(linear[63]), 0xFFFFFFu);
    EXPECT_EQ(Rgb(linear[63 * 64]), 0xFF0000u);
    EXPECT_EQ(Rgb(linear[63 * 64 + 63]), 0x0000FFu);
    for (int i = 1; i < 64; ++i) {
        EXPECT_GE(linear[i] & 0xFF, linear[i - 1] & 0xFF) << i;
        EXPECT_GE((linear[i * 64] >> 16) & 0xFF, (linear[(i - 1) * 64] >> 16) & 0xFF) << i;
    }
    const std::uint32_t middle = (linear[31] >> 16) & 0xFF;
    EXPECT_GT(middle, 64u);
    EXPECT_LT(middle, 192u);
}

TEST_F(GLDeviceTargetsTest, MultisampledBackBufferResolvesEdges)
{
    DWORD qualities = 0;
    if (d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_4_SAMPLES,
                                        &qualities) != D3D_OK)
        GTEST_SKIP() << "no 4x multisampling here";
    DestroyDevice();
    CreateDevice(64, 64, D3DMULTISAMPLE_4_SAMPLES, true);
    UseColourShaders();
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.f, 0), D3D_OK);
    // A triangle whose long edge crosses pixels diagonally.
    const ColourVertex tri[3] = {{-1, 1, 0.5f, 1, kWhite}, {1, 1, 0.5f, 1, kWhite}, {-1, -1, 0.5f, 1, kWhite}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColourVertex)), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    EXPECT_EQ(desc.MultiSampleType, D3DMULTISAMPLE_4_SAMPLES);
    IDirect3DSurface9* resolved = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(64, 64, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &resolved, nullptr),
              D3D_OK);
    Own(resolved);
    ASSERT_EQ(device->StretchRect(back, nullptr, resolved, nullptr, D3DTEXF_NONE), D3D_OK);
    std::vector<std::uint32_t> pixels = ReadTarget(resolved);
    SavePng("msaa-resolve.png", pixels, 64, 64);
    EXPECT_EQ(Rgb(pixels[2 * 64 + 2]), 0xFFFFFFu);
    EXPECT_EQ(Rgb(pixels[60 * 64 + 60]), 0u);
    size_t partial = 0;
    for (std::uint32_t p : pixels) {
        const std::uint32_t red = (p >> 16) & 0xFF;
        partial += red > 0 && red < 255;
    }
    EXPECT_GT(partial, 32u) << "edge pixels mix covered and uncovered samples";
    back->Release();
}

TEST_F(GLDeviceTargetsTest, StencilAndScissorLimitDrawing)
{
    UseColourShaders();
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.f, 0), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    // Stencil 1 into the left half, colour writes off.
    ASSERT_EQ(device->SetRenderState(D3DRS_STENCILENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_STENCILREF, 1), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_COLORWRITEENABLE, 0), D3D_OK);
    DrawRect(0, 0, 32, 64, kWhite);
    // Red only where the stencil holds 1.
    ASSERT_EQ(device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP), D3D_OK);
    DrawRect(0, 0, 64, 64, kRed);
    // Green only inside the scissor rectangle; a clear there too is limited to it.
    ASSERT_EQ(device->SetRenderState(D3DRS_STENCILENABLE, FALSE), D3D_OK);
    const RECT scissor{40, 40, 64, 64};
    ASSERT_EQ(device->SetScissorRect(&scissor), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE), D3D_OK);
    DrawRect(0, 0, 64, 64, kGreen);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.f, 0), D3D_OK);
    DrawRect(48, 48, 64, 64, kGreen);
    std::vector<std::uint32_t> pixels = ReadBackBuffer();
    SavePng("stencil-scissor.png", pixels, 64, 64);
    EXPECT_EQ(Rgb(pixels[10 * 64 + 10]), 0xFF0000u);
    EXPECT_EQ(Rgb(pixels[10 * 64 + 40]), 0u);
    EXPECT_EQ(Rgb(pixels[45 * 64 + 45]), 0x0000FFu);
    EXPECT_EQ(Rgb(pixels[50 * 64 + 50]), 0x00FF00u);
    EXPECT_EQ(Rgb(pixels[39 * 64 + 45]), 0u);
}

} // namespace

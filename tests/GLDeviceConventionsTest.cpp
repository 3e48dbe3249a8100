#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "GLTestDevice.h"

namespace {

using GLDeviceConventionsTest = GLTestDevice;

constexpr D3DCOLOR kRed = D3DCOLOR_XRGB(255, 0, 0);
constexpr D3DCOLOR kGreen = D3DCOLOR_XRGB(0, 255, 0);
constexpr D3DCOLOR kBlue = D3DCOLOR_XRGB(0, 0, 255);
constexpr D3DCOLOR kWhite = D3DCOLOR_XRGB(255, 255, 255);

// A fullscreen quad sampling uv 0..1, placed the Direct3D 9 way (half a pixel up and left).
void FullscreenTexturedQuad(GLTestDevice::TexturedVertex (&v)[4], UINT width, UINT height, float offset = 0.5f)
{
    const float dx = offset * 2.f / static_cast<float>(width), dy = offset * 2.f / static_cast<float>(height);
    v[0] = {-1 - dx, 1 + dy, 0.5f, 1, 0, 0};
    v[1] = {1 - dx, 1 + dy, 0.5f, 1, 1, 0};
    v[2] = {-1 - dx, -1 + dy, 0.5f, 1, 0, 1};
    v[3] = {1 - dx, -1 + dy, 0.5f, 1, 1, 1};
}

TEST_F(GLDeviceConventionsTest, QuadLandsTopLeftInBackBufferAndTextureAndSamplesBackTheRightWayUp)
{
    UseColourShaders();
    // Into the back buffer: red over the top-left quarter, green over the bottom-right quarter.
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.f, 0), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    DrawRect(0, 0, 32, 16, kRed);
    DrawRect(32, 48, 64, 64, kGreen);
    UINT w = 0, h = 0;
    std::vector<std::uint32_t> back = ReadBackBuffer(&w, &h);
    SavePng("backbuffer-topleft.png", back, w, h);
    EXPECT_EQ(Rgb(back[0]), 0xFF0000u);
    EXPECT_EQ(Rgb(back[15 * 64 + 31]), 0xFF0000u);
    EXPECT_EQ(Rgb(back[16 * 64 + 0]), 0u);
    EXPECT_EQ(Rgb(back[63 * 64 + 63]), 0x00FF00u);
    EXPECT_EQ(Rgb(back[47 * 64 + 63]), 0u);

    // Into a render-target texture, the same picture.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture,
                                    nullptr),
              D3D_OK);
    Own(texture);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, level), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 0), 1.f, 0), D3D_OK);
    DrawRect(0, 0, 32, 16, kRed);
    DrawRect(32, 48, 64, 64, kGreen);
    std::vector<std::uint32_t> texels = ReadTarget(level);
    SavePng("texture-topleft.png", texels, 64, 64);
    EXPECT_EQ(Rgb(texels[0]), 0xFF0000u);
    EXPECT_EQ(Rgb(texels[63 * 64 + 63]), 0x00FF00u);
    level->Release();

    // Sampled in a second pass: v = 0 is the top.
    IDirect3DSurface9* back0 = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back0), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, back0), D3D_OK);
    back0->Release();
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.f, 0), D3D_OK);
    UseTexturedShaders();
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    TexturedVertex quad[4];
    FullscreenTexturedQuad(quad, 64, 64);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex)), D3D_OK);
    std::vector<std::uint32_t> sampled = ReadBackBuffer();
    SavePng("texture-sampled.png", sampled, 64, 64);
    EXPECT_EQ(sampled, texels);
}

TEST_F(GLDeviceConventionsTest, LockedRowZeroIsSampledAtTheTop)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    Own(texture);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < 4; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < 4; ++x)
            row[x] = y == 0 ? kRed : (x == 0 ? kGreen : kBlue);
    }
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    UseTexturedShaders();
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    TexturedVertex quad[4];
    FullscreenTexturedQuad(quad, 64, 64);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex)), D3D_OK);
    std::vector<std::uint32_t> back = ReadBackBuffer();
    EXPECT_EQ(Rgb(back[0 * 64 + 40]), 0xFF0000u);  // row 0: the top 16 rows
    EXPECT_EQ(Rgb(back[15 * 64 + 40]), 0xFF0000u);
    EXPECT_EQ(Rgb(back[40 * 64 + 2]), 0x00FF00u);  // column 0: the left 16 columns
    EXPECT_EQ(Rgb(back[40 * 64 + 40]), 0x0000FFu);
}

// Direct3D 9 puts pixel centres on integer coordinates: a fullscreen quad moved half a pixel up
// and left, with texture coordinates 0..1, maps texel centres onto pixel centres and copies a
// texture exactly, even with linear filtering (an error of half a pixel either way would blend
// neighbours).
TEST_F(GLDeviceConventionsTest, HalfPixelOffsetQuadReproducesTextureExactly)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    Own(texture);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    std::vector<std::uint32_t> pattern(64 * 64);
    for (UINT y = 0; y < 64; ++y)
        for (UINT x = 0; x < 64; ++x)
            pattern[y * 64 + x] = D3DCOLOR_XRGB((x * 37 + y * 11) & 0xFF, (x * 4) & 0xFF, ((x ^ y) * 29) & 0xFF);
    for (UINT y = 0; y < 64; ++y)
        std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch, &pattern[y * 64], 64 * 4);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    UseTexturedShaders();
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    for (D3DTEXTUREFILTERTYPE filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        ASSERT_EQ(device->SetSamplerState(0, D3DSAMP_MINFILTER, filter), D3D_OK);
        ASSERT_EQ(device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter), D3D_OK);
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3D_OK);
        TexturedVertex quad[4];
        FullscreenTexturedQuad(quad, 64, 64);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex)), D3D_OK);
        std::vector<std::uint32_t> back = ReadBackBuffer();
        if (filter == D3DTEXF_LINEAR)
            SavePng("pixel-centre-copy.png", back, 64, 64);
        size_t wrong = 0;
        for (size_t i = 0; i < back.size(); ++i)
            wrong += Rgb(back[i]) != Rgb(pattern[i]);
        EXPECT_EQ(wrong, 0u) << "filter " << filter;
    }
}

// Direct3D 9's fill rule: a pixel whose centre lies exactly on an edge belongs to the triangle
// when the edge is a top or left one, never when it is a bottom or right one. Three quads in
// targets of several sizes, odd ones included, every pixel read back: the screen quad of the
// show's passes (corners half a pixel up and left: no centre on an edge), the same quad without
// the shift (its top and left edges run through the centres of row 0 and column 0, which it
// covers), and a rectangle whose four edges run through pixel centres (the top-left ones in, the
// others out). An occlusion query over the unshifted quad counts every pixel.
TEST_F(GLDeviceConventionsTest, QuadsCoverThePixelsOfTheTopLeftRuleInEveryTargetSize)
{
    UseColourShaders();
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK); // the targets outgrow the 64 x 64 one
    IDirect3DQuery9* query = nullptr;
    ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, &query), D3D_OK);
    Own(query);
    struct Size {
        UINT width, height;
    };
    for (const Size size : {Size{1, 1}, Size{3, 5}, Size{640, 360}, Size{641, 361}, Size{640, 480}, Size{1280, 720}}) {
        const UINT w = size.width, h = size.height;
        IDirect3DSurface9* target = nullptr;
        ASSERT_EQ(device->CreateRenderTarget(w, h, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
                  D3D_OK);
        Own(target);
        ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
        // Pixel edges in Direct3D's screen space (centres on integers) to clip space.
        const auto quad = [&](float left, float top, float right, float bottom) {
            float x0, y0, x1, y1;
            ToClip(left, top, w, h, x0, y0);
            ToClip(right, bottom, w, h, x1, y1);
            const ColourVertex v[4] = {
                {x0, y0, 0.5f, 1, kRed}, {x1, y0, 0.5f, 1, kRed}, {x0, y1, 0.5f, 1, kRed}, {x1, y1, 0.5f, 1, kRed}};
            ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColourVertex)), D3D_OK);
        };
        struct Case {
            const char* name;
            float left, top, right, bottom;
            UINT firstColumn, endColumn, firstRow, endRow; // the pixels covered
        };
        const float fw = static_cast<float>(w), fh = static_cast<float>(h);
        std::vector<Case> cases = {
            {"screen quad", -0.5f, -0.5f, fw - 0.5f, fh - 0.5f, 0, w, 0, h},
            {"unshifted quad", 0, 0, fw, fh, 0, w, 0, h},
        };
        if (w >= 3 && h >= 3)
            cases.push_back({"edges on centres", 1, 1, fw - 2, fh - 2, 1, w - 2, 1, h - 2});
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " in " + std::to_string(w) + "x" + std::to_string(h));
            ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3D_OK);
            ASSERT_EQ(query->Issue(D3DISSUE_BEGIN), D3D_OK);
            quad(c.left, c.top, c.right, c.bottom);
            ASSERT_EQ(query->Issue(D3DISSUE_END), D3D_OK);
            const std::vector<std::uint32_t> pixels = ReadTarget(target);
            size_t wrong = 0;
            std::string first;
            for (UINT y = 0; y < h; ++y)
                for (UINT x = 0; x < w; ++x) {
                    const bool inside = x >= c.firstColumn && x < c.endColumn && y >= c.firstRow && y < c.endRow;
                    if (Rgb(pixels[static_cast<size_t>(y) * w + x]) != (inside ? 0xFF0000u : 0u) && wrong++ == 0)
                        first = "first at " + std::to_string(x) + ", " + std::to_string(y);
                }
            EXPECT_EQ(wrong, 0u) << first;
            DWORD samples = 0;
            HRESULT hr;
            while ((hr = query->GetData(&samples, sizeof samples, D3DGETDATA_FLUSH)) == S_FALSE) {
            }
            ASSERT_EQ(hr, S_OK);
            EXPECT_EQ(samples, static_cast<DWORD>((c.endColumn - c.firstColumn) * (c.endRow - c.firstRow)));
        }
    }
}

// D3DCULL_CCW (the default) removes triangles counter-clockwise on screen; D3DCULL_CW removes
// clockwise ones.
TEST_F(GLDeviceConventionsTest, CullingFollowsScreenWinding)
{
    UseColourShaders();
    struct Case {
        D3DCULL cull;
        bool clockwise;
        bool visible;
    };
    const Case cases[] = {{D3DCULL_CCW, true, true}, {D3DCULL_CCW, false, false}, {D3DCULL_CW, true, false},
                          {D3DCULL_CW, false, true}, {D3DCULL_NONE, true, true},  {D3DCULL_NONE, false, true}};
    // On screen: top-left, top-right, bottom-left is clockwise (y grows downwards).
    const ColourVertex tl{-1, 1, 0.5f, 1, kRed}, tr{1, 1, 0.5f, 1, kRed}, bl{-1, -1, 0.5f, 1, kRed};
    for (const Case& c : cases) {
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.f, 0), D3D_OK);
        ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, c.cull), D3D_OK);
        const ColourVertex tri[3] = {tl, c.clockwise ? tr : bl, c.clockwise ? bl : tr};
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColourVertex)), D3D_OK);
        std::vector<std::uint32_t> back = ReadBackBuffer();
        EXPECT_EQ(Rgb(back[4 * 64 + 4]), c.visible ? 0xFF0000u : 0u)
            << "cull " << c.cull << (c.clockwise ? " clockwise" : " counter-clockwise");
    }
}

// Clip-space depth runs 0..1 (z below 0 is clipped), and the viewport's MinZ/MaxZ map it.
TEST_F(GLDeviceConventionsTest, DepthRangeIsZeroToOneAndFollowsViewportMinMaxZ)
{
    UseColourShaders();
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.f, 0), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    DrawRect(0, 0, 64, 64, kRed, -0.25f);
    EXPECT_EQ(Rgb(ReadBackBuffer()[32 * 64 + 32]), 0u) << "z < 0 must be clipped";
    DrawRect(0, 0, 64, 64, kRed, 0.0f);
    EXPECT_EQ(Rgb(ReadBackBuffer()[32 * 64 + 32]), 0xFF0000u) << "z = 0 is inside";

    // Depth 0 through a viewport with MinZ 0.25 writes 0.25.
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS), D3D_OK);
    D3DVIEWPORT9 narrow{0, 0, 64, 64, 0.25f, 0.75f};
    ASSERT_EQ(device->SetViewport(&narrow), D3D_OK);
    DrawRect(0, 0, 64, 64, kRed, 0.0f);
    D3DVIEWPORT9 full{0, 0, 64, 64, 0.f, 1.f};
    ASSERT_EQ(device->SetViewport(&full), D3D_OK);
    DrawRect(0, 0, 32, 64, kGreen, 0.3f); // behind 0.25: hidden
    DrawRect(32, 0, 64, 64, kBlue, 0.2f); // in front: drawn
    std::vector<std::uint32_t> back = ReadBackBuffer();
    SavePng("depth-range.png", back, 64, 64);
    EXPECT_EQ(Rgb(back[32 * 64 + 10]), 0xFF0000u);
    EXPECT_EQ(Rgb(back[32 * 64 + 50]), 0x0000FFu);
    // MaxZ: clip depth 1 through MinZ 0.25 .. MaxZ 0.75 writes 0.75, in front of 0.8.
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.f, 0), D3D_OK);
    ASSERT_EQ(device->SetViewport(&narrow), D3D_OK);
    DrawRect(0, 0, 64, 64, kRed, 1.0f);
    ASSERT_EQ(device->SetViewport(&full), D3D_OK);
    DrawRect(0, 0, 32, 64, kGreen, 0.8f);
    DrawRect(32, 0, 64, 64, kBlue, 0.7f);
    back = ReadBackBuffer();
    EXPECT_EQ(Rgb(back[32 * 64 + 10]), 0xFF0000u);
    EXPECT_EQ(Rgb(back[32 * 64 + 50]), 0x0000FFu);
}

// The viewport's origin is its top-left corner; Clear stays inside it and inside the rectangles.
TEST_F(GLDeviceConventionsTest, ViewportIsTopLeftAndLimitsClear)
{
    UseColourShaders();
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3D_OK);
    D3DVIEWPORT9 viewport{16, 8, 32, 24, 0.f, 1.f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.f, 0), D3D_OK);
    const D3DRECT rect{0, 0, 20, 10}; // only its part inside the viewport: x 16..20, y 8..10
    ASSERT_EQ(device->Clear(1, &rect, D3DCLEAR_TARGET, kGreen, 1.f, 0), D3D_OK);
    std::vector<std::uint32_t> back = ReadBackBuffer();
    SavePng("viewport-clear.png", back, 64, 64);
    for (UINT y = 0; y < 64; ++y) {
        for (UINT x = 0; x < 64; ++x) {
            const bool inside = x >= 16 && x < 48 && y >= 8 && y < 32;
            const bool inRect = inside && x < 20 && y < 10;
            const std::uint32_t expected = inRect ? 0x00FF00u : inside ? 0xFF0000u : 0u;
            ASSERT_EQ(Rgb(back[y * 64 + x]), expected) << x << ", " << y;
        }
    }
    // A fullscreen quad fills exactly the viewport.
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    DrawRect(0, 0, 32, 24, kBlue, 0.5f, 32, 24);
    back = ReadBackBuffer();
    EXPECT_EQ(Rgb(back[8 * 64 + 16]), 0x0000FFu);
    EXPECT_EQ(Rgb(back[31 * 64 + 47]), 0x0000FFu);
    EXPECT_EQ(Rgb(back[7 * 64 + 16]), 0u);
    EXPECT_EQ(Rgb(back[32 * 64 + 47]), 0u);
    EXPECT_EQ(Rgb(back[8 * 64 + 48]), 0u);
}

// A viewport may reach past the target's edges, as drivers allow: it maps clip space onto all of
// itself (GL's viewport is not cut to the target), and drawing and Clear land only on the part
// inside the target.
TEST_F(GLDeviceConventionsTest, AViewportPastTheTargetMapsWhollyAndClipsToTheTarget)
{
    UseColourShaders();
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3D_OK);
    // 64 x 32 from (32, 16) on the 64 x 64 back buffer: its right half lies outside.
    const D3DVIEWPORT9 viewport{32, 16, 64, 32, 0.f, 1.f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.f, 0), D3D_OK);
    std::vector<std::uint32_t> back = ReadBackBuffer();
    for (UINT y = 0; y < 64; ++y)
        for (UINT x = 0; x < 64; ++x)
            ASSERT_EQ(Rgb(back[y * 64 + x]), x >= 32 && y >= 16 && y < 48 ? 0x0000FFu : 0u) << x << ", " << y;

    // In the viewport's own pixels: its first quarter red, its second green, its right half (all
    // outside the target) white.
    DrawRect(0, 0, 16, 32, kRed, 0.5f, 64, 32);
    DrawRect(16, 0, 32, 32, kGreen, 0.5f, 64, 32);
    DrawRect(32, 0, 64, 32, kWhite, 0.5f, 64, 32);
    back = ReadBackBuffer();
    SavePng("viewport-past-the-target.png", back, 64, 64);
    // Rows 16 and 47 are the viewport's edges; the columns inside the target are exact.
    for (UINT y : {17u, 30u, 46u}) {
        for (UINT x = 0; x < 64; ++x) {
            const std::uint32_t expected = x < 32 ? 0u : x < 48 ? 0xFF0000u : 0x00FF00u;
            EXPECT_EQ(Rgb(back[y * 64 + x]), expected) << x << ", " << y;
        }
    }
    for (UINT y : {0u, 14u, 49u, 63u})
        for (UINT x = 0; x < 64; ++x)
            EXPECT_EQ(Rgb(back[y * 64 + x]), 0u) << x << ", " << y;

    // A viewport wholly right of the target: nothing is cleared or drawn.
    const D3DVIEWPORT9 beyond{64, 0, 16, 16, 0.f, 1.f};
    ASSERT_EQ(device->SetViewport(&beyond), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kWhite, 1.f, 0), D3D_OK);
    DrawRect(0, 0, 16, 16, kWhite, 0.5f, 16, 16);
    EXPECT_EQ(ReadBackBuffer(), back);
}

TEST_F(GLDeviceConventionsTest, NewDeviceHasDirect3DDefaultStates)
{
    struct State {
        D3DRENDERSTATETYPE state;
        DWORD value;
    };
    const State states[] = {
        {D3DRS_ZENABLE, D3DZB_TRUE}, // an automatic depth buffer exists
        {D3DRS_ZWRITEENABLE, TRUE},  {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_CULLMODE, D3DCULL_CCW}, {D3DRS_ALPHABLENDENABLE, FALSE},
        {D3DRS_SRCBLEND, D3DBLEND_ONE}, {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_BLENDOP, D3DBLENDOP_ADD}, {D3DRS_COLORWRITEENABLE, 0xF},
        {D3DRS_COLORWRITEENABLE3, 0xF}, {D3DRS_STENCILENABLE, FALSE},
        {D3DRS_STENCILFUNC, D3DCMP_ALWAYS}, {D3DRS_STENCILMASK, 0xFFFFFFFF},
        {D3DRS_SCISSORTESTENABLE, FALSE}, {D3DRS_FILLMODE, D3DFILL_SOLID},
        {D3DRS_POINTSIZE, 0x3F800000}, {D3DRS_MULTISAMPLEANTIALIAS, TRUE},
    };
    for (const State& s : states) {
        DWORD value = 0xDEADBEEF;
        ASSERT_EQ(device->GetRenderState(s.state, &value), D3D_OK);
        EXPECT_EQ(value, s.value) << "render state " << s.state;
    }
    struct Sampler {
        D3DSAMPLERSTATETYPE state;
        DWORD value;
    };
    const Sampler samplers[] = {{D3DSAMP_MAGFILTER, D3DTEXF_POINT}, {D3DSAMP_MINFILTER, D3DTEXF_POINT},
                                {D3DSAMP_MIPFILTER, D3DTEXF_NONE},  {D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP},
                                {D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP}, {D3DSAMP_ADDRESSW, D3DTADDRESS_WRAP},
                                {D3DSAMP_MAXANISOTROPY, 1}};
    for (DWORD stage : {0u, 15u, static_cast<unsigned>(D3DVERTEXTEXTURESAMPLER0)}) {
        for (const Sampler& s : samplers) {
            DWORD value = 0xDEADBEEF;
            ASSERT_EQ(device->GetSamplerState(stage, s.state, &value), D3D_OK);
            EXPECT_EQ(value, s.value) << "stage " << stage << " sampler state " << s.state;
        }
    }
    DWORD value = 0;
    EXPECT_EQ(device->GetSamplerState(16, D3DSAMP_MAGFILTER, &value), D3DERR_INVALIDCALL);
}

// Without an automatic depth buffer, Z starts disabled.
TEST_F(GLDeviceConventionsTest, ZEnableStartsFalseWithoutDepthBuffer)
{
    DestroyDevice();
    CreateDevice(32, 32, D3DMULTISAMPLE_NONE, false);
    DWORD value = 1;
    ASSERT_EQ(device->GetRenderState(D3DRS_ZENABLE, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DZB_FALSE));
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.f, 0), D3DERR_INVALIDCALL);
}

// Matrices go up in D3DX's row-major memory order, so GLSL's M * v is D3DX's v * M; a sampler's
// integer value is the stage it reads; a value set once reaches every program that declares it.
TEST_F(GLDeviceConventionsTest, UniformsReachEveryProgramInDirect3DConventions)
{
    const char* movedVS = R"(
uniform mat4 world;
in vec4 POSITION0;
in vec2 TEXCOORD0;
out vec2 uv;
void main()
{
    gl_Position = world * POSITION0;
    uv = TEXCOORD0;
})";
    const char* tintPS = R"(
uniform sampler2D image;
uniform vec4 tint;
in vec2 uv;
out vec4 COLOR0;
void main()
{
    COLOR0 = texture(image, uv) * tint;
})";
    IDirect3DTexture9* white = nullptr;
    ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &white, nullptr), D3D_OK);
    Own(white);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(white->LockRect(0, &locked, nullptr, 0), D3D_OK);
    *static_cast<std::uint32_t*>(locked.pBits) = 0xFFFFFFFFu;
    ASSERT_EQ(white->UnlockRect(0), D3D_OK);
    ASSERT_EQ(device->SetTexture(3, white), D3D_OK);
    const int stage = 3;
    ASSERT_EQ(device->SetUniformI("image", &stage, 1), D3D_OK);
    // D3DXMatrixTranslation(1, 0, 0): the translation in the fourth row.
    const float world[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1};
    ASSERT_EQ(device->SetUniformF("world", world, 16), D3D_OK);
    const float red[4] = {1, 0, 0, 1};
    ASSERT_EQ(device->SetUniformF("tint", red, 4), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    ASSERT_EQ(device->SetVertexShader(VertexShader(movedVS)), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(PixelShader(tintPS)), D3D_OK);
    ASSERT_EQ(device->SetVertexDeclaration(texturedDecl), D3D_OK);
    // The left half of the screen, moved right by half of clip space's width.
    const TexturedVertex left[4] = {{-1, 1, 0.5f, 1, 0, 0}, {0, 1, 0.5f, 1, 1, 0}, {-1, -1, 0.5f, 1, 0, 1},
                                    {0, -1, 0.5f, 1, 1, 1}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, left, sizeof(TexturedVertex)), D3D_OK);
    std::vector<std::uint32_t> back = ReadBackBuffer();
    EXPECT_EQ(Rgb(back[32 * 64 + 10]), 0u);
    EXPECT_EQ(Rgb(back[32 * 64 + 50]), 0xFF0000u);
    // A second program with the same names sees the values already set; a changed value reaches it.
    ASSERT_EQ(device->SetPixelShader(PixelShader(tintPS)), D3D_OK);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ASSERT_EQ(device->SetUniformF("world", identity, 16), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, left, sizeof(TexturedVertex)), D3D_OK);
    back = ReadBackBuffer();
    EXPECT_EQ(Rgb(back[32 * 64 + 10]), 0xFF0000u);
    EXPECT_EQ(device->SetUniformF(nullptr, red, 4), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetUniformF("tint", red, 0), D3DERR_INVALIDCALL);
}

} // namespace

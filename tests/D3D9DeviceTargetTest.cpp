#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "D3D9DeviceTestFixture.h"

namespace {

class D3D9DeviceTargetTest : public D3D9DeviceTest {};
ORVALA_INSTANTIATE_DEVICE_TESTS(D3D9DeviceTargetTest);

constexpr DWORD kRed = 0xFFFF0000u;
constexpr DWORD kBlue = 0xFF0000FFu;
constexpr DWORD kGreen = 0x8000FF00u;

TEST_P(D3D9DeviceTargetTest, RenderTargetIndicesFollowDirect3D9Rules)
{
    IDirect3DSurface9* target = MakeRenderTarget(16, 16);
    IDirect3DSurface9* plain = MakeSystemSurface(16, 16);
    IDirect3DTexture9* texture = MakeTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    ASSERT_TRUE(target && plain && texture);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);

    EXPECT_EQ(device->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderTarget(4, target), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderTarget(1, plain), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderTarget(1, level), D3DERR_INVALIDCALL);
    for (DWORD index = 1; index < 4; ++index) {
        SCOPED_TRACE(index);
        ASSERT_EQ(device->SetRenderTarget(index, target), D3D_OK);
        IDirect3DSurface9* bound = nullptr;
        ASSERT_EQ(device->GetRenderTarget(index, &bound), D3D_OK);
        EXPECT_EQ(bound, target);
        bound->Release();
        ASSERT_EQ(device->SetRenderTarget(index, nullptr), D3D_OK);
        EXPECT_EQ(device->GetRenderTarget(index, &bound), D3DERR_NOTFOUND);
        EXPECT_EQ(bound, nullptr);
    }
    IDirect3DSurface9* none = nullptr;
    EXPECT_EQ(device->GetRenderTarget(4, &none), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);

    EXPECT_EQ(device->SetDepthStencilSurface(target), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK);
    EXPECT_EQ(device->GetDepthStencilSurface(&none), D3DERR_NOTFOUND);
    level->Release();
    texture->Release();
    target->Release();
    plain->Release();
}

TEST_P(D3D9DeviceTargetTest, ANewFirstTargetResetsViewportAndScissor)
{
    D3DVIEWPORT9 viewport{};
    ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.Width, kWidth);
    EXPECT_EQ(viewport.Height, kHeight);
    D3DVIEWPORT9 small{2, 3, 10, 5, 0.25f, 0.75f};
    ASSERT_EQ(device->SetViewport(&small), D3D_OK);
    ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.X, 2u);
    EXPECT_EQ(viewport.MaxZ, 0.75f);
    D3DVIEWPORT9 pastTheEdge{60, 0, 10, 5, 0.0f, 1.0f}; // reaches past the target, as drivers allow
    EXPECT_EQ(device->SetViewport(&pastTheEdge), D3D_OK);
    EXPECT_EQ(device->SetViewport(nullptr), D3DERR_INVALIDCALL);

    IDirect3DSurface9* target = MakeRenderTarget(20, 10);
    ASSERT_NE(target, nullptr);
    RECT scissor{1, 1, 2, 2};
    ASSERT_EQ(device->SetScissorRect(&scissor), D3D_OK);
    // A second target leaves them alone; a new first target resets both to all of it.
    ASSERT_EQ(device->SetRenderTarget(1, target), D3D_OK);
    ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.Width, 10u);
    ASSERT_EQ(device->SetRenderTarget(1, nullptr), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.X, 0u);
    EXPECT_EQ(viewport.Y, 0u);
    EXPECT_EQ(viewport.Width, 20u);
    EXPECT_EQ(viewport.Height, 10u);
    EXPECT_EQ(viewport.MinZ, 0.0f);
    EXPECT_EQ(viewport.MaxZ, 1.0f);
    RECT got{};
    ASSERT_EQ(device->GetScissorRect(&got), D3D_OK);
    EXPECT_EQ(got.right, 20);
    EXPECT_EQ(got.bottom, 10);

    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, back), D3D_OK);
    back->Release();
    target->Release();
}

TEST_P(D3D9DeviceTargetTest, ClearWritesColourInsideRectsAndViewport)
{
    IDirect3DSurface9* target = MakeRenderTarget(8, 4);
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0), D3D_OK);
    D3DRECT rect{2, 1, 5, 3};
    ASSERT_EQ(device->Clear(1, &rect, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK);
    // Limited to the viewport: columns 4.. of the rect stay red, column 6.. blue.
    D3DVIEWPORT9 right{6, 0, 2, 4, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&right), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0), D3D_OK);

    std::vector<DWORD> texels = ReadTexels(target);
    ASSERT_EQ(texels.size(), 32u);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            DWORD expected = x >= 6 ? kGreen : (x >= 2 && x < 5 && y >= 1 && y < 3) ? kRed : kBlue;
            EXPECT_EQ(texels[y * 8 + x], expected) << x << "," << y;
        }
    }

    // Depth and stencil need a depth buffer; rects need a count.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(2, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, 0x80, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    IDirect3DSurface9* depth16 = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(8, 4, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, FALSE, &depth16, nullptr),
              D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(depth16), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL); // D16 has no stencil
    depth16->Release();
    target->Release();
}

TEST_P(D3D9DeviceTargetTest, ScissorLimitsClearWhenEnabled)
{
    IDirect3DSurface9* target = MakeRenderTarget(4, 4);
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0), D3D_OK);
    RECT scissor{0, 0, 1, 1};
    ASSERT_EQ(device->SetScissorRect(&scissor), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK); // scissor test off
    ASSERT_EQ(device->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0), D3D_OK);
    std::vector<DWORD> texels = ReadTexels(target);
    ASSERT_EQ(texels.size(), 16u);
    EXPECT_EQ(texels[0], kGreen);
    EXPECT_EQ(texels[1], kRed);
    EXPECT_EQ(texels[15], kRed);
    target->Release();
}

TEST_P(D3D9DeviceTargetTest, StretchRectCopiesBetweenTargets)
{
    IDirect3DSurface9* source = MakeRenderTarget(8, 8);
    IDirect3DTexture9* texture = MakeTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    ASSERT_TRUE(source && texture);
    IDirect3DSurface9* dest = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &dest), D3D_OK);
    ASSERT_EQ(device->ColorFill(source, nullptr, kBlue), D3D_OK);
    RECT corner{4, 4, 8, 8};
    ASSERT_EQ(device->ColorFill(source, &corner, kRed), D3D_OK);
    ASSERT_EQ(device->ColorFill(dest, nullptr, kGreen), D3D_OK);

    RECT from{2, 2, 6, 6};
    RECT to{0, 0, 4, 4};
    ASSERT_EQ(device->StretchRect(source, &from, dest, &to, D3DTEXF_NONE), D3D_OK);
    std::vector<DWORD> texels = ReadTexels(dest);
    ASSERT_EQ(texels.size(), 16u);
    EXPECT_EQ(texels[0], kBlue);      // source (2,2)
    EXPECT_EQ(texels[1 * 4 + 1], kBlue);
    EXPECT_EQ(texels[2 * 4 + 2], kRed); // source (4,4)
    EXPECT_EQ(texels[3 * 4 + 3], kRed);
    EXPECT_EQ(texels[0 * 4 + 3], kBlue); // source (5,2)

    // Whole source to a smaller destination.
    ASSERT_EQ(device->StretchRect(source, nullptr, dest, nullptr, D3DTEXF_POINT), D3D_OK);
    texels = ReadTexels(dest);
    EXPECT_EQ(texels[0], kBlue);
    EXPECT_EQ(texels[3 * 4 + 3], kRed);

    RECT outside{6, 6, 10, 10};
    IDirect3DSurface9* system = MakeSystemSurface(4, 4);
    EXPECT_EQ(device->StretchRect(source, &outside, dest, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(source, nullptr, source, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(source, nullptr, system, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(nullptr, nullptr, dest, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(source, nullptr, dest, nullptr, D3DTEXF_ANISOTROPIC), D3DERR_INVALIDCALL);
    system->Release();
    dest->Release();
    texture->Release();
    source->Release();
}

TEST_P(D3D9DeviceTargetTest, FloatTargetsHoldHalvesAndConvertWhenStretched)
{
    IDirect3DSurface9* hdr = MakeRenderTarget(4, 4, D3DFMT_A16B16G16R16F);
    IDirect3DSurface9* copy = MakeSystemSurface(4, 4, D3DFMT_A16B16G16R16F);
    IDirect3DSurface9* ldr = MakeRenderTarget(4, 4, D3DFMT_A8R8G8B8);
    ASSERT_TRUE(hdr && copy && ldr);
    ASSERT_EQ(device->ColorFill(hdr, nullptr, D3DCOLOR_ARGB(0, 255, 0, 255)), D3D_OK);
    ASSERT_EQ(device->GetRenderTargetData(hdr, copy), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    std::uint16_t halves[4] = {};
    std::memcpy(halves, static_cast<std::uint8_t*>(locked.pBits) + locked.Pitch + 8, sizeof halves);
    EXPECT_EQ(halves[0], 0x3C00); // R = 1.0
    EXPECT_EQ(halves[1], 0x0000); // G = 0.0
    EXPECT_EQ(halves[2], 0x3C00); // B = 1.0
    EXPECT_EQ(halves[3], 0x0000); // A = 0.0
    ASSERT_EQ(copy->UnlockRect(), D3D_OK);
    ASSERT_EQ(device->StretchRect(hdr, nullptr, ldr, nullptr, D3DTEXF_LINEAR), D3D_OK);
    std::vector<DWORD> texels = ReadTexels(ldr);
    ASSERT_EQ(texels.size(), 16u);
    EXPECT_EQ(texels[5], D3DCOLOR_ARGB(0, 255, 0, 255));
    hdr->Release();
    copy->Release();
    ldr->Release();
}

TEST_P(D3D9DeviceTargetTest, AConvertingStretchGivesEveryTexelItsOwnColour)
{
    // Runs of one colour and single texels of another, so that a conversion reused from the texel
    // before would show.
    IDirect3DSurface9* ldr = MakeRenderTarget(6, 2, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* hdr = MakeRenderTarget(6, 2, D3DFMT_A16B16G16R16F);
    IDirect3DSurface9* back = MakeRenderTarget(6, 2, D3DFMT_A8R8G8B8);
    ASSERT_TRUE(ldr && hdr && back);
    const D3DCOLOR red = D3DCOLOR_ARGB(255, 255, 0, 0);
    const D3DCOLOR blue = D3DCOLOR_ARGB(255, 0, 0, 255);
    ASSERT_EQ(device->ColorFill(ldr, nullptr, red), D3D_OK);
    const RECT one{2, 0, 3, 1};
    const RECT lastTwo{4, 1, 6, 2};
    ASSERT_EQ(device->ColorFill(ldr, &one, blue), D3D_OK);
    ASSERT_EQ(device->ColorFill(ldr, &lastTwo, blue), D3D_OK);
    ASSERT_EQ(device->StretchRect(ldr, nullptr, hdr, nullptr, D3DTEXF_POINT), D3D_OK);
    ASSERT_EQ(device->StretchRect(hdr, nullptr, back, nullptr, D3DTEXF_POINT), D3D_OK);
    const std::vector<DWORD> texels = ReadTexels(back);
    const std::vector<DWORD> expected{red, red, blue, red, red, red, red, red, red, red, blue, blue};
    EXPECT_EQ(texels, expected);
    ldr->Release();
    hdr->Release();
    back->Release();
}

// Fills of a whole target followed by copies and by fills of a part: whatever reads the target
// afterwards sees each in its turn.
TEST_P(D3D9DeviceTargetTest, WholeFillsThenCopiesAndPartsReadBackInOrder)
{
    IDirect3DSurface9* ldr = MakeRenderTarget(4, 2, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* hdr = MakeRenderTarget(4, 2, D3DFMT_A16B16G16R16F);
    IDirect3DSurface9* back = MakeRenderTarget(4, 2, D3DFMT_A8R8G8B8);
    ASSERT_TRUE(ldr && hdr && back);
    const D3DCOLOR green = D3DCOLOR_ARGB(255, 0, 255, 0);
    const D3DCOLOR red = D3DCOLOR_ARGB(255, 255, 0, 0);
    const D3DCOLOR blue = D3DCOLOR_ARGB(255, 0, 0, 255);
    ASSERT_EQ(device->ColorFill(ldr, nullptr, green), D3D_OK);
    ASSERT_EQ(device->StretchRect(ldr, nullptr, hdr, nullptr, D3DTEXF_POINT), D3D_OK);
    const RECT one{1, 0, 2, 1};
    ASSERT_EQ(device->ColorFill(hdr, &one, red), D3D_OK);
    ASSERT_EQ(device->StretchRect(hdr, nullptr, back, nullptr, D3DTEXF_POINT), D3D_OK);
    EXPECT_EQ(ReadTexels(back), (std::vector<DWORD>{green, red, green, green, green, green, green, green}));

    // A whole fill over a target with parts of its own, copied whole into another.
    ASSERT_EQ(device->ColorFill(ldr, &one, red), D3D_OK);
    ASSERT_EQ(device->ColorFill(ldr, nullptr, blue), D3D_OK);
    ASSERT_EQ(device->StretchRect(ldr, nullptr, back, nullptr, D3DTEXF_POINT), D3D_OK);
    EXPECT_EQ(ReadTexels(back), std::vector<DWORD>(8, blue));
    ldr->Release();
    hdr->Release();
    back->Release();
}

TEST_P(D3D9DeviceTargetTest, GetRenderTargetDataNeedsAMatchingSystemMemorySurface)
{
    IDirect3DSurface9* target = MakeRenderTarget(8, 8);
    IDirect3DSurface9* good = MakeSystemSurface(8, 8);
    IDirect3DSurface9* smaller = MakeSystemSurface(4, 4);
    IDirect3DSurface9* otherFormat = MakeSystemSurface(8, 8, D3DFMT_X8R8G8B8);
    IDirect3DSurface9* video = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &video, nullptr), D3D_OK);
    ASSERT_TRUE(target && good && smaller && otherFormat);
    ASSERT_EQ(device->ColorFill(target, nullptr, kGreen), D3D_OK);
    EXPECT_EQ(device->GetRenderTargetData(target, good), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(good->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    DWORD texel = 0;
    std::memcpy(&texel, static_cast<std::uint8_t*>(locked.pBits) + 7 * locked.Pitch + 28, 4);
    EXPECT_EQ(texel, kGreen);
    EXPECT_EQ(device->GetRenderTargetData(target, good), D3DERR_INVALIDCALL); // destination locked
    ASSERT_EQ(good->UnlockRect(), D3D_OK);
    EXPECT_EQ(device->GetRenderTargetData(target, smaller), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderTargetData(target, otherFormat), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderTargetData(target, video), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderTargetData(good, smaller), D3DERR_INVALIDCALL); // not a render target
    EXPECT_EQ(device->GetRenderTargetData(nullptr, good), D3DERR_INVALIDCALL);
    for (IDirect3DSurface9* surface : {target, good, smaller, otherFormat, video}) {
        surface->Release();
    }
}

TEST_P(D3D9DeviceTargetTest, ColorFillChecksItsSurfaceAndRect)
{
    IDirect3DSurface9* system = MakeSystemSurface(4, 4);
    IDirect3DSurface9* target = MakeRenderTarget(4, 4);
    ASSERT_TRUE(system && target);
    RECT outside{2, 2, 5, 4};
    EXPECT_EQ(device->ColorFill(system, nullptr, kRed), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->ColorFill(target, &outside, kRed), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->ColorFill(nullptr, nullptr, kRed), D3DERR_INVALIDCALL);
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depth), D3D_OK);
    EXPECT_EQ(device->ColorFill(depth, nullptr, kRed), D3DERR_INVALIDCALL);
    depth->Release();
    system->Release();
    target->Release();
}

TEST_P(D3D9DeviceTargetTest, PresentKeepsTheClearedBackBuffer)
{
    std::vector<std::uint8_t> frame;
    UINT width = 0;
    UINT height = 0;
    EXPECT_EQ(device->GetPresentedFrame(frame, width, height), D3DERR_NOTAVAILABLE);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(0, 10, 20, 30), 1.0f, 0),
              D3D_OK);
    D3DRECT bar{0, 0, static_cast<LONG>(kWidth), 4};
    ASSERT_EQ(device->Clear(1, &bar, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // Later clears do not change the presented frame.
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->GetPresentedFrame(frame, width, height), D3D_OK);
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(height, kHeight);
    ASSERT_EQ(frame.size(), std::size_t{kWidth} * kHeight * 4);
    const std::uint8_t* top = &frame[0];
    const std::uint8_t* middle = &frame[(std::size_t{kHeight / 2} * kWidth + 5) * 4];
    EXPECT_EQ(std::vector<int>(top, top + 4), (std::vector<int>{0, 0, 0, 255}));
    EXPECT_EQ(std::vector<int>(middle, middle + 4), (std::vector<int>{30, 20, 10, 255})); // X8: alpha 255

    RECT source{0, 0, 4, 4};
    EXPECT_EQ(device->Present(&source, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL); // not D3DSWAPEFFECT_COPY
    int region = 0;
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, &region), D3DERR_INVALIDCALL);
}

} // namespace

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "GLTestDevice.h"
#include "d3d9/DeviceFactory.h"

namespace {

using GLDeviceLifecycleTest = GLTestDevice;

constexpr D3DCOLOR kRed = D3DCOLOR_XRGB(255, 0, 0);

TEST_F(GLDeviceLifecycleTest, OcclusionQueryCountsCoveredPixels)
{
    IDirect3DQuery9* query = nullptr;
    ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, &query), D3D_OK);
    Own(query);
    EXPECT_EQ(query->GetDataSize(), sizeof(DWORD));
    EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_TIMESTAMPDISJOINT, nullptr), D3DERR_NOTAVAILABLE);
    UseColourShaders();
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.f, 0), D3D_OK);
    struct Case {
        float left, top, right, bottom;
        float z;
        DWORD expected;
    };
    const Case cases[] = {
        {0, 0, 10, 7, 0.5f, 70},   // 10 x 7 pixels
        {20, 20, 21, 21, 0.5f, 1}, // one pixel
        {0, 0, 10, 7, 0.9f, 0},    // behind what the first drew
        {5, 0, 15, 7, 0.7f, 35},   // half hidden: only x 10..14 pass
    };
    for (const Case& c : cases) {
        ASSERT_EQ(query->Issue(D3DISSUE_BEGIN), D3D_OK);
        DrawRect(c.left, c.top, c.right, c.bottom, kRed, c.z);
        ASSERT_EQ(query->Issue(D3DISSUE_END), D3D_OK);
        DWORD samples = 0xFFFFFFFF;
        HRESULT hr;
        while ((hr = query->GetData(&samples, sizeof samples, D3DGETDATA_FLUSH)) == S_FALSE) {
        }
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(samples, c.expected) << c.left << "," << c.top << " z " << c.z;
    }
    // Two bytes take the low half of the count (35 = 0x23) and leave the rest alone.
    DWORD small = 0xAAAAAAAA;
    EXPECT_EQ(query->GetData(&small, 2, 0), S_OK);
    EXPECT_EQ(small, 0xAAAA0023u);
}

TEST_F(GLDeviceLifecycleTest, ScenesPairAndPresentKeepsTheFrameReadable)
{
    std::vector<std::uint8_t> frame;
    UINT w = 0, h = 0;
    EXPECT_EQ(device->GetPresentedFrame(frame, w, h), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    UseColourShaders();
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 80), 1.f, 0), D3D_OK);
    DrawRect(0, 0, 20, 10, kRed);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(device->GetPresentedFrame(frame, w, h), D3D_OK);
    ASSERT_EQ(w, 64u);
    ASSERT_EQ(h, 64u);
    const auto pixel = [&](UINT x, UINT y) {
        const std::uint8_t* p = &frame[(y * w + x) * 4];
        return static_cast<std::uint32_t>(p[2] << 16 | p[1] << 8 | p[0]);
    };
    EXPECT_EQ(pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(pixel(19, 9), 0xFF0000u);
    EXPECT_EQ(pixel(20, 9), 0x000050u);
    EXPECT_EQ(pixel(0, 10), 0x000050u);
    std::vector<std::uint32_t> asColours(frame.size() / 4);
    std::memcpy(asColours.data(), frame.data(), frame.size());
    SavePng("presented.png", asColours, w, h);
    // The back buffer still holds the frame after Present.
    EXPECT_EQ(ReadBackBuffer(), asColours);
}

TEST_F(GLDeviceLifecycleTest, ObjectsOutliveTheDestroyedWindow)
{
    // Direct3D lets a device's objects be released after its window is gone; the GL names are
    // then deleted on a context of the device's own, and presenting keeps the readable frame.
    IDirect3DVertexShader9* shader = nullptr;
    ASSERT_EQ(device->CreateVertexShader("in vec4 POSITION0; void main() { gl_Position = POSITION0; }", &shader),
              D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    UseColourShaders();
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    DrawRect(0, 0, 8, 8, kRed);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    UnregisterSDLWindow(hwnd);
    hwnd = nullptr;
    SDL_DestroyWindow(window);
    window = nullptr;
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.f, 0), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    std::vector<std::uint8_t> frame;
    UINT w = 0, h = 0;
    ASSERT_EQ(device->GetPresentedFrame(frame, w, h), D3D_OK);
    EXPECT_EQ(frame[2], 0xFF);
    EXPECT_EQ(shader->Release(), 0u);
    EXPECT_EQ(texture->Release(), 0u);
    // The device itself and its remaining objects go at tear-down, still without the window.
}

TEST_F(GLDeviceLifecycleTest, ResetFailsWhileVideoMemoryResourcesLiveAndSucceedsAfterRelease)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
        D3D_OK);
    IDirect3DTexture9* managed = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr), D3D_OK);
    Own(managed);
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    D3DPRESENT_PARAMETERS reset = params;
    reset.BackBufferWidth = 48;
    reset.BackBufferHeight = 32;
    EXPECT_EQ(device->Reset(&reset), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(texture->Release(), 0u); // Reset dropped the device's own reference
    // A held back buffer blocks Reset too.
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    EXPECT_EQ(device->Reset(&reset), D3DERR_INVALIDCALL);
    back->Release();
    ASSERT_EQ(device->Reset(&reset), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    back->Release();
    EXPECT_EQ(desc.Width, 48u);
    EXPECT_EQ(desc.Height, 32u);
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 48u);
    // The managed texture lived through it and still works.
    EXPECT_EQ(device->SetTexture(0, managed), D3D_OK);
    UseColourShaders();
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.f, 0), D3D_OK);
    DrawRect(0, 0, 48, 32, kRed);
    UINT w = 0;
    std::vector<std::uint32_t> pixels = ReadBackBuffer(&w);
    EXPECT_EQ(w, 48u);
    EXPECT_EQ(Rgb(pixels.back()), 0xFF0000u);
}

TEST_F(GLDeviceLifecycleTest, InjectedDeviceLossFollowsDirect3DSequence)
{
    device->InjectDeviceLoss("Present", 2);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    // Drawing on a lost device succeeds and draws nothing.
    UseColourShaders();
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.f, 0), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    // Read-backs report the loss.
    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    ASSERT_EQ(device->CreateOffscreenPlainSurface(64, 64, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr), D3D_OK);
    EXPECT_EQ(device->GetRenderTargetData(back, copy), D3DERR_DEVICELOST);
    back->Release();
    copy->Release();
    D3DPRESENT_PARAMETERS reset = params;
    ASSERT_EQ(device->Reset(&reset), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(GLDeviceLifecycleTest, DeviceLossFromTheEnvironmentCountsFromCreation)
{
    DestroyDevice();
    setenv("ORVALA_D3D_DEVICE_LOST", "BeginScene:3", 1);
    CreateDevice(32, 32, D3DMULTISAMPLE_NONE, true);
    unsetenv("ORVALA_D3D_DEVICE_LOST");
    for (int frame = 1; frame <= 2; ++frame) {
        ASSERT_EQ(device->BeginScene(), D3D_OK) << frame;
        ASSERT_EQ(device->EndScene(), D3D_OK);
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
    EXPECT_EQ(device->BeginScene(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
}

TEST_F(GLDeviceLifecycleTest, ShaderErrorsCarryTheCompilerLog)
{
    IDirect3DPixelShader9* shader = nullptr;
    std::string log;
    EXPECT_EQ(device->CreatePixelShader("out vec4 COLOR0; void main() { COLOR0 = undefinedThing; }", &shader, &log),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(shader, nullptr);
    EXPECT_NE(log.find("undefinedThing"), std::string::npos) << log;
    IDirect3DVertexShader9* vertex = nullptr;
    EXPECT_EQ(device->CreateVertexShader("void notMain() {}", &vertex, &log), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexShader(nullptr, &vertex, nullptr), D3DERR_INVALIDCALL);
    // Drawing needs both shaders and a declaration: there is no fixed-function pipeline.
    const ColourVertex tri[3] = {};
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColourVertex)), D3DERR_INVALIDCALL);
}

class GLDirect3DTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
    }
    void TearDown() override { d3d->Release(); }
    IDirect3D9* d3d = nullptr;
};

TEST_F(GLDirect3DTest, ModesCapsAndFormatChecks)
{
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    const UINT modes = d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
    ASSERT_GT(modes, 0u);
    D3DDISPLAYMODE mode{};
    for (UINT i = 0; i < modes; ++i) {
        ASSERT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &mode), D3D_OK);
        EXPECT_GT(mode.Width, 0u);
        EXPECT_GT(mode.RefreshRate, 0u);
        EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    }
    EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, modes, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->EnumAdapterModes(1, D3DFMT_X8R8G8B8, 0, &mode), D3DERR_INVALIDCALL);
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);

    D3DCAPS9 caps{};
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.NumSimultaneousRTs, 4u);
    EXPECT_GE(caps.VertexShaderVersion & 0xFF00, 0x300u);
    EXPECT_GE(caps.PixelShaderVersion & 0xFF00, 0x300u);
    EXPECT_GE(caps.MaxTextureWidth, 2048u);
    EXPECT_TRUE(caps.TextureCaps & D3DPTEXTURECAPS_CUBEMAP);
    EXPECT_TRUE(caps.TextureCaps & D3DPTEXTURECAPS_VOLUMEMAP);
    EXPECT_FALSE(caps.TextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY));
    EXPECT_TRUE(caps.PrimitiveMiscCaps & D3DPMISCCAPS_MRTPOSTPIXELSHADERBLENDING);
    EXPECT_NE(caps.VertexProcessingCaps, 0u);
    EXPECT_EQ(d3d->GetDeviceCaps(1, D3DDEVTYPE_HAL, &caps), D3DERR_INVALIDCALL);

    struct Check {
        DWORD usage;
        D3DRESOURCETYPE type;
        D3DFORMAT format;
        HRESULT expected;
    };
    const Check checks[] = {
        {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16, D3D_OK},
        {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24S8, D3D_OK},
        {D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_A16B16G16R16F, D3D_OK},
        {D3DUSAGE_RENDERTARGET, D3DRTYPE_CUBETEXTURE, D3DFMT_G16R16F, D3D_OK},
        {D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_L8, D3DERR_NOTAVAILABLE},
        {D3DUSAGE_RENDERTARGET, D3DRTYPE_VOLUMETEXTURE, D3DFMT_A8R8G8B8, D3DERR_NOTAVAILABLE},
        {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_A8R8G8B8, D3DERR_NOTAVAILABLE},
        {0, D3DRTYPE_TEXTURE, D3DFMT_R5G6B5, D3D_OK},
        {0, D3DRTYPE_TEXTURE, D3DFMT_A8L8, D3DERR_NOTAVAILABLE},
        {0, D3DRTYPE_TEXTURE, D3DFMT_DXT1, D3D_OK},
    };
    for (const Check& c : checks)
        EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, c.usage, c.type, c.format), c.expected)
            << "format " << c.format << " usage " << c.usage;
    DWORD qualities = 0;
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_NONE,
                                              &qualities),
              D3D_OK);
    EXPECT_EQ(qualities, 1u);
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_D16, FALSE, D3DMULTISAMPLE_3_SAMPLES, nullptr),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_L8, FALSE, D3DMULTISAMPLE_2_SAMPLES, nullptr),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A16B16G16R16F, D3DFMT_D24S8),
              D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE), D3DERR_NOTAVAILABLE);
}

TEST_F(GLDirect3DTest, CreateDeviceRefusesBadAdaptersAndWindows)
{
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 32;
    params.BackBufferHeight = 32;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    IDirect3DDevice9* device = nullptr;
    EXPECT_EQ(d3d->CreateDevice(1, D3DDEVTYPE_HAL, nullptr, 0, &params, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(0x7777), 0, &params, &device),
              D3DERR_INVALIDCALL);
    // A window without SDL_WINDOW_OPENGL cannot carry a GL device.
    SDL_Window* plain = SDL_CreateWindow("no GL", 0, 0, 32, 32, SDL_WINDOW_HIDDEN);
    ASSERT_NE(plain, nullptr);
    HWND handle = RegisterSDLWindow(plain);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, handle, 0, &params, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    UnregisterSDLWindow(handle);
    SDL_DestroyWindow(plain);
}

TEST_F(GLDirect3DTest, RecordingDeviceFromTheEnvironment)
{
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 32;
    params.BackBufferHeight = 32;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    setenv("ORVALA_D3D_DEVICE", "recording", 1);
    IDirect3DDevice9* device = nullptr;
    const HRESULT hr = d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &params, &device);
    unsetenv("ORVALA_D3D_DEVICE");
    ASSERT_EQ(hr, D3D_OK);
    ASSERT_NE(device, nullptr);
    device->BeginScene();
    EXPECT_FALSE(GetRecordedCalls(device).empty());
    device->Release();
}

} // namespace

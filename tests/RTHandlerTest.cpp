#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "DXFramework.h"
#include "FrameworkExMessage.h"
#include "RenderTargetPoolTests.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "d3d9/DeviceFactory.h"

namespace {

struct RTHandlerTraits {
    using Pool = RTHandler;
    using Record = RENDERTEXTURE;
    static constexpr const char* kName = "RTHandler";
    static constexpr const char* kCreateMethod = "CreateTexture";
    static constexpr const char* kSourcePath = ".\\Source\\Framework\\RenderTargetResources\\RTHandler\\RTHandler";
    static constexpr const char* kSourceFile = "Source/Framework/RenderTargetResources/RTHandler/RTHandler.cpp";
    static constexpr const char* kAccessMessage =
        "RTHandler::GetTexture: input handle does not correspond to an existing texture.";
    static constexpr const char* kUnrequestMessage =
        "RTHandler::Unrequest: input handle does not correspond to an existing resource.";
    static constexpr const char* kTargetNoun = "texture";

    static DWORD Request(const PoolDescription& d) { return RTHandler::Request(d.format, d.size, d.size / 2); }
    static void Unrequest(DWORD handle) { RTHandler::Unrequest(handle); }
    static RENDERTEXTURE* Access(DWORD handle) { return RTHandler::GetTexture(handle); }
    static bool Describes(const RENDERTEXTURE& r, const PoolDescription& d)
    {
        D3DSURFACE_DESC desc{};
        return r.format == d.format && r.width == d.size && r.height == d.size / 2 && r.surface != nullptr &&
               r.surface->GetDesc(&desc) == D3D_OK && desc.Format == d.format && desc.Width == d.size &&
               desc.Height == d.size / 2 && desc.Usage == D3DUSAGE_RENDERTARGET && desc.Pool == D3DPOOL_DEFAULT &&
               r.texture->GetLevelCount() == 1;
    }
    static std::vector<IUnknown*> Objects(const RENDERTEXTURE& r) { return {r.texture, r.surface}; }
};

INSTANTIATE_TYPED_TEST_SUITE_P(RTHandler, RenderTargetPoolTest, RTHandlerTraits, PoolTraitsName);

using RTHandlerTest = RenderTargetPoolTest<RTHandlerTraits>;

TEST_F(RTHandlerTest, MakesAOneLevelRenderTextureAndKeepsItsLevelZeroSurface)
{
    const DWORD handle = RTHandler::Request(D3DFMT_A8R8G8B8, 64, 32);
    const std::vector<RecordedCall> created = CallsNamed("CreateTexture");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].arguments, "64, 32, 1, 0x1, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, texture#1");
    const std::vector<RecordedCall> levels = CallsNamed("GetSurfaceLevel");
    ASSERT_EQ(levels.size(), 1u);
    EXPECT_EQ(levels[0].arguments, "texture#1, 0");

    RENDERTEXTURE* record = RTHandler::GetTexture(handle);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(record->texture->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(record->surface, level);
    level->Release();
}

TEST_F(RTHandlerTest, VideoMemoryIsTheSumOfTheTextures)
{
    struct Case {
        D3DFORMAT format;
        DWORD width, height;
        std::uint64_t bytes; // of this texture alone
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 64, 32, 8192},
        {D3DFMT_A16B16G16R16F, 16, 16, 2048},
        {D3DFMT_R16F, 128, 8, 2048},
        {D3DFMT_A8R8G8B8, 64, 32, 8192}, // a second holder of the first description
    };
    std::uint64_t total = 0;
    for (const Case& c : cases) {
        RTHandler::Request(c.format, c.width, c.height);
        total += c.bytes;
        EXPECT_EQ(RTHandler::GetVideoMemoryBytes(), total);
    }
    // Idle textures stay alive and keep counting.
    RTHandler::Unrequest(0);
    EXPECT_EQ(RTHandler::GetVideoMemoryBytes(), total);
    EXPECT_EQ(RTHandler::GetRecordCount(), 4u);
}

// Binding on every device of the layer: the texture's surface as the target and the framework's
// depth surface without multisampling.
class RTHandlerBindingTest : public D3D9DeviceTest {
protected:
    void SetUp() override
    {
        D3D9DeviceTest::SetUp();
        ASSERT_NE(device, nullptr);
        DXFramework::SetDevice(device);
        ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), D3D_OK);
        ASSERT_EQ(device->GetDepthStencilSurface(&mainDepth), D3D_OK);
        ASSERT_EQ(device->CreateDepthStencilSurface(kWidth, kHeight, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                                    &plainDepth, nullptr),
                  D3D_OK);
        DXFramework::SetDepthSurfaces(mainDepth, plainDepth);
        pool = std::make_unique<RTHandler>();
    }

    void TearDown() override
    {
        if (device != nullptr) {
            device->SetRenderTarget(0, backBuffer);
            device->SetRenderTarget(1, nullptr);
            device->SetDepthStencilSurface(mainDepth);
        }
        pool.reset();
        for (IDirect3DSurface9* surface : {backBuffer, mainDepth, plainDepth})
            if (surface != nullptr)
                surface->Release();
        D3D9DeviceTest::TearDown();
    }

    IDirect3DSurface9* BoundTarget(DWORD index)
    {
        IDirect3DSurface9* bound = nullptr;
        if (device->GetRenderTarget(index, &bound) == D3D_OK && bound != nullptr)
            bound->Release();
        return bound;
    }

    IDirect3DSurface9* BoundDepth()
    {
        IDirect3DSurface9* bound = nullptr;
        if (device->GetDepthStencilSurface(&bound) == D3D_OK && bound != nullptr)
            bound->Release();
        return bound;
    }

    FrameworkStateGuard framework;
    std::unique_ptr<RTHandler> pool;
    IDirect3DSurface9* backBuffer = nullptr;
    IDirect3DSurface9* mainDepth = nullptr;
    IDirect3DSurface9* plainDepth = nullptr;
};
ORVALA_INSTANTIATE_DEVICE_TESTS(RTHandlerBindingTest);

TEST_P(RTHandlerBindingTest, BindsTheTextureAndThePlainDepthSurface)
{
    RENDERTEXTURE* colour = RTHandler::GetTexture(RTHandler::Request(D3DFMT_A8R8G8B8, kWidth, kHeight));
    RENDERTEXTURE* normals = RTHandler::GetTexture(RTHandler::Request(D3DFMT_A8R8G8B8, kWidth, kHeight));
    ASSERT_EQ(BoundDepth(), mainDepth);

    colour->SetAsRenderTarget(0);
    EXPECT_EQ(BoundTarget(0), colour->surface);
    EXPECT_EQ(BoundDepth(), plainDepth);

    device->SetDepthStencilSurface(mainDepth);
    normals->SetAsRenderTarget(1);
    EXPECT_EQ(BoundTarget(0), colour->surface);
    EXPECT_EQ(BoundTarget(1), normals->surface);
    EXPECT_EQ(BoundDepth(), plainDepth);
}

TEST_P(RTHandlerBindingTest, AFailedBindingNamesThePoolsSource)
{
    RENDERTEXTURE* colour = RTHandler::GetTexture(RTHandler::Request(D3DFMT_A8R8G8B8, kWidth, kHeight));
    const std::string prefix =
        "Error: D3DERR_INVALIDCALL\n\n.\\Source\\Framework\\RenderTargetResources\\RTHandler\\RTHandler : ";
    // No device has 64 target slots.
    const std::string message = FrameworkExMessage([&] { colour->SetAsRenderTarget(64); });
    ASSERT_EQ(message.substr(0, prefix.size()), prefix);
    EXPECT_NE(RepositorySourceLine(RTHandlerTraits::kSourceFile, std::stoi(message.substr(prefix.size())))
                  .find("SetRenderTarget"),
              std::string::npos);
    EXPECT_EQ(BoundTarget(0), backBuffer);
}

} // namespace

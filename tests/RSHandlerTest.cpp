#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "DXFramework.h"
#include "RenderTargetPoolTests.h"
#include "RenderTargetResources/RSHandler/RSHandler.h"
#include "d3d9/DeviceFactory.h"

namespace {

struct RSHandlerTraits {
    using Pool = RSHandler;
    using Record = RENDERSURFACE;
    static constexpr const char* kName = "RSHandler";
    static constexpr const char* kCreateMethod = "CreateRenderTarget";
    static constexpr const char* kSourcePath = ".\\Source\\Framework\\RenderTargetResources\\RSHandler\\RSHandler";
    static constexpr const char* kSourceFile = "Source/Framework/RenderTargetResources/RSHandler/RSHandler.cpp";
    static constexpr const char* kAccessMessage =
        "RSHandler::GetSurface: input handle does not correspond to an existing surface.";
    static constexpr const char* kUnrequestMessage =
        "RSHandler::Unrequest: input handle does not correspond to an existing resource.";
    static constexpr const char* kTargetNoun = "surface";

    static DWORD Request(const PoolDescription& d) { return RSHandler::Request(d.size, d.size / 2, d.format); }
    static void Unrequest(DWORD handle) { RSHandler::Unrequest(handle); }
    static RENDERSURFACE* Access(DWORD handle) { return RSHandler::GetSurface(handle); }
    static bool Describes(const RENDERSURFACE& r, const PoolDescription& d)
    {
        D3DSURFACE_DESC desc{};
        return r.format == d.format && r.width == d.size && r.height == d.size / 2 && r.surface != nullptr &&
               r.surface->GetDesc(&desc) == D3D_OK && desc.Format == d.format && desc.Width == d.size &&
               desc.Height == d.size / 2 && desc.Usage == D3DUSAGE_RENDERTARGET;
    }
    static std::vector<IUnknown*> Objects(const RENDERSURFACE& r) { return {r.surface}; }
};

INSTANTIATE_TYPED_TEST_SUITE_P(RSHandler, RenderTargetPoolTest, RSHandlerTraits, PoolTraitsName);

using RSHandlerTest = RenderTargetPoolTest<RSHandlerTraits>;

// The surfaces share the back buffer's multisampling, whatever it is when they are made; the
// samples count in their memory.
TEST_F(RSHandlerTest, SurfacesTakeTheFrameworksMultisampling)
{
    struct Case {
        D3DMULTISAMPLE_TYPE type;
        const char* arguments;
        std::uint64_t bytes; // of this 64 x 32 A8R8G8B8 surface alone
    };
    const Case cases[] = {
        {D3DMULTISAMPLE_NONE, "64, 32, D3DFMT_A8R8G8B8, 0, 0, 0, surface#", 8192},
        {D3DMULTISAMPLE_2_SAMPLES, "64, 32, D3DFMT_A8R8G8B8, 2, 0, 0, surface#", 16384},
        {D3DMULTISAMPLE_4_SAMPLES, "64, 32, D3DFMT_A8R8G8B8, 4, 0, 0, surface#", 32768},
    };
    std::uint64_t total = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        DXFramework::SetMultiSample(c.type, 0);
        RENDERSURFACE* record = RSHandler::GetSurface(RSHandler::Request(64, 32, D3DFMT_A8R8G8B8));
        const std::vector<RecordedCall> created = CallsNamed("CreateRenderTarget");
        ASSERT_FALSE(created.empty());
        EXPECT_EQ(created.back().arguments.substr(0, std::string(c.arguments).size()), c.arguments);
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(record->surface->GetDesc(&desc), D3D_OK);
        EXPECT_EQ(desc.MultiSampleType, c.type);
        total += c.bytes;
        EXPECT_EQ(RSHandler::GetVideoMemoryBytes(), total);
    }
    // The multisampling is not part of the description: an idle surface is taken whatever it is.
    RSHandler::Unrequest(0);
    EXPECT_EQ(RSHandler::Request(64, 32, D3DFMT_A8R8G8B8), 0u);
}

TEST_F(RSHandlerTest, ASurfaceMadeAgainAfterAResetTakesTheMultisamplingOfThen)
{
    const DWORD handle = RSHandler::Request(64, 32, D3DFMT_A8R8G8B8);
    RSHandler::ReleaseDeviceResources();
    ASSERT_EQ(Reset(), D3D_OK);
    DXFramework::SetMultiSample(D3DMULTISAMPLE_2_SAMPLES, 0);
    RSHandler::RecreateDeviceResources();
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(RSHandler::GetSurface(handle)->surface->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.MultiSampleType, D3DMULTISAMPLE_2_SAMPLES);
    EXPECT_EQ(RSHandler::GetVideoMemoryBytes(), 16384u);
}

// Binding on every device of the layer: only the target; the depth-stencil binding stays.
class RSHandlerBindingTest : public D3D9DeviceTest {
protected:
    void SetUp() override
    {
        D3D9DeviceTest::SetUp();
        ASSERT_NE(device, nullptr);
        DXFramework::SetDevice(device);
        DXFramework::SetMultiSample(D3DMULTISAMPLE_NONE, 0);
        ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), D3D_OK);
        ASSERT_EQ(device->GetDepthStencilSurface(&mainDepth), D3D_OK);
        pool = std::make_unique<RSHandler>();
    }

    void TearDown() override
    {
        if (device != nullptr) {
            device->SetRenderTarget(0, backBuffer);
            device->SetRenderTarget(1, nullptr);
        }
        pool.reset();
        for (IDirect3DSurface9* surface : {backBuffer, mainDepth})
            if (surface != nullptr)
                surface->Release();
        D3D9DeviceTest::TearDown();
    }

    FrameworkStateGuard framework;
    std::unique_ptr<RSHandler> pool;
    IDirect3DSurface9* backBuffer = nullptr;
    IDirect3DSurface9* mainDepth = nullptr;
};
ORVALA_INSTANTIATE_DEVICE_TESTS(RSHandlerBindingTest);

TEST_P(RSHandlerBindingTest, BindsOnlyTheSurface)
{
    RENDERSURFACE* first = RSHandler::GetSurface(RSHandler::Request(kWidth, kHeight, D3DFMT_A8R8G8B8));
    RENDERSURFACE* second = RSHandler::GetSurface(RSHandler::Request(kWidth, kHeight, D3DFMT_A8R8G8B8));
    first->SetAsRenderTarget(0);
    second->SetAsRenderTarget(1);
    IDirect3DSurface9* bound[2] = {};
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &bound[0]), D3D_OK);
    ASSERT_EQ(device->GetRenderTarget(1, &bound[1]), D3D_OK);
    ASSERT_EQ(device->GetDepthStencilSurface(&depth), D3D_OK);
    EXPECT_EQ(bound[0], first->surface);
    EXPECT_EQ(bound[1], second->surface);
    EXPECT_EQ(depth, mainDepth);
    for (IDirect3DSurface9* surface : {bound[0], bound[1], depth})
        if (surface != nullptr)
            surface->Release();

    const std::string prefix =
        "Error: D3DERR_INVALIDCALL\n\n.\\Source\\Framework\\RenderTargetResources\\RSHandler\\RSHandler : ";
    const std::string message = FrameworkExMessage([&] { first->SetAsRenderTarget(64); }); // no such slot
    EXPECT_EQ(message.substr(0, prefix.size()), prefix);
}

} // namespace

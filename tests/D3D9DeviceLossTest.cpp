#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "D3D9DeviceTestFixture.h"

namespace {

class D3D9DeviceLossTest : public D3D9DeviceTest {
protected:
    // Sets ORVALA_D3D_DEVICE_LOST for one device; the previous value comes back afterwards.
    void SetLossVariable(const char* value)
    {
        if (const char* old = std::getenv(kVariable)) {
            saved_ = old;
        }
        ::setenv(kVariable, value, 1);
        changed_ = true;
    }

    void TearDown() override
    {
        if (changed_) {
            if (saved_) {
                ::setenv(kVariable, saved_->c_str(), 1);
            } else {
                ::unsetenv(kVariable);
            }
        }
        D3D9DeviceTest::TearDown();
    }

    static constexpr const char* kVariable = "ORVALA_D3D_DEVICE_LOST";
    std::optional<std::string> saved_;
    bool changed_ = false;
};
ORVALA_INSTANTIATE_DEVICE_TESTS(D3D9DeviceLossTest);

TEST_P(D3D9DeviceLossTest, ALostDeviceReportsLostThenNotResetUntilReset)
{
    IDirect3DTexture9* managed = MakeTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    IDirect3DSurface9* target = MakeRenderTarget(8, 8);
    ASSERT_TRUE(managed && target);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, 0), D3D_OK);
    static_cast<std::uint8_t*>(locked.pBits)[0] = 42;
    ASSERT_EQ(managed->UnlockRect(0), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);

    device->InjectDeviceLoss("Present", 2);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

    // Other calls succeed without effect.
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);

    // Reset needs every D3DPOOL_DEFAULT resource released first.
    D3DPRESENT_PARAMETERS params = DefaultParameters();
    EXPECT_EQ(device->Reset(&params), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    target->Release();
    ASSERT_EQ(device->Reset(&params), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    // State is back at its defaults; managed resources keep their bytes.
    DWORD cull = 0;
    ASSERT_EQ(device->GetRenderState(D3DRS_CULLMODE, &cull), D3D_OK);
    EXPECT_EQ(cull, static_cast<DWORD>(D3DCULL_CCW));
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<std::uint8_t*>(locked.pBits)[0], 42);
    ASSERT_EQ(managed->UnlockRect(0), D3D_OK);
    managed->Release();
}

TEST_P(D3D9DeviceLossTest, TheEnvironmentVariableCountsCallsFromCreation)
{
    SetLossVariable("BeginScene:2");
    IDirect3DDevice9* other = MakeDevice(DefaultParameters());
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->BeginScene(), D3D_OK);
    EXPECT_EQ(other->EndScene(), D3D_OK);
    EXPECT_EQ(other->BeginScene(), D3DERR_DEVICELOST);
    EXPECT_EQ(other->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(other->TestCooperativeLevel(), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS params = DefaultParameters();
    ASSERT_EQ(other->Reset(&params), D3D_OK);
    EXPECT_EQ(other->BeginScene(), D3D_OK); // the loss happens once
    EXPECT_EQ(other->EndScene(), D3D_OK);
    EXPECT_EQ(other->Release(), 0u);
}

TEST_P(D3D9DeviceLossTest, MalformedVariablesAreIgnored)
{
    for (const char* value :
         {"Present", "Present:", "Present:0", ":3", "Present:x", "Present:2x", "Present:-1", "Present: 2",
          "Present:4294967296"}) {
        SCOPED_TRACE(value);
        SetLossVariable(value);
        IDirect3DDevice9* other = MakeDevice(DefaultParameters());
        ASSERT_NE(other, nullptr);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(other->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        }
        EXPECT_EQ(other->Release(), 0u);
    }
}

TEST_P(D3D9DeviceLossTest, InjectionsArmSeveralMethodsAndANullMethodDisarmsThemAll)
{
    device->InjectDeviceLoss("BeginScene", 2);
    device->InjectDeviceLoss("Present", 1);
    device->InjectDeviceLoss(nullptr, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        EXPECT_EQ(device->EndScene(), D3D_OK);
        EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
    // Two methods armed at once: whichever comes first loses the device.
    device->InjectDeviceLoss("Present", 2);
    device->InjectDeviceLoss("Clear", 1);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS params = DefaultParameters();
    ASSERT_EQ(device->Reset(&params), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
}

TEST_P(D3D9DeviceLossTest, HeldBackBuffersAndDefaultPoolResourcesBlockReset)
{
    D3DPRESENT_PARAMETERS params = DefaultParameters();
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    EXPECT_EQ(device->Reset(&params), D3DERR_INVALIDCALL);
    back->Release();

    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(16, D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT, &buffer, nullptr), D3D_OK);
    EXPECT_EQ(device->Reset(&params), D3DERR_INVALIDCALL);
    buffer->Release();

    // A released resource the device still binds does not count: Reset unbinds it.
    IDirect3DTexture9* texture = MakeTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    texture->Release();
    // Managed and system-memory resources do not count either.
    IDirect3DTexture9* managed = MakeTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    IDirect3DSurface9* system = MakeSystemSurface(8, 8);
    EXPECT_EQ(device->Reset(&params), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, nullptr);
    managed->Release();
    system->Release();
    EXPECT_EQ(device->Reset(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET); // a failed reset leaves the device lost
    ASSERT_EQ(device->Reset(&params), D3D_OK);
}

TEST_P(D3D9DeviceLossTest, ResetRebuildsTheBackBufferAtTheNewSize)
{
    D3DPRESENT_PARAMETERS params = DefaultParameters();
    params.BackBufferWidth = 32;
    params.BackBufferHeight = 16;
    params.EnableAutoDepthStencil = FALSE;
    ASSERT_EQ(device->Reset(&params), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 32u);
    EXPECT_EQ(desc.Height, 16u);
    back->Release();
    D3DVIEWPORT9 viewport{};
    ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.Width, 32u);
    EXPECT_EQ(viewport.Height, 16u);
    IDirect3DSurface9* depth = nullptr;
    EXPECT_EQ(device->GetDepthStencilSurface(&depth), D3DERR_NOTFOUND);
    DWORD zenable = 1;
    ASSERT_EQ(device->GetRenderState(D3DRS_ZENABLE, &zenable), D3D_OK);
    EXPECT_EQ(zenable, static_cast<DWORD>(D3DZB_FALSE));

    params.BackBufferFormat = D3DFMT_L8;
    EXPECT_EQ(device->Reset(&params), D3DERR_NOTAVAILABLE);
    params = DefaultParameters();
    ASSERT_EQ(device->Reset(&params), D3D_OK);
}

} // namespace

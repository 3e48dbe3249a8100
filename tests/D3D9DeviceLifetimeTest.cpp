#include <gtest/gtest.h>

#include <cstdint>

#include "D3D9DeviceTestFixture.h"

namespace {

class D3D9DeviceLifetimeTest : public D3D9DeviceTest {};
ORVALA_INSTANTIATE_DEVICE_TESTS(D3D9DeviceLifetimeTest);

TEST_P(D3D9DeviceLifetimeTest, ObjectsStartWithOneReferenceAndHoldTheDevice)
{
    ULONG alone = RefCount(device);
    IDirect3DTexture9* texture = MakeTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(RefCount(texture), 1u);
    EXPECT_EQ(RefCount(device), alone + 1);
    EXPECT_EQ(texture->AddRef(), 2u);
    EXPECT_EQ(texture->Release(), 1u);
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(texture->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device);
    owner->Release();
    EXPECT_EQ(texture->GetDevice(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(RefCount(device), alone);
}

TEST_P(D3D9DeviceLifetimeTest, AHeldLevelKeepsItsTextureAlive)
{
    IDirect3DTexture9* texture = MakeTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    ASSERT_NE(texture, nullptr);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(1, &level), D3D_OK);
    IDirect3DSurface9* same = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(1, &same), D3D_OK);
    EXPECT_EQ(level, same);
    same->Release();
    EXPECT_EQ(texture->GetSurfaceLevel(4, &same), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->GetSurfaceLevel(0, nullptr), D3DERR_INVALIDCALL);

    // The level's references are the texture's: releasing the texture leaves it alive.
    EXPECT_EQ(texture->Release(), 1u);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(level->LockRect(&locked, nullptr, 0), D3D_OK);
    static_cast<std::uint8_t*>(locked.pBits)[0] = 5;
    EXPECT_EQ(level->UnlockRect(), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(level->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(level->Release(), 0u);
}

TEST_P(D3D9DeviceLifetimeTest, HeldCubeFacesAndVolumeLevelsKeepTheirTexturesAlive)
{
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(device->CreateCubeTexture(8, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
    IDirect3DSurface9* face = nullptr;
    ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_X, 1, &face), D3D_OK);
    EXPECT_EQ(cube->Release(), 1u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(face->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(face->Release(), 0u);

    IDirect3DVolumeTexture9* volume = nullptr;
    ASSERT_EQ(device->CreateVolumeTexture(4, 4, 4, 0, 0, D3DFMT_L8, D3DPOOL_MANAGED, &volume, nullptr), D3D_OK);
    IDirect3DVolume9* level = nullptr;
    ASSERT_EQ(volume->GetVolumeLevel(2, &level), D3D_OK);
    EXPECT_EQ(volume->GetVolumeLevel(3, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(volume->Release(), 1u);
    D3DVOLUME_DESC volumeDesc{};
    ASSERT_EQ(level->GetDesc(&volumeDesc), D3D_OK);
    EXPECT_EQ(volumeDesc.Depth, 1u);
    EXPECT_EQ(level->Release(), 0u);
}

TEST_P(D3D9DeviceLifetimeTest, BoundObjectsStayUsableAfterTheApplicationReleasesThem)
{
    const ULONG alone = RefCount(device);
    IDirect3DTexture9* texture = MakeTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    ASSERT_NE(texture, nullptr);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(1, level), D3D_OK);
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    // Binding does not show in the counts.
    EXPECT_EQ(level->Release(), 1u);
    EXPECT_EQ(texture->Release(), 0u);
    // Nor does a binding hold the device: only the application's references do.
    EXPECT_EQ(RefCount(device), alone);

    // The device still has them.
    IDirect3DSurface9* bound = nullptr;
    ASSERT_EQ(device->GetRenderTarget(1, &bound), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(bound->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 8u);
    bound->Release();
    IDirect3DBaseTexture9* stage = nullptr;
    ASSERT_EQ(device->GetTexture(0, &stage), D3D_OK);
    ASSERT_NE(stage, nullptr);
    EXPECT_EQ(stage->GetLevelCount(), 1u);
    stage->Release();

    // Unbinding frees them (TearDown checks the device has nothing left).
    EXPECT_EQ(device->SetRenderTarget(1, nullptr), D3D_OK);
    EXPECT_EQ(device->SetTexture(0, nullptr), D3D_OK);
}

TEST_P(D3D9DeviceLifetimeTest, GettersAddAReference)
{
    const ULONG alone = RefCount(device);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    // The device's own surfaces hold it too while the application holds them.
    EXPECT_EQ(RefCount(device), alone + 1);
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &target), D3D_OK);
    EXPECT_EQ(target, back);
    EXPECT_EQ(RefCount(back), 2u);
    target->Release();
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depth), D3D_OK);
    EXPECT_EQ(RefCount(depth), 1u);
    depth->Release();
    EXPECT_EQ(back->Release(), 0u);
    EXPECT_EQ(RefCount(device), alone);

    EXPECT_EQ(device->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, &back), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetBackBuffer(1, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, nullptr), D3DERR_INVALIDCALL);
}

TEST_P(D3D9DeviceLifetimeTest, ObjectsOfAnotherDeviceAreRefused)
{
    IDirect3DDevice9* other = MakeDevice(DefaultParameters());
    ASSERT_NE(other, nullptr);
    IDirect3DSurface9* foreign = nullptr;
    ASSERT_EQ(other->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &foreign, nullptr),
              D3D_OK);
    IDirect3DTexture9* foreignTexture = nullptr;
    ASSERT_EQ(other->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &foreignTexture, nullptr), D3D_OK);
    EXPECT_EQ(device->SetRenderTarget(0, foreign), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTexture(0, foreignTexture), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->ColorFill(foreign, nullptr, 0), D3DERR_INVALIDCALL);
    foreign->Release();
    foreignTexture->Release();
    EXPECT_EQ(other->Release(), 0u);
}

} // namespace

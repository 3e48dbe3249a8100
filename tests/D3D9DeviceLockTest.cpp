#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "D3D9DeviceTestFixture.h"

namespace {

class D3D9DeviceLockTest : public D3D9DeviceTest {};
ORVALA_INSTANTIATE_DEVICE_TESTS(D3D9DeviceLockTest);

TEST_P(D3D9DeviceLockTest, LockedTextureBytesPersistAndRectsOffsetIntoTheLevel)
{
    IDirect3DTexture9* texture = MakeTexture(16, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    ASSERT_NE(texture, nullptr);
    D3DLOCKED_RECT whole{};
    ASSERT_EQ(texture->LockRect(1, &whole, nullptr, 0), D3D_OK);
    ASSERT_GE(whole.Pitch, 8 * 4);
    for (int y = 0; y < 4; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(whole.pBits) + y * whole.Pitch);
        for (int x = 0; x < 8; ++x) {
            row[x] = static_cast<std::uint32_t>(y * 100 + x);
        }
    }
    ASSERT_EQ(texture->UnlockRect(1), D3D_OK);

    RECT area{3, 2, 5, 4};
    D3DLOCKED_RECT part{};
    ASSERT_EQ(texture->LockRect(1, &part, &area, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(part.Pitch, whole.Pitch);
    std::uint32_t first = 0;
    std::uint32_t below = 0;
    std::memcpy(&first, part.pBits, 4);
    std::memcpy(&below, static_cast<std::uint8_t*>(part.pBits) + part.Pitch + 4, 4);
    EXPECT_EQ(first, 203u);
    EXPECT_EQ(below, 304u);
    EXPECT_EQ(texture->UnlockRect(1), D3D_OK);

    // Other levels are untouched.
    D3DLOCKED_RECT top{};
    ASSERT_EQ(texture->LockRect(0, &top, nullptr, D3DLOCK_READONLY), D3D_OK);
    std::uint32_t untouched = 1;
    std::memcpy(&untouched, top.pBits, 4);
    EXPECT_EQ(untouched, 0u);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_P(D3D9DeviceLockTest, BadLocksAndUnlocksAreRefused)
{
    IDirect3DTexture9* texture = MakeTexture(16, 16, 2, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED);
    ASSERT_NE(texture, nullptr);
    D3DLOCKED_RECT locked{};
    const RECT kBad[] = {{0, 0, 17, 4}, {4, 4, 4, 8}, {-1, 0, 4, 4}, {8, 8, 4, 12}, {0, 0, 9, 9}};
    for (const RECT& rect : kBad) {
        SCOPED_TRACE(rect.right);
        UINT level = rect.right == 9 ? 1 : 0; // 9 x 9 is outside level 1's 8 x 8
        EXPECT_EQ(texture->LockRect(level, &locked, &rect, 0), D3DERR_INVALIDCALL);
    }
    EXPECT_EQ(texture->LockRect(2, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(0, nullptr, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK); // not locked: drivers answer D3D_OK
    EXPECT_EQ(texture->UnlockRect(2), D3DERR_INVALIDCALL); // no such level
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3DERR_INVALIDCALL); // not dynamic

    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    IDirect3DSurface9* level0 = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level0), D3D_OK);
    EXPECT_EQ(level0->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL); // the same level, already locked
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3D_OK);       // another level may be locked
    EXPECT_EQ(texture->UnlockRect(1), D3D_OK);
    EXPECT_EQ(level0->UnlockRect(), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK); // unlocked already: still D3D_OK
    level0->Release();
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_P(D3D9DeviceLockTest, DefaultPoolTexturesLockOnlyWhenDynamic)
{
    IDirect3DTexture9* target = MakeTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    IDirect3DTexture9* still = MakeTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    IDirect3DTexture9* dynamic = MakeTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    ASSERT_TRUE(target && still && dynamic);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(target->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(still->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(still->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(level->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    level->Release();

    // A dynamic texture takes D3DLOCK_DISCARD, but not with D3DLOCK_READONLY.
    EXPECT_EQ(dynamic->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD | D3DLOCK_READONLY), D3DERR_INVALIDCALL);
    ASSERT_EQ(dynamic->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
    EXPECT_NE(locked.pBits, nullptr);
    std::memset(locked.pBits, 0xAB, 8 * 4);
    EXPECT_EQ(dynamic->UnlockRect(0), D3D_OK);
    EXPECT_EQ(target->Release(), 0u);
    EXPECT_EQ(still->Release(), 0u);
    EXPECT_EQ(dynamic->Release(), 0u);
}

TEST_P(D3D9DeviceLockTest, CompressedLevelsLockWholeBlocks)
{
    IDirect3DTexture9* texture = MakeTexture(16, 8, 0, 0, D3DFMT_DXT1, D3DPOOL_MANAGED);
    ASSERT_NE(texture, nullptr);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 4 * 8); // four blocks of 8 bytes a row
    auto* base = static_cast<std::uint8_t*>(locked.pBits);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    RECT block{4, 4, 8, 8};
    ASSERT_EQ(texture->LockRect(0, &locked, &block, 0), D3D_OK);
    EXPECT_EQ(static_cast<std::uint8_t*>(locked.pBits), base + locked.Pitch + 8);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    RECT split{2, 0, 6, 4};
    EXPECT_EQ(texture->LockRect(0, &locked, &split, 0), D3DERR_INVALIDCALL);
    // The 2 x 1 last level is one block.
    ASSERT_EQ(texture->LockRect(4, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 8);
    EXPECT_EQ(texture->UnlockRect(4), D3D_OK);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_P(D3D9DeviceLockTest, CubeFacesAndVolumeSlicesAreSeparateMemory)
{
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(device->CreateCubeTexture(4, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACE_POSITIVE_Y, 0, &locked, nullptr, 0), D3D_OK);
    static_cast<std::uint8_t*>(locked.pBits)[0] = 77;
    ASSERT_EQ(cube->UnlockRect(D3DCUBEMAP_FACE_POSITIVE_Y, 0), D3D_OK);
    EXPECT_EQ(cube->UnlockRect(D3DCUBEMAP_FACE_POSITIVE_Y, 0), D3D_OK); // unlocked already
    ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACE_NEGATIVE_Y, 0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(static_cast<std::uint8_t*>(locked.pBits)[0], 0);
    ASSERT_EQ(cube->UnlockRect(D3DCUBEMAP_FACE_NEGATIVE_Y, 0), D3D_OK);
    IDirect3DSurface9* face = nullptr;
    ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_POSITIVE_Y, 0, &face), D3D_OK);
    ASSERT_EQ(face->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<std::uint8_t*>(locked.pBits)[0], 77);
    EXPECT_EQ(face->UnlockRect(), D3D_OK);
    face->Release();
    EXPECT_EQ(cube->Release(), 0u);

    IDirect3DVolumeTexture9* volume = nullptr;
    ASSERT_EQ(device->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &volume, nullptr), D3D_OK);
    D3DLOCKED_BOX box{};
    ASSERT_EQ(volume->LockBox(0, &box, nullptr, 0), D3D_OK);
    EXPECT_EQ(box.RowPitch, 16);
    EXPECT_EQ(box.SlicePitch, 64);
    static_cast<std::uint8_t*>(box.pBits)[2 * 64 + 16 + 4] = 9; // slice 2, row 1, texel 1
    ASSERT_EQ(volume->UnlockBox(0), D3D_OK);
    D3DBOX inner{1, 1, 2, 2, 2, 3};
    ASSERT_EQ(volume->LockBox(0, &box, &inner, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<std::uint8_t*>(box.pBits)[0], 9);
    EXPECT_EQ(volume->LockBox(0, &box, &inner, 0), D3DERR_INVALIDCALL); // already locked
    ASSERT_EQ(volume->UnlockBox(0), D3D_OK);
    D3DBOX outside{0, 0, 4, 4, 3, 5};
    EXPECT_EQ(volume->LockBox(0, &box, &outside, 0), D3DERR_INVALIDCALL);
    D3DBOX empty{0, 0, 4, 4, 2, 2};
    EXPECT_EQ(volume->LockBox(0, &box, &empty, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(volume->UnlockBox(0), D3D_OK); // unlocked already
    IDirect3DVolume9* level = nullptr;
    ASSERT_EQ(volume->GetVolumeLevel(0, &level), D3D_OK);
    ASSERT_EQ(level->LockBox(&box, &inner, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<std::uint8_t*>(box.pBits)[0], 9);
    EXPECT_EQ(level->UnlockBox(), D3D_OK);
    level->Release();
    EXPECT_EQ(volume->Release(), 0u);
}

TEST_P(D3D9DeviceLockTest, BufferLocksCoverRangesAndKeepTheirBytes)
{
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &buffer,
                                         nullptr),
              D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
    std::memset(data, 0x11, 64);
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    ASSERT_EQ(buffer->Lock(16, 8, &data, D3DLOCK_NOOVERWRITE), D3D_OK);
    std::memset(data, 0x22, 8);
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    ASSERT_EQ(buffer->Lock(12, 0, &data, D3DLOCK_READONLY), D3D_OK); // offset 12 to the end
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    EXPECT_EQ(bytes[3], 0x11);
    EXPECT_EQ(bytes[4], 0x22);
    EXPECT_EQ(bytes[11], 0x22);
    EXPECT_EQ(bytes[12], 0x11);
    // A locked buffer locks again (unlike a texture level); every Lock needs its Unlock.
    void* again = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &again, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<const std::uint8_t*>(again)[16], 0x22);
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(60, 8, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(64, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(0, 4, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(0, 4, &data, D3DLOCK_DISCARD | D3DLOCK_READONLY), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Release(), 0u);

    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &indices, nullptr), D3D_OK);
    ASSERT_EQ(indices->Lock(0, 12, &data, 0), D3D_OK); // static default-pool buffers lock too
    const std::uint16_t kIndices[] = {0, 1, 2, 2, 1, 3};
    std::memcpy(data, kIndices, sizeof kIndices);
    ASSERT_EQ(indices->Unlock(), D3D_OK);
    ASSERT_EQ(indices->Lock(6, 2, &data, D3DLOCK_READONLY), D3D_OK);
    std::uint16_t fourth = 0;
    std::memcpy(&fourth, data, 2);
    EXPECT_EQ(fourth, 2);
    ASSERT_EQ(indices->Unlock(), D3D_OK);
    EXPECT_EQ(indices->Release(), 0u);
}

TEST_P(D3D9DeviceLockTest, SurfacesLockWhenTheirKindAllows)
{
    IDirect3DSurface9* lockable = MakeRenderTarget(8, 8, D3DFMT_A8R8G8B8, TRUE);
    IDirect3DSurface9* unlockable = MakeRenderTarget(8, 8, D3DFMT_A8R8G8B8, FALSE);
    IDirect3DSurface9* plain = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr), D3D_OK);
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(8, 8, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &depth, nullptr),
              D3D_OK);
    ASSERT_TRUE(lockable && unlockable);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(lockable->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(lockable->UnlockRect(), D3D_OK);
    EXPECT_EQ(plain->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(plain->UnlockRect(), D3D_OK);
    EXPECT_EQ(unlockable->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(depth->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    EXPECT_EQ(back->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL); // not D3DPRESENTFLAG_LOCKABLE_BACKBUFFER
    back->Release();
    lockable->Release();
    unlockable->Release();
    plain->Release();
    depth->Release();
}

} // namespace

// Surfaces and formats as both devices make them: which format of which kind a creation call takes,
// which it refuses as a bad argument (D3DERR_INVALIDCALL) and which the adapter does not offer
// (D3DERR_NOTAVAILABLE), the multisample qualities, block sizes and the scratch pool. Each row is
// the answer Direct3D 9 drivers give.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "d3d9/D3DFormatInfo.h"

namespace {

using D3D9DeviceFormatsTest = D3D9DeviceTest;
ORVALA_INSTANTIATE_DEVICE_TESTS(D3D9DeviceFormatsTest);

// A code no format of Direct3D 9 has.
constexpr D3DFORMAT kUnknownCode = static_cast<D3DFORMAT>(0x1234);

// The result of a creation call; what it made is released, and nothing may be handed out on failure.
template <class T>
HRESULT Released(HRESULT hr, T* made)
{
    if (hr == D3D_OK && made == nullptr)
        ADD_FAILURE() << "D3D_OK without an object";
    if (hr != D3D_OK && made != nullptr)
        ADD_FAILURE() << "an object handed out with a failure";
    if (made != nullptr && made->Release() != 0)
        ADD_FAILURE() << "the object outlives its last reference";
    return hr;
}

D3D9RuleRow RenderTarget(const char* rule, HRESULT expected, UINT width, UINT height, D3DFORMAT format,
                         D3DMULTISAMPLE_TYPE type = D3DMULTISAMPLE_NONE, DWORD quality = 0)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DSurface9* made = nullptr;
                const HRESULT hr =
                    device->CreateRenderTarget(width, height, format, type, quality, FALSE, &made, nullptr);
                return Released(hr, made);
            }};
}

D3D9RuleRow DepthSurface(const char* rule, HRESULT expected, UINT width, UINT height, D3DFORMAT format,
                         D3DMULTISAMPLE_TYPE type = D3DMULTISAMPLE_NONE, DWORD quality = 0)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DSurface9* made = nullptr;
                const HRESULT hr =
                    device->CreateDepthStencilSurface(width, height, format, type, quality, FALSE, &made, nullptr);
                return Released(hr, made);
            }};
}

D3D9RuleRow PlainSurface(const char* rule, HRESULT expected, UINT width, UINT height, D3DFORMAT format,
                         D3DPOOL pool)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DSurface9* made = nullptr;
                const HRESULT hr = device->CreateOffscreenPlainSurface(width, height, format, pool, &made, nullptr);
                return Released(hr, made);
            }};
}

D3D9RuleRow Texture(const char* rule, HRESULT expected, UINT size, UINT levels, DWORD usage, D3DFORMAT format,
                    D3DPOOL pool)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DTexture9* made = nullptr;
                const HRESULT hr = device->CreateTexture(size, size, levels, usage, format, pool, &made, nullptr);
                return Released(hr, made);
            }};
}

D3D9RuleRow CubeTexture(const char* rule, HRESULT expected, UINT size, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DCubeTexture9* made = nullptr;
                const HRESULT hr = device->CreateCubeTexture(size, levels, usage, format, pool, &made, nullptr);
                return Released(hr, made);
            }};
}

D3D9RuleRow VolumeTexture(const char* rule, HRESULT expected, UINT size, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DVolumeTexture9* made = nullptr;
                const HRESULT hr =
                    device->CreateVolumeTexture(size, size, size, levels, usage, format, pool, &made, nullptr);
                return Released(hr, made);
            }};
}

// A format of the wrong kind for the call, or one the runtime does not know, is a bad argument; a
// format of the right kind the adapter does not offer is not available.
TEST_P(D3D9DeviceFormatsTest, AFormatOfTheWrongKindIsAnInvalidCallAndOneTheAdapterLacksIsNotAvailable)
{
    ExpectRules({
        RenderTarget("D16 render target", D3DERR_INVALIDCALL, 16, 16, D3DFMT_D16),
        RenderTarget("D24S8 render target", D3DERR_INVALIDCALL, 16, 16, D3DFMT_D24S8),
        RenderTarget("index format as a render target", D3DERR_INVALIDCALL, 16, 16, D3DFMT_INDEX16),
        RenderTarget("D3DFMT_UNKNOWN render target", D3DERR_INVALIDCALL, 16, 16, D3DFMT_UNKNOWN),
        RenderTarget("render target of an unknown format code", D3DERR_INVALIDCALL, 16, 16, kUnknownCode),
        DepthSurface("A8R8G8B8 depth surface", D3DERR_INVALIDCALL, 16, 16, D3DFMT_A8R8G8B8),
        DepthSurface("L8 depth surface", D3DERR_INVALIDCALL, 16, 16, D3DFMT_L8),
        DepthSurface("D3DFMT_UNKNOWN depth surface", D3DERR_INVALIDCALL, 16, 16, D3DFMT_UNKNOWN),
        DepthSurface("depth surface of an unknown format code", D3DERR_INVALIDCALL, 16, 16, kUnknownCode),
        PlainSurface("D3DFMT_UNKNOWN plain surface", D3DERR_INVALIDCALL, 16, 16, D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM),
        PlainSurface("plain surface of an unknown format code", D3DERR_INVALIDCALL, 16, 16, kUnknownCode,
                     D3DPOOL_SCRATCH),
        Texture("D3DFMT_UNKNOWN texture", D3DERR_INVALIDCALL, 16, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED),
        Texture("texture of an unknown format code", D3DERR_INVALIDCALL, 16, 1, 0, kUnknownCode, D3DPOOL_MANAGED),
        CubeTexture("D3DFMT_UNKNOWN cube texture", D3DERR_INVALIDCALL, 16, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED),
        VolumeTexture("volume texture of an unknown format code", D3DERR_INVALIDCALL, 8, 1, 0, kUnknownCode,
                      D3DPOOL_MANAGED),
        Texture("D16 texture to render into", D3DERR_INVALIDCALL, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_D16,
                D3DPOOL_DEFAULT),
        Texture("A8R8G8B8 texture to hold depth", D3DERR_INVALIDCALL, 16, 1, D3DUSAGE_DEPTHSTENCIL, D3DFMT_A8R8G8B8,
                D3DPOOL_DEFAULT),
        CubeTexture("A8R8G8B8 cube to hold depth", D3DERR_INVALIDCALL, 16, 1, D3DUSAGE_DEPTHSTENCIL,
                    D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT),
        // The right kind, but not the adapter's.
        RenderTarget("L8 render target", D3DERR_NOTAVAILABLE, 16, 16, D3DFMT_L8),
        RenderTarget("DXT1 render target", D3DERR_NOTAVAILABLE, 16, 16, D3DFMT_DXT1),
        DepthSurface("D32 depth surface", D3DERR_NOTAVAILABLE, 16, 16, D3DFMT_D32),
        Texture("D24S8 texture to hold depth", D3DERR_NOTAVAILABLE, 16, 1, D3DUSAGE_DEPTHSTENCIL, D3DFMT_D24S8,
                D3DPOOL_DEFAULT),
        Texture("A8L8 texture", D3DERR_NOTAVAILABLE, 16, 1, 0, D3DFMT_A8L8, D3DPOOL_MANAGED),
        Texture("index format as a texture", D3DERR_NOTAVAILABLE, 16, 1, 0, D3DFMT_INDEX32, D3DPOOL_MANAGED),
        PlainSurface("A32B32G32R32F plain surface", D3DERR_NOTAVAILABLE, 16, 16, D3DFMT_A32B32G32R32F,
                     D3DPOOL_SYSTEMMEM),
        PlainSurface("D24S8 plain surface", D3DERR_NOTAVAILABLE, 16, 16, D3DFMT_D24S8, D3DPOOL_SYSTEMMEM),
        // And those it offers.
        RenderTarget("A16B16G16R16F render target", D3D_OK, 16, 16, D3DFMT_A16B16G16R16F),
        DepthSurface("D16 depth surface", D3D_OK, 16, 16, D3DFMT_D16),
    });
}

// Quality levels run below what CheckDeviceMultiSampleType reports: one for a sample count.
TEST_P(D3D9DeviceFormatsTest, MultisampleQualityStaysBelowTheLevelsReported)
{
    ExpectRules({
        RenderTarget("4 samples, quality 0", D3D_OK, 16, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, 0),
        RenderTarget("4 samples, quality 1", D3DERR_INVALIDCALL, 16, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, 1),
        RenderTarget("no multisampling, quality 1", D3DERR_INVALIDCALL, 16, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE,
                     1),
        RenderTarget("17 samples", D3DERR_INVALIDCALL, 16, 16, D3DFMT_A8R8G8B8, static_cast<D3DMULTISAMPLE_TYPE>(17)),
        DepthSurface("depth, 4 samples, quality 0", D3D_OK, 16, 16, D3DFMT_D24S8, D3DMULTISAMPLE_4_SAMPLES, 0),
        DepthSurface("depth, 4 samples, quality 1", D3DERR_INVALIDCALL, 16, 16, D3DFMT_D24S8,
                     D3DMULTISAMPLE_4_SAMPLES, 1),
        DepthSurface("depth, no multisampling, quality 1", D3DERR_INVALIDCALL, 16, 16, D3DFMT_D24S8,
                     D3DMULTISAMPLE_NONE, 1),
    });
}

// Drivers make a lockable multisampled render target and refuse to lock it.
TEST_P(D3D9DeviceFormatsTest, ALockableMultisampledTargetIsMadeButDoesNotLock)
{
    IDirect3DSurface9* multisampled = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(16, 8, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, 0, TRUE, &multisampled,
                                         nullptr),
              D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(multisampled->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.MultiSampleType, D3DMULTISAMPLE_4_SAMPLES);
    EXPECT_EQ(desc.MultiSampleQuality, 0u);
    EXPECT_EQ(desc.Usage, D3DUSAGE_RENDERTARGET);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(multisampled->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3DERR_INVALIDCALL);
    EXPECT_EQ(multisampled->UnlockRect(), D3DERR_INVALIDCALL);
    EXPECT_EQ(multisampled->Release(), 0u);

    // The same target without multisampling locks.
    IDirect3DSurface9* single = MakeRenderTarget(16, 8, D3DFMT_X8R8G8B8, TRUE);
    ASSERT_NE(single, nullptr);
    ASSERT_EQ(single->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_NE(locked.pBits, nullptr);
    EXPECT_EQ(single->UnlockRect(), D3D_OK);
    EXPECT_EQ(single->Release(), 0u);
}

// A block format's top level is whole blocks: 4 x 4 for DXT, 2 x 1 for the packed YUV formats.
TEST_P(D3D9DeviceFormatsTest, BlockFormatsHoldWholeBlocks)
{
    ExpectRules({
        PlainSurface("DXT1, 8 x 8", D3D_OK, 8, 8, D3DFMT_DXT1, D3DPOOL_SYSTEMMEM),
        PlainSurface("DXT1, 6 wide", D3DERR_INVALIDCALL, 6, 8, D3DFMT_DXT1, D3DPOOL_SYSTEMMEM),
        PlainSurface("DXT1, 6 high", D3DERR_INVALIDCALL, 8, 6, D3DFMT_DXT1, D3DPOOL_SYSTEMMEM),
        PlainSurface("DXT5 in video memory, 12 x 4", D3D_OK, 12, 4, D3DFMT_DXT5, D3DPOOL_DEFAULT),
        PlainSurface("DXT5 in video memory, 2 x 2", D3DERR_INVALIDCALL, 2, 2, D3DFMT_DXT5, D3DPOOL_DEFAULT),
        PlainSurface("DXT3 scratch, 1 x 1", D3DERR_INVALIDCALL, 1, 1, D3DFMT_DXT3, D3DPOOL_SCRATCH),
        PlainSurface("YUY2 scratch, 4 x 3", D3D_OK, 4, 3, D3DFMT_YUY2, D3DPOOL_SCRATCH),
        PlainSurface("YUY2 scratch, 3 x 2", D3DERR_INVALIDCALL, 3, 2, D3DFMT_YUY2, D3DPOOL_SCRATCH),
        Texture("DXT1 texture of 4 x 4 with its chain", D3D_OK, 4, 0, 0, D3DFMT_DXT1, D3DPOOL_MANAGED),
        Texture("DXT1 texture of 2 x 2", D3DERR_INVALIDCALL, 2, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED),
    });
}

// Volume textures generate their chain only in the default pool, and not when dynamic.
TEST_P(D3D9DeviceFormatsTest, VolumeTexturesWithAutomaticMipmapsStayInTheDefaultPool)
{
    ExpectRules({
        VolumeTexture("default pool", D3D_OK, 8, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT),
        VolumeTexture("managed", D3DERR_INVALIDCALL, 8, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED),
        VolumeTexture("dynamic", D3DERR_INVALIDCALL, 8, 0, D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_DYNAMIC,
                      D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT),
        VolumeTexture("system memory", D3DERR_INVALIDCALL, 8, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8,
                      D3DPOOL_SYSTEMMEM),
        // The 2D and cube textures keep their managed and dynamic chains.
        Texture("managed 2D", D3D_OK, 8, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED),
        Texture("dynamic 2D", D3D_OK, 8, 0, D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8,
                D3DPOOL_DEFAULT),
        CubeTexture("managed cube", D3D_OK, 8, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED),
    });
}

// A block format's chain cannot be generated: the texture is made with the usage and shows one
// level, as CheckDeviceFormat's D3DOK_NOAUTOGEN promises. L8 generates its chain.
TEST_P(D3D9DeviceFormatsTest, TexturesWithAutomaticMipmapsShowOneLevel)
{
    for (D3DFORMAT format : {D3DFMT_L8, D3DFMT_DXT1, D3DFMT_DXT5, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5}) {
        SCOPED_TRACE(FindD3DFormatInfo(format)->name);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device->CreateTexture(16, 16, 0, D3DUSAGE_AUTOGENMIPMAP, format, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        EXPECT_EQ(texture->GetLevelCount(), 1u);
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Usage, D3DUSAGE_AUTOGENMIPMAP);
        EXPECT_EQ(desc.Width, 16u);
        EXPECT_EQ(texture->Release(), 0u);
    }
}

constexpr D3DFORMAT kSixteenBitFormats[] = {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4};

// R5G6B5, X1R5G5B5, A1R5G5B5 and A4R4G4B4 make textures, cubes, volumes and plain surfaces; the
// adapter does not draw into them.
TEST_P(D3D9DeviceFormatsTest, SixteenBitFormatsMakeTexturesVolumesAndSurfaces)
{
    for (D3DFORMAT format : kSixteenBitFormats) {
        SCOPED_TRACE(FindD3DFormatInfo(format)->name);
        ExpectRules({
            Texture("managed texture with its chain", D3D_OK, 16, 0, 0, format, D3DPOOL_MANAGED),
            Texture("dynamic texture", D3D_OK, 16, 1, D3DUSAGE_DYNAMIC, format, D3DPOOL_DEFAULT),
            Texture("system-memory texture", D3D_OK, 16, 1, 0, format, D3DPOOL_SYSTEMMEM),
            CubeTexture("managed cube", D3D_OK, 8, 0, 0, format, D3DPOOL_MANAGED),
            VolumeTexture("managed volume", D3D_OK, 8, 0, 0, format, D3DPOOL_MANAGED),
            PlainSurface("system-memory surface", D3D_OK, 16, 8, format, D3DPOOL_SYSTEMMEM),
            PlainSurface("video-memory surface", D3D_OK, 16, 8, format, D3DPOOL_DEFAULT),
            Texture("texture to render into", D3DERR_NOTAVAILABLE, 16, 1, D3DUSAGE_RENDERTARGET, format,
                    D3DPOOL_DEFAULT),
            RenderTarget("render target", D3DERR_NOTAVAILABLE, 16, 16, format),
        });
    }
}

// Writes `words` of 16 bits into level 0 of a 4 x 4 texture (a volume of depth 1 alike) and reads
// them back through a second lock.
TEST_P(D3D9DeviceFormatsTest, SixteenBitTexelsComeBackFromALock)
{
    for (D3DFORMAT format : kSixteenBitFormats) {
        SCOPED_TRACE(FindD3DFormatInfo(format)->name);
        std::uint16_t words[16];
        for (int i = 0; i < 16; ++i)
            words[i] = static_cast<std::uint16_t>(0x8421u * static_cast<unsigned>(i + 1) ^ (format << 8));

        IDirect3DTexture9* texture = MakeTexture(4, 4, 1, 0, format, D3DPOOL_MANAGED);
        ASSERT_NE(texture, nullptr);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        EXPECT_GE(locked.Pitch, 8);
        for (int y = 0; y < 4; ++y)
            std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch, &words[y * 4], 8);
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        const RECT lower{1, 2, 4, 4};
        ASSERT_EQ(texture->LockRect(0, &locked, &lower, D3DLOCK_READONLY), D3D_OK);
        for (int y = 0; y < 2; ++y) {
            std::uint16_t row[3];
            std::memcpy(row, static_cast<const std::uint8_t*>(locked.pBits) + y * locked.Pitch, sizeof row);
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(row[x], words[(y + 2) * 4 + x + 1]) << "texel " << x + 1 << ", " << y + 2;
        }
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        EXPECT_EQ(texture->Release(), 0u);

        IDirect3DVolumeTexture9* volume = nullptr;
        ASSERT_EQ(device->CreateVolumeTexture(4, 4, 2, 1, 0, format, D3DPOOL_MANAGED, &volume, nullptr), D3D_OK);
        D3DLOCKED_BOX box{};
        ASSERT_EQ(volume->LockBox(0, &box, nullptr, 0), D3D_OK);
        EXPECT_EQ(box.SlicePitch, box.RowPitch * 4);
        for (int y = 0; y < 4; ++y)
            std::memcpy(static_cast<std::uint8_t*>(box.pBits) + box.SlicePitch + y * box.RowPitch, &words[y * 4], 8);
        ASSERT_EQ(volume->UnlockBox(0), D3D_OK);
        const D3DBOX second{0, 0, 4, 4, 1, 2};
        ASSERT_EQ(volume->LockBox(0, &box, &second, D3DLOCK_READONLY), D3D_OK);
        for (int y = 0; y < 4; ++y)
            EXPECT_EQ(std::memcmp(static_cast<const std::uint8_t*>(box.pBits) + y * box.RowPitch, &words[y * 4], 8), 0)
                << "row " << y;
        ASSERT_EQ(volume->UnlockBox(0), D3D_OK);
        EXPECT_EQ(volume->Release(), 0u);
    }
}

// The scratch pool is memory only: it holds every format whose texels can be locked, the adapter's
// or not, and is never set on the device. Depth formats that cannot be locked, and the buffer
// formats, are not available there either.
TEST_P(D3D9DeviceFormatsTest, ScratchHoldsEveryLockableFormatTheRuntimeKnows)
{
    IDirect3DTexture9* onDevice = MakeTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    ASSERT_NE(onDevice, nullptr);
    ASSERT_EQ(device->SetTexture(0, onDevice), D3D_OK);
    for (const D3DFormatInfo* info = D3DFormatInfoBegin(); info != D3DFormatInfoEnd(); ++info) {
        SCOPED_TRACE(info->name);
        IDirect3DTexture9* texture = nullptr;
        const HRESULT hr = device->CreateTexture(8, 8, 0, 0, info->format, D3DPOOL_SCRATCH, &texture, nullptr);
        if (!info->lockable) {
            EXPECT_EQ(hr, D3DERR_NOTAVAILABLE);
            EXPECT_EQ(texture, nullptr);
            IDirect3DSurface9* surface = nullptr;
            EXPECT_EQ(device->CreateOffscreenPlainSurface(8, 8, info->format, D3DPOOL_SCRATCH, &surface, nullptr),
                      D3DERR_NOTAVAILABLE);
            EXPECT_EQ(surface, nullptr);
            continue;
        }
        ASSERT_EQ(hr, D3D_OK);
        EXPECT_EQ(texture->GetLevelCount(), 4u);
        // Bytes written to the smallest level come back.
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(3, &locked, nullptr, 0), D3D_OK);
        std::vector<std::uint8_t> bytes(info->bytes);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 29));
        std::memcpy(locked.pBits, bytes.data(), bytes.size());
        ASSERT_EQ(texture->UnlockRect(3), D3D_OK);
        ASSERT_EQ(texture->LockRect(3, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        EXPECT_EQ(std::memcmp(locked.pBits, bytes.data(), bytes.size()), 0);
        ASSERT_EQ(texture->UnlockRect(3), D3D_OK);
        // Memory only: setting it changes nothing on the device.
        EXPECT_EQ(device->SetTexture(0, texture), D3DERR_INVALIDCALL);
        IDirect3DBaseTexture9* bound = nullptr;
        ASSERT_EQ(device->GetTexture(0, &bound), D3D_OK);
        EXPECT_EQ(bound, onDevice);
        if (bound != nullptr)
            bound->Release();
        EXPECT_EQ(texture->Release(), 0u);

        ExpectRules({
            CubeTexture("scratch cube", D3D_OK, 8, 1, 0, info->format, D3DPOOL_SCRATCH),
            VolumeTexture("scratch volume", D3D_OK, 8, 1, 0, info->format, D3DPOOL_SCRATCH),
            PlainSurface("scratch plain surface", D3D_OK, 8, 8, info->format, D3DPOOL_SCRATCH),
        });
    }
    ASSERT_EQ(device->SetTexture(0, nullptr), D3D_OK);
    EXPECT_EQ(onDevice->Release(), 0u);
}

} // namespace

#include <gtest/gtest.h>

#include <algorithm>

#include "D3D9DeviceTestFixture.h"

namespace {

class D3D9DeviceCreationTest : public D3D9DeviceTest {};
ORVALA_INSTANTIATE_DEVICE_TESTS(D3D9DeviceCreationTest);

struct TextureCase {
    const char* what;
    UINT width, height, levels;
    DWORD usage;
    D3DFORMAT format;
    D3DPOOL pool;
    HRESULT expected;
    UINT expectedLevels; // when created
};

// A width or depth one past what the device's caps allow (the devices differ in their limits).
constexpr UINT kPastTheCaps = 0xFFFFFFFFu;

const TextureCase kTextureCases[] = {
    {"managed colour texture", 64, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK, 1},
    {"full mip chain from Levels 0", 64, 32, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK, 7},
    {"full chain of a non-square odd size", 5, 3, 0, 0, D3DFMT_L8, D3DPOOL_MANAGED, D3D_OK, 3},
    {"explicit full chain", 8, 8, 4, 0, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, D3D_OK, 4},
    {"one level too many", 8, 8, 5, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
    {"float render target", 32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A16B16G16R16F, D3DPOOL_DEFAULT, D3D_OK, 1},
    {"dynamic texture", 16, 16, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3D_OK, 1},
    {"autogen mipmaps show one level", 16, 16, 0, D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
     D3DPOOL_DEFAULT, D3D_OK, 1},
    {"DXT5 with whole blocks", 16, 8, 0, 0, D3DFMT_DXT5, D3DPOOL_MANAGED, D3D_OK, 5},
    {"scratch texture", 16, 16, 1, 0, D3DFMT_R16F, D3DPOOL_SCRATCH, D3D_OK, 1},
    {"zero width", 0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
    {"zero height", 16, 0, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
    {"wider than the caps allow", kPastTheCaps, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
    {"render target outside the default pool", 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL, 0},
    {"dynamic managed texture", 16, 16, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
    {"dynamic render target", 16, 16, 1, D3DUSAGE_DYNAMIC | D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
     D3DERR_INVALIDCALL, 0},
    {"unknown usage bit", 16, 16, 1, 0x80000000u, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
    {"unknown pool", 16, 16, 1, 0, D3DFMT_A8R8G8B8, static_cast<D3DPOOL>(7), D3DERR_INVALIDCALL, 0},
    {"DXT1 with a partial block", 6, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, D3DERR_INVALIDCALL, 0},
    {"a format the adapter does not offer", 16, 16, 1, 0, D3DFMT_A8L8, D3DPOOL_MANAGED, D3DERR_NOTAVAILABLE, 0},
    {"a format the runtime does not know", 16, 16, 1, 0, static_cast<D3DFORMAT>(0x1234), D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL, 0},
    {"R5G6B5 with its chain", 16, 8, 0, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, D3D_OK, 5},
    {"scratch texture of a format the adapter does not offer", 16, 16, 1, 0, D3DFMT_A8L8, D3DPOOL_SCRATCH, D3D_OK,
     1},
    {"depth format as a texture", 16, 16, 1, D3DUSAGE_DEPTHSTENCIL, D3DFMT_D24S8, D3DPOOL_DEFAULT,
     D3DERR_NOTAVAILABLE, 0},
    {"L8 as a render target", 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_L8, D3DPOOL_DEFAULT, D3DERR_NOTAVAILABLE, 0},
    {"DXT1 as a render target", 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_DXT1, D3DPOOL_DEFAULT, D3DERR_NOTAVAILABLE,
     0},
    {"index format as a texture", 16, 16, 1, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, D3DERR_NOTAVAILABLE, 0},
};

TEST_P(D3D9DeviceCreationTest, TexturesAreCheckedAsDirect3D9ChecksThem)
{
    D3DCAPS9 caps{};
    ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
    for (const TextureCase& c : kTextureCases) {
        SCOPED_TRACE(c.what);
        const UINT width = c.width == kPastTheCaps ? caps.MaxTextureWidth + 1 : c.width;
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(this); // must be overwritten
        EXPECT_EQ(device->CreateTexture(width, c.height, c.levels, c.usage, c.format, c.pool, &texture, nullptr),
                  c.expected);
        if (c.expected != D3D_OK) {
            EXPECT_EQ(texture, nullptr);
            continue;
        }
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->GetLevelCount(), c.expectedLevels);
        D3DSURFACE_DESC last{};
        ASSERT_EQ(texture->GetLevelDesc(c.expectedLevels - 1, &last), D3D_OK);
        EXPECT_EQ(last.Format, c.format);
        EXPECT_EQ(last.Pool, c.pool);
        EXPECT_EQ(last.Usage, c.usage);
        EXPECT_EQ(last.Width, std::max(1u, c.width >> (c.expectedLevels - 1)));
        EXPECT_EQ(last.Height, std::max(1u, c.height >> (c.expectedLevels - 1)));
        EXPECT_EQ(texture->GetLevelDesc(c.expectedLevels, &last), D3DERR_INVALIDCALL);
        EXPECT_EQ(texture->Release(), 0u);
    }
}

TEST_P(D3D9DeviceCreationTest, NullOutPointersAndSharedHandlesAreRefused)
{
    HANDLE shared = nullptr;
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, &shared),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateCubeTexture(8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVolumeTexture(8, 8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateDepthStencilSurface(8, 8, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, FALSE, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexDeclaration(nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
}

TEST_P(D3D9DeviceCreationTest, CubeAndVolumeTexturesHaveTheirLevelsAndRules)
{
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(device->CreateCubeTexture(16, 0, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &cube, nullptr),
              D3D_OK);
    EXPECT_EQ(cube->GetLevelCount(), 5u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(cube->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(desc.Height, 4u);
    IDirect3DSurface9* face = nullptr;
    EXPECT_EQ(cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(6), 0, &face), D3DERR_INVALIDCALL);
    EXPECT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Z, 5, &face), D3DERR_INVALIDCALL);
    EXPECT_EQ(face, nullptr);
    EXPECT_EQ(cube->Release(), 0u);

    IDirect3DVolumeTexture9* volume = nullptr;
    ASSERT_EQ(device->CreateVolumeTexture(8, 4, 2, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &volume, nullptr), D3D_OK);
    EXPECT_EQ(volume->GetLevelCount(), 4u);
    D3DVOLUME_DESC volumeDesc{};
    ASSERT_EQ(volume->GetLevelDesc(3, &volumeDesc), D3D_OK);
    EXPECT_EQ(volumeDesc.Width, 1u);
    EXPECT_EQ(volumeDesc.Height, 1u);
    EXPECT_EQ(volumeDesc.Depth, 1u);
    EXPECT_EQ(volume->Release(), 0u);

    IDirect3DVolumeTexture9* refused = nullptr;
    EXPECT_EQ(device->CreateVolumeTexture(8, 8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                          &refused, nullptr),
              D3DERR_INVALIDCALL);
    D3DCAPS9 caps{};
    ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_EQ(device->CreateVolumeTexture(8, 8, caps.MaxVolumeExtent + 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                          &refused, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVolumeTexture(8, 8, 0, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &refused, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(refused, nullptr);
}

struct SurfaceCase {
    const char* what;
    int kind; // 0 render target, 1 depth stencil, 2 plain
    UINT width, height;
    D3DFORMAT format;
    D3DMULTISAMPLE_TYPE multiSample;
    D3DPOOL pool; // plain surfaces
    BOOL lockable;
    HRESULT expected;
};

const SurfaceCase kSurfaceCases[] = {
    {"render target", 0, 32, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, D3DPOOL_DEFAULT, FALSE, D3D_OK},
    {"multisampled render target", 0, 32, 16, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, D3DPOOL_DEFAULT, FALSE,
     D3D_OK},
    // Made, but LockRect refuses it (D3D9DeviceFormatsTest).
    {"lockable multisampled render target", 0, 32, 16, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, D3DPOOL_DEFAULT,
     TRUE, D3D_OK},
    {"L8 render target", 0, 32, 16, D3DFMT_L8, D3DMULTISAMPLE_NONE, D3DPOOL_DEFAULT, FALSE, D3DERR_NOTAVAILABLE},
    {"depth format as render target", 0, 32, 16, D3DFMT_D16, D3DMULTISAMPLE_NONE, D3DPOOL_DEFAULT, FALSE,
     D3DERR_INVALIDCALL},
    {"empty render target", 0, 0, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, D3DPOOL_DEFAULT, FALSE,
     D3DERR_INVALIDCALL},
    {"depth stencil", 1, 32, 16, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, D3DPOOL_DEFAULT, FALSE, D3D_OK},
    {"colour format as depth", 1, 32, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, D3DPOOL_DEFAULT, FALSE,
     D3DERR_INVALIDCALL},
    {"too many samples", 1, 32, 16, D3DFMT_D16, static_cast<D3DMULTISAMPLE_TYPE>(17), D3DPOOL_DEFAULT, FALSE,
     D3DERR_INVALIDCALL},
    {"system memory plain surface", 2, 32, 16, D3DFMT_A16B16G16R16F, D3DMULTISAMPLE_NONE, D3DPOOL_SYSTEMMEM, FALSE,
     D3D_OK},
    {"managed plain surface", 2, 32, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, D3DPOOL_MANAGED, FALSE,
     D3DERR_INVALIDCALL},
    {"depth plain surface", 2, 32, 16, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, D3DPOOL_SYSTEMMEM, FALSE,
     D3DERR_NOTAVAILABLE},
};

TEST_P(D3D9DeviceCreationTest, SurfacesAreCheckedAndDescribeThemselves)
{
    for (const SurfaceCase& c : kSurfaceCases) {
        SCOPED_TRACE(c.what);
        IDirect3DSurface9* surface = nullptr;
        HRESULT hr = c.kind == 0   ? device->CreateRenderTarget(c.width, c.height, c.format, c.multiSample, 0,
                                                                c.lockable, &surface, nullptr)
                     : c.kind == 1 ? device->CreateDepthStencilSurface(c.width, c.height, c.format, c.multiSample, 0,
                                                                       FALSE, &surface, nullptr)
                                   : device->CreateOffscreenPlainSurface(c.width, c.height, c.format, c.pool, &surface,
                                                                         nullptr);
        EXPECT_EQ(hr, c.expected);
        if (hr != D3D_OK) {
            EXPECT_EQ(surface, nullptr);
            continue;
        }
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
        EXPECT_EQ(desc.Format, c.format);
        EXPECT_EQ(desc.Width, c.width);
        EXPECT_EQ(desc.Height, c.height);
        EXPECT_EQ(desc.MultiSampleType, c.multiSample);
        EXPECT_EQ(desc.Usage, c.kind == 0 ? D3DUSAGE_RENDERTARGET : c.kind == 1 ? D3DUSAGE_DEPTHSTENCIL : 0u);
        EXPECT_EQ(desc.Pool, c.kind == 2 ? c.pool : D3DPOOL_DEFAULT);
        EXPECT_EQ(surface->GetType(), D3DRTYPE_SURFACE);
        EXPECT_EQ(surface->Release(), 0u);
    }
}

TEST_P(D3D9DeviceCreationTest, BuffersAreCheckedAndDescribeThemselves)
{
    IDirect3DVertexBuffer9* vertices = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DPOOL_MANAGED,
                                         &vertices, nullptr),
              D3D_OK);
    D3DVERTEXBUFFER_DESC vdesc{};
    ASSERT_EQ(vertices->GetDesc(&vdesc), D3D_OK);
    EXPECT_EQ(vdesc.Size, 96u);
    EXPECT_EQ(vdesc.FVF, D3DFVF_XYZ | D3DFVF_DIFFUSE);
    EXPECT_EQ(vdesc.Type, D3DRTYPE_VERTEXBUFFER);
    EXPECT_EQ(vertices->Release(), 0u);

    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(60, D3DUSAGE_DYNAMIC, D3DFMT_INDEX32, D3DPOOL_DEFAULT, &indices, nullptr),
              D3D_OK);
    D3DINDEXBUFFER_DESC idesc{};
    ASSERT_EQ(indices->GetDesc(&idesc), D3D_OK);
    EXPECT_EQ(idesc.Format, D3DFMT_INDEX32);
    EXPECT_EQ(idesc.Size, 60u);
    EXPECT_EQ(indices->Release(), 0u);

    IDirect3DVertexBuffer9* badVertices = nullptr;
    IDirect3DIndexBuffer9* badIndices = nullptr;
    EXPECT_EQ(device->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &badVertices, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(16, D3DUSAGE_DYNAMIC, 0, D3DPOOL_MANAGED, &badVertices, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(16, 0, 0, D3DPOOL_SCRATCH, &badVertices, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateIndexBuffer(0, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &badIndices, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateIndexBuffer(16, 0, D3DFMT_INDEX16, D3DPOOL_SCRATCH, &badIndices, nullptr),
              D3DERR_INVALIDCALL);
    // CreateIndexBuffer knows no D3DERR_NOTAVAILABLE: a format that is not an index format is a bad argument.
    EXPECT_EQ(device->CreateIndexBuffer(16, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &badIndices, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateIndexBuffer(16, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, &badIndices, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(badVertices, nullptr);
    EXPECT_EQ(badIndices, nullptr);
}

struct ParameterCase {
    const char* what;
    void (*change)(D3DPRESENT_PARAMETERS&);
    HRESULT expected;
};

const ParameterCase kParameterCases[] = {
    {"A8R8G8B8 back buffer", [](D3DPRESENT_PARAMETERS& p) { p.BackBufferFormat = D3DFMT_A8R8G8B8; }, D3D_OK},
    {"no depth buffer", [](D3DPRESENT_PARAMETERS& p) { p.EnableAutoDepthStencil = FALSE; }, D3D_OK},
    {"multisampled", [](D3DPRESENT_PARAMETERS& p) { p.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES; }, D3D_OK},
    {"float back buffer", [](D3DPRESENT_PARAMETERS& p) { p.BackBufferFormat = D3DFMT_A16B16G16R16F; },
     D3DERR_NOTAVAILABLE},
    {"colour depth buffer", [](D3DPRESENT_PARAMETERS& p) { p.AutoDepthStencilFormat = D3DFMT_X8R8G8B8; },
     D3DERR_NOTAVAILABLE},
    {"four back buffers", [](D3DPRESENT_PARAMETERS& p) { p.BackBufferCount = 4; }, D3DERR_INVALIDCALL},
    {"unknown swap effect", [](D3DPRESENT_PARAMETERS& p) { p.SwapEffect = static_cast<D3DSWAPEFFECT>(9); },
     D3DERR_INVALIDCALL},
    {"copy swap effect with one back buffer", [](D3DPRESENT_PARAMETERS& p) { p.SwapEffect = D3DSWAPEFFECT_COPY; },
     D3D_OK},
    {"copy swap effect with two back buffers",
     [](D3DPRESENT_PARAMETERS& p) {
         p.SwapEffect = D3DSWAPEFFECT_COPY;
         p.BackBufferCount = 2;
     },
     D3DERR_INVALIDCALL},
    {"flip swap effect with two back buffers",
     [](D3DPRESENT_PARAMETERS& p) {
         p.SwapEffect = D3DSWAPEFFECT_FLIP;
         p.BackBufferCount = 2;
     },
     D3D_OK},
    {"multisampled with a lockable back buffer",
     [](D3DPRESENT_PARAMETERS& p) {
         p.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
         p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
     },
     D3DERR_INVALIDCALL},
    {"multisample quality at the levels reported",
     [](D3DPRESENT_PARAMETERS& p) {
         p.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
         p.MultiSampleQuality = 1;
     },
     D3DERR_INVALIDCALL},
    {"unknown presentation flag", [](D3DPRESENT_PARAMETERS& p) { p.Flags = 0x80000000u; }, D3DERR_INVALIDCALL},
    {"multisampling without discard",
     [](D3DPRESENT_PARAMETERS& p) {
         p.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
         p.SwapEffect = D3DSWAPEFFECT_FLIP;
     },
     D3DERR_INVALIDCALL},
    {"windowed with a refresh rate", [](D3DPRESENT_PARAMETERS& p) { p.FullScreen_RefreshRateInHz = 60; },
     D3DERR_INVALIDCALL},
    {"unknown presentation interval", [](D3DPRESENT_PARAMETERS& p) { p.PresentationInterval = 3; },
     D3DERR_INVALIDCALL},
};

TEST_P(D3D9DeviceCreationTest, PresentParametersAreChecked)
{
    for (const ParameterCase& c : kParameterCases) {
        SCOPED_TRACE(c.what);
        D3DPRESENT_PARAMETERS params = DefaultParameters();
        c.change(params);
        IDirect3DDevice9* other = MakeDevice(params, c.expected);
        if (c.expected == D3D_OK) {
            ASSERT_NE(other, nullptr);
            EXPECT_EQ(other->Release(), 0u);
        } else {
            EXPECT_EQ(other, nullptr);
        }
    }
}

// A windowed device without a size takes its device window's client size.
TEST_P(D3D9DeviceCreationTest, AWindowedDeviceWithoutASizeTakesItsWindows)
{
    D3D9DeviceWindow window; // 64 x 48, outlives the device made here
    ASSERT_NE(window.handle(), nullptr);
    D3DPRESENT_PARAMETERS params = DefaultParameters();
    params.BackBufferWidth = 0;
    params.BackBufferHeight = 0;
    params.hDeviceWindow = window.handle();
    IDirect3DDevice9* other = MakeDevice(params);
    ASSERT_NE(other, nullptr);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(other->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 64u);
    EXPECT_EQ(desc.Height, 48u);
    back->Release();
    EXPECT_EQ(other->Release(), 0u);
}

// The recording device has no window of its own: without a size or a device window there is nothing
// to size the back buffer by. (The OpenGL device always has its window.)
TEST(RecordingDeviceCreationTest, NoSizeAndNoWindowIsRefused)
{
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferHeight = 48;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    IDirect3DDevice9* made = nullptr;
    EXPECT_EQ(CreateRecordingDevice(TestDeviceCaps(), &params, &made), D3DERR_INVALIDCALL);
    EXPECT_EQ(made, nullptr);
}

TEST_P(D3D9DeviceCreationTest, PresentParametersComeBackWithTheValuesTaken)
{
    D3DPRESENT_PARAMETERS params = DefaultParameters();
    params.BackBufferCount = 0;
    params.BackBufferFormat = D3DFMT_UNKNOWN;
    D3DPRESENT_PARAMETERS taken = params;
    IDirect3DDevice9* again = nullptr;
    ASSERT_EQ(Make(&taken, &again), D3D_OK);
    EXPECT_EQ(taken.BackBufferCount, 1u);
    EXPECT_EQ(taken.BackBufferFormat, D3DFMT_X8R8G8B8);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(again->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Width, kWidth);
    back->Release();
    EXPECT_EQ(again->Release(), 0u);
}

} // namespace

#pragma once
// A fixture for tests of IDirect3DDevice9 behaviour that every device of the layer must show. The
// parameter is a factory that makes a device; tests written against it run once per factory.
//
// Factories: only the recording device so far. The OpenGL device (CreateGLDevice) plugs in as a
// second entry of D3D9DeviceFactories() once a factory can make its SDL window (EnsureSDLVideo,
// SDL_CreateWindow(..., SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN), RegisterSDLWindow) and destroy it
// again after the device; `make` would then own that window for the device's lifetime.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "d3d9/DeviceFactory.h"
#include "d3d9/d3d9.h"

struct D3D9DeviceFactory {
    const char* name;
    std::function<HRESULT(D3DPRESENT_PARAMETERS*, IDirect3DDevice9**)> make;
};

// Capabilities of a modest Direct3D 9 card: 4096 texels a side, 512 for volumes, four targets.
inline D3DCAPS9 TestDeviceCaps()
{
    D3DCAPS9 caps{};
    caps.DeviceType = D3DDEVTYPE_HAL;
    caps.MaxTextureWidth = 4096;
    caps.MaxTextureHeight = 4096;
    caps.MaxVolumeExtent = 512;
    caps.NumSimultaneousRTs = 4;
    caps.MaxSimultaneousTextures = 16;
    caps.MaxStreams = 16;
    caps.VertexShaderVersion = D3DVS_VERSION(3, 0);
    caps.PixelShaderVersion = D3DPS_VERSION(3, 0);
    return caps;
}

inline std::vector<D3D9DeviceFactory> D3D9DeviceFactories()
{
    return {
        {"Recording",
         [](D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) {
             return CreateRecordingDevice(TestDeviceCaps(), params, device);
         }},
        // {"OpenGL", ...}: see the note at the top of this file.
    };
}

// gtest prints the factory by its name.
inline void PrintTo(const D3D9DeviceFactory& factory, std::ostream* os)
{
    *os << factory.name;
}

inline std::string D3D9DeviceFactoryName(const ::testing::TestParamInfo<D3D9DeviceFactory>& info)
{
    return info.param.name;
}

// Instantiates a fixture derived from D3D9DeviceTest for every device factory.
#define ORVALA_INSTANTIATE_DEVICE_TESTS(Fixture)                                                               \
    INSTANTIATE_TEST_SUITE_P(Devices, Fixture, ::testing::ValuesIn(D3D9DeviceFactories()), D3D9DeviceFactoryName)

// Made in SetUp: a windowed 64 x 48 X8R8G8B8 device with a D24S8 depth buffer. TearDown checks
// that the test released everything it made: the device's last Release must return 0.
class D3D9DeviceTest : public ::testing::TestWithParam<D3D9DeviceFactory> {
protected:
    static constexpr UINT kWidth = 64;
    static constexpr UINT kHeight = 48;

    static D3DPRESENT_PARAMETERS DefaultParameters()
    {
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = kWidth;
        params.BackBufferHeight = kHeight;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        params.EnableAutoDepthStencil = TRUE;
        params.AutoDepthStencilFormat = D3DFMT_D24S8;
        params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        return params;
    }

    void SetUp() override
    {
        D3DPRESENT_PARAMETERS params = DefaultParameters();
        ASSERT_EQ(GetParam().make(&params, &device), D3D_OK);
        ASSERT_NE(device, nullptr);
    }

    void TearDown() override
    {
        if (device != nullptr) {
            EXPECT_EQ(device->Release(), 0u) << "the test left objects of the device alive";
        }
    }

    // Another device of the same kind (the caller releases it), or null.
    IDirect3DDevice9* MakeDevice(D3DPRESENT_PARAMETERS params, HRESULT expected = D3D_OK)
    {
        IDirect3DDevice9* made = nullptr;
        EXPECT_EQ(GetParam().make(&params, &made), expected);
        return made;
    }

    IDirect3DTexture9* MakeTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(w, h, levels, usage, format, pool, &texture, nullptr), D3D_OK);
        return texture;
    }

    IDirect3DSurface9* MakeRenderTarget(UINT w, UINT h, D3DFORMAT format = D3DFMT_A8R8G8B8, BOOL lockable = FALSE)
    {
        IDirect3DSurface9* surface = nullptr;
        EXPECT_EQ(device->CreateRenderTarget(w, h, format, D3DMULTISAMPLE_NONE, 0, lockable, &surface, nullptr),
                  D3D_OK);
        return surface;
    }

    IDirect3DSurface9* MakeSystemSurface(UINT w, UINT h, D3DFORMAT format = D3DFMT_A8R8G8B8)
    {
        IDirect3DSurface9* surface = nullptr;
        EXPECT_EQ(device->CreateOffscreenPlainSurface(w, h, format, D3DPOOL_SYSTEMMEM, &surface, nullptr), D3D_OK);
        return surface;
    }

    // The texels of a 4-byte-per-texel render target, rows from the top, read back through a
    // D3DPOOL_SYSTEMMEM surface.
    std::vector<DWORD> ReadTexels(IDirect3DSurface9* target)
    {
        std::vector<DWORD> texels;
        D3DSURFACE_DESC desc{};
        EXPECT_EQ(target->GetDesc(&desc), D3D_OK);
        IDirect3DSurface9* copy = MakeSystemSurface(desc.Width, desc.Height, desc.Format);
        if (copy == nullptr) {
            return texels;
        }
        EXPECT_EQ(device->GetRenderTargetData(target, copy), D3D_OK);
        D3DLOCKED_RECT locked{};
        if (copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
            for (UINT y = 0; y < desc.Height; ++y) {
                const auto* row = static_cast<const unsigned char*>(locked.pBits) + y * locked.Pitch;
                for (UINT x = 0; x < desc.Width; ++x) {
                    DWORD texel = 0;
                    std::memcpy(&texel, row + x * 4, 4);
                    texels.push_back(texel);
                }
            }
            copy->UnlockRect();
        }
        copy->Release();
        return texels;
    }

    // The reference count of an object: AddRef then Release.
    static ULONG RefCount(IUnknown* object)
    {
        object->AddRef();
        return object->Release();
    }

    IDirect3DDevice9* device = nullptr;
};

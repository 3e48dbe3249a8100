#pragma once
// A fixture for tests of IDirect3DDevice9 behaviour that every device of the layer must show. The
// parameter is a factory that makes a device; tests written against it run once per factory.
//
// Factories: the recording device, and the OpenGL device on a hidden SDL window of its own (SDL's
// offscreen driver when there is no display).
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "d3d9/DeviceFactory.h"
#include "d3d9/d3d9.h"
#include "sdl/SDLVideo.h"
#include "win32/WindowHandle.h"

// The hidden SDL window an OpenGL device draws into. It must outlive its device: whoever holds it
// destroys it only after the device's last Release.
class D3D9DeviceWindow {
public:
    D3D9DeviceWindow()
    {
        if (!EnsureSDLVideo())
            return;
        window_ = SDL_CreateWindow("D3D9 device test", 0, 0, 64, 48, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window_ != nullptr)
            handle_ = RegisterSDLWindow(window_);
    }
    ~D3D9DeviceWindow()
    {
        if (handle_ != nullptr)
            UnregisterSDLWindow(handle_);
        if (window_ != nullptr)
            SDL_DestroyWindow(window_);
    }
    D3D9DeviceWindow(const D3D9DeviceWindow&) = delete;
    D3D9DeviceWindow& operator=(const D3D9DeviceWindow&) = delete;

    SDL_Window* window() const { return window_; }
    HWND handle() const { return handle_; }

private:
    SDL_Window* window_ = nullptr;
    HWND handle_ = nullptr;
};

// Windows of the devices a test made, destroyed after those devices (see D3D9DeviceTest).
using D3D9DeviceWindows = std::vector<std::unique_ptr<D3D9DeviceWindow>>;

struct D3D9DeviceFactory {
    const char* name;
    // Makes a device; a window it needs goes into `windows`, which the caller keeps until the
    // device is gone.
    std::function<HRESULT(D3DPRESENT_PARAMETERS*, IDirect3DDevice9**, D3D9DeviceWindows& windows)> make;
};

// Capabilities of a modest Direct3D 9 card: 4096 texels a side, 512 for volumes, four targets,
// vertices of up to 255 bytes read from any offset, no displacement maps.
inline D3DCAPS9 TestDeviceCaps()
{
    D3DCAPS9 caps{};
    caps.DeviceType = D3DDEVTYPE_HAL;
    caps.DevCaps2 = D3DDEVCAPS2_STREAMOFFSET;
    caps.MaxStreamStride = 255;
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

// A recording device with those capabilities and a windowed back buffer of the size given.
inline HRESULT MakeRecordingDevice(IDirect3DDevice9** device, UINT width = 64, UINT height = 64)
{
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = width;
    params.BackBufferHeight = height;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    return CreateRecordingDevice(TestDeviceCaps(), &params, device);
}

inline std::vector<D3D9DeviceFactory> D3D9DeviceFactories()
{
    return {
        {"Recording",
         [](D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device, D3D9DeviceWindows&) {
             return CreateRecordingDevice(TestDeviceCaps(), params, device);
         }},
        {"OpenGL",
         [](D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device, D3D9DeviceWindows& windows) {
             auto window = std::make_unique<D3D9DeviceWindow>();
             if (window->window() == nullptr) {
                 ADD_FAILURE() << "no SDL window for the OpenGL device: " << SDL_GetError();
                 return D3DERR_NOTAVAILABLE;
             }
             IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
             if (direct3d == nullptr) {
                 ADD_FAILURE() << "Direct3DCreate9 failed";
                 return D3DERR_NOTAVAILABLE;
             }
             // The device holds its own reference on the Direct3D object.
             const HRESULT hr = direct3d->CreateDevice(0, D3DDEVTYPE_HAL, window->handle(),
                                                       D3DCREATE_HARDWARE_VERTEXPROCESSING, params, device);
             direct3d->Release();
             windows.push_back(std::move(window));
             return hr;
         }},
    };
}

// One argument rule of Direct3D 9: a call on the device and the result Direct3D 9 gives it. Tables
// of rules run on every device (D3D9DeviceTest::ExpectRules), so a device that answers differently
// from the others fails its row. The call gets the device's own capabilities, for rules at a limit.
struct D3D9RuleRow {
    const char* rule;
    HRESULT expected;
    std::function<HRESULT(IDirect3DDevice9* device, const D3DCAPS9& caps)> call;
};

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
        ASSERT_EQ(Make(&params, &device), D3D_OK);
        ASSERT_NE(device, nullptr);
    }

    void TearDown() override
    {
        if (device != nullptr) {
            EXPECT_EQ(device->Release(), 0u) << "the test left objects of the device alive";
        }
        device = nullptr;
        windows.clear();
    }

    // Makes a device of the parameter's kind; its window (if any) lives until TearDown.
    HRESULT Make(D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** made)
    {
        return GetParam().make(params, made, windows);
    }

    // Another device of the same kind (the caller releases it), or null.
    IDirect3DDevice9* MakeDevice(D3DPRESENT_PARAMETERS params, HRESULT expected = D3D_OK)
    {
        IDirect3DDevice9* made = nullptr;
        EXPECT_EQ(Make(&params, &made), expected);
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

    // Runs every row on the device, each traced by its rule.
    void ExpectRules(const std::vector<D3D9RuleRow>& rows)
    {
        D3DCAPS9 caps{};
        ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
        for (const D3D9RuleRow& row : rows) {
            SCOPED_TRACE(row.rule);
            EXPECT_EQ(row.call(device, caps), row.expected);
        }
    }

    // The reference count of an object: AddRef then Release.
    static ULONG RefCount(IUnknown* object)
    {
        object->AddRef();
        return object->Release();
    }

    IDirect3DDevice9* device = nullptr;
    // The windows of the devices made so far; TearDown empties it once the devices are released.
    D3D9DeviceWindows windows;
};

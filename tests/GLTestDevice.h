#pragma once
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "d3d9/d3d9.h"
#include "image/PngFile.h"
#include "sdl/SDLVideo.h"
#include "win32/WindowHandle.h"

// A GL device on a hidden window of its own (the offscreen driver when there is no display), with
// the shaders and read-backs the GL device tests share.
class GLTestDevice : public ::testing::Test {
public:
    // One vertex of the tests' quads: a clip-space position and a colour.
    struct ColourVertex {
        float x, y, z, w;
        D3DCOLOR colour;
    };
    struct TexturedVertex {
        float x, y, z, w;
        float u, v;
    };

    static constexpr const char* kColourVS = R"(
in vec4 POSITION0;
in vec4 COLOR0;
out vec4 colour;
void main()
{
    gl_Position = POSITION0;
    colour = COLOR0;
})";
    static constexpr const char* kColourPS = R"(
in vec4 colour;
out vec4 COLOR0;
void main()
{
    COLOR0 = colour;
})";
    static constexpr const char* kTexturedVS = R"(
in vec4 POSITION0;
in vec2 TEXCOORD0;
out vec2 uv;
void main()
{
    gl_Position = POSITION0;
    uv = TEXCOORD0;
})";
    static constexpr const char* kTexturedPS = R"(
uniform sampler2D image;
in vec2 uv;
out vec4 COLOR0;
void main()
{
    COLOR0 = texture(image, uv);
})";

protected:
    void SetUp() override { CreateDevice(64, 64, D3DMULTISAMPLE_NONE, true); }

    void CreateDevice(UINT width, UINT height, D3DMULTISAMPLE_TYPE samples, bool autoDepth)
    {
        ASSERT_TRUE(EnsureSDLVideo()) << SDL_GetError();
        window = SDL_CreateWindow("GL device test", 0, 0, static_cast<int>(width), static_cast<int>(height),
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        hwnd = RegisterSDLWindow(window);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        params = {};
        params.BackBufferWidth = width;
        params.BackBufferHeight = height;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.MultiSampleType = samples;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.hDeviceWindow = hwnd;
        params.Windowed = TRUE;
        params.EnableAutoDepthStencil = autoDepth;
        params.AutoDepthStencilFormat = D3DFMT_D24S8;
        params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &device),
                  D3D_OK);
        const D3DVERTEXELEMENT9 colour[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
                                            {0, 16, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                            D3DDECL_END()};
        const D3DVERTEXELEMENT9 textured[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
                                              {0, 16, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                              D3DDECL_END()};
        ASSERT_EQ(device->CreateVertexDeclaration(colour, &colourDecl), D3D_OK);
        ASSERT_EQ(device->CreateVertexDeclaration(textured, &texturedDecl), D3D_OK);
    }

    void TearDown() override { DestroyDevice(); }

    void DestroyDevice()
    {
        for (IUnknown* object : owned)
            object->Release();
        owned.clear();
        if (colourDecl)
            colourDecl->Release();
        if (texturedDecl)
            texturedDecl->Release();
        colourDecl = texturedDecl = nullptr;
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        if (d3d)
            d3d->Release();
        device = nullptr;
        d3d = nullptr;
        if (hwnd)
            UnregisterSDLWindow(hwnd);
        if (window)
            SDL_DestroyWindow(window);
        window = nullptr;
        hwnd = nullptr;
    }

    // Released at tear-down.
    template <class T>
    T* Own(T* object)
    {
        owned.push_back(object);
        return object;
    }

    IDirect3DVertexShader9* VertexShader(const char* source)
    {
        IDirect3DVertexShader9* shader = nullptr;
        std::string log;
        EXPECT_EQ(device->CreateVertexShader(source, &shader, &log), D3D_OK) << log;
        return shader ? Own(shader) : nullptr;
    }

    IDirect3DPixelShader9* PixelShader(const char* source)
    {
        IDirect3DPixelShader9* shader = nullptr;
        std::string log;
        EXPECT_EQ(device->CreatePixelShader(source, &shader, &log), D3D_OK) << log;
        return shader ? Own(shader) : nullptr;
    }

    void UseColourShaders()
    {
        ASSERT_EQ(device->SetVertexShader(VertexShader(kColourVS)), D3D_OK);
        ASSERT_EQ(device->SetPixelShader(PixelShader(kColourPS)), D3D_OK);
        ASSERT_EQ(device->SetVertexDeclaration(colourDecl), D3D_OK);
    }

    void UseTexturedShaders()
    {
        ASSERT_EQ(device->SetVertexShader(VertexShader(kTexturedVS)), D3D_OK);
        ASSERT_EQ(device->SetPixelShader(PixelShader(kTexturedPS)), D3D_OK);
        ASSERT_EQ(device->SetVertexDeclaration(texturedDecl), D3D_OK);
    }

    // Clip-space x, y of a point in pixels of a target width x height (Direct3D's screen mapping:
    // y grows downwards).
    static void ToClip(float px, float py, UINT width, UINT height, float& x, float& y)
    {
        x = px / static_cast<float>(width) * 2.f - 1.f;
        y = 1.f - py / static_cast<float>(height) * 2.f;
    }

    // A rectangle covering pixels [left, right) x [top, bottom), placed the Direct3D 9 way: the
    // corners half a pixel up and left of the pixel edges, since Direct3D 9 samples pixels at their
    // integer coordinates. Two clockwise triangles as a triangle list.
    void DrawRect(float left, float top, float right, float bottom, D3DCOLOR colour, float z = 0.5f, UINT width = 0,
                  UINT height = 0)
    {
        TargetSize(width, height);
        ColourVertex v[6];
        float x0, y0, x1, y1;
        ToClip(left - 0.5f, top - 0.5f, width, height, x0, y0);
        ToClip(right - 0.5f, bottom - 0.5f, width, height, x1, y1);
        const ColourVertex tl{x0, y0, z, 1, colour}, tr{x1, y0, z, 1, colour}, bl{x0, y1, z, 1, colour},
            br{x1, y1, z, 1, colour};
        v[0] = tl, v[1] = tr, v[2] = bl, v[3] = bl, v[4] = tr, v[5] = br;
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ColourVertex)), D3D_OK);
    }

    void TargetSize(UINT& width, UINT& height)
    {
        if (width && height)
            return;
        IDirect3DSurface9* target = nullptr;
        ASSERT_EQ(device->GetRenderTarget(0, &target), D3D_OK);
        D3DSURFACE_DESC desc{};
        target->GetDesc(&desc);
        target->Release();
        width = desc.Width;
        height = desc.Height;
    }

    // The texels of a render target as D3DCOLOR values (A8R8G8B8/X8R8G8B8), rows from the top,
    // through GetRenderTargetData into a system-memory surface and LockRect.
    std::vector<std::uint32_t> ReadTarget(IDirect3DSurface9* target, UINT* widthOut = nullptr,
                                          UINT* heightOut = nullptr)
    {
        D3DSURFACE_DESC desc{};
        target->GetDesc(&desc);
        IDirect3DSurface9* copy = nullptr;
        EXPECT_EQ(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy,
                                                      nullptr),
                  D3D_OK);
        std::vector<std::uint32_t> pixels;
        if (!copy)
            return pixels;
        EXPECT_EQ(device->GetRenderTargetData(target, copy), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        pixels.resize(static_cast<size_t>(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(&pixels[static_cast<size_t>(y) * desc.Width],
                        static_cast<const std::uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                        desc.Width * 4u);
        copy->UnlockRect();
        copy->Release();
        if (widthOut)
            *widthOut = desc.Width;
        if (heightOut)
            *heightOut = desc.Height;
        return pixels;
    }

    std::vector<std::uint32_t> ReadBackBuffer(UINT* width = nullptr, UINT* height = nullptr)
    {
        IDirect3DSurface9* back = nullptr;
        EXPECT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        std::vector<std::uint32_t> pixels = ReadTarget(back, width, height);
        back->Release();
        return pixels;
    }

    // Writes a read-back as a PNG into the test's folder and, for people to look at, into
    // /tmp/orvala-gl/.
    void SavePng(const std::string& name, const std::vector<std::uint32_t>& pixels, UINT width, UINT height)
    {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(pixels.data());
        EXPECT_TRUE(WritePngBGRA((temp.path() / name).string(), bytes, width, height, width * 4));
        std::error_code ignored;
        std::filesystem::create_directories("/tmp/orvala-gl", ignored);
        WritePngBGRA("/tmp/orvala-gl/" + name, bytes, width, height, width * 4);
    }

    static std::uint32_t Rgb(std::uint32_t pixel) { return pixel & 0xFFFFFFu; }

    TempDir temp;
    SDL_Window* window = nullptr;
    HWND hwnd = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    D3DPRESENT_PARAMETERS params{};
    IDirect3DVertexDeclaration9* colourDecl = nullptr;
    IDirect3DVertexDeclaration9* texturedDecl = nullptr;
    std::vector<IUnknown*> owned;
};

// The argument rules both devices share, as tables: each row is a call and the result Direct3D 9
// gives it. The devices once answered several of these differently (a zero-sized viewport, a
// negative scissor rectangle, Clear without flags, write-only textures ...).
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>

#include "D3D9DeviceTestFixture.h"
#include "d3d9/D3DStateTables.h"

namespace {

using D3D9DeviceRulesTest = D3D9DeviceTest;
ORVALA_INSTANTIATE_DEVICE_TESTS(D3D9DeviceRulesTest);

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

D3D9RuleRow Viewport(const char* rule, HRESULT expected, D3DVIEWPORT9 viewport)
{
    return {rule, expected, [viewport](IDirect3DDevice9* device, const D3DCAPS9&) {
                return device->SetViewport(&viewport);
            }};
}

D3D9RuleRow Scissor(const char* rule, HRESULT expected, RECT rect)
{
    return {rule, expected, [rect](IDirect3DDevice9* device, const D3DCAPS9&) {
                const HRESULT hr = device->SetScissorRect(&rect);
                RECT back{};
                if (hr == D3D_OK && (device->GetScissorRect(&back) != D3D_OK || back.left != rect.left ||
                                     back.top != rect.top || back.right != rect.right || back.bottom != rect.bottom))
                    ADD_FAILURE() << "the rectangle set does not read back";
                return hr;
            }};
}

TEST_P(D3D9DeviceRulesTest, ViewportsHaveAreaStayInsideTheTargetAndKeepDepthInZeroToOne)
{
    ExpectRules({
        Viewport("all of the 64 x 48 target", D3D_OK, {0, 0, kWidth, kHeight, 0.f, 1.f}),
        Viewport("a depth range of one value", D3D_OK, {8, 8, 16, 16, 0.5f, 0.5f}),
        Viewport("no width", D3DERR_INVALIDCALL, {0, 0, 0, kHeight, 0.f, 1.f}),
        Viewport("no height", D3DERR_INVALIDCALL, {0, 0, kWidth, 0, 0.f, 1.f}),
        Viewport("one column past the right edge", D3DERR_INVALIDCALL, {1, 0, kWidth, kHeight, 0.f, 1.f}),
        Viewport("one row past the bottom", D3DERR_INVALIDCALL, {0, 1, kWidth, kHeight, 0.f, 1.f}),
        Viewport("MinZ below 0", D3DERR_INVALIDCALL, {0, 0, kWidth, kHeight, -0.1f, 1.f}),
        Viewport("MaxZ above 1", D3DERR_INVALIDCALL, {0, 0, kWidth, kHeight, 0.f, 1.5f}),
        Viewport("MinZ not a number", D3DERR_INVALIDCALL, {0, 0, kWidth, kHeight, kNaN, 1.f}),
        Viewport("MaxZ not a number", D3DERR_INVALIDCALL, {0, 0, kWidth, kHeight, 0.f, kNaN}),
        {"no viewport", D3DERR_INVALIDCALL,
         [](IDirect3DDevice9* device, const D3DCAPS9&) { return device->SetViewport(nullptr); }},
    });
    // A refused viewport leaves the last one set.
    D3DVIEWPORT9 viewport{};
    ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.X, 8u);
    EXPECT_EQ(viewport.Width, 16u);
    EXPECT_EQ(viewport.MinZ, 0.5f);
}

TEST_P(D3D9DeviceRulesTest, ScissorRectanglesStartInsideAndDoNotTurnInsideOut)
{
    ExpectRules({
        Scissor("inside the target", D3D_OK, {4, 4, 20, 20}),
        Scissor("empty", D3D_OK, {4, 4, 4, 4}),
        Scissor("past the target's edges", D3D_OK, {0, 0, 1000, 1000}),
        Scissor("left of the target", D3DERR_INVALIDCALL, {-1, 0, 8, 8}),
        Scissor("above the target", D3DERR_INVALIDCALL, {0, -1, 8, 8}),
        Scissor("right before left", D3DERR_INVALIDCALL, {8, 0, 4, 8}),
        Scissor("bottom above top", D3DERR_INVALIDCALL, {0, 8, 8, 4}),
        {"no rectangle", D3DERR_INVALIDCALL,
         [](IDirect3DDevice9* device, const D3DCAPS9&) { return device->SetScissorRect(nullptr); }},
    });
}

// Binds a 1024-byte vertex buffer to `stream` with the offset and stride given, then unbinds it.
D3D9RuleRow Stream(const char* rule, HRESULT expected, UINT stream, UINT offset, UINT extraStride,
                   bool strideFromCaps = false)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9& caps) {
                IDirect3DVertexBuffer9* buffer = nullptr;
                if (device->CreateVertexBuffer(1024, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr) != D3D_OK)
                    return E_FAIL;
                const UINT stride = strideFromCaps ? caps.MaxStreamStride + extraStride : extraStride;
                const HRESULT hr = device->SetStreamSource(stream, buffer, offset, stride);
                device->SetStreamSource(stream < 16 ? stream : 0, nullptr, 0, 0);
                buffer->Release();
                return hr;
            }};
}

TEST_P(D3D9DeviceRulesTest, StreamsTakeAlignedOffsetsAndStridesUpToTheDeviceLimit)
{
    ExpectRules({
        Stream("offset 0, stride 12", D3D_OK, 0, 0, 12),
        Stream("an offset of 16 bytes", D3D_OK, 1, 16, 12),
        Stream("the largest stride of the device", D3D_OK, 0, 0, 0, true),
        Stream("an offset of 2 bytes", D3DERR_INVALIDCALL, 0, 2, 12),
        Stream("a stride past the device's largest", D3DERR_INVALIDCALL, 0, 0, 1, true),
        Stream("stream 16", D3DERR_INVALIDCALL, 16, 0, 12),
        {"unbinding with an odd offset", D3D_OK,
         [](IDirect3DDevice9* device, const D3DCAPS9&) { return device->SetStreamSource(0, nullptr, 3, 7); }},
    });
}

// Clears with a 64 x 48 depth surface of `depthFormat` set (D3DFMT_UNKNOWN: none), then sets the automatic
// one back.
D3D9RuleRow ClearWith(const char* rule, HRESULT expected, DWORD flags, float z, D3DFORMAT depthFormat = D3DFMT_D24S8,
                      DWORD count = 0, bool withRects = false)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DSurface9* automatic = nullptr;
                if (device->GetDepthStencilSurface(&automatic) != D3D_OK)
                    return E_FAIL;
                IDirect3DSurface9* other = nullptr;
                if (depthFormat != D3DFMT_D24S8) {
                    if (depthFormat != D3DFMT_UNKNOWN &&
                        device->CreateDepthStencilSurface(64, 48,
                                                          depthFormat, D3DMULTISAMPLE_NONE, 0, FALSE, &other,
                                                          nullptr) != D3D_OK) {
                        automatic->Release();
                        return E_FAIL;
                    }
                    device->SetDepthStencilSurface(other);
                }
                const D3DRECT rect{0, 0, 8, 8};
                const HRESULT hr = device->Clear(count, withRects ? &rect : nullptr, flags, 0xFF336699, z, 0);
                device->SetDepthStencilSurface(automatic);
                automatic->Release();
                if (other != nullptr)
                    other->Release();
                return hr;
            }};
}

TEST_P(D3D9DeviceRulesTest, ClearNeedsAFlagADepthInZeroToOneAndTheChannelsItClears)
{
    constexpr DWORD kAll = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
    ExpectRules({
        ClearWith("everything at depth 1", D3D_OK, kAll, 1.f),
        ClearWith("everything at depth 0", D3D_OK, kAll, 0.f),
        ClearWith("one rectangle", D3D_OK, D3DCLEAR_TARGET, 1.f, D3DFMT_D24S8, 1, true),
        ClearWith("only the target without a depth surface", D3D_OK, D3DCLEAR_TARGET, 1.f, D3DFMT_UNKNOWN),
        ClearWith("depth of a D16 surface", D3D_OK, D3DCLEAR_ZBUFFER, 0.5f, D3DFMT_D16),
        ClearWith("no flags", D3DERR_INVALIDCALL, 0, 1.f),
        ClearWith("an unknown flag", D3DERR_INVALIDCALL, D3DCLEAR_TARGET | 0x10, 1.f),
        ClearWith("depth below 0", D3DERR_INVALIDCALL, kAll, -0.5f),
        ClearWith("depth above 1", D3DERR_INVALIDCALL, D3DCLEAR_TARGET, 1.5f),
        ClearWith("depth not a number", D3DERR_INVALIDCALL, D3DCLEAR_ZBUFFER, kNaN),
        ClearWith("a count without rectangles", D3DERR_INVALIDCALL, D3DCLEAR_TARGET, 1.f, D3DFMT_D24S8, 1, false),
        ClearWith("depth without a depth surface", D3DERR_INVALIDCALL, D3DCLEAR_ZBUFFER, 1.f, D3DFMT_UNKNOWN),
        ClearWith("stencil without a depth surface", D3DERR_INVALIDCALL, D3DCLEAR_STENCIL, 1.f, D3DFMT_UNKNOWN),
        ClearWith("stencil of a D16 surface", D3DERR_INVALIDCALL, D3DCLEAR_STENCIL, 1.f, D3DFMT_D16),
    });
}

// Creates a texture of the type given and releases it; the result of the creation.
D3D9RuleRow Texture(const char* rule, HRESULT expected, D3DRESOURCETYPE type, UINT width, UINT height, UINT depth,
                    UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DBaseTexture9* made = nullptr;
                HRESULT hr = E_FAIL;
                if (type == D3DRTYPE_TEXTURE) {
                    IDirect3DTexture9* texture = nullptr;
                    hr = device->CreateTexture(width, height, levels, usage, format, pool, &texture, nullptr);
                    made = texture;
                } else if (type == D3DRTYPE_CUBETEXTURE) {
                    IDirect3DCubeTexture9* cube = nullptr;
                    hr = device->CreateCubeTexture(width, levels, usage, format, pool, &cube, nullptr);
                    made = cube;
                } else {
                    IDirect3DVolumeTexture9* volume = nullptr;
                    hr = device->CreateVolumeTexture(width, height, depth, levels, usage, format, pool, &volume,
                                                     nullptr);
                    made = volume;
                }
                if ((hr == D3D_OK) != (made != nullptr))
                    ADD_FAILURE() << "a texture comes back exactly when the creation succeeds";
                if (made != nullptr)
                    made->Release();
                return hr;
            }};
}

// A texture whose size is the device's limit plus `extra` along one side (0 = width, 1 = height,
// 2 = volume depth, 3 = cube edge).
D3D9RuleRow TextureAtLimit(const char* rule, HRESULT expected, int side, UINT extra)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9& caps) {
                const D3DRESOURCETYPE type = side == 2   ? D3DRTYPE_VOLUMETEXTURE
                                             : side == 3 ? D3DRTYPE_CUBETEXTURE
                                                         : D3DRTYPE_TEXTURE;
                const UINT width = side == 0 ? caps.MaxTextureWidth + extra : side == 3 ? caps.MaxTextureWidth + extra : 1;
                const UINT height = side == 1 ? caps.MaxTextureHeight + extra : 1;
                const UINT depth = side == 2 ? caps.MaxVolumeExtent + extra : 1;
                return Texture(rule, expected, type, width, height, depth, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)
                    .call(device, caps);
            }};
}

TEST_P(D3D9DeviceRulesTest, TexturesTakeTheirUsagesPoolsFormatsAndSizeLimits)
{
    constexpr auto flat = D3DRTYPE_TEXTURE;
    constexpr auto cube = D3DRTYPE_CUBETEXTURE;
    constexpr auto volume = D3DRTYPE_VOLUMETEXTURE;
    constexpr auto argb = D3DFMT_A8R8G8B8;
    ExpectRules({
        Texture("a managed texture", D3D_OK, flat, 8, 8, 1, 0, 0, argb, D3DPOOL_MANAGED),
        Texture("software processing", D3D_OK, flat, 8, 8, 1, 1, D3DUSAGE_SOFTWAREPROCESSING, argb,
                D3DPOOL_MANAGED),
        Texture("a generated chain", D3D_OK, flat, 8, 8, 1, 0, D3DUSAGE_AUTOGENMIPMAP, argb, D3DPOOL_DEFAULT),
        Texture("write-only", D3DERR_INVALIDCALL, flat, 8, 8, 1, 1, D3DUSAGE_WRITEONLY, argb, D3DPOOL_MANAGED),
        Texture("target and depth at once", D3DERR_INVALIDCALL, flat, 8, 8, 1, 1,
                D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL, argb, D3DPOOL_DEFAULT),
        Texture("a managed target", D3DERR_INVALIDCALL, flat, 8, 8, 1, 1, D3DUSAGE_RENDERTARGET, argb,
                D3DPOOL_MANAGED),
        Texture("dynamic and managed", D3DERR_INVALIDCALL, flat, 8, 8, 1, 1, D3DUSAGE_DYNAMIC, argb,
                D3DPOOL_MANAGED),
        Texture("a dynamic target", D3DERR_INVALIDCALL, flat, 8, 8, 1, 1, D3DUSAGE_DYNAMIC | D3DUSAGE_RENDERTARGET,
                argb, D3DPOOL_DEFAULT),
        Texture("a generated chain in system memory", D3DERR_INVALIDCALL, flat, 8, 8, 1, 0, D3DUSAGE_AUTOGENMIPMAP,
                argb, D3DPOOL_SYSTEMMEM),
        Texture("a generated chain of two levels", D3DERR_INVALIDCALL, flat, 8, 8, 1, 2, D3DUSAGE_AUTOGENMIPMAP,
                argb, D3DPOOL_DEFAULT),
        // Made with one level and no chain, as CheckDeviceFormat's D3DOK_NOAUTOGEN promises.
        Texture("a generated chain of blocks", D3D_OK, flat, 8, 8, 1, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_DXT1,
                D3DPOOL_MANAGED),
        Texture("blocks of a size not a multiple of 4", D3DERR_INVALIDCALL, flat, 6, 6, 1, 1, 0, D3DFMT_DXT1,
                D3DPOOL_MANAGED),
        Texture("more levels than the chain has", D3DERR_INVALIDCALL, flat, 8, 8, 1, 5, 0, argb, D3DPOOL_MANAGED),
        Texture("no width", D3DERR_INVALIDCALL, flat, 0, 8, 1, 1, 0, argb, D3DPOOL_MANAGED),
        Texture("an unknown format", D3DERR_INVALIDCALL, flat, 8, 8, 1, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED),
        Texture("a target of blocks", D3DERR_NOTAVAILABLE, flat, 8, 8, 1, 1, D3DUSAGE_RENDERTARGET, D3DFMT_DXT1,
                D3DPOOL_DEFAULT),
        Texture("a displacement map on a device without them", D3DERR_NOTAVAILABLE, flat, 8, 8, 1, 1,
                D3DUSAGE_DMAP, argb, D3DPOOL_MANAGED),
        Texture("a volume target", D3DERR_INVALIDCALL, volume, 8, 8, 8, 1, D3DUSAGE_RENDERTARGET, argb,
                D3DPOOL_DEFAULT),
        Texture("a cube target", D3D_OK, cube, 8, 8, 1, 1, D3DUSAGE_RENDERTARGET, argb, D3DPOOL_DEFAULT),
        TextureAtLimit("the widest texture", D3D_OK, 0, 0),
        TextureAtLimit("the tallest texture", D3D_OK, 1, 0),
        TextureAtLimit("wider than the device allows", D3DERR_INVALIDCALL, 0, 1),
        TextureAtLimit("taller than the device allows", D3DERR_INVALIDCALL, 1, 1),
        TextureAtLimit("a volume deeper than the device allows", D3DERR_INVALIDCALL, 2, 1),
        TextureAtLimit("a cube larger than the device allows", D3DERR_INVALIDCALL, 3, 1),
    });
}

TEST_P(D3D9DeviceRulesTest, TheDisplacementMapSamplerExistsOnlyWithDisplacementMaps)
{
    D3DCAPS9 caps{};
    ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
    ASSERT_EQ(caps.DevCaps2 & (D3DDEVCAPS2_DMAPNPATCH | D3DDEVCAPS2_PRESAMPLEDDMAPNPATCH), 0u)
        << "both devices of the tests report no displacement mapping";
    const auto setState = [](DWORD sampler, D3DSAMPLERSTATETYPE type) {
        return [=](IDirect3DDevice9* device, const D3DCAPS9&) { return device->SetSamplerState(sampler, type, 0); };
    };
    ExpectRules({
        {"a texture on the displacement-map sampler", D3DERR_INVALIDCALL,
         [](IDirect3DDevice9* device, const D3DCAPS9&) { return device->SetTexture(D3DDMAPSAMPLER, nullptr); }},
        {"a state of the displacement-map sampler", D3DERR_INVALIDCALL, setState(D3DDMAPSAMPLER, D3DSAMP_ADDRESSU)},
        {"reading the displacement-map sampler", D3DERR_INVALIDCALL,
         [](IDirect3DDevice9* device, const D3DCAPS9&) {
             DWORD value = 0;
             return device->GetSamplerState(D3DDMAPSAMPLER, D3DSAMP_ADDRESSU, &value);
         }},
        {"the last vertex sampler", D3D_OK, setState(D3DVERTEXTEXTURESAMPLER3, D3DSAMP_ADDRESSU)},
        {"the last pixel sampler", D3D_OK, setState(15, D3DSAMP_DMAPOFFSET)},
        {"sampler 16", D3DERR_INVALIDCALL, setState(16, D3DSAMP_ADDRESSU)},
        {"sampler state 0", D3DERR_INVALIDCALL, setState(0, static_cast<D3DSAMPLERSTATETYPE>(0))},
        {"sampler state 14", D3DERR_INVALIDCALL, setState(0, static_cast<D3DSAMPLERSTATETYPE>(14))},
    });
}

TEST_P(D3D9DeviceRulesTest, EveryStateStartsAtItsDefaultAndUnknownStatesAreRefused)
{
    std::size_t count = 0;
    const D3DStateEntry* states = D3DRenderStates(count);
    ASSERT_GT(count, 100u);
    for (std::size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(states[i].name);
        DWORD value = 0xDEADBEEF;
        ASSERT_EQ(device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(states[i].state), &value), D3D_OK);
        // The fixture's device has an automatic depth buffer, so depth testing starts on.
        EXPECT_EQ(value, states[i].defaultValue);
    }
    DWORD token = 0xDEADBEEF;
    ASSERT_EQ(device->GetRenderState(D3DRS_DEBUGMONITORTOKEN, &token), D3D_OK);
    EXPECT_EQ(token, D3DDMT_ENABLE);

    const D3DStateEntry* samplerStates = D3DSamplerStates(count);
    for (DWORD sampler : {DWORD{0}, DWORD{15}, D3DVERTEXTEXTURESAMPLER0}) {
        for (std::size_t i = 0; i < count; ++i) {
            SCOPED_TRACE(samplerStates[i].name);
            DWORD value = 0xDEADBEEF;
            ASSERT_EQ(device->GetSamplerState(sampler, static_cast<D3DSAMPLERSTATETYPE>(samplerStates[i].state),
                                              &value),
                      D3D_OK);
            EXPECT_EQ(value, samplerStates[i].defaultValue);
        }
    }

    const auto setState = [](DWORD state) {
        return [=](IDirect3DDevice9* device, const D3DCAPS9&) {
            return device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), 1);
        };
    };
    ExpectRules({
        {"a state in the enumeration's gap", D3DERR_INVALIDCALL, setState(10)},
        {"a state past the last", D3DERR_INVALIDCALL, setState(kD3DRenderStateBound)},
        {"a state far past the last", D3DERR_INVALIDCALL, setState(0x10000)},
        {"the last state", D3D_OK, setState(D3DRS_BLENDOPALPHA)},
        {"the debug monitor token", D3D_OK, setState(D3DRS_DEBUGMONITORTOKEN)},
    });
}

} // namespace

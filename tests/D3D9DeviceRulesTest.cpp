// The argument rules both devices share, as tables: each row is a call and the result Direct3D 9
// gives it. The devices once answered several of these differently (a zero-sized viewport, a
// negative scissor rectangle, Clear without flags, write-only textures ...).
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <vector>

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

// A viewport of the device's largest target size (plus `extra` along one side: 0 = width, 1 = height)
// placed at (x, y).
D3D9RuleRow ViewportAtLimit(const char* rule, HRESULT expected, UINT x, UINT y, int side, UINT extra)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9& caps) {
                const D3DVIEWPORT9 viewport{x, y, caps.MaxTextureWidth - x + (side == 0 ? extra : 0),
                                            caps.MaxTextureHeight - y + (side == 1 ? extra : 0), 0.f, 1.f};
                return device->SetViewport(&viewport);
            }};
}

// Drivers take viewports that reach past the render target (drawing and Clear stay inside the
// target); the devices refuse only one past the largest target they make.
TEST_P(D3D9DeviceRulesTest, ViewportsHaveAreaStayWithinTheLargestTargetAndKeepDepthInZeroToOne)
{
    ExpectRules({
        Viewport("all of the 64 x 48 target", D3D_OK, {0, 0, kWidth, kHeight, 0.f, 1.f}),
        Viewport("one column past the right edge", D3D_OK, {1, 0, kWidth, kHeight, 0.f, 1.f}),
        Viewport("one row past the bottom", D3D_OK, {0, 1, kWidth, kHeight, 0.f, 1.f}),
        Viewport("wholly right of the target", D3D_OK, {kWidth, 0, 16, 16, 0.f, 1.f}),
        ViewportAtLimit("reaching the largest target's corner", D3D_OK, 16, 8, 0, 0),
        Viewport("a depth range of one value", D3D_OK, {8, 8, 16, 16, 0.5f, 0.5f}),
        ViewportAtLimit("one column past the largest target", D3DERR_INVALIDCALL, 16, 8, 0, 1),
        ViewportAtLimit("one row past the largest target", D3DERR_INVALIDCALL, 16, 8, 1, 1),
        Viewport("a right edge past 32 bits", D3DERR_INVALIDCALL, {0xFFFFFF00u, 0, 0x200, kHeight, 0.f, 1.f}),
        Viewport("no width", D3DERR_INVALIDCALL, {0, 0, 0, kHeight, 0.f, 1.f}),
        Viewport("no height", D3DERR_INVALIDCALL, {0, 0, kWidth, 0, 0.f, 1.f}),
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

// Clear inside a viewport that reaches past the target: only the part inside the target changes.
TEST_P(D3D9DeviceRulesTest, ClearInAViewportPastTheTargetStaysInsideTheTarget)
{
    IDirect3DSurface9* target = MakeRenderTarget(8, 4);
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK);
    constexpr D3DCOLOR kBlack = 0xFF000000, kRed = 0xFFFF0000, kGreen = 0xFF00FF00;
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.f, 0), D3D_OK);
    const D3DVIEWPORT9 past{5, 2, 100, 100, 0.f, 1.f};
    ASSERT_EQ(device->SetViewport(&past), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.f, 0), D3D_OK);
    const D3DRECT rect{6, 0, 7, 100}; // column 6, rows 2 and 3 inside the viewport
    ASSERT_EQ(device->Clear(1, &rect, D3DCLEAR_TARGET, kGreen, 1.f, 0), D3D_OK);
    const D3DVIEWPORT9 beyond{8, 0, 4, 4, 0.f, 1.f}; // wholly right of the target: clears nothing
    ASSERT_EQ(device->SetViewport(&beyond), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.f, 0), D3D_OK);

    const std::vector<DWORD> texels = ReadTexels(target);
    ASSERT_EQ(texels.size(), 32u);
    for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 8; ++x) {
            const DWORD expected = x < 5 || y < 2 ? kBlack : x == 6 ? kGreen : kRed;
            EXPECT_EQ(texels[y * 8 + x], expected) << x << ", " << y;
        }
    }
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, back), D3D_OK);
    back->Release();
    target->Release();
}

// ---------------------------------------------------------------------------------------------
// Queries

enum class QueryStage { New, Begun, Finished, BegunAgain };

// Waits for an issued query to finish: the answer once it stops saying S_FALSE.
HRESULT FinishQuery(IDirect3DQuery9* query)
{
    HRESULT hr = S_FALSE;
    while ((hr = query->GetData(nullptr, 0, D3DGETDATA_FLUSH)) == S_FALSE) {
    }
    return hr;
}

// A query of `type` brought to `stage`, then one GetData into a 16-byte buffer of 0xAA bytes (or
// with no buffer). The first `filled` bytes of the buffer must then hold the result (0 samples for
// an occlusion query, TRUE for an event) and the others stay 0xAA.
D3D9RuleRow QueryData(const char* rule, HRESULT expected, D3DQUERYTYPE type, QueryStage stage, bool withData,
                      DWORD size, DWORD flags = 0, DWORD filled = 0)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DQuery9* query = nullptr;
                if (device->CreateQuery(type, &query) != D3D_OK)
                    return E_FAIL;
                if (stage != QueryStage::New) {
                    if (type == D3DQUERYTYPE_OCCLUSION)
                        query->Issue(D3DISSUE_BEGIN);
                    if (stage != QueryStage::Begun) {
                        query->Issue(D3DISSUE_END);
                        if (FinishQuery(query) != S_OK)
                            ADD_FAILURE() << "the query does not finish";
                        if (stage == QueryStage::BegunAgain)
                            query->Issue(D3DISSUE_BEGIN);
                    }
                }
                unsigned char bytes[16];
                std::memset(bytes, 0xAA, sizeof bytes);
                const HRESULT hr = query->GetData(withData ? bytes : nullptr, size, flags);
                const DWORD result = type == D3DQUERYTYPE_EVENT ? TRUE : 0;
                unsigned char wanted[16];
                std::memset(wanted, 0xAA, sizeof wanted);
                std::memcpy(wanted, &result, filled);
                if (std::memcmp(bytes, wanted, sizeof bytes) != 0)
                    ADD_FAILURE() << "the result fills its first " << filled << " bytes and nothing else";
                query->Release();
                return hr;
            }};
}

// A finished query answers S_OK and fills what fits of its result; a query with nothing to report yet
// (never issued, or between BEGIN and END) answers S_FALSE, as drivers do.
TEST_P(D3D9DeviceRulesTest, QueriesAnswerGetDataWithWhatTheyHave)
{
    constexpr auto occlusion = D3DQUERYTYPE_OCCLUSION;
    constexpr auto event = D3DQUERYTYPE_EVENT;
    ExpectRules({
        QueryData("an occlusion query never issued", S_FALSE, occlusion, QueryStage::New, true, 4),
        QueryData("a query never issued, polled with a flush", S_FALSE, occlusion, QueryStage::New, false, 0,
                  D3DGETDATA_FLUSH),
        QueryData("between BEGIN and END", S_FALSE, occlusion, QueryStage::Begun, true, 4, D3DGETDATA_FLUSH),
        QueryData("BEGIN again after a finished interval", S_FALSE, occlusion, QueryStage::BegunAgain, true, 4),
        QueryData("a finished query into 4 bytes", S_OK, occlusion, QueryStage::Finished, true, 4, 0, 4),
        QueryData("a finished query into 2 bytes", S_OK, occlusion, QueryStage::Finished, true, 2, 0, 2),
        QueryData("a finished query into 8 bytes", S_OK, occlusion, QueryStage::Finished, true, 8, 0, 4),
        QueryData("a finished query into 0 bytes", S_OK, occlusion, QueryStage::Finished, true, 0),
        QueryData("a finished query polled without data", S_OK, occlusion, QueryStage::Finished, false, 0),
        QueryData("a size without data", D3DERR_INVALIDCALL, occlusion, QueryStage::Finished, false, 4),
        QueryData("a flag other than FLUSH", D3DERR_INVALIDCALL, occlusion, QueryStage::Finished, true, 4, 2),
        QueryData("an event never issued", S_FALSE, event, QueryStage::New, true, 4),
        QueryData("a finished event into 1 byte", S_OK, event, QueryStage::Finished, true, 1, 0, 1),
        QueryData("a finished event into 4 bytes", S_OK, event, QueryStage::Finished, true, 4, D3DGETDATA_FLUSH, 4),
    });
}

// ---------------------------------------------------------------------------------------------
// Draws

constexpr const char* kDrawVS = R"(
in vec4 POSITION0;
in vec4 COLOR0;
out vec4 colour;
void main()
{
    gl_Position = POSITION0;
    colour = COLOR0;
})";
constexpr const char* kDrawPS = R"(
in vec4 colour;
out vec4 COLOR0;
void main()
{
    COLOR0 = colour;
})";

// What a draw row binds: the shaders asked for, a declaration (POSITION as FLOAT4 on stream 0,
// COLOR0 as FLOAT4 on `colourStream`) unless told not to, 6 vertices on stream 0 and, when
// colourVertices is not 0, that many on the colour stream. All of it is unbound and released when
// the row is done, leaving the device as it was.
struct DrawSetup {
    bool vertexShader = true;
    bool pixelShader = true;
    bool declaration = true;
    UINT colourStream = 1;
    UINT colourVertices = 0;
};

class BoundDraw {
public:
    BoundDraw(IDirect3DDevice9* device, const DrawSetup& setup) : device_(device)
    {
        if (setup.vertexShader && device->CreateVertexShader(kDrawVS, &vs_) == D3D_OK)
            device->SetVertexShader(vs_);
        if (setup.pixelShader && device->CreatePixelShader(kDrawPS, &ps_) == D3D_OK)
            device->SetPixelShader(ps_);
        const D3DVERTEXELEMENT9 elements[] = {
            {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
            {static_cast<WORD>(setup.colourStream), static_cast<WORD>(setup.colourStream == 0 ? 16 : 0),
             D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
            D3DDECL_END(),
        };
        if (setup.declaration && device->CreateVertexDeclaration(elements, &declaration_) == D3D_OK)
            device->SetVertexDeclaration(declaration_);
        const UINT stride = setup.colourStream == 0 ? 32 : 16;
        if (device->CreateVertexBuffer(6 * stride, 0, 0, D3DPOOL_MANAGED, &positions_, nullptr) == D3D_OK)
            device->SetStreamSource(0, positions_, 0, stride);
        if (setup.colourVertices != 0 &&
            device->CreateVertexBuffer(setup.colourVertices * 16, 0, 0, D3DPOOL_MANAGED, &colours_, nullptr) == D3D_OK)
            device->SetStreamSource(setup.colourStream, colours_, 0, 16);
        if (device->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices_, nullptr) == D3D_OK)
            device->SetIndices(indices_);
    }
    ~BoundDraw()
    {
        device_->SetVertexShader(nullptr);
        device_->SetPixelShader(nullptr);
        device_->SetVertexDeclaration(nullptr);
        for (UINT stream = 0; stream < 2; ++stream)
            device_->SetStreamSource(stream, nullptr, 0, 0);
        device_->SetIndices(nullptr);
        const std::initializer_list<IUnknown*> objects{vs_, ps_, declaration_, positions_, colours_, indices_};
        for (IUnknown* object : objects)
            if (object != nullptr)
                object->Release();
    }
    BoundDraw(const BoundDraw&) = delete;
    BoundDraw& operator=(const BoundDraw&) = delete;

private:
    IDirect3DDevice9* device_;
    IDirect3DVertexShader9* vs_ = nullptr;
    IDirect3DPixelShader9* ps_ = nullptr;
    IDirect3DVertexDeclaration9* declaration_ = nullptr;
    IDirect3DVertexBuffer9* positions_ = nullptr;
    IDirect3DVertexBuffer9* colours_ = nullptr;
    IDirect3DIndexBuffer9* indices_ = nullptr;
};

enum class DrawCall { Primitive, Indexed, FromMemory };

D3D9RuleRow Draw(const char* rule, HRESULT expected, DrawSetup setup, DrawCall call = DrawCall::Primitive)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                BoundDraw bound(device, setup);
                switch (call) {
                case DrawCall::Primitive: return device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
                case DrawCall::Indexed: return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 6, 0, 2);
                case DrawCall::FromMemory: {
                    const float vertices[6][8] = {};
                    return device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, vertices, sizeof vertices[0]);
                }
                }
                return E_FAIL;
            }};
}

// Drivers draw from a stream the declaration names but nothing is bound to, reading zeros for its
// elements. The fixed-function pipeline is out of scope: a draw without both shaders is refused.
TEST_P(D3D9DeviceRulesTest, DrawsReadZerosFromUnboundStreamsAndNeedBothShaders)
{
    DrawSetup unbound;
    DrawSetup bound;
    bound.colourVertices = 6;
    DrawSetup tooShort;
    tooShort.colourVertices = 5;
    DrawSetup noShaders;
    noShaders.vertexShader = noShaders.pixelShader = false;
    DrawSetup noPixelShader;
    noPixelShader.pixelShader = false;
    DrawSetup noVertexShader;
    noVertexShader.vertexShader = false;
    DrawSetup noDeclaration;
    noDeclaration.declaration = false;
    DrawSetup oneStream;
    oneStream.colourStream = 0;
    ExpectRules({
        Draw("the colour's stream bound", D3D_OK, bound),
        Draw("nothing bound to the colour's stream", D3D_OK, unbound),
        Draw("indexed, nothing bound to the colour's stream", D3D_OK, unbound, DrawCall::Indexed),
        Draw("a bound stream too short for the draw", D3DERR_INVALIDCALL, tooShort),
        Draw("no shaders", D3DERR_INVALIDCALL, noShaders),
        Draw("no pixel shader", D3DERR_INVALIDCALL, noPixelShader),
        Draw("no vertex shader", D3DERR_INVALIDCALL, noVertexShader),
        Draw("no declaration", D3DERR_INVALIDCALL, noDeclaration),
        Draw("indexed without shaders", D3DERR_INVALIDCALL, noShaders, DrawCall::Indexed),
        Draw("from memory with one stream", D3D_OK, oneStream, DrawCall::FromMemory),
        Draw("from memory without shaders", D3DERR_INVALIDCALL, noShaders, DrawCall::FromMemory),
        Draw("from memory with a second stream", D3DERR_INVALIDCALL, unbound, DrawCall::FromMemory),
    });
}

// ---------------------------------------------------------------------------------------------
// StretchRect

// An offscreen plain surface of w x h in `pool`, its texels (4 bytes each) numbered 0x00RRGGBB =
// index * 0x010305 with alpha 0xFF.
IDirect3DSurface9* NumberedPlain(IDirect3DDevice9* device, UINT w, UINT h, D3DFORMAT format, D3DPOOL pool)
{
    IDirect3DSurface9* surface = nullptr;
    if (device->CreateOffscreenPlainSurface(w, h, format, pool, &surface, nullptr) != D3D_OK)
        return nullptr;
    D3DLOCKED_RECT locked{};
    if (surface->LockRect(&locked, nullptr, 0) == D3D_OK) {
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x) {
                const DWORD texel = 0xFF000000u | ((y * w + x) * 0x010305u & 0xFFFFFFu);
                std::memcpy(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch + x * 4, &texel, 4);
            }
        surface->UnlockRect();
    }
    return surface;
}

std::vector<DWORD> LockedTexels(IDirect3DSurface9* surface)
{
    std::vector<DWORD> texels;
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    if (surface->GetDesc(&desc) != D3D_OK || surface->LockRect(&locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
        return texels;
    for (UINT y = 0; y < desc.Height; ++y)
        for (UINT x = 0; x < desc.Width; ++x) {
            DWORD texel = 0;
            std::memcpy(&texel, static_cast<const unsigned char*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
            texels.push_back(texel);
        }
    surface->UnlockRect();
    return texels;
}

// A plain surface (w x h, `format`, `pool`) stretched whole into another (dw x dh, `destFormat`,
// D3DPOOL_DEFAULT unless `destPool` says otherwise). A copy that succeeds without scaling must
// carry every texel.
D3D9RuleRow StretchPlain(const char* rule, HRESULT expected, UINT w, UINT h, D3DFORMAT format, D3DPOOL pool, UINT dw,
                         UINT dh, D3DFORMAT destFormat, D3DTEXTUREFILTERTYPE filter,
                         D3DPOOL destPool = D3DPOOL_DEFAULT)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DSurface9* source = NumberedPlain(device, w, h, format, pool);
                IDirect3DSurface9* dest = nullptr;
                HRESULT hr = E_FAIL;
                if (source != nullptr &&
                    device->CreateOffscreenPlainSurface(dw, dh, destFormat, destPool, &dest, nullptr) == D3D_OK) {
                    hr = device->StretchRect(source, nullptr, dest, nullptr, filter);
                    if (hr == D3D_OK && w == dw && h == dh && LockedTexels(dest) != LockedTexels(source))
                        ADD_FAILURE() << "the copy differs from its source";
                }
                for (IDirect3DSurface9* surface : {source, dest})
                    if (surface != nullptr)
                        surface->Release();
                return hr;
            }};
}

// A level of a 4 x 4 texture (usage and pool given) stretched into a 4 x 4 render target, or a
// render target into a plain surface in the default pool when `intoPlain`.
D3D9RuleRow StretchTexture(const char* rule, HRESULT expected, DWORD usage, D3DPOOL pool, bool intoPlain = false)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DTexture9* texture = nullptr;
                IDirect3DSurface9* level = nullptr;
                IDirect3DSurface9* target = nullptr;
                IDirect3DSurface9* plain = nullptr;
                HRESULT hr = E_FAIL;
                if (device->CreateTexture(4, 4, 1, usage, D3DFMT_A8R8G8B8, pool, &texture, nullptr) == D3D_OK &&
                    texture->GetSurfaceLevel(0, &level) == D3D_OK &&
                    device->CreateRenderTarget(4, 4, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target,
                                               nullptr) == D3D_OK &&
                    device->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr) ==
                        D3D_OK) {
                    hr = intoPlain ? device->StretchRect(target, nullptr, plain, nullptr, D3DTEXF_NONE)
                                   : device->StretchRect(level, nullptr, target, nullptr, D3DTEXF_NONE);
                }
                for (IUnknown* object : std::initializer_list<IUnknown*>{level, texture, target, plain})
                    if (object != nullptr)
                        object->Release();
                return hr;
            }};
}

// Drivers copy between plain surfaces in video memory (stretching as the filter says) and refuse a
// managed texture's level as a source, as they refuse anything outside D3DPOOL_DEFAULT.
TEST_P(D3D9DeviceRulesTest, StretchRectCopiesPlainSurfacesAndTakesOnlyVideoMemory)
{
    constexpr auto argb = D3DFMT_A8R8G8B8;
    constexpr auto video = D3DPOOL_DEFAULT;
    ExpectRules({
        StretchPlain("a plain surface into one of its size", D3D_OK, 4, 4, argb, video, 4, 4, argb, D3DTEXF_NONE),
        StretchPlain("a plain surface doubled, point", D3D_OK, 2, 2, argb, video, 4, 4, argb, D3DTEXF_POINT),
        StretchPlain("a plain surface doubled, linear", D3D_OK, 2, 2, argb, video, 4, 4, argb, D3DTEXF_LINEAR),
        StretchPlain("a plain surface halved", D3D_OK, 8, 8, argb, video, 4, 4, argb, D3DTEXF_LINEAR),
        StretchPlain("plain surfaces of two formats", D3DERR_INVALIDCALL, 4, 4, argb, video, 4, 4, D3DFMT_X8R8G8B8,
                     D3DTEXF_NONE),
        StretchPlain("from system memory", D3DERR_INVALIDCALL, 4, 4, argb, D3DPOOL_SYSTEMMEM, 4, 4, argb,
                     D3DTEXF_NONE),
        StretchPlain("into system memory", D3DERR_INVALIDCALL, 4, 4, argb, video, 4, 4, argb, D3DTEXF_NONE,
                     D3DPOOL_SYSTEMMEM),
        StretchTexture("a render-target texture's level", D3D_OK, D3DUSAGE_RENDERTARGET, video),
        StretchTexture("a managed texture's level", D3DERR_INVALIDCALL, 0, D3DPOOL_MANAGED),
        StretchTexture("a system-memory texture's level", D3DERR_INVALIDCALL, 0, D3DPOOL_SYSTEMMEM),
        StretchTexture("a render target into a plain surface", D3DERR_INVALIDCALL, D3DUSAGE_RENDERTARGET, video,
                       true),
    });
}

// Doubling a plain surface with the point filter repeats each texel twice each way; a rectangle of
// one goes into a rectangle of the other and leaves the rest alone.
TEST_P(D3D9DeviceRulesTest, StretchRectScalesPlainSurfacesByTheNearestTexel)
{
    IDirect3DSurface9* source = NumberedPlain(device, 2, 2, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    IDirect3DSurface9* dest = NumberedPlain(device, 6, 4, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    ASSERT_TRUE(source && dest);
    const std::vector<DWORD> before = LockedTexels(dest);
    const std::vector<DWORD> from = LockedTexels(source);
    const RECT into{2, 0, 6, 4};
    ASSERT_EQ(device->StretchRect(source, nullptr, dest, &into, D3DTEXF_POINT), D3D_OK);
    const std::vector<DWORD> after = LockedTexels(dest);
    ASSERT_EQ(after.size(), 24u);
    for (UINT y = 0; y < 4; ++y)
        for (UINT x = 0; x < 6; ++x) {
            const DWORD expected = x < 2 ? before[y * 6 + x] : from[(y / 2) * 2 + (x - 2) / 2];
            EXPECT_EQ(after[y * 6 + x], expected) << x << ", " << y;
        }
    // One texel of the source into one of the destination.
    const RECT one{1, 1, 2, 2};
    const RECT corner{0, 3, 1, 4};
    ASSERT_EQ(device->StretchRect(source, &one, dest, &corner, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(LockedTexels(dest)[3 * 6], from[3]);
    source->Release();
    dest->Release();
}

// ---------------------------------------------------------------------------------------------
// Out-parameters and small state

D3D9RuleRow BackBuffer(const char* rule, HRESULT expected, UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                static char stale = 0;
                IDirect3DSurface9* const marker = reinterpret_cast<IDirect3DSurface9*>(&stale);
                IDirect3DSurface9* back = marker;
                const HRESULT hr = device->GetBackBuffer(swapChain, index, type, &back);
                if (hr != D3D_OK && back != nullptr)
                    ADD_FAILURE() << "a refused GetBackBuffer leaves a pointer behind";
                if (hr == D3D_OK && (back == nullptr || back == marker))
                    ADD_FAILURE() << "GetBackBuffer succeeds without a surface";
                if (hr == D3D_OK && back != nullptr && back != marker)
                    back->Release();
                return hr;
            }};
}

// Locks a resource made for the row and checks that a failed lock clears pBits.
enum class LockTarget { TextureLevel, TextureSurface, CubeFace, VolumeTextureLevel, Volume, RenderTarget };

D3D9RuleRow Lock(const char* rule, HRESULT expected, LockTarget what, UINT level, bool lockTwice = false,
                 bool badArea = false)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                void* const stale = &device;
                HRESULT hr = E_FAIL;
                void* bits = nullptr;
                const RECT badRect{0, 0, 9, 9};
                const D3DBOX badBox{0, 0, 4, 4, 3, 9};
                if (what == LockTarget::TextureLevel || what == LockTarget::TextureSurface) {
                    IDirect3DTexture9* texture = nullptr;
                    if (device->CreateTexture(8, 8, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr) !=
                        D3D_OK)
                        return E_FAIL;
                    D3DLOCKED_RECT locked{};
                    if (lockTwice)
                        texture->LockRect(level, &locked, nullptr, 0);
                    locked = {1, stale};
                    if (what == LockTarget::TextureLevel) {
                        hr = texture->LockRect(level, &locked, badArea ? &badRect : nullptr, 0);
                    } else {
                        IDirect3DSurface9* surface = nullptr;
                        if (texture->GetSurfaceLevel(level, &surface) == D3D_OK) {
                            hr = surface->LockRect(&locked, badArea ? &badRect : nullptr, 0);
                            surface->Release();
                        }
                    }
                    bits = locked.pBits;
                    texture->UnlockRect(level < 2 ? level : 0);
                    texture->Release();
                } else if (what == LockTarget::CubeFace) {
                    IDirect3DCubeTexture9* cube = nullptr;
                    if (device->CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr) != D3D_OK)
                        return E_FAIL;
                    D3DLOCKED_RECT locked{1, stale};
                    hr = cube->LockRect(static_cast<D3DCUBEMAP_FACES>(level), 0, &locked, nullptr, 0);
                    bits = locked.pBits;
                    if (hr == D3D_OK)
                        cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(level), 0);
                    cube->Release();
                } else if (what == LockTarget::VolumeTextureLevel || what == LockTarget::Volume) {
                    IDirect3DVolumeTexture9* volume = nullptr;
                    if (device->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &volume,
                                                    nullptr) != D3D_OK)
                        return E_FAIL;
                    D3DLOCKED_BOX locked{1, 1, stale};
                    if (what == LockTarget::VolumeTextureLevel) {
                        hr = volume->LockBox(level, &locked, badArea ? &badBox : nullptr, 0);
                    } else {
                        IDirect3DVolume9* slice = nullptr;
                        if (volume->GetVolumeLevel(0, &slice) == D3D_OK) {
                            hr = slice->LockBox(&locked, badArea ? &badBox : nullptr, 0);
                            slice->Release();
                        }
                    }
                    bits = locked.pBits;
                    if (hr == D3D_OK)
                        volume->UnlockBox(0);
                    volume->Release();
                } else {
                    IDirect3DSurface9* target = nullptr;
                    if (device->CreateRenderTarget(4, 4, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target,
                                                   nullptr) != D3D_OK)
                        return E_FAIL;
                    D3DLOCKED_RECT locked{1, stale};
                    hr = target->LockRect(&locked, nullptr, 0);
                    bits = locked.pBits;
                    target->Release();
                }
                if (hr != D3D_OK && bits != nullptr)
                    ADD_FAILURE() << "a failed lock leaves pBits behind";
                if (hr == D3D_OK && (bits == nullptr || bits == stale))
                    ADD_FAILURE() << "a lock succeeds without memory";
                return hr;
            }};
}

// Unlocks what was never locked: a texture's level (all kinds) answers D3D_OK, a plain surface
// refuses.
enum class UnlockTarget { Texture, TextureSurface, CubeFace, VolumeTexture, Volume, PlainSurface, TextureLevelPast };

D3D9RuleRow Unlock(const char* rule, HRESULT expected, UnlockTarget what)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                HRESULT hr = E_FAIL;
                if (what == UnlockTarget::Texture || what == UnlockTarget::TextureSurface ||
                    what == UnlockTarget::TextureLevelPast) {
                    IDirect3DTexture9* texture = nullptr;
                    if (device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr) !=
                        D3D_OK)
                        return E_FAIL;
                    if (what == UnlockTarget::TextureSurface) {
                        IDirect3DSurface9* surface = nullptr;
                        if (texture->GetSurfaceLevel(0, &surface) == D3D_OK) {
                            hr = surface->UnlockRect();
                            surface->Release();
                        }
                    } else {
                        hr = texture->UnlockRect(what == UnlockTarget::TextureLevelPast ? 1 : 0);
                    }
                    texture->Release();
                } else if (what == UnlockTarget::CubeFace) {
                    IDirect3DCubeTexture9* cube = nullptr;
                    if (device->CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr) != D3D_OK)
                        return E_FAIL;
                    hr = cube->UnlockRect(D3DCUBEMAP_FACE_NEGATIVE_Z, 0);
                    cube->Release();
                } else if (what == UnlockTarget::VolumeTexture || what == UnlockTarget::Volume) {
                    IDirect3DVolumeTexture9* volume = nullptr;
                    if (device->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &volume,
                                                    nullptr) != D3D_OK)
                        return E_FAIL;
                    if (what == UnlockTarget::Volume) {
                        IDirect3DVolume9* slice = nullptr;
                        if (volume->GetVolumeLevel(0, &slice) == D3D_OK) {
                            hr = slice->UnlockBox();
                            slice->Release();
                        }
                    } else {
                        hr = volume->UnlockBox(0);
                    }
                    volume->Release();
                } else {
                    IDirect3DSurface9* plain = nullptr;
                    if (device->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &plain,
                                                            nullptr) != D3D_OK)
                        return E_FAIL;
                    hr = plain->UnlockRect();
                    plain->Release();
                }
                return hr;
            }};
}

// Binds a buffer to stream 0 at stride 20, then unbinds it with the arguments given; the stride
// GetStreamSource then reports must be `strideAfter`.
D3D9RuleRow UnbindStream(const char* rule, HRESULT expected, UINT offset, UINT stride, UINT strideAfter)
{
    return {rule, expected, [=](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DVertexBuffer9* buffer = nullptr;
                if (device->CreateVertexBuffer(200, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr) != D3D_OK ||
                    device->SetStreamSource(0, buffer, 0, 20) != D3D_OK)
                    return E_FAIL;
                const HRESULT hr = device->SetStreamSource(0, nullptr, offset, stride);
                IDirect3DVertexBuffer9* bound = buffer;
                UINT offsetAfter = 99, reported = 99;
                if (device->GetStreamSource(0, &bound, &offsetAfter, &reported) != D3D_OK || bound != nullptr)
                    ADD_FAILURE() << "the stream still has a buffer";
                if (bound != nullptr)
                    bound->Release();
                if (reported != strideAfter)
                    ADD_FAILURE() << "GetStreamSource reports stride " << reported << ", not " << strideAfter;
                buffer->Release();
                return hr;
            }};
}

D3D9RuleRow Declaration(const char* rule, HRESULT expected, std::vector<D3DVERTEXELEMENT9> elements)
{
    return {rule, expected, [elements](IDirect3DDevice9* device, const D3DCAPS9&) {
                IDirect3DVertexDeclaration9* declaration = nullptr;
                const HRESULT hr = device->CreateVertexDeclaration(elements.data(), &declaration);
                if ((hr == D3D_OK) != (declaration != nullptr))
                    ADD_FAILURE() << "a declaration comes back exactly when the creation succeeds";
                if (declaration != nullptr)
                    declaration->Release();
                return hr;
            }};
}

TEST_P(D3D9DeviceRulesTest, OutParametersAreClearedWhenACallFails)
{
    ExpectRules({
        BackBuffer("the back buffer", D3D_OK, 0, 0, D3DBACKBUFFER_TYPE_MONO),
        BackBuffer("the back buffer asked for as the left eye's", D3D_OK, 0, 0, D3DBACKBUFFER_TYPE_LEFT),
        BackBuffer("the back buffer asked for as the right eye's", D3D_OK, 0, 0, D3DBACKBUFFER_TYPE_RIGHT),
        BackBuffer("a back buffer past the chain", D3DERR_INVALIDCALL, 0, 1, D3DBACKBUFFER_TYPE_MONO),
        BackBuffer("a second swap chain", D3DERR_INVALIDCALL, 1, 0, D3DBACKBUFFER_TYPE_MONO),
        Lock("a texture's level", D3D_OK, LockTarget::TextureLevel, 0),
        Lock("a texture level past the chain", D3DERR_INVALIDCALL, LockTarget::TextureLevel, 2),
        Lock("a rectangle outside the level", D3DERR_INVALIDCALL, LockTarget::TextureLevel, 1, false, true),
        Lock("a level locked already", D3DERR_INVALIDCALL, LockTarget::TextureLevel, 0, true),
        Lock("a texture's surface locked already", D3DERR_INVALIDCALL, LockTarget::TextureSurface, 0, true),
        Lock("a cube face that does not exist", D3DERR_INVALIDCALL, LockTarget::CubeFace, 6),
        Lock("a box outside the volume", D3DERR_INVALIDCALL, LockTarget::VolumeTextureLevel, 0, false, true),
        Lock("a volume level past the chain", D3DERR_INVALIDCALL, LockTarget::VolumeTextureLevel, 1),
        Lock("a box outside a volume level", D3DERR_INVALIDCALL, LockTarget::Volume, 0, false, true),
        Lock("a render target made without Lockable", D3DERR_INVALIDCALL, LockTarget::RenderTarget, 0),
    });
}

TEST_P(D3D9DeviceRulesTest, SmallStateFollowsTheDrivers)
{
    const auto element = [](WORD stream, WORD offset, BYTE type, BYTE usage) {
        return D3DVERTEXELEMENT9{stream, offset, type, D3DDECLMETHOD_DEFAULT, usage, 0};
    };
    const D3DVERTEXELEMENT9 end = D3DDECL_END();
    const auto position = element(0, 0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION);
    ExpectRules({
        Unlock("a texture level never locked", D3D_OK, UnlockTarget::Texture),
        Unlock("a texture's surface never locked", D3D_OK, UnlockTarget::TextureSurface),
        Unlock("a cube face never locked", D3D_OK, UnlockTarget::CubeFace),
        Unlock("a volume texture level never locked", D3D_OK, UnlockTarget::VolumeTexture),
        Unlock("a volume never locked", D3D_OK, UnlockTarget::Volume),
        Unlock("a texture level past the chain", D3DERR_INVALIDCALL, UnlockTarget::TextureLevelPast),
        Unlock("a plain surface never locked", D3DERR_INVALIDCALL, UnlockTarget::PlainSurface),
        UnbindStream("unbinding keeps the stride", D3D_OK, 0, 0, 20),
        UnbindStream("unbinding with another stride keeps the first", D3D_OK, 4, 12, 20),
        Declaration("elements at multiples of 4", D3D_OK,
                    {position, element(0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR), end}),
        Declaration("an element at offset 2", E_FAIL,
                    {position, element(0, 14, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR), end}),
        Declaration("an element on a second stream at offset 1", E_FAIL,
                    {position, element(1, 1, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES), end}),
        Declaration("an element of type UNUSED", E_FAIL,
                    {position, element(0, 12, D3DDECLTYPE_UNUSED, D3DDECLUSAGE_TEXCOORD), end}),
        Declaration("a type past UNUSED", D3DERR_INVALIDCALL,
                    {position, element(0, 12, D3DDECLTYPE_UNUSED + 1, D3DDECLUSAGE_TEXCOORD), end}),
        Declaration("a stream past 15", D3DERR_INVALIDCALL,
                    {position, element(16, 0, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD), end}),
        Declaration("a usage named twice", D3DERR_INVALIDCALL, {position, position, end}),
        Declaration("no elements", D3D_OK, {end}),
    });
}

} // namespace

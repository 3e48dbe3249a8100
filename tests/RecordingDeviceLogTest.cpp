#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "d3d9/DeviceFactory.h"
#include "D3D9DeviceTestFixture.h"

namespace {

// The recording device's own log; these tests do not apply to other devices.
class RecordingDeviceLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = 32;
        params.BackBufferHeight = 32;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        params.EnableAutoDepthStencil = TRUE;
        params.AutoDepthStencilFormat = D3DFMT_D24S8;
        ASSERT_EQ(CreateRecordingDevice(TestDeviceCaps(), &params, &device), D3D_OK);
    }

    void TearDown() override
    {
        if (device != nullptr) {
            EXPECT_EQ(device->Release(), 0u);
        }
    }

    std::vector<const RecordedCall*> CallsNamed(const std::string& method) const
    {
        std::vector<const RecordedCall*> found;
        for (const RecordedCall& call : GetRecordedCalls(device)) {
            if (call.method == method) {
                found.push_back(&call);
            }
        }
        return found;
    }

    IDirect3DDevice9* device = nullptr;
};

TEST_F(RecordingDeviceLogTest, APassShowsItsDrawsWithTheirTargets)
{
    IDirect3DTexture9* colour = nullptr;
    IDirect3DTexture9* normals = nullptr;
    ASSERT_EQ(device->CreateTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &colour,
                                    nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A16B16G16R16F, D3DPOOL_DEFAULT,
                                    &normals, nullptr),
              D3D_OK);
    IDirect3DSurface9* colourLevel = nullptr;
    IDirect3DSurface9* normalsLevel = nullptr;
    ASSERT_EQ(colour->GetSurfaceLevel(0, &colourLevel), D3D_OK);
    ASSERT_EQ(normals->GetSurfaceLevel(0, &normalsLevel), D3D_OK);
    IDirect3DVertexShader9* vs = nullptr;
    IDirect3DPixelShader9* ps = nullptr;
    ASSERT_EQ(device->CreateVertexShader("void main() {}", &vs), D3D_OK);
    ASSERT_EQ(device->CreatePixelShader("void main() {}", &ps), D3D_OK);
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    ClearRecordedCalls(device);
    ASSERT_TRUE(GetRecordedCalls(device).empty());

    const float quad[4 * 4] = {};
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, colourLevel), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(1, normalsLevel), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->SetVertexShader(vs), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(ps), D3D_OK);
    ASSERT_EQ(device->SetVertexDeclaration(declaration), D3D_OK);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 16), D3D_OK);
    }
    ASSERT_EQ(device->SetRenderTarget(1, nullptr), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);

    std::vector<const RecordedCall*> draws = CallsNamed("DrawPrimitiveUP");
    ASSERT_EQ(draws.size(), 3u);
    for (const RecordedCall* draw : draws) {
        EXPECT_EQ(draw->targets, (std::vector<std::string>{"texture#1.level0", "texture#2.level0"}));
        EXPECT_EQ(draw->arguments, "D3DPT_TRIANGLESTRIP, 2, ptr, 16");
    }
    std::vector<const RecordedCall*> targets = CallsNamed("SetRenderTarget");
    ASSERT_EQ(targets.size(), 3u);
    EXPECT_EQ(targets[0]->arguments, "0, texture#1.level0");
    EXPECT_EQ(targets[2]->arguments, "1, null");
    EXPECT_TRUE(targets[0]->targets.empty());
    ASSERT_EQ(CallsNamed("SetVertexShader").size(), 1u);
    EXPECT_EQ(CallsNamed("SetVertexShader")[0]->arguments, "vertexshader#1");
    ASSERT_EQ(CallsNamed("Clear").size(), 1u);
    EXPECT_EQ(CallsNamed("Clear")[0]->arguments, "0, null, 0x3, 0x0, 1, 0");
    EXPECT_EQ(GetRecordedCalls(device).front().method, "BeginScene");
    EXPECT_EQ(GetRecordedCalls(device).back().method, "EndScene");

    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, back), D3D_OK);
    EXPECT_EQ(GetRecordedCalls(device).back().arguments, "0, backbuffer");
    back->Release();
    for (IUnknown* object : std::vector<IUnknown*>{colourLevel, normalsLevel, colour, normals, vs, ps, declaration}) {
        object->Release();
    }
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    device->SetVertexDeclaration(nullptr);
}

TEST_F(RecordingDeviceLogTest, FailedCallsAndObjectCallsAreLoggedByName)
{
    ClearRecordedCalls(device);
    EXPECT_EQ(device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(3), TRUE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 16, &data, 0), D3D_OK);
    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
    buffer->Release();

    const std::vector<RecordedCall>& calls = GetRecordedCalls(device);
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[0].arguments, "D3DRS_ALPHABLENDENABLE, 1");
    EXPECT_EQ(calls[1].arguments, "3, 1 -> D3DERR_INVALIDCALL");
    EXPECT_EQ(calls[2].method, "EndScene");
    EXPECT_EQ(calls[2].arguments, " -> D3DERR_INVALIDCALL");
    EXPECT_EQ(calls[3].arguments, "64, 0x0, 0x0, D3DPOOL_MANAGED, vertexbuffer#1");
    EXPECT_EQ(calls[4].method, "Lock");
    EXPECT_EQ(calls[4].arguments, "vertexbuffer#1, 0, 16, 0x0");
    EXPECT_EQ(calls[6].arguments, "vertexbuffer#1 -> D3DERR_INVALIDCALL");
    EXPECT_EQ(calls[7].method, "Release");
    EXPECT_EQ(calls[7].arguments, "vertexbuffer#1");
}

TEST(RecordingDeviceWithoutLogTest, KeepsNoLogButStillChecksAndKeepsState)
{
    setenv("ORVALA_D3D_RECORDING_LOG", "off", 1);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 8;
    params.BackBufferHeight = 8;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    IDirect3DDevice9* quiet = nullptr;
    const HRESULT made = CreateRecordingDevice(TestDeviceCaps(), &params, &quiet);
    unsetenv("ORVALA_D3D_RECORDING_LOG");
    ASSERT_EQ(made, D3D_OK);

    EXPECT_EQ(quiet->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    EXPECT_EQ(quiet->SetRenderState(static_cast<D3DRENDERSTATETYPE>(3), TRUE), D3DERR_INVALIDCALL);
    EXPECT_EQ(quiet->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT), D3D_OK);
    EXPECT_EQ(quiet->EndScene(), D3DERR_INVALIDCALL);
    DWORD value = 0;
    EXPECT_EQ(quiet->GetRenderState(D3DRS_ALPHABLENDENABLE, &value), D3D_OK);
    EXPECT_EQ(value, DWORD{TRUE});
    EXPECT_EQ(quiet->GetSamplerState(0, D3DSAMP_MAGFILTER, &value), D3D_OK);
    EXPECT_EQ(value, DWORD{D3DTEXF_POINT});
    EXPECT_EQ(quiet->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(10, 20, 30), 1.0f, 0), D3D_OK);
    EXPECT_EQ(quiet->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    std::vector<std::uint8_t> bgra;
    UINT width = 0;
    UINT height = 0;
    ASSERT_EQ(quiet->GetPresentedFrame(bgra, width, height), D3D_OK);
    ASSERT_EQ(bgra.size(), 8u * 8u * 4u);
    EXPECT_EQ(bgra[0], 30);
    EXPECT_EQ(bgra[2], 10);
    EXPECT_TRUE(GetRecordedCalls(quiet).empty());
    EXPECT_EQ(quiet->Release(), 0u);
}

TEST_F(RecordingDeviceLogTest, OtherDevicesHaveNoLog)
{
    EXPECT_TRUE(GetRecordedCalls(nullptr).empty());
    ClearRecordedCalls(nullptr); // nothing to clear, nothing breaks
}

} // namespace

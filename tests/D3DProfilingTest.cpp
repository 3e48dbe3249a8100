#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "d3d9/D3DDrawCounter.h"
#include "d3d9/D3DGpuTimer.h"

namespace {

// What a device tells a profiler: its draws and primitives, and (the GL device only) GPU time
// stamps.
class D3DProfilingTest : public ::testing::TestWithParam<D3D9DeviceFactory> {
protected:
    void SetUp() override
    {
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = 32;
        params.BackBufferHeight = 32;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        ASSERT_EQ(GetParam().make(&params, &device, windows), D3D_OK);
    }
    void TearDown() override
    {
        if (device)
            EXPECT_EQ(device->Release(), 0u);
        windows.clear();
    }

    bool IsGL() const { return std::string(GetParam().name) == "OpenGL"; }

    D3D9DeviceWindows windows;
    IDirect3DDevice9* device = nullptr;
};

// Draws count with their primitives; a draw the device refuses counts nothing.
TEST_P(D3DProfilingTest, DrawsAndPrimitivesAreCounted)
{
    const D3DDrawCounter* counter = D3DGetDrawCounter(device);
    ASSERT_NE(counter, nullptr);
    const std::uint64_t draws = counter->DrawCount(), primitives = counter->PrimitiveCount();
    const float corners[4][4] = {{-1, -1, 0, 1}, {1, -1, 0, 1}, {-1, 1, 0, 1}, {1, 1, 0, 1}};
    // Without shaders and a declaration the draw is refused.
    EXPECT_NE(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, corners, sizeof corners[0]), D3D_OK);
    EXPECT_EQ(counter->DrawCount(), draws);

    IDirect3DVertexDeclaration9* declaration = nullptr;
    IDirect3DVertexShader9* vertex = nullptr;
    IDirect3DPixelShader9* pixel = nullptr;
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    ASSERT_EQ(device->CreateVertexShader("in vec4 POSITION0; void main() { gl_Position = POSITION0; }", &vertex), D3D_OK);
    ASSERT_EQ(device->CreatePixelShader("out vec4 COLOR0; void main() { COLOR0 = vec4(1.0); }", &pixel), D3D_OK);
    device->SetVertexDeclaration(declaration);
    device->SetVertexShader(vertex);
    device->SetPixelShader(pixel);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, corners, sizeof corners[0]), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, corners, sizeof corners[0]), D3D_OK);
    EXPECT_EQ(counter->DrawCount(), draws + 2);
    EXPECT_EQ(counter->PrimitiveCount(), primitives + 3);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    device->SetVertexDeclaration(nullptr);
    declaration->Release();
    vertex->Release();
    pixel->Release();
}

// The GL device stamps the GPU's clock; the recording device has none. Stamps read back rise,
// each is read once, and a stamp the timer does not hold is refused.
TEST_P(D3DProfilingTest, GpuTimerStampsRiseAndAreReadOnce)
{
    IDirect3DGpuTimer9* timer = nullptr;
    EXPECT_EQ(D3DCreateGpuTimer(nullptr, &timer), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DCreateGpuTimer(device, nullptr), D3DERR_INVALIDCALL);
    const HRESULT made = D3DCreateGpuTimer(device, &timer);
    if (!IsGL()) {
        EXPECT_EQ(made, D3DERR_NOTAVAILABLE);
        EXPECT_EQ(timer, nullptr);
        return;
    }
    ASSERT_EQ(made, D3D_OK);
    std::vector<std::uint64_t> stamps(4);
    for (std::uint64_t& stamp : stamps) {
        ASSERT_EQ(timer->Stamp(&stamp), D3D_OK);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF203040, 1.0f, 0);
    }
    EXPECT_EQ(timer->Stamp(nullptr), D3DERR_INVALIDCALL);
    std::uint64_t previous = 0;
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        std::uint64_t time = 0;
        if (i == 2) {
            EXPECT_EQ(timer->Drop(stamps[i]), D3D_OK);
            EXPECT_EQ(timer->GetTime(stamps[i], &time, D3DGETTIME_WAIT), D3DERR_INVALIDCALL);
            continue;
        }
        ASSERT_EQ(timer->GetTime(stamps[i], &time, D3DGETTIME_WAIT), D3D_OK) << i;
        EXPECT_GE(time, previous) << i;
        previous = time;
        EXPECT_EQ(timer->GetTime(stamps[i], &time, D3DGETTIME_WAIT), D3DERR_INVALIDCALL) << "read twice";
    }
    EXPECT_EQ(timer->Drop(stamps[0]), D3DERR_INVALIDCALL);
    EXPECT_EQ(timer->GetTime(12345, &previous, 0), D3DERR_INVALIDCALL);
    // The timer holds the device while it lives.
    timer->Release();
}

INSTANTIATE_TEST_SUITE_P(Devices, D3DProfilingTest, ::testing::ValuesIn(D3D9DeviceFactories()),
                         D3D9DeviceFactoryName);

} // namespace

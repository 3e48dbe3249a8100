// The CPU cost of a typical frame's calls on the recording device: what the device itself adds
// when the demo's own per-frame cost is measured with it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "d3d9/DeviceFactory.h"
#include "d3d9/d3d9.h"

namespace {

constexpr int kDraws = 200;

struct FrameObjects {
    IDirect3DDevice9* device = nullptr;
    IDirect3DTexture9* textures[4] = {};
    IDirect3DVertexBuffer9* vertices = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    IDirect3DVertexShader9* vs = nullptr;
    IDirect3DPixelShader9* ps = nullptr;

    FrameObjects(UINT width, UINT height)
    {
        D3DCAPS9 caps{};
        caps.MaxTextureWidth = 4096;
        caps.MaxTextureHeight = 4096;
        caps.NumSimultaneousRTs = 4;
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = width;
        params.BackBufferHeight = height;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        params.EnableAutoDepthStencil = TRUE;
        params.AutoDepthStencilFormat = D3DFMT_D24S8;
        if (CreateRecordingDevice(caps, &params, &device) != D3D_OK) {
            return;
        }
        for (auto*& texture : textures) {
            device->CreateTexture(256, 256, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
        }
        device->CreateVertexBuffer(1024 * 32, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vertices, nullptr);
        device->CreateIndexBuffer(3000 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr);
        const D3DVERTEXELEMENT9 elements[] = {
            {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
            {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
            {0, 24, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
            D3DDECL_END(),
        };
        device->CreateVertexDeclaration(elements, &declaration);
        device->CreateVertexShader("void main() {}", &vs);
        device->CreatePixelShader("void main() {}", &ps);
    }

    ~FrameObjects()
    {
        if (device == nullptr) {
            return;
        }
        ClearRecordedCalls(device);
        device->SetVertexShader(nullptr);
        device->SetPixelShader(nullptr);
        device->SetVertexDeclaration(nullptr);
        device->SetStreamSource(0, nullptr, 0, 0);
        device->SetIndices(nullptr);
        device->SetTexture(0, nullptr);
        for (IUnknown* object : {static_cast<IUnknown*>(vertices), static_cast<IUnknown*>(indices),
                                 static_cast<IUnknown*>(declaration), static_cast<IUnknown*>(vs),
                                 static_cast<IUnknown*>(ps)}) {
            if (object != nullptr) {
                object->Release();
            }
        }
        for (IDirect3DTexture9* texture : textures) {
            if (texture != nullptr) {
                texture->Release();
            }
        }
        device->Release();
    }

    bool Ready() const { return device != nullptr && vertices && indices && declaration && vs && ps && textures[3]; }

    // The calls of one frame: scene, state changes per draw, and optionally clearing and presenting.
    void Frame(bool clearAndPresent)
    {
        float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        device->BeginScene();
        if (clearAndPresent) {
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
        }
        device->SetVertexShader(vs);
        device->SetPixelShader(ps);
        device->SetVertexDeclaration(declaration);
        device->SetStreamSource(0, vertices, 0, 32);
        device->SetIndices(indices);
        for (int i = 0; i < kDraws; ++i) {
            matrix[12] = static_cast<float>(i);
            device->SetTexture(0, textures[i % 4]);
            device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
            device->SetRenderState(D3DRS_ALPHABLENDENABLE, (i & 1) != 0);
            device->SetRenderState(D3DRS_CULLMODE, (i & 2) != 0 ? D3DCULL_NONE : D3DCULL_CCW);
            device->SetUniformF("worldViewProj", matrix, 16);
            device->SetUniformF("world", matrix, 16);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 1024, 0, 1000);
        }
        device->EndScene();
        if (clearAndPresent) {
            device->Present(nullptr, nullptr, nullptr, nullptr);
        }
        ClearRecordedCalls(device);
    }
};

void BM_RecordingDeviceDrawCalls(benchmark::State& state)
{
    FrameObjects objects(640, 360);
    if (!objects.Ready()) {
        state.SkipWithError("could not make the recording device's objects");
        return;
    }
    for (auto _ : state) {
        objects.Frame(false);
    }
    state.SetItemsProcessed(state.iterations() * kDraws);
}
BENCHMARK(BM_RecordingDeviceDrawCalls);

void BM_RecordingDeviceFrame(benchmark::State& state)
{
    FrameObjects objects(static_cast<UINT>(state.range(0)), static_cast<UINT>(state.range(1)));
    if (!objects.Ready()) {
        state.SkipWithError("could not make the recording device's objects");
        return;
    }
    for (auto _ : state) {
        objects.Frame(true);
    }
    state.SetItemsProcessed(state.iterations() * kDraws);
}
BENCHMARK(BM_RecordingDeviceFrame)->Args({640, 360})->Args({1280, 720});

} // namespace

// Loading and render-target memory, each beside its floor measured in the same run.
//
// LoadToFirstShowFrame: the host made over the archive the build writes, every resource loaded
// and the first show frame drawn and read back, at 640 x 360 on the GL device.
// LoadFloor: what no loader can skip: inflating every archive entry once, and making every effect
// on a GL device with each pass's program compiled and linked (one point drawn through it). Mesa
// keeps compiled shaders in a cache on disk; with it the floor is little more than the inflating,
// so the two are compared with MESA_SHADER_CACHE_DISABLE=true as well (scripts/measure.sh).
//
// RenderTargetBytes: the bytes of the three render-target pools once the whole show has been
// loaded and each section drawn (the pools never shrink, so that is their peak), beside each
// scene's own set: what the pools hold while that scene is on screen (its targets and the
// modules'). Sharing works when the peak is the largest set.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "DXEffect/CIncludeManager.h"
#include "DXFramework.h"
#include "FileSys.h"
#include "RenderTargetResources/RSHandler/RSHandler.h"
#include "RenderTargetResources/RTCubeHandler/RTCubeHandler.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "show/ShowRecorder.h"
#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9effect.h"
#include "sdl/SDLVideo.h"
#include "win32/WindowHandle.h"

namespace {

constexpr unsigned kWidth = 640;
constexpr unsigned kHeight = 360;

std::filesystem::path Archive()
{
    return std::filesystem::absolute(ORVALA_ARCHIVE);
}

void LoadToFirstShowFrame(benchmark::State& state)
{
    std::vector<unsigned char> bgra;
    int loaderFrames = 0;
    DXFramework::SetLoaderPacing(true); // as the program loads
    for (auto _ : state) {
        ShowRecorder recorder(Archive(), kWidth, kHeight, 30);
        recorder.Render(0, bgra);
        benchmark::DoNotOptimize(bgra.data());
        loaderFrames = DXFramework::GetLoadCount();
    }
    DXFramework::SetLoaderPacing(false);
    state.counters["loading_steps"] = loaderFrames;
}

// A GL device on a hidden window of its own, released before the window.
class GLDeviceOnWindow {
public:
    GLDeviceOnWindow()
    {
        if (!EnsureSDLVideo())
            throw std::runtime_error(std::string("no SDL video: ") + SDL_GetError());
        window = SDL_CreateWindow("load floor", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window)
            throw std::runtime_error(std::string("no window: ") + SDL_GetError());
        handle = RegisterSDLWindow(window);
        IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = kWidth;
        params.BackBufferHeight = kHeight;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        params.EnableAutoDepthStencil = TRUE;
        params.AutoDepthStencilFormat = D3DFMT_D24S8;
        const HRESULT made = direct3d ? direct3d->CreateDevice(0, D3DDEVTYPE_HAL, handle,
                                                               D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &device)
                                      : E_FAIL;
        if (direct3d)
            direct3d->Release();
        if (made != D3D_OK)
            throw std::runtime_error("no GL device");
    }
    ~GLDeviceOnWindow()
    {
        if (device)
            device->Release();
        UnregisterSDLWindow(handle);
        SDL_DestroyWindow(window);
    }
    GLDeviceOnWindow(const GLDeviceOnWindow&) = delete;
    GLDeviceOnWindow& operator=(const GLDeviceOnWindow&) = delete;

    IDirect3DDevice9* device = nullptr;

private:
    SDL_Window* window = nullptr;
    HWND handle = nullptr;
};

// Makes the effect and draws one point through every pass of every technique, which compiles and
// links each pass's program. Returns the passes drawn.
int CompileEffect(IDirect3DDevice9* device, const std::vector<unsigned char>& bytes, ID3DXEffectPool* pool)
{
    CIncludeManager includes;
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT made = D3DXCreateEffect(device, bytes.data(), static_cast<UINT>(bytes.size()), nullptr, &includes,
                                          0, pool, &effect, &errors);
    if (errors)
        errors->Release();
    if (made != D3D_OK || !effect)
        throw std::runtime_error("an effect of the archive could not be made");
    D3DXEFFECT_DESC description{};
    effect->GetDesc(&description);
    const float point[4] = {0.0f, 0.0f, 0.5f, 1.0f};
    int passes = 0;
    for (UINT t = 0; t < description.Techniques; ++t) {
        effect->SetTechnique(effect->GetTechnique(t));
        UINT count = 0;
        effect->Begin(&count, 0);
        for (UINT p = 0; p < count; ++p) {
            effect->BeginPass(p);
            device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point, sizeof point);
            effect->EndPass();
            ++passes;
        }
        effect->End();
    }
    effect->Release();
    return passes;
}

void LoadFloor(benchmark::State& state)
{
    const std::string archive = Archive().string();
    int passes = 0;
    std::uint64_t inflated = 0;
    for (auto _ : state) {
        FileSys files(archive.c_str());
        std::vector<std::vector<unsigned char>> effects;
        std::vector<unsigned char> bytes;
        inflated = 0;
        for (const auto& [name, coords] : FileSys::GetDirectory()) {
            bytes.resize(coords.uncomp_length);
            FileSys::ReadFile(name.c_str(), bytes.data());
            inflated += bytes.size();
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".fxo") == 0)
                effects.push_back(bytes);
        }
        GLDeviceOnWindow gl;
        // One point through a position-only declaration; the effects' own inputs are left unbound.
        const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                              D3DDECL_END()};
        IDirect3DVertexDeclaration9* declaration = nullptr;
        gl.device->CreateVertexDeclaration(elements, &declaration);
        gl.device->SetVertexDeclaration(declaration);
        ID3DXEffectPool* pool = nullptr;
        D3DXCreateEffectPool(&pool);
        gl.device->BeginScene();
        passes = 0;
        for (const std::vector<unsigned char>& effect : effects)
            passes += CompileEffect(gl.device, effect, pool);
        gl.device->EndScene();
        // The draws are finished before the clock stops, as the first frame's are.
        std::vector<std::uint8_t> picture;
        UINT w = 0;
        UINT h = 0;
        gl.device->Present(nullptr, nullptr, nullptr, nullptr);
        gl.device->GetPresentedFrame(picture, w, h);
        pool->Release();
        declaration->Release();
    }
    state.counters["passes"] = passes;
    state.counters["inflated_MB"] = static_cast<double>(inflated) / 1e6;
}

void WholeShowTargets(benchmark::State& state)
{
    std::uint64_t peak = 0;
    std::map<std::string, std::uint64_t> held; // by scene: the most its targets and the modules' took
    for (auto _ : state) {
        ShowRecorder recorder(Archive(), kWidth, kHeight, 30);
        std::vector<unsigned char> bgra;
        // A moment of every section; while a scene is on screen the pools hold its set.
        for (double seconds : {5.0, 20.0, 37.0, 52.0, 66.5, 82.0, 97.0, 120.0, 135.0}) {
            const long frame = recorder.FrameAt(seconds);
            recorder.Render(frame, bgra);
            const std::uint64_t bytes = RTHandler::GetHeldVideoMemoryBytes() + RSHandler::GetHeldVideoMemoryBytes() +
                                        RTCubeHandler::GetHeldVideoMemoryBytes();
            std::uint64_t& most = held[recorder.SceneNameOf(frame)];
            most = std::max(most, bytes);
        }
        peak = RTHandler::GetVideoMemoryBytes() + RSHandler::GetVideoMemoryBytes() +
               RTCubeHandler::GetVideoMemoryBytes();
    }
    std::uint64_t largest = 0;
    for (const auto& [scene, bytes] : held) {
        state.counters[scene + "_MB"] = static_cast<double>(bytes) / 1e6;
        largest = std::max(largest, bytes);
    }
    state.counters["largest_set_MB"] = static_cast<double>(largest) / 1e6;
    state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
}

const int kRegistered = [] {
    benchmark::RegisterBenchmark("LoadToFirstShowFrame", LoadToFirstShowFrame)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2);
    benchmark::RegisterBenchmark("LoadFloor", LoadFloor)->Unit(benchmark::kMillisecond)->Iterations(2);
    benchmark::RegisterBenchmark("RenderTargetBytes", WholeShowTargets)->Unit(benchmark::kMillisecond)->Iterations(1);
    return 0;
}();

} // namespace

#include <chrono>

#include "DXEffect/DXEffectHandler.h"
#include "DXEffect/PassRecorder.h"
#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "FrameworkState.h"
#include "ModuleHandler.h"
#include "ResourceOwner.h"
#include "RenderTargetResources/RSHandler/RSHandler.h"
#include "RenderTargetResources/RTCubeHandler/RTCubeHandler.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "Scene.h"
#include "SceneHandler.h"
#include "Timer.h"

namespace {

template <typename T>
void ReleaseAndClear(T*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}

} // namespace

void DXFramework::CreateResources()
{
    FrameworkState& state = State();
    // Every owner's random draws (light clusters, sample kernels, dust) start from a sequence of
    // its own, at the first load and at every rebuild alike: a rebuild makes the same show again,
    // not one laid out anew, and making one owner again moves nothing of another.
    CreateHostResources();
    if (Scene* loader = SceneHandler::FindScene("LoaderBarScene")) {
        ResourceOwnerScope owner(ResourceOwner::OfScene(loader->GetName()));
        loader->CreateResources();
    }
    ModuleHandler::CreateModuleResources(true);
    SceneHandler::CreateSceneResources();
    ModuleHandler::CreateModuleResources(false);

    // The playback clock starts at 0 when the demo has loaded; a rebuild after a lost device
    // keeps it, so the picture stays with the music.
    if (!state.loaded) {
        state.loaded = true;
        Timer::Restart(0.0f, 0.0f);
        Timer::Restart(0.0f, 0.0f);
    }
}

void DXFramework::CreateHostResources()
{
    FrameworkState& state = State();
    // The host's draws (the noise vectors) start where a new process starts.
    ResourceOwnerScope owner(ResourceOwner::kHost, 1u);
    IDirect3DDevice9* device = GetDevice();
    device->GetRenderTarget(0, &state.backBuffer);

    const DisplaySettings settings = GetDisplaySettings();
    CHECK_RESULT(device->CreateDepthStencilSurface(2048, 2048, D3DFMT_D24S8, settings.multiSampleType, 0, TRUE,
                                                   &state.depthSurface, nullptr));
    if (settings.multiSampleType != D3DMULTISAMPLE_NONE)
        CHECK_RESULT(device->CreateDepthStencilSurface(2048, 2048, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                                       &state.plainDepthSurface, nullptr));
    else
        state.plainDepthSurface = state.depthSurface;
    SetMainDepthSurface();

    SceneHandler::PrepareTargets();

    CreateNoiseVolume();
    CreateNoiseVectors();

    CHECK_RESULT(D3DXCreateEffectPool(&state.effectPool));
    DXEffectHandler::AddEffect("Global", "global.fx", state.effectPool);
    DXEffectHandler::SetActiveEffect("Global");
    globalEffect = DXEffectHandler::GetActiveEffect();
    SetGlobalEffect(globalEffect);
    DXEffectHandler::SetTextureBySemantic("NOISETEX", noiseTexture);
    DXEffectHandler::SetTextureBySemantic("NOISEVECTEX", noiseVecTexture);
}

void DXFramework::ReleaseResources()
{
    FrameworkState& state = State();
    // Passes leave render targets in the effects' texture parameters; a reset needs them gone.
    DXEffectHandler::ClearTextureParameters();
    SceneHandler::ReleaseSceneResources();
    ModuleHandler::ReleaseModuleResources();
    // The noise textures are shared values of the pool, which the other effects keep alive: take
    // them out of it so that nothing holds them once they are released.
    if (globalEffect) {
        if (globalEffect->GetHandleBySemantic("NOISETEX"))
            globalEffect->SetTextureBySemantic("NOISETEX", nullptr);
        if (globalEffect->GetHandleBySemantic("NOISEVECTEX"))
            globalEffect->SetTextureBySemantic("NOISEVECTEX", nullptr);
    }
    // Every effect lives in the pool released below: the modules and scenes register theirs again
    // in the new pool when their resources are made, or shared values would no longer reach them.
    DXEffectHandler::RemoveAllEffects();
    globalEffect = nullptr;
    SetGlobalEffect(nullptr);
    ReleaseAndClear(state.effectPool);
    ReleaseAndClear(noiseTexture);
    ReleaseAndClear(noiseVecTexture);
    // With no multisampling one surface serves both roles and is released once.
    if (state.plainDepthSurface == state.depthSurface)
        state.plainDepthSurface = nullptr;
    ReleaseAndClear(state.depthSurface);
    ReleaseAndClear(state.plainDepthSurface);
    ReleaseAndClear(state.backBuffer);
}

bool DXFramework::RebuildDevice()
{
    IDirect3DDevice9* device = GetDevice();
    if (!device)
        return true;
    // A device still lost cannot be reset; try again later without releasing anything twice.
    if (device->TestCooperativeLevel() == D3DERR_DEVICELOST)
        return false;
    deviceLost = false;
    return RebuildResources();
}

bool DXFramework::RebuildResources()
{
    IDirect3DDevice9* device = GetDevice();
    // The scene on screen gives its targets back and takes them again after the rebuild, so the
    // pools' preparation pass finds them idle and makes no second set.
    Scene* current = SceneHandler::GetCurrent();
    const bool holding = current && (SceneHandler::HasEnteredScene() || State().loadCount > 0);
    if (holding)
        current->ReleaseTargets();
    ReleaseResources();
    RTHandler::ReleaseDeviceResources();
    RSHandler::ReleaseDeviceResources();
    RTCubeHandler::ReleaseDeviceResources();
    const HRESULT reset = device->Reset(&presentParams);
    if (reset == D3DERR_DEVICELOST) {
        deviceLost = true;
        return false;
    }
    if (reset != D3D_OK)
        CHECK_RESULT(reset);
    RTHandler::RecreateDeviceResources();
    RSHandler::RecreateDeviceResources();
    RTCubeHandler::RecreateDeviceResources();
    CreateResources();
    if (holding) {
        current->AcquireTargets();
        current->SetConstants();
    }
    RequestRedraw();
    return !deviceLost;
}

void DXFramework::ReloadResources()
{
    // Released and made again with a reset, as after a lost device: the pools' targets are made
    // anew too, so nothing drawn before the reload is left in them.
    if (!GetDevice())
        return;
    if (!RebuildResources())
        throw FrameworkEx("the device was lost while the resources were made again");
    SceneHandler::LeaveCurrent();
}

void DXFramework::RemakeScene(const std::string& name)
{
    Scene* scene = SceneHandler::FindScene(name);
    Scene* current = SceneHandler::GetCurrent();
    const bool holding = scene == current && current && SceneHandler::HasEnteredScene();
    if (holding)
        current->ReleaseTargets();
    scene->ReleaseResources();
    {
        ResourceOwnerScope owner(ResourceOwner::OfScene(name));
        scene->CreateResources();
    }
    // Entered anew at the next frame, as after a seek: whatever it carried from frame to frame
    // starts afresh.
    SceneHandler::LeaveCurrent();
    RequestRedraw();
}

void DXFramework::ResizeBackBuffer(unsigned width, unsigned height)
{
    if (width == 0 || height == 0)
        throw FrameworkEx("the back buffer needs a width and a height above 0");
    SetBackBufferSize(width, height);
    presentParams.BackBufferWidth = width;
    presentParams.BackBufferHeight = height;
    if (!GetDevice())
        return;
    if (!RebuildResources())
        throw FrameworkEx("the device was lost while it was resized");
    SceneHandler::LeaveCurrent();
}

void DXFramework::SetOverlay(std::function<void()> drawOver)
{
    overlay = std::move(drawOver);
}

void DXFramework::RenderFrame()
{
    PassRecorder::FrameBegun();
    SceneHandler::RenderCurrent();
    PassRecorder::FrameEnded();
    if (overlay && drawOverlay)
        overlay();
    CHECK_RESULT(GetDevice()->Present(nullptr, nullptr, nullptr, nullptr));
}

void DXFramework::ClearBorders()
{
    IDirect3DDevice9* device = GetDevice();
    SetBackBufferTarget();
    SetContentViewport(0.0f, 1.0f);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(0, 0, 0, 0), 0.0f, 0);
    const unsigned width = GetWidth();
    const unsigned height = GetHeight();
    const unsigned contentHeight = GetContentHeight();
    const unsigned bar = (height - contentHeight) >> 1;
    D3DVIEWPORT9 viewport = {0, 0, width, bar, 0.0f, 1.0f};
    if (bar > 0) {
        device->SetViewport(&viewport);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(0, 0, 0, 0), 0.0f, 0);
    }
    viewport.Y = contentHeight + bar;
    viewport.Height = height - viewport.Y;
    if (viewport.Height != 0) {
        device->SetViewport(&viewport);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(0, 0, 0, 0), 0.0f, 0);
    }
}

void DXFramework::SetContentViewport(float minZ, float maxZ)
{
    const unsigned height = GetHeight();
    const unsigned contentHeight = GetContentHeight();
    D3DVIEWPORT9 viewport = {0, (height - contentHeight) >> 1, GetContentWidth(), contentHeight, minZ, maxZ};
    GetDevice()->SetViewport(&viewport);
}

void DXFramework::SetBackBufferTarget()
{
    SetMainDepthSurface();
    GetDevice()->SetRenderTarget(0, State().backBuffer);
}

IDirect3DSurface9* DXFramework::GetBackBuffer()
{
    return State().backBuffer;
}

ID3DXEffectPool* DXFramework::GetEffectPool()
{
    return State().effectPool;
}

int DXFramework::GetLoadCount()
{
    return State().loadCount;
}

void DXFramework::DrawLoaderFrame()
{
    FrameworkState& state = State();
    if (state.loaded)
        return;
    // Loading takes a while: the window's messages flow between its steps, and a quit asked for
    // meanwhile ends it.
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            throw LoadingCancelled{};
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    state.loadCount += 1;
    Scene* loader = SceneHandler::FindScene("LoaderBarScene");
    if (!loader)
        return; // a composition without a loader scene loads without pictures
    const auto started = std::chrono::steady_clock::now();
    if (state.loaderPaced && state.loadCount > 1 && started < state.nextLoaderFrame)
        return;
    if (state.loadCount == 1) {
        loader->AcquireTargets();
        loader->SetConstants();
    }
    loader->UpdateSemantics();
    loader->Update();
    IDirect3DDevice9* device = GetDevice();
    device->BeginScene();
    ClearBorders();
    loader->Render();
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    const auto finished = std::chrono::steady_clock::now();
    state.nextLoaderFrame = finished + 3 * (finished - started);
}

void DXFramework::SetLoaderPacing(bool paced)
{
    State().loaderPaced = paced;
}

#include "SceneHandler.h"

#include <cmath>

#include "DXFramework.h"
#include "FrameworkEx.h"
#include "ResourceOwner.h"
#include "Scene.h"
#include "SyncTimer.h"
#include "sync/Device.h"
#include "sync/Track.h"
#include "win32/MessageBox.h"

namespace {

SceneHandler* instance = nullptr;
std::vector<Scene*> scenes;
Scene* current = nullptr;
std::uint32_t lastIndex = SceneHandler::kNoScene;
bool reenter = false; // the next drawn frame enters its scene even when the index stays
sync::Track* sceneTrack = nullptr;

// The track value truncated toward zero to a 64-bit integer, of which the low 32 bits
// count. A value no 64-bit integer holds (NaN, huge) gives the x86 conversion's result,
// whose low 32 bits are 0.
std::uint32_t SceneIndex(float value)
{
    if (!(std::fabs(value) < 9.2e18f))
        return 0;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(value)));
}

} // namespace

SceneHandler::SceneHandler()
{
    if (instance)
        throw FrameworkEx("SceneHandler is a singleton!");
    sync::Track& track = DXFramework::GetSyncDevice()->getTrack("Scene");
    instance = this;
    current = nullptr;
    lastIndex = kNoScene;
    reenter = false;
    sceneTrack = &track;
}

SceneHandler::~SceneHandler()
{
    if (instance != this)
        return;
    instance = nullptr;
    for (Scene*& scene : scenes) {
        delete scene;
        scene = nullptr;
    }
    scenes.clear();
    current = nullptr;
    lastIndex = kNoScene;
    reenter = false;
    sceneTrack = nullptr;
}

void SceneHandler::AddScene(Scene* scene)
{
    for (Scene* registered : scenes) {
        if (registered->GetName() == scene->GetName()) {
            const std::string message = "[SceneHandler::AddScene]: Scene \"" + scene->GetName() + "\" already added.";
            delete scene;
            throw FrameworkEx(message);
        }
    }
    scenes.push_back(scene);
    current = scene;
}

Scene* SceneHandler::FindScene(const std::string& name)
{
    for (Scene* scene : scenes)
        if (scene->GetName() == name)
            return scene;
    throw FrameworkEx("[SceneHandler::FindScene]  Could not find scene \"" + name + "\"");
}

void SceneHandler::LeaveCurrent()
{
    reenter = true;
}

void SceneHandler::Idle()
{
    if (scenes.empty() || !sceneTrack)
        return; // nothing to show
    std::uint32_t index = SceneIndex(sceneTrack->getValue(GetSyncRow()));
    if (index >= scenes.size()) {
        const std::string text = "[SceneHandler::Idle] Invalid Scene index: " + std::to_string(index);
        MessageBoxA(nullptr, text.c_str(), "Invalid", MB_OK);
        index = 0;
    }
    if (index != lastIndex || reenter) {
        reenter = false;
        if (current)
            current->ReleaseTargets();
        current = scenes[index];
        current->AcquireTargets();
        current->SetConstants();
    }
    lastIndex = index;
    current->UpdateSemantics();
    current->Update();
}

void SceneHandler::PrepareTargets()
{
    for (Scene* scene : scenes) {
        scene->AcquireTargets();
        scene->ReleaseTargets();
    }
}

void SceneHandler::CreateSceneResources()
{
    for (Scene* scene : scenes)
        if (scene->GetName() != "LoaderBarScene") {
            ResourceOwnerScope owner(ResourceOwner::OfScene(scene->GetName()));
            scene->CreateResources();
        }
}

void SceneHandler::ReleaseSceneResources()
{
    for (Scene* scene : scenes)
        scene->ReleaseResources();
}

Scene* SceneHandler::GetCurrent()
{
    return current;
}

const std::vector<Scene*>& SceneHandler::GetScenes()
{
    return scenes;
}

void SceneHandler::RenderCurrent()
{
    IDirect3DDevice9* device = DXFramework::GetDevice();
    device->BeginScene();
    DXFramework::ClearBorders();
    if (Scene* scene = GetCurrent())
        scene->Render();
    device->EndScene();
}

bool SceneHandler::HasEnteredScene()
{
    return lastIndex != kNoScene;
}

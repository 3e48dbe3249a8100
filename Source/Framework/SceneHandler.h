#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sync/SyncNamespace.h"

class Scene;
namespace orvala::sync {
class Track;
}

// The demo's scenes in registration order; the position is the index the track "Scene"
// selects. Once per drawn frame it picks the current scene, switches when the index
// changed, and updates it. Owns the scenes.
class SceneHandler {
public:
    // Throws FrameworkEx "SceneHandler is a singleton!" when an instance exists; requests
    // the track "Scene" from the sync device.
    SceneHandler();
    ~SceneHandler();
    SceneHandler(const SceneHandler&) = delete;
    SceneHandler& operator=(const SceneHandler&) = delete;

    // Appends the scene and makes it current. A taken name throws FrameworkEx
    // "[SceneHandler::AddScene]: Scene \"<name>\" already added." and the refused scene is
    // freed.
    static void AddScene(Scene* scene);
    // Throws FrameworkEx "[SceneHandler::FindScene]  Could not find scene \"<name>\"".
    static Scene* FindScene(const std::string& name);
    // Per drawn frame: select, switch when the index changed, update.
    static void Idle();
    static void PrepareTargets();
    // BeginScene, the framework's border clearing, the current scene's Render, EndScene.
    static void RenderCurrent();
    static void CreateSceneResources();
    static void ReleaseSceneResources();

    // The next drawn frame enters its scene anew (releases the current scene's targets, takes
    // them again and sets its constants), as the first frame after loading does. For tools that
    // draw times out of order.
    static void LeaveCurrent();

    static Scene* GetCurrent();
    // True once a drawn frame has entered a scene (the current one then holds its targets).
    static bool HasEnteredScene();
    static const std::vector<Scene*>& GetScenes();

    // The index used in the previous drawn frame; 4294967295 before the first.
    static constexpr std::uint32_t kNoScene = 4294967295u;
};

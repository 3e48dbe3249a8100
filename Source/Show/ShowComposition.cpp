#include "ShowComposition.h"

#include "ModuleHandler.h"
#include "ResourceOwner.h"
#include "SceneHandler.h"

#include "DeferredLighting/DeferredLighting.h"
#include "Dust/Dust.h"
#include "Floor/Floor.h"
#include "PostEffects/PostEffects.h"

#include "ArenaScene.h"
#include "CornellScene.h"
#include "ImgCubeScene.h"
#include "LoaderBarScene.h"
#include "MorphScene.h"
#include "OpeningScene.h"
#include "RoomScene.h"
#include "TunnelScene.h"

DemoConfiguration ShowConfiguration()
{
    DemoConfiguration configuration;
    configuration.title = "Orvala 2009";
    configuration.width = 800;
    configuration.height = 450;
    configuration.fullscreen = false;
    configuration.endTime = kShowEndTime;
    configuration.showSetupDialog = true;
    return configuration;
}

namespace {

struct ShowScene {
    const char* name;
    Scene* (*make)(const std::string& name);
};

template <typename Kind>
Scene* Make(const std::string& name)
{
    return new Kind(name);
}

// The scenes in registration order; the position is the index the track "Scene" selects. The
// loader comes last: the most recently added scene is current while the show loads.
constexpr ShowScene kScenes[] = {
    {"ArenaScene", Make<ArenaScene>},     {"OpeningScene", Make<OpeningScene>}, {"CornellScene", Make<CornellScene>},
    {"RoomScene", Make<RoomScene>},       {"TunnelScene", Make<TunnelScene>},   {"ImgCubeScene", Make<ImgCubeScene>},
    {"MorphScene", Make<MorphScene>},     {"LoaderBarScene", Make<LoaderBarScene>},
};

} // namespace

void RegisterShow()
{
    // The scenes lay out their light clusters as they are made, one after the other in the order
    // below, from a sequence that starts where a new process starts: the same layouts in the
    // program, in the tools and in the studio, whatever ran before.
    RandomStreamScope layouts(1u);
    ModuleHandler::AddModule(new PostEffects("PostFX"));
    ModuleHandler::AddModule(new DeferredLighting("DefLight"));
    ModuleHandler::AddModule(new Floor("Floor"));
    ModuleHandler::AddModule(new Dust("Dust"));
    for (const ShowScene& scene : kScenes)
        SceneHandler::AddScene(scene.make(scene.name));
}

const std::vector<std::string>& ShowSceneNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const ShowScene& scene : kScenes)
            list.emplace_back(scene.name);
        return list;
    }();
    return names;
}

// A frame of each scene: milliseconds per frame at 640 x 360 on the GL device (llvmpipe without a
// GPU, the picture read back included), and the engine's own CPU per frame on the recording
// device, which draws nothing and here keeps no log of the calls (its emulated clears included;
// the picture is not read back).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>

#include "ArenaScene.h"
#include "ImgCubeScene.h"
#include "LitSceneShow.h"
#include "MorphScene.h"
#include "OpeningScene.h"
#include "RoomScene.h"
#include "TunnelScene.h"

using namespace lit_scene_show;

namespace {

struct SceneCase {
    const char* name;
    std::function<Scene*()> make;
    float seconds; // a moment of the scene's section
};

const SceneCase kScenes[] = {
    {"Opening", [] { return new OpeningScene("OpeningScene"); }, 9.0f},
    {"Cornell", [] { return new CornellScene("CornellScene"); }, 37.0f},
    {"Arena", [] { return new ArenaScene("ArenaScene"); }, 20.0f},
    {"Room", [] { return new RoomScene("RoomScene"); }, 52.0f},
    {"ImgCube", [] { return new ImgCubeScene("ImgCubeScene"); }, 82.0f},
    {"Tunnel", [] { return new TunnelScene("TunnelScene"); }, 97.0f},
    {"Morph", [] { return new MorphScene("MorphScene"); }, 66.5f},
};

void SceneFrames(benchmark::State& state, const SceneCase& scene, bool recording)
{
    if (recording) {
        setenv("ORVALA_D3D_DEVICE", "recording", 1);
        setenv("ORVALA_D3D_RECORDING_LOG", "off", 1);
    }
    {
        Show show({{"Scene", {{0, 0.0f, 0}}}, {"PlaybackTime", {{0, 0.0f, 1}, {2560, 150.0f, 1}}}}, 640, 360,
                  OneSceneComposition(scene.make));
        show.Boot();
        Picture picture;
        float t = scene.seconds;
        for (auto _ : state) {
            const bool drawn = recording ? show.Draw(t) : show.Frame(t, picture);
            if (!drawn) {
                state.SkipWithError("a frame was not drawn");
                break;
            }
            t += 1.0f / 60.0f;
        }
    }
    if (recording) {
        unsetenv("ORVALA_D3D_DEVICE");
        unsetenv("ORVALA_D3D_RECORDING_LOG");
    }
}

const int kRegistered = [] {
    for (const SceneCase& scene : kScenes) {
        benchmark::RegisterBenchmark((std::string("FrameOnLlvmpipe/") + scene.name).c_str(),
                                     [&scene](benchmark::State& state) { SceneFrames(state, scene, false); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(10);
        benchmark::RegisterBenchmark((std::string("EngineCpuPerFrame/") + scene.name).c_str(),
                                     [&scene](benchmark::State& state) { SceneFrames(state, scene, true); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(50);
    }
    return 0;
}();

} // namespace

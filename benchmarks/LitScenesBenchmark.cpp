// The cornell scene's frame, the scene with every stage of the render chain: milliseconds per
// frame at 640 x 360 on the GL device (llvmpipe without a GPU), and the engine's own CPU per frame
// on the recording device, which draws nothing.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "LitSceneShow.h"

using namespace lit_scene_show;

namespace {

void CornellFrames(benchmark::State& state, bool recording)
{
    if (recording)
        setenv("ORVALA_D3D_DEVICE", "recording", 1);
    {
        Show show({{"Scene", {{0, kCornell, 0}}}}, 640, 360);
        show.Boot();
        Picture picture;
        float t = 30.0f;
        for (auto _ : state) {
            show.Frame(t, picture);
            t += 1.0f / 60.0f;
        }
    }
    if (recording)
        unsetenv("ORVALA_D3D_DEVICE");
}

void BM_CornellFrameOnLlvmpipe(benchmark::State& state)
{
    CornellFrames(state, false);
}
void BM_CornellFrameEngineCpu(benchmark::State& state)
{
    CornellFrames(state, true);
}

} // namespace

BENCHMARK(BM_CornellFrameOnLlvmpipe)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_CornellFrameEngineCpu)->Unit(benchmark::kMillisecond)->Iterations(100);

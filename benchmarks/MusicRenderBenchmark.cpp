// The cost of making the demo's tune from its score: reading, rendering, mastering and encoding.
// It must stay well below the tune's own length of 141.5 s.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/synth/OggWriter.h"
#include "common/synth/ScoreParser.h"
#include "common/synth/ScoreRenderer.h"
#include "common/synth/SynthUnits.h"

namespace {

// The score in this repository. This file's path may be relative to the build folder, where the
// benchmark program lives.
std::string TuneScore()
{
    std::filesystem::path self(__FILE__);
    if (self.is_relative())
        self = std::filesystem::read_symlink("/proc/self/exe").parent_path() / self;
    return (self.parent_path().parent_path() / "Content" / "music" / "orvala.score").string();
}

void BM_RenderTheTune(benchmark::State& state)
{
    const std::string path = TuneScore();
    double seconds = 0.0;
    for (auto _ : state) {
        const synth::Score score = synth::ReadScoreFile(path);
        const synth::RenderedSong song = synth::RenderScore(score);
        const std::vector<unsigned char> ogg = synth::EncodeOggVorbis(song.stereo);
        benchmark::DoNotOptimize(ogg.data());
        seconds = static_cast<double>(song.stereo.size() / 2) / synth::kSampleRate;
    }
    // How many seconds of music one second of rendering makes.
    state.counters["music_seconds"] = seconds;
    state.counters["realtime_factor"] =
        benchmark::Counter(seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderTheTune)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "common/synth/OggWriter.h"
#include "common/synth/ScoreParser.h"
#include "common/synth/ScoreRenderer.h"
#include "common/synth/SynthUnits.h"
#include "common/synth/WavWriter.h"

namespace {

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("orvala-tool: cannot write \"" + path + "\": " + std::strerror(errno));
}

// Everything is rendered and encoded before the first file is written, so a score with a
// fault leaves no output behind.
int RenderCommand(const std::vector<std::string>& args)
{
    std::vector<std::string> paths;
    std::string wavPath;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--wav") {
            if (i + 1 == args.size() || !wavPath.empty())
                throw ToolUsageError{"--wav needs one file name"};
            wavPath = args[++i];
        } else {
            paths.push_back(args[i]);
        }
    }
    if (paths.size() != 2)
        throw ToolUsageError{"music render needs a score and an output file"};
    const synth::Score score = synth::ReadScoreFile(paths[0]);
    const synth::RenderedSong song = synth::RenderScore(score);
    const std::vector<unsigned char> ogg = synth::EncodeOggVorbis(song.stereo, 0.5f, "Orvala 2009");
    std::vector<unsigned char> wav;
    if (!wavPath.empty())
        wav = synth::EncodeWav(song.stereo);
    WriteBytes(paths[1], ogg);
    if (!wavPath.empty())
        WriteBytes(wavPath, wav);
    std::printf("%.3f s, %.2f LUFS, true peak %.2f dBTP before encoding, master gain %+.2f dB\n",
                static_cast<double>(song.stereo.size() / 2) / synth::kSampleRate, song.master.loudness,
                song.master.truePeakDb, song.master.gainDb);
    return 0;
}

int SectionsCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        throw ToolUsageError{"music sections needs a score"};
    const synth::Score score = synth::ReadScoreFile(args[0]);
    std::printf("# section first-row seconds\n");
    for (const synth::SectionStart& section : synth::SectionMap(score))
        std::printf("%s %d %.6g\n", section.name.c_str(), section.row, section.seconds);
    return 0;
}

int RunMusic(const std::vector<std::string>& args)
{
    if (args.empty())
        throw ToolUsageError{"music needs a subcommand"};
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "render")
        return RenderCommand(rest);
    if (args[0] == "sections")
        return SectionsCommand(rest);
    throw ToolUsageError{"unknown music subcommand \"" + args[0] + "\""};
}

const ToolCommandRegistration registration("music",
                                           {"orvala-tool music render <score> <out.ogg> [--wav <out.wav>]\n"
                                            "orvala-tool music sections <score>\n",
                                            RunMusic});

} // namespace

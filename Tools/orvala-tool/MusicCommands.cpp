#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "common/synth/OggWriter.h"
#include "common/synth/ScoreEvents.h"
#include "common/synth/ScoreParser.h"
#include "common/synth/ScoreRenderer.h"
#include "common/synth/SynthUnits.h"
#include "common/synth/WavWriter.h"

namespace {

const ToolCommandShape kRenderShape{
    "music render", "<score> <out.ogg>",
    {ToolOption::Text("--wav", "<out.wav>").Needs("one file name")},
    2, ""};
const ToolCommandShape kSectionsShape{"music sections", "<score>", {}, 1, ""};
const ToolCommandShape kEventsShape{
    "music events", "<score>",
    {ToolOption::Text("--voice", "<name>").Needs("one voice name")},
    1, ""};

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
    const ToolArguments parsed(args, kRenderShape);
    const std::vector<std::string>& paths = parsed.Operands();
    const std::string wavPath = parsed.Text("--wav", "");
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

// Rows on the grid print as whole numbers, anything between rows with three decimals.
std::string RowText(double row)
{
    char text[32];
    if (row == std::floor(row))
        std::snprintf(text, sizeof text, "%.0f", row);
    else
        std::snprintf(text, sizeof text, "%.3f", row);
    return text;
}

// One line per note and drum hit the tune plays, in row order: a note by its name ("~" before a
// note that glides), a hit by its instrument's name, the velocity from 0 to 1.
int EventsCommand(const std::vector<std::string>& args)
{
    const ToolArguments parsed(args, kEventsShape);
    const std::vector<std::string>& paths = parsed.Operands();
    const std::string voice = parsed.Text("--voice", "");
    const bool voiceGiven = parsed.Has("--voice");
    if (paths.size() != 1)
        throw ToolUsageError{"music events needs a score"};
    const synth::Score score = synth::ReadScoreFile(paths[0]);
    int channel = -1;
    if (voiceGiven) {
        channel = synth::FindChannel(score, voice);
        if (channel < 0) {
            std::string names;
            for (const synth::ChannelSpec& spec : score.channels)
                names += " " + spec.name;
            throw std::runtime_error(paths[0] + ": no voice \"" + voice + "\"; its voices are" + names);
        }
    }
    std::string text = "# row seconds voice note velocity\n";
    for (const synth::ScoreEvent& event : synth::ScoreEvents(score, channel)) {
        const synth::ChannelSpec& spec = score.channels[static_cast<std::size_t>(event.channel)];
        const std::string note = event.drum ? score.instruments[static_cast<std::size_t>(spec.instrument)].name
                                            : (event.glide ? "~" : "") + synth::NoteName(event.note);
        char seconds[32], velocity[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", event.seconds);
        std::snprintf(velocity, sizeof velocity, "%.2f", event.velocity);
        text += RowText(event.row) + " " + seconds + " " + spec.name + " " + note + " " + velocity + "\n";
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

const ToolCommandRegistration registration(
    "music", ToolSubcommandGroup({{kRenderShape, RenderCommand}, {kSectionsShape, SectionsCommand},
                                  {kEventsShape, EventsCommand}},
                                 "music needs a subcommand", "unknown music subcommand"));

} // namespace

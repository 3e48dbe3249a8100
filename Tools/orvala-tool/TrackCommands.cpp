#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "FileSys.h"
#include "FrameworkEx.h"
#include "SyncHost.h"
#include "SyncTimer.h"
#include "common/TrackText.h"
#include "common/WholeFile.h"
#include "sync/Device.h"

namespace {

void WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (out)
        out.close();
    if (!out)
        throw std::runtime_error("cannot write \"" + path + "\"");
}

float ParseRow(const std::string& word)
{
    char* end = nullptr;
    const float row = std::strtof(word.c_str(), &end);
    if (word.empty() || end != word.c_str() + word.size() || !std::isfinite(row))
        throw ToolUsageError{"row \"" + word + "\" is not a finite decimal number"};
    return row;
}

// Prints the track's value at each row, as the demo evaluates it from the archive.
int Eval(const std::vector<std::string>& args)
{
    if (args.size() < 3)
        throw ToolUsageError{"track eval needs an archive, a track name and at least one row"};
    std::vector<float> rows;
    for (std::size_t i = 2; i < args.size(); ++i)
        rows.push_back(ParseRow(args[i]));

    FileSys archive(args[0].c_str());
    SyncTimer timer;
    std::unique_ptr<sync::Device> device(createDevice("sync", timer));
    if (!device)
        throw FrameworkEx("something went wrong - failed to connect to host?");
    const sync::Track& track = device->getTrack(args[1]);
    for (float row : rows)
        std::printf("%.9g\n", static_cast<double>(track.getValue(row)));
    return 0;
}

int Compile(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        throw ToolUsageError{"track compile needs a text file and a track file"};
    const std::vector<unsigned char> text = ReadWholeFile(args[0]);
    TrackKeys keys;
    try {
        keys = ParseTrackText(std::string(text.begin(), text.end()));
    } catch (const TrackTextError& e) {
        throw std::runtime_error(args[0] + ": " + e.what());
    }
    // The text is read completely before the track file is touched.
    WriteWholeFile(args[1], BuildTrackFile(keys));
    return 0;
}

int Dump(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        throw ToolUsageError{"track dump needs one track file"};
    const TrackFileContents contents = ReadTrackFile(ReadWholeFile(args[0]));
    // A short file is shown as the demo would read it, with a warning.
    if (!contents.hasCount)
        std::fprintf(stderr, "warning: %s is too short to hold a key-frame count\n", args[0].c_str());
    else if (contents.wholeRecords < contents.declaredCount)
        std::fprintf(stderr, "warning: %s is cut short: it holds %lu of the %lu key frames its count gives\n",
                     args[0].c_str(), static_cast<unsigned long>(contents.wholeRecords),
                     static_cast<unsigned long>(contents.declaredCount));
    const std::string text = FormatTrackText(contents.keys);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

const ToolCommandRegistration registration(
    "track", ToolSubcommandGroup({{{"track eval", "<archive> <track-name> <row>...", {},
                                   std::numeric_limits<std::size_t>::max(), ""},
                                  Eval},
                                 {{"track compile", "<text> <file.track>", {}, 2, ""}, Compile},
                                 {{"track dump", "<file.track>", {}, 1, ""}, Dump}},
                                "missing track command", "unknown track command"));

} // namespace

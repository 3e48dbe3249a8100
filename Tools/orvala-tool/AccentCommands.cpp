#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "common/AccentTracks.h"
#include "common/TrackText.h"
#include "common/WholeFile.h"
#include "common/synth/ScoreParser.h"

namespace {

// Writes <folder>/<track>.txt for every track the rules name, in the text form `track compile`
// reads. Everything is made before the first file is written, so faulty rules leave nothing.
int Accents(const std::vector<std::string>& args)
{
    if (args.size() != 3)
        throw ToolUsageError{"track accents needs a rules file, a score and an output folder"};
    const std::string& rulesPath = args[0];
    const std::string& scorePath = args[1];
    const std::filesystem::path folder = args[2];
    std::vector<AccentRule> rules;
    const synth::Score score = synth::ReadScoreFile(scorePath);
    std::map<std::string, TrackKeys> tracks;
    try {
        rules = ParseAccentRules(ReadWholeText(rulesPath));
        tracks = BuildAccentTracks(rules, score);
    } catch (const AccentRulesError& e) {
        throw std::runtime_error(rulesPath + ":" + std::to_string(e.Line()) + ": " + e.Message());
    }
    if (tracks.empty())
        throw std::runtime_error(rulesPath + ": no rules");

    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        throw std::runtime_error("\"" + folder.string() + "\" is not a folder");
    for (const auto& [name, keys] : tracks) {
        const std::filesystem::path path = folder / (name + ".txt");
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "# " << name << ": made by orvala-tool track accents from " << rulesPath << " and " << scorePath
            << "; edit those, not this.\n"
            << FormatTrackText(keys);
        out.close();
        if (!out)
            throw std::runtime_error("cannot write \"" + path.string() + "\"");
    }
    return 0;
}

const ToolCommandRegistration registration("track accents",
                                           {ToolUsage({{"track accents", "<rules> <score> <out-folder>", {}, 3, ""}}), Accents});

} // namespace

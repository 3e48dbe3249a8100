#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "common/CurveText.h"
#include "common/SceneCurves.h"
#include "common/WholeFile.h"

namespace {

namespace fs = std::filesystem;

const ToolCommandShape kShape{"curve statics",
                              "<anim-folder> <out-folder> <scene.xml>...",
                              {ToolOption::Text("--camera", "<name>").Repeatable(), ToolOption::Text("--list", "<file>")},
                              std::numeric_limits<std::size_t>::max(),
                              ""};

struct Arguments {
    std::string animFolder;
    std::string outFolder;
    std::vector<std::string> scenes;
    std::vector<std::string> cameras;
    std::string list;
};

Arguments ParseArguments(const std::vector<std::string>& args)
{
    const ToolArguments options(args, kShape);
    const std::vector<std::string>& paths = options.Operands();
    Arguments parsed;
    parsed.cameras = options.All("--camera");
    parsed.list = options.Text("--list", "");
    if (paths.size() < 3)
        throw ToolUsageError{"curve statics needs the folder of authored curves, an output folder and at least one "
                             "scene description"};
    parsed.animFolder = paths[0];
    parsed.outFolder = paths[1];
    parsed.scenes.assign(paths.begin() + 2, paths.end());
    return parsed;
}

std::string Number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

bool SameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A curve to write and the first object that asked for it.
struct Wanted {
    SceneCurve curve;
    std::string source;
};

// Writes, for every curve the scenes (and the cameras made by code) ask for and the authors have
// not written (<anim-folder>/<name>.txt), a constant curve holding the channel's value: one key
// at time 0, flat tangents. Objects of several scenes may share a curve by name only when they
// agree on its value; otherwise nothing is written and every disagreement is named. A camera of a
// description none of whose curves is authored is named in a warning.
int RunStatics(const std::vector<std::string>& args)
{
    const Arguments arguments = ParseArguments(args);

    struct Source {
        std::vector<SceneCurve> curves;
        std::string name;
        bool described; // a scene description, not the scenes' code
    };
    std::vector<Source> sources;
    for (const std::string& scene : arguments.scenes)
        sources.push_back({SceneDescriptionCurves(ReadWholeText(scene), scene), fs::path(scene).filename().string(), true});
    for (const std::string& camera : arguments.cameras)
        sources.push_back({CameraCurves(camera), "the scenes' code", false});

    std::map<std::string, Wanted> wanted;
    std::string conflicts;
    for (const auto& [curves, source, described] : sources) {
        // A described camera without a single authored curve stands at the origin looking down -Z,
        // which the missing curves' box used to point out; the build says so instead.
        std::map<std::string, bool> cameraAuthored;
        for (const SceneCurve& curve : curves) {
            const bool authored = fs::exists(fs::path(arguments.animFolder) / (curve.name + ".txt"));
            if (curve.camera && described)
                cameraAuthored[curve.owner] = cameraAuthored[curve.owner] || authored;
            if (authored)
                continue;
            const auto [found, added] = wanted.emplace(curve.name, Wanted{curve, source});
            if (added || SameBits(found->second.curve.value, curve.value))
                continue;
            conflicts += "\n  \"" + curve.name + "\": " + Number(found->second.curve.value) + " for the " +
                         found->second.curve.owner + " of " + found->second.source + ", " + Number(curve.value) +
                         " for the " + curve.owner + " of " + source;
        }
        for (const auto& [camera, authored] : cameraAuthored)
            if (!authored)
                std::fprintf(stderr, "orvala-tool: warning: the %s of %s has no curve in \"%s\": it stands at the "
                                     "origin looking down -Z\n",
                             camera.c_str(), source.c_str(), arguments.animFolder.c_str());
    }
    if (!conflicts.empty())
        throw std::runtime_error("orvala-tool: objects of the same name ask one curve for different values; give "
                                 "them the same value or different names, or write the curve in \"" +
                                 arguments.animFolder + "\":" + conflicts);

    fs::create_directories(arguments.outFolder);
    std::string written;
    for (const auto& [name, entry] : wanted) {
        const std::string path = (fs::path(arguments.outFolder) / name).string();
        WriteCurveFile(path, {{0.0f, entry.curve.value, 0.0f, 0.0f}});
        written += path + "\n";
    }
    if (!arguments.list.empty()) {
        std::ofstream list(arguments.list, std::ios::binary | std::ios::trunc);
        list << written;
        list.close();
        if (!list)
            throw std::runtime_error("orvala-tool: cannot write \"" + arguments.list + "\": " + std::strerror(errno));
    }
    return 0;
}

const ToolCommandRegistration registration("curve statics", {ToolUsage(kShape), RunStatics});

} // namespace

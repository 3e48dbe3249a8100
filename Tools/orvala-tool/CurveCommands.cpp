#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "AnimCurve.h"
#include "CommandRegistry.h"
#include "FileSys.h"
#include "common/CurveText.h"

namespace {

float ParseTime(const std::string& word)
{
    char* end = nullptr;
    const float time = std::strtof(word.c_str(), &end);
    if (word.empty() || *end != '\0' || !std::isfinite(time))
        throw ToolUsageError{"\"" + word + "\" is not a finite time"};
    return time;
}

// Evaluates the curve at the times in the order given, so that the segment search walks
// from wherever the previous time left it, as it does in the demo.
template <typename SEGMENT>
int Evaluate(const std::string& archive, const std::string& name, const std::vector<float>& times)
{
    FileSys fileSys(archive.c_str());
    AnimCurve<SEGMENT> curve(name);
    // The demo carries on with a zero curve; whoever asks for a curve by name wants to know
    // it is not there rather than read zeros.
    if (!curve.Load())
        throw std::runtime_error("orvala-tool: no curve \"" + name + "\" (entry \"Data\\anim\\" + name + "\") in \"" +
                                 archive + "\"");
    for (float time : times) {
        curve.Evaluate(time);
        std::printf("%.9g\n", static_cast<double>(curve.GetValue()));
    }
    return 0;
}

int EvalCommand(const std::vector<std::string>& args)
{
    if (args.size() < 4)
        throw ToolUsageError{"curve eval needs an archive, a curve name, a kind and at least one time"};
    const std::string& kind = args[2];
    if (kind != "hermite" && kind != "step")
        throw ToolUsageError{"unknown curve kind \"" + kind + "\" (hermite or step)"};
    std::vector<float> times;
    for (std::size_t i = 3; i < args.size(); ++i)
        times.push_back(ParseTime(args[i]));
    if (kind == "hermite")
        return Evaluate<HERMITESEGMENT<float>>(args[0], args[1], times);
    return Evaluate<CONSTSEGMENT<float>>(args[0], args[1], times);
}

int CompileCommand(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        throw ToolUsageError{"curve compile needs a text file and an output file"};
    WriteCurveFile(args[1], ReadCurveTextFile(args[0]));
    return 0;
}

int DumpCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        throw ToolUsageError{"curve dump needs one curve file"};
    const CurveFileContents contents = ReadCurveFile(args[0]);
    std::printf("# time value in-tangent out-tangent\n%s", FormatCurveText(contents.keys).c_str());
    if (contents.ignoredBytes != 0)
        std::printf("# %zu trailing bytes ignored (not a whole key)\n", contents.ignoredBytes);
    // The demo loads such a curve as it is, and its segment search then finds segments that run
    // backwards, so the dump still succeeds but says where the times go back.
    const std::vector<ANIMCURVEKEY>& keys = contents.keys;
    for (std::size_t i = 1; i < keys.size(); ++i)
        if (keys[i].time < keys[i - 1].time) {
            std::fprintf(stderr, "%s: warning: key %zu at time %.9g comes before key %zu at time %.9g\n",
                         args[0].c_str(), i + 1, static_cast<double>(keys[i].time), i,
                         static_cast<double>(keys[i - 1].time));
            break;
        }
    return 0;
}

const ToolCommandRegistration registration(
    "curve", ToolSubcommandGroup({{{"curve eval", "<archive> <curve-name> hermite|step <time>...", {},
                                   std::numeric_limits<std::size_t>::max(), ""},
                                  EvalCommand},
                                 {{"curve compile", "<text> <file>", {}, 2, ""}, CompileCommand},
                                 {{"curve dump", "<file>", {}, 1, ""}, DumpCommand}},
                                "curve needs a subcommand", "unknown curve subcommand"));

} // namespace

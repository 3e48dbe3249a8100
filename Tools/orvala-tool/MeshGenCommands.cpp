#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "common/meshgen/BoxShapes.h"
#include "common/meshgen/ConeShape.h"
#include "common/meshgen/PlaneShapes.h"
#include "common/meshgen/SphereShapes.h"
#include "common/meshgen/TextMesh.h"
#include "common/meshgen/TubeShapes.h"
#include "common/meshgen/XFileTextWriter.h"

using namespace meshgen;

namespace {

const char* const kGenUsage =
    "orvala-tool mesh gen <kind> [options] <out.x>\n"
    "  sphere      [--radius r] [--segments n] [--rings n]        circumscribed, smooth\n"
    "  cone        [--radius r] [--height h] [--segments n]       apex at 0, opens along -Z\n"
    "  plane|floor [--size x z] [--segments n] [--tile u v]        XZ plane facing +Y\n"
    "  box         [--size x y z] [--segments n]                   hard edges\n"
    "  openbox     [--size x y z] [--segments n] [--open none|+x|-x|+y|-y|+z|-z]  faces inwards\n"
    "              [--wall side r,g,b[,a]]...   that wall (+x|-x|+y|-y|+z|-z) in its own colour\n"
    "  tube|tunnel [--radius r] [--length l] [--segments n] [--rings n] [--noise a] [--bend b] [--seed s]\n"
    "              [--tile u v]                                    faces inwards, open ends\n"
    "  discoball   [--radius r] [--segments n] [--rings n] [--gap g] [--groove d]  flat tiles\n"
    "  torusknot   [--radius r] [--tube t] [--p n] [--q n] [--segments n] [--sides n]\n"
    "  roundedcube [--size x y z] [--radius r] [--segments n]\n"
    "  ground      [--size x z] [--segments n] [--tile u v] [--height h] [--frequency f] [--seed s]\n"
    "  every kind: [--material r,g,b[,a]] [--power p] [--specular r,g,b] [--emissive r,g,b] [--texture file]\n"
    "              [--name frame]\n";

const char* const kTextUsage =
    "orvala-tool mesh text \"<word>\" [--font file.ttf] [--depth d] [--bevel b] [--curve-steps n]\n"
    "                    [--smooth-angle degrees] [material options as for mesh gen] <out.x>\n";

// The options of one command line: each option name with its values, and the plain words.
struct ParsedArgs {
    std::map<std::string, std::vector<std::string>> options;
    std::vector<std::string> words;
};

const std::map<std::string, int> kMaterialOptions = {
    {"--material", 1}, {"--power", 1}, {"--specular", 1}, {"--emissive", 1}, {"--texture", 1}, {"--name", 1}};

// Options that may be given more than once: each time adds its values to the earlier ones.
const std::set<std::string> kRepeatableOptions = {"--wall"};

// Splits the arguments by the options this command takes (name -> number of values).
ParsedArgs Parse(const std::vector<std::string>& args, std::map<std::string, int> known)
{
    known.insert(kMaterialOptions.begin(), kMaterialOptions.end());
    ParsedArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
            parsed.words.push_back(word);
            continue;
        }
        const auto option = known.find(word);
        if (option == known.end())
            throw ToolUsageError{"unknown option \"" + word + "\""};
        if (parsed.options.count(word) && !kRepeatableOptions.count(word))
            throw ToolUsageError{word + " is given twice"};
        if (i + static_cast<std::size_t>(option->second) >= args.size())
            throw ToolUsageError{word + " needs " +
                                 (option->second == 1 ? std::string("a value") : std::to_string(option->second) + " values")};
        std::vector<std::string>& values = parsed.options[word];
        for (int k = 0; k < option->second; ++k)
            values.push_back(args[++i]);
    }
    return parsed;
}

double ParseNumber(const std::string& option, const std::string& text)
{
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value))
        throw ToolUsageError{option + " takes numbers, not \"" + text + "\""};
    return value;
}

long ParseWhole(const std::string& option, const std::string& text)
{
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE)
        throw ToolUsageError{option + " takes a whole number, not \"" + text + "\""};
    return value;
}

// Comma-separated numbers ("1,0.5,0.25"), `least` to `most` of them.
std::vector<double> ParseList(const std::string& option, const std::string& text, std::size_t least,
                              std::size_t most)
{
    std::vector<double> values;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        values.push_back(ParseNumber(option, text.substr(start, comma == std::string::npos ? comma : comma - start)));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (values.size() < least || values.size() > most)
        throw ToolUsageError{option + " takes " + std::to_string(least) +
                             (most > least ? " or " + std::to_string(most) : std::string()) +
                             " comma-separated numbers, not \"" + text + "\""};
    return values;
}

// Readers of the parsed options, leaving the default when an option is absent.
class OptionReader {
public:
    explicit OptionReader(const ParsedArgs& parsed) : parsed_(parsed) {}

    void Number(const char* name, double& value) const
    {
        if (const auto* v = Find(name))
            value = ParseNumber(name, (*v)[0]);
    }
    void Count(const char* name, int& value) const
    {
        if (const auto* v = Find(name)) {
            const long whole = ParseWhole(name, (*v)[0]);
            // Out-of-range counts are reported by the generator with its own limits.
            value = whole > 1000000 ? 1000001 : (whole < -1000000 ? -1000001 : static_cast<int>(whole));
        }
    }
    void Seed(const char* name, std::uint32_t& value) const
    {
        if (const auto* v = Find(name)) {
            const long whole = ParseWhole(name, (*v)[0]);
            if (whole < 0 || whole > 0xFFFFFFFFL)
                throw ToolUsageError{std::string(name) + " takes a whole number from 0 to 4294967295, not \"" + (*v)[0] + "\""};
            value = static_cast<std::uint32_t>(whole);
        }
    }
    template <std::size_t N>
    void Numbers(const char* name, std::array<double, N>& values) const
    {
        if (const auto* v = Find(name))
            for (std::size_t i = 0; i < N; ++i)
                values[i] = ParseNumber(name, (*v)[i]);
    }
    void Text(const char* name, std::string& value) const
    {
        if (const auto* v = Find(name))
            value = (*v)[0];
    }
    // The values of every use of a repeatable option in order, or none.
    std::vector<std::string> All(const char* name) const
    {
        const auto* v = Find(name);
        return v ? *v : std::vector<std::string>{};
    }

private:
    const std::vector<std::string>* Find(const char* name) const
    {
        const auto found = parsed_.options.find(name);
        return found == parsed_.options.end() ? nullptr : &found->second;
    }
    const ParsedArgs& parsed_;
};

// "r,g,b[,a]" into `diffuse`; without an alpha the one there stays.
void ParseColour(const std::string& option, const std::string& text, std::array<double, 4>& diffuse)
{
    const auto rgba = ParseList(option, text, 3, 4);
    for (std::size_t i = 0; i < rgba.size(); ++i)
        diffuse[i] = rgba[i];
}

void ApplyMaterial(const OptionReader& read, const ParsedArgs& parsed, MeshMaterial& material)
{
    if (parsed.options.count("--material"))
        ParseColour("--material", parsed.options.at("--material")[0], material.diffuse);
    for (const char* option : {"--specular", "--emissive"})
        if (parsed.options.count(option)) {
            const auto rgb = ParseList(option, parsed.options.at(option)[0], 3, 3);
            auto& target = std::string(option) == "--specular" ? material.specular : material.emissive;
            for (std::size_t i = 0; i < 3; ++i)
                target[i] = rgb[i];
        }
    read.Number("--power", material.power);
    if (material.power < 0.0)
        throw ToolUsageError{"--power must not be negative"};
    read.Text("--texture", material.texture);
    if (parsed.options.count("--texture") && (material.texture.empty() || !IsValidXString(material.texture)))
        throw ToolUsageError{"--texture must be a file name of printable characters without '\"'"};
}

std::string FrameName(const OptionReader& read, const ParsedArgs& parsed, const std::string& outPath)
{
    std::string name = MakeXName(std::filesystem::path(outPath).stem().string());
    read.Text("--name", name);
    if (parsed.options.count("--name") && !IsValidXName(name))
        throw ToolUsageError{"--name must be letters, digits and '_', not starting with a digit"};
    return name;
}

// Writes the whole file, or leaves none behind.
void WriteWhole(const std::string& path, const std::string& bytes)
{
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            out.close();
            if (out)
                return;
        }
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    throw std::runtime_error("orvala-tool: cannot write \"" + path + "\"");
}

// A kind's options (name -> number of values) and its generator, which also gets the material
// made from the material options.
struct Kind {
    std::map<std::string, int> options;
    std::function<MeshBuilder(const OptionReader&, const MeshMaterial&)> build;
};

const std::map<std::string, Kind>& Kinds()
{
    static const std::map<std::string, Kind> kinds = [] {
        std::map<std::string, Kind> k;
        k["sphere"] = {{{"--radius", 1}, {"--segments", 1}, {"--rings", 1}},
                       [](const OptionReader& r, const MeshMaterial&) {
                           SphereOptions o;
                           r.Number("--radius", o.radius);
                           r.Count("--segments", o.segments);
                           r.Count("--rings", o.rings);
                           return BuildSphere(o);
                       }};
        k["cone"] = {{{"--radius", 1}, {"--height", 1}, {"--segments", 1}},
                     [](const OptionReader& r, const MeshMaterial&) {
                         ConeOptions o;
                         r.Number("--radius", o.radius);
                         r.Number("--height", o.height);
                         r.Count("--segments", o.segments);
                         return BuildCone(o);
                     }};
        const auto plane = [](PlaneOptions o) {
            return [o](const OptionReader& r, const MeshMaterial&) {
                PlaneOptions options = o;
                r.Numbers("--size", options.size);
                r.Count("--segments", options.segments);
                r.Numbers("--tile", options.tile);
                return BuildPlane(options);
            };
        };
        const std::map<std::string, int> planeOptions{{"--size", 2}, {"--segments", 1}, {"--tile", 2}};
        k["plane"] = {planeOptions, plane(PlaneOptions{})};
        PlaneOptions floor;
        floor.size = {40.0, 40.0};
        floor.segments = 8;
        floor.tile = {10.0, 10.0};
        k["floor"] = {planeOptions, plane(floor)};
        k["box"] = {{{"--size", 3}, {"--segments", 1}}, [](const OptionReader& r, const MeshMaterial&) {
                        BoxOptions o;
                        r.Numbers("--size", o.size);
                        r.Count("--segments", o.segments);
                        return BuildBox(o);
                    }};
        k["openbox"] = {{{"--size", 3}, {"--segments", 1}, {"--open", 1}, {"--wall", 2}},
                        [](const OptionReader& r, const MeshMaterial& material) {
                            OpenBoxOptions o;
                            r.Numbers("--size", o.size);
                            r.Count("--segments", o.segments);
                            r.Text("--open", o.open);
                            // Each wall named takes the box's material with a colour of its own.
                            const std::vector<std::string> walls = r.All("--wall");
                            for (std::size_t i = 0; i + 1 < walls.size(); i += 2) {
                                WallMaterial wall{walls[i], material};
                                ParseColour("--wall", walls[i + 1], wall.material.diffuse);
                                o.walls.push_back(wall);
                            }
                            return BuildOpenBox(o);
                        }};
        const Kind tube{{{"--radius", 1},
                         {"--length", 1},
                         {"--segments", 1},
                         {"--rings", 1},
                         {"--noise", 1},
                         {"--bend", 1},
                         {"--seed", 1},
                         {"--tile", 2}},
                        [](const OptionReader& r, const MeshMaterial&) {
                            TubeOptions o;
                            r.Number("--radius", o.radius);
                            r.Number("--length", o.length);
                            r.Count("--segments", o.segments);
                            r.Count("--rings", o.rings);
                            r.Number("--noise", o.noise);
                            r.Number("--bend", o.bend);
                            r.Seed("--seed", o.seed);
                            std::array<double, 2> tile{o.tileU, o.tileV};
                            r.Numbers("--tile", tile);
                            o.tileU = tile[0];
                            o.tileV = tile[1];
                            return BuildTube(o);
                        }};
        k["tube"] = tube;
        k["tunnel"] = tube;
        k["discoball"] = {
            {{"--radius", 1}, {"--segments", 1}, {"--rings", 1}, {"--gap", 1}, {"--groove", 1}},
            [](const OptionReader& r, const MeshMaterial&) {
                DiscoBallOptions o;
                r.Number("--radius", o.radius);
                r.Count("--segments", o.segments);
                r.Count("--rings", o.rings);
                r.Number("--gap", o.gap);
                r.Number("--groove", o.groove);
                return BuildDiscoBall(o);
            }};
        k["torusknot"] = {
            {{"--radius", 1}, {"--tube", 1}, {"--p", 1}, {"--q", 1}, {"--segments", 1}, {"--sides", 1}},
            [](const OptionReader& r, const MeshMaterial&) {
                TorusKnotOptions o;
                r.Number("--radius", o.radius);
                r.Number("--tube", o.tube);
                r.Count("--p", o.p);
                r.Count("--q", o.q);
                r.Count("--segments", o.segments);
                r.Count("--sides", o.sides);
                return BuildTorusKnot(o);
            }};
        k["roundedcube"] = {{{"--size", 3}, {"--radius", 1}, {"--segments", 1}},
                            [](const OptionReader& r, const MeshMaterial&) {
                                RoundedCubeOptions o;
                                r.Numbers("--size", o.size);
                                r.Number("--radius", o.radius);
                                r.Count("--segments", o.segments);
                                return BuildRoundedCube(o);
                            }};
        k["ground"] = {{{"--size", 2},
                        {"--segments", 1},
                        {"--tile", 2},
                        {"--height", 1},
                        {"--frequency", 1},
                        {"--seed", 1}},
                       [](const OptionReader& r, const MeshMaterial&) {
                           GroundOptions o;
                           r.Numbers("--size", o.size);
                           r.Count("--segments", o.segments);
                           r.Numbers("--tile", o.tile);
                           r.Number("--height", o.height);
                           r.Number("--frequency", o.frequency);
                           r.Seed("--seed", o.seed);
                           return BuildGround(o);
                       }};
        return k;
    }();
    return kinds;
}

// Builds with the generator's own argument checks turned into usage errors, then writes.
void BuildAndWrite(const std::function<MeshBuilder(const MeshMaterial&)>& build, const OptionReader& read,
                   const ParsedArgs& parsed, const std::string& outPath)
{
    MeshMaterial material;
    ApplyMaterial(read, parsed, material);
    const std::string name = FrameName(read, parsed, outPath);
    MeshBuilder mesh;
    try {
        mesh = build(material);
    } catch (const std::invalid_argument& e) {
        throw ToolUsageError{e.what()};
    }
    mesh.material = material;
    WriteWhole(outPath, WriteXFileText(mesh, name));
}

int RunGen(const std::vector<std::string>& args)
{
    if (args.empty())
        throw ToolUsageError{"mesh gen needs a kind and an output file"};
    const auto kind = Kinds().find(args[0]);
    if (kind == Kinds().end())
        throw ToolUsageError{"unknown mesh kind \"" + args[0] + "\""};
    const ParsedArgs parsed = Parse(std::vector<std::string>(args.begin() + 1, args.end()), kind->second.options);
    if (parsed.words.size() != 1)
        throw ToolUsageError{parsed.words.empty() ? "mesh gen needs an output file"
                                                  : "mesh gen takes one output file, not " +
                                                        std::to_string(parsed.words.size()) + " words"};
    const OptionReader read(parsed);
    BuildAndWrite([&](const MeshMaterial& material) { return kind->second.build(read, material); }, read, parsed,
                  parsed.words[0]);
    return 0;
}

int RunText(const std::vector<std::string>& args)
{
    const ParsedArgs parsed =
        Parse(args, {{"--font", 1}, {"--depth", 1}, {"--bevel", 1}, {"--curve-steps", 1}, {"--smooth-angle", 1}});
    if (parsed.words.size() != 2)
        throw ToolUsageError{"mesh text takes the text and an output file"};
    const OptionReader read(parsed);
    TextMeshOptions options;
    read.Text("--font", options.font);
    read.Number("--depth", options.depth);
    read.Number("--bevel", options.bevel);
    read.Count("--curve-steps", options.curveSteps);
    read.Number("--smooth-angle", options.smoothAngle);
    BuildAndWrite([&](const MeshMaterial&) { return BuildTextMesh(parsed.words[0], options); }, read, parsed,
                  parsed.words[1]);
    return 0;
}

const ToolCommandRegistration genRegistration("mesh gen", {kGenUsage, RunGen});
const ToolCommandRegistration textRegistration("mesh text", {kTextUsage, RunText});

} // namespace

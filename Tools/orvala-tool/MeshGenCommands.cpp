#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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

// One number of a comma list.
double ParseNumber(const std::string& option, const std::string& text)
{
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value))
        throw ToolUsageError{option + " takes numbers, not \"" + text + "\""};
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

// The options of every kind, each row written once; a kind's table picks the rows it takes.
const ToolOption kRadius = ToolOption::Number("--radius").Shown("r");
const ToolOption kSegments = ToolOption::Whole("--segments").Shown("n");
const ToolOption kRings = ToolOption::Whole("--rings").Shown("n");
const ToolOption kHeight = ToolOption::Number("--height").Shown("h");
const ToolOption kTile = ToolOption::Number("--tile").Takes(2).Shown("u v");
const ToolOption kSeed = ToolOption::Whole("--seed", 0, 4294967295.0).Shown("s");

// --size takes x and z for the flat kinds and x, y and z for the solid ones.
ToolOption SizeOption(std::size_t sides)
{
    return ToolOption::Number("--size").Takes(sides).Shown(sides == 2 ? "x z" : "x y z");
}

// The material options, taken by every kind and by mesh text.
const std::vector<ToolOption> kMaterialOptions = {
    ToolOption::Text("--material", "r,g,b[,a]"), ToolOption::Number("--power").Shown("p"),
    ToolOption::Text("--specular", "r,g,b"),     ToolOption::Text("--emissive", "r,g,b"),
    ToolOption::Text("--texture", "file"),       ToolOption::Text("--name", "frame")};

// A kind's own options and the material options after them.
std::vector<ToolOption> WithMaterial(std::vector<ToolOption> options)
{
    options.insert(options.end(), kMaterialOptions.begin(), kMaterialOptions.end());
    return options;
}

// Readers of the parsed options, leaving the default when an option is absent.
class OptionReader {
public:
    explicit OptionReader(const ToolArguments& args) : args_(args) {}

    void Number(const char* name, double& value) const { value = args_.Number(name, value); }
    void Count(const char* name, int& value) const
    {
        const long long whole = args_.Whole(name, value);
        // Out-of-range counts are reported by the generator with its own limits.
        value = whole > 1000000 ? 1000001 : (whole < -1000000 ? -1000001 : static_cast<int>(whole));
    }
    void Seed(const char* name, std::uint32_t& value) const
    {
        value = static_cast<std::uint32_t>(args_.Whole(name, value));
    }
    template <std::size_t N>
    void Numbers(const char* name, std::array<double, N>& values) const
    {
        const std::vector<double> given = args_.Numbers(name);
        for (std::size_t i = 0; i < given.size() && i < N; ++i)
            values[i] = given[i];
    }
    void Text(const char* name, std::string& value) const { value = args_.Text(name, value); }
    bool Has(const char* name) const { return args_.Has(name); }
    // The values of every use of a repeatable option in order, or none.
    const std::vector<std::string>& All(const char* name) const { return args_.All(name); }

private:
    const ToolArguments& args_;
};

// "r,g,b[,a]" into `diffuse`; without an alpha the one there stays.
void ParseColour(const std::string& option, const std::string& text, std::array<double, 4>& diffuse)
{
    const auto rgba = ParseList(option, text, 3, 4);
    for (std::size_t i = 0; i < rgba.size(); ++i)
        diffuse[i] = rgba[i];
}

void ApplyMaterial(const OptionReader& read, MeshMaterial& material)
{
    if (read.Has("--material"))
        ParseColour("--material", read.All("--material")[0], material.diffuse);
    for (const char* option : {"--specular", "--emissive"})
        if (read.Has(option)) {
            const auto rgb = ParseList(option, read.All(option)[0], 3, 3);
            auto& target = std::string(option) == "--specular" ? material.specular : material.emissive;
            for (std::size_t i = 0; i < 3; ++i)
                target[i] = rgb[i];
        }
    read.Number("--power", material.power);
    if (material.power < 0.0)
        throw ToolUsageError{"--power must not be negative"};
    read.Text("--texture", material.texture);
    if (read.Has("--texture") && (material.texture.empty() || !IsValidXString(material.texture)))
        throw ToolUsageError{"--texture must be a file name of printable characters without '\"'"};
}

std::string FrameName(const OptionReader& read, const std::string& outPath)
{
    std::string name = MakeXName(std::filesystem::path(outPath).stem().string());
    read.Text("--name", name);
    if (read.Has("--name") && !IsValidXName(name))
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

// A kind: its names (the first shown in the usage, the others its aliases), what the usage notes
// of it, its options (the material options follow them) and its generator, which also gets the
// material made from the material options.
struct Kind {
    std::vector<std::string> names;
    std::string note;
    std::vector<ToolOption> options;
    std::function<MeshBuilder(const OptionReader&, const MeshMaterial&)> build;
};

const std::vector<Kind>& Kinds()
{
    static const std::vector<Kind> kinds = [] {
        std::vector<Kind> k;
        k.push_back({{"sphere"}, "circumscribed, smooth", {kRadius, kSegments, kRings},
                     [](const OptionReader& r, const MeshMaterial&) {
                         SphereOptions o;
                         r.Number("--radius", o.radius);
                         r.Count("--segments", o.segments);
                         r.Count("--rings", o.rings);
                         return BuildSphere(o);
                     }});
        k.push_back({{"cone"}, "apex at 0, opens along -Z", {kRadius, kHeight, kSegments},
                     [](const OptionReader& r, const MeshMaterial&) {
                         ConeOptions o;
                         r.Number("--radius", o.radius);
                         r.Number("--height", o.height);
                         r.Count("--segments", o.segments);
                         return BuildCone(o);
                     }});
        const auto plane = [](PlaneOptions o) {
            return [o](const OptionReader& r, const MeshMaterial&) {
                PlaneOptions options = o;
                r.Numbers("--size", options.size);
                r.Count("--segments", options.segments);
                r.Numbers("--tile", options.tile);
                return BuildPlane(options);
            };
        };
        const std::vector<ToolOption> planeOptions{SizeOption(2), kSegments, kTile};
        k.push_back({{"plane"}, "XZ plane facing +Y", planeOptions, plane(PlaneOptions{})});
        PlaneOptions floor;
        floor.size = {40.0, 40.0};
        floor.segments = 8;
        floor.tile = {10.0, 10.0};
        k.push_back({{"floor"}, "a plane 40 by 40 of 8 segments, tiled 10 times", planeOptions, plane(floor)});
        k.push_back({{"box"}, "hard edges", {SizeOption(3), kSegments}, [](const OptionReader& r, const MeshMaterial&) {
                         BoxOptions o;
                         r.Numbers("--size", o.size);
                         r.Count("--segments", o.segments);
                         return BuildBox(o);
                     }});
        k.push_back({{"openbox"},
                     "faces inwards; open: none|+x|-x|+y|-y|+z|-z; each wall named (+x|-x|+y|-y|+z|-z) in a colour "
                     "r,g,b[,a] of its own",
                     {SizeOption(3), kSegments, ToolOption::Text("--open", "side"),
                      ToolOption::Text("--wall", "side colour").Takes(2).Repeatable()},
                     [](const OptionReader& r, const MeshMaterial& material) {
                         OpenBoxOptions o;
                         r.Numbers("--size", o.size);
                         r.Count("--segments", o.segments);
                         r.Text("--open", o.open);
                         // Each wall named takes the box's material with a colour of its own.
                         const std::vector<std::string>& walls = r.All("--wall");
                         for (std::size_t i = 0; i + 1 < walls.size(); i += 2) {
                             WallMaterial wall{walls[i], material};
                             ParseColour("--wall", walls[i + 1], wall.material.diffuse);
                             o.walls.push_back(wall);
                         }
                         return BuildOpenBox(o);
                     }});
        k.push_back({{"tube", "tunnel"},
                     "faces inwards, open ends (tunnel is the same)",
                     {kRadius, ToolOption::Number("--length").Shown("l"), kSegments, kRings,
                      ToolOption::Number("--noise").Shown("a"), ToolOption::Number("--bend").Shown("b"), kSeed, kTile},
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
                     }});
        k.push_back({{"discoball"},
                     "flat tiles",
                     {kRadius, kSegments, kRings, ToolOption::Number("--gap").Shown("g"),
                      ToolOption::Number("--groove").Shown("d")},
                     [](const OptionReader& r, const MeshMaterial&) {
                         DiscoBallOptions o;
                         r.Number("--radius", o.radius);
                         r.Count("--segments", o.segments);
                         r.Count("--rings", o.rings);
                         r.Number("--gap", o.gap);
                         r.Number("--groove", o.groove);
                         return BuildDiscoBall(o);
                     }});
        k.push_back({{"torusknot"},
                     "",
                     {kRadius, ToolOption::Number("--tube").Shown("t"), ToolOption::Whole("--p").Shown("n"),
                      ToolOption::Whole("--q").Shown("n"), kSegments, ToolOption::Whole("--sides").Shown("n")},
                     [](const OptionReader& r, const MeshMaterial&) {
                         TorusKnotOptions o;
                         r.Number("--radius", o.radius);
                         r.Number("--tube", o.tube);
                         r.Count("--p", o.p);
                         r.Count("--q", o.q);
                         r.Count("--segments", o.segments);
                         r.Count("--sides", o.sides);
                         return BuildTorusKnot(o);
                     }});
        k.push_back({{"roundedcube"}, "", {SizeOption(3), kRadius, kSegments},
                     [](const OptionReader& r, const MeshMaterial&) {
                         RoundedCubeOptions o;
                         r.Numbers("--size", o.size);
                         r.Number("--radius", o.radius);
                         r.Count("--segments", o.segments);
                         return BuildRoundedCube(o);
                     }});
        k.push_back({{"ground"},
                     "",
                     {SizeOption(2), kSegments, kTile, kHeight, ToolOption::Number("--frequency").Shown("f"), kSeed},
                     [](const OptionReader& r, const MeshMaterial&) {
                         GroundOptions o;
                         r.Numbers("--size", o.size);
                         r.Count("--segments", o.segments);
                         r.Numbers("--tile", o.tile);
                         r.Number("--height", o.height);
                         r.Number("--frequency", o.frequency);
                         r.Seed("--seed", o.seed);
                         return BuildGround(o);
                     }});
        for (Kind& kind : k)
            kind.options = WithMaterial(kind.options);
        return k;
    }();
    return kinds;
}

const ToolCommandShape kTextShape{
    "mesh text",
    "<word> <out.x>",
    WithMaterial({ToolOption::Text("--font", "file.ttf"), ToolOption::Number("--depth").Shown("d"),
                  ToolOption::Number("--bevel").Shown("b"), ToolOption::Whole("--curve-steps").Shown("n"),
                  ToolOption::Number("--smooth-angle").Shown("degrees")}),
    2,
    ""};

// One usage line per kind, its note under it.
std::string GenUsage()
{
    std::vector<ToolCommandShape> shapes;
    for (const Kind& kind : Kinds())
        shapes.push_back({"mesh gen " + kind.names[0], "<out.x>", kind.options, 1,
                          kind.note.empty() ? std::string() : "    " + kind.note + "\n"});
    return ToolUsage(shapes);
}

// Builds with the generator's own argument checks turned into usage errors, then writes.
void BuildAndWrite(const std::function<MeshBuilder(const MeshMaterial&)>& build, const OptionReader& read,
                   const std::string& outPath)
{
    MeshMaterial material;
    ApplyMaterial(read, material);
    const std::string name = FrameName(read, outPath);
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
    const auto kind = std::find_if(Kinds().begin(), Kinds().end(), [&](const Kind& k) {
        return std::find(k.names.begin(), k.names.end(), args[0]) != k.names.end();
    });
    if (kind == Kinds().end())
        throw ToolUsageError{"unknown mesh kind \"" + args[0] + "\""};
    const ToolArguments parsed(std::vector<std::string>(args.begin() + 1, args.end()), kind->options);
    const std::vector<std::string>& words = parsed.Operands();
    if (words.size() != 1)
        throw ToolUsageError{words.empty() ? "mesh gen needs an output file"
                                           : "mesh gen takes one output file, not " + std::to_string(words.size()) +
                                                 " words"};
    const OptionReader read(parsed);
    BuildAndWrite([&](const MeshMaterial& material) { return kind->build(read, material); }, read, words[0]);
    return 0;
}

int RunText(const std::vector<std::string>& args)
{
    const ToolArguments parsed(args, kTextShape.options);
    if (parsed.Operands().size() != 2)
        throw ToolUsageError{"mesh text takes the text and an output file"};
    const OptionReader read(parsed);
    TextMeshOptions options;
    read.Text("--font", options.font);
    read.Number("--depth", options.depth);
    read.Number("--bevel", options.bevel);
    read.Count("--curve-steps", options.curveSteps);
    read.Number("--smooth-angle", options.smoothAngle);
    BuildAndWrite([&](const MeshMaterial&) { return BuildTextMesh(parsed.Operands()[0], options); }, read,
                  parsed.Operands()[1]);
    return 0;
}

const ToolCommandRegistration genRegistration("mesh gen", {GenUsage(), RunGen});
const ToolCommandRegistration textRegistration("mesh text", {ToolUsage(kTextShape), RunText});

} // namespace

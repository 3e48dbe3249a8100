#include "common/texgen/TexGenRequest.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "common/ToolOptions.h"
#include "common/texgen/TexGenError.h"

namespace {

// Direct3D 9 hardware takes textures up to 4096 texels a side; cube faces are kept smaller since
// a cube holds six of them.
constexpr unsigned kMaxExtent = 4096;
constexpr unsigned kMaxCubeExtent = 2048;

// Which kinds take an option, as a bit per TexKind.
constexpr unsigned Bit(TexKind kind)
{
    return 1u << static_cast<unsigned>(kind);
}
constexpr unsigned kAll = 0xFFu;
constexpr unsigned kNoiseLike = Bit(TexKind::Noise) | Bit(TexKind::Normal);

// One option and the kinds that take it. Values whose limits hang on the kind or on other
// options are checked again when the kind reads them.
struct KindOption {
    ToolOption option;
    unsigned kinds;
};

// Made on first use: the usage is asked for while the tool's commands register themselves.
const std::vector<KindOption>& Options()
{
    static const std::vector<KindOption> options = {
        {ToolOption::Whole("--size", 1, kMaxExtent).Takes(2).Shown("<w> <h>"), kAll},
        {ToolOption::Flag("--npot"), kAll},
        {ToolOption::Flag("--mips"), kAll},
        {ToolOption::Whole("--seed", 0, 4294967295.0).Shown("<n>"), kNoiseLike | Bit(TexKind::Cookie)},
        {ToolOption::Text("--colors", "<c>,..."), kAll & ~Bit(TexKind::Normal)},
        {ToolOption::Text("--type", "<type>"), kNoiseLike | Bit(TexKind::Gradient) | Bit(TexKind::Cube)},
        {ToolOption::Number("--scale").Shown("<cells>"), kNoiseLike},
        {ToolOption::Whole("--octaves", 1, 12).Shown("<n>"), kNoiseLike},
        {ToolOption::Number("--gain").Shown("<g>"), kNoiseLike},
        {ToolOption::Flag("--tile"), kNoiseLike},
        {ToolOption::Flag("--rgb"), Bit(TexKind::Noise)},
        {ToolOption::Number("--strength").Shown("<s>"), Bit(TexKind::Normal)},
        {ToolOption::Number("--angle").Shown("<degrees>"), Bit(TexKind::Gradient)},
        {ToolOption::Text("--stops", "<t>:<c>,..."), Bit(TexKind::Gradient)},
        {ToolOption::Number("--radius").Shown("<r>"), Bit(TexKind::Gradient) | Bit(TexKind::Glow) | Bit(TexKind::Cookie)},
        {ToolOption::Whole("--cell", 1, kMaxExtent).Shown("<texels>"), Bit(TexKind::Grid)},
        {ToolOption::Whole("--line").Shown("<texels>"), Bit(TexKind::Grid) | Bit(TexKind::Cube)},
        {ToolOption::Flag("--checker"), Bit(TexKind::Grid)},
        {ToolOption::Number("--power").Shown("<p>"), Bit(TexKind::Glow)},
        {ToolOption::Flag("--straight"), Bit(TexKind::Glow)},
        {ToolOption::Number("--softness").Shown("<s>"), Bit(TexKind::Cookie)},
        {ToolOption::Text("--pattern", "<pattern>"), Bit(TexKind::Cookie)},
        {ToolOption::Whole("--count", 1, 256).Shown("<n>"), Bit(TexKind::Cookie)},
        {ToolOption::Text("--text", "<line>").Repeatable(), Bit(TexKind::Text)},
        {ToolOption::Text("--font", "<file.ttf>"), Bit(TexKind::Text)},
        {ToolOption::Whole("--px", 4, 2048).Shown("<size>"), Bit(TexKind::Text)},
        {ToolOption::Number("--spacing").Shown("<f>"), Bit(TexKind::Text)},
        {ToolOption::Whole("--shadow", 1, 64).Shown("<radius>"), Bit(TexKind::Text)},
        {ToolOption::Whole("--glow", 1, 64).Shown("<radius>"), Bit(TexKind::Text)},
        {ToolOption::Number("--step").Shown("<degrees>"), Bit(TexKind::Cube)},
    };
    return options;
}

// Each kind with what the usage notes of it: the values its options take.
const struct {
    const char* name;
    TexKind kind;
    const char* note;
} kKinds[] = {
    {"noise", TexKind::Noise, "type perlin|value; colours <low>,<high>"},
    {"gradient", TexKind::Gradient, "type linear|radial; colours <c>,<c>... or stops <t>:<c>,..."},
    {"grid", TexKind::Grid, "colours <background>,<line>, or <a>,<b>[,<line>] for a checker"},
    {"glow", TexKind::Glow, "colours <inner>[,<outer>]"},
    {"cookie", TexKind::Cookie, "pattern none|bars|grid|rings|blades|noise; colours <light>[,<background>]"},
    {"text", TexKind::Text, "a line of text per use, shadow or glow; colours <text>[,<background>[,<shadow or glow>]]"},
    {"normal", TexKind::Normal, "heights of noise, as the noise kind"},
    {"cube", TexKind::Cube, "DDS only; type sky|direction|grid; colours <zenith>,<horizon>,<ground> or <background>,<line>"},
};

// The options the kind takes, in the table's order.
std::vector<ToolOption> OptionsOf(TexKind kind)
{
    std::vector<ToolOption> options;
    for (const KindOption& row : Options())
        if ((row.kinds & Bit(kind)) != 0)
            options.push_back(row.option);
    return options;
}

// The options given, by name, each with its values ("--text" may come several times).
using OptionValues = std::map<std::string, std::vector<std::string>>;

[[noreturn]] void Fail(const std::string& message)
{
    throw TexGenError(message);
}

unsigned ToUnsigned(const std::string& text, const std::string& option)
{
    errno = 0;
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) || *end != '\0' || errno != 0 ||
        value > 0xFFFFFFFFul) {
        Fail(option + " takes a whole number, not \"" + text + "\"");
    }
    return static_cast<unsigned>(value);
}

float ToFloat(const std::string& text, const std::string& option)
{
    errno = 0;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])) || *end != '\0' || errno != 0 ||
        !std::isfinite(value) || std::fabs(value) > 1e30) {
        Fail(option + " takes a number, not \"" + text + "\"");
    }
    return static_cast<float>(value);
}

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

// A number within [low, high]; `open` excludes the low end.
float ToFloatIn(const std::string& text, const std::string& option, float low, float high, bool open)
{
    float value = ToFloat(text, option);
    if (value > high || value < low || (open && value == low)) {
        Fail(option + " takes a number " + (open ? "above " + Number(low) + " and at most " : "from " + Number(low) + " to ") +
             Number(high) + ", not \"" + text + "\"");
    }
    return value;
}

unsigned ToUnsignedIn(const std::string& text, const std::string& option, unsigned low, unsigned high)
{
    unsigned value = ToUnsigned(text, option);
    if (value < low || value > high) {
        Fail(option + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high) + ", not \"" +
             text + "\"");
    }
    return value;
}

bool IsPowerOfTwo(unsigned value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The colours of --colors, between `least` and `most` of them.
std::vector<TexColor> Colors(const OptionValues& options, std::size_t least, std::size_t most, const char* what)
{
    std::vector<TexColor> colors;
    auto found = options.find("--colors");
    if (found == options.end()) {
        return colors;
    }
    if (!ParseTexColorList(found->second[0], colors)) {
        Fail("--colors needs colours such as ff8000, #ff800080 or white, separated by commas, not \"" +
             found->second[0] + "\"");
    }
    if (colors.size() < least || colors.size() > most) {
        Fail("--colors takes " + std::string(what) + " here");
    }
    return colors;
}

const std::string* Value(const OptionValues& options, const char* name)
{
    auto found = options.find(name);
    return found == options.end() ? nullptr : &found->second[0];
}

bool Has(const OptionValues& options, const char* name)
{
    return options.count(name) != 0;
}

void ReadNoise(const OptionValues& o, TexGenRequest& r)
{
    TexNoiseImageParams& n = r.noise;
    if (const std::string* type = Value(o, "--type")) {
        if (*type == "perlin") {
            n.fractal.type = TexNoiseType::Perlin;
        } else if (*type == "value") {
            n.fractal.type = TexNoiseType::Value;
        } else {
            Fail("--type of noise is perlin or value, not \"" + *type + "\"");
        }
    }
    if (const std::string* v = Value(o, "--scale")) {
        n.cells = ToFloatIn(*v, "--scale", 0.0f, 1024.0f, true);
    }
    if (const std::string* v = Value(o, "--octaves")) {
        n.fractal.octaves = ToUnsignedIn(*v, "--octaves", 1, 12);
    }
    if (const std::string* v = Value(o, "--gain")) {
        n.fractal.gain = ToFloatIn(*v, "--gain", 0.0f, 1.0f, true);
    }
    if (const std::string* v = Value(o, "--seed")) {
        n.seed = ToUnsigned(*v, "--seed");
    }
    n.tileable = Has(o, "--tile");
    n.rgb = Has(o, "--rgb");
    if (n.tileable) {
        double cellsY = n.cells * r.height / r.width;
        if (std::fabs(n.cells - std::round(n.cells)) > 1e-6 || std::fabs(cellsY - std::round(cellsY)) > 1e-6 ||
            std::round(cellsY) < 1.0) {
            Fail("--tile needs a --scale that gives whole cells across the width (" + Number(n.cells) +
                 ") and down the height (" + Number(cellsY) + ")");
        }
        n.cells = std::round(n.cells);
    }
    if (r.kind == TexKind::Noise) {
        if (n.rgb && Has(o, "--colors")) {
            Fail("--rgb makes its own colours; leave out --colors");
        }
        std::vector<TexColor> colors = Colors(o, 2, 2, "two colours: <low>,<high>");
        if (!colors.empty()) {
            n.low = colors[0];
            n.high = colors[1];
        }
    }
    if (const std::string* v = Value(o, "--strength")) {
        r.normalStrength = ToFloatIn(*v, "--strength", 0.0f, 1000.0f, true);
    }
}

std::vector<TexGradientStop> ReadStops(const std::string& text)
{
    std::vector<TexGradientStop> stops;
    std::size_t start = 0;
    while (true) {
        std::size_t comma = text.find(',', start);
        std::string stop = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::size_t colon = stop.find(':');
        TexGradientStop parsed;
        if (colon == std::string::npos || !ParseTexColor(stop.substr(colon + 1), parsed.color)) {
            Fail("--stops needs <position>:<colour> pairs separated by commas, not \"" + stop + "\"");
        }
        parsed.position = ToFloatIn(stop.substr(0, colon), "a --stops position", 0.0f, 1.0f, false);
        if (!stops.empty() && parsed.position < stops.back().position) {
            Fail("--stops positions must not decrease");
        }
        stops.push_back(parsed);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (stops.size() < 2) {
        Fail("--stops needs at least two stops");
    }
    return stops;
}

void ReadGradient(const OptionValues& o, TexGenRequest& r)
{
    TexGradientParams& g = r.gradient;
    if (const std::string* type = Value(o, "--type")) {
        if (*type == "linear") {
            g.shape = TexGradientShape::Linear;
        } else if (*type == "radial") {
            g.shape = TexGradientShape::Radial;
        } else {
            Fail("--type of gradient is linear or radial, not \"" + *type + "\"");
        }
    }
    if (const std::string* v = Value(o, "--angle")) {
        if (g.shape != TexGradientShape::Linear) {
            Fail("--angle is for linear gradients");
        }
        g.angleDegrees = ToFloat(*v, "--angle");
    }
    if (const std::string* v = Value(o, "--radius")) {
        if (g.shape != TexGradientShape::Radial) {
            Fail("--radius is for radial gradients");
        }
        g.radius = ToFloatIn(*v, "--radius", 0.0f, 100.0f, true);
    }
    if (Has(o, "--stops") && Has(o, "--colors")) {
        Fail("give the gradient either --colors or --stops");
    }
    if (const std::string* v = Value(o, "--stops")) {
        g.stops = ReadStops(*v);
        return;
    }
    std::vector<TexColor> colors = Colors(o, 2, 64, "two colours or more");
    if (colors.empty()) {
        colors = {{1, 1, 1, 1}, {0, 0, 0, 1}};
    }
    for (std::size_t i = 0; i < colors.size(); ++i) {
        g.stops.push_back({static_cast<float>(i) / static_cast<float>(colors.size() - 1), colors[i]});
    }
}

void ReadGrid(const OptionValues& o, TexGenRequest& r)
{
    TexGridParams& g = r.grid;
    g.checker = Has(o, "--checker");
    g.cell = std::max(1u, std::min(r.width, r.height) / 8);
    if (const std::string* v = Value(o, "--cell")) {
        g.cell = ToUnsignedIn(*v, "--cell", 1, kMaxExtent);
    }
    if (r.width % g.cell != 0 || r.height % g.cell != 0) {
        Fail("--cell " + std::to_string(g.cell) + " must divide the width and the height, so that the tiles repeat");
    }
    g.line = g.checker ? 0 : std::max(1u, g.cell / 16);
    if (const std::string* v = Value(o, "--line")) {
        g.line = ToUnsigned(*v, "--line");
    }
    if (g.line >= g.cell || (!g.checker && g.line == 0)) {
        Fail("--line must be less than the cell" + std::string(g.checker ? "" : ", and at least 1 for a grid"));
    }
    if (g.checker) {
        g.background = {0, 0, 0, 1};
        g.alternate = {1, 1, 1, 1};
        g.lineColor = {0.5f, 0.5f, 0.5f, 1};
        std::vector<TexColor> colors = Colors(o, 2, 3, "two or three colours: <a>,<b>[,<line>]");
        if (!colors.empty()) {
            g.background = colors[0];
            g.alternate = colors[1];
            if (colors.size() == 3) {
                g.lineColor = colors[2];
            }
        }
    } else {
        std::vector<TexColor> colors = Colors(o, 1, 2, "one or two colours: <background>[,<line>]");
        if (!colors.empty()) {
            g.background = colors[0];
            if (colors.size() == 2) {
                g.lineColor = colors[1];
            }
        }
    }
}

void ReadGlow(const OptionValues& o, TexGenRequest& r)
{
    TexGlowParams& g = r.glow;
    if (const std::string* v = Value(o, "--radius")) {
        g.radius = ToFloatIn(*v, "--radius", 0.0f, 1.0f, true);
    }
    if (const std::string* v = Value(o, "--power")) {
        g.power = ToFloatIn(*v, "--power", 0.0f, 64.0f, true);
    }
    g.premultiplied = !Has(o, "--straight");
    std::vector<TexColor> colors = Colors(o, 1, 2, "one or two colours: <inner>[,<outer>]");
    if (!colors.empty()) {
        g.inner = colors[0];
        g.outer = colors.back();
    }
}

void ReadCookie(const OptionValues& o, TexGenRequest& r)
{
    TexCookieParams& c = r.cookie;
    if (const std::string* v = Value(o, "--radius")) {
        c.radius = ToFloatIn(*v, "--radius", 0.0f, 1.0f, true);
    }
    if (const std::string* v = Value(o, "--softness")) {
        c.softness = ToFloatIn(*v, "--softness", 0.0f, c.radius, false);
    }
    c.softness = std::min(c.softness, c.radius);
    if (const std::string* v = Value(o, "--pattern")) {
        const std::pair<const char*, TexCookiePattern> patterns[] = {
            {"none", TexCookiePattern::None},   {"bars", TexCookiePattern::Bars},
            {"grid", TexCookiePattern::Grid},   {"rings", TexCookiePattern::Rings},
            {"blades", TexCookiePattern::Blades}, {"noise", TexCookiePattern::Noise},
        };
        auto found = std::find_if(std::begin(patterns), std::end(patterns),
                                  [v](const auto& p) { return *v == p.first; });
        if (found == std::end(patterns)) {
            Fail("--pattern is none, bars, grid, rings, blades or noise, not \"" + *v + "\"");
        }
        c.pattern = found->second;
    }
    if (const std::string* v = Value(o, "--count")) {
        c.count = ToUnsignedIn(*v, "--count", 1, 256);
    }
    if (const std::string* v = Value(o, "--seed")) {
        c.seed = ToUnsigned(*v, "--seed");
    }
    std::vector<TexColor> colors = Colors(o, 1, 2, "one or two colours: <light>[,<background>]");
    if (!colors.empty()) {
        c.light = colors[0];
        if (colors.size() == 2) {
            c.background = colors[1];
        }
    }
}

void ReadText(const OptionValues& o, TexGenRequest& r)
{
    TexTextCardParams& t = r.text;
    auto lines = o.find("--text");
    if (lines == o.end()) {
        Fail("a text card needs at least one --text <line>");
    }
    t.lines = lines->second;
    if (const std::string* v = Value(o, "--font")) {
        t.fontPath = *v;
    }
    if (const std::string* v = Value(o, "--px")) {
        t.pixelSize = ToUnsignedIn(*v, "--px", 4, 2048);
    }
    if (const std::string* v = Value(o, "--spacing")) {
        t.lineSpacing = ToFloatIn(*v, "--spacing", 0.0f, 10.0f, true);
    }
    if (Has(o, "--shadow") && Has(o, "--glow")) {
        Fail("a text card has either --shadow or --glow");
    }
    if (const std::string* v = Value(o, "--shadow")) {
        t.effect = TexTextEffect::Shadow;
        t.effectRadius = ToUnsignedIn(*v, "--shadow", 1, 64);
    }
    if (const std::string* v = Value(o, "--glow")) {
        t.effect = TexTextEffect::Glow;
        t.effectRadius = ToUnsignedIn(*v, "--glow", 1, 64);
    }
    std::vector<TexColor> colors = Colors(o, 1, 3, "one to three colours: <text>[,<background>[,<shadow or glow>]]");
    if (!colors.empty()) {
        t.text = colors[0];
        if (colors.size() >= 2) {
            t.background = colors[1];
        }
    }
    if (colors.size() == 3) {
        t.effectColor = colors[2];
    } else if (t.effect == TexTextEffect::Glow) {
        t.effectColor = t.text; // a glow of the letters' own colour
    }
}

void ReadCube(const OptionValues& o, TexGenRequest& r)
{
    TexCubeParams& c = r.cube;
    if (r.width != r.height) {
        Fail("cube faces are square: --size " + std::to_string(r.width) + " " + std::to_string(r.height) +
             " has two different sides");
    }
    if (r.width > kMaxCubeExtent) {
        Fail("cube faces are at most " + std::to_string(kMaxCubeExtent) + " texels a side");
    }
    if (r.fileType != TexFileType::Dds) {
        Fail("a cube map is written as a .dds file");
    }
    if (const std::string* type = Value(o, "--type")) {
        if (*type == "sky") {
            c.environment = TexCubeEnvironment::Sky;
        } else if (*type == "direction") {
            c.environment = TexCubeEnvironment::Direction;
        } else if (*type == "grid") {
            c.environment = TexCubeEnvironment::Grid;
        } else {
            Fail("--type of cube is sky, direction or grid, not \"" + *type + "\"");
        }
    }
    if ((Has(o, "--step") || Has(o, "--line")) && c.environment != TexCubeEnvironment::Grid) {
        Fail("--step and --line are for --type grid");
    }
    if (const std::string* v = Value(o, "--step")) {
        c.stepDegrees = ToFloatIn(*v, "--step", 0.0f, 90.0f, true);
    }
    if (const std::string* v = Value(o, "--line")) {
        c.line = ToUnsignedIn(*v, "--line", 1, r.width);
    }
    if (c.environment == TexCubeEnvironment::Sky) {
        std::vector<TexColor> colors = Colors(o, 3, 3, "three colours: <zenith>,<horizon>,<ground>");
        if (!colors.empty()) {
            c.zenith = colors[0];
            c.horizon = colors[1];
            c.ground = colors[2];
        }
    } else if (c.environment == TexCubeEnvironment::Grid) {
        std::vector<TexColor> colors = Colors(o, 2, 2, "two colours: <background>,<line>");
        if (!colors.empty()) {
            c.gridBackground = colors[0];
            c.gridLine = colors[1];
        }
    } else if (Has(o, "--colors")) {
        Fail("--type direction makes its own colours; leave out --colors");
    }
}

} // namespace

TexGenRequest ParseTexGenRequest(const std::vector<std::string>& args)
{
    if (args.empty()) {
        Fail("texture gen needs a kind and an output file");
    }
    TexGenRequest request;
    auto kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                             [&args](const auto& k) { return args[0] == k.name; });
    if (kind == std::end(kKinds)) {
        Fail("unknown texture kind \"" + args[0] + "\"");
    }
    request.kind = kind->kind;

    // Parsed against every option, so that one of another kind is named as such.
    std::vector<ToolOption> every;
    for (const KindOption& row : Options())
        every.push_back(row.option);
    OptionValues options;
    std::vector<std::string> positional;
    try {
        const ToolArguments parsed(std::vector<std::string>(args.begin() + 1, args.end()), every);
        for (const KindOption& row : Options()) {
            if (!parsed.Has(row.option.name))
                continue;
            if ((row.kinds & Bit(request.kind)) == 0)
                Fail(row.option.name + " does not apply to " + args[0]);
            options[row.option.name] = parsed.All(row.option.name);
        }
        positional = parsed.Operands();
    } catch (const ToolUsageError& e) {
        Fail(e.message);
    }
    if (positional.size() != 1) {
        Fail(positional.empty() ? "texture gen needs an output file"
                                : "texture gen takes one output file, not \"" + positional[0] + "\" and more");
    }
    request.output = positional[0];
    std::string extension = Lower(request.output.size() >= 4 ? request.output.substr(request.output.size() - 4) : "");
    if (extension == ".png") {
        request.fileType = TexFileType::Png;
    } else if (extension == ".dds") {
        request.fileType = TexFileType::Dds;
    } else {
        Fail("the output file must end in .png or .dds: \"" + request.output + "\"");
    }

    if (request.kind == TexKind::Text) {
        request.width = 512;
        request.height = 128;
    }
    if (auto size = options.find("--size"); size != options.end()) {
        request.width = ToUnsignedIn(size->second[0], "--size", 1, kMaxExtent);
        request.height = ToUnsignedIn(size->second[1], "--size", 1, kMaxExtent);
    }
    if (!Has(options, "--npot") && (!IsPowerOfTwo(request.width) || !IsPowerOfTwo(request.height))) {
        Fail("--size " + std::to_string(request.width) + " " + std::to_string(request.height) +
             " is not a power of two on each side (add --npot to allow it)");
    }
    request.mips = Has(options, "--mips");
    if (request.mips && request.fileType != TexFileType::Dds) {
        Fail("--mips needs a .dds output");
    }

    switch (request.kind) {
    case TexKind::Noise:
    case TexKind::Normal: ReadNoise(options, request); break;
    case TexKind::Gradient: ReadGradient(options, request); break;
    case TexKind::Grid: ReadGrid(options, request); break;
    case TexKind::Glow: ReadGlow(options, request); break;
    case TexKind::Cookie: ReadCookie(options, request); break;
    case TexKind::Text: ReadText(options, request); break;
    case TexKind::Cube: ReadCube(options, request); break;
    }
    return request;
}

std::string TexGenUsage()
{
    std::string usage;
    for (const auto& kind : kKinds)
        usage += ToolUsage({std::string("texture gen ") + kind.name, "<out.png|out.dds>", OptionsOf(kind.kind), 1,
                            std::string("    ") + kind.note + "\n"});
    return usage + "  sizes are powers of two on each side unless npot is asked; mips only in .dds files "
                   "(see docs/textures.md)\n";
}

// The show's pictures: one frame at a time, and a contact sheet of the whole show.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include "CommandRegistry.h"
#include "ShowComposition.h"
#include "common/texgen/TexTextCard.h"
#include "image/PngFile.h"
#include "show/ShowRecorder.h"

namespace {

struct Size {
    unsigned width = 0;
    unsigned height = 0;
};

Size ParseSize(const std::string& text)
{
    const std::size_t x = text.find('x');
    Size size;
    char* end = nullptr;
    if (x != std::string::npos && x > 0 && x + 1 < text.size()) {
        const unsigned long w = std::strtoul(text.c_str(), &end, 10);
        const bool wholeWidth = end == text.c_str() + x;
        const unsigned long h = std::strtoul(text.c_str() + x + 1, &end, 10);
        if (wholeWidth && *end == '\0' && w > 0 && h > 0 && w <= 8192 && h <= 8192) {
            size.width = static_cast<unsigned>(w);
            size.height = static_cast<unsigned>(h);
            return size;
        }
    }
    throw ToolUsageError{"--size takes WIDTHxHEIGHT, each 1 to 8192 (e.g. 1280x720), not \"" + text + "\""};
}

double ParseSeconds(const std::string& text, const char* what)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        throw ToolUsageError{std::string(what) + " takes a number of seconds, not \"" + text + "\""};
    return value;
}

unsigned ParseFps(const std::string& text)
{
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value == 0 || value > 1000)
        throw ToolUsageError{"--fps takes a whole number of frames a second, 1 to 1000, not \"" + text + "\""};
    return static_cast<unsigned>(value);
}

// The words after the command: the positional ones in order, and the options with their values.
struct Arguments {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;
};

Arguments Split(const std::vector<std::string>& args, const std::vector<std::string>& known)
{
    Arguments result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) != 0) {
            result.positional.push_back(args[i]);
            continue;
        }
        bool isKnown = false;
        for (const std::string& name : known)
            isKnown = isKnown || args[i] == name;
        if (!isKnown)
            throw ToolUsageError{"unknown option \"" + args[i] + "\""};
        if (i + 1 == args.size())
            throw ToolUsageError{args[i] + " needs a value"};
        result.options.emplace_back(args[i], args[i + 1]);
        ++i;
    }
    return result;
}

void WritePicture(const std::string& path, const std::vector<unsigned char>& bgra, unsigned width, unsigned height)
{
    if (!WritePngBGRA(path, bgra.data(), width, height, width * 4))
        throw std::runtime_error("orvala-tool: cannot write \"" + path + "\"");
}

std::string Absolute(const std::string& path)
{
    return std::filesystem::absolute(path).string();
}

int FrameCommand(const std::vector<std::string>& args)
{
    const Arguments parsed = Split(args, {"--size", "--fps"});
    if (parsed.positional.size() != 3)
        throw ToolUsageError{"frame needs an archive, a time in seconds and an output file"};
    Size size{1280, 720};
    unsigned fps = 60;
    for (const auto& [name, value] : parsed.options) {
        if (name == "--size")
            size = ParseSize(value);
        else
            fps = ParseFps(value);
    }
    const double seconds = ParseSeconds(parsed.positional[1], "the time");
    if (seconds < 0.0 || seconds > kShowEndTime)
        throw ToolUsageError{"the time must lie within the show, 0 to 141.5 seconds"};
    const std::string out = Absolute(parsed.positional[2]);

    ShowRecorder show(parsed.positional[0], size.width, size.height, fps);
    const long frame = show.FrameAt(seconds);
    std::vector<unsigned char> bgra;
    show.Render(frame, bgra);
    for (const std::string& box : show.Boxes())
        std::fprintf(stderr, "%s\n", box.c_str());
    WritePicture(out, bgra, size.width, size.height);
    std::printf("frame %ld at %u fps (%.4f s), %s, %ux%u\n", frame, fps, static_cast<double>(show.TimeOf(frame)),
                show.SceneNameOf(frame).c_str(), size.width, size.height);
    return 0;
}

// Copies `card` (a label) onto the sheet at (x0, y0), blended over what is there.
void Stamp(std::vector<unsigned char>& sheet, unsigned sheetWidth, const TexImage& card, unsigned x0, unsigned y0)
{
    const std::vector<std::uint8_t> label = card.ToBgra8();
    for (unsigned y = 0; y < card.Height(); ++y)
        for (unsigned x = 0; x < card.Width(); ++x) {
            const std::uint8_t* s = &label[(static_cast<std::size_t>(y) * card.Width() + x) * 4];
            unsigned char* d = &sheet[(static_cast<std::size_t>(y0 + y) * sheetWidth + x0 + x) * 4];
            for (int c = 0; c < 3; ++c)
                d[c] = static_cast<unsigned char>((s[c] * s[3] + d[c] * (255 - s[3]) + 127) / 255);
        }
}

int SheetCommand(const std::vector<std::string>& args)
{
    const Arguments parsed = Split(args, {"--every", "--from", "--size", "--fps", "--columns"});
    if (parsed.positional.size() != 2)
        throw ToolUsageError{"sheet needs an archive and an output file"};
    double every = 5.0;
    double from = 0.0;
    Size thumb{320, 180};
    unsigned fps = 60;
    unsigned columns = 6;
    for (const auto& [name, value] : parsed.options) {
        if (name == "--every")
            every = ParseSeconds(value, "--every");
        else if (name == "--from")
            from = ParseSeconds(value, "--from");
        else if (name == "--size")
            thumb = ParseSize(value);
        else if (name == "--fps")
            fps = ParseFps(value);
        else
            columns = ParseFps(value);
    }
    if (every < 0.1)
        throw ToolUsageError{"--every takes at least 0.1 seconds"};
    if (from < 0.0 || from >= kShowEndTime)
        throw ToolUsageError{"--from must lie within the show, 0 to 141.5 seconds"};
    if (thumb.width < 64 || thumb.height < 36)
        throw ToolUsageError{"the thumbnails need at least 64x36 pixels to carry their labels"};
    const std::string out = Absolute(parsed.positional[1]);

    std::vector<double> times;
    for (long k = 0; from + k * every < kShowEndTime; ++k)
        times.push_back(from + k * every);
    columns = std::min<unsigned>(columns, static_cast<unsigned>(times.size()));
    const unsigned rows = static_cast<unsigned>((times.size() + columns - 1) / columns);
    const unsigned labelHeight = std::max(14u, thumb.height / 8);
    const unsigned gap = 4;
    const unsigned cellWidth = thumb.width + gap;
    const unsigned cellHeight = thumb.height + labelHeight + gap;
    const unsigned sheetWidth = columns * cellWidth + gap;
    const unsigned sheetHeight = rows * cellHeight + gap;
    // A dark grey ground, so that the letterbox's black still shows where a picture ends.
    std::vector<unsigned char> sheet(static_cast<std::size_t>(sheetWidth) * sheetHeight * 4, 40);
    for (std::size_t i = 3; i < sheet.size(); i += 4)
        sheet[i] = 255;

    ShowRecorder show(parsed.positional[0], thumb.width, thumb.height, fps);
    const bool terminal = isatty(STDERR_FILENO) != 0;
    std::vector<unsigned char> bgra;
    for (std::size_t i = 0; i < times.size(); ++i) {
        const long frame = show.FrameAt(times[i]);
        show.Render(frame, bgra);
        const unsigned x0 = gap + static_cast<unsigned>(i % columns) * cellWidth;
        const unsigned y0 = gap + static_cast<unsigned>(i / columns) * cellHeight;
        for (unsigned y = 0; y < thumb.height; ++y)
            std::copy_n(&bgra[static_cast<std::size_t>(y) * thumb.width * 4], thumb.width * 4,
                        &sheet[(static_cast<std::size_t>(y0 + y) * sheetWidth + x0) * 4]);
        char text[96];
        std::snprintf(text, sizeof text, "%.1f s  %s", static_cast<double>(show.TimeOf(frame)),
                      show.SceneNameOf(frame).c_str());
        TexTextCardParams label;
        label.lines = {text};
        label.text = TexColor{0.92f, 0.92f, 0.92f, 1.0f};
        Stamp(sheet, sheetWidth, MakeTexTextCard(thumb.width, labelHeight, label), x0, y0 + thumb.height);
        if (terminal)
            std::fprintf(stderr, "\rsheet: %zu/%zu", i + 1, times.size());
    }
    if (terminal)
        std::fprintf(stderr, "\n");
    for (const std::string& box : show.Boxes())
        std::fprintf(stderr, "%s\n", box.c_str());
    WritePicture(out, sheet, sheetWidth, sheetHeight);
    std::printf("%zu pictures every %g s, %ux%u each, in %s\n", times.size(), every, thumb.width, thumb.height,
                out.c_str());
    return 0;
}

const ToolCommandRegistration frameRegistration(
    "frame", {"orvala-tool frame <archive> <seconds> <out.png> [--size WxH] [--fps N]\n", FrameCommand});
const ToolCommandRegistration sheetRegistration(
    "sheet", {"orvala-tool sheet <archive> <out.png> [--every S] [--from S] [--size WxH] [--fps N] [--columns N]\n", SheetCommand});

} // namespace

// The show's pictures: one frame at a time, a contact sheet of the whole show, and the passes a
// frame is drawn with.
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
#include "show/PassReport.h"
#include "show/ShowRecorder.h"

namespace {

// The pictures' size and the show's clock, as both commands take them.
const ToolOption kSizeOption = ToolOption::Size("--size", 1, 8192);
const ToolOption kFpsOption = ToolOption::Whole("--fps", 1, 1000);

const ToolCommandShape kFrameShape{"frame", "<archive> <seconds> <out.png>", {kSizeOption, kFpsOption}, 3, ""};
const ToolCommandShape kSheetShape{"sheet",
                                   "<archive> <out.png>",
                                   {ToolOption::Number("--every").Shown("S"), ToolOption::Number("--from").Shown("S"),
                                    kSizeOption, kFpsOption, ToolOption::Whole("--columns", 1, 1000)},
                                   2,
                                   ""};

const ToolCommandShape kPassesShape{
    "passes", "<archive> <seconds>", {kSizeOption, kFpsOption, ToolOption::Flag("--json")}, 2, ""};

// Each pass's time is the median of this many drawings of the frame.
constexpr unsigned kPassRuns = 5;

double ParseSeconds(const std::string& text, const char* what)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        throw ToolUsageError{std::string(what) + " takes a number of seconds, not \"" + text + "\""};
    return value;
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
    const ToolArguments parsed(args, kFrameShape);
    const std::vector<std::string>& operands = parsed.Operands();
    if (operands.size() != 3)
        throw ToolUsageError{"frame needs an archive, a time in seconds and an output file"};
    const ToolSize size = parsed.Size("--size", {1280, 720});
    const auto fps = static_cast<unsigned>(parsed.Whole("--fps", 60));
    const double seconds = ParseSeconds(operands[1], "the time");
    if (seconds < 0.0 || seconds > kShowEndTime)
        throw ToolUsageError{"the time must lie within the show, 0 to 141.5 seconds"};
    const std::string out = Absolute(operands[2]);

    ShowRecorder show(operands[0], size.width, size.height, fps);
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

int PassesCommand(const std::vector<std::string>& args)
{
    const ToolArguments parsed(args, kPassesShape);
    const std::vector<std::string>& operands = parsed.Operands();
    if (operands.size() != 2)
        throw ToolUsageError{"passes needs an archive and a time in seconds"};
    const ToolSize size = parsed.Size("--size", {1280, 720});
    const auto fps = static_cast<unsigned>(parsed.Whole("--fps", 60));
    const double seconds = ParseSeconds(operands[1], "the time");
    if (seconds < 0.0 || seconds > kShowEndTime)
        throw ToolUsageError{"the time must lie within the show, 0 to 141.5 seconds"};

    ShowRecorder show(operands[0], size.width, size.height, fps);
    const PassReport report = MeasurePasses(show, show.FrameAt(seconds), kPassRuns);
    for (const std::string& box : show.Boxes())
        std::fprintf(stderr, "%s\n", box.c_str());
    const std::string text = parsed.Has("--json") ? PassReportJson(report) : PassReportText(report);
    std::fwrite(text.data(), 1, text.size(), stdout);
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
    const ToolArguments parsed(args, kSheetShape);
    const std::vector<std::string>& operands = parsed.Operands();
    if (operands.size() != 2)
        throw ToolUsageError{"sheet needs an archive and an output file"};
    const double every = parsed.Number("--every", 5.0);
    const double from = parsed.Number("--from", 0.0);
    const ToolSize thumb = parsed.Size("--size", {320, 180});
    const auto fps = static_cast<unsigned>(parsed.Whole("--fps", 60));
    auto columns = static_cast<unsigned>(parsed.Whole("--columns", 6));
    if (every < 0.1)
        throw ToolUsageError{"--every takes a number of at least 0.1, not \"" + parsed.All("--every").back() + "\""};
    if (from < 0.0 || from >= kShowEndTime)
        throw ToolUsageError{"--from must lie within the show, 0 to 141.5 seconds"};
    if (thumb.width < 64 || thumb.height < 36)
        throw ToolUsageError{"the thumbnails need at least 64x36 pixels to carry their labels"};
    const std::string out = Absolute(operands[1]);

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

    ShowRecorder show(operands[0], thumb.width, thumb.height, fps);
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

const ToolCommandRegistration frameRegistration("frame", {ToolUsage(kFrameShape), FrameCommand});
const ToolCommandRegistration sheetRegistration("sheet", {ToolUsage(kSheetShape), SheetCommand});
const ToolCommandRegistration passesRegistration("passes", {ToolUsage(kPassesShape), PassesCommand});

} // namespace

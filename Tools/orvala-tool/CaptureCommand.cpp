#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "ShowComposition.h"
#include "show/Progress.h"
#include "show/ShowRecorder.h"
#include "show/TuneAudio.h"
#include "show/VideoEncoder.h"

namespace fs = std::filesystem;

namespace {

// What the command line asks for.
struct CaptureOptions {
    fs::path archive;
    fs::path output;
    unsigned width = 1280;
    unsigned height = 720;
    unsigned fps = 60;
    double from = 0.0;
    double to = kShowEndTime;
};

constexpr unsigned kMaxFps = 1000;
constexpr unsigned kMaxSide = 8192;

const ToolCommandShape kCaptureShape{
    "capture",
    "<archive> <out.mp4|out.webm>",
    {ToolOption::Size("--size", 1, kMaxSide), ToolOption::Whole("--fps", 1, kMaxFps),
     ToolOption::Number("--from").Shown("S"), ToolOption::Number("--to").Shown("S")},
    2,
    ""};

// The exit code of a capture stopped by Ctrl+C or SIGTERM, as a shell reports a process ended by SIGINT.
constexpr int kStoppedExitCode = 130;

std::string SecondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

CaptureOptions ParseOptions(const std::vector<std::string>& args)
{
    CaptureOptions options;
    const ToolArguments parsed(args, kCaptureShape);
    const std::vector<std::string>& paths = parsed.Operands();
    const ToolSize size = parsed.Size("--size", {options.width, options.height});
    if (size.width % 2 != 0 || size.height % 2 != 0)
        throw ToolUsageError{"--size " + std::to_string(size.width) + "x" + std::to_string(size.height) +
                             ": the width and the height must be even (yuv420p halves the colour planes)"};
    options.width = size.width;
    options.height = size.height;
    options.fps = static_cast<unsigned>(parsed.Whole("--fps", options.fps));
    options.from = parsed.Number("--from", options.from);
    options.to = parsed.Number("--to", options.to);
    if (paths.size() != 2)
        throw ToolUsageError{"capture needs an archive and an output file"};
    options.archive = paths[0];
    options.output = paths[1];
    if (!ContainerFor(options.output))
        throw ToolUsageError{"the output must be a .mp4 or a .webm file, not \"" + paths[1] + "\""};
    if (options.from < 0.0)
        throw ToolUsageError{"--from cannot be before the show's start (0 s)"};
    if (options.to > kShowEndTime)
        throw ToolUsageError{"--to cannot be past the show's end (" + SecondsText(kShowEndTime) + " s)"};
    if (options.from >= options.to)
        throw ToolUsageError{"--from (" + SecondsText(options.from) + " s) must come before --to (" +
                             SecondsText(options.to) + " s)"};
    return options;
}

volatile std::sig_atomic_t stopAsked = 0;

extern "C" void AskToStop(int)
{
    stopAsked = 1;
}

// Ctrl+C and SIGTERM ask the capture to stop after the frame being drawn; the handlers go back
// to the default after one signal, so that a second one ends the process at once.
class StopSignals {
public:
    StopSignals()
    {
        stopAsked = 0;
        // The host's window library would otherwise take the signals over for its own quit event.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        struct sigaction action = {};
        action.sa_handler = AskToStop;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigaction(SIGINT, &action, &previousInterrupt);
        sigaction(SIGTERM, &action, &previousTerminate);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &previousInterrupt, nullptr);
        sigaction(SIGTERM, &previousTerminate, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool Asked() const { return stopAsked != 0; }

private:
    struct sigaction previousInterrupt = {};
    struct sigaction previousTerminate = {};
};

// The file being written, beside the output under a name of its own; it takes the output's
// name only once it is whole, and is removed when it never becomes so.
class PartFile {
public:
    // `output` is absolute; `shown` is the name the user gave it.
    PartFile(const fs::path& output, const fs::path& shown)
    {
        for (int attempt = 0;; ++attempt) {
            part = output;
            part += "." + std::to_string(getpid()) + (attempt ? "-" + std::to_string(attempt) : "") + ".part";
            const int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
            if (fd >= 0) {
                close(fd);
                return;
            }
            if (errno != EEXIST || attempt == 100)
                throw std::runtime_error("cannot write \"" + shown.string() + "\": " + std::strerror(errno));
        }
    }
    ~PartFile()
    {
        if (!part.empty()) {
            std::error_code ignored;
            fs::remove(part, ignored);
        }
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    const fs::path& Path() const { return part; }

    void MoveTo(const fs::path& output, const fs::path& shown)
    {
        std::error_code error;
        fs::rename(part, output, error);
        if (error)
            throw std::runtime_error("cannot write \"" + shown.string() + "\": " + error.message());
        part.clear();
    }

private:
    fs::path part;
};

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int RunCapture(const std::vector<std::string>& args)
{
    const auto started = std::chrono::steady_clock::now();
    const CaptureOptions options = ParseOptions(args);
    // The show runs in a folder of its own: every path is made absolute before it starts.
    const fs::path archive = fs::absolute(options.archive);
    const fs::path output = fs::absolute(options.output);
    if (fs::is_directory(output))
        throw std::runtime_error("cannot write \"" + options.output.string() + "\": it is a folder");

    // The tune is read before the show holds the archive open.
    const TuneAudio tune = ReadTune(options.archive);
    StopSignals signals;
    PartFile part(output, options.output);
    VideoEncoderOptions encoding;
    encoding.container = *ContainerFor(output);
    encoding.width = options.width;
    encoding.height = options.height;
    encoding.fps = options.fps;
    encoding.audioRate = tune.rate;
    encoding.audioChannels = tune.channels;
    VideoEncoder encoder(part.Path(), encoding);

    ShowRecorder recorder(archive, options.width, options.height, options.fps);
    for (const std::string& box : recorder.Boxes())
        std::fprintf(stderr, "orvala-tool: the show reported \"%s\"\n", box.c_str());
    const double loading = SecondsSince(started);

    // The frames from the one showing --from to the last that starts before --to.
    const long first = recorder.FrameAt(options.from);
    const long end = static_cast<long>(std::ceil(options.to * options.fps - 1e-6));
    if (end <= first)
        throw std::runtime_error("no frame at " + std::to_string(options.fps) + " fps starts between --from and --to");
    const long total = end - first;

    const auto capturing = std::chrono::steady_clock::now();
    CaptureProgress progress(total, stderr, isatty(STDERR_FILENO) == 1);
    std::vector<unsigned char> bgra;
    std::vector<std::int16_t> sound;
    try {
        for (long n = first; n < end && !signals.Asked(); ++n) {
            recorder.Render(n, bgra);
            encoder.WriteVideo(bgra.data());
            // The frame's own samples of the tune on the frames' clock, so that the sound never drifts.
            const std::int64_t a = SampleOfFrame(n, tune.rate, options.fps);
            const std::int64_t b = SampleOfFrame(n + 1, tune.rate, options.fps);
            sound.clear();
            tune.AppendFrames(a, b - a, sound);
            encoder.WriteAudio(sound.data(), static_cast<std::size_t>(b - a));
            progress.Update(n - first + 1, recorder.SceneNameOf(n), SecondsSince(capturing));
        }
    } catch (...) {
        progress.End();
        throw;
    }
    progress.End();
    const bool stopped = signals.Asked();
    if (encoder.VideoFrames() == 0) {
        std::fprintf(stderr, "orvala-tool: stopped before the first frame; nothing was written\n");
        return kStoppedExitCode;
    }
    encoder.Finish();
    part.MoveTo(output, options.output);

    const double seconds = static_cast<double>(encoder.VideoFrames()) / options.fps;
    const double took = SecondsSince(started);
    if (stopped)
        std::fprintf(stderr, "orvala-tool: stopped by a signal; the file ends after %ld of the %ld frames (exit code %d)\n",
                     encoder.VideoFrames(), total, kStoppedExitCode);
    std::printf("wrote %s: %.3f s from %.3f s, %ld frames at %u fps, %ux%u, in %s (%.3gx real time, %.1f s of it loading)\n",
                options.output.string().c_str(), seconds, static_cast<double>(first) / options.fps,
                encoder.VideoFrames(), options.fps, options.width, options.height, ClockText(took).c_str(),
                seconds / took, loading);
    std::fflush(stdout);
    return stopped ? kStoppedExitCode : 0;
}

const ToolCommandRegistration registration("capture", {ToolUsage(kCaptureShape), RunCapture});

} // namespace

#include "Progress.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kBarWidth = 24;
constexpr double kRedrawSeconds = 0.1;   // a rewriting line is drawn at most this often
constexpr double kPlainLineSeconds = 10; // a plain line at least this often
constexpr long kPlainSteps = 20;         // and one every 5 %

} // namespace

std::string ClockText(double seconds)
{
    const long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

CaptureProgress::CaptureProgress(long total, std::FILE* out, bool terminal)
    : total(std::max(total, 1L)), out(out), terminal(terminal)
{
}

void CaptureProgress::Update(long done, const std::string& scene, double seconds)
{
    const bool last = done >= total;
    if (terminal) {
        if (!last && lastShown >= 0.0 && seconds - lastShown < kRedrawSeconds)
            return;
    } else {
        const long step = done * kPlainSteps / total;
        if (!last && done != 1 && step == lastStep && seconds - lastShown < kPlainLineSeconds)
            return;
        lastStep = step;
    }
    lastShown = seconds;
    Line(done, scene, seconds);
}

void CaptureProgress::Line(long done, const std::string& scene, double seconds)
{
    const double rate = seconds > 0.0 ? done / seconds : 0.0;
    const std::string left = rate > 0.0 ? ClockText((total - done) / rate) : "?";
    const int percent = static_cast<int>(done * 100 / total);
    if (terminal) {
        const int filled = static_cast<int>(done * kBarWidth / total);
        const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                                std::string(static_cast<std::size_t>(kBarWidth - filled), '-');
        // Back to the line's start, the line, the rest of the old one cleared.
        std::fprintf(out, "\r[%s] %3d%% %ld/%ld %s %.1f fps ETA %s\033[K", bar.c_str(), percent, done, total,
                     scene.c_str(), rate, left.c_str());
        lineOpen = true;
    } else {
        std::fprintf(out, "frame %ld/%ld (%d%%), %s, %.1f fps, %s left\n", done, total, percent, scene.c_str(), rate,
                     left.c_str());
    }
    std::fflush(out);
}

void CaptureProgress::End()
{
    if (lineOpen) {
        std::fputc('\n', out);
        std::fflush(out);
        lineOpen = false;
    }
}

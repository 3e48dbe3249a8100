#include "ShowRecorder.h"

#include <SDL.h>

#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "DXFramework.h"
#include "FrameworkEx.h"
#include "HostFailures.h"
#include "SceneHandler.h"
#include "ShowComposition.h"
#include "sync/Device.h"
#include "sync/Track.h"
#include "win32/MessageBox.h"

namespace {

// Rows per second of the show's timeline: 128 beats a minute, 8 rows a beat.
constexpr double kRowsPerSecond = 128.0 / 60.0 * 8.0;

} // namespace

ShowRecorder::ShowRecorder(const std::filesystem::path& archive, unsigned width, unsigned height, unsigned fps)
    : width(width), height(height), fps(fps)
{
    if (width == 0 || height == 0)
        throw std::runtime_error("the picture needs a width and a height above 0");
    if (fps == 0)
        throw std::runtime_error("the frame rate must be above 0");
    const std::filesystem::path source = std::filesystem::absolute(archive);
    if (!std::filesystem::is_regular_file(source))
        throw std::runtime_error("cannot read the archive \"" + archive.string() + "\"");

    // Rendered off screen even where there is a display: nothing is shown, the picture is read back.
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
    SetMessageBoxPresenter([this](const MessageBoxRecord& box) {
        boxes.push_back(box.caption + ": " + box.text);
        return IDOK;
    });
    try {
        Reported([&] {
            const DemoConfiguration configuration = ShowConfiguration();
            framework = std::make_unique<DXFramework>(nullptr, "", configuration.title, width, height, false,
                                                      configuration.endTime, false,
                                                      source.string());
            RegisterShow();
            framework->Boot();
        });
        host = framework.get();
    } catch (...) {
        framework.reset();
        SetMessageBoxPresenter(nullptr);
        throw;
    }
}

ShowRecorder::ShowRecorder(DXFramework& booted, unsigned fps) : width(DXFramework::GetWidth()), height(DXFramework::GetHeight()), fps(fps), host(&booted)
{
    if (fps == 0)
        throw std::runtime_error("the frame rate must be above 0");
}

ShowRecorder::~ShowRecorder()
{
    if (!framework)
        return;
    try {
        framework.reset();
    } catch (...) {
    }
    SetMessageBoxPresenter(nullptr);
}

long ShowRecorder::FrameAt(double seconds) const
{
    if (!(seconds > 0.0))
        return 0;
    // A time that is a frame's own time within rounding belongs to that frame.
    return static_cast<long>(std::floor(seconds * fps + 1e-6));
}

float ShowRecorder::TimeOf(long frame) const
{
    return static_cast<float>(static_cast<double>(frame) / fps);
}

unsigned ShowRecorder::SceneIndexOf(long frame) const
{
    const float seconds = TimeOf(frame);
    const float row = static_cast<float>((seconds >= 0.0f ? seconds : 0.0f) * kRowsPerSecond);
    const float value = DXFramework::GetSyncDevice()->getTrack("Scene").getValue(row);
    // Truncated toward zero, the low 32 bits taken, as the scene handler does.
    const auto index = static_cast<unsigned>(static_cast<long long>(value));
    return index < SceneHandler::GetScenes().size() ? index : 0u;
}

const std::string& ShowRecorder::SceneNameOf(long frame) const
{
    return ShowSceneNames().at(SceneIndexOf(frame));
}

void ShowRecorder::Render(long frame, std::vector<unsigned char>& bgra)
{
    if (frame < 0)
        throw std::runtime_error("frames are counted from 0");
    if (last < 0 || frame != last + 1) {
        // Enter the frame's scene anew at most kWarmUpFrames before it, or where it was entered.
        const unsigned scene = SceneIndexOf(frame);
        long start = frame;
        while (start > 0 && frame - start < kWarmUpFrames && SceneIndexOf(start - 1) == scene)
            --start;
        SceneHandler::LeaveCurrent();
        std::vector<unsigned char> discarded;
        for (long k = start; k < frame; ++k)
            Draw(k, discarded);
    }
    Draw(frame, bgra);
}

void ShowRecorder::RenderAgain(std::vector<unsigned char>& bgra)
{
    if (last < 0)
        throw std::runtime_error("no frame has been drawn to draw again");
    Draw(last, bgra);
}

void ShowRecorder::Draw(long frame, std::vector<unsigned char>& bgra)
{
    unsigned w = 0, h = 0;
    bool read = false;
    // A lost device is rebuilt by the host; the frame is then drawn again.
    for (int attempt = 0; attempt < 3 && !read; ++attempt)
        Reported([&] { read = host->RenderFrameAt(TimeOf(frame), bgra, w, h); });
    if (!read)
        throw std::runtime_error("frame " + std::to_string(frame) + " could not be read back");
    if (w != width || h != height)
        throw std::runtime_error("the presented picture is " + std::to_string(w) + " x " + std::to_string(h) +
                                 ", not the size asked for");
    last = frame;
}

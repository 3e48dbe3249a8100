#include "Studio.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "StudioTimeline.h"
#include "BASSPlayer.h"
#include "CamHandler.h"
#include "Camera.h"
#include "DXEffect/PassRecorder.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "KeyHandler.h"
#include "Scene.h"
#include "SceneHandler.h"
#include "ShowComposition.h"
#include "audio/bass.h"
#include "show/HostFailures.h"
#include "sync/PlayerDevice.h"
#include "sync/Track.h"
#include "win32/VirtualKey.h"
#include "win32/WinUser.h"

// The studio's clock and its music, the frames it draws with their overlay, and the keys and the
// mouse that drive them.

namespace fs = std::filesystem;

namespace {

// The source lines around `line` of a file, numbered, for the error panel.
std::vector<std::string> LinesAround(const fs::path& file, unsigned line)
{
    std::vector<std::string> around;
    if (line == 0)
        return around;
    std::ifstream in(file);
    std::string text;
    for (unsigned n = 1; std::getline(in, text); ++n) {
        if (n + 2 < line)
            continue;
        if (n > line + 2)
            break;
        char number[16];
        std::snprintf(number, sizeof number, "%c%4u | ", n == line ? '>' : ' ', n);
        around.push_back(number + text);
    }
    return around;
}

} // namespace

// ---- Transport ----

double Studio::Row() const
{
    return std::max(0.0, time) * kRowsPerSecond;
}

void Studio::StartMusic()
{
    try {
        BASSPlayer::OpenOutput();
        BASSPlayer::Init("Data\\tune.ogg", SOUNDTYPE_STREAM);
        BASSPlayer::Play();
        BASSPlayer::Pause();
        musicOn = true;
    } catch (const FrameworkEx& e) {
        std::fprintf(stderr, "orvala-studio: no music: %s\n", e.GetMessage().c_str());
        musicOn = false;
    }
}

void Studio::SyncMusic(bool force)
{
    if (!musicOn)
        return;
    const HSTREAM stream = BASSPlayer::GetStream();
    const bool audible = playing && speed == 1.0;
    if (!audible) {
        if (grainEnd < 0.0 || SteadySeconds() >= grainEnd) {
            BASS_ChannelPause(stream);
            grainEnd = -1.0;
        }
        return;
    }
    const double heard = BASS_ChannelBytes2Seconds(stream, BASS_ChannelGetPosition(stream, BASS_POS_BYTE));
    if (force || BASS_ChannelIsActive(stream) != BASS_ACTIVE_PLAYING || std::fabs(heard - time) > kMusicTolerance)
        BASSPlayer::Resume(static_cast<float>(time));
}

void Studio::Seek(double seconds, bool grain)
{
    time = std::clamp(seconds, 0.0, static_cast<double>(kShowEndTime));
    SceneHandler::LeaveCurrent();
    dirty = true;
    if (grain && musicOn && !(playing && speed == 1.0)) {
        // A short grain of the tune at the new place, as video editors do while scrubbing.
        BASSPlayer::Resume(static_cast<float>(time));
        grainEnd = SteadySeconds() + kGrainSeconds;
    }
    SyncMusic(true);
}

void Studio::Step(long rows)
{
    // To the next line of the grid in that direction: a beat, a bar or a row.
    const long unit = std::labs(rows);
    const double row = Row();
    double target;
    if (rows > 0)
        target = (std::floor(row / unit + 1e-6) + 1.0) * unit;
    else
        target = (std::ceil(row / unit - 1e-6) - 1.0) * unit;
    Seek(target / kRowsPerSecond, true);
}

void Studio::SetSpeed(double value)
{
    speed = std::clamp(value, 0.25, 4.0);
    SyncMusic(true);
}

void Studio::Advance(double wallSeconds)
{
    if (!playing)
        return;
    double next = time + wallSeconds * speed;
    if (musicOn && speed == 1.0) {
        // At 1x the music is the clock.
        const HSTREAM stream = BASSPlayer::GetStream();
        if (BASS_ChannelIsActive(stream) == BASS_ACTIVE_PLAYING) {
            const double heard = BASS_ChannelBytes2Seconds(stream, BASS_ChannelGetPosition(stream, BASS_POS_BYTE));
            if (std::fabs(heard - next) < 0.25)
                next = heard;
        }
    }
    if (loop && !loopStartOnly && next >= loopEnd) {
        Seek(loopStart, false);
        return;
    }
    if (next >= kShowEndTime) {
        time = kShowEndTime;
        playing = false;
        SyncMusic(true);
    } else {
        time = next;
    }
    dirty = true;
}

// ---- Frames ----

std::string Studio::SectionAt(double seconds) const
{
    std::string name;
    for (const OverlayModel::Section& section : sections)
        if (seconds >= section.start)
            name = section.name;
    return name;
}

std::string Studio::CameraName() const
{
    Scene* scene = SceneHandler::GetCurrent();
    if (!scene || !scene->GetCamHandler())
        return "";
    const Camera* active = scene->GetCamHandler()->GetActiveCamera();
    for (const auto& [name, camera] : scene->GetCamHandler()->GetCameras())
        if (camera.get() == active)
            return name;
    return "";
}

void Studio::FillOverlay()
{
    model.length = kShowEndTime;
    model.sections = sections;
    model.bars.clear();
    for (long row = 0; row / kRowsPerSecond < kShowEndTime; row += kRowsPerBar)
        model.bars.push_back(row / kRowsPerSecond);
    model.sceneSwitches.clear();
    auto* device = static_cast<sync::PlayerDevice*>(DXFramework::GetSyncDevice());
    const sync::Track& sceneTrack = device->getTrack("Scene");
    float previous = 0.0f;
    bool first = true;
    for (const auto& [row, key] : sceneTrack.getKeyFrames()) {
        if (!first && static_cast<long>(key.value) != static_cast<long>(previous))
            model.sceneSwitches.push_back(row / kRowsPerSecond);
        previous = key.value;
        first = false;
    }
    model.loop = loop || loopStartOnly;
    model.loopStartOnly = loopStartOnly;
    model.loopStart = loopStart;
    model.loopEnd = loopEnd;
    model.time = time;
    const long row = static_cast<long>(std::floor(Row() + 1e-6));
    const int minutes = static_cast<int>(time / 60.0);
    const double seconds = time - minutes * 60.0;
    char clock[96];
    std::snprintf(clock, sizeof clock, "%02d:%05.2f   bar %ld.%ld.%ld   %s", minutes, seconds, row / kRowsPerBar + 1,
                  row % kRowsPerBar / kRowsPerBeat + 1, row % kRowsPerBeat + 1, SectionAt(time).c_str());
    model.clock = clock;
    char transport[64];
    if (!playing)
        std::snprintf(transport, sizeof transport, "paused");
    else if (speed == 1.0)
        std::snprintf(transport, sizeof transport, "playing 1x");
    else
        std::snprintf(transport, sizeof transport, "playing %gx (silent)", speed);
    model.transport = transport;
    model.scene = SceneHandler::GetCurrent() ? SceneHandler::GetCurrent()->GetName() : "";
    model.camera = CameraName();
    model.tracks.clear();
    const auto& data = device->getData();
    for (unsigned i = 0; i < data.getTrackCount(); ++i) {
        const sync::Track* track = data.getTrack(i);
        model.tracks.emplace_back(track->getName(), track->getValue(static_cast<float>(Row())));
    }
    model.frameMs = frameMs;
    UpdatePasses();
    model.reloadOk = lastReload.ok;
    model.errors.clear();
    if (!lastReload.happened) {
        model.reload = "content version " + std::to_string(contentVersion) + ", watching " + options.content.string();
    } else {
        char line[512];
        std::snprintf(line, sizeof line, "last reload: %s, %.0f ms, %s", lastReload.what.c_str(), lastReload.ms,
                      lastReload.ok ? "ok" : "failed");
        model.reload = line;
        for (const ContentDiagnostic& d : lastReload.errors) {
            OverlayModel::Error error;
            error.where = d.file + (d.line > 0 ? ":" + std::to_string(d.line) : std::string());
            error.message = d.message;
            fs::path file = d.file;
            if (file.is_relative())
                file = options.content / file;
            error.lines = LinesAround(file, d.line);
            model.errors.push_back(std::move(error));
        }
    }
}

void Studio::UpdatePasses()
{
    // Refreshed this often, so that the figures can be read while the show plays.
    constexpr double kRefreshSeconds = 0.25;
    IDirect3DDevice9* device = DXFramework::GetDevice();
    if (!model.passes || !device) {
        passRecorder.reset();
        model.passLines.clear();
        return;
    }
    if (passRecorder && passRecorder->Device() != device)
        passRecorder.reset(); // the device was made anew
    if (!passRecorder) {
        passRecorder = std::make_unique<PassRecorder>(device);
        passesRead = -1.0;
    }
    const double now = SteadySeconds();
    if (passesRead >= 0.0 && now - passesRead < kRefreshSeconds)
        return;
    PassFrame frame;
    if (passRecorder->Latest(frame)) {
        model.passLines = PassPanelLines(frame);
        passesRead = now;
    }
}

void Studio::DrawFrame()
{
    const double started = SteadySeconds();
    try {
        Reported([&] { framework->DrawFrameAt(static_cast<float>(time)); });
        KeyHandler::Update();
    } catch (const std::exception& e) {
        // A frame that cannot be drawn never ends the studio: the error is shown and the next
        // good save or seek tries again.
        if (lastReload.ok || lastReload.errors.empty() || lastReload.errors.front().message != e.what()) {
            lastReload.happened = true;
            lastReload.ok = false;
            lastReload.what = "drawing the frame";
            Fail({{"", 0, e.what()}});
        }
    }
    frameMs = (SteadySeconds() - started) * 1000.0;
    lastOverlayDraw = SteadySeconds();
    dirty = false;
}

// ---- Input ----

bool Studio::PumpMessages()
{
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            return false;
        switch (msg.message) {
        case WM_KEYDOWN:
            OnKey(static_cast<unsigned>(msg.wParam));
            break;
        case WM_LBUTTONDOWN:
            OnMouse(static_cast<std::int16_t>(LOWORD(msg.lParam)), static_cast<std::int16_t>(HIWORD(msg.lParam)), true);
            break;
        case WM_MOUSEMOVE:
            if (scrubbing && (msg.wParam & MK_LBUTTON))
                OnMouse(static_cast<std::int16_t>(LOWORD(msg.lParam)), static_cast<std::int16_t>(HIWORD(msg.lParam)),
                        false);
            break;
        case WM_LBUTTONUP:
            scrubbing = false;
            break;
        case WM_SIZE:
            if (msg.wParam != SIZE_MINIMIZED && LOWORD(msg.lParam) > 0 && HIWORD(msg.lParam) > 0) {
                pendingWidth = LOWORD(msg.lParam);
                pendingHeight = HIWORD(msg.lParam);
            }
            break;
        default:
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

void Studio::OnKey(unsigned key)
{
    const SDL_Keymod mods = SDL_GetModState();
    const long step = (mods & KMOD_CTRL) ? 1 : (mods & KMOD_SHIFT) ? kRowsPerBar : kRowsPerBeat;
    const long row = static_cast<long>(std::lround(Row()));
    dirty = true;
    switch (key) {
    case VK_SPACE:
        playing = !playing;
        if (playing && time >= kShowEndTime)
            time = 0.0;
        SyncMusic(true);
        break;
    case VK_LEFT: Step(-step); break;
    case VK_RIGHT: Step(step); break;
    case VK_PRIOR:
    case VK_NEXT: {
        double target = key == VK_NEXT ? kShowEndTime : 0.0;
        for (const OverlayModel::Section& section : sections) {
            if (key == VK_NEXT && section.start > time + 1e-6)
                target = std::min(target, section.start);
            if (key == VK_PRIOR && section.start < time - 0.5)
                target = std::max(target, section.start);
        }
        Seek(target, true);
        break;
    }
    case VK_HOME: Seek(0.0, true); break;
    case 'B': {
        const double at = row / kRowsPerSecond;
        if ((loop || loopStartOnly) && std::fabs(loopStart - at) < 1e-6) {
            loop = loopStartOnly = false; // B twice at the same row clears the loop
        } else {
            loopStart = at;
            loopStartOnly = !(loop && loopEnd > at);
            loop = !loopStartOnly;
        }
        break;
    }
    case 'N': {
        const double at = row / kRowsPerSecond;
        if (at > loopStart) {
            loopEnd = at;
            loop = true;
            loopStartOnly = false;
        }
        break;
    }
    case VK_OEM_MINUS:
    case VK_SUBTRACT: SetSpeed(speed / 2.0); break;
    case VK_OEM_PLUS:
    case VK_ADD: SetSpeed(speed * 2.0); break;
    case '0': SetSpeed(1.0); break;
    case VK_TAB: model.visible = !model.visible; break;
    case VK_F1: model.help = !model.help; break;
    case 'P':
        model.passes = !model.passes;
        UpdatePasses();
        break;
    case VK_F5:
        changeSeen = SteadySeconds();
        stageArchive.ForgetAll();
        everythingAsked = true;
        StartBuild(true);
        break;
    default: break;
    }
}

void Studio::OnMouse(int x, int y, bool down)
{
    double at = 0.0;
    if (!model.visible || !StudioOverlay::StripTime(model, DXFramework::GetWidth(), DXFramework::GetHeight(), x, y, at)) {
        if (!scrubbing)
            return;
        // Dragging beyond the strip keeps scrubbing along it.
        StudioOverlay::StripTime(model, DXFramework::GetWidth(), DXFramework::GetHeight(), x,
                                 static_cast<int>(DXFramework::GetHeight()) - 2, at);
    }
    if (down)
        scrubbing = true;
    Seek(at, true);
}


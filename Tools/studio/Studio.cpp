#include "Studio.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "BASSPlayer.h"
#include "CamHandler.h"
#include "Camera.h"
#include "DXFramework.h"
#include "FileSys.h"
#include "FrameworkEx.h"
#include "ResourceOwner.h"
#include "Scene.h"
#include "SceneHandler.h"
#include "ShowComposition.h"
#include "KeyHandler.h"
#include "audio/bass.h"
#include "common/ToolOptions.h"
#include "image/PngFile.h"
#include "show/ShowRecorder.h"
#include "sync/PlayerDevice.h"
#include "sync/Track.h"
#include "win32/MessageBox.h"
#include "win32/VirtualKey.h"
#include "win32/WindowHandle.h"
#include "win32/WinUser.h"

namespace fs = std::filesystem;

namespace {

// The show's timeline: 128 beats a minute, 8 rows a beat, 4 beats a bar.
constexpr double kRowsPerSecond = 128.0 / 60.0 * 8.0;
constexpr long kRowsPerBeat = 8;
constexpr long kRowsPerBar = 32;
// The rate `shot` draws at, as `orvala-tool frame` does by default.
constexpr unsigned kShotFps = 60;
// How long a grain of the tune sounds while scrubbing or stepping.
constexpr double kGrainSeconds = 0.08;
// The music is resynced when it drifts from the picture by more than this.
constexpr double kMusicTolerance = 1.0 / 60.0;

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double ParseSecondsWord(const std::string& text, const std::string& what)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        throw ToolUsageError{what + " takes a number of seconds, not \"" + text + "\""};
    return value;
}

const ToolOption kSizeOption = ToolOption::Size("--size", 16, 8192);

const std::vector<ToolOption>& StudioOptionTable()
{
    static const std::vector<ToolOption> table = {
        ToolOption::Text("--content", "DIR"), ToolOption::Number("--at", 0.0, kShowEndTime).Shown("S"),
        ToolOption::Number("--loop", 0.0, kShowEndTime).Takes(2).Shown("A B"), kSizeOption,
        ToolOption::Text("--script", "FILE|-")};
    return table;
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

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

// The failure of something the host made, as the tools word it.
template <typename Call>
void AsRuntimeError(Call call)
{
    try {
        call();
    } catch (const FrameworkEx& e) {
        throw std::runtime_error(e.GetMessage());
    } catch (const FrameworkSupportFailed& e) {
        throw std::runtime_error(e.GetMessage());
    }
}

const std::vector<std::string> kHelp = {
    "Space        play / pause",
    "Left, Right  one beat back / on (Shift: a bar, Ctrl: a row)",
    "PgUp, PgDn   previous / next section",
    "Home         the start",
    "B, N         loop start / end at the current row (B twice clears)",
    "-, =, 0      half / double speed (1/4x to 4x), 1x",
    "Tab          overlay on / off",
    "I            light markers",
    "F5           reload everything",
    "F1           this help",
    "Escape       quit",
    "Mouse        click or drag on the timeline to scrub",
};

} // namespace

std::string StudioUsage()
{
    return "usage: orvala-studio [--content DIR] [--at S] [--loop A B] [--size WxH] [--script FILE|-]\n";
}

StudioOptions ParseStudioOptions(const std::vector<std::string>& args)
{
    const ToolArguments parsed(args, StudioOptionTable());
    if (!parsed.Operands().empty())
        throw ToolUsageError{"unexpected argument \"" + parsed.Operands().front() + "\""};
    StudioOptions options;
    options.content = parsed.Text("--content", std::string(ORVALA_STUDIO_SOURCE_DIR) + "/Content");
    options.at = parsed.Number("--at", 0.0);
    const std::vector<double> loop = parsed.Numbers("--loop");
    if (!loop.empty()) {
        if (!(loop[0] < loop[1]))
            throw ToolUsageError{"--loop needs a start before its end"};
        options.loop = true;
        options.loopStart = loop[0];
        options.loopEnd = loop[1];
    }
    const ToolSize size = parsed.Size("--size", {1280, 720});
    if (size.width * 9 > size.height * 16)
        throw ToolUsageError{"--size must be 16:9 or taller (the show is letterboxed above and below), not " +
                             std::to_string(size.width) + "x" + std::to_string(size.height)};
    options.width = size.width;
    options.height = size.height;
    options.script = parsed.Text("--script", "");
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    options.headless = (!display || !*display) && (!wayland || !*wayland);
    if (options.headless && options.script.empty())
        throw ToolUsageError{"there is no display: give the studio a --script to run headless"};
    if (!fs::is_directory(options.content))
        throw std::runtime_error("the content folder \"" + options.content.string() + "\" is not a folder");
    options.content = fs::canonical(options.content);
    options.work = StudioWorkFolder(options.content);
    return options;
}

fs::path StudioWorkFolder(const fs::path& content)
{
    const fs::path absolute = fs::absolute(content).lexically_normal();
    fs::path work;
    if (const char* chosen = std::getenv("ORVALA_STUDIO_WORK"); chosen && *chosen) {
        work = fs::absolute(chosen).lexically_normal();
    } else {
        fs::path cache;
        if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg)
            cache = xdg;
        else if (const char* home = std::getenv("HOME"); home && *home)
            cache = fs::path(home) / ".cache";
        else
            cache = fs::temp_directory_path();
        const std::size_t hash = std::hash<std::string>{}(absolute.string());
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "-%08zx", hash & 0xffffffffu);
        work = cache / "orvala-studio" / (absolute.filename().string() + suffix);
    }
    const std::string inside = absolute.string() + "/";
    if ((work.string() + "/").rfind(inside, 0) == 0)
        throw std::runtime_error("the work folder \"" + work.string() + "\" lies inside the content folder \"" +
                                 absolute.string() + "\": the studio never writes into the sources");
    return work;
}

StudioScript::StudioScript(const std::string& source) : name(source == "-" ? "stdin" : source)
{
    // Read on a thread of its own, line by line as the lines arrive, so that a program writing
    // the commands as it goes (into standard input or a named pipe) is answered command by
    // command while the show plays.
    std::shared_ptr<std::istream> in;
    if (source == "-") {
        in = std::shared_ptr<std::istream>(&std::cin, [](std::istream*) {});
    } else {
        auto file = std::make_shared<std::ifstream>(source);
        if (!*file)
            throw std::runtime_error("cannot read \"" + source + "\"");
        in = file;
    }
    reader = std::thread([this, in] {
        std::string line;
        while (std::getline(*in, line)) {
            std::lock_guard<std::mutex> lock(mutex);
            lines.push_back(line);
        }
        std::lock_guard<std::mutex> lock(mutex);
        ended = true;
    });
    reader.detach();
}

StudioScript::~StudioScript() = default;

bool StudioScript::Next(std::string& line, unsigned& number)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (lines.empty())
        return false;
    line = std::move(lines.front());
    lines.pop_front();
    number = ++taken;
    return true;
}

bool StudioScript::Ended()
{
    std::lock_guard<std::mutex> lock(mutex);
    return ended && lines.empty();
}

Studio::Studio(StudioOptions chosen)
    : options(std::move(chosen)), build(options.content, options.work), archive(options.work / "live.dat")
{
    if (!options.script.empty())
        script = std::make_unique<StudioScript>(options.script);

    // The first start builds everything; later ones find most of it made already.
    std::fprintf(stderr, "orvala-studio: building \"%s\" in \"%s\"\n", options.content.c_str(), options.work.c_str());
    watcher = std::make_unique<ContentWatcher>(options.content);
    attemptedSources = ContentSources(options.content);
    attemptedFingerprint = FingerprintOf(attemptedSources);
    ContentBuild::Outcome first = build.Run();
    if (!first.ok) {
        for (const ContentDiagnostic& d : first.diagnostics)
            std::fprintf(stderr, "%s\n", d.Text().c_str());
        throw std::runtime_error("the content in \"" + options.content.string() +
                                 "\" does not build; mend it and start again");
    }
    builtSources = attemptedSources;
    StageArchive::Result packed = stageArchive.Pack(build.Stage());
    WriteArchive(packed.archive);
    currentArchive = std::move(packed.archive);
    ReadSections();

    if (options.headless && SDL_WasInit(SDL_INIT_VIDEO) == 0)
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
    SetMessageBoxPresenter([this](const MessageBoxRecord& box) {
        const std::string text = box.caption + ": " + box.text;
        if (std::find(boxesSeen.begin(), boxesSeen.end(), text) == boxesSeen.end()) {
            boxesSeen.push_back(text);
            std::fprintf(stderr, "orvala-studio: %s\n", text.c_str());
        }
        return IDOK;
    });
    AsRuntimeError([&] {
        const DemoConfiguration configuration = ShowConfiguration();
        framework = std::make_unique<DXFramework>(nullptr, "", "Orvala Studio", options.width, options.height, false,
                                                  configuration.endTime, false, archive.string());
        RegisterShow();
        framework->Boot();
    });
    if (HWND window = DXFramework::GetWindow())
        if (SDL_Window* sdl = SDLWindowFromHWND(window))
            SDL_SetWindowResizable(sdl, SDL_TRUE);
    framework->SetOverlay([this] {
        if (!options.headless) {
            FillOverlay();
            overlay.Draw(DXFramework::GetDevice(), model, DXFramework::GetWidth(), DXFramework::GetHeight());
        }
    });

    loop = options.loop;
    loopStart = options.loopStart;
    loopEnd = options.loopEnd;
    time = options.at;
    // With a display the show plays at once, with its music; headless it waits for the script.
    if (!options.headless) {
        StartMusic();
        playing = true;
        SyncMusic(true);
    }
    model.helpLines = kHelp;
}

Studio::~Studio()
{
    overlay.Release();
    if (framework) {
        framework->SetOverlay(nullptr);
        try {
            framework.reset();
        } catch (...) {
        }
    }
    SetMessageBoxPresenter(nullptr);
}

void Studio::WriteArchive(const std::vector<unsigned char>& bytes)
{
    // Written beside and renamed over the archive in use, so that no read meets half a file.
    const fs::path next = archive.string() + ".new";
    {
        std::ofstream out(next, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write \"" + next.string() + "\"");
    }
    fs::rename(next, archive);
}

void Studio::ReadSections()
{
    sections.clear();
    std::ifstream in(options.content / "music" / "sections.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        OverlayModel::Section section;
        long row = 0;
        if (line.empty() || line[0] == '#' || !(words >> section.name >> row >> section.start))
            continue;
        if (!sections.empty())
            sections.back().end = section.start;
        section.end = kShowEndTime;
        sections.push_back(section);
    }
}

// ---- Content ----

std::string Studio::ChangedSources(const std::map<std::string, std::string>& before,
                                   const std::map<std::string, std::string>& now)
{
    std::vector<std::string> changed;
    for (const auto& [name, digest] : now) {
        const auto was = before.find(name);
        if (was == before.end() || was->second != digest)
            changed.push_back(name);
    }
    for (const auto& [name, digest] : before)
        if (now.count(name) == 0)
            changed.push_back(name + " (removed)");
    if (changed.empty())
        return "nothing";
    if (changed.size() == 1)
        return changed.front();
    if (changed.size() <= 3) {
        std::string joined;
        for (const std::string& name : changed)
            joined += (joined.empty() ? "" : ", ") + name;
        return joined;
    }
    return std::to_string(changed.size()) + " files";
}

void Studio::WatchContent()
{
    if (watcher->Changed() || waitingReload)
        StartBuild(false);
    if (std::optional<ContentBuild::Outcome> outcome = build.Finished())
        FinishBuild(std::move(*outcome));
}

void Studio::StartBuild(bool force)
{
    if (build.Running())
        return; // the sources are looked at again once this build is done
    std::map<std::string, std::string> sources = ContentSources(options.content);
    std::string fingerprint = FingerprintOf(sources);
    // A save that leaves the bytes as they were reloads nothing.
    if (!force && fingerprint == attemptedFingerprint)
        return;
    if (changeSeen < 0.0)
        changeSeen = Now();
    // Files that the rules may stop making go only when files come or go, or a list of what is
    // made (meshes, textures, accents, a scene's curves) changes: then the staging folder is
    // pruned too, which otherwise would cost every save its time.
    bool prune = force || sources.size() != attemptedSources.size();
    for (const auto& [name, digest] : sources) {
        const auto before = attemptedSources.find(name);
        const bool changed = before == attemptedSources.end() || before->second != digest;
        if (changed && (name == "meshes/meshes.txt" || name == "textures/textures.txt" ||
                        name == "sync/accents.rules" || name.rfind("scenes/", 0) == 0))
            prune = true;
        if (before == attemptedSources.end())
            prune = true;
    }
    // What changed since the last build began (a mend after a failure names the file mended).
    if (!force)
        pendingWhat = ChangedSources(attemptedSources, sources);
    attemptedSources = std::move(sources);
    attemptedFingerprint = fingerprint;
    build.Start(std::move(fingerprint), prune ? "stage" : "outputs");
}

void Studio::FinishBuild(ContentBuild::Outcome outcome)
{
    const std::string what = everythingAsked ? "everything (F5)" : pendingWhat;
    everythingAsked = false;
    lastReload = Reload{};
    lastReload.happened = true;
    lastReload.what = what;
    if (!outcome.ok) {
        buildFailed = true;
        Fail(outcome.diagnostics);
    } else {
        buildFailed = false;
        try {
            const double packing = Now();
            StageArchive::Result packed = stageArchive.Pack(build.Stage());
            packMs = (Now() - packing) * 1000.0;
            Apply(std::move(packed));
        } catch (const std::exception& e) {
            Fail({{what, 0, e.what()}});
        }
    }
    lastReload.ms = (Now() - changeSeen) * 1000.0;
    changeSeen = -1.0;
    std::fprintf(stderr, "orvala-studio: reload of %s: %s, %.0f ms (building %.0f, packing %.0f, swapping %.0f)\n",
                 what.c_str(), lastReload.ok ? "ok" : "failed", lastReload.ms, outcome.seconds * 1000.0, packMs,
                 swapMs);
    dirty = true;
    // Changes saved while this build ran are looked at now.
    if (watcher->Pending() || FingerprintOf(ContentSources(options.content)) != attemptedFingerprint)
        StartBuild(false);
}

void Studio::Fail(std::vector<ContentDiagnostic> errors)
{
    lastReload.ok = false;
    lastReload.errors = std::move(errors);
    for (const ContentDiagnostic& d : lastReload.errors)
        std::fprintf(stderr, "%s\n", d.Text().c_str());
}

std::string Studio::SourceOf(const std::string& entry) const
{
    // The source a file of the archive comes from, for errors met while loading it.
    const auto after = [&](const std::string& prefix) { return entry.substr(prefix.size()); };
    if (entry.rfind("Data\\sync_", 0) == 0)
        return "sync/" + after("Data\\sync_").substr(0, after("Data\\sync_").size() - 6) + ".txt";
    if (entry.rfind("Data\\anim\\", 0) == 0)
        return "anim/" + after("Data\\anim\\") + ".txt";
    if (entry.rfind("OShaders\\", 0) == 0)
        return "effects/" + after("OShaders\\").substr(0, after("OShaders\\").size() - 1);
    if (entry == "Data\\tune.ogg")
        return "music/orvala.score";
    if (entry.size() > 7 && entry.rfind("Data\\", 0) == 0) {
        const std::string file = after("Data\\");
        if (fs::exists(options.content / "scenes" / file))
            return "scenes/" + file;
        if (file.size() > 2 && file.substr(file.size() - 2) == ".x")
            return "meshes/meshes.txt";
        return "textures/textures.txt";
    }
    return entry;
}

void Studio::Apply(StageArchive::Result packed)
{
    if (packed.changed.empty()) {
        // Sources changed but nothing the show reads did (a comment, say): the show stays, and a
        // failure shown before is mended.
        builtSources = attemptedSources;
        return;
    }
    const double swapping = Now();
    std::vector<unsigned char> previous = std::move(currentArchive);
    currentArchive = std::move(packed.archive);
    WriteArchive(currentArchive);
    try {
        AsRuntimeError([&] {
            FileSys::Reload();
            ApplyEntries(packed.changed, false);
        });
    } catch (const std::exception& e) {
        // The last good content comes back, whole, and what failed is loaded again next time.
        std::string file;
        for (const std::string& entry : packed.changed)
            if (file.empty() || entry.rfind("Data\\sync_", 0) != 0)
                file = SourceOf(entry);
        stageArchive.Forget(packed.changed);
        currentArchive = std::move(previous);
        WriteArchive(currentArchive);
        AsRuntimeError([&] {
            FileSys::Reload();
            ApplyEntries(packed.changed, true);
        });
        Fail({{file, 0, e.what()}});
        return;
    }
    builtSources = attemptedSources;
    ++contentVersion;
    ReadSections();
    swapMs = (Now() - swapping) * 1000.0;
}

void Studio::ApplyEntries(const std::set<std::string>& changed, bool everything)
{
    bool tracks = everything;
    bool tune = everything;
    bool all = everything;
    std::set<std::string> scenes;
    for (const std::string& entry : changed) {
        if (entry.rfind("Data\\sync_", 0) == 0) {
            tracks = true;
            continue;
        }
        if (entry == "Data\\tune.ogg") {
            tune = true;
            continue;
        }
        // Effects are shared through the pool and looked up once by whoever uses them: every
        // resource is made again.
        if (entry.rfind("OShaders\\", 0) == 0 || entry.rfind("Shaders\\", 0) == 0 || entry == "Data\\noise.bin") {
            all = true;
            continue;
        }
        const std::string scenePrefix = ResourceOwner::OfScene("");
        for (const auto& [owner, reads] : ResourceOwner::Reads()) {
            if (reads.count(entry) == 0)
                continue;
            if (owner.rfind(scenePrefix, 0) == 0 && owner != ResourceOwner::OfScene("LoaderBarScene"))
                scenes.insert(owner.substr(scenePrefix.size()));
            else
                all = true;
        }
    }
    if (tracks)
        static_cast<sync::PlayerDevice*>(DXFramework::GetSyncDevice())->reloadTracks();
    if (all) {
        overlay.Release();
        framework->ReloadResources();
    } else {
        for (const std::string& scene : scenes)
            framework->RemakeScene(scene);
    }
    if (tune && musicOn) {
        BASSPlayer::Init("Data\\tune.ogg", SOUNDTYPE_STREAM);
        SyncMusic(true);
    }
    SceneHandler::LeaveCurrent();
    dirty = true;
}

bool Studio::ReloadSettled()
{
    if (build.Running() || watcher->Pending())
        return false;
    return FingerprintOf(ContentSources(options.content)) == attemptedFingerprint;
}

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
        if (grainEnd < 0.0 || Now() >= grainEnd) {
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
        grainEnd = Now() + kGrainSeconds;
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

void Studio::DrawFrame()
{
    const double started = Now();
    try {
        AsRuntimeError([&] { framework->DrawFrameAt(static_cast<float>(time)); });
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
    frameMs = (Now() - started) * 1000.0;
    lastOverlayDraw = Now();
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
    case VK_F5:
        changeSeen = Now();
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

// ---- Commands ----

bool Studio::RunCommand(const std::string& line, unsigned number)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    if (words.empty() || words[0][0] == '#')
        return true;
    const std::string command = words[0];
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    const auto expect = [&](std::size_t count) {
        if (rest.size() != count)
            throw ToolUsageError{command + " takes " + std::to_string(count) + (count == 1 ? " value" : " values")};
    };
    try {
        if (command == "at") {
            expect(1);
            const double seconds = ParseSecondsWord(rest[0], "at");
            if (seconds < 0.0 || seconds > kShowEndTime)
                throw ToolUsageError{"the time must lie within the show, 0 to 141.5 seconds"};
            Seek(seconds, false);
        } else if (command == "play") {
            expect(0);
            playing = true;
            SyncMusic(true);
        } else if (command == "pause") {
            expect(0);
            playing = false;
            SyncMusic(true);
        } else if (command == "speed") {
            expect(1);
            const double value = ParseSecondsWord(rest[0], "speed");
            if (value < 0.25 || value > 4.0)
                throw ToolUsageError{"speed takes a factor from 0.25 to 4, not \"" + rest[0] + "\""};
            SetSpeed(value);
        } else if (command == "loop") {
            if (rest.size() == 1 && rest[0] == "off") {
                loop = loopStartOnly = false;
            } else {
                expect(2);
                const double a = ParseSecondsWord(rest[0], "loop");
                const double b = ParseSecondsWord(rest[1], "loop");
                if (!(a >= 0.0 && a < b && b <= kShowEndTime))
                    throw ToolUsageError{"loop needs a start before its end, within 0 to 141.5 seconds"};
                loop = true;
                loopStartOnly = false;
                loopStart = a;
                loopEnd = b;
            }
        } else if (command == "wait-reload") {
            expect(0);
            waitingReload = true;
        } else if (command == "shot") {
            const ToolArguments parsed(rest, {kSizeOption});
            if (parsed.Operands().size() != 1)
                throw ToolUsageError{"shot takes a file name and, if wanted, --size WxH"};
            const ToolSize size = parsed.Size("--size", {DXFramework::GetWidth(), DXFramework::GetHeight()});
            Shot(parsed.Operands()[0], size.width, size.height);
        } else if (command == "pack") {
            expect(1);
            Pack(rest[0]);
        } else if (command == "status") {
            expect(1);
            Status(rest[0]);
        } else if (command == "quit") {
            expect(0);
            quit = true;
        } else {
            throw ToolUsageError{"unknown command \"" + command +
                                 "\" (at, play, pause, speed, loop, wait-reload, shot, pack, status, quit)"};
        }
    } catch (const ToolUsageError& e) {
        std::fprintf(stderr, "%s:%u: error: %s\n", script->Name().c_str(), number, e.message.c_str());
        return false;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s:%u: error: %s\n", script->Name().c_str(), number, e.what());
        return false;
    }
    return true;
}

void Studio::Shot(const fs::path& file, unsigned width, unsigned height)
{
    const unsigned liveWidth = DXFramework::GetWidth();
    const unsigned liveHeight = DXFramework::GetHeight();
    const bool resize = width != liveWidth || height != liveHeight;
    std::vector<unsigned char> bgra;
    AsRuntimeError([&] {
        if (resize) {
            overlay.Release();
            framework->ResizeBackBuffer(width, height);
        }
        // The frame a capture at 60 fps shows at this time, after the same warm-up `frame` draws.
        ShowRecorder frames(*framework, kShotFps);
        frames.Render(frames.FrameAt(time), bgra);
        if (resize) {
            overlay.Release();
            framework->ResizeBackBuffer(liveWidth, liveHeight);
        }
    });
    SceneHandler::LeaveCurrent();
    dirty = true;
    if (!WritePngBGRA(file.string(), bgra.data(), width, height, width * 4))
        throw std::runtime_error("cannot write \"" + file.string() + "\"");
}

void Studio::Pack(const fs::path& file)
{
    if (buildFailed)
        throw std::runtime_error("the sources do not build (" +
                                 (lastReload.errors.empty() ? std::string("see the last reload")
                                                            : lastReload.errors.front().Text()) +
                                 "); there is no archive of them");
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(currentArchive.data()), static_cast<std::streamsize>(currentArchive.size()));
    if (!out)
        throw std::runtime_error("cannot write \"" + file.string() + "\"");
}

void Studio::Status(const fs::path& file)
{
    const long row = static_cast<long>(std::floor(Row() + 1e-6));
    std::string json = "{\n";
    json += "  \"time\": " + JsonNumber(time) + ",\n";
    json += "  \"row\": " + std::to_string(row) + ",\n";
    json += "  \"bar\": " + std::to_string(row / kRowsPerBar + 1) + ",\n";
    json += "  \"beat\": " + std::to_string(row % kRowsPerBar / kRowsPerBeat + 1) + ",\n";
    json += "  \"section\": " + JsonString(SectionAt(time)) + ",\n";
    // The scene the track "Scene" selects now (truncated, an index out of range shows scene 0, as
    // the scene handler does), whether or not a frame was drawn since.
    const float selected = DXFramework::GetSyncDevice()->getTrack("Scene").getValue(static_cast<float>(Row()));
    const auto index = static_cast<unsigned>(static_cast<long long>(selected));
    const std::vector<std::string>& names = ShowSceneNames();
    json += "  \"scene\": " + JsonString(names.at(index < names.size() ? index : 0u)) + ",\n";
    json += "  \"camera\": " + JsonString(CameraName()) + ",\n";
    json += std::string("  \"paused\": ") + (playing ? "false" : "true") + ",\n";
    json += "  \"speed\": " + JsonNumber(speed) + ",\n";
    if (loop && !loopStartOnly)
        json += "  \"loop\": {\"start\": " + JsonNumber(loopStart) + ", \"end\": " + JsonNumber(loopEnd) + "},\n";
    else
        json += "  \"loop\": null,\n";
    json += "  \"content_version\": " + std::to_string(contentVersion) + ",\n";
    // The frames drawn since the last status: how many, their median and their worst time.
    std::vector<double> times = frameTimes;
    frameTimes.clear();
    std::sort(times.begin(), times.end());
    json += "  \"frames\": {\"count\": " + std::to_string(times.size()) + ", \"median_ms\": " +
            JsonNumber(times.empty() ? 0.0 : times[times.size() / 2]) +
            ", \"worst_ms\": " + JsonNumber(times.empty() ? 0.0 : times.back()) + "},\n";
    if (!lastReload.happened) {
        json += "  \"last_reload\": null\n";
    } else {
        json += "  \"last_reload\": {\"what\": " + JsonString(lastReload.what) + ", \"ms\": " +
                JsonNumber(std::round(lastReload.ms)) + ", \"ok\": " + (lastReload.ok ? "true" : "false");
        if (!lastReload.ok && !lastReload.errors.empty()) {
            const ContentDiagnostic& error = lastReload.errors.front();
            json += ", \"error\": {\"file\": " + JsonString(error.file) + ", \"line\": " + std::to_string(error.line) +
                    ", \"message\": " + JsonString(error.message) + "}";
        }
        json += "}\n";
    }
    json += "}\n";
    const fs::path next = file.string() + ".new";
    {
        std::ofstream out(next, std::ios::trunc);
        out << json;
        if (!out)
            throw std::runtime_error("cannot write \"" + file.string() + "\"");
    }
    fs::rename(next, file);
}

// ---- The loop ----

int Studio::Run()
{
    double last = Now();
    while (!quit) {
        const double iteration = Now();
        const double drawnBefore = lastOverlayDraw;
        if (!PumpMessages())
            break;
        if (pendingWidth != 0 && pendingWidth * 9 > pendingHeight * 16) {
            // The show is letterboxed with bars above and below only: a window wider than 16:9
            // is given back the width that fits its height.
            pendingWidth = pendingHeight * 16 / 9;
            if (SDL_Window* sdl = SDLWindowFromHWND(DXFramework::GetWindow()))
                SDL_SetWindowSize(sdl, static_cast<int>(pendingWidth), static_cast<int>(pendingHeight));
        }
        if (pendingWidth != 0 && (pendingWidth != DXFramework::GetWidth() || pendingHeight != DXFramework::GetHeight())) {
            overlay.Release();
            AsRuntimeError([&] { framework->ResizeBackBuffer(pendingWidth, pendingHeight); });
            dirty = true;
        }
        pendingWidth = pendingHeight = 0;

        WatchContent();
        if (waitingReload && ReloadSettled() && !build.Running())
            waitingReload = false;
        // A picture that changed is drawn before the next command, which may ask about it.
        if (dirty && !waitingReload)
            DrawFrame();

        // One command at each frame boundary; none while a reload is awaited.
        if (script && !waitingReload) {
            std::string line;
            unsigned number = 0;
            if (script->Next(line, number))
                scriptFailed = !RunCommand(line, number) || scriptFailed;
            else if (options.headless && script->Ended())
                break;
        }

        const double now = Now();
        Advance(now - last);
        last = now;
        SyncMusic(false);

        // Headless, a frame is drawn only when its picture changed; with a display the overlay
        // is kept fresh too.
        const bool overlayDue = !options.headless && now - lastOverlayDraw > 0.1;
        if (dirty || overlayDue)
            DrawFrame();
        // A frame's time is the whole pass that drew it, a reload swapped in on the way included.
        if (lastOverlayDraw != drawnBefore)
            frameTimes.push_back((Now() - iteration) * 1000.0);
        else
            SDL_Delay(options.headless ? 1 : 5);
    }
    if (musicOn)
        BASSPlayer::Pause();
    return scriptFailed ? 1 : 0;
}

#include "Studio.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "BASSPlayer.h"
#include "DXEffect/PassRecorder.h"
#include "DXFramework.h"
#include "FileSys.h"
#include "FrameworkEx.h"
#include "ResourceOwner.h"
#include "SceneHandler.h"
#include "ShowComposition.h"
#include "StudioTimeline.h"
#include "common/ToolOptions.h"
#include "show/HostFailures.h"
#include "sync/PlayerDevice.h"
#include "win32/MessageBox.h"
#include "win32/WindowHandle.h"
#include "win32/WinUser.h"

// The studio's life: its options and work folder, the script's lines, the content watched, built
// and swapped in, and the frame loop. The clock, the frames and the input are in
// StudioTransport.cpp, the script's commands in StudioCommands.cpp.

namespace fs = std::filesystem;

namespace {

const std::vector<ToolOption>& StudioOptionTable()
{
    static const std::vector<ToolOption> table = {
        ToolOption::Text("--content", "DIR"), ToolOption::Number("--at", 0.0, kShowEndTime).Shown("S"),
        ToolOption::Number("--loop", 0.0, kShowEndTime).Takes(2).Shown("A B"), kStudioSizeOption,
        ToolOption::Text("--script", "FILE|-")};
    return table;
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
    "P            the heaviest passes of the frame",
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
    if (size.height != size.width * 9 / 16)
        throw ToolUsageError{"--size must be 16:9 (1280x720, 960x540, 640x360...), not " + std::to_string(size.width) +
                             "x" + std::to_string(size.height)};
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
    ContentBuild::Outcome first = build.Run(attemptedSources);
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
    Reported([&] {
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
    passRecorder.reset();
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
        changeSeen = SteadySeconds();
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
    attemptedSources = sources;
    attemptedFingerprint = fingerprint;
    build.Start(std::move(sources), prune ? "stage" : "outputs");
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
            const double packing = SteadySeconds();
            StageArchive::Result packed = stageArchive.Pack(build.Stage());
            packMs = (SteadySeconds() - packing) * 1000.0;
            Apply(std::move(packed));
        } catch (const std::exception& e) {
            Fail({{what, 0, e.what()}});
        }
    }
    lastReload.ms = (SteadySeconds() - changeSeen) * 1000.0;
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
    const double swapping = SteadySeconds();
    std::vector<unsigned char> previous = std::move(currentArchive);
    currentArchive = std::move(packed.archive);
    WriteArchive(currentArchive);
    try {
        Reported([&] {
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
        Reported([&] {
            FileSys::Reload();
            ApplyEntries(packed.changed, true);
        });
        Fail({{file, 0, e.what()}});
        return;
    }
    builtSources = attemptedSources;
    ++contentVersion;
    ReadSections();
    swapMs = (SteadySeconds() - swapping) * 1000.0;
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

// ---- The loop ----

int Studio::Run()
{
    double last = SteadySeconds();
    while (!quit) {
        const double iteration = SteadySeconds();
        const double drawnBefore = lastOverlayDraw;
        if (!PumpMessages())
            break;
        if (pendingWidth != 0 && pendingHeight != pendingWidth * 9 / 16) {
            // The window keeps the show's 16:9: a window resized to another shape is given the
            // largest 16:9 size inside it. (Presented into a window of another shape, the bars
            // of a letterboxed picture are not shown black on every display.)
            pendingWidth = std::min(pendingWidth, pendingHeight * 16 / 9);
            pendingHeight = pendingWidth * 9 / 16;
            if (SDL_Window* sdl = SDLWindowFromHWND(DXFramework::GetWindow()))
                SDL_SetWindowSize(sdl, static_cast<int>(pendingWidth), static_cast<int>(pendingHeight));
        }
        if (pendingWidth != 0 && (pendingWidth != DXFramework::GetWidth() || pendingHeight != DXFramework::GetHeight())) {
            overlay.Release();
            Reported([&] { framework->ResizeBackBuffer(pendingWidth, pendingHeight); });
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

        const double now = SteadySeconds();
        Advance(now - last);
        last = now;
        SyncMusic(false);

        // Headless, a frame is drawn only when its picture changed; with a display the overlay
        // is kept fresh too.
        const bool overlayDue = !options.headless && now - lastOverlayDraw > 0.1;
        if (dirty || overlayDue)
            DrawFrame();
        // A frame's time is the whole pass that drew it, a reload swapped in on the way included.
        if (lastOverlayDraw != drawnBefore) {
            // The frames since the last status, the latest few thousand when nobody asks.
            if (frameTimes.size() >= 4096)
                frameTimes.erase(frameTimes.begin(), frameTimes.begin() + 2048);
            frameTimes.push_back((SteadySeconds() - iteration) * 1000.0);
        }
        else
            SDL_Delay(options.headless ? 1 : 5);
    }
    if (musicOn)
        BASSPlayer::Pause();
    return scriptFailed ? 1 : 0;
}

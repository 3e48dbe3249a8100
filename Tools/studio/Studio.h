#pragma once
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "StudioContent.h"
#include "StudioOverlay.h"

class DXFramework;
class PassRecorder;

// What orvala-studio is asked to do on its command line.
struct StudioOptions {
    std::filesystem::path content;  // the content sources (default: the tree's Content/)
    std::filesystem::path work;     // where their build goes (see StudioWorkFolder)
    double at = 0.0;                // where playing starts, in seconds
    bool loop = false;
    double loopStart = 0.0;
    double loopEnd = 0.0;
    unsigned width = 1280;
    unsigned height = 720;
    std::string script;             // a file of commands, "-" for standard input, empty for none
    bool headless = false;          // no display: rendered off screen, ends with the script
};

// `orvala-studio [--content DIR] [--at S] [--loop A B] [--size WxH] [--script FILE|-]`; throws
// ToolUsageError for a command line that does not fit.
StudioOptions ParseStudioOptions(const std::vector<std::string>& args);
std::string StudioUsage();

// The work folder of a content folder: $ORVALA_STUDIO_WORK when set, otherwise
// $XDG_CACHE_HOME/orvala-studio/<folder name>-<hash of its absolute path> (~/.cache when
// XDG_CACHE_HOME is not set). Never inside the content folder.
std::filesystem::path StudioWorkFolder(const std::filesystem::path& content);

// Commands read one a line, line by line as they arrive, from a file (a named pipe too) or from
// standard input.
class StudioScript {
public:
    // `source` is a file name or "-"; throws std::runtime_error when the file cannot be read.
    explicit StudioScript(const std::string& source);
    ~StudioScript();
    StudioScript(const StudioScript&) = delete;
    StudioScript& operator=(const StudioScript&) = delete;

    // The next line and its number, when one has arrived.
    bool Next(std::string& line, unsigned& number);
    // True once every line has been taken and no more will come.
    bool Ended();
    const std::string& Name() const { return name; }

private:
    std::string name;
    std::mutex mutex;
    std::deque<std::string> lines;
    unsigned taken = 0;
    bool ended = false;
    std::thread reader;
};

// The studio: the show from a content folder, played in a window (or headless), rebuilt and
// swapped in between two frames whenever a source changes, driven by keys, the mouse and a
// script. The picture at a time is the one a fresh start from the same sources draws there.
class Studio {
public:
    explicit Studio(StudioOptions options);
    ~Studio();
    Studio(const Studio&) = delete;
    Studio& operator=(const Studio&) = delete;

    // The frame loop, until Escape, a closed window, `quit` or (headless) the end of the script.
    // 0, or 1 when a script command failed.
    int Run();

private:
    struct Reload {
        std::string what;     // the sources that changed ("sync/Scene.txt", "3 files")
        double ms = 0.0;      // from the save to the picture swapped (or to the failure)
        bool ok = true;
        std::vector<ContentDiagnostic> errors;
        bool happened = false;
    };

    // Content
    void WatchContent();
    void StartBuild(bool force);
    void FinishBuild(ContentBuild::Outcome outcome);
    void Apply(StageArchive::Result packed);
    void ApplyEntries(const std::set<std::string>& changed, bool everything);
    void WriteArchive(const std::vector<unsigned char>& bytes);
    void Fail(std::vector<ContentDiagnostic> errors);
    bool ReloadSettled();
    // "sync/Scene.txt", "a, b, c" or "5 files": the sources that differ between two looks.
    static std::string ChangedSources(const std::map<std::string, std::string>& before,
                                      const std::map<std::string, std::string>& now);
    std::string SourceOf(const std::string& entry) const;

    // Transport
    void Seek(double seconds, bool grain);
    void Step(long rows);
    void SetSpeed(double speed);
    void Advance(double wallSeconds);
    void SyncMusic(bool force);
    void StartMusic();
    double Row() const;

    // Frames and commands
    bool PumpMessages();
    void OnKey(unsigned key);
    void OnMouse(int x, int y, bool down);
    void DrawFrame();
    void FillOverlay();
    // The passes panel: records the frames while it shows and refreshes its lines a few times a
    // second; no recorder exists while it is off.
    void UpdatePasses();
    bool RunCommand(const std::string& line, unsigned number);
    void Shot(const std::filesystem::path& file, unsigned width, unsigned height);
    void Pack(const std::filesystem::path& file);
    void Status(const std::filesystem::path& file);
    std::string SectionAt(double seconds) const;
    std::string CameraName() const;
    void ReadSections();

    StudioOptions options;
    ContentBuild build;
    std::unique_ptr<ContentWatcher> watcher;
    StageArchive stageArchive;
    std::filesystem::path archive;
    std::vector<unsigned char> currentArchive;
    std::unique_ptr<DXFramework> framework;
    std::unique_ptr<StudioScript> script;
    StudioOverlay overlay;
    OverlayModel model;

    std::map<std::string, std::string> builtSources;     // the sources of the content on screen
    std::map<std::string, std::string> attemptedSources; // of the last build started
    std::string attemptedFingerprint;
    std::string pendingWhat;
    bool buildFailed = false;
    bool everythingAsked = false;
    double changeSeen = -1.0; // when the change being built was first seen
    Reload lastReload;
    unsigned contentVersion = 1;

    double time = 0.0;
    bool playing = false;
    double speed = 1.0;
    bool loop = false;
    bool loopStartOnly = false;
    double loopStart = 0.0;
    double loopEnd = 0.0;
    bool dirty = true;
    bool quit = false;
    bool waitingReload = false;
    bool scriptFailed = false;
    bool musicOn = false;
    double grainEnd = -1.0;
    double frameMs = 0.0;
    std::vector<double> frameTimes; // of the frames drawn since the last status
    double packMs = 0.0; // of the last reload: packing the archive, swapping it in
    double swapMs = 0.0;
    double lastOverlayDraw = 0.0;
    bool scrubbing = false;
    unsigned pendingWidth = 0;
    unsigned pendingHeight = 0;
    std::vector<OverlayModel::Section> sections;
    std::vector<std::string> boxesSeen;
    std::unique_ptr<PassRecorder> passRecorder;
    double passesRead = -1.0; // when the panel's lines were last refreshed
};

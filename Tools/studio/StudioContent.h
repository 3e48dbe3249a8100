#pragma once
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

// The studio's side of the content: the sources it watches, the content build it runs over them
// (the tree's own rules, in a work folder of its own) and the archive it packs from what that
// build made.

// A problem a compiler or loader reported, in the `file:line: error: message` form.
struct ContentDiagnostic {
    std::string file; // as reported; relative to the content folder where it lies inside it
    unsigned line = 0; // 0 when the report names no line
    std::string message;

    // "file:line: error: message" (or "file: error: message" without a line).
    std::string Text() const;
};

// Every `file:line: error: message` (or `file: error: message`) line of a build's output; when
// the output holds none, one diagnostic naming `fallbackFile` with the last line that says
// "error" (or the output's last line).
std::vector<ContentDiagnostic> ParseDiagnostics(const std::string& output, const std::filesystem::path& contentFolder,
                                                const std::string& fallbackFile);

// A fingerprint of every source file below the content folder (its relative path and bytes),
// hidden files and editors' backups ("~" at the end) left out. Equal fingerprints mean nothing a
// rule reads has changed: a save that leaves the bytes as they were changes nothing.
std::string ContentFingerprint(const std::filesystem::path& folder);
// The same, file by file: each source's path relative to the folder ('/' between folders) and a
// digest of its bytes. ContentFingerprint is the digest of this map.
std::map<std::string, std::string> ContentSources(const std::filesystem::path& folder);
std::string FingerprintOf(const std::map<std::string, std::string>& sources);

// Watches a content folder and its sub-folders with inotify: files written, made, removed and
// renamed (editors that save by writing a new file and renaming it over the old one included),
// and folders made later. Changed() is true once something happened and the folder has then been
// quiet for `settle`; a burst of saves is one change.
class ContentWatcher {
public:
    explicit ContentWatcher(const std::filesystem::path& folder, double settleSeconds = 0.08);
    ~ContentWatcher();
    ContentWatcher(const ContentWatcher&) = delete;
    ContentWatcher& operator=(const ContentWatcher&) = delete;

    // Reads the events that arrived (never blocks); true when a change has settled, which it
    // then forgets.
    bool Changed();
    // True while events arrived that have not settled yet.
    bool Pending() const { return pending; }

private:
    void Watch(const std::filesystem::path& folder);
    void Drain();

    int fd = -1;
    std::filesystem::path root;
    std::map<int, std::filesystem::path> watches;
    double settle;
    bool pending = false;
    double lastEvent = 0.0;
};

// Reads every file of a staging folder as the archive's entries: names relative to the folder
// with backslashes between folders, in name order, compressed at zlib level 9 exactly as
// `orvala-tool archive pack` writes them. A file not written since the last Pack is not read
// again, and an entry whose bytes did not change keeps its compressed stream: a change of one file
// costs the reading and compression of that file.
class StageArchive {
public:
    struct Result {
        std::vector<unsigned char> archive;
        std::set<std::string> changed; // entries added, changed or removed since the last Pack
    };
    // Throws std::runtime_error naming the file that cannot be read.
    Result Pack(const std::filesystem::path& stage);
    // The next Pack counts these entries (or every entry) as changed, whatever their bytes: for
    // content that was taken back after it failed to load, and for a reload of everything.
    void Forget(const std::set<std::string>& names);
    void ForgetAll() { entries.clear(); }

private:
    struct Entry {
        std::vector<unsigned char> data;
        std::vector<unsigned char> compressed;
        std::filesystem::file_time_type written{};
    };
    std::map<std::string, Entry> entries;
};

// The content build in the studio's work folder: CMake and Ninja over the tree's rules. Builds run
// on a thread of their own, so the frame loop never waits for a compiler.
class ContentBuild {
public:
    struct Outcome {
        bool ok = false;
        std::string output; // what the build printed
        std::vector<ContentDiagnostic> diagnostics;
        double seconds = 0.0;
        std::string fingerprint; // of the sources the build started from
    };

    // `work` is made when missing. The programs the rules run and the rules themselves are those
    // of the tree the studio was built from.
    ContentBuild(std::filesystem::path content, std::filesystem::path work);
    ~ContentBuild();
    ContentBuild(const ContentBuild&) = delete;
    ContentBuild& operator=(const ContentBuild&) = delete;

    // Runs the build of `target` ("stage" or "archive") of `sources` (ContentSources of the
    // content folder, taken just before) now, on the calling thread.
    Outcome Run(const std::map<std::string, std::string>& sources, const std::string& target = "stage");
    // Starts such a build on the build thread; false when one is running.
    bool Start(std::map<std::string, std::string> sources, std::string target);
    bool Running() const;
    // The outcome of the build started last, once, when it has finished.
    std::optional<Outcome> Finished();

    const std::filesystem::path& Stage() const { return stage; }
    const std::filesystem::path& Work() const { return work; }
    const std::filesystem::path& Content() const { return content; }

private:
    Outcome Build(const std::map<std::string, std::string>& sources, const std::string& target);
    // The build decides what to make again by the files' times. A source whose bytes differ from
    // those of the last good build but whose time is not later than that build's start (a file
    // put back from a copy that kept its time, a clock set back) would be missed: then the tree
    // is made again from nothing.
    bool TimesCanBeTrusted(const std::map<std::string, std::string>& sources) const;
    // What the last good build was made of, and when it started (`work`/sources.txt).
    void Record(const std::map<std::string, std::string>& sources, std::filesystem::file_time_type started) const;

    std::filesystem::path content;
    std::filesystem::path work;
    std::filesystem::path stage;
    mutable std::mutex mutex;
    std::thread thread;
    bool running = false;
    std::optional<Outcome> outcome;
};

// Runs a program with its arguments, no shell between, standard output and error together into
// `output`; its exit status, or -1 when it could not be started.
int RunProgram(const std::vector<std::string>& argv, std::string& output);

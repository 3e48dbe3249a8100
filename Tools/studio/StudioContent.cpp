#include "StudioContent.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "StudioTimeline.h"
#include "common/ArchiveWriter.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read \"" + path.string() + "\"");
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Files no rule reads: hidden ones (editors' swap files, ".git") and backups.
bool Ignored(const fs::path& relative)
{
    for (const fs::path& part : relative) {
        const std::string name = part.string();
        if (!name.empty() && name[0] == '.')
            return true;
    }
    const std::string name = relative.filename().string();
    return !name.empty() && name.back() == '~';
}

} // namespace

std::string ContentDiagnostic::Text() const
{
    return file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": error: " + message;
}

std::vector<ContentDiagnostic> ParseDiagnostics(const std::string& output, const fs::path& contentFolder,
                                                const std::string& fallbackFile)
{
    // The forms our tools and compilers report in: "file:line: error: message", "file(line):
    // error: message" (effects), "file: line N: message" (tracks), "file:line: message" (curves)
    // and "file: error: message".
    static const std::regex forms[] = {std::regex(R"(^(.+?):(\d+)(?::\d+)?: error: (.*)$)"),
                                       std::regex(R"(^(.+?)\((\d+)\): error: (.*)$)"),
                                       std::regex(R"(^(.+?): line (\d+): (.*)$)"),
                                       std::regex(R"(^([^ :][^:]*):(\d+): (.*)$)")};
    static const std::regex withoutLine(R"(^([^ :][^:]*): error: (.*)$)");
    const std::string prefix = contentFolder.lexically_normal().string() + "/";
    const auto relative = [&](std::string file) {
        if (file.rfind(prefix, 0) == 0)
            file = file.substr(prefix.size());
        return file;
    };
    std::vector<ContentDiagnostic> found;
    std::istringstream lines(output);
    std::string text;
    std::string lastError;
    std::string last;
    while (std::getline(lines, text)) {
        std::smatch match;
        bool matched = false;
        for (const std::regex& form : forms) {
            if (std::regex_match(text, match, form)) {
                found.push_back({relative(match[1]), static_cast<unsigned>(std::stoul(match[2])), match[3]});
                matched = true;
                break;
            }
        }
        if (matched)
            continue;
        if (std::regex_match(text, match, withoutLine)) {
            found.push_back({relative(match[1]), 0, match[2]});
        } else {
            if (text.find("error") != std::string::npos || text.find("cannot") != std::string::npos)
                lastError = text;
            if (!text.empty() && text.rfind("ninja: ", 0) != 0 && text.rfind("FAILED: ", 0) != 0)
                last = text;
        }
    }
    // The same report printed twice (once by the tool, once in the build's summary) counts once.
    std::vector<ContentDiagnostic> unique;
    for (const ContentDiagnostic& d : found)
        if (std::none_of(unique.begin(), unique.end(), [&](const ContentDiagnostic& u) { return u.Text() == d.Text(); }))
            unique.push_back(d);
    if (unique.empty())
        unique.push_back({fallbackFile, 0, !lastError.empty() ? lastError : last});
    return unique;
}

std::map<std::string, std::string> ContentSources(const fs::path& folder)
{
    std::map<std::string, std::string> sources;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        const fs::path relative = it->path().lexically_relative(folder);
        if (Ignored(relative)) {
            if (it->is_directory())
                it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file())
            continue;
        std::vector<unsigned char> bytes;
        try {
            bytes = ReadBytes(it->path());
        } catch (const std::runtime_error&) {
            continue; // removed while we looked: the next look sees it gone
        }
        // Two checksums and the length; a change that keeps all three is not a risk worth a
        // cryptographic hash here.
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size()));
        const uLong adler = adler32(adler32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size()));
        char digest[64];
        std::snprintf(digest, sizeof digest, "%08lx%08lx-%zu", crc, adler, bytes.size());
        sources.emplace(relative.generic_string(), digest);
    }
    return sources;
}

std::string FingerprintOf(const std::map<std::string, std::string>& sources)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    for (const auto& [name, digest] : sources) {
        const std::string line = name + '\0' + digest + '\n';
        crc = crc32(crc, reinterpret_cast<const Bytef*>(line.data()), static_cast<uInt>(line.size()));
    }
    char text[32];
    std::snprintf(text, sizeof text, "%zu-%08lx", sources.size(), crc);
    return text;
}

std::string ContentFingerprint(const fs::path& folder)
{
    return FingerprintOf(ContentSources(folder));
}

ContentWatcher::ContentWatcher(const fs::path& folder, double settleSeconds) : root(folder), settle(settleSeconds)
{
    fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot watch \"" + folder.string() + "\": " + std::strerror(errno));
    Watch(folder);
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_directory() && !Ignored(it->path().lexically_relative(folder)))
            Watch(it->path());
}

ContentWatcher::~ContentWatcher()
{
    if (fd >= 0)
        close(fd);
}

void ContentWatcher::Watch(const fs::path& folder)
{
    const int wd = inotify_add_watch(fd, folder.c_str(),
                                     IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE |
                                         IN_DELETE_SELF | IN_MODIFY | IN_ATTRIB);
    if (wd >= 0)
        watches[wd] = folder;
}

void ContentWatcher::Drain()
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            const auto watched = watches.find(event->wd);
            if (watched == watches.end())
                continue;
            const fs::path path = event->len > 0 ? watched->second / event->name : watched->second;
            if (Ignored(path.lexically_relative(root)))
                continue;
            // A folder made (or moved in) later is watched too.
            if ((event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO)))
                Watch(path);
            pending = true;
            lastEvent = SteadySeconds();
        }
    }
}

bool ContentWatcher::Changed()
{
    Drain();
    if (!pending || SteadySeconds() - lastEvent < settle)
        return false;
    pending = false;
    return true;
}

StageArchive::Result StageArchive::Pack(const fs::path& stage)
{
    std::map<std::string, fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(stage, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file())
            continue;
        std::string name = it->path().lexically_relative(stage).generic_string();
        std::replace(name.begin(), name.end(), '/', '\\');
        files.emplace(std::move(name), it->path());
    }
    if (error)
        throw std::runtime_error("cannot read the folder \"" + stage.string() + "\": " + error.message());

    Result result;
    for (auto it = entries.begin(); it != entries.end();) {
        if (files.count(it->first) == 0) {
            result.changed.insert(it->first);
            it = entries.erase(it);
        } else {
            ++it;
        }
    }
    ArchiveWriter writer;
    for (const auto& [name, path] : files) {
        Entry& entry = entries[name];
        std::error_code timeError;
        const fs::file_time_type written = fs::last_write_time(path, timeError);
        const bool known = entry.written == written && !timeError && !entry.compressed.empty();
        if (!known) {
            std::vector<unsigned char> data = ReadBytes(path);
            if (entry.compressed.empty() || entry.data != data) {
                entry.compressed = ArchiveWriter::Compress(data, 9);
                entry.data = std::move(data);
                result.changed.insert(name);
            }
            entry.written = timeError ? fs::file_time_type{} : written;
        }
        writer.AddCompressed(name, entry.compressed, entry.data.size());
    }
    result.archive = writer.Build(9);
    return result;
}

void StageArchive::Forget(const std::set<std::string>& names)
{
    for (const std::string& name : names)
        entries.erase(name);
}

ContentBuild::ContentBuild(fs::path contentFolder, fs::path workFolder)
    : content(fs::absolute(contentFolder).lexically_normal()),
      work(fs::absolute(workFolder).lexically_normal()),
      stage(work / "build" / "stage")
{
    fs::create_directories(work);
}

ContentBuild::~ContentBuild()
{
    if (thread.joinable())
        thread.join();
}

int RunProgram(const std::vector<std::string>& argv, std::string& output)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        output = "cannot run " + argv[0] + ": " + std::strerror(spawned);
        return -1;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got > 0)
            output.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ContentBuild::TimesCanBeTrusted(const std::map<std::string, std::string>& sources) const
{
    std::ifstream in(work / "sources.txt");
    long long started = 0;
    // Without a record of the last good build a tree left there cannot be trusted either.
    if (!(in >> started))
        return !fs::exists(work / "build" / "CMakeCache.txt");
    std::map<std::string, std::string> built;
    std::string digest, name;
    while (in >> digest && std::getline(in >> std::ws, name))
        built[name] = digest;
    for (const auto& [source, now] : sources) {
        const auto was = built.find(source);
        if (was == built.end() || was->second == now)
            continue;
        std::error_code error;
        const fs::file_time_type written = fs::last_write_time(content / source, error);
        if (!error && written.time_since_epoch().count() <= started)
            return false;
    }
    return true;
}

void ContentBuild::Record(const std::map<std::string, std::string>& sources, fs::file_time_type started) const
{
    const fs::path next = work / "sources.txt.new";
    {
        std::ofstream out(next, std::ios::trunc);
        out << started.time_since_epoch().count() << '\n';
        for (const auto& [name, digest] : sources)
            out << digest << ' ' << name << '\n';
    }
    std::error_code ignored;
    fs::rename(next, work / "sources.txt", ignored);
}

ContentBuild::Outcome ContentBuild::Build(const std::map<std::string, std::string>& sources, const std::string& target)
{
    const double started = SteadySeconds();
    const fs::file_time_type startedAt = fs::file_time_type::clock::now();
    Outcome result;
    result.fingerprint = FingerprintOf(sources);
    const fs::path tree = work / "build";
    std::string output;
    if (!TimesCanBeTrusted(sources)) {
        std::error_code ignored;
        fs::remove_all(tree, ignored);
        output = "sources changed without a later time: the whole content is built again\n";
    }
    if (!fs::exists(tree / "CMakeCache.txt")) {
        std::vector<std::string> configure = {"cmake",
                                              "-S",
                                              std::string(ORVALA_STUDIO_SOURCE_DIR) + "/Tools/studio/content",
                                              "-B",
                                              tree.string(),
                                              "-DCONTENT_SOURCE_DIR=" + content.string(),
                                              "-DCONTENT_TOOL=" ORVALA_STUDIO_TOOL,
                                              "-DCONTENT_TUNE=" ORVALA_STUDIO_TUNE,
                                              "-DCONTENT_RULES=" ORVALA_STUDIO_SOURCE_DIR "/cmake/ContentRules.cmake"};
        std::string ninja;
        if (RunProgram({"ninja", "--version"}, ninja) == 0)
            configure.insert(configure.begin() + 1, {"-G", "Ninja"});
        if (RunProgram(configure, output) != 0) {
            // A tree that failed to configure is made again from nothing next time.
            std::error_code ignored;
            fs::remove(tree / "CMakeCache.txt", ignored);
            result.output = output;
            result.diagnostics = ParseDiagnostics(output, content, content.string());
            result.seconds = SteadySeconds() - started;
            return result;
        }
    }
    // Ninja itself where it made the tree: the build is started after every save, and cmake
    // --build would add its own start to each.
    const bool ninja = fs::exists(tree / "build.ninja");
    result.ok = (ninja ? RunProgram({"ninja", "-C", tree.string(), target}, output)
                       : RunProgram({"cmake", "--build", tree.string(), "--target", target}, output)) == 0;
    result.output = output;
    if (result.ok)
        Record(sources, startedAt);
    else
        result.diagnostics = ParseDiagnostics(output, content, content.string());
    result.seconds = SteadySeconds() - started;
    return result;
}

ContentBuild::Outcome ContentBuild::Run(const std::map<std::string, std::string>& sources, const std::string& target)
{
    return Build(sources, target);
}

bool ContentBuild::Start(std::map<std::string, std::string> sources, std::string target)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (running)
        return false;
    if (thread.joinable())
        thread.join();
    running = true;
    outcome.reset();
    thread = std::thread([this, sources = std::move(sources), target = std::move(target)] {
        Outcome result = Build(sources, target);
        std::lock_guard<std::mutex> done(mutex);
        outcome = std::move(result);
        running = false;
    });
    return true;
}

bool ContentBuild::Running() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return running;
}

std::optional<ContentBuild::Outcome> ContentBuild::Finished()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (running || !outcome)
        return std::nullopt;
    std::optional<Outcome> result = std::move(outcome);
    outcome.reset();
    return result;
}

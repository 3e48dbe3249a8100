#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "CommandRegistry.h"
#include "FileSys.h"
#include "common/ArchiveWriter.h"
#include "common/WholeFile.h"

namespace fs = std::filesystem;

namespace {

// The longest name the archive directory holds.
constexpr std::size_t kMaxNameLength = 511;

[[noreturn]] void Fail(const std::string& message)
{
    throw std::runtime_error("orvala-tool: " + message);
}

std::string Quoted(const fs::path& path)
{
    return "\"" + path.string() + "\"";
}

// A suffix that no other run picks, for files and folders that are renamed into place once
// they are complete.
std::string TempSuffix()
{
    std::random_device seed;
    return ".tmp-" + std::to_string(seed()) + std::to_string(seed());
}

// Why a name cannot be an entry that unpacks to a file below a folder, or an empty string
// when it can. Backslashes (and, from archives made elsewhere, forward slashes) separate
// the folders.
std::string ProblemWithName(const std::string& name)
{
    if (name.empty())
        return "is empty";
    if (name.size() > kMaxNameLength)
        return "is longer than " + std::to_string(kMaxNameLength) + " bytes";
    if (name[0] == '\\' || name[0] == '/')
        return "is an absolute path";
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':')
        return "starts with a drive letter";
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isspace(byte))
            return "holds white space";
        if (byte < 0x20 || byte == 0x7f)
            return "holds a control character";
        if (c == ':')
            return "holds a colon (a drive letter or a stream name)";
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part.empty())
            return "has an empty folder name";
        if (part == "." || part == "..")
            return "has a \"" + part + "\" folder";
        start = end + 1;
    }
    return std::string();
}

// The folders and file of an entry name (already checked by ProblemWithName).
std::vector<std::string> SplitName(const std::string& name)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = name.size();
        parts.push_back(name.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool IsInside(const fs::path& path, const fs::path& root)
{
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (r->empty() && std::next(r) == root.end())
            break; // a trailing separator of the root
        if (p == path.end() || *p != *r)
            return false;
    }
    return true;
}

// Collects the regular files below a folder as archive entries. Links are followed while
// they stay inside the folder; a link that leaves it, a broken link and a link back into a
// folder being walked (which would never end) are refused.
class FolderPacker {
public:
    FolderPacker(const fs::path& folder, ArchiveWriter& writer) : writer(writer), folder(folder)
    {
        std::error_code error;
        if (!fs::is_directory(folder, error))
            Fail(Quoted(folder) + " is not a folder");
        root = fs::canonical(folder, error);
        if (error)
            Fail("cannot open " + Quoted(folder) + ": " + error.message());
        walking.push_back(root);
        Walk(folder, "");
    }

private:
    void Walk(const fs::path& dir, const std::string& prefix)
    {
        std::error_code error;
        std::vector<fs::path> children;
        for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
            children.push_back(it->path());
        if (error)
            Fail("cannot list " + Quoted(dir) + ": " + error.message());
        std::sort(children.begin(), children.end());

        for (const fs::path& child : children) {
            const std::string part = child.filename().string();
            if (part.find('\\') != std::string::npos)
                Fail("cannot pack " + Quoted(child) + ": its name holds a backslash, which separates folders in "
                     "the archive");
            const std::string name = prefix.empty() ? part : prefix + "\\" + part;

            fs::path target = child;
            const fs::file_status link = fs::symlink_status(child, error);
            if (error)
                Fail("cannot read " + Quoted(child) + ": " + error.message());
            if (fs::is_symlink(link)) {
                target = fs::canonical(child, error);
                if (error)
                    Fail("cannot pack " + Quoted(child) + ": it is a broken link");
                if (!IsInside(target, root))
                    Fail("cannot pack " + Quoted(child) + ": it is a link that leaves " + Quoted(folder));
            }
            const fs::file_status status = fs::status(target, error);
            if (error)
                Fail("cannot read " + Quoted(child) + ": " + error.message());

            if (fs::is_directory(status)) {
                const fs::path canonical = fs::canonical(target, error);
                if (error)
                    Fail("cannot open " + Quoted(child) + ": " + error.message());
                if (std::find(walking.begin(), walking.end(), canonical) != walking.end())
                    Fail("cannot pack " + Quoted(child) + ": it is a link into a folder that holds it");
                walking.push_back(canonical);
                Walk(child, name);
                walking.pop_back();
            } else if (fs::is_regular_file(status)) {
                const std::string problem = ProblemWithName(name);
                if (!problem.empty())
                    Fail("cannot pack " + Quoted(child) + ": the entry name \"" + name + "\" " + problem);
                writer.Add(name, ReadWholeFile(child));
            } else {
                Fail("cannot pack " + Quoted(child) + ": it is neither a regular file nor a folder");
            }
        }
    }

    ArchiveWriter& writer;
    fs::path folder; // as given, for the messages
    fs::path root;   // canonical
    std::vector<fs::path> walking;
};

int Pack(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        throw ToolUsageError{"archive pack needs a folder and an archive"};
    const fs::path archive = args[1];
    std::error_code error;
    if (fs::is_directory(archive, error))
        Fail("cannot write " + Quoted(archive) + ": it is a folder");

    ArchiveWriter writer;
    const FolderPacker packer(args[0], writer);
    const std::vector<unsigned char> bytes = writer.Build(9);

    // Written beside the archive and renamed over it when complete, so that a failure
    // leaves the old archive as it was.
    fs::path temp = archive;
    temp += TempSuffix();
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        fs::remove(temp, error);
        Fail("cannot write " + Quoted(archive));
    }
    fs::rename(temp, archive, error);
    if (error) {
        const std::string reason = error.message();
        fs::remove(temp, error);
        Fail("cannot write " + Quoted(archive) + ": " + reason);
    }
    return 0;
}

void WriteOut(const void* data, std::size_t size)
{
    if (size != 0 && std::fwrite(data, 1, size, stdout) != size)
        Fail("cannot write to standard output");
}

int List(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        throw ToolUsageError{"archive list needs an archive"};
    FileSys fileSys(args[0].c_str());
    for (const auto& [name, coords] : FileSys::GetDirectory()) {
        const std::string line = name + "\t" + std::to_string(coords.uncomp_length) + "\n";
        WriteOut(line.data(), line.size());
    }
    if (std::fflush(stdout) != 0)
        Fail("cannot write to standard output");
    return 0;
}

// The entry's bytes, as long as the directory records.
std::vector<unsigned char> ReadEntry(const std::string& name, const FILECOORDS& coords)
{
    // One byte more than needed, so that an empty entry still has somewhere to inflate to.
    std::vector<unsigned char> bytes(std::size_t(coords.uncomp_length) + 1);
    FileSys::ReadFile(name.c_str(), bytes.data());
    bytes.resize(coords.uncomp_length);
    return bytes;
}

int Cat(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        throw ToolUsageError{"archive cat needs an archive and an entry name"};
    FileSys fileSys(args[0].c_str());
    const auto& directory = FileSys::GetDirectory();
    const auto entry = directory.find(args[1]);
    if (entry == directory.end())
        Fail("no entry \"" + args[1] + "\" in " + Quoted(args[0]));
    const std::vector<unsigned char> bytes = ReadEntry(entry->first, entry->second);
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    WriteOut(bytes.data(), bytes.size());
    if (std::fflush(stdout) != 0)
        Fail("cannot write to standard output");
    return 0;
}

int Unpack(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        throw ToolUsageError{"archive unpack needs an archive and a folder"};
    fs::path folder = fs::path(args[1]).lexically_normal();
    if (!folder.has_filename())
        folder = folder.parent_path();
    if (folder.empty() || folder.filename() == "." || folder.filename() == "..")
        Fail("cannot unpack into " + Quoted(args[1]) + ": name a new or empty folder");

    FileSys fileSys(args[0].c_str());
    const auto& directory = FileSys::GetDirectory();

    // Every name is checked before anything is written: none may leave the folder, and no
    // two may land on the same file or use a file as a folder.
    std::map<std::string, std::string> files; // path below the folder -> entry name
    std::map<std::string, std::string> folders;
    for (const auto& [name, coords] : directory) {
        const std::string problem = ProblemWithName(name);
        if (!problem.empty())
            Fail("refusing to unpack " + Quoted(args[0]) + ": the entry name \"" + name + "\" " + problem);
        const std::vector<std::string> parts = SplitName(name);
        std::string path;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            path += (i == 0 ? "" : "/") + parts[i];
            const bool isFile = i + 1 == parts.size();
            auto& mine = isFile ? files : folders;
            const auto& theirs = isFile ? folders : files;
            const auto clash = theirs.find(path);
            if (clash != theirs.end() || (isFile && mine.count(path) != 0))
                Fail("refusing to unpack " + Quoted(args[0]) + ": the entries \"" +
                     (clash != theirs.end() ? clash->second : mine[path]) + "\" and \"" + name +
                     "\" unpack to the same path");
            mine.emplace(path, name);
        }
    }

    std::error_code error;
    const fs::file_status existing = fs::symlink_status(folder, error);
    const bool exists = fs::exists(existing);
    if (exists && !(fs::is_directory(existing) && fs::is_empty(folder, error) && !error))
        Fail("cannot unpack into " + Quoted(folder) + ": it exists and is not an empty folder");
    const fs::path parent = folder.parent_path();
    if (!parent.empty() && !fs::is_directory(parent, error))
        Fail("cannot unpack into " + Quoted(folder) + ": " + Quoted(parent) + " is not a folder");

    // Unpacked beside the folder and renamed into place when complete, so that a damaged
    // entry leaves nothing half written.
    fs::path temp = folder;
    temp += TempSuffix();
    try {
        fs::create_directory(temp);
        for (const auto& [path, name] : files) {
            const fs::path out = temp / fs::path(path);
            fs::create_directories(out.parent_path());
            const std::vector<unsigned char> bytes = ReadEntry(name, directory.at(name));
            std::ofstream file(out, std::ios::binary | std::ios::trunc);
            file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            file.close();
            if (!file)
                Fail("cannot write " + Quoted(out));
        }
        if (exists)
            fs::remove(folder);
        fs::rename(temp, folder);
    } catch (...) {
        fs::remove_all(temp, error);
        throw;
    }
    return 0;
}

const ToolCommandRegistration registration(
    "archive", ToolSubcommandGroup({{{"archive pack", "<folder> <archive>", {}, 2, ""}, Pack},
                                    {{"archive list", "<archive>", {}, 1, ""}, List},
                                    {{"archive cat", "<archive> <name>", {}, 2, ""}, Cat},
                                    {{"archive unpack", "<archive> <folder>", {}, 2, ""}, Unpack}},
                                   "archive needs a subcommand", "unknown archive subcommand"));

} // namespace

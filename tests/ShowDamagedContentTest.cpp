#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "FileSys.h"
#include "ShowComposition.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "common/ArchiveWriter.h"
#include "image/PngFile.h"
#include "show/TuneAudio.h"

// The show booted from an archive in which one entry is damaged: cut to half its length, a run
// of bytes in its middle flipped, or emptied. The load either stops with the system's message box
// and exit 1, or goes on where the system has a sound fallback (curves, noise, text whose flipped
// byte still reads as valid data) and then draws a picture of the scene that uses the entry.
// It never crashes and never hangs.
//
// A boot of the whole show takes seconds on two cores, and the archive holds more than a
// thousand entries, so every damage of every entry is out of reach. Each kind of entry is a
// test of its own (ctest spreads them over the cores), and within a kind each damage falls on
// one entry picked by a hash of the kind and the damage: the same entries on every run, and
// different entries for the three damages where a kind has several.

namespace {

namespace fs = std::filesystem;

constexpr const char* kSize = "160x90";
constexpr const char* kFps = "10";
// Rows per second of the show's timeline: 128 beats a minute, 8 rows a beat.
constexpr double kRowsPerSecond = 128.0 / 60.0 * 8.0;
// A load that takes longer than this has hung: a good one takes about ten seconds.
constexpr int kHangSeconds = 150;

enum class Damage { Truncated, Flipped, Emptied };

const char* DamageName(Damage damage)
{
    switch (damage) {
    case Damage::Truncated:
        return "truncated";
    case Damage::Flipped:
        return "flipped";
    case Damage::Emptied:
        return "emptied";
    }
    return "?";
}

std::vector<unsigned char> Damaged(std::vector<unsigned char> bytes, Damage damage)
{
    switch (damage) {
    case Damage::Truncated:
        bytes.resize(bytes.size() / 2);
        break;
    case Damage::Flipped: {
        // Eight bytes in the middle, every bit inverted.
        const std::size_t middle = bytes.size() / 2;
        for (std::size_t i = middle; i < bytes.size() && i < middle + 8; ++i)
            bytes[i] = static_cast<unsigned char>(~bytes[i]);
        break;
    }
    case Damage::Emptied:
        bytes.clear();
        break;
    }
    return bytes;
}

using Entries = std::map<std::string, std::vector<unsigned char>>;

// Every entry of the built archive, read through the show's own reader.
const Entries& ShowEntries()
{
    static const Entries entries = [] {
        Entries read;
        FileSys files(ORVALA_CONTENT_ARCHIVE);
        for (const auto& [name, coords] : FileSys::GetDirectory()) {
            std::vector<unsigned char> bytes(coords.uncomp_length);
            if (!bytes.empty())
                FileSys::ReadFile(name.c_str(), bytes.data());
            read[name] = std::move(bytes);
        }
        return read;
    }();
    return entries;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

// The kind of content an entry holds, by its name; "" for entries the show does not read as
// content of its own (the effect sources' shared headers travel with the archive for the tools).
std::string KindOf(const std::string& name)
{
    if (StartsWith(name, "Data\\anim\\"))
        return "curve";
    if (StartsWith(name, "Data\\sync_") && EndsWith(name, ".track"))
        return "track";
    if (EndsWith(name, ".x"))
        return "mesh";
    if (EndsWith(name, ".png") || EndsWith(name, ".dds"))
        return "texture";
    if (EndsWith(name, ".fxo"))
        return "effect";
    if (EndsWith(name, ".xml"))
        return "scene";
    if (EndsWith(name, ".ogg"))
        return "tune";
    if (name == "Data\\noise.bin")
        return "noise";
    return "";
}

std::vector<std::string> EntriesOfKind(const std::string& kind)
{
    std::vector<std::string> names;
    for (const auto& [name, bytes] : ShowEntries())
        if (KindOf(name) == kind)
            names.push_back(name);
    return names;
}

// FNV-1a: a hash that is the same on every platform and run.
std::uint32_t Fnv(const std::string& text)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : text)
        hash = (hash ^ c) * 16777619u;
    return hash;
}

std::string Picked(const std::vector<std::string>& names, const std::string& kind, Damage damage)
{
    return names[Fnv(kind + "/" + DamageName(damage)) % names.size()];
}

std::string Text(const std::vector<unsigned char>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// The stem of an entry's file name: "Data\\anim\\A.rotateX" gives "A", "Data\\AShape.x" "AShape".
std::string Stem(const std::string& name)
{
    std::string file = name.substr(name.rfind('\\') + 1);
    return file.substr(0, file.find('.'));
}

// The scene whose description names the entry (by its file or, for a curve, by its object),
// or "" when none does.
std::string SceneUsing(const std::string& name)
{
    const std::string kind = KindOf(name);
    if (kind == "scene")
        return Stem(name);
    const std::string file = name.substr(name.rfind('\\') + 1);
    const std::string needle = kind == "curve" ? "\"" + Stem(name) + "\"" : file;
    for (const auto& [other, bytes] : ShowEntries())
        if (KindOf(other) == "scene" && Text(bytes).find(needle) != std::string::npos)
            return Stem(other);
    return "";
}

struct BoundedRun {
    int status = -1; // exit code, or 128 + signal, or 124 when it hung
    std::string out;
    std::string err;
};

// orvala-tool with the arguments, stopped when it runs longer than a load may take.
BoundedRun RunToolBounded(const std::vector<std::string>& args)
{
    TempDir capture;
    const fs::path out = capture.path() / "stdout", err = capture.path() / "stderr";
    std::string command = "timeout -k 5 " + std::to_string(kHangSeconds) + " " + ShellQuoted(ORVALA_TOOL_PATH);
    for (const std::string& arg : args)
        command += " " + ShellQuoted(arg);
    command += " >" + ShellQuoted(out.string()) + " 2>" + ShellQuoted(err.string()) + " </dev/null";
    const int status = std::system(command.c_str());
    BoundedRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadFileBytes(out);
    run.err = ReadFileBytes(err);
    return run;
}

// When each scene is first shown in the built show, in seconds, read from its "Scene" track.
std::map<std::string, double> SceneEntryTimes()
{
    const double halfSecondRows = kRowsPerSecond / 2.0;
    std::vector<std::string> args = {"track", "eval", ORVALA_CONTENT_ARCHIVE, "Scene"};
    const int steps = 150 * 2; // the show is shorter than 150 s
    for (int i = 0; i < steps; ++i)
        args.push_back(std::to_string(i * halfSecondRows));
    const BoundedRun run = RunToolBounded(args);
    EXPECT_EQ(run.status, 0) << run.err;
    std::map<std::string, double> times;
    std::istringstream values(run.out);
    const std::vector<std::string>& names = ShowSceneNames();
    double value = 0.0;
    for (int i = 0; i < steps && values >> value; ++i) {
        const auto index = static_cast<unsigned>(static_cast<long long>(value));
        const std::string& scene = names.at(index < names.size() ? index : 0);
        times.emplace(scene, i / 2.0);
    }
    return times;
}

// A picture of one colour everywhere holds nothing of the scene.
bool Uniform(const std::vector<std::uint8_t>& bgra)
{
    for (std::size_t i = 4; i + 3 < bgra.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            if (bgra[i + c] != bgra[c])
                return false;
    return true;
}

class ShowDamagedContentTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ShowDamagedContentTest, DamagedEntryGivesTheBoxAndExitOneOrAFallbackNeverACrash)
{
    const std::string kind = GetParam();
    const std::vector<std::string> names = EntriesOfKind(kind);
    ASSERT_FALSE(names.empty()) << "the archive holds no " << kind;
    const std::map<std::string, double> sceneTimes = SceneEntryTimes();

    for (Damage damage : {Damage::Truncated, Damage::Flipped, Damage::Emptied}) {
        const std::string name = Picked(names, kind, damage);
        const std::string what = name + " " + DamageName(damage);
        SCOPED_TRACE(what);
        TempDir folder;
        ArchiveWriter writer;
        for (const auto& [entry, bytes] : ShowEntries())
            writer.Add(entry, entry == name ? Damaged(bytes, damage) : bytes);
        const fs::path archive = folder.path() / "basefile.dat";
        writer.Write(archive.string(), 1);

        if (kind == "tune") {
            // The frame and the capture draw without playing it; the capture reads it whole.
            try {
                const TuneAudio tune = ReadTune(archive);
                EXPECT_GT(tune.Frames(), 0);
            } catch (const std::runtime_error& e) {
                EXPECT_NE(std::string(e.what()).find("Data\\tune.ogg"), std::string::npos) << e.what();
            }
            continue;
        }

        // A second into the scene that uses the entry, or the opening when none names it.
        const std::string scene = SceneUsing(name);
        const auto found = sceneTimes.find(scene);
        const double seconds = found != sceneTimes.end() ? found->second + 1.0 : 1.0;
        const fs::path picture = folder.path() / "frame.png";
        const BoundedRun run = RunToolBounded({"frame", archive.string(), std::to_string(seconds), picture.string(),
                                        "--size", kSize, "--fps", kFps});
        ASSERT_NE(run.status, 124) << "the load hung; " << run.err;
        ASSERT_TRUE(run.status == 0 || run.status == 1)
            << "the load ended with " << run.status << " (a crash)\n" << run.err;
        std::printf("%s: %s\n", what.c_str(), run.status == 1 ? run.err.c_str() : "loaded and drew\n");
        if (run.status == 1) {
            // The host's message box, as the recorder reports it, and no picture.
            EXPECT_NE(run.err.find_first_not_of(" \r\n"), std::string::npos) << "exit 1 without a message";
            EXPECT_FALSE(fs::exists(picture));
            continue;
        }
        std::vector<std::uint8_t> bgra;
        unsigned width = 0, height = 0;
        ASSERT_TRUE(ReadPngBGRA(picture.string(), bgra, width, height)) << run.out << run.err;
        EXPECT_EQ(width, 160u);
        EXPECT_EQ(height, 90u);
        EXPECT_FALSE(Uniform(bgra)) << "the scene " << scene << " drew nothing at " << seconds << " s";
        const fs::path kept = fs::path(ORVALA_PICTURE_DIR) / ("damaged-" + kind + "-" + DamageName(damage) + ".png");
        fs::create_directories(kept.parent_path());
        fs::copy_file(picture, kept, fs::copy_options::overwrite_existing);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ShowDamagedContentTest,
                         ::testing::Values("mesh", "texture", "effect", "scene", "track", "curve", "tune", "noise"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// Every entry of the archive is of a kind the test above damages, but for the effects' shared
// headers, so an entry of a new kind is not left out unseen.
TEST(ShowDamagedContentKinds, EveryEntryHasAKind)
{
    for (const auto& [name, bytes] : ShowEntries()) {
        if (KindOf(name).empty()) {
            EXPECT_TRUE(StartsWith(name, "Shaders\\") && EndsWith(name, ".fxh")) << name;
        }
    }
}

} // namespace

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "studio/Studio.h"
#include "studio/StudioContent.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// What an editor that saves safely does: the new text into a file beside, renamed over the old.
void RenameSave(const fs::path& path, const std::string& text)
{
    const fs::path beside = path.parent_path() / (path.filename().string() + ".tmp~");
    Write(beside, text);
    fs::rename(beside, path);
}

// Polls the watcher for up to two seconds; how many changes it reported.
int ChangesWithin(ContentWatcher& watcher, double seconds = 2.0)
{
    int changes = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (watcher.Changed())
            ++changes;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return changes;
}

} // namespace

TEST(StudioContent, DiagnosticsAreReadFromTheBuildsOutput)
{
    const fs::path content = "/home/a/show";
    struct Case {
        const char* output;
        std::vector<std::string> expected; // "file|line|message"
    };
    const Case cases[] = {
        {"[3/9] Effect glow.fx\n/home/a/show/effects/glow.fx:12: error: 'vec5' : no such type\nFAILED: x\n"
         "/home/a/show/effects/glow.fx:12: error: 'vec5' : no such type\nninja: build stopped\n",
         {"effects/glow.fx|12|'vec5' : no such type"}},
        {"/home/a/show/sync/Scene.txt:4:7: error: a row must be a whole number\n", {"sync/Scene.txt|4|a row must be a whole number"}},
        {"/elsewhere/x.txt: error: cannot read \"x\"\n", {"/elsewhere/x.txt|0|cannot read \"x\""}},
        // The forms of the content tools: effects, tracks, curves.
        {"/home/a/show/effects/bad.fx(1): error: ';' expected after the pass state, not \"vs_3_0\"\n",
         {"effects/bad.fx|1|';' expected after the pass state, not \"vs_3_0\""}},
        {"/home/a/show/sync/Scene.txt: line 2: row \"abc\" is not an unsigned 32-bit integer\n",
         {"sync/Scene.txt|2|row \"abc\" is not an unsigned 32-bit integer"}},
        {"/home/a/show/anim/c.txt:1: expected four numbers, found 3 words\n", {"anim/c.txt|1|expected four numbers, found 3 words"}},
        {"FAILED: stage/Data/a.x\norvala-tool: cannot write the mesh: disk full\nninja: build stopped: subcommand failed.\n",
         {"meshes/meshes.txt|0|orvala-tool: cannot write the mesh: disk full"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        for (const ContentDiagnostic& d : ParseDiagnostics(c.output, content, "meshes/meshes.txt"))
            got.push_back(d.file + "|" + std::to_string(d.line) + "|" + d.message);
        EXPECT_EQ(got, c.expected) << c.output;
    }
}

TEST(StudioContent, StagePackIsTheToolsArchiveAndNamesWhatChanged)
{
    TempDir dir;
    const fs::path stage = dir.path() / "stage";
    Write(stage / "Data" / "a.txt", "alpha");
    Write(stage / "Data" / "anim" / "cam.translateX", std::string(5000, 'x'));
    Write(stage / "OShaders" / "glow.fxo", "object");

    StageArchive packer;
    StageArchive::Result first = packer.Pack(stage);
    EXPECT_EQ(first.changed, (std::set<std::string>{"Data\\a.txt", "Data\\anim\\cam.translateX", "OShaders\\glow.fxo"}));
    const fs::path tools = dir.path() / "tool.dat";
    ASSERT_EQ(RunTool({"archive", "pack", stage.string(), tools.string()}).exitCode, 0);
    EXPECT_EQ(std::string(first.archive.begin(), first.archive.end()), ReadFileBytes(tools));

    EXPECT_TRUE(packer.Pack(stage).changed.empty()) << "nothing changed, nothing to reload";

    Write(stage / "Data" / "a.txt", "alpha, changed");
    fs::remove(stage / "OShaders" / "glow.fxo");
    Write(stage / "Data" / "b.txt", "new");
    StageArchive::Result second = packer.Pack(stage);
    EXPECT_EQ(second.changed, (std::set<std::string>{"Data\\a.txt", "Data\\b.txt", "OShaders\\glow.fxo"}));
    ASSERT_EQ(RunTool({"archive", "pack", stage.string(), tools.string()}).exitCode, 0);
    EXPECT_EQ(std::string(second.archive.begin(), second.archive.end()), ReadFileBytes(tools))
        << "streams kept from the first pack make the same archive as packing afresh";

    packer.Forget({"Data\\b.txt"});
    EXPECT_EQ(packer.Pack(stage).changed, (std::set<std::string>{"Data\\b.txt"}));
}

TEST(StudioContent, SourcesChangeOnlyWithTheirBytes)
{
    TempDir dir;
    Write(dir.path() / "sync" / "Scene.txt", "0 1 step\n");
    Write(dir.path() / "effects" / "glow.fx", "technique t {}\n");
    Write(dir.path() / ".hidden" / "x", "editor state");
    Write(dir.path() / "effects" / "glow.fx~", "backup");
    const std::map<std::string, std::string> before = ContentSources(dir.path());
    EXPECT_EQ(before.size(), 2u) << "hidden files and backups are no sources";

    RenameSave(dir.path() / "sync" / "Scene.txt", "0 1 step\n");
    EXPECT_EQ(ContentSources(dir.path()), before) << "a save of the same bytes";
    EXPECT_EQ(ContentFingerprint(dir.path()), FingerprintOf(before));

    RenameSave(dir.path() / "sync" / "Scene.txt", "0 2 step\n");
    const std::map<std::string, std::string> after = ContentSources(dir.path());
    EXPECT_NE(after.at("sync/Scene.txt"), before.at("sync/Scene.txt"));
    EXPECT_EQ(after.at("effects/glow.fx"), before.at("effects/glow.fx"));
    EXPECT_NE(FingerprintOf(after), FingerprintOf(before));
}

TEST(StudioContent, WatcherSeesRenameSavesNewFoldersAndMakesOneChangeOfABurst)
{
    TempDir dir;
    Write(dir.path() / "sync" / "Scene.txt", "0 1 step\n");
    ContentWatcher watcher(dir.path(), 0.15);
    EXPECT_EQ(ChangesWithin(watcher, 0.3), 0);

    RenameSave(dir.path() / "sync" / "Scene.txt", "0 2 step\n");
    EXPECT_EQ(ChangesWithin(watcher), 1) << "a save by rename";

    for (int i = 0; i < 6; ++i) {
        Write(dir.path() / "sync" / "Scene.txt", "0 " + std::to_string(i) + " step\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(ChangesWithin(watcher), 1) << "a burst of saves";

    fs::create_directories(dir.path() / "anim");
    ChangesWithin(watcher, 0.5);
    Write(dir.path() / "anim" / "cam.translateX.txt", "0 0 0 0\n");
    EXPECT_EQ(ChangesWithin(watcher), 1) << "a file in a folder made after the watch began";

    Write(dir.path() / ".swap", "x");
    EXPECT_EQ(ChangesWithin(watcher, 0.5), 0) << "hidden files are not watched";
}

TEST(StudioContent, WorkFolderIsNeverInsideTheSources)
{
    TempDir dir;
    const char* previous = std::getenv("ORVALA_STUDIO_WORK");
    const std::string kept = previous ? previous : "";
    setenv("ORVALA_STUDIO_WORK", (dir.path() / "content" / "build").c_str(), 1);
    EXPECT_THROW(StudioWorkFolder(dir.path() / "content"), std::runtime_error);
    setenv("ORVALA_STUDIO_WORK", (dir.path() / "work").c_str(), 1);
    EXPECT_EQ(StudioWorkFolder(dir.path() / "content"), dir.path() / "work");
    unsetenv("ORVALA_STUDIO_WORK");
    setenv("XDG_CACHE_HOME", dir.path().c_str(), 1);
    const fs::path chosen = StudioWorkFolder(dir.path() / "content");
    EXPECT_EQ(chosen.parent_path(), dir.path() / "orvala-studio");
    EXPECT_NE(chosen, StudioWorkFolder(dir.path() / "other" / "content")) << "two shows, two work folders";
    unsetenv("XDG_CACHE_HOME");
    if (previous)
        setenv("ORVALA_STUDIO_WORK", kept.c_str(), 1);
}

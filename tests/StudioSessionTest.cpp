// orvala-studio as automation drives it: headless, commands on standard input as they are
// written, the content folder edited the way editors save while it runs.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ToolRun.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

const fs::path kBuild = fs::path(ORVALA_CONTENT_ARCHIVE).parent_path();
constexpr const char* kSize = "320x180";

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What an editor that saves safely does: the new text into a file beside, renamed over the old.
void RenameSave(const fs::path& path, const std::string& text)
{
    const fs::path beside = path.parent_path() / ("." + path.filename().string() + ".swp");
    std::ofstream(beside, std::ios::binary | std::ios::trunc) << text;
    fs::rename(beside, path);
}

// A copy of the tree's Content/ that keeps the files' times, so that the studio's work folder,
// kept between runs in the build tree, finds what it made last time up to date.
void CopyContent(const fs::path& to)
{
    const fs::path from = fs::path(ORVALA_SOURCE_DIR) / "Content";
    fs::remove_all(to);
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        const fs::path target = to / entry.path().lexically_relative(from);
        if (entry.is_directory()) {
            fs::create_directories(target);
        } else if (entry.is_regular_file()) {
            fs::create_directories(target.parent_path());
            fs::copy_file(entry.path(), target);
            fs::last_write_time(target, entry.last_write_time());
        }
    }
}

// Whether two PNG files hold the same bytes, told by their lengths and a checksum, never printed.
::testing::AssertionResult SameBytes(const std::string& a, const std::string& b)
{
    const auto describe = [](const std::string& bytes) {
        return std::to_string(bytes.size()) + " bytes, hash " + std::to_string(std::hash<std::string>{}(bytes));
    };
    if (a == b)
        return ::testing::AssertionSuccess() << "both " << describe(a);
    return ::testing::AssertionFailure() << describe(a) << " against " << describe(b);
}

// One field of the studio's status ("content_version", "ok", ...): the text of its value.
std::string Field(const std::string& json, const std::string& name)
{
    std::smatch match;
    const std::regex pattern("\"" + name + "\": (\"(?:[^\"\\\\]|\\\\.)*\"|[^,}\\n]*)");
    return std::regex_search(json, match, pattern) ? match[1].str() : "<missing>";
}

// A studio running headless on a content folder, its commands written to its standard input.
class Studio {
public:
    Studio(const fs::path& content, const fs::path& work, const fs::path& log) : log(log)
    {
        int input[2];
        if (pipe(input) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_addclose(&actions, input[1]);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        // Headless whatever the machine has: no display.
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "WAYLAND_DISPLAY=", 16) != 0 &&
                std::strncmp(*e, "ORVALA_STUDIO_WORK=", 19) != 0)
                environment.push_back(*e);
        environment.push_back("ORVALA_STUDIO_WORK=" + work.string());
        std::vector<char*> envp;
        for (std::string& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> args = {ORVALA_STUDIO_PATH, "--content", content.string(), "--size", kSize,
                                         "--script", "-"};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int spawned = posix_spawn(&pid, ORVALA_STUDIO_PATH, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(input[0]);
        if (spawned != 0)
            throw std::runtime_error("cannot start orvala-studio");
        commands = input[1];
    }
    ~Studio()
    {
        if (commands >= 0)
            close(commands);
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    void Send(const std::string& line)
    {
        const std::string text = line + "\n";
        ASSERT_EQ(write(commands, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }

    // Every command before it done, the status as JSON (the first start builds all the content).
    std::string Status(int limitSeconds = 240)
    {
        const fs::path file = log.parent_path() / ("status-" + std::to_string(++asked) + ".json");
        Send("status " + file.string());
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
        while (!fs::exists(file)) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                ADD_FAILURE() << "the studio ended early:\n" << ReadText(log);
                return "";
            }
            if (std::chrono::steady_clock::now() > end) {
                ADD_FAILURE() << "no status within " << limitSeconds << " s:\n" << ReadText(log);
                return "";
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return ReadText(file);
    }

    // The picture at the current time, once drawn.
    std::string Shot(const std::string& name)
    {
        const fs::path file = log.parent_path() / name;
        Send("shot " + file.string());
        Status();
        return ReadText(file);
    }

    // Quits and returns the exit code.
    int Quit()
    {
        Send("quit");
        close(commands);
        commands = -1;
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Log() const { return ReadText(log); }

private:
    fs::path log;
    pid_t pid = -1;
    int commands = -1;
    int asked = 0;
};

// The picture orvala-tool frame draws from an archive at a time, at the studio's size.
std::string Frame(const fs::path& archive, const std::string& seconds, const fs::path& out)
{
    const ToolResult run = RunTool({"frame", archive.string(), seconds, out.string(), "--size", kSize});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return ReadText(out);
}

class StudioSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder = kBuild / "studio-test" / name;
        fs::create_directories(folder);
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename() != "work")
                fs::remove_all(entry.path());
        content = folder / "content";
        CopyContent(content);
    }

    fs::path folder;
    fs::path content;
};

} // namespace

TEST_F(StudioSessionTest, EditsReloadBetweenFramesAndMatchAFreshStart)
{
    Studio studio(content, folder / "work", folder / "studio.log");
    studio.Send("pause");
    studio.Send("at 37.5");

    // Unedited, the studio draws what orvala-tool frame draws and packs what the content build packs.
    const std::string unedited = studio.Shot("unedited.png");
    EXPECT_TRUE(SameBytes(unedited, Frame(ORVALA_CONTENT_ARCHIVE, "37.5", folder / "frame-unedited.png")));
    studio.Send("pack " + (folder / "unedited.dat").string());
    std::string status = studio.Status();
    EXPECT_TRUE(SameBytes(ReadText(folder / "unedited.dat"), ReadText(ORVALA_CONTENT_ARCHIVE)));
    EXPECT_EQ(Field(status, "content_version"), "1");
    EXPECT_EQ(Field(status, "scene"), "\"CornellScene\"");

    // The track "Scene", saved by rename while the studio runs: 37.5 s shows the room instead.
    const fs::path sceneTrack = content / "sync" / "Scene.txt";
    const std::string track = ReadText(sceneTrack);
    const std::string edited = std::regex_replace(track, std::regex("\n512   2   step"), "\n512   3   step");
    ASSERT_NE(edited, track);
    RenameSave(sceneTrack, edited);
    studio.Send("wait-reload");
    const std::string room = studio.Shot("room.png");
    status = studio.Status();
    EXPECT_EQ(Field(status, "content_version"), "2");
    EXPECT_EQ(Field(status, "what"), "\"sync/Scene.txt\"");
    EXPECT_EQ(Field(status, "ok"), "true");
    EXPECT_EQ(Field(status, "scene"), "\"RoomScene\"");
    EXPECT_FALSE(SameBytes(room, unedited));
    studio.Send("pack " + (folder / "room.dat").string());
    studio.Status();
    EXPECT_TRUE(SameBytes(room, Frame(folder / "room.dat", "37.5", folder / "frame-room.png")))
        << "the live picture after a reload is the one a fresh start from the same sources draws";

    // A save of the same bytes reloads nothing.
    RenameSave(sceneTrack, edited);
    studio.Send("wait-reload");
    EXPECT_EQ(Field(studio.Status(), "content_version"), "2");

    // An effect that does not compile: the picture stays, the status names the file and the line.
    const fs::path effect = content / "effects" / "DefLight.fx";
    const std::string good = ReadText(effect);
    std::string broken = good;
    std::size_t lineTen = 0;
    for (int line = 1; line < 10; ++line)
        lineTen = broken.find('\n', lineTen) + 1;
    broken.insert(lineTen, "float4 broken( ;\n");
    RenameSave(effect, broken);
    studio.Send("wait-reload");
    EXPECT_TRUE(SameBytes(studio.Shot("broken.png"), room));
    status = studio.Status();
    EXPECT_EQ(Field(status, "ok"), "false");
    EXPECT_EQ(Field(status, "file"), "\"effects/DefLight.fx\"");
    EXPECT_EQ(Field(status, "line"), "10");
    EXPECT_EQ(Field(status, "content_version"), "2");
    EXPECT_NE(studio.Log().find("effects/DefLight.fx:10: error: "), std::string::npos) << studio.Log();

    // One that compiles and makes NaN: the picture changes, and mending it brings it back whole.
    const std::string lit = "* attenuation, 0.0);";
    ASSERT_NE(good.find(lit), std::string::npos);
    std::string poisoned = good;
    poisoned.replace(poisoned.find(lit), lit.size(), "* attenuation * sqrt(attenuation - 2.0), 0.0);");
    RenameSave(effect, poisoned);
    studio.Send("wait-reload");
    EXPECT_FALSE(SameBytes(studio.Shot("nan.png"), room));
    RenameSave(effect, good);
    studio.Send("wait-reload");
    EXPECT_TRUE(SameBytes(studio.Shot("mended.png"), room));
    status = studio.Status();
    EXPECT_EQ(Field(status, "ok"), "true");
    EXPECT_EQ(Field(status, "what"), "\"effects/DefLight.fx\"");

    // A bad command names its line and the studio goes on; the run then ends with exit code 1.
    studio.Send("jump 12");
    studio.Status();
    EXPECT_NE(studio.Log().find("stdin:"), std::string::npos);
    EXPECT_NE(studio.Log().find(": error: unknown command \"jump\""), std::string::npos) << studio.Log();
    EXPECT_EQ(studio.Quit(), 1);
}

TEST_F(StudioSessionTest, OneScenesWordChangesNoFrameOfAnother)
{
    Studio studio(content, folder / "work", folder / "studio.log");
    studio.Send("pause");
    // The cornell box, the room, the morph's word, the image cube.
    const std::vector<std::string> times = {"37.5", "50", "63", "80"};
    std::vector<std::string> before;
    for (const std::string& time : times) {
        studio.Send("at " + time);
        before.push_back(studio.Shot("before-" + time + ".png"));
    }

    const fs::path meshes = content / "meshes" / "meshes.txt";
    const std::string list = ReadText(meshes);
    const std::string word = "scatterShape text scatter ";
    ASSERT_NE(list.find(word), std::string::npos);
    std::string edited = list;
    edited.replace(edited.find(word), word.size(), "scatterShape text shatter ");
    RenameSave(meshes, edited);
    studio.Send("wait-reload");
    const std::string status = studio.Status();
    EXPECT_EQ(Field(status, "ok"), "true") << studio.Log();
    EXPECT_EQ(Field(status, "content_version"), "2");

    std::string shatter;
    for (std::size_t i = 0; i < times.size(); ++i) {
        studio.Send("at " + times[i]);
        const std::string after = studio.Shot("after-" + times[i] + ".png");
        if (times[i] == "63") {
            EXPECT_FALSE(SameBytes(after, before[i])) << "the morph shows its new word";
            shatter = after;
        } else {
            EXPECT_TRUE(SameBytes(after, before[i])) << "the frame at " << times[i] << " s moved with another scene's word";
        }
    }

    // The word's mesh gone from the list: the content builds, but the scene cannot be made from it.
    // The last good content stays on screen and the error names the list.
    std::string without = edited;
    const std::size_t line = without.find("scatterShape text shatter ");
    without.erase(line, without.find('\n', line) + 1 - line);
    studio.Send("at 63");
    RenameSave(meshes, without);
    studio.Send("wait-reload");
    std::string failed = studio.Status();
    EXPECT_EQ(Field(failed, "ok"), "false") << studio.Log();
    EXPECT_EQ(Field(failed, "file"), "\"meshes/meshes.txt\"");
    EXPECT_NE(Field(failed, "message").find("scatterShape.x"), std::string::npos) << failed;
    EXPECT_EQ(Field(failed, "content_version"), "2");
    EXPECT_TRUE(SameBytes(studio.Shot("without-63.png"), shatter));
    RenameSave(meshes, edited);
    studio.Send("wait-reload");
    EXPECT_EQ(Field(studio.Status(), "ok"), "true");
    EXPECT_TRUE(SameBytes(studio.Shot("restored-63.png"), shatter));
    EXPECT_EQ(studio.Quit(), 0);
}

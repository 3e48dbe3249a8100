#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "CaptureMedia.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "common/ArchiveWriter.h"
#include "image/PngFile.h"
#include "show/TuneAudio.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace capture_media;

namespace {

// Every file below the folder, by its path relative to it.
std::set<std::string> FilesIn(const fs::path& folder)
{
    std::set<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        files.insert(fs::relative(entry.path(), folder).string());
    return files;
}

// The lag in samples at which `decoded` lines up best with `reference` (within ±maxLag), and how
// well it then matches: the normalised correlation over the middle of the two.
std::pair<long, double> BestLag(const std::vector<float>& reference, const std::vector<float>& decoded, long maxLag)
{
    const std::size_t length = std::min(reference.size(), decoded.size());
    std::pair<long, double> best = {0, -1.0};
    if (length <= static_cast<std::size_t>(4 * maxLag))
        return best;
    const std::size_t begin = static_cast<std::size_t>(maxLag), end = length - static_cast<std::size_t>(maxLag);
    for (long lag = -maxLag; lag <= maxLag; ++lag) {
        double product = 0.0, referencePower = 0.0, decodedPower = 0.0;
        for (std::size_t i = begin; i < end; ++i) {
            const double r = reference[i], d = decoded[static_cast<std::size_t>(static_cast<long>(i) + lag)];
            product += r * d;
            referencePower += r * r;
            decodedPower += d * d;
        }
        const double correlation = product / std::sqrt(referencePower * decodedPower + 1e-30);
        if (correlation > best.second)
            best = {lag, correlation};
    }
    return best;
}

struct CaptureCase {
    const char* file;
    const char* videoCodec;
    const char* audioCodec;
    const char* sampleRate;
    double declaredAudioStart; // where the container says the sound's packets start
};

// Each container in a test of its own: a capture boots the whole show.
class CaptureCommandFileTest : public ::testing::TestWithParam<CaptureCase> {};

TEST_P(CaptureCommandFileTest, AShortCaptureHoldsTheShowAndItsTuneFromTheSameMoment)
{
    const TuneAudio tune = ReadTune(ORVALA_CONTENT_ARCHIVE);
    ASSERT_EQ(tune.rate, 44100u);
    // The tune from 29 s to 31 s, one channel.
    std::vector<std::int16_t> stretch;
    tune.AppendFrames(29 * 44100, 2 * 44100, stretch);
    std::vector<float> reference;
    for (std::size_t i = 0; i + tune.channels <= stretch.size(); i += tune.channels)
        reference.push_back((stretch[i] + stretch[i + tune.channels - 1]) / 65536.0f);
    double power = 0.0;
    for (float r : reference)
        power += r * r;
    ASSERT_GT(std::sqrt(power / reference.size()), 0.01) << "the tune is silent there: nothing to compare";

    const CaptureCase& c = GetParam();
    TempDir dir;
    const fs::path file = dir.path() / c.file;
    const ToolResult run = RunTool({"capture", ORVALA_CONTENT_ARCHIVE, file.string(), "--size", "160x90", "--fps",
                                    "10", "--from", "29", "--to", "31"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("2.000 s from 29.000 s, 20 frames at 10 fps, 160x90"), std::string::npos) << run.out;
    EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{c.file});

    const std::vector<StreamFields> streams = ProbeStreams(file);
    ASSERT_EQ(streams.size(), 2u);
    StreamFields video = streams[0], audio = streams[1];
    EXPECT_EQ(video["codec_type"], "video");
    EXPECT_EQ(video["codec_name"], c.videoCodec);
    EXPECT_EQ(video["pix_fmt"], "yuv420p");
    EXPECT_EQ(video["width"] + "x" + video["height"], "160x90");
    EXPECT_EQ(video["r_frame_rate"], "10/1");
    EXPECT_EQ(video["nb_read_frames"], "20");
    EXPECT_NEAR(std::stod(video["start_time"]), 0.0, 1e-6);
    EXPECT_EQ(audio["codec_type"], "audio");
    EXPECT_EQ(audio["codec_name"], c.audioCodec);
    EXPECT_EQ(audio["sample_rate"], c.sampleRate);
    EXPECT_EQ(audio["channels"], "2");
    EXPECT_NEAR(std::stod(audio["start_time"]), c.declaredAudioStart, 0.0006);
    // As a player has them: both start at 0 and end together at 2 s.
    const std::vector<DecodedFrame> pictures = DecodedFrames(file, "v"), sound = DecodedFrames(file, "a");
    ASSERT_FALSE(pictures.empty());
    ASSERT_FALSE(sound.empty());
    EXPECT_NEAR(pictures.front().time, 0.0, 1e-6);
    EXPECT_NEAR(sound.front().time, 0.0, 0.0005);
    const unsigned rate = static_cast<unsigned>(std::stoul(c.sampleRate));
    EXPECT_NEAR(StreamEnd(file, "v"), 2.0, 0.001);
    EXPECT_NEAR(StreamEnd(file, "a", rate), 2.0, 0.002);

    // The sound is the tune from 29 s, to the sample.
    const auto [lag, match] = BestLag(reference, DecodedSound(file, 44100), 1500);
    EXPECT_LE(std::abs(lag), 2) << "the sound is " << lag << " samples off the tune";
    EXPECT_GT(match, 0.9);

    // The first picture is the show's (a person can look at it), not a flat field.
    const std::vector<unsigned char> rgb = FirstPictureRgb(file);
    ASSERT_EQ(rgb.size(), 160u * 90u * 3u);
    std::vector<unsigned char> bgra;
    double sum = 0.0, squares = 0.0;
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        bgra.insert(bgra.end(), {rgb[i + 2], rgb[i + 1], rgb[i], 255});
        const double luma = 0.2126 * rgb[i] + 0.7152 * rgb[i + 1] + 0.0722 * rgb[i + 2];
        sum += luma;
        squares += luma * luma;
    }
    fs::create_directories(ORVALA_PICTURE_DIR);
    WritePngBGRA((fs::path(ORVALA_PICTURE_DIR) / (std::string("capture-") + c.file + ".png")).string(), bgra.data(),
                 160, 90, 160 * 4);
    const double mean = sum / (160 * 90), spread = std::sqrt(squares / (160 * 90) - mean * mean);
    EXPECT_GT(spread, 8.0) << "a flat picture of level " << mean;
}

INSTANTIATE_TEST_SUITE_P(CaptureContainers, CaptureCommandFileTest,
                         ::testing::Values(CaptureCase{"show.mp4", "h264", "aac", "44100", 0.0},
                                           // Opus's pre-skip (312 samples) is declared as the
                                           // codec's delay: its packets start that much before 0,
                                           // and its first sample after the skip plays at 0.
                                           CaptureCase{"show.webm", "vp9", "opus", "48000", -0.0065}),
                         [](const ::testing::TestParamInfo<CaptureCase>& info) {
                             return std::string(info.param.audioCodec);
                         });

TEST(CaptureCommandTest, AFailingCaptureSaysWhyAndLeavesNoFile)
{
    TempDir dir;
    const std::string archive = ORVALA_CONTENT_ARCHIVE;
    ArchiveWriter noTune;
    noTune.Add("Data\\tune.mod", std::string("a module"));
    noTune.Write((dir.path() / "no-tune.dat").string());
    // The tune and nothing of the show: it fails while loading, after the file was started.
    ArchiveWriter tuneOnly;
    tuneOnly.Add("Data\\tune.ogg", ReadFileBytes(fs::path(ORVALA_CONTENT_STAGE) / "Data" / "tune.ogg"));
    tuneOnly.Write((dir.path() / "tune-only.dat").string());
    const std::string out = (dir.path() / "out.mp4").string();

    struct Case {
        const char* what;
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {"odd size", {archive, out, "--size", "161x90"}, "the width and the height must be even"},
        {"size not WxH", {archive, out, "--size", "160by90"}, "--size takes WIDTHxHEIGHT, each 1 to 8192, not \"160by90\""},
        {"zero size", {archive, out, "--size", "0x90"}, "--size takes WIDTHxHEIGHT, each 1 to 8192, not \"0x90\""},
        {"other extension", {archive, (dir.path() / "out.mkv").string()}, "must be a .mp4 or a .webm file"},
        {"no extension", {archive, (dir.path() / "out").string()}, "must be a .mp4 or a .webm file"},
        {"zero fps", {archive, out, "--fps", "0"}, "--fps takes a whole number from 1 to 1000, not \"0\""},
        {"fractional fps", {archive, out, "--fps", "29.97"}, "--fps takes a whole number from 1 to 1000, not \"29.97\""},
        {"time not a number", {archive, out, "--from", "soon"}, "--from takes a number, not \"soon\""},
        {"from after to", {archive, out, "--from", "31", "--to", "29"}, "must come before --to"},
        {"from before the start", {archive, out, "--from", "-1"}, "--from cannot be before the show's start"},
        {"to past the end", {archive, out, "--to", "142"}, "--to cannot be past the show's end (141.5 s)"},
        {"option without value", {archive, out, "--fps"}, "--fps needs a value"},
        {"unknown option", {archive, out, "--speed", "2"}, "unknown option \"--speed\""},
        {"one file", {archive}, "capture needs an archive and an output file"},
        {"no archive", {(dir.path() / "missing.dat").string(), out}, "cannot read the archive"},
        {"archive without the tune", {(dir.path() / "no-tune.dat").string(), out}, "holds no \"Data\\tune.ogg\""},
        {"folder that is not there", {archive, (dir.path() / "missing" / "out.mp4").string()}, "cannot write"},
        {"output is a folder", {archive, (dir.path() / "folder.mp4").string()}, "it is a folder"},
        {"show that cannot load", {(dir.path() / "tune-only.dat").string(), out, "--size", "160x90", "--to", "1"}, ""},
    };
    fs::create_directory(dir.path() / "folder.mp4");
    const std::set<std::string> before = FilesIn(dir.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"capture"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolResult run = RunTool(args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(run.err.empty());
        EXPECT_EQ(FilesIn(dir.path()), before);
    }
}

// orvala-tool running beside the test, its standard error read as it comes.
class ToolProcess {
public:
    ToolProcess(const std::vector<std::string>& args, const fs::path& outFile)
    {
        int ends[2];
        if (pipe(ends) != 0)
            return;
        std::vector<std::string> words = {ORVALA_TOOL_PATH};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, ends[0]);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        errors = ends[0];
    }
    ~ToolProcess()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (errors >= 0)
            close(errors);
    }

    // Reads standard error until `text` is in it or `limitSeconds` have passed; false then.
    bool WaitFor(const std::string& text, int limitSeconds)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
        while (err.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count())))
                return false;
        }
        return true;
    }

    void Signal(int signal) const { kill(pid, signal); }

    // Waits for the end (killing it after `limitSeconds`) and gives its exit code, -1 when killed.
    int Wait(int limitSeconds)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count())))
                break;
        }
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                pid = -1;
                return -1;
            }
            usleep(10000);
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bool Started() const { return pid > 0; }
    const std::string& Errors() const { return err; }

private:
    bool ReadSome(int milliseconds)
    {
        pollfd waiting{errors, POLLIN, 0};
        if (poll(&waiting, 1, milliseconds) <= 0)
            return false;
        char buffer[4096];
        const ssize_t got = read(errors, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        err.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    pid_t pid = -1;
    int errors = -1;
    std::string err;
};

TEST(CaptureCommandTest, CtrlCEndsWithAPlayableFileOfTheFramesWrittenAndExitCode130)
{
    TempDir dir;
    const fs::path file = dir.path() / "stopped.mp4";
    ToolProcess tool({"capture", ORVALA_CONTENT_ARCHIVE, file.string(), "--size", "160x90", "--fps", "10", "--from",
                      "20", "--to", "60"},
                     dir.path() / "stdout.txt");
    ASSERT_TRUE(tool.Started());
    // Not a terminal: plain lines, one every 5 % (20 of the 400 frames).
    ASSERT_TRUE(tool.WaitFor("frame 20/400", 90)) << tool.Errors();
    tool.Signal(SIGINT);
    ASSERT_EQ(tool.Wait(60), 130) << tool.Errors();
    EXPECT_NE(tool.Errors().find("stopped by a signal"), std::string::npos) << tool.Errors();

    // The file holds the frames the tool says it wrote, the last one whole, sound to its end.
    const std::string out = ReadFileBytes(dir.path() / "stdout.txt");
    std::smatch said;
    ASSERT_TRUE(std::regex_search(out, said, std::regex(R"(, (\d+) frames at 10 fps)"))) << out;
    const long frames = std::stol(said[1]);
    EXPECT_GE(frames, 20);
    EXPECT_LT(frames, 400);
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"stdout.txt", "stopped.mp4"}));
    const std::vector<StreamFields> streams = ProbeStreams(file);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].at("nb_read_frames"), std::to_string(frames));
    EXPECT_NEAR(StreamEnd(file, "v"), frames / 10.0, 0.001);
    EXPECT_NEAR(StreamEnd(file, "a", 44100), frames / 10.0, 0.002);
}

} // namespace

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "SignalMeasure.h"
#include "TempDir.h"
#include "VorbisTune.h"
#include "common/ArchiveWriter.h"
#include "show/Progress.h"
#include "show/TuneAudio.h"

namespace fs = std::filesystem;

namespace {

std::string ThrownMessage(const std::function<void()>& call)
{
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(CaptureTuneTest, ReadsTheTuneFromTheArchiveAtItsRateAndLevel)
{
    TempDir dir;
    ArchiveWriter archive;
    archive.Add("Data\\tune.ogg", VorbisSine(440.0, 1.5, 2, 44100, 0.5f));
    archive.Add("Data\\other.txt", std::string("not the tune"));
    archive.Write((dir.path() / "basefile.dat").string());

    const TuneAudio tune = ReadTune(dir.path() / "basefile.dat");
    EXPECT_EQ(tune.rate, 44100u);
    EXPECT_EQ(tune.channels, 2u);
    EXPECT_EQ(tune.Frames(), 66150);
    std::vector<float> samples;
    for (std::int16_t s : tune.samples)
        samples.push_back(s / 32768.0f);
    EXPECT_NEAR(ChannelRms(samples, 2, 1), 0.3536, 0.01);
    EXPECT_NEAR(ChannelFrequency(samples, 2, 0, 44100), 440.0, 2.0);
}

TEST(CaptureTuneTest, AnArchiveWithoutAPlayableTuneIsNamed)
{
    TempDir dir;
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> entries; // none: no archive at all
        const char* message;
    };
    const Case cases[] = {
        {"no archive", {}, "cannot read the archive"},
        {"no tune", {{"Data\\tune.mod", "a module"}}, "holds no \"Data\\tune.ogg\""},
        {"the tune's name in another case", {{"data\\tune.ogg", "x"}}, "holds no \"Data\\tune.ogg\""},
        {"not Ogg Vorbis", {{"Data\\tune.ogg", "This is not an Ogg Vorbis file."}}, "is no Ogg Vorbis tune"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path path = dir.path() / (std::string(c.what) + ".dat");
        if (!c.entries.empty()) {
            ArchiveWriter archive;
            for (const auto& [name, bytes] : c.entries)
                archive.Add(name, bytes);
            archive.Write(path.string());
        }
        const std::string message = ThrownMessage([&] { ReadTune(path); });
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_NE(message.find(path.string()), std::string::npos) << message;
    }
}

TEST(CaptureTuneTest, FramesOutsideTheTuneAreSilent)
{
    // A tune of 5 stereo frames whose samples count up from 1.
    TuneAudio tune;
    tune.rate = 10;
    tune.channels = 2;
    for (std::int16_t s = 1; s <= 10; ++s)
        tune.samples.push_back(s);
    struct Case {
        std::int64_t first, count;
        std::vector<std::int16_t> expected;
    };
    const Case cases[] = {
        {0, 5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {1, 2, {3, 4, 5, 6}},
        {-2, 3, {0, 0, 0, 0, 1, 2}},
        {3, 4, {7, 8, 9, 10, 0, 0, 0, 0}},
        {8, 2, {0, 0, 0, 0}},
        {-1, 7, {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0}},
        {2, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + " + " + std::to_string(c.count));
        std::vector<std::int16_t> out = {-5}; // what was there stays
        tune.AppendFrames(c.first, c.count, out);
        std::vector<std::int16_t> expected = {-5};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(out, expected);
    }
}

// What a progress report wrote, given frame updates at the times asked.
std::string ProgressText(long total, bool terminal, const std::vector<std::pair<long, double>>& updates)
{
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    {
        CaptureProgress progress(total, out, terminal);
        for (const auto& [done, seconds] : updates)
            progress.Update(done, done <= total / 2 ? "OpeningScene" : "TunnelScene", seconds);
        progress.End();
    }
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

TEST(CaptureProgressTest, PlainLinesComeEveryFivePercentOrTenSeconds)
{
    // Fast frames: a line at the first frame and at every 5 %.
    std::vector<std::pair<long, double>> fast;
    for (long done = 1; done <= 400; ++done)
        fast.push_back({done, done * 0.01});
    const std::vector<std::string> fastLines = Lines(ProgressText(400, false, fast));
    ASSERT_EQ(fastLines.size(), 21u);
    EXPECT_EQ(fastLines.front(), "frame 1/400 (0%), OpeningScene, 100.0 fps, 0:04 left");
    EXPECT_EQ(fastLines[1].rfind("frame 20/400 (5%), OpeningScene", 0), 0u) << fastLines[1];
    EXPECT_EQ(fastLines.back(), "frame 400/400 (100%), TunnelScene, 100.0 fps, 0:00 left");

    // Slow frames (3 s each, 5 % is a minute): a line at least every 10 s.
    std::vector<std::pair<long, double>> slow;
    for (long done = 1; done <= 40; ++done)
        slow.push_back({done, done * 3.0});
    const std::vector<std::string> slowLines = Lines(ProgressText(1000, false, slow));
    // Frames 1, 5, 9, ... 37: the first update 10 s or more after the line before.
    ASSERT_EQ(slowLines.size(), 10u);
    EXPECT_EQ(slowLines[1], "frame 5/1000 (0%), OpeningScene, 0.3 fps, 49:45 left");
    EXPECT_EQ(slowLines.back().rfind("frame 37/1000 ", 0), 0u) << slowLines.back();
}

TEST(CaptureProgressTest, OnATerminalOneLineRewritesItself)
{
    std::vector<std::pair<long, double>> updates;
    for (long done = 1; done <= 1000; ++done)
        updates.push_back({done, done * 0.001}); // a second in all: at most ten redraws and the last
    const std::string text = ProgressText(1000, true, updates);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line, ended once";
    std::vector<std::string> draws;
    for (std::size_t start = 0; (start = text.find('\r', start)) != std::string::npos; ++start)
        draws.push_back(text.substr(start + 1, text.find_first_of("\r\n", start + 1) - start - 1));
    EXPECT_GE(draws.size(), 10u);
    EXPECT_LE(draws.size(), 12u);
    EXPECT_EQ(draws.front().rfind("[------------------------]   0% 1/1000 OpeningScene 1000.0 fps ETA 0:01", 0), 0u)
        << draws.front();
    EXPECT_EQ(draws.back().rfind("[########################] 100% 1000/1000 TunnelScene 1000.0 fps ETA 0:00", 0), 0u)
        << draws.back();
    // Each draw clears what a longer one before it left.
    for (const std::string& draw : draws)
        EXPECT_EQ(draw.substr(draw.size() - 3), "\033[K");
}

TEST(CaptureProgressTest, TimesReadAsClocks)
{
    const std::pair<double, const char*> cases[] = {
        {0.0, "0:00"}, {-3.0, "0:00"}, {59.4, "0:59"}, {59.6, "1:00"}, {61.0, "1:01"}, {3599.0, "59:59"},
        {3600.0, "1:00:00"}, {3725.0, "1:02:05"}, {36000.0, "10:00:00"}};
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(ClockText(seconds), text) << seconds;
}

} // namespace

// orvala-studio as a person uses it: its window on an X display, keys typed and the timeline
// dragged with xdotool, what it does read back from its status.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <unistd.h>

#include "ProgramOnDisplay.h"
#include "XvfbSession.h"
#include "image/PngFile.h"
#include "studio/StudioOverlay.h"

using namespace program_on_display;

namespace fs = std::filesystem;

namespace {

const std::string kTitle = "Orvala Studio";
constexpr unsigned kWidth = 640;
constexpr unsigned kHeight = 360;

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double Number(const std::string& json, const std::string& name)
{
    std::smatch match;
    const std::regex pattern("\"" + name + "\": ([-0-9.e]+)");
    return std::regex_search(json, match, pattern) ? std::stod(match[1].str()) : -1.0;
}

bool Paused(const std::string& json)
{
    return json.find("\"paused\": true") != std::string::npos;
}

} // namespace

TEST(StudioDisplay, WindowKeysAndTimelineAsAPersonUsesThem)
{
    XvfbSession xvfb;
    ASSERT_TRUE(xvfb.Started()) << xvfb.Problem();
    const fs::path folder = fs::path(ORVALA_CONTENT_ARCHIVE).parent_path() / "studio-test" / "OnDisplay";
    fs::create_directories(folder);
    const fs::path commands = folder / "commands";
    fs::remove(commands);
    ASSERT_EQ(mkfifo(commands.c_str(), 0600), 0);

    // The tree's own Content/, read and never written: the studio works in a folder of its own.
    ProgramProcess studio(folder, {"DISPLAY=" + xvfb.Display(), "ORVALA_STUDIO_WORK=" + (folder / "work").string()},
                          {ORVALA_STUDIO_PATH, "--size", std::to_string(kWidth) + "x" + std::to_string(kHeight),
                           "--at", "37.5", "--script", commands.string()});
    ASSERT_TRUE(studio.Started());
    const int script = open(commands.c_str(), O_WRONLY);
    ASSERT_GE(script, 0);
    int asked = 0;
    const auto status = [&] {
        const fs::path file = folder / ("status-" + std::to_string(++asked) + ".json");
        fs::remove(file);
        const std::string line = "status " + file.string() + "\n";
        EXPECT_EQ(write(script, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        const Clock::time_point start = Clock::now();
        while (!fs::exists(file) && studio.Running() && SecondsSince(start) < 240)
            Nap(50);
        return ReadText(file);
    };

    XScreen screen(xvfb.Display());
    ASSERT_TRUE(screen.Open());
    const std::string first = status();
    ASSERT_FALSE(first.empty()) << ReadText(folder / "output.txt");
    Window window = 0;
    for (const Clock::time_point start = Clock::now(); !window && SecondsSince(start) < 60; Nap(100))
        window = screen.Find(kTitle);
    ASSERT_NE(window, 0u) << ReadText(folder / "output.txt");
    EXPECT_FALSE(Paused(first)) << "with a display the show plays at once";

    // The window with its overlay, for a person to look at.
    Nap(1500);
    Picture shown;
    ASSERT_TRUE(screen.Grab(window, shown));
    EXPECT_EQ(shown.width, kWidth);
    WritePngBGRA((fs::path(ORVALA_PICTURE_DIR) / "studio-window.png").string(), shown.bgra.data(), shown.width,
                 shown.height, shown.width * 4);
    // The overlay's timeline strip along the bottom is drawn over the letterbox's black bar.
    double bottom = 0.0;
    for (unsigned x = 0; x < shown.width; ++x) {
        const unsigned char* p = &shown.bgra[(static_cast<std::size_t>(shown.height - 6) * shown.width + x) * 4];
        bottom += (p[0] + p[1] + p[2]) / 3.0;
    }
    EXPECT_GT(bottom / shown.width, 8.0) << "no timeline strip at the bottom of the window";

    // Space pauses.
    ASSERT_TRUE(screen.Type(window, "space"));
    std::string now = status();
    ASSERT_TRUE(Paused(now)) << now;
    const double pausedRow = Number(now, "row");
    Nap(700);
    EXPECT_EQ(Number(status(), "row"), pausedRow) << "paused, the clock stands still";

    // Right steps to the next beat: the next multiple of 8 rows.
    ASSERT_TRUE(screen.Type(window, "Right"));
    now = status();
    EXPECT_EQ(Number(now, "row"), (std::floor(pausedRow / 8.0) + 1.0) * 8.0) << now;

    // A drag along the strip seeks to the time under the pointer where it is let go.
    double from = 0.0, to = 0.0;
    const int y = static_cast<int>(kHeight) - 8;
    OverlayModel model;
    ASSERT_TRUE(StudioOverlay::StripTime(model, kWidth, kHeight, 64, y, from));
    ASSERT_TRUE(StudioOverlay::StripTime(model, kWidth, kHeight, 448, y, to));
    ASSERT_TRUE(screen.Drag(window, 64, y, 448, y));
    // The pointer's events and the script's commands come by two roads: on a busy machine the
    // studio may answer a status while the release still waits in its window's queue.
    now = status();
    for (const Clock::time_point start = Clock::now();
         std::abs(Number(now, "time") - to) > 0.5 && SecondsSince(start) < 30; now = status())
        Nap(200);
    EXPECT_NEAR(Number(now, "time"), to, 0.5) << now;
    EXPECT_TRUE(Paused(now));

    // Escape quits with exit code 0.
    ASSERT_TRUE(screen.Type(window, "Escape"));
    close(script);
    EXPECT_EQ(studio.Wait(30), 0) << ReadText(folder / "output.txt");
}

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "DemoMain.h"
#include "FrameworkTestDemo.h"
#include "Timer.h"
#include "XvfbSession.h"
#include "win32/Dialog.h"

using namespace framework_test;

namespace {

// The whole demo life on a real X display, in a child process (this test binary started again
// with ORVALA_HOST_SCENARIO set): the setup dialog is driven, the window opens, the run plays
// and Escape, typed by xdotool, ends it long before its end time.
int RunHostOnDisplay()
{
    TempDir folder;
    const std::string problem = BuildContent(folder.path());
    if (!problem.empty()) {
        std::printf("fail content: %s\n", problem.c_str());
        return 2;
    }
    WorkingDirectory cwd(folder.path());
    Composition composition;
    bool typed = false;
    SetDialogDriver([](HWND dialog) { SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0); });
    std::vector<std::string> boxes;
    SetMessageBoxPresenter([&](const MessageBoxRecord& box) {
        boxes.push_back(box.caption + ": " + box.text);
        return IDOK;
    });
    DemoConfiguration configuration;
    configuration.title = "Orvala host on display";
    configuration.endTime = 30.0f;
    const int code = RunDemo(nullptr, "", configuration, [&] {
        composition.Register();
        composition.scenes[0]->onRender = [&](int render) {
            // The window has had a few frames to get the keyboard focus.
            if (render == 20 && !typed) {
                typed = true;
                if (std::system("xdotool key Escape") != 0)
                    std::printf("note xdotool failed\n");
            }
        };
    });
    for (const std::string& box : boxes)
        std::printf("box %s\n", box.c_str());
    std::printf("exit %d\nrenders %d\nlast %.3f\nwidth %u\nheight %u\n", code, composition.first.renders,
                composition.first.renderTimes.empty() ? -1.0 : composition.first.renderTimes.back(),
                DXFramework::GetWidth(), DXFramework::GetHeight());
    return code;
}

// The child's entry: once the test program has started (every static object made), before any
// test runs, when the variable is set; it then ends the process.
class HostScenario : public ::testing::Environment {
public:
    void SetUp() override
    {
        const char* scenario = std::getenv("ORVALA_HOST_SCENARIO");
        if (!scenario)
            return;
        const int code = std::string(scenario) == "display" ? RunHostOnDisplay() : 64;
        std::fflush(stdout);
        _exit(code);
    }
};

[[maybe_unused]] ::testing::Environment* const hostScenario =
    ::testing::AddGlobalTestEnvironment(new HostScenario);

// The number after "<key> " on its own line of the child's output, or -1.
double Field(const std::string& output, const std::string& key)
{
    const std::size_t at = output.find("\n" + key + " ");
    const std::size_t start = at == std::string::npos ? (output.rfind(key + " ", 0) == 0 ? 0 : std::string::npos)
                                                      : at + 1;
    if (start == std::string::npos)
        return -1;
    return std::atof(output.c_str() + start + key.size() + 1);
}

} // namespace

TEST(DXFrameworkDisplayTest, DialogWindowRunAndEscapeOnAnXDisplay)
{
    XvfbSession xvfb;
    ASSERT_TRUE(xvfb.Started()) << xvfb.Problem();
    const SelfRun run = RunSelf({"ORVALA_HOST_SCENARIO=display", "DISPLAY=" + xvfb.Display()});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("box "), std::string::npos) << run.output;
    // The dialog's Run took the screen's mode (1280 x 1024) as a 16:9 window.
    EXPECT_EQ(Field(run.output, "width"), 1280) << run.output;
    EXPECT_EQ(Field(run.output, "height"), 720) << run.output;
    // Escape ended the run after the frames that typed it, long before the end time.
    EXPECT_GE(Field(run.output, "renders"), 20) << run.output;
    EXPECT_LT(Field(run.output, "last"), 20.0) << run.output;
}

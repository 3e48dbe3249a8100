#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "DemoMain.h"
#include "FrameworkEx.h"
#include "FrameworkTestDemo.h"
#include "win32/Dialog.h"
#include "win32/MessageBox.h"

using namespace framework_test;

namespace {

// A scene whose loading fails the way a test asks.
class FailingScene : public Scene {
public:
    FailingScene(std::string sceneName, std::function<void()> failure)
        : Scene(std::move(sceneName)), fail(std::move(failure))
    {
    }
    void CreateResources() override { fail(); }

private:
    std::function<void()> fail;
};

struct Box {
    std::string caption;
    std::string text;
    bool deviceAlive; // the host had not been shut down yet when the box came up
};

struct Case {
    const char* name;
    const char* caps;          // ORVALA_D3D_CAPS for the run, or null
    bool exitInDialog;         // the dialog is shown and left with Exit
    std::function<void()> compose;
    int exitCode;
    const char* caption;       // null: no box at all
    const char* text;
    bool boxBeforeShutdown;
};

// The test demo's scenes with one more whose loading fails.
void AddFailingScene(Composition& composition, std::function<void()> failure)
{
    SceneHandler::AddScene(new FailingScene("Failing", std::move(failure)));
    composition.Register();
}

// Each failure kind ends in its own box and exit code; the host is shut down around the box in
// the order the entry point gives.
TEST(DemoMainTest, EveryWayOfEndingGivesItsExitCodeAndBox)
{
    TempDir folder;
    ASSERT_EQ(BuildContent(folder.path()), "");
    WorkingDirectory cwd(folder.path());
    Composition normal;

    const Case cases[] = {
        {"a normal run", nullptr, false, [&] { normal.Register(); }, 0, nullptr, nullptr, false},
        {"Exit in the setup dialog", nullptr, true, [&] { normal.Register(); }, 0, nullptr, nullptr, false},
        {"four render targets missing", "NumSimultaneousRTs=2", false, [&] { normal.Register(); }, 1,
         "Fuckings from your hardware", "Number of simultaneous render targets < 4", false},
        {"shader model 2 only", "VertexShaderVersion=0xFFFE0200;PixelShaderVersion=0xFFFF0200", false,
         [&] { normal.Register(); }, 1, "Fuckings from your hardware", "VertexShaderVersion < 3.0.", false},
        {"no blending on half-float targets", "HalfFloatBlending=0", false, [&] { normal.Register(); }, 1,
         "Fuckings from your hardware", "No post pixel shader blending allowed on D3DFMT_A16B16G16R16F.", false},
        {"out of video memory", nullptr, false,
         [&] { AddFailingScene(normal, [] { CHECK_RESULT(D3DERR_OUTOFVIDEOMEMORY); }); }, 1, "Out of video memory",
         "Try reducing the number of multisamples, reduce resolution, or check the VRAM box.", true},
        {"a scene registered twice", nullptr, false,
         [] {
             SceneHandler::AddScene(new Scene("Twice"));
             SceneHandler::AddScene(new Scene("Twice"));
         },
         1, "Framework exception", "[SceneHandler::AddScene]: Scene \"Twice\" already added.", false},
        {"a framework exception while loading", nullptr, false,
         [&] { AddFailingScene(normal, [] { throw FrameworkEx("Error: short"); }); }, 1, "Framework exception",
         "Error: short", true},
        {"a standard exception", nullptr, false,
         [&] { AddFailingScene(normal, [] { throw std::runtime_error("exploded"); }); }, 1,
         "std::exception caught in main()", "exploded", false},
        {"anything else", nullptr, false, [&] { AddFailingScene(normal, [] { throw 2.5; }); }, 1,
         "Exception caught in main()", "Unknown exception", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        normal = Composition();
        std::vector<Box> boxes;
        SetMessageBoxPresenter([&](const MessageBoxRecord& box) {
            boxes.push_back({box.caption, box.text, DXFramework::GetDevice() != nullptr});
            return IDOK;
        });
        if (c.caps)
            setenv("ORVALA_D3D_CAPS", c.caps, 1);
        if (c.exitInDialog)
            SetDialogDriver([](HWND dialog) { SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0); });
        DemoConfiguration configuration;
        configuration.title = "Orvala entry test";
        configuration.width = 320;
        configuration.height = 180;
        configuration.endTime = 0.4f;
        configuration.showSetupDialog = c.exitInDialog;
        const int code = RunDemo(nullptr, "", configuration, c.compose);
        unsetenv("ORVALA_D3D_CAPS");
        SetDialogDriver(nullptr);
        SetMessageBoxPresenter(nullptr);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }

        EXPECT_EQ(code, c.exitCode);
        if (!c.caption) {
            EXPECT_TRUE(boxes.empty()) << boxes.front().caption << ": " << boxes.front().text;
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, c.caption);
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].deviceAlive, c.boxBeforeShutdown);
        // Everything was released: a host can be made again.
        EXPECT_EQ(DXFramework::GetDevice(), nullptr);
    }
}

} // namespace

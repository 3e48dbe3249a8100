#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DXFramework.h"
#include "FrameworkEx.h"
#include "FrameworkExMessage.h"
#include "d3d9/d3d9.h"
#include "win32/Dialog.h"
#include "win32/WinUser.h"

namespace {

constexpr int kResolution = 1000;
constexpr int kMonitor = 1001;
constexpr int kMultisampling = 1002;
constexpr int kFullscreen = 1003;
constexpr int kVSync = 1004;
constexpr int kLowVRAM = 1005;

std::string SelectedText(HWND dialog, int id)
{
    char text[256] = {};
    SendDlgItemMessageA(dialog, id, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// Every entry of a list, read by selecting each in turn; the selection is put back.
std::vector<std::string> Entries(HWND dialog, int id)
{
    const LRESULT selected = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
    std::vector<std::string> entries;
    const LRESULT count = SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
        entries.push_back(SelectedText(dialog, id));
    }
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    return entries;
}

// Selects the entry with exactly this text; false when the list has none.
bool Select(HWND dialog, int id, const std::string& text)
{
    const std::vector<std::string> entries = Entries(dialog, id);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] == text) {
            SendDlgItemMessageA(dialog, id, CB_SETCURSEL, i, 0);
            return true;
        }
    }
    return false;
}

void Tick(HWND dialog, int id, bool ticked)
{
    if ((IsDlgButtonChecked(dialog, id) == BST_CHECKED) != ticked)
        SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0);
}

// The settings procedure on the headless adapter: its desktop is 1920 x 1080 and it offers
// the usual modes from 640 x 480 up, all at 60 Hz.
class SetupDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        direct3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(direct3d, nullptr);
        DXFramework::SetDirect3D(direct3d);
        DXFramework::DisplaySettings defaults = {800, 450, 0, static_cast<D3DMULTISAMPLE_TYPE>(4), 0, 0.0f,
                                                 false, false, true, 800, 450};
        DXFramework::SetDisplaySettings(defaults);
    }
    void TearDown() override
    {
        SetDialogDriver(nullptr);
        DXFramework::SetDirect3D(nullptr);
        if (direct3d)
            direct3d->Release();
        // A posted quit from Exit must not reach later tests' message loops.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    INT_PTR Show(std::function<void(HWND)> driver)
    {
        SetDialogDriver(std::move(driver));
        return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, &DXFramework::SetupDialogProc, 0);
    }

    IDirect3D9* direct3d = nullptr;
};

} // namespace

TEST_F(SetupDialogTest, ListsOfferTheAdaptersModesAndSelectTheDesktop)
{
    std::vector<std::string> resolutions, monitors, samples;
    std::string resolution, monitor, multisampling;
    bool vsync = false, fullscreen = true, lowVram = true;
    ASSERT_EQ(Show([&](HWND dialog) {
                  resolutions = Entries(dialog, kResolution);
                  monitors = Entries(dialog, kMonitor);
                  samples = Entries(dialog, kMultisampling);
                  resolution = SelectedText(dialog, kResolution);
                  monitor = SelectedText(dialog, kMonitor);
                  multisampling = SelectedText(dialog, kMultisampling);
                  vsync = IsDlgButtonChecked(dialog, kVSync) == BST_CHECKED;
                  fullscreen = IsDlgButtonChecked(dialog, kFullscreen) == BST_CHECKED;
                  lowVram = IsDlgButtonChecked(dialog, kLowVRAM) == BST_CHECKED;
                  SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
              }),
              IDOK);

    // Modes below 800 x 600 are left out; each mode names its shape, 1:1 when it has none of
    // the known ones.
    ASSERT_FALSE(resolutions.empty());
    EXPECT_EQ(resolutions.front(), "800 x 600 @ 60hz (4:3)");
    const std::vector<std::string> expectedToContain = {"1280 x 1024 @ 60hz (5:4)", "1366 x 768 @ 60hz (1:1)",
                                                        "1680 x 1050 @ 60hz (16:10)", "1920 x 1080 @ 60hz (16:9)"};
    for (const std::string& mode : expectedToContain)
        EXPECT_NE(std::find(resolutions.begin(), resolutions.end(), mode), resolutions.end()) << mode;
    for (const std::string& mode : resolutions)
        EXPECT_EQ(mode.find("640 x 480"), std::string::npos);
    EXPECT_EQ(resolution, "1920 x 1080 @ 60hz (16:9)");

    EXPECT_EQ(monitors, (std::vector<std::string>{"5:4", "4:3", "16:10", "15:9", "16:9 (Detected)"}));
    EXPECT_EQ(monitor, "16:9 (Detected)");

    ASSERT_FALSE(samples.empty());
    EXPECT_EQ(samples.front(), "No multisampling");
    for (std::size_t i = 1; i < samples.size(); ++i)
        EXPECT_NE(samples[i].find(" Samples"), std::string::npos) << samples[i];
    EXPECT_EQ(multisampling, "No multisampling");
    EXPECT_TRUE(vsync);
    EXPECT_FALSE(fullscreen);
    EXPECT_FALSE(lowVram);

    // Run with the defaults: a 16:9 window of the desktop's width.
    const DXFramework::DisplaySettings s = DXFramework::GetDisplaySettings();
    EXPECT_EQ(s.width, 1920u);
    EXPECT_EQ(s.height, 1080u);
    EXPECT_EQ(s.refreshRate, 60u);
    EXPECT_EQ(s.contentWidth, 1920u);
    EXPECT_EQ(s.contentHeight, 1080u);
    EXPECT_EQ(s.multiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_TRUE(s.vsync);
    EXPECT_FALSE(s.fullscreen);
    EXPECT_TRUE(s.highVRAM);
    EXPECT_FLOAT_EQ(s.monitorAspect, 16.0f / 9.0f);
}

TEST_F(SetupDialogTest, RunTurnsTheChoicesIntoTheDisplaySettings)
{
    struct Case {
        const char* name;
        const char* resolution;
        const char* monitor;
        bool fullscreen;
        bool lowVram;
        bool fourSamples;
        unsigned width, height, contentWidth, contentHeight;
        D3DMULTISAMPLE_TYPE samples;
    };
    const Case cases[] = {
        {"windowed 5:4 mode becomes a 16:9 window", "1280 x 1024 @ 60hz (5:4)", "16:9 (Detected)", false, false,
         false, 1280, 720, 1280, 720, D3DMULTISAMPLE_NONE},
        {"full screen 5:4 mode on a 16:9 monitor fills the screen", "1280 x 1024 @ 60hz (5:4)", "16:9 (Detected)",
         true, false, false, 1280, 1024, 1280, 1024, D3DMULTISAMPLE_NONE},
        {"full screen 5:4 mode on a 5:4 monitor gets bars", "1280 x 1024 @ 60hz (5:4)", "5:4", true, false, false,
         1280, 1024, 1280, 720, D3DMULTISAMPLE_NONE},
        {"four samples", "1280 x 720 @ 60hz (16:9)", "16:9 (Detected)", false, false, true, 1280, 720, 1280, 720,
         static_cast<D3DMULTISAMPLE_TYPE>(4)},
        {"low VRAM always means no multisampling", "1280 x 720 @ 60hz (16:9)", "16:9 (Detected)", false, true, true,
         1280, 720, 1280, 720, D3DMULTISAMPLE_NONE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool haveSamples = true;
        ASSERT_EQ(Show([&](HWND dialog) {
                      ASSERT_TRUE(Select(dialog, kResolution, c.resolution));
                      ASSERT_TRUE(Select(dialog, kMonitor, c.monitor));
                      if (c.fourSamples)
                          haveSamples = Select(dialog, kMultisampling, "4 Samples");
                      Tick(dialog, kFullscreen, c.fullscreen);
                      Tick(dialog, kLowVRAM, c.lowVram);
                      Tick(dialog, kVSync, false);
                      SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
                  }),
                  IDOK);
        if (!haveSamples) {
            GTEST_SKIP() << "the adapter offers no 4-sample mode";
        }
        const DXFramework::DisplaySettings s = DXFramework::GetDisplaySettings();
        EXPECT_EQ(s.width, c.width);
        EXPECT_EQ(s.height, c.height);
        EXPECT_EQ(s.contentWidth, c.contentWidth);
        EXPECT_EQ(s.contentHeight, c.contentHeight);
        EXPECT_EQ(s.multiSampleType, c.samples);
        EXPECT_EQ(s.multiSampleQuality, 0u);
        EXPECT_EQ(s.fullscreen, c.fullscreen);
        EXPECT_EQ(s.highVRAM, !c.lowVram);
        EXPECT_FALSE(s.vsync);
    }
}

TEST_F(SetupDialogTest, ExitEndsTheDialogWithTwoAndPostsQuit)
{
    const DXFramework::DisplaySettings before = DXFramework::GetDisplaySettings();
    EXPECT_EQ(Show([](HWND dialog) { SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0); }), 2);
    MSG msg{};
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        quit = quit || msg.message == WM_QUIT;
    EXPECT_TRUE(quit);
    // Nothing was chosen: the sizes stay as they were.
    const DXFramework::DisplaySettings after = DXFramework::GetDisplaySettings();
    EXPECT_EQ(after.width, before.width);
    EXPECT_EQ(after.height, before.height);
}

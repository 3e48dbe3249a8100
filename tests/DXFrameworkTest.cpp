#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "BASSPlayer.h"
#include "FrameworkTestDemo.h"
#include "RenderTargetResources/RTCubeHandler/RTCubeHandler.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "Timer.h"
#include "d3dx9/d3dx9math.h"
#include "win32/MessageBox.h"
#include "win32/WinUser.h"
#include "win32/WindowHandle.h"

using namespace framework_test;

namespace {

// The host over the test demo in a temporary working folder, boxes captured.
class DXFrameworkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string problem = BuildContent(folder.path(), options);
        ASSERT_EQ(problem, "");
        cwd = std::make_unique<WorkingDirectory>(folder.path());
        SetMessageBoxPresenter([this](const MessageBoxRecord& box) {
            boxes.push_back(box.caption + ": " + box.text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        framework.reset();
        SetMessageBoxPresenter(nullptr);
        cwd.reset();
    }

    // The host with the composition registered; windowed, without the dialog.
    void Make(unsigned width, unsigned height, float endTime = 141.5f)
    {
        framework = std::make_unique<DXFramework>(nullptr, "", "Orvala host test", width, height, false, endTime, false);
        composition.Register();
    }

    TempDir folder;
    ContentOptions options;
    std::unique_ptr<WorkingDirectory> cwd;
    std::vector<std::string> boxes;
    Composition composition;
    std::unique_ptr<DXFramework> framework;
};

bool Near(std::uint32_t pixel, std::uint32_t expected, int tolerance = 3)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>((pixel >> shift) & 0xFF);
        const int b = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance)
            return false;
    }
    return true;
}

std::string Hex(std::uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", v);
    return text;
}

} // namespace

TEST_F(DXFrameworkTest, BootedHostDrawsTheSceneTheTrackSelectsAtAHeldTime)
{
    Make(320, 180);
    framework->Boot();
    // Loading drew the loader scene once for each DrawLoaderFrame the scenes asked for.
    EXPECT_EQ(DXFramework::GetLoadCount(), 3);
    EXPECT_EQ(composition.loader.renders, 3);
    // Every scene took and gave back its targets once to prepare the pools; the loader took its
    // own again for its first picture.
    EXPECT_EQ(composition.first.acquires, 1);
    EXPECT_EQ(composition.first.targetReleases, 1);
    EXPECT_EQ(composition.loader.acquires, 2);
    EXPECT_EQ(composition.loader.targetReleases, 1);
    EXPECT_EQ(composition.first.creates, 1);
    EXPECT_EQ(composition.second.creates, 1);
    // The loader scene is made by the host itself, once, before the others.
    EXPECT_EQ(composition.loader.creates, 1);

    std::vector<unsigned char> frame;
    unsigned width = 0, height = 0;
    ASSERT_TRUE(framework->RenderFrameAt(0.25f, frame, width, height));
    ASSERT_EQ(width, 320u);
    ASSERT_EQ(height, 180u);
    // Scene 0: the left half shows the shared time (0.25) as red through the pool, the right half
    // the scene's grey.
    EXPECT_TRUE(Near(Pixel(frame, width, 40, 90), 0xFF400000 | 0xFF00)) << Hex(Pixel(frame, width, 40, 90));
    EXPECT_TRUE(Near(Pixel(frame, width, 280, 90), 0xFF282828)) << Hex(Pixel(frame, width, 280, 90));
    // The picture is the right way up: the top-left and bottom-left are the quad's, too.
    EXPECT_TRUE(Near(Pixel(frame, width, 2, 2), Pixel(frame, width, 40, 90)));
    EXPECT_TRUE(Near(Pixel(frame, width, 2, 177), Pixel(frame, width, 40, 90)));

    // Past the switch the track selects scene 1: blue, with its effect (source text whose include
    // came from the archive at run time) showing the time as green.
    ASSERT_TRUE(framework->RenderFrameAt(1.5f, frame, width, height));
    EXPECT_TRUE(Near(Pixel(frame, width, 40, 90), 0xFF0080FF)) << Hex(Pixel(frame, width, 40, 90));
    EXPECT_TRUE(Near(Pixel(frame, width, 280, 90), 0xFF0000C8)) << Hex(Pixel(frame, width, 280, 90));
    EXPECT_EQ(composition.loader.targetReleases, 2); // left at the first frame
    EXPECT_EQ(composition.first.acquires, 2); // preparation pass, then entered
    EXPECT_EQ(composition.first.targetReleases, 2);
    EXPECT_EQ(composition.second.constants, 1);

    // Back to the start: scene 0 again.
    ASSERT_TRUE(framework->RenderFrameAt(0.75f, frame, width, height));
    EXPECT_TRUE(Near(Pixel(frame, width, 40, 90), 0xFFBF0000 | 0xFF00)) << Hex(Pixel(frame, width, 40, 90));
    EXPECT_TRUE(boxes.empty()) << boxes.front();
}

// Paced, a loading step draws the loader only once the time since its last picture is three
// times what that picture took: steps that follow a slow picture at once show none, a step after
// a long piece of loading shows one, and every step still counts.
TEST_F(DXFrameworkTest, PacedLoadingSkipsLoaderPicturesThatWouldTakeMoreThanAQuarterOfTheTime)
{
    using namespace std::chrono_literals;
    struct Paced {
        Paced() { DXFramework::SetLoaderPacing(true); }
        ~Paced() { DXFramework::SetLoaderPacing(false); }
    } paced;
    Make(320, 180);
    // Each picture takes at least 100 ms; scene A asks for two steps at once, then loads for well
    // over three times what the first picture took (its shaders are compiled then, which takes
    // long in a sanitized build); scene B then asks for its step.
    std::chrono::steady_clock::time_point rendered;
    composition.scenes[2]->onRender = [&](int) {
        rendered = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(100ms);
    };
    composition.scenes[0]->onCreate = [&] {
        const auto picture = std::chrono::steady_clock::now() - rendered + 200ms;
        std::this_thread::sleep_for(3 * picture + 300ms);
    };
    framework->Boot();
    EXPECT_EQ(DXFramework::GetLoadCount(), 3);
    EXPECT_EQ(composition.loader.renders, 2) << "the first step and the one after the long load";
}

TEST_F(DXFrameworkTest, ScenesThatShareTargetDescriptionsShareTheTargets)
{
    Make(320, 180);
    framework->Boot();
    std::vector<unsigned char> frame;
    unsigned width = 0, height = 0;
    for (float t : {0.2f, 1.2f, 0.3f, 1.4f})
        ASSERT_TRUE(framework->RenderFrameAt(t, frame, width, height));
    // Scene 0 holds a 256x256 colour target and a 128x128 half-float target, scene 1 a 256x256
    // colour target: the pool peaks at the larger set, not the sum.
    const std::uint64_t larger = 256u * 256u * 4u + 128u * 128u * 8u;
    EXPECT_EQ(RTHandler::GetRecordCount(), 2u);
    EXPECT_EQ(RTHandler::GetVideoMemoryBytes(), larger);
    EXPECT_EQ(RTCubeHandler::GetRecordCount(), 0u);
}

TEST_F(DXFrameworkTest, NoiseComesFromTheArchiveEntryAndVectorsAreUnitLength)
{
    std::filesystem::create_directories(folder.path() / "Data");
    Make(320, 180);
    framework->Boot();

    IDirect3DVolumeTexture9* volume = framework->GetNoiseTexture();
    ASSERT_NE(volume, nullptr);
    D3DLOCKED_BOX box{};
    ASSERT_EQ(volume->LockBox(0, &box, nullptr, D3DLOCK_READONLY), D3D_OK);
    const std::vector<unsigned char> stored = StoredNoise();
    bool same = true;
    for (std::size_t z = 0; z < 128 && same; z += 9)
        for (std::size_t y = 0; y < 128 && same; y += 5)
            for (std::size_t x = 0; x < 128 && same; ++x)
                same = static_cast<const unsigned char*>(box.pBits)[z * box.SlicePitch + y * box.RowPitch + x] ==
                       stored[(z * 128 + y) * 128 + x];
    volume->UnlockBox(0);
    EXPECT_TRUE(same);
    // Nothing was computed, so nothing was written next to the archive.
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "Data" / "noise.bin"));

    IDirect3DTexture9* vectors = framework->GetNoiseVectorTexture();
    ASSERT_NE(vectors, nullptr);
    D3DSURFACE_DESC desc{};
    vectors->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 320u / 4);
    EXPECT_EQ(desc.Height, 180u / 4);
    EXPECT_EQ(desc.Format, D3DFMT_A16B16G16R16F);
    D3DLOCKED_RECT rect{};
    ASSERT_EQ(vectors->LockRect(0, &rect, nullptr, D3DLOCK_READONLY), D3D_OK);
    int checked = 0;
    for (UINT y = 0; y < desc.Height; ++y) {
        for (UINT x = 0; x < desc.Width; ++x) {
            const auto* texel = reinterpret_cast<const D3DXFLOAT16*>(static_cast<const char*>(rect.pBits) +
                                                                      y * rect.Pitch) + x * 4;
            float v[4];
            D3DXFloat16To32Array(v, texel, 4);
            ASSERT_NEAR(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 1.0f, 2e-3f);
            ASSERT_EQ(v[3], 0.0f);
            ++checked;
        }
    }
    vectors->UnlockRect(0);
    EXPECT_EQ(checked, 80 * 45);
}

TEST_F(DXFrameworkTest, FullScreenOnAFiveByFourMonitorLeavesBlackBars)
{
    framework = std::make_unique<DXFramework>(nullptr, "", "Orvala host test", 1280, 1024, true, 141.5f, false);
    composition.Register();
    // What the dialog makes of 1280 x 1024 full screen on a 5:4 monitor.
    DXFramework::DisplaySettings settings = DXFramework::GetDisplaySettings();
    settings.contentWidth = 1280;
    settings.contentHeight = 720;
    settings.monitorAspect = 1.25f;
    settings.multiSampleType = D3DMULTISAMPLE_NONE;
    DXFramework::SetDisplaySettings(settings);
    framework->Boot();
    std::vector<unsigned char> frame;
    unsigned width = 0, height = 0;
    ASSERT_TRUE(framework->RenderFrameAt(0.5f, frame, width, height));
    ASSERT_EQ(width, 1280u);
    ASSERT_EQ(height, 1024u);
    for (unsigned y : {0u, 100u, 151u, 872u, 900u, 1023u})
        for (unsigned x : {0u, 300u, 1279u})
            EXPECT_EQ(Pixel(frame, width, x, y) & 0xFFFFFF, 0u) << x << "," << y;
    // The content area starts at row 152 and ends at row 871.
    for (unsigned y : {152u, 500u, 871u})
        EXPECT_TRUE(Near(Pixel(frame, width, 1000, y), 0xFF282828)) << y << " " << Hex(Pixel(frame, width, 1000, y));
}

TEST_F(DXFrameworkTest, RunPlaysUntilTheEndTimeAndShutsDownOnce)
{
    Make(320, 180, 1.6f);
    // The tune plays from its start while the frames are drawn (on the no-sound device here).
    bool playing = false;
    QWORD position = 0;
    static_cast<ProbeScene*>(SceneHandler::FindScene("SceneA"))->onRender = [&](int render) {
        if (render != 5)
            return;
        playing = BASS_ChannelIsActive(BASSPlayer::GetStream()) == BASS_ACTIVE_PLAYING;
        position = BASS_ChannelGetPosition(BASSPlayer::GetStream(), BASS_POS_BYTE);
    };
    const auto started = std::chrono::steady_clock::now();
    framework->Run();
    EXPECT_TRUE(playing);
    EXPECT_GT(position, 0u);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_GE(Timer::GetTime(), 1.6f);
    EXPECT_LT(seconds, 30.0);
    // Both scenes were on screen in turn, the switch following the track.
    ASSERT_GT(composition.first.renders, 0);
    ASSERT_GT(composition.second.renders, 0);
    EXPECT_LT(composition.first.renderTimes.front(), 1.0f);
    EXPECT_GE(composition.second.renderTimes.front(), 0.95f);
    // Shutdown released every scene's resources; a second Shutdown changes nothing.
    EXPECT_EQ(composition.first.releases, 1);
    EXPECT_EQ(DXFramework::GetDevice(), nullptr);
    EXPECT_EQ(DXFramework::GetWindow(), nullptr);
    framework->Shutdown();
    EXPECT_EQ(composition.first.releases, 1);
    framework.reset();
    EXPECT_TRUE(boxes.empty()) << boxes.front();
}

TEST_F(DXFrameworkTest, DeviceLossRebuildsEverythingAndTheRunGoesOn)
{
    struct Case {
        const char* name;
        const char* method; // the device call that reports the loss
        bool checkedInRender; // the scene makes that call under CheckResult
        bool resetFailsOnce;  // the loss lasts beyond the first attempt to reset
    };
    const Case cases[] = {
        {"at Present", "Present", false, false},
        {"inside a scene's render", "Clear", true, false},
        {"persisting over several passes", "Present", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        composition = Composition();
        // The run ends three frames after the rebuild, however long the machine takes to get
        // there (a slow rebuild may carry the clock past the switch to the second scene); the end
        // time only stops a run that never does.
        Make(320, 180, 60.0f);
        float lostAt = -1.0f;
        int framesAfter = 0;
        ProbeScene* scene = static_cast<ProbeScene*>(SceneHandler::FindScene("SceneA"));
        ProbeScene* next = static_cast<ProbeScene*>(SceneHandler::FindScene("SceneB"));
        const auto countAfterLoss = [&] {
            if (lostAt > 0.0f && ++framesAfter == 3)
                PostQuitMessage(0);
        };
        next->onRender = [&](int) { countAfterLoss(); };
        scene->onRender = [&](int render) {
            if (render != 3) {
                countAfterLoss();
                return;
            }
            IDirect3DDevice9* device = DXFramework::GetDevice();
            lostAt = Timer::GetTime();
            if (c.resetFailsOnce)
                device->InjectDeviceLoss("Reset", 1);
            device->InjectDeviceLoss(c.method, 1);
            if (c.checkedInRender)
                CHECK_RESULT(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
        };
        framework->Run();
        EXPECT_TRUE(boxes.empty()) << boxes.front();
        // Loaded once at start and once after the loss: the retries did not nest or repeat.
        EXPECT_EQ(composition.first.creates, 2);
        EXPECT_EQ(composition.second.creates, 2);
        ASSERT_GT(lostAt, 0.0f);
        ASSERT_EQ(framesAfter, 3);
        // Frames after the rebuild carry on from the clock; it was not put back to 0.
        for (const auto* log : {&composition.first, &composition.second}) {
            for (std::size_t i = 1; i < log->renderTimes.size(); ++i)
                EXPECT_GE(log->renderTimes[i], log->renderTimes[i - 1]);
        }
        const float last = std::max(composition.first.renderTimes.back(),
                                    composition.second.renderTimes.empty() ? 0.0f : composition.second.renderTimes.back());
        EXPECT_GE(last, lostAt);
        framework.reset();
    }
}

TEST_F(DXFrameworkTest, MinimisedWindowDrawsNothingAndCatchesUpOnRestore)
{
    Make(320, 180, 1.2f);
    std::thread restorer;
    std::atomic<bool> minimised{false};
    ProbeScene* scene = static_cast<ProbeScene*>(SceneHandler::FindScene("SceneA"));
    scene->onRender = [&](int render) {
        if (render != 2)
            return;
        SDL_Window* window = SDLWindowFromHWND(DXFramework::GetWindow());
        ASSERT_NE(window, nullptr);
        const Uint32 id = SDL_GetWindowID(window);
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = id;
        event.window.event = SDL_WINDOWEVENT_MINIMIZED;
        SDL_PushEvent(&event);
        minimised = true;
        restorer = std::thread([id] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            SDL_Event restored{};
            restored.type = SDL_WINDOWEVENT;
            restored.window.windowID = id;
            restored.window.event = SDL_WINDOWEVENT_RESTORED;
            SDL_PushEvent(&restored);
        });
    };
    framework->Run();
    if (restorer.joinable())
        restorer.join();
    ASSERT_TRUE(minimised);
    const std::vector<float>& times = composition.first.renderTimes;
    ASSERT_GE(times.size(), 3u);
    // No frame was drawn for the 0.4 s the window was minimised; the next frame shows the clock
    // as it is, not where the picture stopped.
    EXPECT_GE(times[2] - times[1], 0.35f);
}

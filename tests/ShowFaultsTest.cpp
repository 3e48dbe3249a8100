#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "DXFramework.h"
#include "FrameBytes.h"
#include "FrameworkState.h"
#include "LitSceneShow.h"
#include "show/ShowRecorder.h"

using lit_scene_show::Picture;
using lit_scene_show::PicturePath;
using lit_scene_show::ScopedEnv;

namespace {

// The whole show at a low rate and a small size: 141.5 s at 2 frames a second is 284 frames, and
// two runs of it take about a minute on two cores.
constexpr unsigned kWidth = 160;
constexpr unsigned kHeight = 90;
constexpr unsigned kFps = 2;
constexpr double kShowSeconds = 141.5;

using Frame = std::vector<unsigned char>;

void WritePicture(const Frame& bgra, const std::string& name)
{
    Picture picture;
    picture.bgra = bgra;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.WritePng(PicturePath(name));
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A stretch of frames in which the track "Scene" selects one scene.
struct Section {
    long first = 0;
    long end = 0; // one past the last frame
    std::string scene;
};

std::vector<Section> SectionsOf(const ShowRecorder& show, long frames)
{
    std::vector<Section> sections;
    for (long n = 0; n < frames; ++n) {
        if (sections.empty() || show.SceneIndexOf(n) != show.SceneIndexOf(n - 1))
            sections.push_back({n, n, show.SceneNameOf(n)});
        sections.back().end = n + 1;
    }
    return sections;
}

// The whole show drawn once without a fault, frame by frame from the first to the last, shared by
// the tests of this file: the pictures every faulty run is held against.
class ShowFaultsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const auto start = std::chrono::steady_clock::now();
        ShowRecorder show(ORVALA_CONTENT_ARCHIVE, kWidth, kHeight, kFps);
        const long frames = show.FrameAt(kShowSeconds) + 1;
        reference = new std::vector<Frame>(static_cast<std::size_t>(frames));
        for (long n = 0; n < frames; ++n)
            show.Render(n, (*reference)[static_cast<std::size_t>(n)]);
        sections = new std::vector<Section>(SectionsOf(show, frames));
        referenceBoxes = new std::vector<std::string>(show.Boxes());
        std::printf("reference run: %ld frames in %.1f s\n", frames, SecondsSince(start));
    }
    static void TearDownTestSuite()
    {
        delete reference;
        delete sections;
        delete referenceBoxes;
        reference = nullptr;
        sections = nullptr;
        referenceBoxes = nullptr;
    }

    static const Frame& Reference(long n) { return (*reference)[static_cast<std::size_t>(n)]; }
    static long Frames() { return static_cast<long>(reference->size()); }

    static std::vector<Frame>* reference;
    static std::vector<Section>* sections;
    static std::vector<std::string>* referenceBoxes;
};

std::vector<Frame>* ShowFaultsTest::reference = nullptr;
std::vector<Section>* ShowFaultsTest::sections = nullptr;
std::vector<std::string>* ShowFaultsTest::referenceBoxes = nullptr;

TEST_F(ShowFaultsTest, TheReferenceRunIsTheWholeShowWithoutABox)
{
    EXPECT_TRUE(referenceBoxes->empty()) << referenceBoxes->front();
    // Every scene of the show has a section of its own, and the show ends at its last frame.
    ASSERT_GE(sections->size(), 2u);
    EXPECT_EQ(sections->back().end, Frames());
    WritePicture(Reference(Frames() / 2), "show-faults-reference-middle");
}

// The device is lost at a frame in the middle of each scene's section in turn, in one run of the
// whole show; each loss is met by a different call, so that one section loses it at Present and
// others inside the scene's own drawing. The show goes on to its end without a box. Every frame
// before a loss is the reference's; after it the scene's carried state (the cornell bounce, fed
// from the last frame's light) starts afresh, as when the scene is entered, so the pictures agree
// again once that state has forgotten where it started: within ShowRecorder::kWarmUpFrames
// frames, and from then on to the end of the section and through every later one.
TEST_F(ShowFaultsTest, DeviceLostInsideEachSceneTheShowGoesOnAndItsFramesAgreeAgain)
{
    const char* const methods[] = {"Present", "Clear", "DrawIndexedPrimitive", "SetRenderTarget", "BeginScene"};
    const auto start = std::chrono::steady_clock::now();
    int heard = 0; // the losses the host has been told of
    ShowRecorder show(ORVALA_CONTENT_ARCHIVE, kWidth, kHeight, kFps);
    // Every loss reaches the host through its handler; counting them there shows that each armed
    // loss really happened, so a loss that never fired cannot pass for one the show got over.
    const std::function<void()> host = State().deviceLostHandler;
    ASSERT_TRUE(host);
    DXFramework::SetDeviceLostHandler([&] {
        ++heard;
        host();
    });

    struct Loss {
        Section section;
        long at = 0;
        const char* method = "";
        long agreeFrom = -1; // the first frame from which every frame of the section agrees
    };
    std::vector<Loss> losses;
    for (std::size_t i = 0; i < sections->size(); ++i) {
        const Section& section = (*sections)[i];
        // In the middle, or at the section's third frame where the rest of it would be too short
        // for the carried state to build up again (a cornell section is 30 frames at this rate).
        const long length = section.end - section.first;
        const long offset = std::min(length / 2, std::max(2L, length - ShowRecorder::kWarmUpFrames));
        losses.push_back({section, section.first + offset, methods[i % (sizeof(methods) / sizeof(methods[0]))]});
    }

    std::vector<Frame> drawn(static_cast<std::size_t>(Frames()));
    std::size_t next = 0;
    for (long n = 0; n < Frames(); ++n) {
        const bool armed = next < losses.size() && losses[next].at == n;
        if (armed) {
            DXFramework::GetDevice()->InjectDeviceLoss(losses[next].method, 1);
            ++next;
        }
        const int heardBefore = heard;
        ASSERT_NO_THROW(show.Render(n, drawn[static_cast<std::size_t>(n)])) << "frame " << n;
        if (armed)
            EXPECT_GT(heard, heardBefore) << "the loss armed at frame " << n << " never happened";
        else
            EXPECT_EQ(heard, heardBefore) << "a loss nobody armed at frame " << n;
    }
    EXPECT_TRUE(show.Boxes().empty()) << show.Boxes().front();

    for (Loss& loss : losses) {
        SCOPED_TRACE(loss.section.scene + " lost at frame " + std::to_string(loss.at) + " by " + loss.method);
        long before = loss.section.first;
        while (before < loss.at && DifferingBytes(drawn[static_cast<std::size_t>(before)], Reference(before)) == 0)
            ++before;
        if (before < loss.at) {
            const std::string name = "show-faults-before-loss-" + loss.section.scene;
            WritePicture(drawn[static_cast<std::size_t>(before)], name);
            WritePicture(Reference(before), name + "-expected");
        }
        EXPECT_EQ(before, loss.at) << "a frame before the loss differs";
        loss.agreeFrom = loss.section.end;
        while (loss.agreeFrom > loss.at &&
               DifferingBytes(drawn[static_cast<std::size_t>(loss.agreeFrom - 1)], Reference(loss.agreeFrom - 1)) == 0)
            --loss.agreeFrom;
        std::printf("%-16s frames %3ld..%3ld, lost at %3ld by %-20s agrees again after %ld frames\n",
                    loss.section.scene.c_str(), loss.section.first, loss.section.end - 1, loss.at, loss.method,
                    loss.agreeFrom - loss.at);
        if (loss.agreeFrom > loss.at) {
            const std::string name = "show-faults-lost-" + loss.section.scene;
            WritePicture(drawn[static_cast<std::size_t>(loss.at)], name);
            WritePicture(Reference(loss.at), name + "-expected");
        }
        EXPECT_LE(loss.agreeFrom - loss.at, ShowRecorder::kWarmUpFrames);
        EXPECT_LT(loss.agreeFrom, loss.section.end) << "the section never agrees again";
    }
    std::printf("run with %zu losses: %.1f s\n", losses.size(), SecondsSince(start));
}

// The device is lost while the show loads, by the loader's Present or by a resource being made;
// the load goes on, and the show then plays its first frames as the reference does.
TEST_F(ShowFaultsTest, DeviceLostWhileLoadingTheShowThenPlaysAsTheReference)
{
    struct Case {
        const char* name;
        const char* lost; // ORVALA_D3D_DEVICE_LOST, counted from the device's creation
    };
    const Case cases[] = {
        {"the loader's second Present", "Present:2"},
        {"a vertex buffer being made", "CreateVertexBuffer:5"},
        {"a texture being made", "CreateTexture:20"},
    };
    const long frames = 6;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ShowRecorder> show;
        {
            // The device reads the countdown when it is made.
            ScopedEnv lost("ORVALA_D3D_DEVICE_LOST", c.lost);
            ASSERT_NO_THROW(show = std::make_unique<ShowRecorder>(ORVALA_CONTENT_ARCHIVE, kWidth, kHeight, kFps));
        }
        Frame frame;
        for (long n = 0; n < frames; ++n) {
            ASSERT_NO_THROW(show->Render(n, frame)) << "frame " << n;
            const std::size_t differing = DifferingBytes(frame, Reference(n));
            if (differing != 0) {
                WritePicture(frame, std::string("show-faults-loading-") + c.lost);
                WritePicture(Reference(n), std::string("show-faults-loading-") + c.lost + "-expected");
            }
            ASSERT_EQ(differing, 0u) << "frame " << n;
        }
        EXPECT_TRUE(show->Boxes().empty()) << show->Boxes().front();
    }
}

} // namespace

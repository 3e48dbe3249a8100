#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "ArenaScene.h"
#include "DXFramework.h"
#include "LitSceneShow.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "SceneHandler.h"
#include "Transform.h"
#include "TransformHandler.h"
#include "d3d9/DeviceFactory.h"

using namespace lit_scene_show;

namespace {

constexpr unsigned kWidth = 640;
constexpr unsigned kHeight = 400; // a 16:9 picture of 640 x 360 with bars of 20 rows
constexpr unsigned kBar = 20;

// The arena, then the loader (which every composition registers).
enum : int { kArena = 0 };

const std::function<void()> RegisterArenaComposition =
    OneSceneComposition([] { return new ArenaScene("ArenaScene"); });

// The arena from the start, with the animation time running with the playback time to the end of
// the show (row 2560 is 150 seconds).
std::map<std::string, std::vector<TrackKey>> ArenaTracks()
{
    return {{"Scene", {{0, kArena, 0}}}, {"PlaybackTime", {{0, 0.0f, 1}, {2560, 150.0f, 1}}}};
}

// The share of the content area's pixels (bars left out) whose grey value lies below `level`.
double ShareDarkerThan(const Picture& picture, double level)
{
    unsigned count = 0;
    for (unsigned y = kBar; y < kHeight - kBar; ++y)
        for (unsigned x = 0; x < kWidth; ++x) {
            const unsigned char* p = picture.At(x, y);
            count += (p[0] + p[1] + p[2]) / 3.0 < level ? 1u : 0u;
        }
    return static_cast<double>(count) / (kWidth * (kHeight - 2 * kBar));
}

} // namespace

// The stage at moments of both sections: the build's title, its captions, the outro's credits and
// its thanks. The picture is written for a person to look at.
TEST(ArenaSceneTest, CardsReadDarkOnTheBrightStageInBothSections)
{
    Show show(ArenaTracks(), kWidth, kHeight, RegisterArenaComposition);
    show.Boot();
    const struct {
        float time;
        const char* name;
    } moments[] = {
        {19.5f, "arena-title"}, {27.5f, "arena-captions"}, {124.0f, "arena-credits"}, {133.0f, "arena-thanks"}};
    for (const auto& moment : moments) {
        SCOPED_TRACE(moment.name);
        Picture picture;
        ASSERT_TRUE(show.Frame(moment.time, picture));
        picture.WritePng(PicturePath(moment.name));

        // The bars above and below the 16:9 picture stay black.
        EXPECT_EQ(picture.MeanLuma(0, 0, kWidth, kBar), 0.0);
        EXPECT_EQ(picture.MeanLuma(0, kHeight - kBar, kWidth, kHeight), 0.0);
        // A bright stage that does not clip: nothing reaches full white.
        const double mean = picture.MeanLuma(0, kBar, kWidth, kHeight - kBar);
        EXPECT_GT(mean, 150.0);
        EXPECT_LT(mean, 235.0);
        EXPECT_EQ(ShareDarkerThan(picture, 256.0) - ShareDarkerThan(picture, 250.0), 0.0);
        // Ink stays ink: the letters come out dark, as they were drawn, not washed out by a second
        // tone curve.
        EXPECT_GT(ShareDarkerThan(picture, 80.0), 0.002);
        // The copy of the stage that the twitch pass reads holds numbers.
        EXPECT_EQ(NonFiniteTexels("Color"), 0);
    }
}

namespace {

// The recording device's name of a texture: how SetTexture logs it.
std::string RecordedName(IDirect3DBaseTexture9* texture)
{
    IDirect3DDevice9* device = DXFramework::GetDevice();
    ClearRecordedCalls(device);
    device->SetTexture(0, texture);
    device->SetTexture(0, nullptr);
    const std::string arguments = GetRecordedCalls(device).front().arguments;
    return arguments.substr(arguments.find(", ") + 2);
}

// The numbers of a logged call's arguments, in order.
std::vector<unsigned> Numbers(const std::string& arguments)
{
    std::vector<unsigned> numbers;
    std::istringstream in(arguments);
    std::string item;
    while (std::getline(in, item, ','))
        numbers.push_back(static_cast<unsigned>(std::strtoul(item.c_str(), nullptr, 10)));
    return numbers;
}

} // namespace

// On the recording device: at moments where some layers are hidden between shown ones, the frame
// draws exactly the shown layers, each as its own quad with its own card, in layer order, with the
// smoke after the fifth layer.
TEST(ArenaSceneTest, HiddenLayersAreSkippedAndTheOthersKeepTheirOrderAroundTheSmoke)
{
    ScopedEnv recording("ORVALA_D3D_DEVICE", "recording");
    Show show(ArenaTracks(), kWidth, kHeight, RegisterArenaComposition);
    show.Boot();
    Picture picture;
    show.Frame(19.5f, picture); // the recording device presents nothing to read back
    auto& arena = dynamic_cast<ArenaScene&>(*SceneHandler::GetCurrent());
    std::map<std::string, int> cards;
    for (int k = 1; k <= ArenaScene::kLayers; ++k)
        cards[RecordedName(arena.GetLayerTexture(k))] = k;
    ASSERT_EQ(cards.size(), static_cast<std::size_t>(ArenaScene::kLayers));

    // The build with its first card gone and the next ones shown; the outro with only the
    // backdrop, the thanks and the signature.
    for (float time : {25.2f, 133.0f}) {
        SCOPED_TRACE(time);
        ClearRecordedCalls(DXFramework::GetDevice());
        show.Frame(time, picture);

        std::vector<std::string> expected;
        bool gap = false;
        bool shownAfterGap = false;
        for (int k = 1; k <= ArenaScene::kLayers; ++k) {
            const bool shown = arena.GetTransformHandler()->Find("Layer" + std::to_string(k))->IsVisible();
            if (shown) {
                expected.push_back("quad " + std::to_string(k) + " card " + std::to_string(k));
                shownAfterGap = shownAfterGap || gap;
            } else {
                gap = gap || !expected.empty();
            }
            if (k == ArenaScene::kLayersBelowSmoke)
                expected.push_back("smoke");
        }
        ASSERT_TRUE(shownAfterGap) << "the moment has a hidden layer between shown ones";

        // Draws into the back buffer with a card bound are layers; the one with many quads is the
        // smoke.
        std::vector<std::string> drawn;
        std::string card;
        for (const RecordedCall& call : GetRecordedCalls(DXFramework::GetDevice())) {
            if (call.method == "SetTexture" && call.arguments.rfind("0, ", 0) == 0) {
                const auto found = cards.find(call.arguments.substr(3));
                card = found != cards.end() ? std::to_string(found->second) : "";
            }
            if (call.method != "DrawIndexedPrimitive")
                continue;
            const std::vector<unsigned> n = Numbers(call.arguments); // type, base, min, vertices, start, count
            ASSERT_EQ(n.size(), 6u) << call.arguments;
            if (n[5] > 2)
                drawn.push_back("smoke");
            else if (!card.empty())
                drawn.push_back("quad " + std::to_string(n[4] / 6 + 1) + " card " + card);
        }
        EXPECT_EQ(drawn, expected);
    }
}

namespace {

// The show's staged content without one file, booted with the arena composition; what the boot
// reported, or nothing when it went through.
std::string BootWithout(const std::string& missing)
{
    namespace fs = std::filesystem;
    TempDir folder;
    ArchiveWriter archive;
    const fs::path stage = ORVALA_CONTENT_STAGE;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(stage)) {
        if (!entry.is_regular_file())
            continue;
        std::string name = fs::relative(entry.path(), stage).generic_string();
        std::replace(name.begin(), name.end(), '/', '\\');
        if (name == missing)
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        archive.Add(name,
                    std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
    }
    archive.Write((folder.path() / "basefile.dat").string(), 1);

    const fs::path previous = fs::current_path();
    fs::current_path(folder.path());
    SetMessageBoxPresenter([](const MessageBoxRecord&) { return IDOK; });
    std::string reported;
    {
        DXFramework framework(nullptr, "", "Orvala arena", kWidth, kHeight, false, 141.5f, false);
        RegisterArenaComposition();
        try {
            framework.Boot();
        } catch (const FrameworkEx& e) {
            reported = e.GetMessage();
        }
    }
    SetMessageBoxPresenter(nullptr);
    fs::current_path(previous);
    return reported;
}

} // namespace

TEST(ArenaSceneTest, MissingLayerCardStopsTheLoadingWithCouldntReadFile)
{
    for (const char* missing : {"Data\\layer1.png", "Data\\layer8.png"}) {
        SCOPED_TRACE(missing);
        EXPECT_EQ(BootWithout(missing), "Couldnt read file");
    }
}

TEST(ArenaSceneTest, LostDeviceInTheArenaIsSurvivedAndTheStageComesBack)
{
    const LostDeviceRun run =
        RunWithLostDevice(ArenaTracks(), kWidth, kHeight, RegisterArenaComposition,
                          {19.5f, 5, 3, 1, {}});
    EXPECT_EQ(run.drawn, 4) << "one frame is lost, the others are drawn";
    run.picture.WritePng(PicturePath("arena-after-loss"));
    // The same stage as without the loss: cards, smoke (the band low down) and all.
    EXPECT_EQ(run.picture.MeanLuma(0, 0, kWidth, kBar), 0.0);
    EXPECT_NEAR(run.picture.MeanLuma(0, 0, kWidth, kHeight), run.steady.MeanLuma(0, 0, kWidth, kHeight), 0.5);
    EXPECT_NEAR(run.picture.MeanLuma(0, 300, kWidth, kHeight - kBar), run.steady.MeanLuma(0, 300, kWidth, kHeight - kBar), 0.5);
}

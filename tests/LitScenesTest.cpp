#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "CamHandler.h"
#include "DXFramework.h"
#include "DXEffect/DXEffectHandler.h"
#include "DemoMain.h"
#include "ImgCubeScene.h"
#include "KeyHandler.h"
#include "TempDir.h"
#include "crt/CRand.h"
#include "win32/MessageBox.h"
#include "RenderTargetResources/RTCubeHandler/RTCubeHandler.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "LitSceneShow.h"
#include "SceneHandler.h"
#include "d3d9/DeviceFactory.h"
#include "d3dx9/d3dx9math.h"

using namespace lit_scene_show;

namespace {

constexpr unsigned kWidth = 640;
constexpr unsigned kHeight = 400; // a 16:9 picture of 640 x 360 with bars of 20 rows

// The cornell scene on screen from the start, at the middle of its camera move.
constexpr float kCornellTime = 37.0f;

// The scenes the keys select, always seen through their first camera, with no accent of the
// beat (flash, shake) to move the pictures the checks compare.
std::map<std::string, std::vector<TrackKey>> SceneTrack(std::vector<TrackKey> keys)
{
    return {{"Scene", std::move(keys)},
            {"ActiveCam", {{0, 0.0f, 0}}},
            {"Flash", {{0, 0.0f, 0}}},
            {"ShakeAmplitude", {{0, 0.0f, 0}}}};
}

// The pixel of the content area where a world point appears under the current scene's camera.
bool Project(const D3DXVECTOR3& world, unsigned& x, unsigned& y)
{
    const D3DXMATRIX& viewProj = SceneHandler::GetCurrent()->GetCamHandler()->GetViewProj();
    D3DXVECTOR4 clip;
    D3DXVec3Transform(&clip, &world, &viewProj);
    if (clip.w <= 0.0f)
        return false;
    const float nx = clip.x / clip.w;
    const float ny = clip.y / clip.w;
    if (std::fabs(nx) > 1.0f || std::fabs(ny) > 1.0f)
        return false;
    const unsigned top = (DXFramework::GetHeight() - DXFramework::GetContentHeight()) / 2;
    x = static_cast<unsigned>((nx * 0.5f + 0.5f) * DXFramework::GetContentWidth());
    y = top + static_cast<unsigned>((0.5f - ny * 0.5f) * DXFramework::GetContentHeight());
    return true;
}

} // namespace

TEST(LitScenesTest, CornellFrameIsLitExposedAndLetterboxed)
{
    Show show(SceneTrack({{0, kCornell, 0}}), kWidth, kHeight);
    show.Boot();
    Picture picture;
    ASSERT_TRUE(show.Frame(kCornellTime, picture));
    ASSERT_EQ(picture.width, kWidth);
    ASSERT_EQ(picture.height, kHeight);
    picture.WritePng(PicturePath("cornell"));

    // The bars above and below the 16:9 picture stay black.
    EXPECT_EQ(picture.MeanLuma(0, 0, kWidth, 20), 0.0);
    EXPECT_EQ(picture.MeanLuma(0, kHeight - 20, kWidth, kHeight), 0.0);
    // The picture is neither dark nor blown out.
    const double mean = picture.MeanLuma(0, 20, kWidth, kHeight - 20);
    EXPECT_GT(mean, 40.0);
    EXPECT_LT(mean, 200.0);
    // Every light buffer of the chain holds numbers: no NaN or infinity reaches the final pass.
    for (const char* name : {"Light", "Light3_tmp", "Light3"})
        EXPECT_EQ(NonFiniteTexels(name), 0) << name;
    // The red wall reads red and the green wall green.
    unsigned x = 0, y = 0;
    ASSERT_TRUE(Project(D3DXVECTOR3(-14.9f, 12.0f, 2.0f), x, y));
    double rgb[3];
    picture.SumRGB(x - 3, y - 3, x + 3, y + 3, rgb);
    EXPECT_GT(rgb[0], 1.5 * rgb[1]) << "at " << x << "," << y;
    ASSERT_TRUE(Project(D3DXVECTOR3(14.9f, 12.0f, 2.0f), x, y));
    picture.SumRGB(x - 3, y - 3, x + 3, y + 3, rgb);
    EXPECT_GT(rgb[1], 1.5 * rgb[0]) << "at " << x << "," << y;
}

TEST(LitScenesTest, BounceBleedsTheWallsColoursBuildsUpOverFramesAndStartsFromBlackOnEveryEntry)
{
    // Cornell, then the loader for a moment, then cornell again.
    Show show(SceneTrack({{0, kCornell, 0}, {100, kLoader, 0}, {120, kCornell, 0}}), kWidth, kHeight);
    show.Boot();
    const float first = 3.0f;
    const float again = 120.0f / (256.0f / 15.0f) + 0.5f;
    Picture picture;
    ASSERT_TRUE(show.Frame(first, picture));
    // The back wall high up by each coloured wall, which the lamps barely reach: bounced light.
    unsigned rx = 0, ry = 0;
    ASSERT_TRUE(Project(D3DXVECTOR3(-13.0f, 21.0f, -11.9f), rx, ry));
    const double entered = picture.MeanLuma(rx - 4, ry - 4, rx + 4, ry + 4);
    const Picture firstPicture = picture;
    for (int frame = 0; frame < 5; ++frame)
        ASSERT_TRUE(show.Frame(first, picture));
    picture.WritePng(PicturePath("cornell-bounced"));
    const double bounced = picture.MeanLuma(rx - 4, ry - 4, rx + 4, ry + 4);
    EXPECT_GT(bounced, entered * 1.1) << "light builds up over frames";
    // The indirect light on the white floor takes the colour of the nearer wall.
    std::vector<float> indirect;
    unsigned w = 0, h = 0;
    ASSERT_TRUE(ReadTarget(SceneHandler::GetCurrent()->GetTexture("Light3_tmp")->surface, indirect, w, h));
    const unsigned top = (kHeight - h) / 2;
    auto indirectRedOverGreen = [&](const D3DXVECTOR3& world) {
        unsigned x = 0, y = 0;
        EXPECT_TRUE(Project(world, x, y));
        double r = 0.0, g = 0.0;
        for (unsigned j = y - top - 3; j <= y - top + 3; ++j)
            for (unsigned i = x - 3; i <= x + 3; ++i) {
                r += indirect[(j * w + i) * 4];
                g += indirect[(j * w + i) * 4 + 1];
            }
        return r / std::max(g, 1e-6);
    };
    EXPECT_GT(indirectRedOverGreen(D3DXVECTOR3(-13.0f, 0.05f, 0.0f)), 1.3) << "red bleeds onto the floor by the red wall";
    EXPECT_LT(indirectRedOverGreen(D3DXVECTOR3(13.0f, 0.05f, 0.0f)), 1.0 / 1.3) << "green by the green wall";

    ASSERT_TRUE(show.Frame(6.5f, picture)); // the loader
    ASSERT_TRUE(show.Frame(again, picture));
    EXPECT_NEAR(picture.MeanLuma(rx - 4, ry - 4, rx + 4, ry + 4), entered, 1.0);
    EXPECT_NEAR(picture.MeanLuma(0, 0, kWidth, kHeight), firstPicture.MeanLuma(0, 0, kWidth, kHeight), 0.5);
}

namespace {

// Stands in for the show's scenes while they load: asks for loader frames and keeps the picture
// each one presented.
class LoadingWatcher : public Scene {
public:
    LoadingWatcher(int steps, std::vector<Picture>& pictures) : Scene("LoadingWatcher"), steps(steps), pictures(pictures) {}
    void CreateResources() override
    {
        for (int i = 0; i < steps; ++i) {
            DXFramework::DrawLoaderFrame();
            Picture picture;
            std::vector<std::uint8_t> bytes;
            if (DXFramework::GetDevice()->GetPresentedFrame(bytes, picture.width, picture.height) == D3D_OK) {
                picture.bgra.assign(bytes.begin(), bytes.end());
                pictures.push_back(std::move(picture));
            }
        }
    }

private:
    int steps;
    std::vector<Picture>& pictures;
};

} // namespace

TEST(LitScenesTest, LoaderBarFillsWithEveryLoadingStepAndEndsFull)
{
    std::vector<Picture> pictures;
    // A watcher asks for seven loading steps: the bar grows at every one of them (that it is full
    // at the whole show's last step is checked where the show is loaded whole).
    Show show(SceneTrack({{0, 1, 0}}), kWidth, kHeight, [&] {
        ModuleHandler::AddModule(new PostEffects("PostFX"));
        ModuleHandler::AddModule(new DeferredLighting("DefLight"));
        SceneHandler::AddScene(new LoadingWatcher(7, pictures));
        SceneHandler::AddScene(new LoaderBarScene("LoaderBarScene"));
    });
    show.Boot();
    ASSERT_EQ(pictures.size(), 7u);
    for (std::size_t i = 0; i < pictures.size(); ++i)
        pictures[i].WritePng(PicturePath("loader-" + std::to_string(i + 1)));
    // Only the bar changes from one loading step to the next: it grows to the right, every step.
    int previousRight = -1;
    for (std::size_t k = 1; k < pictures.size(); ++k) {
        int right = -1;
        unsigned changed = 0;
        for (unsigned y = 0; y < kHeight; ++y)
            for (unsigned x = 0; x < kWidth; ++x) {
                const unsigned char* a = pictures[k].At(x, y);
                const unsigned char* b = pictures[k - 1].At(x, y);
                if (std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) > 12) {
                    ++changed;
                    right = std::max(right, static_cast<int>(x));
                }
            }
        EXPECT_GT(changed, 50u) << "step " << k + 1;
        EXPECT_GT(right, previousRight) << "step " << k + 1;
        previousRight = right;
    }
    // Once loaded, the loader shows the full bar of the last step.
    Picture after;
    ASSERT_TRUE(show.Frame(1.0f, after));
    EXPECT_NEAR(after.MeanLuma(0, 0, kWidth, kHeight), pictures.back().MeanLuma(0, 0, kWidth, kHeight), 0.5);
    EXPECT_GT(after.MeanLuma(0, 20, kWidth, kHeight - 20), 30.0);
}

namespace {

} // namespace

TEST(LitScenesTest, CornellChainDrawsItsStepsInOrder)
{
    ScopedEnv recording("ORVALA_D3D_DEVICE", "recording");
    Show show(SceneTrack({{0, kCornell, 0}}), kWidth, kHeight);
    show.Boot();
    Picture picture;
    show.Frame(kCornellTime, picture); // the recording device presents nothing to read back

    // Target names as the log writes them.
    Scene& scene = *SceneHandler::GetCurrent();
    std::map<std::string, std::string> names;
    for (const char* name : {"Shadow1", "Shadow2", "Shadow3", "Shadow4", "Shadow_temp", "NormalDepth", "Color", "Light",
                             "CLNormalDepth", "CLColor", "CubeLight", "CubeLight_tmp", "CubeLight0", "CubeLight1",
                             "CubeLight2", "CubeLight3", "CubeLight4", "CubeLight5", "Light3", "Light3_tmp"})
        names[RecordedName(scene.GetTexture(name)->surface)] = name;
    for (int f = 0; f < 6; ++f)
        names[RecordedName(scene.GetCubeTexture("IndirectLight")->faces[f])] = "IndirectLight" + std::to_string(f);
    names[RecordedName(DXFramework::GetBackBuffer())] = "BackBuffer";

    ClearRecordedCalls(DXFramework::GetDevice());
    show.Frame(kCornellTime, picture);
    std::vector<std::string> drawn;
    for (const RecordedCall& call : GetRecordedCalls(DXFramework::GetDevice())) {
        if (call.method.rfind("Draw", 0) != 0)
            continue;
        std::string targets;
        for (const std::string& target : call.targets)
            targets += (targets.empty() ? "" : "+") + (names.count(target) ? names[target] : target);
        if (drawn.empty() || drawn.back() != targets)
            drawn.push_back(targets);
    }

    std::vector<std::string> expected;
    for (int i = 1; i <= 4; ++i) {
        const std::string shadow = "Shadow" + std::to_string(i);
        expected.insert(expected.end(), {shadow, "Shadow_temp", shadow, "Shadow_temp", shadow});
    }
    expected.insert(expected.end(), {"NormalDepth", "Color+NormalDepth", "Light", "Light3"});
    expected.pop_back(); // the indirect light of the screen is drawn after the cube map
    for (int f = 0; f < 6; ++f)
        expected.insert(expected.end(), {"CLNormalDepth", "CLColor+CLNormalDepth", "CubeLight", "CubeLight_tmp",
                                         "CubeLight" + std::to_string(f)});
    for (int f = 0; f < 6; ++f)
        expected.push_back("IndirectLight" + std::to_string(f));
    expected.insert(expected.end(), {"Light3", "Light3_tmp", "Light3", "BackBuffer"});
    EXPECT_EQ(drawn, expected);
}

TEST(LitScenesTest, KeyIShowsTheLightMarkersAndAgainHidesThem)
{
    Show show(SceneTrack({{0, kCornell, 0}}), kWidth, kHeight);
    show.Boot();
    Picture plain, marked, again;
    // Still light: the same frame twice gives the bounce time to settle before comparing.
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(show.Frame(kCornellTime, plain));
    auto press = [] {
        KeyHandler::KeyDown(73);
    };
    auto release = [] {
        KeyHandler::Update();
        KeyHandler::KeyUp(73);
        KeyHandler::Update();
    };
    press();
    ASSERT_TRUE(show.Frame(kCornellTime, marked));
    release();
    for (int i = 0; i < 7; ++i)
        ASSERT_TRUE(show.Frame(kCornellTime, marked));
    marked.WritePng(PicturePath("cornell-markers"));
    press();
    ASSERT_TRUE(show.Frame(kCornellTime, again));
    release();
    for (int i = 0; i < 7; ++i)
        ASSERT_TRUE(show.Frame(kCornellTime, again));
    // Pixels that the markers brighten (the spots at the lights, and the light the markers send
    // on through the cube map), all gone again after the second press.
    auto brightened = [&](const Picture& picture) {
        unsigned count = 0;
        for (unsigned y = 0; y < kHeight; ++y)
            for (unsigned x = 0; x < kWidth; ++x) {
                const unsigned char* a = picture.At(x, y);
                const unsigned char* b = plain.At(x, y);
                count += (a[0] + a[1] + a[2]) - (b[0] + b[1] + b[2]) > 60 ? 1u : 0u;
            }
        return count;
    };
    EXPECT_GT(brightened(marked), 20u);
    EXPECT_LE(brightened(again), 2u);
}

TEST(LitScenesTest, LostDeviceInTheCornellSceneIsSurvivedAndTheSceneComesBack)
{
    const LostDeviceRun run =
        RunWithLostDevice(SceneTrack({{0, kCornell, 0}}), kWidth, kHeight, RegisterLitComposition,
                          {kCornellTime, 14, 3, 10, {}});
    EXPECT_EQ(run.drawn, 13) << "one frame is lost, the others are drawn";
    // The effects were made again in the new effect pool: a shared value set on "Global" reaches
    // the scenes' material effect.
    const float focus[2] = {7.0f, 11.0f};
    DXFramework::GetGlobalEffect()->SetVec2BySemantic("FOCUS_MAXZ", focus);
    ID3DXEffect* material = DXEffectHandler::FindEffect("mikkmakk")->GetD3DXEffect();
    D3DXVECTOR4 seen{};
    ASSERT_EQ(material->GetVector(material->GetParameterBySemantic(nullptr, "FOCUS_MAXZ"), &seen), D3D_OK);
    EXPECT_EQ(seen.x, 7.0f);
    EXPECT_EQ(seen.y, 11.0f);
    EXPECT_TRUE(run.show->boxes.empty()) << run.show->boxes.front();
    // The indirect light has built up again: as bright as without the loss. (The gather's sample
    // kernel is run.drawn anew whenever the post-effect module makes its resources, so the fine
    // pattern of the indirect light differs.)
    run.picture.WritePng(PicturePath("cornell-after-loss"));
    EXPECT_EQ(run.picture.MeanLuma(0, 0, kWidth, 20), 0.0);
    EXPECT_NEAR(run.picture.MeanLuma(0, 0, kWidth, kHeight), run.steady.MeanLuma(0, 0, kWidth, kHeight), 2.0);
}

TEST(LitScenesTest, MissingWordMeshStopsTheLoadingWithTheMeshLoadersMessage)
{
    TempDir folder;
    WriteShowArchive(folder.path(), {{"Scene", {{0, kCornell, 0}}}}, {"Data\\bounceShape.x"});
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    crt::srand(1);
    std::vector<MessageBoxRecord> boxes;
    SetMessageBoxPresenter([&](const MessageBoxRecord& box) {
        boxes.push_back(box);
        return IDOK;
    });
    DemoConfiguration configuration;
    configuration.title = "Orvala missing mesh";
    configuration.width = 320;
    configuration.height = 180;
    configuration.endTime = 0.4f;
    configuration.showSetupDialog = false;
    const int code = RunDemo(nullptr, "", configuration, RegisterLitComposition);
    SetMessageBoxPresenter(nullptr);
    std::filesystem::current_path(previous);

    EXPECT_EQ(code, 1);
    // Curves a transform does without are told once per kind ("File not found"); the failure
    // itself is one box with the loader's words.
    std::vector<MessageBoxRecord> failures;
    for (const MessageBoxRecord& box : boxes)
        if (box.caption != "File not found")
            failures.push_back(box);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].text.find("[DXMesh::LoadX]: failed to load \"bounceShape.x\"."), std::string::npos)
        << failures[0].caption << ": " << failures[0].text;
}

TEST(LitScenesTest, ImgCubeSurvivesALostDevice)
{
    const auto compose = OneSceneComposition([] { return new ImgCubeScene("ImgCubeScene"); });
    const LostDeviceRun run =
        RunWithLostDevice(SceneTrack({{0, 0.0f, 0}}), kWidth, kHeight, compose, {80.0f, 4, 2, 1, {}});
    EXPECT_EQ(run.drawn, 3) << "one frame is lost, the others are drawn";
    EXPECT_EQ(run.picture.MeanLuma(0, 0, kWidth, 20), 0.0);
    EXPECT_NEAR(run.picture.MeanLuma(0, 0, kWidth, kHeight), run.steady.MeanLuma(0, 0, kWidth, kHeight), 1.0);
}

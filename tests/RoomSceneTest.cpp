#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "CamHandler.h"
#include "DXFramework.h"
#include "Dust/Dust.h"
#include "LitSceneShow.h"
#include "ModuleHandler.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "RoomScene.h"
#include "SceneHandler.h"
#include "Transform.h"
#include "TransformHandler.h"
#include "d3d9/DeviceFactory.h"
#include "d3dx9/d3dx9math.h"

using namespace lit_scene_show;

namespace {

constexpr unsigned kWidth = 640;
constexpr unsigned kHeight = 400; // a 16:9 picture of 640 x 360 with bars of 20 rows
constexpr unsigned kBar = 20;

// Scene indices of the composition, in registration order.
enum : int { kRoom = 0, kRoomLoader = 1 };

const std::function<void()> RegisterRoomComposition =
    OneSceneComposition([] { return new RoomScene("RoomScene"); });

std::map<std::string, std::vector<TrackKey>> RoomOnScreen()
{
    return {{"Scene", {{0, kRoom, 0}}}};
}

// Along the camera's move over the word, from its start to its end.
constexpr float kMoveTimes[] = {45.5f, 50.5f, 55.5f, 59.5f};

// The pixel of the picture (bars included) where a world point appears under the current camera,
// and its view depth; false behind the camera.
bool Project(const D3DXVECTOR3& world, float& x, float& y, float& depth)
{
    CamHandler& cameras = *SceneHandler::GetCurrent()->GetCamHandler();
    D3DXVECTOR4 clip;
    D3DXVec3Transform(&clip, &world, &cameras.GetViewProj());
    if (clip.w <= 0.0f)
        return false;
    D3DXVECTOR4 view;
    D3DXVec3Transform(&view, &world, &cameras.GetView());
    depth = -view.z;
    x = (clip.x / clip.w * 0.5f + 0.5f) * static_cast<float>(DXFramework::GetContentWidth());
    y = static_cast<float>(kBar) + (0.5f - clip.y / clip.w * 0.5f) * static_cast<float>(DXFramework::GetContentHeight());
    return true;
}

// Half the width of each letter mesh (its capital height is 1).
const std::map<std::string, float> kHalfWidths = {{"D", 0.47f}, {"A", 0.52f}, {"Y", 0.51f}, {"L", 0.35f},
                                                   {"I", 0.13f}, {"G", 0.48f}, {"H", 0.45f}, {"T", 0.46f}};

// What the frame shows of one letter: the pixels of the rectangle around its upper part where the
// geometry lies at the letter's depth (the letter itself), against the rest of that rectangle
// (what stands behind it).
struct LetterView {
    bool inFrame = false;
    unsigned letterPixels = 0;
    unsigned boxPixels = 0;
    double letterLuma = 0.0;
    double behindLuma = 0.0;
};

LetterView ViewLetter(const std::string& name, const Picture& picture, const std::vector<float>& normalDepth)
{
    LetterView view;
    Transform* letter = SceneHandler::GetCurrent()->GetTransformHandler()->Find(name);
    const float half = kHalfWidths.at(name);
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f, depth = 0.0f;
    // The letter's upper three quarters: the floor in front of it projects below that.
    for (const D3DXVECTOR3& corner : {D3DXVECTOR3(-half, -0.25f, 0.0f), D3DXVECTOR3(half, -0.25f, 0.0f),
                                      D3DXVECTOR3(-half, 0.5f, 0.0f), D3DXVECTOR3(half, 0.5f, 0.0f)}) {
        D3DXVECTOR3 world;
        D3DXVec3TransformCoord(&world, &corner, &letter->GetWorld());
        float x = 0.0f, y = 0.0f;
        if (!Project(world, x, y, depth))
            return view;
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    }
    const D3DXVECTOR3 middle(0.0f, 0.1f, 0.0f);
    D3DXVECTOR3 centre;
    D3DXVec3TransformCoord(&centre, &middle, &letter->GetWorld());
    float cx = 0.0f, cy = 0.0f;
    Project(centre, cx, cy, depth);
    if (x0 < 0.0f || y0 < kBar || x1 >= kWidth || y1 >= kHeight - kBar)
        return view;
    view.inFrame = true;
    const unsigned contentWidth = DXFramework::GetContentWidth();
    double letterSum = 0.0, behindSum = 0.0;
    for (unsigned y = static_cast<unsigned>(y0); y < static_cast<unsigned>(y1); ++y)
        for (unsigned x = static_cast<unsigned>(x0); x < static_cast<unsigned>(x1); ++x) {
            const float stored = normalDepth[((y - kBar) * contentWidth + x) * 4 + 3] * 300.0f;
            const unsigned char* p = picture.At(x, y);
            const double luma = (p[0] + p[1] + p[2]) / 3.0;
            ++view.boxPixels;
            if (std::fabs(stored - depth) < 1.2f) {
                ++view.letterPixels;
                letterSum += luma;
            } else {
                behindSum += luma;
            }
        }
    view.letterLuma = letterSum / std::max(1u, view.letterPixels);
    view.behindLuma = behindSum / std::max(1u, view.boxPixels - view.letterPixels);
    return view;
}

} // namespace

TEST(RoomSceneTest, FramesAlongTheCameraMoveAreExposedLetterboxedAndShowTheLetters)
{
    Show show(RoomOnScreen(), kWidth, kHeight, RegisterRoomComposition);
    show.Boot();
    for (float time : kMoveTimes) {
        SCOPED_TRACE("at " + std::to_string(time) + " s");
        Picture picture;
        ASSERT_TRUE(show.Frame(time, picture));
        ASSERT_EQ(picture.width, kWidth);
        ASSERT_EQ(picture.height, kHeight);
        picture.WritePng(PicturePath("room-" + std::to_string(static_cast<int>(time * 10.0f))));

        // The bars above and below the 16:9 picture stay black.
        EXPECT_EQ(picture.MeanLuma(0, 0, kWidth, kBar), 0.0);
        EXPECT_EQ(picture.MeanLuma(0, kHeight - kBar, kWidth, kHeight), 0.0);
        // The picture is neither dark nor blown out.
        const double mean = picture.MeanLuma(0, kBar, kWidth, kHeight - kBar);
        EXPECT_GT(mean, 45.0);
        EXPECT_LT(mean, 190.0);

        // The light buffers hold numbers: no NaN or infinity reaches the final pass.
        Scene& scene = *SceneHandler::GetCurrent();
        for (const char* name : {"Light", "Color"})
            EXPECT_EQ(NonFiniteTexels(name), 0) << name;

        // Every letter the camera frames stands in the picture, lit and apart from what lies
        // behind it; the move always frames several of them.
        std::vector<float> normalDepth;
        unsigned w = 0, h = 0;
        ASSERT_TRUE(ReadTarget(scene.GetTexture("NormalDepth")->surface, normalDepth, w, h));
        int framed = 0;
        for (const char* name : {"D", "A", "Y", "L", "I", "G", "H", "T"}) {
            const LetterView view = ViewLetter(name, picture, normalDepth);
            if (!view.inFrame)
                continue;
            ++framed;
            EXPECT_GT(view.letterPixels, view.boxPixels / 5) << name << " is hidden";
            EXPECT_GT(view.letterLuma, 40.0) << name << " is dark";
            EXPECT_GT(std::fabs(view.letterLuma - view.behindLuma), 8.0) << name << " does not stand out";
        }
        EXPECT_GE(framed, 2);
    }
}

namespace {

// The flags of a logged Clear: its first hexadecimal argument.
unsigned long ClearFlags(const std::string& arguments)
{
    const std::size_t at = arguments.find("0x");
    return at == std::string::npos ? 0ul : std::strtoul(arguments.c_str() + at, nullptr, 16);
}

} // namespace

TEST(RoomSceneTest, ChainDrawsShadowsGeometryLightDepthOfFieldThenTheDustOverTheGeometryDepth)
{
    ScopedEnv recording("ORVALA_D3D_DEVICE", "recording");
    Show show(RoomOnScreen(), kWidth, kHeight, RegisterRoomComposition);
    show.Boot();
    Picture picture;
    show.Frame(kMoveTimes[1], picture); // the recording device presents nothing to read back

    Scene& scene = *SceneHandler::GetCurrent();
    std::map<std::string, std::string> names;
    for (int i = 1; i <= RoomScene::kSpotLights; ++i)
        names[RecordedName(scene.GetTexture("Shadow" + std::to_string(i))->surface)] = "Shadow" + std::to_string(i);
    for (const char* name : {"Shadow_temp", "NormalDepth", "Color", "Light", "Depth", "Blur1", "Blur2"})
        names[RecordedName(scene.GetTexture(name)->surface)] = name;
    names[RecordedName(DXFramework::GetBackBuffer())] = "BackBuffer";
    const unsigned dustTriangles = static_cast<Dust*>(ModuleHandler::FindModule("Dust"))->GetCount();

    IDirect3DDevice9* device = DXFramework::GetDevice();
    ClearRecordedCalls(device);
    show.Frame(kMoveTimes[1], picture);

    // Draws by their targets, runs of the same targets as one; the dust's draw (its triangles in one
    // list) is told apart. The depth surface of each draw is followed through the log, and so are
    // the clears of depth.
    std::vector<std::string> drawn;
    std::string depth, geometryDepth, dustDepth;
    bool depthClearedAfterGeometry = false;
    for (const RecordedCall& call : GetRecordedCalls(device)) {
        if (call.method == "SetDepthStencilSurface") {
            depth = call.arguments;
            continue;
        }
        if (call.method == "Clear" && !geometryDepth.empty() && dustDepth.empty() && depth == geometryDepth &&
            (ClearFlags(call.arguments) & D3DCLEAR_ZBUFFER) != 0)
            depthClearedAfterGeometry = true;
        if (call.method.rfind("Draw", 0) != 0)
            continue;
        std::string targets;
        for (const std::string& target : call.targets)
            targets += (targets.empty() ? "" : "+") + (names.count(target) ? names[target] : target);
        const bool isDust = call.method == "DrawPrimitive" &&
                            call.arguments.find(", " + std::to_string(dustTriangles)) != std::string::npos;
        if (isDust) {
            targets += " (dust)";
            dustDepth = depth;
        }
        if (targets == "Color+NormalDepth")
            geometryDepth = depth;
        if (drawn.empty() || drawn.back() != targets)
            drawn.push_back(targets);
    }

    std::vector<std::string> expected;
    for (int i = 1; i <= RoomScene::kSpotLights; ++i) {
        const std::string shadow = "Shadow" + std::to_string(i);
        expected.insert(expected.end(), {shadow, "Shadow_temp", shadow, "Shadow_temp", shadow});
    }
    expected.insert(expected.end(), {"NormalDepth", "Color+NormalDepth", "Light", "Depth", "Blur1", "Blur2", "Blur1",
                                     "Blur2", "Color", "Color (dust)", "BackBuffer"});
    EXPECT_EQ(drawn, expected);
    // The motes are tested against the depth the letters and the room left.
    EXPECT_FALSE(geometryDepth.empty());
    EXPECT_EQ(dustDepth, geometryDepth);
    EXPECT_FALSE(depthClearedAfterGeometry);
}

namespace {

// A scene that, like the show's other dusty scenes, leaves a box of its own in the dust module when
// it makes its resources, after the room made its own.
class OtherDustyScene : public Scene {
public:
    OtherDustyScene() : Scene("OtherDustyScene") {}
    void CreateResources() override
    {
        box = std::make_unique<Transform>("OtherDustBox", D3DXVECTOR3(0.0f, 50.0f, 0.0f),
                                          D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(1.0f, 1.0f, 1.0f));
        box->Update(0.0f);
        static_cast<Dust*>(ModuleHandler::FindModule("Dust"))->SetBox(box.get());
    }
    void ReleaseResources() override { box.reset(); }

private:
    std::unique_ptr<Transform> box;
};

} // namespace

TEST(RoomSceneTest, DustFillsTheRoomsBoxWhateverBoxAnotherSceneLeftInTheModule)
{
    Show show(RoomOnScreen(), kWidth, kHeight, [] {
        ModuleHandler::AddModule(new PostEffects("PostFX"));
        ModuleHandler::AddModule(new DeferredLighting("DefLight"));
        ModuleHandler::AddModule(new Dust("Dust"));
        SceneHandler::AddScene(new RoomScene("RoomScene"));
        SceneHandler::AddScene(new OtherDustyScene());
        SceneHandler::AddScene(new LoaderBarScene("LoaderBarScene"));
    });
    show.Boot();
    auto* dust = static_cast<Dust*>(ModuleHandler::FindModule("Dust"));
    ASSERT_NE(dust->GetBox(), nullptr);
    EXPECT_EQ(dust->GetBox()->GetName(), "OtherDustBox") << "the other scene made its resources last";
    Picture picture;
    ASSERT_TRUE(show.Frame(kMoveTimes[0], picture));
    Transform* roomBox = SceneHandler::GetCurrent()->GetTransformHandler()->Find("RoomDustBox");
    EXPECT_EQ(dust->GetBox(), roomBox);
}

TEST(RoomSceneTest, LostDeviceIsSurvivedAndTheRoomComesBackWithItsOwnDustBox)
{
    const LostDeviceRun run =
        RunWithLostDevice(RoomOnScreen(), kWidth, kHeight, RegisterRoomComposition,
                          {kMoveTimes[1], 5, 3, 1, {}});
    EXPECT_EQ(run.drawn, 4) << "one frame is lost, the others are drawn";
    for (const std::string& box : run.show->boxes)
        EXPECT_EQ(box.rfind("File not found", 0), 0u) << box;
    run.picture.WritePng(PicturePath("room-after-loss"));
    EXPECT_EQ(run.picture.MeanLuma(0, 0, kWidth, kBar), 0.0);
    EXPECT_NEAR(run.picture.MeanLuma(0, 0, kWidth, kHeight), run.steady.MeanLuma(0, 0, kWidth, kHeight), 2.0);
    // The rebuilt scene description made new transforms: the dust draws in the new box.
    auto* dust = static_cast<Dust*>(ModuleHandler::FindModule("Dust"));
    EXPECT_EQ(dust->GetBox(), SceneHandler::GetCurrent()->GetTransformHandler()->Find("RoomDustBox"));
}

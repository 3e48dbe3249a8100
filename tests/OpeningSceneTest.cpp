#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "CamHandler.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "Dust/Dust.h"
#include "LitSceneShow.h"
#include "ModuleHandler.h"
#include "OpeningScene.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
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

enum : int { kOpening = 0, kOpeningLoader = 1 };

const std::function<void()> RegisterOpeningComposition =
    OneSceneComposition([] { return new OpeningScene("OpeningScene"); });

std::map<std::string, std::vector<TrackKey>> OpeningOnScreen()
{
    return {{"Scene", {{0, kOpening, 0}}}};
}

// Along the camera's move, from the first seconds to the end of the intro.
constexpr float kMoveTimes[] = {0.5f, 5.0f, 9.5f, 14.5f};

// The pixel of the picture (bars included) where a world point appears under the current camera;
// false behind the camera.
bool Project(const D3DXVECTOR3& world, float& x, float& y)
{
    CamHandler& cameras = *SceneHandler::GetCurrent()->GetCamHandler();
    D3DXVECTOR4 clip;
    D3DXVec3Transform(&clip, &world, &cameras.GetViewProj());
    if (clip.w <= 0.0f)
        return false;
    x = (clip.x / clip.w * 0.5f + 0.5f) * static_cast<float>(DXFramework::GetContentWidth());
    y = static_cast<float>(kBar) + (0.5f - clip.y / clip.w * 0.5f) * static_cast<float>(DXFramework::GetContentHeight());
    return true;
}

// The flags of a logged Clear: its first hexadecimal argument.
unsigned long ClearFlags(const std::string& arguments)
{
    const std::size_t at = arguments.find("0x");
    return at == std::string::npos ? 0ul : std::strtoul(arguments.c_str() + at, nullptr, 16);
}

} // namespace

TEST(OpeningSceneTest, FramesAlongTheCameraMoveAreDarkButNotBlackAndTheHologramGlows)
{
    Show show(OpeningOnScreen(), kWidth, kHeight, RegisterOpeningComposition);
    show.Boot();
    for (float time : kMoveTimes) {
        SCOPED_TRACE("at " + std::to_string(time) + " s");
        Picture picture;
        ASSERT_TRUE(show.Frame(time, picture));
        ASSERT_EQ(picture.width, kWidth);
        ASSERT_EQ(picture.height, kHeight);
        picture.WritePng(PicturePath("opening-" + std::to_string(static_cast<int>(time * 10.0f))));

        // The bars above and below the 16:9 picture stay black.
        EXPECT_EQ(picture.MeanLuma(0, 0, kWidth, kBar), 0.0);
        EXPECT_EQ(picture.MeanLuma(0, kHeight - kBar, kWidth, kHeight), 0.0);
        // A dark scene, but not a black one, and nowhere near blown out.
        const double mean = picture.MeanLuma(0, kBar, kWidth, kHeight - kBar);
        EXPECT_GT(mean, 25.0);
        EXPECT_LT(mean, 160.0);

        for (const char* name : {"Light", "Color"})
            EXPECT_EQ(NonFiniteTexels(name), 0) << name;

        // The hologram stands in the frame and is the brightest thing in it: the square around
        // its middle outshines the picture, and its light is cool (more blue than red).
        Transform* holo = SceneHandler::GetCurrent()->GetTransformHandler()->Find("holo");
        ASSERT_NE(holo, nullptr);
        float x = 0.0f, y = 0.0f;
        ASSERT_TRUE(Project(holo->GetTranslation(), x, y));
        ASSERT_GT(x, 60.0f);
        ASSERT_LT(x, kWidth - 60.0f);
        ASSERT_GT(y, kBar + 60.0f);
        ASSERT_LT(y, kHeight - kBar - 60.0f);
        const unsigned x0 = static_cast<unsigned>(x) - 50, y0 = static_cast<unsigned>(y) - 50;
        const double around = picture.MeanLuma(x0, y0, x0 + 100, y0 + 100);
        EXPECT_GT(around, mean * 1.3);
        double rgb[3];
        picture.SumRGB(x0, y0, x0 + 100, y0 + 100, rgb);
        EXPECT_GT(rgb[2], rgb[0] * 1.1);
    }
}

TEST(OpeningSceneTest, ChainDrawsTheHologramOverTheLitGeometryBeforeTheDust)
{
    ScopedEnv recording("ORVALA_D3D_DEVICE", "recording");
    Show show(OpeningOnScreen(), kWidth, kHeight, RegisterOpeningComposition);
    show.Boot();
    Picture picture;
    show.Frame(kMoveTimes[2], picture); // the recording device presents nothing to read back

    Scene& scene = *SceneHandler::GetCurrent();
    std::map<std::string, std::string> names;
    for (int i = 1; i <= OpeningScene::kSpotLights; ++i)
        names[RecordedName(scene.GetTexture("Shadow" + std::to_string(i))->surface)] = "Shadow" + std::to_string(i);
    for (const char* name : {"Shadow_temp", "NormalDepth", "Color", "Light", "Depth", "Blur1", "Blur2"})
        names[RecordedName(scene.GetTexture(name)->surface)] = name;
    names[RecordedName(DXFramework::GetBackBuffer())] = "BackBuffer";
    const unsigned dustTriangles = static_cast<Dust*>(ModuleHandler::FindModule("Dust"))->GetCount();
    DXMesh knot(nullptr);
    knot.LoadX("holoShape.x");
    const unsigned knotTriangles = knot.GetNumFaces();

    IDirect3DDevice9* device = DXFramework::GetDevice();
    ClearRecordedCalls(device);
    show.Frame(kMoveTimes[2], picture);

    // Draws by their targets, runs of the same targets as one; the hologram's draw (the knot's
    // triangles) and the dust's (its triangles in one list) are told apart. The depth surface of
    // each draw is followed through the log, and so are the clears of depth.
    std::vector<std::string> drawn;
    std::string depth, geometryDepth, holoDepth, dustDepth;
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
        // The primitive count is a draw's last argument.
        const std::string count =
            ", " + std::to_string(call.method == "DrawPrimitive" ? dustTriangles : knotTriangles);
        const bool counted = call.arguments.size() >= count.size() &&
                             call.arguments.compare(call.arguments.size() - count.size(), count.size(), count) == 0;
        if (counted && call.method == "DrawPrimitive") {
            targets += " (dust)";
            dustDepth = depth;
        } else if (counted && call.method == "DrawIndexedPrimitive" && targets == "Color") {
            targets += " (hologram)";
            holoDepth = depth;
        }
        if (targets == "Color+NormalDepth")
            geometryDepth = depth;
        if (drawn.empty() || drawn.back() != targets)
            drawn.push_back(targets);
    }

    std::vector<std::string> expected;
    for (int i = 1; i <= OpeningScene::kSpotLights; ++i) {
        const std::string shadow = "Shadow" + std::to_string(i);
        expected.insert(expected.end(), {shadow, "Shadow_temp", shadow, "Shadow_temp", shadow});
    }
    expected.insert(expected.end(), {"NormalDepth", "Color+NormalDepth", "Light", "Depth", "Blur1", "Blur2", "Blur1",
                                     "Blur2", "Color", "Color (hologram)", "Color (dust)", "BackBuffer"});
    EXPECT_EQ(drawn, expected);
    // The hologram and the motes are tested against the depth the ground left.
    EXPECT_FALSE(geometryDepth.empty());
    EXPECT_EQ(holoDepth, geometryDepth);
    EXPECT_EQ(dustDepth, geometryDepth);
    EXPECT_FALSE(depthClearedAfterGeometry);
}

TEST(OpeningSceneTest, LostDeviceIsSurvivedAndTheOpeningComesBackWithItsOwnDustBox)
{
    const LostDeviceRun run =
        RunWithLostDevice(OpeningOnScreen(), kWidth, kHeight, RegisterOpeningComposition,
                          {kMoveTimes[2], 5, 3, 1, {}});
    EXPECT_EQ(run.drawn, 4) << "one frame is lost, the others are drawn";
    for (const std::string& box : run.show->boxes)
        EXPECT_EQ(box.rfind("File not found", 0), 0u) << box;
    run.picture.WritePng(PicturePath("opening-after-loss"));
    EXPECT_EQ(run.picture.MeanLuma(0, 0, kWidth, kBar), 0.0);
    EXPECT_NEAR(run.picture.MeanLuma(0, 0, kWidth, kHeight), run.steady.MeanLuma(0, 0, kWidth, kHeight), 2.0);
    auto* dust = static_cast<Dust*>(ModuleHandler::FindModule("Dust"));
    EXPECT_EQ(dust->GetBox(), SceneHandler::GetCurrent()->GetTransformHandler()->Find("OpeningDustBox"));
}

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DXEffect/DXEffect.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXMesh/DXMesh.h"
#include "Floor/Floor.h"
#include "LitScene.h"
#include "LitSceneShow.h"
#include "MeshDust/MeshDust.h"
#include "ModuleHandler.h"
#include "MorphScene.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"

using namespace lit_scene_show;

namespace {

constexpr unsigned kWidth = 640;
constexpr unsigned kHeight = 400;

const std::function<void()> ComposeMorph = OneSceneComposition([] { return new MorphScene("MorphScene"); });

// The animation time at which the morph has come to `m`.
float TimeAt(float m)
{
    return MorphScene::kMorphStart + MorphScene::kBurstTime + m * MorphScene::kMorphLength;
}

unsigned Faces(const std::string& file)
{
    std::unique_ptr<DXMesh> mesh(LitScene::LoadMesh(nullptr, file));
    return mesh->GetNumFaces();
}

// What one recorded draw drew: "points <n>" for a point list, "mesh <faces>" for a mesh subset,
// "quad" for anything else (the screen passes).
std::string DrawKind(const RecordedCall& call)
{
    const std::string& a = call.arguments;
    if (call.method == "DrawPrimitive" && a.rfind("D3DPT_POINTLIST", 0) == 0)
        return "points " + a.substr(a.rfind(", ") + 2);
    if (call.method == "DrawIndexedPrimitive" && a.rfind("D3DPT_TRIANGLELIST", 0) == 0) {
        const std::string faces = a.substr(a.rfind(", ") + 2);
        if (faces != "2")
            return "mesh " + faces;
    }
    return "quad";
}

float MorphParameter(const char* semantic)
{
    ID3DXEffect* effect = DXEffectHandler::FindEffect("Morph")->GetD3DXEffect();
    float value = NAN;
    effect->GetFloat(effect->GetParameterBySemantic(nullptr, semantic), &value);
    return value;
}

} // namespace

// Before the burst the word stands, after the gathering the cube; in between only the dust is
// drawn, all of it into the G-buffer and a fortieth of it into every shadow map, and the floor
// always. The flight's wildness is 0 where the morph begins and ends and 1 half-way.
TEST(MorphSceneTest, TheWordBurstsIntoDustThatGathersAsACube)
{
    ScopedEnv recording("ORVALA_D3D_DEVICE", "recording");
    Show show({{"Scene", {{0, 0.0f, 0}}}}, kWidth, kHeight, ComposeMorph);
    show.Boot();
    Picture picture;
    show.Frame(TimeAt(-0.1f), picture); // the recording device presents nothing to read back

    Scene& scene = *SceneHandler::GetCurrent();
    const std::string gbuffer =
        RecordedName(scene.GetTexture("Color")->surface) + "+" + RecordedName(scene.GetTexture("NormalDepth")->surface);
    const std::string shadow1 = RecordedName(scene.GetTexture("Shadow1")->surface);
    const std::string shadowTemp = RecordedName(scene.GetTexture("Shadow_temp")->surface);
    const std::string word = "mesh " + std::to_string(Faces("scatterShape.x"));
    const std::string cube = "mesh " + std::to_string(Faces("trCubeShape.x"));
    auto* floor = static_cast<Floor*>(ModuleHandler::FindModule("Floor"));
    ASSERT_EQ(floor->GetMeshes().size(), 1u);
    const std::string floorMesh = "mesh " + std::to_string(floor->GetMeshes().front()->GetNumFaces());
    const unsigned particles = static_cast<MeshDust*>(ModuleHandler::FindModule("MeshDust"))->GetCount();
    ASSERT_GT(particles, 1000u);
    const std::string allDust = "points " + std::to_string(particles);
    const std::string someDust = "points " + std::to_string(static_cast<unsigned>(particles * 0.025f));
    ASSERT_NE(word, cube);

    struct Case {
        float m;
        std::vector<std::string> geometry; // what fills the G-buffer
        std::vector<std::string> casters;  // what goes into the first shadow map before its blur
    };
    const Case cases[] = {
        {-0.1f, {word, floorMesh}, {word, floorMesh}},
        {0.5f, {allDust, floorMesh}, {someDust, floorMesh}},
        {1.2f, {cube, floorMesh}, {cube, floorMesh}},
    };
    for (const Case& c : cases) {
        ClearRecordedCalls(DXFramework::GetDevice());
        show.Frame(TimeAt(c.m), picture);
        std::vector<std::string> geometry, casters;
        bool blurred = false;
        for (const RecordedCall& call : GetRecordedCalls(DXFramework::GetDevice())) {
            if (call.method.rfind("Draw", 0) != 0)
                continue;
            std::string targets;
            for (const std::string& target : call.targets)
                targets += (targets.empty() ? "" : "+") + target;
            blurred = blurred || targets == shadowTemp;
            if (targets == gbuffer)
                geometry.push_back(DrawKind(call));
            else if (targets == shadow1 && !blurred)
                casters.push_back(DrawKind(call));
        }
        EXPECT_EQ(geometry, c.geometry) << "m = " << c.m;
        EXPECT_EQ(casters, c.casters) << "m = " << c.m;
    }

    for (const auto& [m, wildness] : std::vector<std::pair<float, float>>{{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}}) {
        show.Frame(TimeAt(m), picture);
        EXPECT_NEAR(MorphParameter("ANIMTIME"), m, 1e-3) << m;
        EXPECT_NEAR(MorphParameter("WILDNESS"), wildness, 1e-3) << m;
    }
}

// The word, its burst, the flying dust, the landing and the cube, through the camera's move:
// the bars stay black, the picture mid-grey on average, the light finite.
TEST(MorphSceneTest, WordDustAndCubeAreLitThroughTheCameraMove)
{
    Show show({{"Scene", {{0, 0.0f, 0}}}}, kWidth, kHeight, ComposeMorph);
    show.Boot();
    for (float t : {61.0f, TimeAt(0.1f), TimeAt(0.4f), TimeAt(0.7f), TimeAt(0.95f), 72.0f}) {
        Picture picture;
        ASSERT_TRUE(show.Frame(t, picture));
        picture.WritePng(PicturePath("morph-" + std::to_string(static_cast<int>(std::lround(t * 100)))));
        EXPECT_EQ(picture.MeanLuma(0, 0, kWidth, 20), 0.0) << t;
        EXPECT_EQ(picture.MeanLuma(0, kHeight - 20, kWidth, kHeight), 0.0) << t;
        const double mean = picture.MeanLuma(0, 20, kWidth, kHeight - 20);
        EXPECT_GT(mean, 40.0) << t;
        EXPECT_LT(mean, 200.0) << t;
        EXPECT_EQ(NonFiniteTexels("Light"), 0) << t;
        EXPECT_EQ(NonFiniteTexels("NormalDepth"), 0) << t;
    }
}

// Made again after a lost device, the scene samples its word once more into one target box (not
// one box more each time), and the dust looks as it did.
TEST(MorphSceneTest, LostDeviceInTheMorphIsSurvivedWithTheSameDust)
{
    unsigned particles = 0;
    const LostDeviceRun run =
        RunWithLostDevice({{"Scene", {{0, 0.0f, 0}}}}, kWidth, kHeight, ComposeMorph,
                          {TimeAt(0.5f), 5, 3, 1, [&] {
                               particles = static_cast<MeshDust*>(ModuleHandler::FindModule("MeshDust"))->GetCount();
                           }});
    EXPECT_EQ(run.drawn, 4) << "one frame is lost, the others are drawn";
    EXPECT_TRUE(run.show->boxes.empty()) << run.show->boxes.front();
    const auto& dust = *static_cast<MeshDust*>(ModuleHandler::FindModule("MeshDust"));
    EXPECT_EQ(dust.GetCount(), particles);
    EXPECT_EQ(dust.GetTargets().size(), 1u);
    run.picture.WritePng(PicturePath("morph-after-loss"));
    EXPECT_NEAR(run.picture.MeanLuma(0, 20, kWidth, kHeight - 20), run.steady.MeanLuma(0, 20, kWidth, kHeight - 20), 1.0);
}

// Each time the scene becomes current it takes its targets and gives them all back when it
// stops: coming back a second time makes no new render texture.
TEST(MorphSceneTest, ComingBackHoldsNoTargetMoreThanBefore)
{
    // The morph, the loader, the morph, the loader, the morph (16 rows a second, about).
    Show show({{"Scene", {{0, 0.0f, 0}, {20, 1.0f, 0}, {40, 0.0f, 0}, {60, 1.0f, 0}, {80, 0.0f, 0}}}}, kWidth, kHeight,
              ComposeMorph);
    show.Boot();
    Picture picture;
    for (float t : {0.5f, 1.8f})
        ASSERT_TRUE(show.Frame(t, picture));
    ASSERT_TRUE(show.Frame(3.0f, picture));
    const DWORD records = RTHandler::GetRecordCount();
    const std::string current = SceneHandler::GetCurrent()->GetName();
    ASSERT_TRUE(show.Frame(4.2f, picture));
    ASSERT_TRUE(show.Frame(5.5f, picture));
    EXPECT_EQ(current, "MorphScene");
    EXPECT_EQ(SceneHandler::GetCurrent()->GetName(), "MorphScene");
    EXPECT_EQ(RTHandler::GetRecordCount(), records);
}

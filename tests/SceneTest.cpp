#include <gtest/gtest.h>

#include "CamHandler.h"
#include "DXEffect/EffectSemantics.h"
#include "DemoWorld.h"
#include "FrameworkExMessage.h"
#include "LightHandler.h"
#include "PointLight.h"
#include "Scene.h"
#include "SpotLight.h"
#include "TransformHandler.h"

namespace {

// Records what reaches the effects, in order.
class RecordingEffect : public EffectSemantics {
public:
    void SetMatrixBySemantic(const std::string& semantic, const D3DXMATRIX* value) override
    {
        order.push_back(semantic);
        matrices[semantic] = *value;
    }
    void SetFloatBySemantic(const std::string& semantic, float value) override
    {
        order.push_back(semantic);
        floats[semantic] = {value};
    }
    void SetVec2BySemantic(const std::string& semantic, const float* value) override
    {
        order.push_back(semantic);
        floats[semantic] = {value[0], value[1]};
    }
    void SetVec3BySemantic(const std::string& semantic, const float* value) override
    {
        order.push_back(semantic);
        floats[semantic] = {value[0], value[1], value[2]};
    }
    std::vector<std::string> order;
    std::map<std::string, D3DXMATRIX> matrices;
    std::map<std::string, std::vector<float>> floats;
};

std::string LoadMessage(Scene& scene, const std::string& file)
{
    return FrameworkExMessage([&] { scene.LoadSceneData(file); });
}

const char* kArena = R"(<?xml version="1.0"?>
<scene>
  <cameras>
    <note/>
    <camera name="wide" vFOV="1.2" nearz="0.5" farz="300" nearfocus="4" farfocus="12" aspect="1.5"/>
    <anything name="close" vFOV="0.6" farz="oops"/>
  </cameras>
  <transforms>
    <trans name="floor" translation="1 2 3" rotation="0 0.5 0" scale="4 4 4"/>
    <trans name="flat" translation="1 2"/>
    <trans translation="9 9 9"/>
    <other name="ignored"/>
  </transforms>
  <lights>
    <point name="bulb" color="1 0.5 0.25 1" translation="0 3 0" radius="7" castshadows="true"/>
    <spot name="beam" translation="0 10 0" rotation="-1.5707964 0 0" castshadows="True"/>
    <spot translation="1 1 1"/>
    <area name="nope"/>
  </lights>
</scene>)";

TEST(SceneTest, DescriptionFillsCamerasTransformsAndLights)
{
    DemoWorld world;
    world.File("arena.xml", kArena);
    world.Open();
    Scene scene("ArenaScene");
    scene.LoadSceneData("arena.xml");

    const auto& cameras = scene.GetCamHandler()->GetCameras();
    ASSERT_EQ(cameras.size(), 2u);
    const CAMERAPARAMS& wide = cameras.at("wide")->GetParams();
    EXPECT_FLOAT_EQ(wide.vFOV, 1.2f);
    EXPECT_FLOAT_EQ(wide.nearz, 0.5f);
    EXPECT_FLOAT_EQ(wide.farz, 300.0f);
    EXPECT_FLOAT_EQ(wide.nearfocus, 4.0f);
    EXPECT_FLOAT_EQ(wide.farfocus, 12.0f);
    EXPECT_FLOAT_EQ(wide.aspect, 1.5f);
    // an element after the first camera is a camera whatever its name; numbers it leaves
    // out or that do not parse keep a new camera's defaults
    const CAMERAPARAMS& close = cameras.at("close")->GetParams();
    EXPECT_FLOAT_EQ(close.vFOV, 0.6f);
    EXPECT_FLOAT_EQ(close.farz, 100.0f);
    EXPECT_FLOAT_EQ(close.nearz, 0.1f);
    EXPECT_FLOAT_EQ(close.nearfocus, 0.0f);
    EXPECT_EQ(scene.GetCamHandler()->GetActiveCamera()->GetName(), "close");

    TransformHandler& transforms = *scene.GetTransformHandler();
    EXPECT_EQ(transforms.GetTransforms().size(), 4u); // floor, flat, and one per named light
    EXPECT_EQ(transforms.Find("floor")->GetScale(), D3DXVECTOR3(4, 4, 4));
    EXPECT_EQ(transforms.Find("flat")->GetTranslation(), D3DXVECTOR3(0, 0, 0)); // not three numbers
    EXPECT_EQ(transforms.Find("flat")->GetScale(), D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(transforms.Find("bulb")->GetScale(), D3DXVECTOR3(1, 1, 1));

    LightHandler& lights = *scene.GetLightHandler();
    ASSERT_EQ(lights.GetLights().size(), 2u);
    auto* bulb = dynamic_cast<PointLight*>(lights.FindLight("bulb"));
    ASSERT_NE(bulb, nullptr);
    EXPECT_EQ(bulb->GetTransform(), transforms.Find("bulb"));
    EXPECT_FLOAT_EQ(bulb->GetColor().g, 0.5f);
    EXPECT_FLOAT_EQ(bulb->GetRadius(), 7.0f);
    EXPECT_TRUE(bulb->GetCastShadows());
    auto* beam = dynamic_cast<SpotLight*>(lights.FindLight("beam"));
    ASSERT_NE(beam, nullptr);
    EXPECT_FALSE(beam->GetCastShadows()); // "True" is not "true"
    EXPECT_FLOAT_EQ(beam->GetConeAngle(), static_cast<float>(D3DX_PI / 2));
    EXPECT_FLOAT_EQ(beam->GetPenumbraAngle(), 1.0f);
    EXPECT_FLOAT_EQ(beam->GetRadius(), 100.0f);
    EXPECT_FLOAT_EQ(beam->GetColor().a, 1.0f);
    EXPECT_NEAR(beam->GetDirection().y, -1.0f, 1e-5f); // turned to shine down
}

TEST(SceneTest, EmptyAndBrokenDescriptions)
{
    DemoWorld world;
    world.File("empty.xml", "<scene/>");
    world.File("broken.xml", "<scene><cameras></scene>");
    // The text ends at its first zero byte, even right after the first byte of a UTF-8
    // sequence (which the parser would otherwise step over, and read on past the text).
    const char cut[] = "<?xml version=\"1.0\"?><scene><transforms><trans name=\"a\xC3\0\"/><trans name=\"b\"/></transforms></scene>";
    world.File("cut.xml", std::string(cut, sizeof cut - 1));
    world.File("clash.xml", R"(<scene><transforms><trans name="x"/></transforms>
                              <lights><point name="x"/></lights></scene>)");
    world.Open();
    Scene scene("s");
    scene.LoadSceneData("empty.xml");
    EXPECT_TRUE(scene.GetCamHandler()->GetCameras().empty());
    EXPECT_TRUE(scene.GetLightHandler()->GetLights().empty());
    // a scene without cameras fails at its first frame
    EXPECT_EQ(FrameworkExMessage([&] { scene.UpdateSemantics(); }),
              "[CamHAndler::Update] something impossible happened!");

    const std::string broken = LoadMessage(scene, "broken.xml");
    EXPECT_EQ(broken.rfind("[Scene::LoadSceneData (broken.xml)] Error in Parse:scenenodes.xml:", 0), 0u) << broken;
    EXPECT_GT(broken.size(), std::string("[Scene::LoadSceneData (broken.xml)] Error in Parse:scenenodes.xml:").size());
    const std::string cutShort = LoadMessage(scene, "cut.xml");
    EXPECT_EQ(cutShort.rfind("[Scene::LoadSceneData (cut.xml)] Error in Parse:scenenodes.xml:", 0), 0u) << cutShort;
    const std::string missing = LoadMessage(scene, "missing.xml");
    EXPECT_EQ(missing.rfind("[Scene::LoadSceneData (missing.xml)] Error in Parse:scenenodes.xml:", 0), 0u) << missing;
    EXPECT_EQ(LoadMessage(scene, "clash.xml"), "TransformHandler::Add: \"x\" already exists.");
}

TEST(SceneTest, UpdateSemanticsPublishesCameraAndTimeInOrder)
{
    DemoWorld world;
    world.File("s.xml", R"(<scene><cameras><camera name="c" nearfocus="2" farfocus="6"/></cameras>
                           <transforms><trans name="t" scale="1 1 1"/></transforms></scene>)");
    world.Track("PlaybackTime", {{0, 0.0f, 1}, {256, 15.0f, 1}}); // animation time = playback time
    world.Track("CamZOffset", {{0, 3.0f, 0}});
    world.Curve("t.translateX", {{0, 0, 0, 1}, {10, 10, 1, 0}});
    world.Open();
    RecordingEffect effect;
    DXFramework::SetGlobalEffect(&effect);
    Scene scene("s");
    scene.LoadSceneData("s.xml");
    world.SetTime(2.5);
    scene.UpdateSemantics();
    DXFramework::SetGlobalEffect(nullptr);

    EXPECT_EQ(effect.order,
              (std::vector<std::string>{"OLDVIEWPROJ", "TIME", "VIEW", "VIEWPROJ", "EYEPOS", "FOCUS_MAXZ"}));
    EXPECT_NEAR(effect.floats["TIME"][0], 2.5f, 1e-4f);
    EXPECT_EQ(effect.floats["EYEPOS"], (std::vector<float>{0.0f, 0.0f, 3.0f}));
    EXPECT_EQ(effect.floats["FOCUS_MAXZ"], (std::vector<float>{4.0f, 8.0f}));
    EXPECT_EQ(effect.matrices["VIEW"], scene.GetCamHandler()->GetView());
    // the transforms moved to the animation time
    EXPECT_NEAR(scene.GetTransformHandler()->Find("t")->GetTranslation().x, 2.5f, 1e-3f);
}

} // namespace

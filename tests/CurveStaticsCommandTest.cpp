#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "CamHandler.h"
#include "Camera.h"
#include "DemoWorld.h"
#include "Scene.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "TransformHandler.h"
#include "common/CurveText.h"

namespace {

namespace fs = std::filesystem;

// Every way the demo reads a description: elements it skips, attributes it defaults, vectors it
// refuses, a point light's rotation it ignores, cameras of any element name after the first
// "camera". "authored" has an authored curve for translateX.
const char* kStage = R"(<?xml version="1.0"?>
<scene>
  <cameras>
    <note name="before"/>
    <camera name="wide" vFOV="1.2" nearz="0.5" farz="300"/>
    <anything name="close" vFOV="0.6"/>
  </cameras>
  <transforms>
    <trans name="floor" translation="1 2 3" rotation="0 0.5 0" scale="4 4 4"/>
    <trans name="flat" translation="1 2" rotation="0.25 -0.5 1e-3 7"/>
    <trans translation="9 9 9"/>
    <other name="ignored" translation="4 4 4"/>
    <trans name="authored" translation="5 6 7" rotation="0 0 0" scale="1 2 3"/>
  </transforms>
  <lights>
    <point name="bulb" color="1 0.5 0.25 1" translation="0 3 0" rotation="1 2 3" radius="7"/>
    <spot name="beam" translation="0 10 0" rotation="-1.5707964 0.1 0" castshadows="true"/>
    <spot translation="1 1 1"/>
    <area name="nope" translation="2 2 2"/>
  </lights>
</scene>)";

// The objects of kStage that ask for curves, with what they ask for.
const std::vector<std::string> kCameras = {"wide", "close"};
const std::vector<std::string> kTransforms = {"floor", "flat", "authored", "bulb", "beam"};

const std::vector<ANIMCURVEKEY> kAuthoredKeys = {{0, 5, 0, -1}, {10, -5, -1, 0}};

std::vector<std::uint32_t> Bits(const float* values, std::size_t count)
{
    std::vector<std::uint32_t> bits(count);
    std::memcpy(bits.data(), values, count * sizeof(float));
    return bits;
}

// Everything the scene's transforms and cameras hold after an update at each of the times, bit
// for bit, by "<object>@<time> <what>".
using Poses = std::map<std::string, std::vector<std::uint32_t>>;

Poses PosesOf(const std::vector<float>& times)
{
    Scene scene("Stage");
    scene.LoadSceneData("stage.xml");
    Poses poses;
    for (float time : times) {
        const std::string at = "@" + std::to_string(time) + " ";
        for (const auto& [name, transform] : scene.GetTransformHandler()->GetTransforms()) {
            transform->Update(time);
            const float visible = transform->IsVisible() ? 1.0f : 0.0f;
            poses[name + at + "translation"] = Bits(&transform->GetTranslation().x, 3);
            poses[name + at + "rotation"] = Bits(&transform->GetRotation().x, 3);
            poses[name + at + "scale"] = Bits(&transform->GetScale().x, 3);
            poses[name + at + "visible"] = Bits(&visible, 1);
            poses[name + at + "world"] = Bits(&transform->GetWorld()._11, 16);
            poses[name + at + "previous world"] = Bits(&transform->GetPreviousWorld()._11, 16);
        }
        for (const auto& [name, camera] : scene.GetCamHandler()->GetCameras()) {
            camera->Update(time);
            poses[name + at + "eye"] = Bits(&camera->GetEyePos().x, 3);
            poses[name + at + "view"] = Bits(&camera->GetView()._11, 16);
            poses[name + at + "old view-projection"] = Bits(&camera->GetOldViewProj()._11, 16);
        }
    }
    return poses;
}

class CurveStaticsCommandTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (dir.path() / name).string(); }

    // The names of the files in a folder, sorted.
    std::vector<std::string> FilesIn(const std::string& folder) const
    {
        std::vector<std::string> names;
        if (fs::exists(folder))
            for (const fs::directory_entry& entry : fs::directory_iterator(folder))
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
};

TEST_F(CurveStaticsCommandTest, ConstantCurvesMakeNoObjectMoveAndNoCurveMissing)
{
    WriteFileBytes(Path("scenes/stage.xml"), kStage);
    WriteFileBytes(Path("anim/authored.translateX.txt"), FormatCurveText(kAuthoredKeys));
    const ToolResult run = RunTool({"curve", "statics", Path("anim"), Path("out"), Path("scenes/stage.xml"), "--list",
                                    Path("written.txt")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The cameras have no authored curve: they stand at the origin, which the build points out.
    for (const std::string& camera : kCameras)
        EXPECT_NE(run.err.find("warning: the camera \"" + camera + "\" of stage.xml has no curve in \"" +
                               Path("anim") + "\": it stands at the origin"),
                  std::string::npos)
            << run.err;

    // Exactly the curves the objects ask for, but the authored one.
    std::vector<std::string> expected;
    for (const std::string& camera : kCameras)
        for (const char* channel : {"translate", "rotate"})
            for (const char* axis : {"X", "Y", "Z"})
                expected.push_back(camera + "." + channel + axis);
    for (const std::string& transform : kTransforms) {
        for (const char* channel : {"translate", "rotate", "scale"})
            for (const char* axis : {"X", "Y", "Z"})
                expected.push_back(transform + "." + channel + axis);
        expected.push_back(transform + ".visibility");
    }
    expected.erase(std::find(expected.begin(), expected.end(), "authored.translateX"));
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(FilesIn(Path("out")), expected);
    std::string list;
    for (const std::string& name : expected)
        list += (fs::path(Path("out")) / name).string() + "\n";
    EXPECT_EQ(ReadFileBytes(Path("written.txt")), list);

    // Each is one key at time 0 with flat tangents.
    for (const std::string& name : expected) {
        const CurveFileContents curve = ReadCurveFile(Path("out/" + name));
        ASSERT_EQ(curve.keys.size(), 1u) << name;
        EXPECT_EQ(curve.keys[0].time, 0.0f) << name;
        EXPECT_EQ(curve.keys[0].inTangent, 0.0f) << name;
        EXPECT_EQ(curve.keys[0].outTangent, 0.0f) << name;
    }

    // The scene with and without them: every object is where it was, before the first key, between
    // and after the authored keys, and beyond the missing curves' stand-in keys (0 and 10000).
    const std::vector<float> times = {-2.0f, 0.0f, 7.25f, 12000.0f};
    Poses without, with;
    {
        DemoWorld world;
        world.File("stage.xml", kStage);
        world.Curve("authored.translateX", kAuthoredKeys);
        world.Open();
        without = PosesOf(times);
        EXPECT_FALSE(world.boxes.empty()) << "the stage misses curves before";
    }
    {
        DemoWorld world;
        world.File("stage.xml", kStage);
        world.Curve("authored.translateX", kAuthoredKeys);
        for (const std::string& name : expected)
            world.Curve(name, ReadCurveFile(Path("out/" + name)).keys);
        world.Open();
        with = PosesOf(times);
        for (const MessageBoxRecord& box : world.boxes)
            ADD_FAILURE() << box.caption << ": " << box.text;
    }
    ASSERT_EQ(with.size(), without.size());
    ASSERT_EQ(with.size(), times.size() * (kTransforms.size() * 6 + kCameras.size() * 3));
    for (const auto& [what, bits] : without)
        EXPECT_EQ(with[what], bits) << what;
}

TEST_F(CurveStaticsCommandTest, ScenesShareACurveOnlyWhenTheyAgreeOnItsValue)
{
    WriteFileBytes(Path("anim/lamp.translateY.txt"), "0 9 0 0\n");
    WriteFileBytes(Path("a.xml"), R"(<scene><lights><point name="lamp" translation="1 2 3"/></lights></scene>)");
    WriteFileBytes(Path("anim/dolly.translateZ.txt"), "0 0 0 1\n");
    WriteFileBytes(Path("same.xml"), R"(<scene><transforms><trans name="lamp" translation="1 2 3" scale="1 1 1"/>
                                        </transforms><cameras><camera name="dolly"/></cameras></scene>)");
    // Disagreeing on y does not matter: the authored curve serves both.
    WriteFileBytes(Path("other-y.xml"), R"(<scene><lights><point name="lamp" translation="1 5 3"/></lights></scene>)");
    WriteFileBytes(Path("moved.xml"), R"(<scene><lights><point name="lamp" translation="1 2 4"/></lights>
                                         <cameras><camera name="lamp"/></cameras></scene>)");

    const ToolResult agreed = RunTool({"curve", "statics", Path("anim"), Path("agreed"), Path("a.xml"),
                                       Path("same.xml"), Path("other-y.xml"), "--camera", "probe"});
    ASSERT_EQ(agreed.exitCode, 0) << agreed.err;
    // A camera with one authored curve is placed by it; one made by code places itself.
    EXPECT_EQ(agreed.err, "");
    EXPECT_EQ(FilesIn(Path("agreed")),
              (std::vector<std::string>{"dolly.rotateX", "dolly.rotateY", "dolly.rotateZ", "dolly.translateX",
                                        "dolly.translateY", "lamp.rotateX", "lamp.rotateY", "lamp.rotateZ",
                                        "lamp.scaleX", "lamp.scaleY", "lamp.scaleZ", "lamp.translateX",
                                        "lamp.translateZ", "lamp.visibility", "probe.rotateX", "probe.rotateY",
                                        "probe.rotateZ", "probe.translateX", "probe.translateY",
                                        "probe.translateZ"}));
    EXPECT_EQ(ReadCurveFile(Path("agreed/lamp.translateZ")).keys[0].value, 3.0f);
    EXPECT_EQ(ReadCurveFile(Path("agreed/lamp.visibility")).keys[0].value, 1.0f);
    EXPECT_EQ(ReadCurveFile(Path("agreed/probe.translateX")).keys[0].value, 0.0f);

    // A light at another z, and a camera of the same name that reads 0 where the light is at 1:
    // every disagreement is named, and nothing is written.
    const ToolResult refused = RunTool({"curve", "statics", Path("anim"), Path("refused"), Path("a.xml"),
                                        Path("moved.xml"), "--list", Path("refused.txt")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("\"lamp.translateZ\": 3 for the point light \"lamp\" of a.xml, 4 for the point light "
                               "\"lamp\" of moved.xml"),
              std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("\"lamp.translateX\": 1 for the point light \"lamp\" of a.xml, 0 for the camera "
                               "\"lamp\" of moved.xml"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.err.find("lamp.translateY"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(Path("refused")));
    EXPECT_FALSE(fs::exists(Path("refused.txt")));
}

TEST_F(CurveStaticsCommandTest, FailuresExitWithOneAndSayWhy)
{
    fs::create_directories(Path("anim"));
    WriteFileBytes(Path("broken.xml"), "<scene>\n  <transforms>\n    <trans name=\"a\"\n</scene>\n");
    WriteFileBytes(Path("empty.xml"), "");
    WriteFileBytes(Path("good.xml"), "<scene/>");
    const std::string anim = Path("anim"), out = Path("out");
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {"no scene", {anim, out}, "curve statics needs the folder of authored curves, an output folder and at least"},
        {"--list without a file", {anim, out, Path("good.xml"), "--list"}, "--list needs a value"},
        {"--camera without a name", {anim, out, Path("good.xml"), "--camera"}, "--camera needs a value"},
        {"two lists", {anim, out, Path("good.xml"), "--list", "a", "--list", "b"}, "--list is given twice"},
        {"missing scene", {anim, out, Path("absent.xml")},
         "cannot read \"" + Path("absent.xml") + "\": No such file or directory"},
        {"not XML", {anim, out, Path("good.xml"), Path("broken.xml")}, Path("broken.xml") + ":"},
        {"empty description", {anim, out, Path("empty.xml")}, Path("empty.xml") + ":"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"curve", "statics"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolResult run = RunTool(args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(fs::exists(out));
    }
}

} // namespace

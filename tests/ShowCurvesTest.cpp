#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "AnimCurve.h"
#include "DXFramework.h"
#include "LitSceneShow.h"
#include "SceneHandler.h"
#include "ShowComposition.h"
#include "Transform.h"
#include "TransformHandler.h"

using namespace lit_scene_show;

namespace {

constexpr unsigned kWidth = 160;
constexpr unsigned kHeight = 90;
// Each scene of the show takes the screen for 64 rows in turn, in registration order.
constexpr unsigned kRowsPerScene = 64;

float SecondsAtRow(double row)
{
    return static_cast<float>(row * 15.0 / 256.0);
}

// The last key of a curve of the archive; time -1 when there is no such curve.
ANIMCURVEKEY LastKey(const std::string& curve)
{
    InterpolatorBase<HERMITESEGMENT<float>> keys(curve);
    if (!keys.Load() || keys.GetKeys().empty())
        return {-1.0f, 0.0f, 0.0f, 0.0f};
    return keys.GetKeys().back();
}

// Where the bar ends along x: its mesh is a unit cube about its transform's origin.
float LeftEnd(const Transform& bar)
{
    return bar.GetTranslation().x - 0.5f * bar.GetScale().x;
}
float RightEnd(const Transform& bar)
{
    return bar.GetTranslation().x + 0.5f * bar.GetScale().x;
}

} // namespace

// The whole show over the built content: while it loads, the bar fills to its end exactly at the
// last loading step; no curve any object asks for, while loading or while a scene draws, is missing,
// and nothing else raises a box either.
TEST(ShowCurvesTest, TheShowLoadsWithoutABoxAndTheBarIsFullExactlyAtTheLastStep)
{
    const std::vector<std::string>& scenes = ShowSceneNames();
    std::vector<TrackKey> sceneTrack;
    for (unsigned i = 0; i < scenes.size(); ++i)
        sceneTrack.push_back({i * kRowsPerScene, static_cast<float>(i), 0});

    // A missing curve of each kind is reported once per run; this run reports its own.
    ResetAnimCurveMessages();
    Show show({{"Scene", sceneTrack}}, kWidth, kHeight, RegisterShow);
    show.Boot();
    EXPECT_EQ(show.boxes, std::vector<std::string>{}) << "while loading";

    // The last loader frame, with the full bar, for a person to look at.
    Picture loaded;
    std::vector<std::uint8_t> bytes;
    if (DXFramework::GetDevice()->GetPresentedFrame(bytes, loaded.width, loaded.height) == D3D_OK) {
        loaded.bgra.assign(bytes.begin(), bytes.end());
        loaded.WritePng(PicturePath("loader-full"));
    }

    const int steps = DXFramework::GetLoadCount();
    for (const char* curve : {"LoaderBarCube.scaleX", "LoaderBarCube.translateX"})
        EXPECT_EQ(LastKey(curve).time, static_cast<float>(steps))
            << "the show loads in " << steps << " steps: the last key of Content/anim/" << curve
            << ".txt belongs at " << steps;
    Transform& bar = *SceneHandler::FindScene("LoaderBarScene")->GetTransformHandler()->Find("LoaderBarCube");
    // The last loader frame posed the bar at the last step: from x = -4 to x = 4. A step earlier
    // its left end is where it always is and its right end short by about a step's growth.
    EXPECT_FLOAT_EQ(LeftEnd(bar), -4.0f);
    EXPECT_FLOAT_EQ(RightEnd(bar), 4.0f);
    bar.Update(static_cast<float>(steps - 1));
    EXPECT_NEAR(LeftEnd(bar), -4.0f, 1e-4f) << "a step before the last";
    EXPECT_LT(RightEnd(bar), 4.0f - 4.0f / static_cast<float>(steps)) << "a step before the last";
    bar.Update(static_cast<float>(steps));

    // Every scene draws a frame, the cube-map pass's camera included.
    for (unsigned i = 0; i < scenes.size(); ++i) {
        Picture picture;
        EXPECT_TRUE(show.Frame(SecondsAtRow(i * kRowsPerScene + 8.0), picture)) << scenes[i];
        EXPECT_EQ(SceneHandler::GetCurrent()->GetName(), scenes[i]);
        EXPECT_EQ(show.boxes, std::vector<std::string>{}) << scenes[i];
    }
}

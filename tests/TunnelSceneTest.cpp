#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "CamHandler.h"
#include "DXFramework.h"
#include "Dust/Dust.h"
#include "LitSceneShow.h"
#include "ModuleHandler.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "SceneHandler.h"
#include "Transform.h"
#include "TransformHandler.h"
#include "TunnelScene.h"
#include "d3d9/DeviceFactory.h"
#include "d3dx9/d3dx9math.h"

using namespace lit_scene_show;

namespace {

constexpr unsigned kWidth = 640;
constexpr unsigned kHeight = 400; // a 16:9 picture of 640 x 360 with bars of 20 rows
constexpr unsigned kBar = 20;

enum : int { kTunnel = 0, kTunnelLoader = 1 };

const std::function<void()> RegisterTunnelComposition =
    OneSceneComposition([] { return new TunnelScene("TunnelScene"); });

std::map<std::string, std::vector<TrackKey>> TunnelOnScreen()
{
    return {{"Scene", {{0, kTunnel, 0}}}};
}

// The flight: its start, the middle (fastest) and near its end.
constexpr float kFlightTimes[] = {91.0f, 97.5f, 104.0f};

TunnelScene& Tunnel()
{
    return *static_cast<TunnelScene*>(SceneHandler::GetCurrent());
}

// The largest INTENS and facing among the six glares of ball k (0-based).
float BallIntensity(int k)
{
    float most = 0.0f;
    for (int face = 0; face < 6; ++face)
        most = std::max(most, Tunnel().GetGlareIntensity(6 * k + face));
    return most;
}
float BallFacing(int k)
{
    float most = 0.0f;
    for (int face = 0; face < 6; ++face)
        most = std::max(most, Tunnel().GetGlareFacing(6 * k + face));
    return most;
}

} // namespace

TEST(TunnelSceneTest, FramesAlongTheFlightAreExposedLetterboxedAndHoldOnlyNumbers)
{
    Show show(TunnelOnScreen(), kWidth, kHeight, RegisterTunnelComposition);
    show.Boot();
    for (float time : kFlightTimes) {
        SCOPED_TRACE("at " + std::to_string(time) + " s");
        Picture picture;
        ASSERT_TRUE(show.Frame(time, picture));
        ASSERT_EQ(picture.width, kWidth);
        ASSERT_EQ(picture.height, kHeight);
        picture.WritePng(PicturePath("tunnel-" + std::to_string(static_cast<int>(time * 10.0f))));

        EXPECT_EQ(picture.MeanLuma(0, 0, kWidth, kBar), 0.0);
        EXPECT_EQ(picture.MeanLuma(0, kHeight - kBar, kWidth, kHeight), 0.0);
        const double mean = picture.MeanLuma(0, kBar, kWidth, kHeight - kBar);
        EXPECT_GT(mean, 45.0);
        EXPECT_LT(mean, 190.0);
        // Large areas never clip to white: a glare is a small patch.
        unsigned white = 0;
        for (unsigned y = kBar; y < kHeight - kBar; ++y)
            for (unsigned x = 0; x < kWidth; ++x) {
                const unsigned char* p = picture.At(x, y);
                white += (p[0] == 255 && p[1] == 255 && p[2] == 255) ? 1u : 0u;
            }
        EXPECT_LT(white, kWidth * (kHeight - 2 * kBar) / 50);

        for (const char* name : {"Light", "Color"})
            EXPECT_EQ(NonFiniteTexels(name), 0) << name;
    }
}

TEST(TunnelSceneTest, ABallTheCameraCannotSeeThrowsNoGlare)
{
    // The ball is moved by hand below; without its sideways curve nothing moves it back.
    Show show(TunnelOnScreen(), kWidth, kHeight, RegisterTunnelComposition, {"Data\\anim\\discoball1.translateX"});
    show.Boot();
    const float time = kFlightTimes[0];
    Picture seen;
    ASSERT_TRUE(show.Frame(time, seen));
    seen.WritePng(PicturePath("tunnel-glare-seen"));
    // The first ball hangs ahead of the camera in the open: its glares that face the camera shine.
    ASSERT_GT(BallFacing(0), 0.5f);
    EXPECT_GT(BallIntensity(0), 0.05f);

    // The same ball moved sideways out of the tunnel, still inside the camera's view but behind the
    // wall: its glares still face the camera, and the occlusion queries find nothing of them.
    Transform* ball = Tunnel().GetTransformHandler()->Find("discoball1");
    const D3DXVECTOR3 eye = Tunnel().GetCamHandler()->GetEyePos();
    const D3DXVECTOR3 inside = ball->GetTranslation();
    ball->SetTranslation(D3DXVECTOR3(eye.x + 4.8f, inside.y, inside.z));
    Picture hidden;
    ASSERT_TRUE(show.Frame(time, hidden));
    hidden.WritePng(PicturePath("tunnel-glare-hidden"));
    EXPECT_GT(BallFacing(0), 0.5f);
    for (int face = 0; face < 6; ++face)
        EXPECT_EQ(Tunnel().GetGlareIntensity(face), 0.0f) << "face " << face;
    // The balls the camera does see keep their glares.
    float others = 0.0f;
    for (int k = 1; k < TunnelScene::kBalls; ++k)
        others = std::max(others, BallIntensity(k));
    EXPECT_GT(others, 0.0f);
    // The flare over the ball's old place is gone from the picture.
    EXPECT_LT(hidden.MeanLuma(0, kBar, kWidth, kHeight - kBar), seen.MeanLuma(0, kBar, kWidth, kHeight - kBar));

    // Back in the open, the glare returns.
    ball->SetTranslation(inside);
    ASSERT_TRUE(show.Frame(time, hidden));
    EXPECT_GT(BallIntensity(0), 0.05f);
}

TEST(TunnelSceneTest, OnAQueryReportingNoPixelsEveryGlareGetsZeroIntensity)
{
    // The recording device does not rasterise: each occlusion query reports 0 pixels.
    ScopedEnv recording("ORVALA_D3D_DEVICE", "recording");
    Show show(TunnelOnScreen(), kWidth, kHeight, RegisterTunnelComposition);
    show.Boot();
    Picture picture;
    show.Frame(kFlightTimes[0], picture);
    float facing = 0.0f;
    for (int i = 0; i < TunnelScene::kGlares; ++i) {
        facing = std::max(facing, Tunnel().GetGlareFacing(i));
        EXPECT_EQ(Tunnel().GetGlareIntensity(i), 0.0f) << "glare " << i;
    }
    EXPECT_GT(facing, 0.5f) << "some glares face the camera";

    // Each glare: the occlusion square inside its query, the query waited for with a flush, then
    // the sprite; 24 times.
    IDirect3DDevice9* device = DXFramework::GetDevice();
    ClearRecordedCalls(device);
    show.Frame(kFlightTimes[0], picture);
    std::string sequence;
    for (const RecordedCall& call : GetRecordedCalls(device)) {
        // The flags are the last, hexadecimal argument of Issue and GetData.
        const unsigned long flags = std::strtoul(call.arguments.substr(call.arguments.rfind(' ') + 1).c_str(), nullptr, 16);
        if (call.method == "Issue")
            sequence += flags == D3DISSUE_BEGIN ? "B" : flags == D3DISSUE_END ? "E" : "?";
        else if (call.method == "GetData")
            sequence += flags == D3DGETDATA_FLUSH ? "W" : "?";
        else if (call.method == "DrawIndexedPrimitive" && !sequence.empty() && sequence.size() < 24 * 5)
            sequence += "D";
    }
    std::string expected;
    for (int i = 0; i < TunnelScene::kGlares; ++i)
        expected += "BDEWD";
    EXPECT_EQ(sequence.substr(0, expected.size()), expected);
}

TEST(TunnelSceneTest, LostDeviceIsSurvived)
{
    const LostDeviceRun run =
        RunWithLostDevice(TunnelOnScreen(), kWidth, kHeight, RegisterTunnelComposition,
                          {kFlightTimes[1], 5, 3, 1, {}});
    EXPECT_EQ(run.drawn, 4) << "one frame is lost, the others are drawn";
    for (const std::string& box : run.show->boxes)
        EXPECT_EQ(box.rfind("File not found", 0), 0u) << box;
    run.picture.WritePng(PicturePath("tunnel-after-loss"));
    EXPECT_EQ(run.picture.MeanLuma(0, 0, kWidth, kBar), 0.0);
    EXPECT_NEAR(run.picture.MeanLuma(0, 0, kWidth, kHeight), run.steady.MeanLuma(0, 0, kWidth, kHeight), 3.0);
    auto* dust = static_cast<Dust*>(ModuleHandler::FindModule("Dust"));
    EXPECT_EQ(dust->GetBox(), SceneHandler::GetCurrent()->GetTransformHandler()->Find("TunnelDustBox"));
}

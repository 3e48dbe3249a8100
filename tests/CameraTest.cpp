#include <gtest/gtest.h>

#include "Camera.h"
#include "DemoWorld.h"

namespace {

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float tolerance = 1e-5f)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

D3DXVECTOR3 Apply(const D3DXMATRIX& m, D3DXVECTOR3 p)
{
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &p, &m);
    return out;
}

TEST(CameraTest, OffsetPushesAnUnturnedCameraBackAlongZLookingAtTheOrigin)
{
    DemoWorld world;
    world.Track("CamZOffset", {{0, 5.0f, 0}});
    world.Open();
    Camera camera("cam");
    camera.Update(1.0f);
    ExpectNear(camera.GetEyePos(), D3DXVECTOR3(0, 0, 5));
    // the origin is straight ahead, 5 units down the view's -Z
    ExpectNear(Apply(camera.GetView(), D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(0, 0, -5));
    const D3DXVECTOR3 clip = Apply(camera.GetViewProj(), D3DXVECTOR3(0, 0, 0));
    EXPECT_NEAR(clip.x, 0.0f, 1e-6f);
    EXPECT_NEAR(clip.y, 0.0f, 1e-6f);
    EXPECT_GT(clip.z, 0.0f);
    EXPECT_LT(clip.z, 1.0f);
    // constant curves and no shake: the previous pose is the same
    EXPECT_EQ(camera.GetOldViewProj(), camera.GetViewProj());
    // the six channels without files read 0 after one box for the first missing curve
    ASSERT_EQ(world.boxes.size(), 1u);
    EXPECT_EQ(world.boxes[0].caption, "File not found");
}

TEST(CameraTest, CurvesPlaceAndTurnTheCameraAndTheOldPoseIsOneSixtiethEarlier)
{
    DemoWorld world;
    world.Curve("cam.translateX", {{0, 0, 0, 1}, {10, 10, 1, 0}}); // x = time
    world.Curve("cam.rotateY", {{0, D3DX_PI / 2, 0, 0}});
    world.Open();
    Camera camera("cam");
    camera.Update(3.0f);
    ExpectNear(camera.GetEyePos(), D3DXVECTOR3(3, 0, 0));
    // turned a quarter about Y, the camera's -Z looks down world -X
    ExpectNear(Apply(camera.GetView(), D3DXVECTOR3(2, 0, 0)), D3DXVECTOR3(0, 0, -1));
    ExpectNear(Apply(camera.GetWorld(), D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(3, 0, 0));

    Camera earlier("cam");
    earlier.Update(3.0f - 1.0f / 60.0f);
    const D3DXMATRIX& old = camera.GetOldViewProj();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(static_cast<const float*>(old)[i], static_cast<const float*>(earlier.GetViewProj())[i], 1e-5f);
    EXPECT_NE(old, camera.GetViewProj());
}

TEST(CameraTest, ShakeOnlyWithPositiveAmplitude)
{
    const struct {
        float amplitude;
        bool shaken;
    } cases[] = {{0.0f, false}, {-1.0f, false}, {0.5f, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.amplitude);
        DemoWorld world;
        world.Track("ShakeAmplitude", {{0, c.amplitude, 0}});
        world.Track("ShakeSpeed", {{0, 3.0f, 0}});
        world.Open();
        world.SetTime(1.37);
        Camera camera("cam");
        camera.Update(0.0f);
        const float distance = D3DXVec3Length(&camera.GetEyePos());
        if (c.shaken) {
            EXPECT_GT(distance, 0.0f);
            EXPECT_LT(distance, 0.5f * 2.0f * 1.8f); // five octaves of noise below 1 each, halved
        } else {
            EXPECT_EQ(distance, 0.0f);
        }
    }
}

TEST(CameraTest, ParamsAndPlacedCameras)
{
    DemoWorld world;
    world.Open();
    Camera camera("cube");
    camera.SetParams({D3DX_PI / 2, 1.0f, 50.0f, 2.0f, 8.0f, 1.0f});
    // the near plane lands at depth 0, the far plane at 1
    camera.SetView(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, -1), D3DXVECTOR3(0, 1, 0));
    EXPECT_NEAR(Apply(camera.GetViewProj(), D3DXVECTOR3(0, 0, -1)).z, 0.0f, 1e-5f);
    EXPECT_NEAR(Apply(camera.GetViewProj(), D3DXVECTOR3(0, 0, -50)).z, 1.0f, 1e-5f);

    camera.SetView(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(1, 2, 0), D3DXVECTOR3(0, 1, 0));
    ExpectNear(camera.GetEyePos(), D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(camera.GetOldViewProj(), camera.GetViewProj());
    ExpectNear(Apply(camera.GetWorld(), D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(1, 2, 3));
}

} // namespace

#include <gtest/gtest.h>

#include "DemoWorld.h"
#include "SpotLight.h"
#include "Transform.h"

namespace {

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
}

D3DXVECTOR3 Project(const D3DXMATRIX& m, D3DXVECTOR3 p)
{
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &p, &m);
    return out;
}

class SpotLightTest : public ::testing::Test {
protected:
    void SetUp() override { world.Open(); }
    Transform Make(const D3DXVECTOR3& position, const D3DXVECTOR3& rotation)
    {
        return Transform("spot", position, rotation, D3DXVECTOR3(1, 1, 1));
    }
    DemoWorld world;
};

TEST_F(SpotLightTest, UnrotatedLightShinesAlongMinusZWithItsShadowFrustum)
{
    Transform transform = Make(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(0, 0, 0));
    SpotLight light("spot", &transform, D3DXCOLOR(1, 1, 1, 1), 0.5f, D3DX_PI / 2, 100.0f, true);
    EXPECT_EQ(light.GetType(), 1);
    ExpectNear(light.GetDirection(), D3DXVECTOR3(0, 0, -1));
    // near plane at radius/500 = 0.2 maps to depth 0, far plane at radius*8 = 800 to depth 1
    EXPECT_NEAR(Project(light.GetViewProj(), D3DXVECTOR3(1, 2, 3 - 0.2f)).z, 0.0f, 1e-4f);
    EXPECT_NEAR(Project(light.GetViewProj(), D3DXVECTOR3(1, 2, 3 - 800.0f)).z, 1.0f, 1e-4f);
    // the cone's apex sits at the light
    ExpectNear(Project(light.GetWorld(), D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(1, 2, 3));
}

TEST_F(SpotLightTest, RotationTurnsTheLightAndUpdateFollowsTheTransform)
{
    Transform transform = Make(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(D3DX_PI / 2, 0, 0));
    SpotLight light("spot", &transform, D3DXCOLOR(1, 1, 1, 1), 1.0f, 1.0f, 10.0f, false);
    // a quarter turn about X takes +Y to +Z, so -Z to +Y
    ExpectNear(light.GetDirection(), D3DXVECTOR3(0, 1, 0));
    transform.SetTranslation(D3DXVECTOR3(4, 0, 0));
    light.Update(0.0f);
    ExpectNear(Project(light.GetWorld(), D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(4, 0, 0));
    // a point straight ahead of the light is on its view axis
    const D3DXVECTOR3 ahead = Project(light.GetViewProj(), D3DXVECTOR3(4, 5, 0));
    EXPECT_NEAR(ahead.x, 0.0f, 1e-5f);
    EXPECT_NEAR(ahead.y, 0.0f, 1e-5f);
}

TEST_F(SpotLightTest, AimPicksTheLeastParallelAxisAndMovesTheTransform)
{
    Transform transform = Make(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0));
    SpotLight light("spot", &transform, D3DXCOLOR(1, 1, 1, 1), 1.0f, 1.0f, 10.0f, false);
    const struct {
        D3DXVECTOR3 axis;
        D3DXVECTOR3 xAxis; // first row of the orientation: the light's world X
    } cases[] = {
        {D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(0, -1, 0)}, // tie: a = X cross axis is taken
        {D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 0, -1)}, // b = Y cross axis
        {D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 0, 1)},  // a
    };
    for (const auto& c : cases) {
        light.Aim(D3DXVECTOR3(5, 6, 7), c.axis);
        ExpectNear(light.GetDirection(), -c.axis);
        ExpectNear(transform.GetTranslation(), D3DXVECTOR3(5, 6, 7));
        ExpectNear(Project(light.GetWorld(), D3DXVECTOR3(1, 0, 0)), D3DXVECTOR3(5, 6, 7) + c.xAxis);
    }
    // a zero axis keeps the orientation and only moves the light
    light.Aim(D3DXVECTOR3(1, 1, 1), D3DXVECTOR3(0, 0, 0));
    ExpectNear(light.GetDirection(), D3DXVECTOR3(0, -1, 0));
    ExpectNear(Project(light.GetWorld(), D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(1, 1, 1));
    for (float v : {light.GetViewProj()._11, light.GetViewProj()._44})
        EXPECT_FALSE(std::isnan(v));
}

} // namespace

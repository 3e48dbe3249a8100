#include <gtest/gtest.h>

#include "DemoWorld.h"
#include "Transform.h"

namespace {

D3DXVECTOR3 Apply(const D3DXMATRIX& m, D3DXVECTOR3 p)
{
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &p, &m);
    return out;
}

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
}

TEST(TransformTest, StaticTransformKeepsItsSceneValuesAndComposesScaleRotateTranslate)
{
    DemoWorld world;
    world.Open();
    Transform t("box", D3DXVECTOR3(0, 0, 5), D3DXVECTOR3(D3DX_PI / 2, 0, 0), D3DXVECTOR3(2, 2, 2));
    t.Update(3.0f);
    EXPECT_TRUE(t.IsVisible());
    ExpectNear(t.GetTranslation(), D3DXVECTOR3(0, 0, 5));
    // scaled to (0, 2, 0), turned about X onto +Z, then moved by 5 along Z
    ExpectNear(Apply(t.GetWorld(), D3DXVECTOR3(0, 1, 0)), D3DXVECTOR3(0, 0, 7));
    // one box per missing kind, smooth then step
    ASSERT_EQ(world.boxes.size(), 2u);
    EXPECT_EQ(world.boxes[0].text, "No animCurve found in filesystem corresponding to registered curve: "
                                   "\"box.translateX\".\n(Skipping further error messages)");
    EXPECT_EQ(world.boxes[1].text, "No animCurve found in filesystem corresponding to registered curve: "
                                   "\"box.visibility\".\n(Skipping further error messages)");
}

TEST(TransformTest, CurvesDriveTheirChannelsOnly)
{
    DemoWorld world;
    // translateY = time (straight line), rotateZ constant pi/2
    world.Curve("arm.translateY", {{0, 0, 0, 1}, {10, 10, 1, 0}});
    world.Curve("arm.rotateZ", {{0, D3DX_PI / 2, 0, 0}});
    world.Open();
    Transform t("arm", D3DXVECTOR3(7, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    t.Update(4.0f);
    ExpectNear(t.GetTranslation(), D3DXVECTOR3(7, 4, 0));
    ExpectNear(t.GetRotation(), D3DXVECTOR3(0, 0, D3DX_PI / 2));
    // (1, 0, 0) turned about Z onto +Y, then moved
    ExpectNear(Apply(t.GetWorld(), D3DXVECTOR3(1, 0, 0)), D3DXVECTOR3(7, 5, 0));
    // the previous world is the pose 1/60 earlier, and a repeated update changes nothing
    ExpectNear(Apply(t.GetPreviousWorld(), D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(7, 4 - 1.0f / 60, 0));
    const D3DXMATRIX first = t.GetWorld(), firstPrevious = t.GetPreviousWorld();
    t.Update(4.0f);
    EXPECT_EQ(t.GetWorld(), first);
    EXPECT_EQ(t.GetPreviousWorld(), firstPrevious);
}

TEST(TransformTest, PreviousWorldIsIdentityBeforeTheFirstUpdate)
{
    DemoWorld world;
    world.Open();
    Transform t("x", D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_EQ(t.GetPreviousWorld(), identity);
    EXPECT_EQ(t.GetWorld(), identity);
}

TEST(TransformTest, VisibilityCurveHidesAtZeroAndBelow)
{
    const struct {
        float value;
        bool visible;
    } cases[] = {{0.0f, false}, {0.001f, true}, {-1.0f, false}, {1.0f, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        DemoWorld world;
        world.Curve("lamp.visibility", {{0, c.value, 0, 0}});
        world.Open();
        Transform t("lamp", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
        t.Update(1.0f);
        EXPECT_EQ(t.IsVisible(), c.visible);
    }
}

} // namespace

#include <gtest/gtest.h>

#include <memory>

#include "DXMesh/BaseRenderObject.h"
#include "DemoWorld.h"
#include "FrameworkExMessage.h"
#include "Transform.h"

namespace {

D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

D3DXVECTOR3 Apply(const D3DXMATRIX& m, D3DXVECTOR3 p)
{
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &p, &m);
    return out;
}

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    EXPECT_NEAR(a.x, b.x, 1e-4f);
    EXPECT_NEAR(a.y, b.y, 1e-4f);
    EXPECT_NEAR(a.z, b.z, 1e-4f);
}

// A drawable object, as meshes and quads are.
class Drawn : public BASERENDEROBJECT {
public:
    using BASERENDEROBJECT::BASERENDEROBJECT;
    void Draw() override { ++draws; }
    int draws = 0;
};

TEST(BaseRenderObjectTest, StartsAtIdentityAndOnlyOverridesDraw)
{
    BASERENDEROBJECT plain(nullptr);
    EXPECT_EQ(plain.world, Identity());
    EXPECT_EQ(plain.oldWorld, Identity());
    EXPECT_EQ(plain.transform, nullptr);
    EXPECT_EQ(FrameworkExMessage([&] { plain.Draw(); }), "[BASERENDEROBJECT] Virtual Draw method not implemented");

    std::unique_ptr<BASERENDEROBJECT> drawn = std::make_unique<Drawn>(nullptr);
    EXPECT_EQ(FrameworkExMessage([&] { drawn->Draw(); }), "(no exception)");
    EXPECT_EQ(static_cast<Drawn&>(*drawn).draws, 1);
}

// A transform climbing the Y axis one unit per animation second, and the demo's clock.
class BaseRenderObjectWorldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        world.Curve("lift.translateY", {{0, 0, 0, 1}, {10, 10, 1, 0}});
        // The animation holds at 4 seconds whatever the playback clock says.
        world.Track("PlaybackTime", {{0, 4.0f, 0}});
        world.Open();
        lift = std::make_unique<Transform>("lift", D3DXVECTOR3(3, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    }

    DemoWorld world;
    std::unique_ptr<Transform> lift;
};

TEST_F(BaseRenderObjectWorldTest, UpdateAtTakesTheTransformsCurrentAndPreviousWorld)
{
    BASERENDEROBJECT object(lift.get());
    EXPECT_EQ(object.transform, lift.get());
    EXPECT_EQ(object.world, Identity()) << "nothing moves before the first update";

    object.UpdateAt(6.0f);
    EXPECT_EQ(object.world, lift->GetWorld());
    EXPECT_EQ(object.oldWorld, lift->GetPreviousWorld());
    ExpectNear(Apply(object.world, D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(3, 6, 0));
    ExpectNear(Apply(object.oldWorld, D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(3, 6 - 1.0f / 60, 0));
}

TEST_F(BaseRenderObjectWorldTest, UpdateFollowsThePlaybackTimeTrackNotTheClock)
{
    world.SetTime(9.0);
    BASERENDEROBJECT object(lift.get());
    object.Update();
    ExpectNear(Apply(object.world, D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(3, 4, 0));
    ExpectNear(Apply(object.oldWorld, D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(3, 4 - 1.0f / 60, 0));
}

TEST_F(BaseRenderObjectWorldTest, WithoutATransformTheMatricesAreTheOwners)
{
    world.SetTime(9.0);
    BASERENDEROBJECT object(nullptr);
    object.Update();
    object.UpdateAt(2.0f);
    EXPECT_EQ(object.world, Identity());
    EXPECT_EQ(object.oldWorld, Identity());

    D3DXMatrixTranslation(&object.world, 1, 2, 3);
    object.Update();
    ExpectNear(Apply(object.world, D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(1, 2, 3));
}

} // namespace

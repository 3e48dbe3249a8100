#include <gtest/gtest.h>

#include "DemoWorld.h"
#include "FrameworkExMessage.h"
#include "LightHandler.h"
#include "PointLight.h"
#include "SpotLight.h"
#include "Transform.h"

namespace {

TEST(LightHandlerTest, AddFindUpdateAndTheirMessages)
{
    DemoWorld world;
    world.Curve("s.translateX", {{0, 0, 0, 1}, {10, 10, 1, 0}});
    world.Open();
    Transform pointPlace("p", D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    Transform spotPlace("s", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    LightHandler handler;
    auto* point = new PointLight("p", &pointPlace, D3DXCOLOR(1, 0, 0, 1), 5.0f, true);
    handler.AddLight(point);
    handler.AddLight(new SpotLight("s", &spotPlace, D3DXCOLOR(1, 1, 1, 1), 1.0f, 1.0f, 10.0f, false));
    EXPECT_EQ(handler.FindLight("p"), point);
    EXPECT_EQ(point->GetType(), 2);

    // a point light changes nothing; a spot light follows its transform's curve
    handler.Update(3.0f);
    EXPECT_EQ(pointPlace.GetTranslation().x, 1.0f);
    auto* spot = static_cast<SpotLight*>(handler.FindLight("s"));
    D3DXVECTOR3 origin(0, 0, 0), placed;
    D3DXVec3TransformCoord(&placed, &origin, &spot->GetWorld());
    EXPECT_NEAR(placed.x, 3.0f, 1e-5f);

    const struct {
        std::function<void()> call;
        const char* message;
    } failures[] = {
        {[&] { handler.AddLight(new PointLight("p", &pointPlace, D3DXCOLOR(1, 1, 1, 1), 1.0f, false)); },
         "LightHandler::AddLight: \"p\" already exists."},
        {[&] { handler.FindLight("q"); }, "[LightHandler::FindLight] Could not find light \"q\""},
    };
    for (const auto& f : failures) {
        EXPECT_EQ(FrameworkExMessage(f.call), f.message);
    }
    EXPECT_EQ(handler.FindLight("p"), point);
}

} // namespace

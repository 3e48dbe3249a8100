#include <gtest/gtest.h>

#include "CamHandler.h"
#include "DemoWorld.h"
#include "FrameworkExMessage.h"
#include "Mouse.h"

namespace {

TEST(CamHandlerTest, ActiveCamSelectsByNameOrder)
{
    const struct {
        float value;
        const char* active;
    } cases[] = {{2.9f, "c"}, {3.0f, "a"}, {-0.5f, "a"}, {1.0f, "b"}, {-7.0f, "a"}, {NAN, "a"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        DemoWorld world;
        world.Track("ActiveCam", {{0, c.value, 0}});
        world.Open();
        CamHandler handler;
        for (const char* name : {"c", "a", "b"})
            handler.AddCamera(new Camera(name));
        EXPECT_EQ(handler.GetActiveCamera()->GetName(), "b"); // the last added until the first update
        handler.Update(0.0f);
        EXPECT_EQ(handler.GetActiveCamera()->GetName(), c.active);
    }
}

TEST(CamHandlerTest, FailuresAndTheirMessages)
{
    DemoWorld world;
    world.Open();
    CamHandler handler;
    EXPECT_EQ(FrameworkExMessage([&] { handler.Update(0.0f); }), "[CamHAndler::Update] something impossible happened!");
    handler.AddCamera(new Camera("a"));
    EXPECT_EQ(FrameworkExMessage([&] { handler.AddCamera(new Camera("a")); }),
              "CamHandler::AddCamera: \"a\" already exists.");
}

TEST(CamHandlerTest, DirectCameraServesTheInverseViewAsWorld)
{
    DemoWorld world;
    world.Open();
    CamHandler handler;
    handler.AddCamera(new Camera("main"));
    handler.Update(0.0f);
    Camera cube("cube");
    cube.SetView(D3DXVECTOR3(4, 5, 6), D3DXVECTOR3(4, 5, 0), D3DXVECTOR3(0, 1, 0));
    Camera* remembered = handler.GetActiveCamera();
    handler.SetActiveCamera(&cube);
    handler.SetDirectCamera(true);
    D3DXVECTOR3 origin(0, 0, 0), eye;
    D3DXMATRIX world4 = handler.GetWorld();
    D3DXVec3TransformCoord(&eye, &origin, &world4);
    EXPECT_NEAR(eye.x, 4.0f, 1e-5f);
    EXPECT_NEAR(eye.y, 5.0f, 1e-5f);
    EXPECT_NEAR(eye.z, 6.0f, 1e-5f);
    EXPECT_EQ(handler.GetViewProj(), cube.GetViewProj());
    handler.SetActiveCamera(remembered);
    handler.SetDirectCamera(false);
    EXPECT_EQ(handler.GetWorld(), remembered->GetWorld());
    // the next update selects by the track again
    handler.SetActiveCamera(&cube);
    handler.Update(0.0f);
    EXPECT_EQ(handler.GetActiveCamera(), remembered);
}

TEST(CamHandlerTest, HeldMouseButtonRequestsRedraw)
{
    DemoWorld world;
    world.Open();
    Mouse mouse;
    CamHandler handler;
    handler.AddCamera(new Camera("a"));
    for (bool held : {false, true}) {
        Mouse::SetButtons(held, false, false);
        Mouse::Update();
        Mouse::Update(); // down in two updates in a row: held
        DXFramework::ClearRedrawRequest();
        handler.Update(0.0f);
        EXPECT_EQ(DXFramework::IsRedrawRequested(), held);
    }
}

} // namespace

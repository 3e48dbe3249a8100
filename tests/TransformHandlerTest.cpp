#include <gtest/gtest.h>

#include "DemoWorld.h"
#include "FrameworkExMessage.h"
#include "TransformHandler.h"

namespace {

Transform* Make(const std::string& name)
{
    return new Transform(name, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
}

TEST(TransformHandlerTest, AddFindAndTheirMessages)
{
    DemoWorld world;
    world.Open();
    TransformHandler handler;
    Transform* a = handler.Add(Make("a"));
    EXPECT_EQ(handler.Find("a"), a);
    EXPECT_EQ(FrameworkExMessage([&] { handler.Add(Make("a")); }), "TransformHandler::Add: \"a\" already exists.");
    EXPECT_EQ(handler.Find("a"), a);
    EXPECT_EQ(FrameworkExMessage([&] { handler.Find("A"); }),
              "[TransformHandler::Find] Could not find transform \"A\"");
}

TEST(TransformHandlerTest, UpdateReachesEveryTransform)
{
    DemoWorld world;
    // every transform's translateX follows time, so an updated transform shows the time
    for (const char* name : {"c", "A", "b"})
        world.Curve(std::string(name) + ".translateX", {{0, 0, 0, 1}, {10, 10, 1, 0}});
    world.Open();
    TransformHandler handler;
    for (const char* name : {"c", "A", "b"})
        handler.Add(Make(name));
    handler.Update(2.0f);
    for (const char* name : {"A", "b", "c"})
        EXPECT_NEAR(handler.Find(name)->GetTranslation().x, 2.0f, 1e-5f) << name;
}

} // namespace

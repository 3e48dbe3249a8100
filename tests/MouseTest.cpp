#include <gtest/gtest.h>

#include "DXFramework.h"
#include "FrameworkExMessage.h"
#include "Mouse.h"

namespace {

struct Edges {
    bool down;
    bool held;
    bool pressed;
    bool released;
};

void ExpectEdges(Mouse::Button button, Edges expected, const char* when)
{
    EXPECT_EQ(Mouse::IsDown(button), expected.down) << when;
    EXPECT_EQ(Mouse::IsHeld(button), expected.held) << when;
    EXPECT_EQ(Mouse::WasPressed(button), expected.pressed) << when;
    EXPECT_EQ(Mouse::WasReleased(button), expected.released) << when;
}

class MouseTest : public ::testing::Test {
protected:
    void SetUp() override { DXFramework::ClearRedrawRequest(); }
    void TearDown() override { DXFramework::ClearRedrawRequest(); }
    Mouse mouse;
};

TEST_F(MouseTest, SecondInstanceIsRefused)
{
    EXPECT_EQ(FrameworkExMessage([&] { Mouse second; }), "Mouse is a singleton!");
}

// One button through a press, a hold and a release, checked for each button so that the
// buttons are not mixed up.
TEST_F(MouseTest, ButtonGoesThroughPressHoldAndRelease)
{
    for (Mouse::Button button : {Mouse::Left, Mouse::Middle, Mouse::Right}) {
        SCOPED_TRACE(static_cast<int>(button));
        const bool l = button == Mouse::Left, m = button == Mouse::Middle, r = button == Mouse::Right;
        Mouse::SetButtons(l, m, r);
        Mouse::Update();
        ExpectEdges(button, {true, false, true, false}, "first update with the button down");
        Mouse::Update();
        ExpectEdges(button, {true, true, false, false}, "second update with the button down");
        Mouse::SetButtons(false, false, false);
        Mouse::Update();
        ExpectEdges(button, {false, false, false, true}, "update after the release");
        Mouse::Update();
        ExpectEdges(button, {false, false, false, false}, "update after that");
        for (Mouse::Button other : {Mouse::Left, Mouse::Middle, Mouse::Right})
            if (other != button)
                ExpectEdges(other, {false, false, false, false}, "the other buttons");
    }
}

TEST_F(MouseTest, PressAndReleaseBetweenUpdatesIsNotSeen)
{
    Mouse::SetButtons(true, false, false);
    Mouse::SetButtons(false, false, false);
    Mouse::Update();
    ExpectEdges(Mouse::Left, {false, false, false, false}, "update after a click between updates");
    EXPECT_FALSE(DXFramework::IsRedrawRequested());
}

TEST_F(MouseTest, MovementIsMeasuredBetweenUpdates)
{
    Mouse::SetPosition(100, 50);
    Mouse::Update();
    EXPECT_EQ(Mouse::GetX(), 100);
    EXPECT_EQ(Mouse::GetY(), 50);
    EXPECT_EQ(Mouse::GetDX(), 100);
    EXPECT_EQ(Mouse::GetDY(), 50);

    Mouse::SetPosition(90, 51);
    Mouse::SetPosition(80, 65); // only the last position before the update counts
    Mouse::Update();
    EXPECT_EQ(Mouse::GetX(), 80);
    EXPECT_EQ(Mouse::GetY(), 65);
    EXPECT_EQ(Mouse::GetDX(), -20);
    EXPECT_EQ(Mouse::GetDY(), 15);

    Mouse::Update();
    EXPECT_EQ(Mouse::GetDX(), 0);
    EXPECT_EQ(Mouse::GetDY(), 0);
}

TEST_F(MouseTest, OnlyAButtonDownRequestsARedraw)
{
    Mouse::SetPosition(300, 200);
    Mouse::Update();
    EXPECT_NE(Mouse::GetDX(), 0);
    EXPECT_FALSE(DXFramework::IsRedrawRequested()) << "movement alone";

    Mouse::SetButtons(false, false, true);
    Mouse::Update();
    EXPECT_TRUE(DXFramework::IsRedrawRequested()) << "right button pressed";

    DXFramework::ClearRedrawRequest();
    Mouse::Update();
    EXPECT_TRUE(DXFramework::IsRedrawRequested()) << "right button held";

    DXFramework::ClearRedrawRequest();
    Mouse::SetButtons(false, false, false);
    Mouse::Update();
    EXPECT_FALSE(DXFramework::IsRedrawRequested()) << "right button released";
}

TEST_F(MouseTest, ButtonOutsideTheEnumReadsFalse)
{
    Mouse::SetButtons(true, true, true);
    Mouse::Update();
    const auto bogus = static_cast<Mouse::Button>(7);
    ExpectEdges(bogus, {false, false, false, false}, "button 7");
}

TEST(MouseLifetimeTest, NewInstanceStartsAtZero)
{
    {
        Mouse first;
        Mouse::SetButtons(true, false, false);
        Mouse::SetPosition(40, 30);
        Mouse::Update();
    }
    Mouse second;
    ExpectEdges(Mouse::Left, {false, false, false, false}, "after the instance was replaced");
    EXPECT_EQ(Mouse::GetX(), 0);
    EXPECT_EQ(Mouse::GetY(), 0);
    Mouse::Update();
    ExpectEdges(Mouse::Left, {false, false, false, false}, "raw state was cleared too");
    EXPECT_EQ(Mouse::GetDX(), 0);
    DXFramework::ClearRedrawRequest();
}

} // namespace

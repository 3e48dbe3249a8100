#include <gtest/gtest.h>

#include <cstdint>

#include "DXFramework.h"
#include "FrameworkExMessage.h"
#include "KeyHandler.h"

namespace {

constexpr std::uint32_t kEscape = 0x1B;
constexpr std::uint32_t kSpace = 0x20;

struct Seen {
    bool down;
    bool pressed;
    bool released;
};

Seen Read(std::uint32_t code)
{
    return {KeyHandler::IsDown(code), KeyHandler::WasPressed(code), KeyHandler::WasReleased(code)};
}

void ExpectSeen(std::uint32_t code, Seen expected, const char* when)
{
    const Seen seen = Read(code);
    EXPECT_EQ(seen.down, expected.down) << when;
    EXPECT_EQ(seen.pressed, expected.pressed) << when;
    EXPECT_EQ(seen.released, expected.released) << when;
}

class KeyHandlerTest : public ::testing::Test {
protected:
    KeyHandler keys;
};

TEST_F(KeyHandlerTest, SecondInstanceIsRefused)
{
    EXPECT_EQ(FrameworkExMessage([&] { KeyHandler second; }), "KeyHandler is a singleton!");
}

TEST_F(KeyHandlerTest, StateEntriesAreThreeBytesInOrder)
{
    static_assert(sizeof(KeyHandler::STATE) == 3);
    KeyHandler::STATE state;
    EXPECT_FALSE(state.down);
    EXPECT_FALSE(state.pressed);
    EXPECT_FALSE(state.released);
    EXPECT_LT(reinterpret_cast<char*>(&state.down), reinterpret_cast<char*>(&state.pressed));
    EXPECT_LT(reinterpret_cast<char*>(&state.pressed), reinterpret_cast<char*>(&state.released));
}

TEST_F(KeyHandlerTest, UnknownKeyReadsAllFalse)
{
    ExpectSeen(kEscape, {false, false, false}, "never touched");
}

// The frame loop: messages arrive, the frame drawn next reads the keys, then Update.
TEST_F(KeyHandlerTest, HeldKeyWithAutoRepeatIsPressedOnlyInFramesAfterARepeat)
{
    KeyHandler::KeyDown(kSpace);
    ExpectSeen(kSpace, {true, true, false}, "frame 1, after the first press");
    KeyHandler::Update();
    ExpectSeen(kSpace, {true, false, false}, "frame 2, no message");
    KeyHandler::Update();
    KeyHandler::KeyDown(kSpace); // auto-repeat
    ExpectSeen(kSpace, {true, true, false}, "frame 3, after a repeat");
    KeyHandler::Update();
    ExpectSeen(kSpace, {true, false, false}, "frame 4, no message");
}

TEST_F(KeyHandlerTest, DownAndUpBetweenFramesIsSeenAsAReleaseOnly)
{
    KeyHandler::KeyDown(kEscape);
    KeyHandler::KeyUp(kEscape);
    ExpectSeen(kEscape, {false, false, true}, "frame after down and up");
    KeyHandler::Update();
    ExpectSeen(kEscape, {false, false, false}, "the frame after that");
}

TEST_F(KeyHandlerTest, UpdateClearsEdgesOfEveryTouchedKeyOnly)
{
    KeyHandler::KeyDown(kEscape);
    KeyHandler::KeyDown(kSpace);
    KeyHandler::KeyUp(kSpace);
    KeyHandler::KeyDown(kSpace);
    KeyHandler::Update();
    ExpectSeen(kEscape, {true, false, false}, "escape after update");
    ExpectSeen(kSpace, {true, false, false}, "space after update");
}

TEST_F(KeyHandlerTest, KeyDownRequestsARedrawAndKeyUpDoesNot)
{
    DXFramework::ClearRedrawRequest();
    KeyHandler::KeyUp(kSpace);
    EXPECT_FALSE(DXFramework::IsRedrawRequested());
    KeyHandler::KeyDown(kSpace);
    EXPECT_TRUE(DXFramework::IsRedrawRequested());
    DXFramework::ClearRedrawRequest();
}

TEST(KeyHandlerLifetimeTest, NewInstanceStartsClean)
{
    {
        KeyHandler first;
        KeyHandler::KeyDown(kEscape);
    }
    KeyHandler second;
    ExpectSeen(kEscape, {false, false, false}, "after the instance was replaced");
    KeyHandler::Update(); // must not trip over codes of the old instance
    ExpectSeen(kEscape, {false, false, false}, "after update");
}

} // namespace

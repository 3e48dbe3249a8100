#include "Mouse.h"

#include "DXFramework.h"
#include "FrameworkEx.h"

namespace {

struct ButtonState {
    bool down = false;
    bool held = false;
    bool pressed = false;
    bool released = false;
};

constexpr int kButtons = 3;

struct MouseState {
    bool raw[kButtons] = {};
    std::int32_t rawX = 0;
    std::int32_t rawY = 0;
    ButtonState buttons[kButtons];
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t dx = 0;
    std::int32_t dy = 0;
};

Mouse* instance = nullptr;
MouseState state;

ButtonState Find(Mouse::Button button)
{
    const int index = static_cast<int>(button);
    return index >= 0 && index < kButtons ? state.buttons[index] : ButtonState{};
}

// a - b without signed overflow for positions far outside the 16-bit range the window
// procedure delivers.
std::int32_t Difference(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

} // namespace

Mouse::Mouse()
{
    if (instance != nullptr)
        throw FrameworkEx("Mouse is a singleton!");
    instance = this;
    state = MouseState{};
}

Mouse::~Mouse()
{
    if (instance == this) {
        instance = nullptr;
        state = MouseState{};
    }
}

void Mouse::SetButtons(bool left, bool middle, bool right)
{
    state.raw[Left] = left;
    state.raw[Middle] = middle;
    state.raw[Right] = right;
}

void Mouse::SetPosition(std::int32_t x, std::int32_t y)
{
    state.rawX = x;
    state.rawY = y;
}

void Mouse::Update()
{
    bool anyDown = false;
    for (int i = 0; i < kButtons; ++i) {
        ButtonState& button = state.buttons[i];
        const bool now = state.raw[i];
        const bool before = button.down;
        button.held = now && before;
        button.released = !now && before;
        button.down = now;
        button.pressed = button.down && !button.held;
        anyDown = anyDown || button.down;
    }
    state.dx = Difference(state.rawX, state.x);
    state.dy = Difference(state.rawY, state.y);
    state.x = state.rawX;
    state.y = state.rawY;
    if (anyDown)
        DXFramework::RequestRedraw();
}

bool Mouse::IsDown(Button button)
{
    return Find(button).down;
}

bool Mouse::IsHeld(Button button)
{
    return Find(button).held;
}

bool Mouse::WasPressed(Button button)
{
    return Find(button).pressed;
}

bool Mouse::WasReleased(Button button)
{
    return Find(button).released;
}

std::int32_t Mouse::GetX()
{
    return state.x;
}

std::int32_t Mouse::GetY()
{
    return state.y;
}

std::int32_t Mouse::GetDX()
{
    return state.dx;
}

std::int32_t Mouse::GetDY()
{
    return state.dy;
}

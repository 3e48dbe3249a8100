#pragma once
#include <cstdint>

// Per-frame mouse state. The window procedure writes the raw buttons and cursor position;
// the frame loop calls Update before a frame is drawn, which derives the button edges and
// the movement since the previous Update. The state is process-wide and read through the
// statics; everything is zero when the instance is created.
class Mouse {
public:
    enum Button : int { Left, Middle, Right };

    // Throws FrameworkEx "Mouse is a singleton!" when an instance exists.
    Mouse();
    // Forgets the instance and clears the state, so that a new instance starts clean.
    ~Mouse();
    Mouse(const Mouse&) = delete;
    Mouse& operator=(const Mouse&) = delete;

    // Raw input from the window procedure.
    static void SetButtons(bool left, bool middle, bool right);
    static void SetPosition(std::int32_t x, std::int32_t y);

    // Derives this frame's state from the raw input; asks for a redraw while a button is
    // down.
    static void Update();

    // Down now; down now and at the previous Update; went down since the previous Update;
    // went up since the previous Update. A value outside the enum reads as false.
    static bool IsDown(Button button);
    static bool IsHeld(Button button);
    static bool WasPressed(Button button);
    static bool WasReleased(Button button);

    // Cursor position as of the last Update, and the movement since the one before.
    static std::int32_t GetX();
    static std::int32_t GetY();
    static std::int32_t GetDX();
    static std::int32_t GetDY();
};

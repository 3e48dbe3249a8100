#pragma once
#include <cstdint>

// Per-frame keyboard state. The window procedure feeds key messages through KeyDown and
// KeyUp; the frame loop calls Update after a frame is drawn, so a press is visible to
// exactly the frame drawn next. The state is process-wide and read through the statics.
class KeyHandler {
public:
    // One key: held, went down (or repeated) since the last Update, went up since then.
    struct STATE {
        bool down = false;
        bool pressed = false;
        bool released = false;
    };

    // Throws FrameworkEx "KeyHandler is a singleton!" when an instance exists.
    KeyHandler();
    // Forgets the instance and every key, so that a new instance starts clean.
    ~KeyHandler();
    KeyHandler(const KeyHandler&) = delete;
    KeyHandler& operator=(const KeyHandler&) = delete;

    // A WM_KEYDOWN (first press or auto-repeat) for a virtual-key code; asks for a redraw.
    static void KeyDown(std::uint32_t code);
    // A WM_KEYUP for a virtual-key code.
    static void KeyUp(std::uint32_t code);
    // Clears the press and release edges of the keys touched since the last call.
    static void Update();

    // Readers; a code never seen by KeyDown or KeyUp reads as all false.
    static bool IsDown(std::uint32_t code);
    static bool WasPressed(std::uint32_t code);
    static bool WasReleased(std::uint32_t code);
};

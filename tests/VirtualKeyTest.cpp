#include <gtest/gtest.h>

#include <SDL.h>

#include "win32/VirtualKey.h"
#include "win32/WinUser.h"

namespace {

TEST(VirtualKeyTest, KeysGetWindowsCodesScanCodesAndExtendedFlag)
{
    struct Case {
        SDL_Scancode scancode;
        SDL_Keycode symbol;
        UINT code;
        BYTE scan;
        bool extended;
    };
    const Case cases[] = {
        {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, VK_ESCAPE, 0x01, false},
        {SDL_SCANCODE_RETURN, SDLK_RETURN, VK_RETURN, 0x1C, false},
        {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, VK_RETURN, 0x1C, true},
        {SDL_SCANCODE_SPACE, SDLK_SPACE, VK_SPACE, 0x39, false},
        {SDL_SCANCODE_LEFT, SDLK_LEFT, VK_LEFT, 0x4B, true},
        {SDL_SCANCODE_UP, SDLK_UP, VK_UP, 0x48, true},
        {SDL_SCANCODE_RIGHT, SDLK_RIGHT, VK_RIGHT, 0x4D, true},
        {SDL_SCANCODE_DOWN, SDLK_DOWN, VK_DOWN, 0x50, true},
        {SDL_SCANCODE_F1, SDLK_F1, VK_F1, 0x3B, false},
        {SDL_SCANCODE_F10, SDLK_F10, VK_F10, 0x44, false},
        {SDL_SCANCODE_F12, SDLK_F12, VK_F12, 0x58, false},
        {SDL_SCANCODE_A, SDLK_a, 'A', 0x1E, false},
        {SDL_SCANCODE_Z, SDLK_z, 'Z', 0x2C, false},
        {SDL_SCANCODE_0, SDLK_0, '0', 0x0B, false},
        {SDL_SCANCODE_9, SDLK_9, '9', 0x0A, false},
        {SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, VK_SHIFT, 0x2A, false},
        {SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, VK_SHIFT, 0x36, false},
        {SDL_SCANCODE_LCTRL, SDLK_LCTRL, VK_CONTROL, 0x1D, false},
        {SDL_SCANCODE_RCTRL, SDLK_RCTRL, VK_CONTROL, 0x1D, true},
        {SDL_SCANCODE_LALT, SDLK_LALT, VK_MENU, 0x38, false},
        {SDL_SCANCODE_RALT, SDLK_RALT, VK_MENU, 0x38, true},
        {SDL_SCANCODE_TAB, SDLK_TAB, VK_TAB, 0x0F, false},
        {SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, VK_BACK, 0x0E, false},
        {SDL_SCANCODE_DELETE, SDLK_DELETE, VK_DELETE, 0x53, true},
        {SDL_SCANCODE_KP_5, SDLK_KP_5, VK_NUMPAD5, 0x4C, false},
        // A French keyboard: the key in the place of Q types 'a', and Windows calls it 'A'.
        {SDL_SCANCODE_Q, SDLK_a, 'A', 0x10, false},
        // Keypad digits stay keypad keys whatever their symbol.
        {SDL_SCANCODE_KP_1, SDLK_1, VK_NUMPAD1, 0x4F, false},
    };
    for (const Case& c : cases) {
        const VirtualKey key = VirtualKeyFromSDL(c.scancode, c.symbol);
        EXPECT_EQ(key.code, c.code) << SDL_GetScancodeName(c.scancode);
        EXPECT_EQ(key.scan, c.scan) << SDL_GetScancodeName(c.scancode);
        EXPECT_EQ(key.extended, c.extended) << SDL_GetScancodeName(c.scancode);
    }
    EXPECT_EQ(VirtualKeyFromSDL(SDL_SCANCODE_UNKNOWN, SDLK_UNKNOWN).code, 0u);
}

TEST(VirtualKeyTest, CharactersFollowShiftCapsLockAndControl)
{
    struct Case {
        UINT key;
        Uint16 modifiers;
        unsigned character;
    };
    const Case cases[] = {
        {'A', KMOD_NONE, 'a'},         {'A', KMOD_LSHIFT, 'A'},     {'A', KMOD_CAPS, 'A'},
        {'A', KMOD_CAPS | KMOD_RSHIFT, 'a'}, {'C', KMOD_LCTRL, 3},  {'1', KMOD_NONE, '1'},
        {'1', KMOD_SHIFT, '!'},        {'0', KMOD_SHIFT, ')'},      {VK_OEM_MINUS, KMOD_SHIFT, '_'},
        {VK_SPACE, KMOD_NONE, ' '},    {VK_RETURN, KMOD_NONE, '\r'}, {VK_ESCAPE, KMOD_NONE, 0x1B},
        {VK_NUMPAD7, KMOD_NUM, '7'},   {VK_NUMPAD7, KMOD_NONE, 0},  {VK_LEFT, KMOD_NONE, 0},
        {VK_F1, KMOD_NONE, 0},         {VK_SHIFT, KMOD_SHIFT, 0},   {'2', KMOD_CTRL, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CharacterFromKey(c.key, c.modifiers), c.character) << c.key << " with " << c.modifiers;
}

} // namespace

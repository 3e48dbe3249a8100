#pragma once
#include <SDL_keyboard.h>

#include "win32/WinTypes.h"

// A physical key as Windows names it: the virtual-key code, the PC (set 1) scan code and
// whether it is one of the extended keys (right Ctrl/Alt, the navigation block, keypad
// Enter and /).
struct VirtualKey {
    UINT code = 0; // 0: a key Windows has no virtual-key code for here
    BYTE scan = 0;
    bool extended = false;
};

// Letters and digits follow the key's symbol in the active layout ('A'..'Z', '0'..'9'), as
// Windows' virtual keys do; every other key follows its position. Both Shift keys give
// VK_SHIFT, both Ctrl keys VK_CONTROL and both Alt keys VK_MENU, as in WM_KEYDOWN.
VirtualKey VirtualKeyFromSDL(SDL_Scancode scancode, SDL_Keycode symbol);

// The character TranslateMessage makes of a key with these modifiers (KMOD_*), US layout;
// 0 when the key types nothing.
unsigned CharacterFromKey(UINT virtualKey, Uint16 modifiers);

#include "KeyHandler.h"

#include <map>
#include <vector>

#include "DXFramework.h"
#include "FrameworkEx.h"

namespace {

KeyHandler* instance = nullptr;
// Only codes that arrived in a key message have an entry; asking about a code adds none.
std::map<std::uint32_t, KeyHandler::STATE> keys;
// Codes touched since the last Update, in arrival order; duplicates allowed.
std::vector<std::uint32_t> changedKeys;

KeyHandler::STATE Find(std::uint32_t code)
{
    auto entry = keys.find(code);
    return entry == keys.end() ? KeyHandler::STATE{} : entry->second;
}

} // namespace

KeyHandler::KeyHandler()
{
    if (instance != nullptr)
        throw FrameworkEx("KeyHandler is a singleton!");
    instance = this;
}

KeyHandler::~KeyHandler()
{
    if (instance == this) {
        instance = nullptr;
        keys.clear();
        changedKeys.clear();
    }
}

void KeyHandler::KeyDown(std::uint32_t code)
{
    STATE& state = keys[code];
    state.pressed = true;
    state.down = true;
    state.released = false;
    changedKeys.push_back(code);
    DXFramework::RequestRedraw();
}

void KeyHandler::KeyUp(std::uint32_t code)
{
    // The up message also takes back a press the next frame has not seen yet.
    STATE& state = keys[code];
    state.released = true;
    state.down = false;
    state.pressed = false;
    changedKeys.push_back(code);
}

void KeyHandler::Update()
{
    for (std::uint32_t code : changedKeys) {
        STATE& state = keys[code];
        state.pressed = false;
        state.released = false;
    }
    changedKeys.clear();
}

bool KeyHandler::IsDown(std::uint32_t code)
{
    return Find(code).down;
}

bool KeyHandler::WasPressed(std::uint32_t code)
{
    return Find(code).pressed;
}

bool KeyHandler::WasReleased(std::uint32_t code)
{
    return Find(code).released;
}

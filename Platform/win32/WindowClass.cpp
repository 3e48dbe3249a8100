#include "win32/WinUser.h"

#include <SDL.h>

#include <cctype>
#include <map>
#include <string>

#include "sdl/SDLVideo.h"
#include "win32/ResourceArt.h"
#include "win32/WindowInternals.h"

using win32internal::WindowClassInfo;

namespace {

// 48 is sizeof(WNDCLASSEXA) in 32-bit Windows, the size a program written for it fills in.
constexpr UINT kWndClassEx32Size = 48;
constexpr ATOM kFirstAtom = 0xC000;

std::map<std::string, WindowClassInfo>& Classes()
{
    static std::map<std::string, WindowClassInfo> classes;
    return classes;
}

ATOM& NextAtom()
{
    static ATOM next = kFirstAtom;
    return next;
}

std::string ClassKey(LPCSTR name)
{
    std::string key(name);
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

WindowClassInfo* LookUpClass(LPCSTR nameOrAtom)
{
    if (!nameOrAtom)
        return nullptr;
    if (IS_INTRESOURCE(nameOrAtom)) {
        const auto atom = static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(nameOrAtom));
        for (auto& [key, info] : Classes())
            if (info.atom == atom)
                return &info;
        return nullptr;
    }
    auto found = Classes().find(ClassKey(nameOrAtom));
    return found == Classes().end() ? nullptr : &found->second;
}

// Icons and cursors live as long as the process, like Windows' shared resources. A handle
// is the address of its entry.
struct IconEntry {
    SDL_Surface* surface = nullptr;
};
struct CursorEntry {
    SDL_Cursor* cursor = nullptr;
};

IconEntry& AppIcon()
{
    static IconEntry entry{CreateAppIconSurface(32)};
    return entry;
}

IconEntry& StandardIcon()
{
    static IconEntry entry{CreateAppIconSurface(32)};
    return entry;
}

std::map<WORD, CursorEntry>& Cursors()
{
    static std::map<WORD, CursorEntry> cursors;
    return cursors;
}

bool IsIconEntry(HICON icon)
{
    return icon && (reinterpret_cast<IconEntry*>(icon) == &AppIcon() ||
                    reinterpret_cast<IconEntry*>(icon) == &StandardIcon());
}

// The program's cursor resource is keyed 0, the system cursors by their IDC_ number.
HCURSOR LoadCursorEntry(WORD key)
{
    auto found = Cursors().find(key);
    if (found != Cursors().end())
        return reinterpret_cast<HCURSOR>(&found->second);
    if (!EnsureSDLVideo())
        return nullptr;
    SDL_Cursor* cursor = nullptr;
    if (key == 0) {
        SDL_Surface* arrow = CreateArrowCursorSurface();
        if (arrow) {
            cursor = SDL_CreateColorCursor(arrow, 0, 0);
            SDL_FreeSurface(arrow);
        }
    } else {
        SDL_SystemCursor system = SDL_SYSTEM_CURSOR_ARROW;
        switch (key) {
        case 32513: system = SDL_SYSTEM_CURSOR_IBEAM; break;
        case 32514: system = SDL_SYSTEM_CURSOR_WAIT; break;
        case 32515: system = SDL_SYSTEM_CURSOR_CROSSHAIR; break;
        case 32649: system = SDL_SYSTEM_CURSOR_HAND; break;
        default: break;
        }
        cursor = SDL_CreateSystemCursor(system);
    }
    // Where the display cannot show cursors (the offscreen driver) the resource still
    // exists; it just has no picture on screen.
    auto& entry = Cursors()[key];
    entry.cursor = cursor;
    return reinterpret_cast<HCURSOR>(&entry);
}

WORD ResourceId(LPCSTR name)
{
    return IS_INTRESOURCE(name) ? static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name)) : 0;
}

struct StockBrush {
    std::uint32_t rgb;
};
StockBrush stockBrushes[] = {{0xffffff}, {0xc0c0c0}, {0x808080}, {0x404040}, {0x000000}, {0x000000}};

} // namespace

namespace win32internal {

const WindowClassInfo* FindWindowClass(LPCSTR nameOrAtom)
{
    return LookUpClass(nameOrAtom);
}

SDL_Surface* IconSurface(HICON icon)
{
    return IsIconEntry(icon) ? reinterpret_cast<IconEntry*>(icon)->surface : nullptr;
}

bool IsCursorHandle(HCURSOR cursor)
{
    for (auto& [key, entry] : Cursors())
        if (reinterpret_cast<CursorEntry*>(cursor) == &entry)
            return true;
    return false;
}

SDL_Cursor* CursorFromHandle(HCURSOR cursor)
{
    return IsCursorHandle(cursor) ? reinterpret_cast<CursorEntry*>(cursor)->cursor : nullptr;
}

} // namespace win32internal

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass)
{
    if (!windowClass || (windowClass->cbSize != sizeof(WNDCLASSEXA) && windowClass->cbSize != kWndClassEx32Size))
        return 0;
    if (!windowClass->lpfnWndProc || !windowClass->lpszClassName || IS_INTRESOURCE(windowClass->lpszClassName) ||
        windowClass->lpszClassName[0] == '\0' || windowClass->cbClsExtra < 0 || windowClass->cbWndExtra < 0)
        return 0;
    const std::string key = ClassKey(windowClass->lpszClassName);
    if (Classes().count(key) != 0 || NextAtom() == 0)
        return 0;
    WindowClassInfo info;
    info.key = key;
    info.atom = NextAtom()++;
    info.proc = windowClass->lpfnWndProc;
    info.icon = windowClass->hIcon;
    info.smallIcon = windowClass->hIconSm;
    info.cursor = windowClass->hCursor;
    Classes()[key] = info;
    return info.atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE /*instance*/)
{
    WindowClassInfo* info = LookUpClass(className);
    if (!info || win32internal::ClassHasWindows(info->key))
        return FALSE;
    Classes().erase(info->key);
    return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR moduleName)
{
    static char programModule;
    if (moduleName)
        return nullptr;
    return reinterpret_cast<HMODULE>(&programModule);
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name)
{
    const WORD id = ResourceId(name);
    IconEntry* entry = nullptr;
    if (!instance && id == ResourceId(IDI_APPLICATION))
        entry = &StandardIcon();
    else if (instance && id == IDR_APP_ICON)
        entry = &AppIcon();
    if (!entry || !entry->surface)
        return nullptr;
    return reinterpret_cast<HICON>(entry);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    const WORD id = ResourceId(name);
    if (instance)
        return id == IDR_APP_CURSOR ? LoadCursorEntry(0) : nullptr;
    switch (id) {
    case 32512:
    case 32513:
    case 32514:
    case 32515:
    case 32649:
        return LoadCursorEntry(id);
    default:
        return nullptr;
    }
}

HGDIOBJ GetStockObject(int object)
{
    const int count = static_cast<int>(sizeof(stockBrushes) / sizeof(stockBrushes[0]));
    if (object < 0 || object >= count)
        return nullptr;
    return &stockBrushes[object];
}

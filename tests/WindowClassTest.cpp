#include <gtest/gtest.h>

#include <SDL.h>

#include "RecordingWindow.h"
#include "win32/ResourceArt.h"
#include "win32/WinUser.h"

namespace {

// Each case changes one field of a good description; the class must then be refused.
TEST(WindowClassTest, IncompleteDescriptionsAreRefused)
{
    struct Case {
        const char* what;
        void (*spoil)(WNDCLASSEXA&);
    };
    const Case cases[] = {
        {"no procedure", [](WNDCLASSEXA& c) { c.lpfnWndProc = nullptr; }},
        {"no name", [](WNDCLASSEXA& c) { c.lpszClassName = nullptr; }},
        {"empty name", [](WNDCLASSEXA& c) { c.lpszClassName = ""; }},
        {"wrong size", [](WNDCLASSEXA& c) { c.cbSize = sizeof(WNDCLASSEXA) - 4; }},
        {"size zero", [](WNDCLASSEXA& c) { c.cbSize = 0; }},
        {"negative extra bytes", [](WNDCLASSEXA& c) { c.cbWndExtra = -1; }},
    };
    for (const Case& c : cases) {
        WNDCLASSEXA description = RecordingClassDescription("orvala_spoilt_class");
        c.spoil(description);
        EXPECT_EQ(RegisterClassExA(&description), 0) << c.what;
        EXPECT_FALSE(UnregisterClassA("orvala_spoilt_class", nullptr)) << c.what;
    }
    EXPECT_EQ(RegisterClassExA(nullptr), 0);
}

TEST(WindowClassTest, NameIsTakenWhateverItsCaseUntilUnregistered)
{
    RecordingWindowClass first("orvala_case_class");
    ASSERT_NE(first.atom, 0);
    WNDCLASSEXA again = RecordingClassDescription("ORVALA_Case_Class");
    EXPECT_EQ(RegisterClassExA(&again), 0);

    // The 32-bit layout's size is a valid description too.
    WNDCLASSEXA other = RecordingClassDescription("orvala_other_class");
    other.cbSize = 48;
    const ATOM otherAtom = RegisterClassExA(&other);
    EXPECT_NE(otherAtom, 0);
    EXPECT_NE(otherAtom, first.atom);
    EXPECT_TRUE(UnregisterClassA(MAKEINTATOM(otherAtom), nullptr));
    EXPECT_FALSE(UnregisterClassA("orvala_other_class", nullptr));
    EXPECT_NE(RegisterClassExA(&other), 0);
    EXPECT_TRUE(UnregisterClassA("Orvala_Other_Class", nullptr));
}

TEST(WindowClassTest, ClassWithWindowsStaysUntilTheyAreGone)
{
    RecordingWindowClass windows("orvala_busy_class");
    HWND window = windows.CreateWindowed(64, 48);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(UnregisterClassA("orvala_busy_class", nullptr));
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_TRUE(UnregisterClassA("orvala_busy_class", nullptr));
    EXPECT_EQ(CreateWindowExA(0, "orvala_busy_class", "", WS_CAPTION, 0, 0, 64, 64, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
}

TEST(WindowClassTest, WindowCanBeMadeFromTheClassAtom)
{
    RecordingWindowClass windows("orvala_atom_class");
    HWND window = windows.Keep(CreateWindowExA(0, MAKEINTATOM(windows.atom), "atom", WS_CAPTION, 0, 0, 100, 100,
                                               nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(CreateWindowExA(0, MAKEINTATOM(windows.atom + 1), "atom", WS_CAPTION, 0, 0, 100, 100, nullptr,
                              nullptr, nullptr, nullptr),
              nullptr);
}

TEST(WindowClassTest, ResourcesLoadOnlyUnderTheirOwnNames)
{
    HINSTANCE program = GetModuleHandleA(nullptr);
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(GetModuleHandleA("user32.dll"), nullptr);

    HICON icon = LoadIconA(program, MAKEINTRESOURCE(IDR_APP_ICON));
    EXPECT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconA(program, MAKEINTRESOURCE(IDR_APP_ICON)), icon);
    EXPECT_NE(LoadIcon(nullptr, IDI_APPLICATION), nullptr);
    EXPECT_EQ(LoadIconA(program, MAKEINTRESOURCE(104)), nullptr);
    EXPECT_EQ(LoadIconA(program, "named"), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCE(IDR_APP_ICON)), nullptr);

    ASSERT_TRUE(EnsureSDLVideo()) << SDL_GetError();
    HCURSOR cursor = LoadCursorA(program, MAKEINTRESOURCE(IDR_APP_CURSOR));
    EXPECT_NE(cursor, nullptr);
    EXPECT_EQ(LoadCursorA(program, MAKEINTRESOURCE(IDR_APP_CURSOR)), cursor);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(LoadCursorA(program, MAKEINTRESOURCE(102)), nullptr);
    SetCursor(cursor);
    EXPECT_EQ(SetCursor(LoadCursorA(nullptr, IDC_ARROW)), cursor);
    EXPECT_EQ(SetCursor(cursor), LoadCursorA(nullptr, IDC_ARROW));

    EXPECT_NE(GetStockObject(WHITE_BRUSH), nullptr);
    EXPECT_NE(GetStockObject(WHITE_BRUSH), GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetStockObject(99), nullptr);
}

std::uint32_t PixelAt(SDL_Surface* surface, int x, int y)
{
    const auto* row = static_cast<const std::uint8_t*>(surface->pixels) + y * surface->pitch;
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}

TEST(WindowClassTest, IconIsARingOnARoundedTile)
{
    SDL_Surface* icon = CreateAppIconSurface(32);
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->w, 32);
    EXPECT_EQ(PixelAt(icon, 0, 0) >> 24, 0u) << "rounded corner is transparent";
    const std::uint32_t centre = PixelAt(icon, 16, 16);
    const std::uint32_t ring = PixelAt(icon, 16, 6);
    EXPECT_EQ(centre >> 24, 0xffu);
    EXPECT_EQ(ring >> 24, 0xffu);
    EXPECT_GT((ring >> 16) & 0xff, (centre >> 16) & 0xff) << "the ring is warmer than the tile";
    EXPECT_GT(centre & 0xff, (centre >> 16) & 0xff) << "the tile is blue";
    SDL_FreeSurface(icon);
    EXPECT_EQ(CreateAppIconSurface(0), nullptr);

    SDL_Surface* arrow = CreateArrowCursorSurface();
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(PixelAt(arrow, 0, 0), 0xff000000u) << "the hot spot is the tip";
    EXPECT_EQ(PixelAt(arrow, 1, 3), 0xffffffffu);
    EXPECT_EQ(PixelAt(arrow, arrow->w - 1, 0) >> 24, 0u);
    SDL_FreeSurface(arrow);
}

} // namespace

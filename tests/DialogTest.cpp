#include <gtest/gtest.h>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "FrameworkEx.h"
#include "XvfbSession.h"
#include "win32/Dialog.h"
#include "win32/GtkDisplay.h"


namespace {

constexpr int kResolution = 1000;
constexpr int kMonitor = 1001;
constexpr int kMultisampling = 1002;
constexpr int kFullscreen = 1003;
constexpr int kVSync = 1004;
constexpr int kLowVRAM = 1005;
constexpr int kAllowWWW = 1006;

struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// What the test procedure saw, and what it read when Run was pressed.
struct Seen {
    std::vector<Message> messages;
    std::string resolution, monitor, multisampling;
    int initFocusId = 0;
    UINT fullscreen = 0, vsync = 0, lowVRAM = 0;
    enum class Throw { Nothing, FrameworkExOnInit, FrameworkExOnRun, IntOnRun } toThrow = Throw::Nothing;
    bool handleClose = false;
};
Seen seen;

std::string ReadText(HWND dialog, int id)
{
    char text[256] = {};
    // through SendMessageA, as the settings procedure reads it
    const LRESULT length = SendMessageA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return length < 0 ? "<error>" : text;
}

void Add(HWND dialog, int id, std::initializer_list<const char*> entries)
{
    for (const char* entry : entries)
        SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
}

// Fills and reads the dialog as the settings dialog's procedure does.
INT_PTR SetupLikeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    seen.messages.push_back({message, wParam, lParam});
    switch (message) {
    case WM_INITDIALOG:
        if (seen.toThrow == Seen::Throw::FrameworkExOnInit)
            throw FrameworkEx("Failed to fetch setup resources");
        seen.initFocusId = GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
        Add(dialog, kResolution, {"800 x 600 @ 60hz (4:3)", "1024 x 768 @ 60hz (4:3)", "1280 x 1024 @ 60hz (5:4)"});
        Add(dialog, kMonitor, {"5:4", "4:3", "16:10", "15:9", "16:9 (Detected)"});
        Add(dialog, kMultisampling, {"No multisampling", "2 Samples", "4 Samples"});
        SendDlgItemMessageA(dialog, kResolution, CB_SETCURSEL, 0, 0);
        SendDlgItemMessageA(dialog, kMonitor, CB_SETCURSEL, 4, 0);
        SendDlgItemMessageA(dialog, kMultisampling, CB_SETCURSEL, 0, 0);
        CheckDlgButton(dialog, kVSync, BST_CHECKED);
        CheckDlgButton(dialog, kLowVRAM, BST_UNCHECKED);
        CheckDlgButton(dialog, kFullscreen, BST_UNCHECKED);
        return TRUE;
    case WM_CLOSE:
        return seen.handleClose ? TRUE : FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            if (seen.toThrow == Seen::Throw::FrameworkExOnRun)
                throw FrameworkEx("Invalid resolution selection");
            if (seen.toThrow == Seen::Throw::IntOnRun)
                throw 0;
            seen.resolution = ReadText(dialog, kResolution);
            seen.monitor = ReadText(dialog, kMonitor);
            seen.multisampling = ReadText(dialog, kMultisampling);
            seen.fullscreen = IsDlgButtonChecked(dialog, kFullscreen);
            seen.vsync = IsDlgButtonChecked(dialog, kVSync);
            seen.lowVRAM = IsDlgButtonChecked(dialog, kLowVRAM);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// The messages as text: "INIT", "CLOSE", "CMD id code" (the control handle checked to be
// the control's own), in order.
std::string Describe(const std::vector<Message>& messages, HWND dialog)
{
    std::ostringstream out;
    for (const Message& m : messages) {
        if (!out.str().empty())
            out << ", ";
        if (m.message == WM_INITDIALOG)
            out << "INIT";
        else if (m.message == WM_CLOSE)
            out << "CLOSE";
        else if (m.message == WM_COMMAND) {
            out << "CMD " << LOWORD(m.wParam) << " " << HIWORD(m.wParam);
            if (dialog && reinterpret_cast<HWND>(m.lParam) != GetDlgItem(dialog, LOWORD(m.wParam)))
                out << " (wrong control handle)";
        } else
            out << "MSG " << m.message;
    }
    return out.str();
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { seen = Seen{}; }
    void TearDown() override
    {
        SetDialogDriver(nullptr);
        seen = Seen{};
    }
};

// ---- The settings dialog's resource ----

TEST_F(DialogTest, SetupResourceHoldsTheControlsTheSettingsProcedureReads)
{
    const DialogTemplate* dialog = FindDialogResource(nullptr, MAKEINTRESOURCEA(102));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->caption, "Demo");
    EXPECT_EQ(dialog->cx, 230);
    EXPECT_EQ(dialog->cy, 122);
    EXPECT_TRUE(dialog->exStyle & WS_EX_TOPMOST);

    struct Expected {
        int id;
        DialogControlKind kind;
        const char* text;
        short x, y;
    };
    const Expected controls[] = {
        {kResolution, DialogControlKind::DropDownList, "", 73, 13},
        {kMonitor, DialogControlKind::DropDownList, "", 73, 27},
        {kMultisampling, DialogControlKind::DropDownList, "", 73, 42},
        {kFullscreen, DialogControlKind::AutoCheckBox, "", 18, 69},
        {kVSync, DialogControlKind::AutoCheckBox, "", 18, 79},
        {kAllowWWW, DialogControlKind::AutoCheckBox, "", 18, 89},
        {kLowVRAM, DialogControlKind::AutoCheckBox, "", 18, 99},
        {IDOK, DialogControlKind::DefPushButton, "Run", 120, 64},
        {IDCANCEL, DialogControlKind::PushButton, "Exit", 120, 84},
    };
    for (const Expected& expected : controls) {
        SCOPED_TRACE(expected.id);
        int found = 0;
        for (const DialogItemTemplate& item : dialog->items)
            if (item.id == expected.id) {
                ++found;
                EXPECT_EQ(item.kind, expected.kind);
                EXPECT_EQ(item.text, expected.text);
                EXPECT_EQ(item.x, expected.x);
                EXPECT_EQ(item.y, expected.y);
            }
        EXPECT_EQ(found, 1);
    }
    // Each check box has its label beside it, 10 units to the right.
    for (int id : {kFullscreen, kVSync, kAllowWWW, kLowVRAM}) {
        const DialogItemTemplate* box = nullptr;
        for (const DialogItemTemplate& item : dialog->items)
            if (item.id == id)
                box = &item;
        ASSERT_NE(box, nullptr);
        bool labelled = false;
        for (const DialogItemTemplate& item : dialog->items)
            labelled |= item.kind == DialogControlKind::Static && item.y == box->y && item.x == box->x + 10;
        EXPECT_TRUE(labelled) << id;
    }
}

TEST_F(DialogTest, MissingResourceOrProcedureFailsWithoutCallingAnything)
{
    bool driven = false;
    SetDialogDriver([&](HWND) { driven = true; });
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(101), nullptr, SetupLikeProc, 0), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, "102", nullptr, SetupLikeProc, 0), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, nullptr, nullptr, SetupLikeProc, 0), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, nullptr, 0), -1);
    EXPECT_TRUE(seen.messages.empty());
    EXPECT_FALSE(driven);
}

// ---- Dialogs driven without a display ----

TEST_F(DialogTest, RunPressedReadsTheChosenEntriesAndEndsWithIdOk)
{
    HWND shown = nullptr;
    SetDialogDriver([&](HWND dialog) {
        shown = dialog;
        SendDlgItemMessageA(dialog, kResolution, CB_SETCURSEL, 2, 0);
        SendDlgItemMessageA(dialog, kLowVRAM, BM_CLICK, 0, 0);
        SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
    });
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, SetupLikeProc, 42), IDOK);
    ASSERT_FALSE(seen.messages.empty());
    EXPECT_EQ(seen.messages[0].lParam, 42);
    EXPECT_EQ(seen.initFocusId, kResolution);
    EXPECT_EQ(seen.resolution, "1280 x 1024 @ 60hz (5:4)");
    EXPECT_EQ(seen.monitor, "16:9 (Detected)");
    EXPECT_EQ(seen.multisampling, "No multisampling");
    EXPECT_EQ(seen.vsync, static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(seen.lowVRAM, static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(seen.fullscreen, static_cast<UINT>(BST_UNCHECKED));
    // A check box click notifies as one; CB_SETCURSEL notifies nobody.
    EXPECT_EQ(Describe(seen.messages, nullptr), "INIT, CMD 1005 0, CMD 1 0");
    // The handles die with the dialog.
    LRESULT ignored = 0;
    EXPECT_FALSE(SendDialogMessage(shown, WM_GETTEXT, 0, 0, &ignored));
    EXPECT_EQ(GetDlgItem(shown, IDOK), nullptr);
}

TEST_F(DialogTest, ListMessagesAnswerAsAComboBoxDoes)
{
    SetDialogDriver([](HWND dialog) {
        HWND list = GetDlgItem(dialog, kMultisampling);
        ASSERT_NE(list, nullptr);
        LRESULT r = 0;
        auto send = [&](UINT message, WPARAM w, LPARAM l) {
            EXPECT_TRUE(SendDialogMessage(list, message, w, l, &r));
            return r;
        };
        EXPECT_EQ(send(CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("8 Samples")), 3);
        EXPECT_EQ(send(CB_ADDSTRING, 0, 0), CB_ERR);
        EXPECT_EQ(send(CB_GETCOUNT, 0, 0), 4);
        EXPECT_EQ(send(CB_SETCURSEL, 3, 0), 3);
        EXPECT_EQ(send(CB_GETCURSEL, 0, 0), 3);

        // WM_GETTEXT gives the selected entry, cut to the buffer (terminator included).
        struct Case {
            WPARAM size;
            LRESULT length;
            const char* text;
        };
        for (const Case& c : {Case{256, 9, "8 Samples"}, Case{10, 9, "8 Samples"}, Case{9, 8, "8 Sample"},
                              Case{2, 1, "8"}, Case{1, 0, ""}}) {
            char buffer[300];
            std::fill(std::begin(buffer), std::end(buffer), '#');
            EXPECT_EQ(send(WM_GETTEXT, c.size, reinterpret_cast<LPARAM>(buffer)), c.length) << c.size;
            EXPECT_STREQ(buffer, c.text);
            EXPECT_EQ(buffer[c.size], '#') << "wrote past the buffer of " << c.size;
        }
        EXPECT_EQ(send(WM_GETTEXT, 0, 0), 0);
        EXPECT_EQ(send(WM_GETTEXTLENGTH, 0, 0), 9);
        EXPECT_EQ(send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("x")), CB_ERR);
        EXPECT_EQ(ReadText(dialog, kMultisampling), "8 Samples");

        // Out of range or -1: the selection is cleared and the text is empty.
        for (WPARAM index : {WPARAM(4), WPARAM(-1)}) {
            EXPECT_EQ(send(CB_SETCURSEL, 1, 0), 1);
            EXPECT_EQ(send(CB_SETCURSEL, index, 0), CB_ERR);
            EXPECT_EQ(send(CB_GETCURSEL, 0, 0), CB_ERR);
            EXPECT_EQ(ReadText(dialog, kMultisampling), "");
        }
        EXPECT_EQ(send(CB_SETCURSEL, 0, 0), 0);
        EXPECT_EQ(send(CB_RESETCONTENT, 0, 0), CB_OKAY);
        EXPECT_EQ(send(CB_GETCOUNT, 0, 0), 0);
        EXPECT_EQ(send(CB_GETCURSEL, 0, 0), CB_ERR);
        EXPECT_EQ(ReadText(dialog, kMultisampling), "");
        EndDialog(dialog, 7);
    });
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, SetupLikeProc, 0), 7);
}

TEST_F(DialogTest, CheckBoxesButtonsAndLabelsKeepTheirState)
{
    SetDialogDriver([](HWND dialog) {
        EXPECT_EQ(IsDlgButtonChecked(dialog, kVSync), static_cast<UINT>(BST_CHECKED));
        EXPECT_TRUE(CheckDlgButton(dialog, kVSync, BST_UNCHECKED));
        EXPECT_EQ(SendDlgItemMessageA(dialog, kVSync, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        SendDlgItemMessageA(dialog, kAllowWWW, BM_SETCHECK, BST_CHECKED, 0);
        EXPECT_EQ(IsDlgButtonChecked(dialog, kAllowWWW), static_cast<UINT>(BST_CHECKED));
        EXPECT_FALSE(CheckDlgButton(dialog, 4242, BST_CHECKED));
        EXPECT_EQ(IsDlgButtonChecked(dialog, 4242), 0u);
        // A push button has no check mark.
        SendDlgItemMessageA(dialog, IDOK, BM_SETCHECK, BST_CHECKED, 0);
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDOK), 0u);
        // Texts of buttons, labels and the dialog itself.
        EXPECT_EQ(ReadText(dialog, IDCANCEL), "Exit");
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDCANCEL, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Quit")), TRUE);
        EXPECT_EQ(ReadText(dialog, IDCANCEL), "Quit");
        EXPECT_EQ(ReadText(dialog, IDC_STATIC), "Resolution");
        char caption[3] = {};
        LRESULT length = 0;
        EXPECT_TRUE(SendDialogMessage(dialog, WM_GETTEXT, sizeof caption, reinterpret_cast<LPARAM>(caption), &length));
        EXPECT_EQ(length, 2);
        EXPECT_STREQ(caption, "De");
        EndDialog(dialog, IDCANCEL);
    });
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, SetupLikeProc, 0), IDCANCEL);
    // State changes by message notify nobody; the dialog's own text goes by its procedure.
    EXPECT_EQ(Describe(seen.messages, nullptr), "INIT, MSG 13");
}

TEST_F(DialogTest, ClosingTheWindowIsExitUnlessTheProcedureTakesTheClose)
{
    struct Case {
        bool handleClose;
        INT_PTR result;
        const char* messages;
    };
    for (const Case& c : {Case{false, IDCANCEL, "INIT, CLOSE, CMD 2 0"}, Case{true, -1, "INIT, CLOSE"}}) {
        seen = Seen{};
        seen.handleClose = c.handleClose;
        SetDialogDriver([](HWND dialog) { EXPECT_TRUE(SendDialogMessage(dialog, WM_CLOSE, 0, 0, nullptr)); });
        EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, SetupLikeProc, 0), c.result);
        EXPECT_EQ(Describe(seen.messages, nullptr), c.messages);
    }
}

TEST_F(DialogTest, EndingInInitDialogNeverShowsTheDialog)
{
    bool driven = false;
    SetDialogDriver([&](HWND) { driven = true; });
    DLGPROC endAtOnce = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG)
            EndDialog(dialog, 5);
        return TRUE;
    };
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, endAtOnce, 0), 5);
    EXPECT_FALSE(driven);
}

TEST_F(DialogTest, ForeignHandlesAreNotDialogs)
{
    LRESULT result = 99;
    for (std::uintptr_t handle : {std::uintptr_t(0), std::uintptr_t(0x100), std::uintptr_t(0x100000)})
        EXPECT_FALSE(SendDialogMessage(reinterpret_cast<HWND>(handle), WM_GETTEXT, 0, 0, &result)) << handle;
    EXPECT_EQ(result, 99);
    EXPECT_FALSE(EndDialog(reinterpret_cast<HWND>(0x100), 1));
    EXPECT_EQ(GetDlgItem(nullptr, IDOK), nullptr);
    EXPECT_EQ(SendDlgItemMessageA(nullptr, IDOK, WM_GETTEXTLENGTH, 0, 0), 0);
}

TEST_F(DialogTest, ExceptionFromTheProcedureLeavesTheDialogBox)
{
    HWND shown = nullptr;
    seen.toThrow = Seen::Throw::FrameworkExOnRun;
    SetDialogDriver([&](HWND dialog) {
        shown = dialog;
        SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
    });
    try {
        DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, SetupLikeProc, 0);
        ADD_FAILURE() << "no exception";
    } catch (const FrameworkEx& e) {
        EXPECT_EQ(e.GetMessage(), "Invalid resolution selection");
    }
    EXPECT_FALSE(SendDialogMessage(shown, WM_CLOSE, 0, 0, nullptr));
}

TEST_F(DialogTest, DriverLeavingTheDialogOpenFails)
{
    SetDialogDriver([](HWND) {});
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, SetupLikeProc, 0), -1);
}

// ---- The dialog on a screen (Xvfb), driven by key presses ----

std::string Summary(INT_PTR result)
{
    std::ostringstream out;
    out << "result " << result << "; " << Describe(seen.messages, nullptr) << "; focus " << seen.initFocusId << "; "
        << seen.resolution << " | " << seen.monitor << " | " << seen.multisampling << " | full " << seen.fullscreen
        << " vsync " << seen.vsync << " low " << seen.lowVRAM;
    return out.str();
}

// Waits for the dialog's window, gives it the keyboard and types `keys` (xdotool names).
std::string TypeIntoWindow(const std::string& title, const std::string& keys)
{
    return "id=$(xdotool search --sync --onlyvisible --name '^" + title + "$' | head -n 1) && " +
           "xdotool windowfocus --sync \"$id\" && xdotool key --delay 50 " + keys;
}

class DialogOnScreenTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        ASSERT_TRUE(display.Started()) << display.Problem();
    }

    // Runs `body` in a child on the test's display; a child that cannot open the display
    // says so instead of reporting a dialog that never showed.
    ChildResult RunDialog(const std::function<std::string()>& body)
    {
        const std::string name = display.Display();
        return RunInChild([&] {
            setenv("DISPLAY", name.c_str(), 1);
            unsetenv("WAYLAND_DISPLAY");
            if (!GtkDisplayAvailable())
                return "could not open display " + name;
            return body();
        });
    }

    XvfbSession display;
};

struct KeyCase {
    const char* keys;
    const char* expected;
};

class DialogKeysTest : public DialogOnScreenTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(DialogKeysTest, ProcedureSeesTheMessagesOfTheKeys)
{
    const KeyCase& c = GetParam();
    const ChildResult child = RunDialog([&] {
        BackgroundShell typist(TypeIntoWindow("Demo", c.keys));
        return Summary(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, SetupLikeProc, 0));
    });
    ASSERT_TRUE(child.finished) << child.output;
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.output, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DialogKeysTest,
    ::testing::Values(
        // Enter on the first list: Run with the defaults.
        KeyCase{"Return", "result 1; INIT, CMD 1 0; focus 1000; 800 x 600 @ 60hz (4:3) | 16:9 (Detected) | "
                          "No multisampling | full 0 vsync 1 low 0"},
        // Down picks the next resolution.
        KeyCase{"Down Return", "result 1; INIT, CMD 1000 1, CMD 1 0; focus 1000; 1024 x 768 @ 60hz (4:3) | "
                               "16:9 (Detected) | No multisampling | full 0 vsync 1 low 0"},
        // Tab twice to multisampling, two entries down, then the Fullscreen box ticked with space.
        KeyCase{"Tab Tab Down Down Tab space Return",
                "result 1; INIT, CMD 1002 1, CMD 1002 1, CMD 1003 0, CMD 1 0; focus 1000; 800 x 600 @ 60hz (4:3) | "
                "16:9 (Detected) | 4 Samples | full 1 vsync 1 low 0"},
        // Up on the monitor list (16:9 selected) gives 15:9.
        KeyCase{"Tab Up Return", "result 1; INIT, CMD 1001 1, CMD 1 0; focus 1000; 800 x 600 @ 60hz (4:3) | 15:9 | "
                                 "No multisampling | full 0 vsync 1 low 0"},
        // Escape is Exit, and so is Enter on the Exit button (Shift+Tab from the first list).
        KeyCase{"Escape", "result 2; INIT, CMD 2 0; focus 1000;  |  |  | full 0 vsync 0 low 0"},
        KeyCase{"shift+Tab Return", "result 2; INIT, CMD 2 0; focus 1000;  |  |  | full 0 vsync 0 low 0"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// Asks the dialog's window to close as a window manager does: WM_DELETE_WINDOW.
gboolean RequestClose(gpointer)
{
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next) {
        GtkWindow* window = GTK_WINDOW(w->data);
        const char* title = gtk_window_get_title(window);
        if (!title || std::string(title) != "Demo" || !gtk_widget_get_realized(GTK_WIDGET(window)))
            continue;
        GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
        Display* x = GDK_DISPLAY_XDISPLAY(display);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = GDK_WINDOW_XID(gtk_widget_get_window(GTK_WIDGET(window)));
        event.xclient.message_type = gdk_x11_get_xatom_by_name_for_display(display, "WM_PROTOCOLS");
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(gdk_x11_get_xatom_by_name_for_display(display, "WM_DELETE_WINDOW"));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(x, event.xclient.window, False, NoEventMask, &event);
        XFlush(x);
    }
    g_list_free(windows);
    return G_SOURCE_REMOVE;
}

TEST_F(DialogOnScreenTest, ClosingTheWindowGivesIdCancel)
{
    const ChildResult child = RunDialog([] {
        g_idle_add(RequestClose, nullptr);
        return Summary(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, SetupLikeProc, 0));
    });
    ASSERT_TRUE(child.finished) << child.output;
    EXPECT_EQ(child.output, "result 2; INIT, CLOSE, CMD 2 0; focus 1000;  |  |  | full 0 vsync 0 low 0");
}

struct ThrowCase {
    Seen::Throw toThrow;
    const char* keys;
    const char* caught;
};

class DialogThrowTest : public DialogOnScreenTest, public ::testing::WithParamInterface<ThrowCase> {};

TEST_P(DialogThrowTest, ExceptionReachesTheCallerAndTheWindowIsGone)
{
    const ThrowCase& c = GetParam();
    const ChildResult child = RunDialog([&] {
        seen.toThrow = c.toThrow;
        BackgroundShell typist(TypeIntoWindow("Demo", c.keys));
        std::string caught = "nothing";
        try {
            DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, SetupLikeProc, 0);
        } catch (const FrameworkEx& e) {
            caught = "FrameworkEx " + e.GetMessage();
        } catch (int value) {
            caught = "int " + std::to_string(value);
        }
        int shown = 0;
        GList* windows = gtk_window_list_toplevels();
        for (GList* w = windows; w; w = w->next)
            shown += gtk_widget_get_visible(GTK_WIDGET(w->data)) ? 1 : 0;
        g_list_free(windows);
        return caught + "; windows shown " + std::to_string(shown);
    });
    ASSERT_TRUE(child.finished) << child.output;
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.output, std::string(c.caught) + "; windows shown 0");
}

INSTANTIATE_TEST_SUITE_P(
    Throws, DialogThrowTest,
    ::testing::Values(ThrowCase{Seen::Throw::FrameworkExOnInit, "Return", "FrameworkEx Failed to fetch setup resources"},
                      ThrowCase{Seen::Throw::FrameworkExOnRun, "Return", "FrameworkEx Invalid resolution selection"},
                      ThrowCase{Seen::Throw::IntOnRun, "Return", "int 0"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

} // namespace

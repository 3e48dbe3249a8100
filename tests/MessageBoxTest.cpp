#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"
#include "XvfbSession.h"
#include "win32/GtkDisplay.h"
#include "win32/MessageBox.h"

namespace {

class MessageBoxTest : public ::testing::Test {
protected:
    void TearDown() override { SetMessageBoxPresenter(nullptr); }
};

TEST_F(MessageBoxTest, PresenterCapturesTheBoxAndGivesTheAnswer)
{
    std::vector<MessageBoxRecord> boxes;
    SetMessageBoxPresenter([&](const MessageBoxRecord& box) {
        boxes.push_back(box);
        return IDCANCEL;
    });
    HWND owner = reinterpret_cast<HWND>(0x100);
    EXPECT_EQ(MessageBoxA(owner, "Unknown exception", "Exception caught in main()", MB_OK | MB_ICONERROR), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OKCANCEL), IDCANCEL);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, owner);
    EXPECT_EQ(boxes[0].text, "Unknown exception");
    EXPECT_EQ(boxes[0].caption, "Exception caught in main()");
    EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONERROR);
    // A null text is empty; a null caption reads "Error", as on Windows.
    EXPECT_EQ(boxes[1].text, "");
    EXPECT_EQ(boxes[1].caption, "Error");

    // Setting a presenter hands back the previous one.
    MessageBoxPresenter previous = SetMessageBoxPresenter([](const MessageBoxRecord&) { return IDOK; });
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous(boxes[0]), IDCANCEL);
}

// Without a display the box goes to standard error and its default button answers.
TEST_F(MessageBoxTest, WithoutDisplayWritesToStandardErrorAndAnswersTheDefaultButton)
{
    struct Case {
        UINT type;
        const char* caption;
        int answer;
        const char* written;
    };
    const Case cases[] = {
        {MB_OK, "Framework exception", IDOK, "[Framework exception] Unable to initialize d3d9\n"},
        {MB_OKCANCEL | MB_ICONERROR, "Framework exception", IDOK, "[Framework exception] Unable to initialize d3d9\n"},
        {MB_YESNO, "Framework exception", IDYES, "[Framework exception] Unable to initialize d3d9\n"},
        {MB_YESNO | MB_DEFBUTTON2, "Framework exception", IDNO, "[Framework exception] Unable to initialize d3d9\n"},
        {MB_OK, nullptr, IDOK, "[Error] Unable to initialize d3d9\n"},
        // An unknown button type fails (0), and the text is not lost.
        {0x0Fu, "Framework exception", 0, "[Framework exception] Unable to initialize d3d9\n"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = (dir.path() / "stderr.txt").string();
        const ChildResult child = RunInChild([&] {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(file, STDERR_FILENO);
            close(file);
            return std::to_string(MessageBoxA(nullptr, "Unable to initialize d3d9", c.caption, c.type));
        });
        ASSERT_TRUE(child.finished);
        EXPECT_EQ(child.output, std::to_string(c.answer)) << c.type;
        std::ifstream written(path);
        std::stringstream text;
        text << written.rdbuf();
        EXPECT_EQ(text.str(), c.written) << c.type;
    }
}

struct KeyCase {
    UINT type;
    const char* keys;
    int answer;
};

class MessageBoxOnScreenTest : public ::testing::TestWithParam<KeyCase> {};

// A real box under Xvfb, answered with key presses.
TEST_P(MessageBoxOnScreenTest, KeysAnswerTheBox)
{
    XvfbSession display;
    ASSERT_TRUE(display.Started()) << display.Problem();
    const KeyCase& c = GetParam();
    const ChildResult child = RunInChild([&] {
        setenv("DISPLAY", display.Display().c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        // Without the display the box would go to standard error and answer by itself.
        if (!GtkDisplayAvailable())
            return "could not open display " + display.Display();
        BackgroundShell typist("id=$(xdotool search --sync --onlyvisible --name '^Out of video memory$' | head -n 1) "
                               "&& xdotool windowfocus --sync \"$id\" && xdotool key --delay 50 " +
                               std::string(c.keys));
        return std::to_string(MessageBoxA(
            nullptr, "Try reducing the number of multisamples, reduce resolution, or check the VRAM box.",
            "Out of video memory", c.type));
    });
    ASSERT_TRUE(child.finished) << child.output;
    EXPECT_EQ(child.output, std::to_string(c.answer));
}

INSTANTIATE_TEST_SUITE_P(Keys, MessageBoxOnScreenTest,
                         ::testing::Values(KeyCase{MB_OK, "Return", IDOK}, KeyCase{MB_OK, "Escape", IDOK},
                                           KeyCase{MB_OKCANCEL, "Escape", IDCANCEL},
                                           KeyCase{MB_OKCANCEL, "Tab Return", IDCANCEL},
                                           KeyCase{MB_YESNO, "Return", IDYES},
                                           KeyCase{MB_YESNO | MB_DEFBUTTON2, "Return", IDNO},
                                           // Escape cannot dismiss a box without Cancel.
                                           KeyCase{MB_YESNO, "Escape Tab Return", IDNO}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

} // namespace

#include <gtest/gtest.h>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "LitSceneShow.h"
#include "ProgramOnDisplay.h"
#include "TempDir.h"
#include "XvfbSession.h"
#include "win32/GtkDisplay.h"
#include "win32/MessageBox.h"

using namespace program_on_display;
using lit_scene_show::PicturePath;

namespace {

const std::string kDialogTitle = "Demo";
const std::string kWindowTitle = "Orvala 2009";

// The mean and the standard deviation of (r + g + b) / 3 over a picture.
struct Look {
    double mean = 0.0;
    double spread = 0.0;
};

Look LookOf(const Picture& picture)
{
    double sum = 0.0, squares = 0.0;
    const std::size_t count = static_cast<std::size_t>(picture.width) * picture.height;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* p = &picture.bgra[i * 4];
        const double luma = (p[0] + p[1] + p[2]) / 3.0;
        sum += luma;
        squares += luma * luma;
    }
    Look look;
    if (count == 0)
        return look;
    look.mean = sum / static_cast<double>(count);
    look.spread = std::sqrt(std::max(0.0, squares / static_cast<double>(count) - look.mean * look.mean));
    return look;
}

// Lit: neither black nor one flat colour.
bool Lit(const Picture& picture)
{
    const Look look = LookOf(picture);
    return look.mean > 8.0 && look.spread > 8.0;
}

// The share of the pixels whose (r + g + b) / 3 differs by more than `levels` between two
// pictures of one size (1 when the sizes differ).
double Changed(const Picture& a, const Picture& b, int levels)
{
    if (a.width != b.width || a.height != b.height || a.bgra.empty())
        return 1.0;
    std::size_t changed = 0;
    const std::size_t count = static_cast<std::size_t>(a.width) * a.height;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* p = &a.bgra[i * 4];
        const unsigned char* q = &b.bgra[i * 4];
        changed += std::abs((p[0] + p[1] + p[2]) - (q[0] + q[1] + q[2])) > 3 * levels ? 1 : 0;
    }
    return static_cast<double>(changed) / static_cast<double>(count);
}

// How many pixels of two pictures differ at all (every pixel when the sizes differ).
std::size_t DifferentPixels(const Picture& a, const Picture& b)
{
    if (a.width != b.width || a.height != b.height)
        return std::max(a.bgra.size(), b.bgra.size()) / 4;
    std::size_t different = 0;
    for (std::size_t i = 0; i < a.bgra.size(); i += 4)
        different += (a.bgra[i] != b.bgra[i] || a.bgra[i + 1] != b.bgra[i + 1] || a.bgra[i + 2] != b.bgra[i + 2]) ? 1 : 0;
    return different;
}

// What a window shows once it has drawn itself: a lit picture that a fifth of a second later is
// still the same; false when there is none within `seconds`.
bool GrabSettled(XScreen& screen, Window window, Picture& picture, double seconds = 20.0)
{
    const Clock::time_point start = Clock::now();
    Picture previous;
    while (SecondsSince(start) < seconds) {
        if (screen.Grab(window, picture) && Lit(picture) && !previous.bgra.empty() &&
            DifferentPixels(picture, previous) == 0)
            return true;
        previous = picture;
        Nap(200);
    }
    return false;
}

std::string Joined(const std::vector<std::string>& texts)
{
    std::string joined;
    for (const std::string& text : texts)
        joined += (joined.empty() ? "" : ", ") + ("\"" + text + "\"");
    return joined;
}

// A message box shown by this test on the display, with the given caption and text, as a
// picture: what the program's box looks like when it says exactly that. The box is given the
// keyboard and a moment to draw itself, as the program's box is before it is read.
Picture BoxAsShown(const std::string& display, const std::string& caption, const std::string& text)
{
    const ChildResult child = RunInChild(
        [&]() -> std::string {
            setenv("DISPLAY", display.c_str(), 1);
            unsetenv("WAYLAND_DISPLAY");
            if (!GtkDisplayAvailable())
                return "could not open display " + display;
            struct Reading {
                std::string display, caption, picture;
                int ticks = 0;
                Picture last;
            } reading{display, caption, "", 0, {}};
            g_timeout_add(
                100,
                [](gpointer data) -> gboolean {
                    Reading& r = *static_cast<Reading*>(data);
                    GList* windows = gtk_window_list_toplevels();
                    GtkWidget* box = nullptr;
                    for (GList* w = windows; w; w = w->next) {
                        const char* title = gtk_window_get_title(GTK_WINDOW(w->data));
                        if (title && r.caption == title && gtk_widget_get_mapped(GTK_WIDGET(w->data)))
                            box = GTK_WIDGET(w->data);
                    }
                    g_list_free(windows);
                    if (!box)
                        return G_SOURCE_CONTINUE;
                    XScreen screen(r.display);
                    const Window id = GDK_WINDOW_XID(gtk_widget_get_window(box));
                    if (r.ticks++ == 0) {
                        screen.Focus(id);
                        return G_SOURCE_CONTINUE;
                    }
                    // Read once it has drawn itself: lit, and as it was a tick before.
                    Picture picture;
                    const bool settled = screen.Grab(id, picture) && Lit(picture) && r.ticks > 3 &&
                                         DifferentPixels(picture, r.last) == 0;
                    r.last = picture;
                    if (!settled && r.ticks < 200)
                        return G_SOURCE_CONTINUE;
                    if (settled)
                        r.picture = std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n" +
                                    std::string(picture.bgra.begin(), picture.bgra.end());
                    gtk_dialog_response(GTK_DIALOG(box), IDOK);
                    return G_SOURCE_REMOVE;
                },
                &reading);
            MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
            return reading.picture;
        },
        60);
    Picture picture;
    const std::size_t line = child.output.find('\n');
    if (!child.finished || line == std::string::npos)
        return picture;
    std::sscanf(child.output.c_str(), "%u %u", &picture.width, &picture.height);
    picture.bgra.assign(child.output.begin() + static_cast<std::ptrdiff_t>(line) + 1, child.output.end());
    if (picture.bgra.size() != static_cast<std::size_t>(picture.width) * picture.height * 4)
        picture = Picture();
    return picture;
}

// The program on a display of its own, over an archive of the show's content in a folder of its
// own. Windows other than the dialog and the show's window that come up while it is waited for are
// boxes: each is written to the pictures, answered with Return and remembered.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(xvfb.Started()) << xvfb.Problem();
        screen = std::make_unique<XScreen>(xvfb.Display());
        ASSERT_TRUE(screen->Open()) << "cannot open " << xvfb.Display();
    }

    // The built archive, or the show's content less the files `without` names and with those
    // `garbled` names damaged (see WriteShowArchive); a copy, since the content build may write
    // the archive anew while the program reads it.
    void Start(const std::vector<std::string>& environment, const std::set<std::string>& without = {},
               const std::set<std::string>& garbled = {})
    {
        if (without.empty() && garbled.empty())
            std::filesystem::copy_file(ORVALA_CONTENT_ARCHIVE, folder.path() / "basefile.dat",
                                       std::filesystem::copy_options::overwrite_existing);
        else
            lit_scene_show::WriteShowArchive(folder.path(), {}, without, garbled);
        std::vector<std::string> variables(environment);
        variables.push_back("DISPLAY=" + xvfb.Display());
        program = std::make_unique<ProgramProcess>(folder.path(), variables);
        ASSERT_TRUE(program->Started()) << "cannot start " << ORVALA_PROGRAM_PATH;
    }

    // The window titled `title` once it is on screen, or 0 when it does not come within `seconds`
    // or the program ends first. Boxes that come meanwhile, other than one of that title, are
    // answered and remembered.
    Window WaitFor(const std::string& title, double seconds)
    {
        const Clock::time_point start = Clock::now();
        while (SecondsSince(start) < seconds && program->Running()) {
            if (const Window found = AnswerBoxes(title))
                return found;
            Nap(100);
        }
        return 0;
    }

    // Answers every box on screen with Return, writing its picture first, but one titled
    // `awaited`: that one is returned (0 when there is none).
    Window AnswerBoxes(const std::string& awaited = "")
    {
        const std::vector<ShownWindow> shownNow = screen->Shown();
        for (const ShownWindow& shown : shownNow)
            if (!awaited.empty() && shown.title == awaited)
                return shown.id;
        for (const ShownWindow& shown : shownNow) {
            if (shown.title == kDialogTitle || shown.title == kWindowTitle)
                continue;
            boxes.push_back(shown.title);
            screen->Focus(shown.id);
            Picture picture;
            if (GrabSettled(*screen, shown.id, picture))
                picture.WritePng(PicturePath("program-box-" + std::to_string(boxes.size())));
            screen->Type(shown.id, "Return");
        }
        return 0;
    }

    // The program's output and what was on screen, for a failure's message.
    std::string Report()
    {
        std::string shown;
        for (const ShownWindow& window : screen->Shown())
            shown += (shown.empty() ? "" : ", ") + ("\"" + window.title + "\"");
        return "on screen: " + shown + "; boxes answered: " + Joined(boxes) + "; output:\n" + program->Output();
    }

    XvfbSession xvfb;
    TempDir folder;
    std::unique_ptr<XScreen> screen;
    std::unique_ptr<ProgramProcess> program;
    std::vector<std::string> boxes;
};

// The whole show is loaded once: the dialog, Run, the loader, the show's first frames, Escape.
TEST_F(ProgramTest, RunInTheDialogPlaysTheShowInItsWindowAndEscapeEndsIt)
{
    Start({});
    const Window dialog = WaitFor(kDialogTitle, 60);
    ASSERT_NE(dialog, 0u) << Report();
    Picture picture;
    ASSERT_TRUE(GrabSettled(*screen, dialog, picture)) << "the dialog stays blank";
    picture.WritePng(PicturePath("program-dialog"));
    EXPECT_EQ(screen->TitlesSeen().count(kWindowTitle), 0u) << "the show's window came before Run";

    ASSERT_TRUE(screen->Type(dialog, "Return"));
    const Clock::time_point run = Clock::now();
    const Window window = WaitFor(kWindowTitle, 60);
    ASSERT_NE(window, 0u) << Report();

    // The first lit picture is the loader's; the show has begun when a good part of the picture
    // has changed from it. While the show loads only the loader's bar and cube move, a few per
    // cent of its picture; the show's first scene differs from it in more than half.
    Picture loading, show;
    double litAt = -1.0, showAt = -1.0;
    while (program->Running() && SecondsSince(run) < 240.0) {
        AnswerBoxes();
        if (screen->Grab(window, picture) && Lit(picture)) {
            if (loading.bgra.empty()) {
                loading = picture;
                litAt = SecondsSince(run);
            } else if (Changed(picture, loading, 16) > 0.25) {
                show = picture;
                showAt = SecondsSince(run);
                break;
            }
        }
        Nap(250);
    }
    ASSERT_FALSE(loading.bgra.empty()) << "no lit picture in the window; " << Report();
    loading.WritePng(PicturePath("program-loading"));
    ASSERT_FALSE(show.bgra.empty()) << "the show did not begin; " << Report();
    show.WritePng(PicturePath("program-show"));
    std::printf("first lit picture %.1f s after Run, the show's first picture %.1f s after Run (%u x %u)\n", litAt,
                showAt, show.width, show.height);
    RecordProperty("show_seconds_after_run", std::to_string(showAt));
    EXPECT_EQ(show.width, 1280u);
    EXPECT_EQ(show.height, 720u);

    // It plays: two seconds later the picture is still lit and has moved on.
    Nap(2000);
    AnswerBoxes();
    Picture later;
    ASSERT_TRUE(screen->Grab(window, later)) << Report();
    later.WritePng(PicturePath("program-show-later"));
    EXPECT_TRUE(Lit(later));
    EXPECT_GT(Changed(later, show, 8), 0.005) << "the picture stands still";

    ASSERT_TRUE(screen->Type(window, "Escape"));
    EXPECT_EQ(program->Wait(30), 0) << Report();
    EXPECT_EQ(screen->Find(kWindowTitle), 0u);
    EXPECT_TRUE(boxes.empty()) << "boxes came up and were answered: " << Joined(boxes) << " (pictures in "
                               << ORVALA_PICTURE_DIR << "/program-box-*.png)";
}

// Escape, or the window closed, while the show loads or while it plays: the program ends at once
// with exit code 0, without waiting for the load to finish and without a box. One playing run has
// no sound device to play on (an audio driver that does not exist): the show plays without sound.
TEST_F(ProgramTest, EscapeOrClosingTheWindowWhileLoadingOrPlayingEndsAtOnce)
{
    struct Case {
        const char* way; // "Escape" or "close"
        bool playing;    // once the show has begun, else while the loader draws
        std::vector<std::string> environment;
    };
    const Case cases[] = {
        {"Escape", false, {}},
        {"close", false, {}},
        {"Escape", true, {}},
        {"close", true, {"SDL_AUDIODRIVER=no-such-driver"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.way) + (c.playing ? " while playing" : " while loading") +
                     (c.environment.empty() ? "" : " with " + c.environment.front()));
        Start(c.environment);
        const Window dialog = WaitFor(kDialogTitle, 60);
        ASSERT_NE(dialog, 0u) << Report();
        ASSERT_TRUE(screen->Type(dialog, "Return"));
        const Window window = WaitFor(kWindowTitle, 60);
        ASSERT_NE(window, 0u) << Report();
        // The loader's first picture: loading has begun, and lasts many seconds more.
        Picture loading;
        const Clock::time_point shown = Clock::now();
        while (program->Running() && SecondsSince(shown) < 60.0 && !(screen->Grab(window, loading) && Lit(loading)))
            Nap(100);
        ASSERT_TRUE(Lit(loading)) << "the loader never drew; " << Report();
        if (c.playing) {
            // The show has begun when a good part of the picture has changed from the loader's.
            Picture picture;
            bool begun = false;
            while (!begun && program->Running() && SecondsSince(shown) < 240.0) {
                AnswerBoxes();
                begun = screen->Grab(window, picture) && Lit(picture) && Changed(picture, loading, 16) > 0.25;
                if (!begun)
                    Nap(250);
            }
            ASSERT_TRUE(begun) << "the show did not begin; " << Report();
            Nap(1000);
        }
        const Clock::time_point asked = Clock::now();
        ASSERT_TRUE(std::string(c.way) == "Escape" ? screen->Type(window, "Escape") : screen->Close(window));
        EXPECT_EQ(program->Wait(15), 0) << Report();
        std::printf("%s %s: ended %.1f s later\n", c.way, c.playing ? "while playing" : "while loading",
                    SecondsSince(asked));
        AnswerBoxes();
        EXPECT_TRUE(boxes.empty()) << Joined(boxes);
        boxes.clear();
    }
}

// Without a display the program cannot show its dialog: it says so on its output and ends with
// exit code 1, without a crash.
TEST_F(ProgramTest, WithoutADisplayTheProgramSaysSoAndEndsWithOne)
{
    std::filesystem::copy_file(ORVALA_CONTENT_ARCHIVE, folder.path() / "basefile.dat",
                               std::filesystem::copy_options::overwrite_existing);
    // The program's environment is this process's without DISPLAY and WAYLAND_DISPLAY.
    ProgramProcess alone(folder.path(), {});
    ASSERT_TRUE(alone.Started()) << "cannot start " << ORVALA_PROGRAM_PATH;
    EXPECT_EQ(alone.Wait(30), 1) << alone.Output();
    EXPECT_NE(alone.Output().find("The setup dialog could not be shown (no display?)"), std::string::npos)
        << alone.Output();
}

// Exit in the dialog, by its button or by Escape: the program ends at once, and its window is
// never made.
TEST_F(ProgramTest, ExitInTheDialogEndsWithoutTheShowsWindow)
{
    // Shift+Tab from the first list reaches Exit.
    for (const char* keys : {"shift+Tab Return", "Escape"}) {
        SCOPED_TRACE(keys);
        Start({});
        const Window dialog = WaitFor(kDialogTitle, 60);
        ASSERT_NE(dialog, 0u) << Report();
        ASSERT_TRUE(screen->Type(dialog, keys));
        EXPECT_EQ(program->Wait(30), 0) << Report();
        AnswerBoxes();
        // Every window made on the display is seen, the dialog too, but the show's window.
        EXPECT_EQ(screen->TitlesSeen().count(kDialogTitle), 1u);
        EXPECT_EQ(screen->TitlesSeen().count(kWindowTitle), 0u);
        EXPECT_TRUE(boxes.empty()) << Joined(boxes);
    }
}

struct FailureCase {
    const char* name;
    std::vector<std::string> environment;
    std::set<std::string> without; // archive names left out of the content
    std::set<std::string> garbled; // archive names whose first bytes are damaged
    const char* caption;
    const char* text;
};

void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.name;
}

class ProgramFailureTest : public ProgramTest, public ::testing::WithParamInterface<FailureCase> {};

// A failure after Run ends in one box, which says what failed, and exit code 1 once it is answered.
TEST_P(ProgramFailureTest, OneBoxSaysWhatFailedAndTheExitCodeIsOne)
{
    const FailureCase& c = GetParam();
    Start(c.environment, c.without, c.garbled);
    const Window dialog = WaitFor(kDialogTitle, 60);
    ASSERT_NE(dialog, 0u) << Report();
    ASSERT_TRUE(screen->Type(dialog, "Return"));

    const Window box = WaitFor(c.caption, 180);
    ASSERT_NE(box, 0u) << Report();
    screen->Focus(box);
    Picture shown;
    ASSERT_TRUE(GrabSettled(*screen, box, shown)) << "the box stays blank";
    shown.WritePng(PicturePath(std::string("program-failure-") + c.name));
    ASSERT_TRUE(screen->Type(box, "Return"));
    EXPECT_EQ(program->Wait(30), 1) << Report();
    EXPECT_TRUE(boxes.empty()) << "other boxes came first: " << Joined(boxes);

    // The box's text is read by its look: the box this test shows with the expected text, alone
    // on the screen as the program's was.
    const Picture expected = BoxAsShown(xvfb.Display(), c.caption, c.text);
    ASSERT_FALSE(expected.bgra.empty()) << "the test's own box could not be read";
    const std::size_t different = DifferentPixels(shown, expected);
    if (different != 0)
        expected.WritePng(PicturePath(std::string("program-failure-") + c.name + "-expected"));
    EXPECT_EQ(different, 0u) << "the box does not read \"" << c.text << "\"; see "
                             << PicturePath(std::string("program-failure-") + c.name) << " and its -expected";
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ProgramFailureTest,
    ::testing::Values(FailureCase{"FourRenderTargetsMissing", {"ORVALA_D3D_CAPS=NumSimultaneousRTs=2"}, {}, {},
                                  "Fuckings from your hardware", "Number of simultaneous render targets < 4"},
                      FailureCase{"MeshOfTheShowMissing", {}, {"Data\\holoShape.x"}, {}, "Framework exception",
                                  "[DXMesh::LoadX]: failed to load \"holoShape.x\"."},
                      // The tune is opened once everything has loaded, when the music starts.
                      // No entry reaches BASS as an empty buffer: an illegal parameter (20).
                      FailureCase{"TuneMissing", {}, {"Data\\tune.ogg"}, {}, "Framework exception",
                                  "[BASSPlayer::Init] Could not create stream.  BASS error code 20."},
                      // Not Ogg Vorbis: the file's format is not one BASS knows (41).
                      FailureCase{"TuneDamaged", {}, {}, {"Data\\tune.ogg"}, "Framework exception",
                                  "[BASSPlayer::Init] Could not create stream.  BASS error code 41."}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

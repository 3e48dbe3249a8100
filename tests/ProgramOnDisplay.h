#pragma once
// The demo program as a person runs it: build/orvala started in a folder of its own on an X
// display, its windows found by their titles, typed into with xdotool and read back as pictures.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "LitSceneShow.h"

extern char** environ;

namespace program_on_display {

using lit_scene_show::Picture;
using Clock = std::chrono::steady_clock;

inline void Nap(long milliseconds)
{
    timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}

inline double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// build/orvala running in `folder` with the test's environment, less DISPLAY and WAYLAND_DISPLAY,
// plus `environment` ("NAME=value" each). It is a process group of its own, and what it writes
// goes to output.txt in the folder. Killed, if it is still running, when this goes away.
class ProgramProcess {
public:
    // `command` is the program and its arguments: build/orvala alone unless a test names another.
    ProgramProcess(const std::filesystem::path& folder, const std::vector<std::string>& environment,
                   std::vector<std::string> command = {ORVALA_PROGRAM_PATH})
        : outputPath(folder / "output.txt")
    {
        std::vector<std::string> variables(environment);
        for (char** entry = environ; *entry; ++entry) {
            const std::string variable(*entry);
            if (variable.rfind("DISPLAY=", 0) != 0 && variable.rfind("WAYLAND_DISPLAY=", 0) != 0)
                variables.push_back(variable);
        }
        std::vector<char*> envp;
        for (std::string& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        std::vector<char*> argv;
        for (std::string& word : command)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        const std::string program = command.front();

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        const int failed = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (failed)
            pid = -1;
    }
    ~ProgramProcess() { Kill(); }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    bool Started() const { return pid > 0; }

    bool Running()
    {
        if (pid <= 0 || ended)
            return false;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            ended = true;
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return !ended;
    }

    // The exit code once the program has ended, waiting at most `seconds`; -1 when it was still
    // running then (it is killed: a hang).
    int Wait(double seconds)
    {
        const Clock::time_point start = Clock::now();
        while (Running() && SecondsSince(start) < seconds)
            Nap(50);
        if (Running()) {
            Kill();
            return -1;
        }
        return exitCode;
    }

    // What it wrote on standard output and standard error.
    std::string Output() const
    {
        std::ifstream in(outputPath);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    void Kill()
    {
        if (pid <= 0 || !Running())
            return;
        // The whole group, and SIGKILL: the program takes SIGTERM as a request to quit, which a
        // modal box or dialog does not read.
        kill(-pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ended = true;
        exitCode = -1;
    }

    std::filesystem::path outputPath;
    pid_t pid = -1;
    bool ended = false;
    int exitCode = -1;
};

// A top-level window and its title.
struct ShownWindow {
    Window id;
    std::string title;
};

// A connection to the display that sees its top-level windows: which are shown now, the titles of
// every one made since the connection opened (made, named, or named anew), and their pictures.
// Windows come and go while they are looked at, so errors about vanished windows are ignored.
class XScreen {
public:
    explicit XScreen(const std::string& name) : display(XOpenDisplay(name.c_str())), name(name)
    {
        if (!display)
            return;
        previousHandler = XSetErrorHandler(IgnoreError);
        root = DefaultRootWindow(display);
        netWmName = XInternAtom(display, "_NET_WM_NAME", False);
        utf8String = XInternAtom(display, "UTF8_STRING", False);
        XSelectInput(display, root, SubstructureNotifyMask);
        for (Window window : Children())
            Follow(window);
    }
    ~XScreen()
    {
        if (!display)
            return;
        XCloseDisplay(display);
        XSetErrorHandler(previousHandler);
    }
    XScreen(const XScreen&) = delete;
    XScreen& operator=(const XScreen&) = delete;

    bool Open() const { return display != nullptr; }

    // The titles of every top-level window seen so far, shown or not.
    const std::set<std::string>& TitlesSeen()
    {
        Update();
        return seen;
    }

    // The top-level windows on screen that have a title.
    std::vector<ShownWindow> Shown()
    {
        Update();
        std::vector<ShownWindow> shown;
        for (Window window : Children()) {
            XWindowAttributes attributes{};
            if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
                continue;
            const std::string title = Title(window);
            if (!title.empty())
                shown.push_back({window, title});
        }
        return shown;
    }

    // The window on screen with this title, or 0.
    Window Find(const std::string& title)
    {
        for (const ShownWindow& window : Shown())
            if (window.title == title)
                return window.id;
        return 0;
    }

    // What the window shows now, as B, G, R, A bytes (alpha 255).
    bool Grab(Window window, Picture& picture)
    {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
            return false;
        XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                                  static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
        XSync(display, False);
        if (!image)
            return false;
        picture.width = static_cast<unsigned>(image->width);
        picture.height = static_cast<unsigned>(image->height);
        picture.bgra.assign(static_cast<std::size_t>(picture.width) * picture.height * 4, 255);
        const unsigned long masks[3] = {image->blue_mask, image->green_mask, image->red_mask};
        for (unsigned y = 0; y < picture.height; ++y)
            for (unsigned x = 0; x < picture.width; ++x) {
                const unsigned long pixel = XGetPixel(image, static_cast<int>(x), static_cast<int>(y));
                unsigned char* out = &picture.bgra[(static_cast<std::size_t>(y) * picture.width + x) * 4];
                for (int c = 0; c < 3; ++c)
                    out[c] = Channel(pixel, masks[c]);
            }
        XDestroyImage(image);
        return true;
    }

    // Gives the window the keyboard and types `keys` (xdotool's names) into it.
    bool Type(Window window, const std::string& keys)
    {
        const std::string command = "DISPLAY=" + name + " timeout 20 xdotool windowfocus --sync " +
                                    std::to_string(window) + " sleep 0.3 key --delay 50 " + keys + " >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }

    // Presses the left button at (x0, y0) of the window, moves to (x1, y1) and lets go.
    bool Drag(Window window, int x0, int y0, int x1, int y1)
    {
        const std::string w = std::to_string(window);
        const std::string command = "DISPLAY=" + name + " timeout 20 xdotool mousemove --window " + w + " " +
                                    std::to_string(x0) + " " + std::to_string(y0) + " sleep 0.2 mousedown 1 sleep 0.2" +
                                    " mousemove --window " + w + " " + std::to_string((x0 + x1) / 2) + " " +
                                    std::to_string(y1) + " sleep 0.2 mousemove --window " + w + " " +
                                    std::to_string(x1) + " " + std::to_string(y1) + " sleep 0.2 mouseup 1 >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }

    // Asks the window to close as a window manager's close button does (WM_DELETE_WINDOW).
    bool Close(Window window)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        const bool sent = XSendEvent(display, window, False, NoEventMask, &event) != 0;
        XFlush(display);
        return sent;
    }

    // Gives the window the keyboard, as Type does before it types.
    bool Focus(Window window)
    {
        const std::string command = "DISPLAY=" + name + " timeout 20 xdotool windowfocus --sync " +
                                    std::to_string(window) + " >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }

private:
    static int IgnoreError(Display*, XErrorEvent*) { return 0; }

    // An 8-bit channel out of a pixel by its mask.
    static unsigned char Channel(unsigned long pixel, unsigned long mask)
    {
        if (mask == 0)
            return 0;
        int shift = 0;
        while (((mask >> shift) & 1ul) == 0)
            ++shift;
        const unsigned long top = mask >> shift;
        return static_cast<unsigned char>(((pixel & mask) >> shift) * 255ul / top);
    }

    std::vector<Window> Children()
    {
        Window rootReturn = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        std::vector<Window> list;
        if (XQueryTree(display, root, &rootReturn, &parent, &children, &count) && children) {
            list.assign(children, children + count);
            XFree(children);
        }
        return list;
    }

    std::string Title(Window window)
    {
        std::string title;
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8String, &type, &format, &items, &after,
                               &data) == Success && data) {
            title.assign(reinterpret_cast<const char*>(data), items);
            XFree(data);
        }
        if (!title.empty())
            return title;
        XTextProperty property{};
        if (XGetWMName(display, window, &property) && property.value) {
            char** list = nullptr;
            int count = 0;
            if (Xutf8TextPropertyToTextList(display, &property, &list, &count) == Success && list) {
                if (count > 0 && list[0])
                    title = list[0];
                XFreeStringList(list);
            }
            XFree(property.value);
        }
        return title;
    }

    // Hears of the window's names from now on and takes the one it has.
    void Follow(Window window)
    {
        XSelectInput(display, window, PropertyChangeMask);
        Remember(window);
    }

    void Remember(Window window)
    {
        const std::string title = Title(window);
        if (!title.empty())
            seen.insert(title);
    }

    void Update()
    {
        XSync(display, False);
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify)
                Follow(event.xcreatewindow.window);
            else if (event.type == PropertyNotify &&
                     (event.xproperty.atom == XA_WM_NAME || event.xproperty.atom == netWmName))
                Remember(event.xproperty.window);
        }
    }

    Display* display = nullptr;
    std::string name;
    Window root = 0;
    Atom netWmName = None;
    Atom utf8String = None;
    std::set<std::string> seen;
    int (*previousHandler)(Display*, XErrorEvent*) = nullptr;
};

} // namespace program_on_display

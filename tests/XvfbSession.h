#pragma once
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

// An X server of its own for a test: Xvfb picks a free display number itself (-displayfd),
// so tests started side by side never share a server; 1280x1024 at 24 bits, no TCP, and no
// reset when its last client leaves (a short-lived xdotool would otherwise take the server
// through a reset while the window under test connects). It is ready when its socket
// accepts a connection (waited for at most ten seconds) and is ended when the session goes. The test's own environment is left alone: processes that should
// use the server get Display() as their DISPLAY.
class XvfbSession {
public:
    XvfbSession() { Start(); }
    ~XvfbSession() { Stop(); }
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    bool Started() const { return pid > 0; }
    const std::string& Display() const { return display; }
    const std::string& Problem() const { return problem; }

private:
    static void Nap(long milliseconds)
    {
        timespec pause{0, milliseconds * 1000000L};
        nanosleep(&pause, nullptr);
    }

    static bool Accepts(const std::string& socketPath)
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0)
            return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        close(fd);
        return ok;
    }

    // The display number Xvfb writes to the pipe once it listens, or -1.
    static int ReadDisplayNumber(int fd)
    {
        std::string text;
        for (int tries = 0; tries < 500; ++tries) {
            pollfd ready{fd, POLLIN, 0};
            if (poll(&ready, 1, 20) > 0) {
                char buffer[32];
                const ssize_t got = read(fd, buffer, sizeof buffer);
                if (got <= 0)
                    break;
                text.append(buffer, static_cast<std::size_t>(got));
                if (text.find('\n') != std::string::npos)
                    break;
            }
        }
        if (text.empty() || text.find_first_not_of("0123456789\n") != std::string::npos)
            return -1;
        return std::stoi(text);
    }

    void Start()
    {
        int channel[2];
        if (pipe(channel) != 0) {
            problem = "cannot make a pipe for Xvfb";
            return;
        }
        std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(channel[1]), "-screen", "0",
                                          "1280x1024x24", "-nolisten", "tcp", "-noreset"};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, channel[0]);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t child = -1;
        const int failed = posix_spawnp(&child, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(channel[1]);
        if (failed) {
            close(channel[0]);
            problem = "cannot start Xvfb: " + std::string(std::strerror(failed));
            return;
        }
        const int number = ReadDisplayNumber(channel[0]);
        close(channel[0]);
        if (number >= 0) {
            const std::string socketPath = "/tmp/.X11-unix/X" + std::to_string(number);
            for (int tries = 0; tries < 500; ++tries) {
                if (waitpid(child, nullptr, WNOHANG) == child) {
                    problem = "Xvfb ended at start";
                    return;
                }
                if (Accepts(socketPath)) {
                    pid = child;
                    display = ":" + std::to_string(number);
                    return;
                }
                Nap(20);
            }
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        problem = "Xvfb did not come up";
    }

    void Stop()
    {
        if (pid <= 0)
            return;
        kill(pid, SIGTERM);
        int status = 0;
        for (int tries = 0; tries < 250 && waitpid(pid, &status, WNOHANG) == 0; ++tries)
            Nap(20);
        if (waitpid(pid, &status, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        pid = -1;
    }

    pid_t pid = -1;
    std::string display;
    std::string problem;
};

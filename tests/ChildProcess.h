#pragma once
#include <poll.h>
#include <spawn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

// What a forked child sent back: its output, and how it ended.
struct ChildResult {
    bool finished = false; // false: it hung and was killed
    int exitCode = -1;
    std::string output;
};

// Runs `body` in a forked child process and returns what it returned. GTK can start only
// once per process and binds to one display, so each test that shows windows runs its
// body here and leaves the test process untouched. A body that throws exits with 3 and
// reports the exception; a child still running after `limitSeconds` (a hang) is killed.
inline ChildResult RunInChild(const std::function<std::string()>& body, int limitSeconds = 60)
{
    ChildResult result;
    int channel[2];
    if (pipe(channel) != 0)
        return result;
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return result;
    }
    if (child == 0) {
        close(channel[0]);
        std::string output;
        int code = 0;
        try {
            output = body();
        } catch (const std::exception& e) {
            output = std::string("exception: ") + e.what();
            code = 3;
        } catch (...) {
            output = "unknown exception";
            code = 3;
        }
        std::size_t written = 0;
        while (written < output.size()) {
            const ssize_t n = write(channel[1], output.data() + written, output.size() - written);
            if (n <= 0)
                break;
            written += static_cast<std::size_t>(n);
        }
        close(channel[1]);
        _exit(code);
    }

    close(channel[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    bool hung = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            hung = true;
            break;
        }
        pollfd waiting{channel[0], POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(channel[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.output.append(buffer, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    if (hung)
        kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    result.finished = !hung && WIFEXITED(status);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// A shell command running beside the test (xdotool driving a window); stopped, if it is
// still running, when this goes away.
class BackgroundShell {
public:
    explicit BackgroundShell(const std::string& command)
    {
        pid = fork();
        if (pid == 0) {
            // A group of its own, so that stopping it stops what it started; and none of
            // the test's pipes, so that a reader waiting for their end is not kept waiting.
            setpgid(0, 0);
            for (int fd = 3; fd < 1024; ++fd)
                close(fd);
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid > 0)
            setpgid(pid, pid);
    }
    ~BackgroundShell()
    {
        if (pid <= 0)
            return;
        kill(-pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    BackgroundShell(const BackgroundShell&) = delete;
    BackgroundShell& operator=(const BackgroundShell&) = delete;

private:
    pid_t pid = -1;
};

// This test program started again in a process of its own, its standard output collected. The
// child gets the test's environment without DISPLAY and WAYLAND_DISPLAY, plus `extraEnvironment`
// ("NAME=value" each), which says what it is to do (a display of its own, a scenario to run).
struct SelfRun {
    int exitCode = -1; // 128 + the signal when a signal ended it
    std::string output;
};

inline SelfRun RunSelf(const std::vector<std::string>& extraEnvironment)
{
    SelfRun run;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return run;
    std::vector<std::string> environment(extraEnvironment);
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable(*entry);
        if (variable.rfind("DISPLAY=", 0) != 0 && variable.rfind("WAYLAND_DISPLAY=", 0) != 0)
            environment.push_back(variable);
    }
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string self = "/proc/self/exe";
    char* argv[] = {self.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    pid_t child = -1;
    const int failed = posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failed) {
        close(pipeEnds[0]);
        return run;
    }
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(pipeEnds[0], buffer, sizeof(buffer))) > 0)
        run.output.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

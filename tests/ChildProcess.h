#pragma once
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>

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

#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

// A private X server (Xvfb, 1280 x 1024, 24 bits) for one test. Xvfb picks a free display
// number itself (-displayfd), so tests running side by side each get their own.
class XvfbDisplay {
public:
    XvfbDisplay()
    {
        int channel[2];
        if (pipe(channel) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            close(channel[0]);
            const int quiet = open("/dev/null", O_WRONLY);
            if (quiet >= 0) {
                dup2(quiet, STDOUT_FILENO);
                dup2(quiet, STDERR_FILENO);
            }
            const std::string fd = std::to_string(channel[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(channel[1]);
        std::string number;
        char c = 0;
        while (pid > 0 && read(channel[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(channel[0]);
        if (!number.empty())
            name = ":" + number;
    }
    ~XvfbDisplay()
    {
        if (pid <= 0)
            return;
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // ":N", or empty when the server did not start.
    const std::string& Name() const { return name; }

private:
    pid_t pid = -1;
    std::string name;
};

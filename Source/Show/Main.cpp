// The demo program: the settings dialog, then the show in a window with its music.
#include "DemoMain.h"
#include "ShowComposition.h"

int main(int argc, char** argv)
{
    // The command line is handed on as the host expects it and not interpreted.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    return RunDemo(nullptr, commandLine, ShowConfiguration(), RegisterShow);
}

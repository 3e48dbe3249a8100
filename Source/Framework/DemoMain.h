#pragma once
#include <functional>
#include <string>

#include "win32/WinTypes.h"

// What the demo's entry point builds the host with.
struct DemoConfiguration {
    std::string title = "Orvala 2009";
    unsigned width = 800;
    unsigned height = 450;
    bool fullscreen = false;
    float endTime = 141.5f;
    bool showSetupDialog = true;
    // The archive all content is read from.
    std::string archive = "basefile.dat";
};

// The entry point's body: creates the host, lets `compose` register the modules and scenes,
// runs the show and turns every failure into one message box and the exit code (0 after a
// normal run or Exit in the setup dialog, 1 after a failure).
int RunDemo(HINSTANCE instance, const std::string& commandLine, const DemoConfiguration& configuration,
            const std::function<void()>& compose);

#include "DemoMain.h"

#include <exception>
#include <memory>

#include "DXFramework.h"
#include "FrameworkEx.h"
#include "win32/MessageBox.h"

namespace {

// Shuts the host down when it exists; a failure while shutting down after a failure adds
// nothing the box would not already say.
void ShutDown(DXFramework* framework)
{
    if (!framework)
        return;
    try {
        framework->Shutdown();
    } catch (...) {
    }
}

void Box(const std::string& text, const char* caption)
{
    MessageBoxA(nullptr, text.c_str(), caption, MB_OK);
}

// True when the message reports a Direct3D call that ran out of video memory: the result's name
// right after "Error: ".
bool OutOfVideoMemory(const std::string& message)
{
    static const std::string name = "D3DERR_OUTOFVIDEOMEMORY";
    return message.size() >= 7 + name.size() && message.compare(7, name.size(), name) == 0;
}

} // namespace

int RunDemo(HINSTANCE instance, const std::string& commandLine, const DemoConfiguration& configuration,
            const std::function<void()>& compose)
{
    std::unique_ptr<DXFramework> framework;
    int exitCode = 0;
    try {
        framework = std::make_unique<DXFramework>(instance, commandLine, configuration.title, configuration.width,
                                                  configuration.height, configuration.fullscreen,
                                                  configuration.endTime, configuration.showSetupDialog,
                                                  configuration.archive);
        if (compose)
            compose();
        DXFramework::SetLoaderPacing(true);
        framework->Run();
    } catch (int) {
        // Exit in the setup dialog: nothing was shown, nothing is said.
        ShutDown(framework.get());
        exitCode = 0;
    } catch (const LoadingCancelled&) {
        // Escape or the window closed while loading: as quiet as a quit while playing.
        ShutDown(framework.get());
        exitCode = 0;
    } catch (const FrameworkSupportFailed& e) {
        ShutDown(framework.get());
        Box(e.GetMessage(), "Fuckings from your hardware");
        exitCode = 1;
    } catch (const FrameworkEx& e) {
        if (OutOfVideoMemory(e.GetMessage()))
            Box("Try reducing the number of multisamples, reduce resolution, or check the VRAM box.",
                "Out of video memory");
        else
            Box(e.GetMessage(), "Framework exception");
        ShutDown(framework.get());
        exitCode = 1;
    } catch (const std::exception& e) {
        ShutDown(framework.get());
        Box(e.what(), "std::exception caught in main()");
        exitCode = 1;
    } catch (...) {
        ShutDown(framework.get());
        Box("Unknown exception", "Exception caught in main()");
        exitCode = 1;
    }
    // The host is destroyed in every case, so the process ends with everything released.
    try {
        framework.reset();
    } catch (...) {
    }
    return exitCode;
}

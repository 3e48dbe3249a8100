// orvala-studio: the show from its content sources, changed while it plays.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "Studio.h"
#include "common/ToolOptions.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        Studio studio(ParseStudioOptions(args));
        return studio.Run();
    } catch (const ToolUsageError& e) {
        std::fprintf(stderr, "orvala-studio: %s\n%s", e.message.c_str(), StudioUsage().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orvala-studio: %s\n", e.what());
        return 1;
    }
}

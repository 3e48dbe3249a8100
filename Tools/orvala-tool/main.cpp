#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "win32/MessageBox.h"

std::map<std::string, ToolCommandGroup>& ToolCommands()
{
    static std::map<std::string, ToolCommandGroup> groups;
    return groups;
}

namespace {

void PrintUsage(std::FILE* out)
{
    std::fprintf(out, "usage:\n");
    for (const auto& [name, group] : ToolCommands())
        std::fprintf(out, "%s", group.usage.c_str());
}

// True when commands are registered under this word and a second one ("mesh info").
bool IsSplitGroup(const std::string& word)
{
    auto next = ToolCommands().lower_bound(word + " ");
    return next != ToolCommands().end() && next->first.compare(0, word.size() + 1, word + " ") == 0;
}

} // namespace

int main(int argc, char** argv)
{
    // A message box raised during a command goes to standard error.
    SetMessageBoxPresenter([](const MessageBoxRecord& box) {
        std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), box.text.c_str());
        return IDOK;
    });

    // A show the commands load draws its loader pictures paced, as the program does.
    DXFramework::SetLoaderPacing(true);

    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty() || words[0] == "help" || words[0] == "--help" || words[0] == "-h") {
        PrintUsage(words.empty() ? stderr : stdout);
        return words.empty() ? 1 : 0;
    }
    // A command registered under two words wins over a group of one.
    std::size_t used = 2;
    auto group = words.size() >= 2 ? ToolCommands().find(words[0] + " " + words[1]) : ToolCommands().end();
    if (group == ToolCommands().end()) {
        used = 1;
        group = ToolCommands().find(words[0]);
    }
    if (group == ToolCommands().end()) {
        std::fprintf(stderr, "orvala-tool: unknown command \"%s\"\n",
                     (words.size() >= 2 && IsSplitGroup(words[0]) ? words[0] + " " + words[1] : words[0]).c_str());
        PrintUsage(stderr);
        return 1;
    }
    try {
        return group->second.run(std::vector<std::string>(words.begin() + used, words.end()));
    } catch (const ToolUsageError& e) {
        std::fprintf(stderr, "orvala-tool: %s\nusage:\n%s", e.message.c_str(), group->second.usage.c_str());
    } catch (const FrameworkEx& e) {
        std::fprintf(stderr, "%s\n", e.GetMessage().c_str());
    } catch (const FrameworkSupportFailed& e) {
        std::fprintf(stderr, "%s\n", e.GetMessage().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    return 1;
}

#pragma once
#include <map>
#include <string>
#include <vector>

// The command groups of orvala-tool ("archive", "track", ...). Each group lives in a
// source file of its own and registers itself with a static ToolCommandRegistration.
// A group whose commands live in several files registers each command under two words
// ("mesh info", "mesh gen"); such a command runs with the words after both.
struct ToolCommandGroup {
    std::string usage; // one or more lines: "orvala-tool archive pack <folder> <archive>"
    // Runs the group with the words after the group name; returns the exit code.
    // Failures are thrown (FrameworkEx, ToolUsageError or std::exception).
    int (*run)(const std::vector<std::string>& args);
};

// A command line that does not fit the command's shape.
struct ToolUsageError {
    std::string message;
};

std::map<std::string, ToolCommandGroup>& ToolCommands();

struct ToolCommandRegistration {
    ToolCommandRegistration(const std::string& name, ToolCommandGroup group) { ToolCommands()[name] = group; }
};

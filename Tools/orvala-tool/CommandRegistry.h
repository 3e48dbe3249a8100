#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/ToolOptions.h"

// The command groups of orvala-tool ("archive", "track", ...). Each group lives in a
// source file of its own and registers itself with a static ToolCommandRegistration.
// A group whose commands live in several files registers each command under two words
// ("mesh info", "mesh gen"); such a command runs with the words after both.
struct ToolCommandGroup {
    // One or more lines: "orvala-tool archive pack <folder> <archive>", made by ToolUsage from
    // the shapes of the group's commands, whose option tables the commands parse with.
    std::string usage;
    // Runs the group with the words after the group name; returns the exit code.
    // Failures are thrown (FrameworkEx, ToolUsageError or std::exception).
    std::function<int(const std::vector<std::string>& args)> run;
};

// The usage lines of several commands, in order.
std::string ToolUsage(const std::vector<ToolCommandShape>& shapes);

// A command of a group that chooses by its second word ("music render"): its shape, whose last
// word names it, and what runs it with the words after that.
struct ToolSubcommand {
    ToolCommandShape shape;
    int (*run)(const std::vector<std::string>& args);
};

// A group of subcommands, its usage made from their shapes. `missing` is the message for a
// command line without a subcommand ("music needs a subcommand"); `unknown` leads the one for a
// word that names none ("unknown music subcommand").
ToolCommandGroup ToolSubcommandGroup(std::vector<ToolSubcommand> commands, std::string missing, std::string unknown);

std::map<std::string, ToolCommandGroup>& ToolCommands();

struct ToolCommandRegistration {
    ToolCommandRegistration(const std::string& name, ToolCommandGroup group) { ToolCommands()[name] = group; }
};

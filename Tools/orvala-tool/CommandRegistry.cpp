#include "CommandRegistry.h"

std::string ToolUsage(const std::vector<ToolCommandShape>& shapes)
{
    std::string usage;
    for (const ToolCommandShape& shape : shapes)
        usage += ToolUsage(shape);
    return usage;
}

ToolCommandGroup ToolSubcommandGroup(std::vector<ToolSubcommand> commands, std::string missing, std::string unknown)
{
    std::vector<ToolCommandShape> shapes;
    for (const ToolSubcommand& command : commands)
        shapes.push_back(command.shape);
    const auto run = [commands, missing, unknown](const std::vector<std::string>& args) {
        if (args.empty())
            throw ToolUsageError{missing};
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        for (const ToolSubcommand& command : commands) {
            const std::string& words = command.shape.words;
            if (words.compare(words.rfind(' ') + 1, std::string::npos, args[0]) == 0)
                return command.run(rest);
        }
        throw ToolUsageError{unknown + " \"" + args[0] + "\""};
    };
    return {ToolUsage(shapes), run};
}

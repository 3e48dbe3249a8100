#pragma once
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"

// What one run of orvala-tool left: its exit code and everything it wrote.
struct ToolResult {
    int exitCode;
    std::string out;
    std::string err;
};

// The whole file, byte for byte; empty when it cannot be read.
inline std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Writes the bytes to the file, making its folder first.
inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes)
{
    if (!path.parent_path().empty())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// One word for the shell, in single quotes, whatever it holds.
inline std::string ShellQuoted(const std::string& word)
{
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs orvala-tool with the arguments and nothing on standard input. Its output is caught in a
// folder of its own, so the caller's folders hold only what the tool itself wrote there.
inline ToolResult RunTool(const std::vector<std::string>& args)
{
    TempDir capture;
    const std::filesystem::path out = capture.path() / "stdout", err = capture.path() / "stderr";
    std::string command = ShellQuoted(ORVALA_TOOL_PATH);
    for (const std::string& arg : args)
        command += " " + ShellQuoted(arg);
    command += " >" + ShellQuoted(out.string()) + " 2>" + ShellQuoted(err.string()) + " </dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(out), ReadFileBytes(err)};
}

#pragma once
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

// A file that could not be read whole; what() is `cannot read "<path>": <reason>`.
class FileReadError : public std::runtime_error {
public:
    FileReadError(const std::filesystem::path& path, const std::string& reason);

    const std::filesystem::path& Path() const { return path; }
    // What the system said ("No such file or directory", "Is a directory").
    const std::string& Reason() const { return reason; }

private:
    std::filesystem::path path;
    std::string reason;
};

// The whole file, byte for byte. Throws FileReadError when it cannot be opened or read to its end.
std::string ReadWholeText(const std::filesystem::path& path);
std::vector<unsigned char> ReadWholeFile(const std::filesystem::path& path);

#pragma once
#include <filesystem>
#include <random>
#include <string>

// A folder of its own for one test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir()
    {
        std::random_device seed;
        dir = std::filesystem::temp_directory_path() /
              ("orvala-test-" + std::to_string(seed()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(dir);
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return dir; }

private:
    std::filesystem::path dir;
};

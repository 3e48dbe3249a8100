#pragma once
#include <filesystem>

// The shared corpus of real-world files beside the project checkout; tests that read it skip when
// it is absent.
inline std::filesystem::path CorpusDir(const char* kind)
{
    return std::filesystem::path(ORVALA_SOURCE_DIR).parent_path() / "shared" / "corpus" / kind;
}

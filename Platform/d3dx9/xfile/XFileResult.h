#pragma once

#include <string>
#include <utility>

// Outcome of reading a .x file: ok, or the reason it could not be read.
struct XFileResult {
    bool ok = true;
    std::string message;

    static XFileResult Success() { return {}; }
    static XFileResult Failure(std::string text) { return {false, std::move(text)}; }
};

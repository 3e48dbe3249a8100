#pragma once
#include <string>

// The demo's one way to fail: an exception carrying a readable message. Only the entry
// point catches it and shows the message in a box.
class FrameworkEx {
public:
    explicit FrameworkEx(std::string message) : message(std::move(message)) {}
    const std::string& GetMessage() const { return message; }

private:
    std::string message;
};

// A missing hardware capability; shown by the entry point under its own caption.
// Deliberately unrelated to FrameworkEx.
class FrameworkSupportFailed {
public:
    explicit FrameworkSupportFailed(std::string message) : message(std::move(message)) {}
    const std::string& GetMessage() const { return message; }

private:
    std::string message;
};

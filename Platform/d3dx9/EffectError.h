#pragma once
#include <string>
#include <vector>

// The messages of a failed effect compile or load, each "file(line): error: message", one a line.
class EffectErrors {
public:
    void Add(const std::string& file, unsigned line, const std::string& message);
    // A message with no place in a source (a damaged object).
    void Add(const std::string& message);
    // A line that is already a whole message ("file(line): error: ..."). A message given before is
    // not repeated.
    void AddLine(const std::string& line);
    bool Empty() const { return lines_.empty(); }
    std::string Text() const;
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

#include "d3dx9/EffectError.h"

#include <algorithm>

void EffectErrors::Add(const std::string& file, unsigned line, const std::string& message)
{
    AddLine(file + "(" + std::to_string(line) + "): error: " + message);
}

void EffectErrors::Add(const std::string& message)
{
    AddLine("error: " + message);
}

void EffectErrors::AddLine(const std::string& line)
{
    // Code every shader shares fails in each of them; one message is enough.
    if (std::find(lines_.begin(), lines_.end(), line) == lines_.end())
        lines_.push_back(line);
}

std::string EffectErrors::Text() const
{
    std::string text;
    for (const std::string& line : lines_)
        text += line + "\n";
    return text;
}

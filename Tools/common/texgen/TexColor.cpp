#include "common/texgen/TexColor.h"

#include <cctype>
#include <cstddef>

TexColor TexColor::Mix(const TexColor& to, float t) const
{
    return {r + (to.r - r) * t, g + (to.g - g) * t, b + (to.b - b) * t, a + (to.a - a) * t};
}

namespace {

struct NamedColor {
    const char* name;
    TexColor color;
};

const NamedColor kNames[] = {
    {"black", {0, 0, 0, 1}},   {"white", {1, 1, 1, 1}},     {"grey", {0.5f, 0.5f, 0.5f, 1}},
    {"gray", {0.5f, 0.5f, 0.5f, 1}}, {"red", {1, 0, 0, 1}}, {"green", {0, 1, 0, 1}},
    {"blue", {0, 0, 1, 1}},    {"yellow", {1, 1, 0, 1}},    {"cyan", {0, 1, 1, 1}},
    {"magenta", {1, 0, 1, 1}}, {"transparent", {0, 0, 0, 0}},
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

} // namespace

bool ParseTexColor(const std::string& text, TexColor& color)
{
    for (const NamedColor& named : kNames) {
        if (text == named.name) {
            color = named.color;
            return true;
        }
    }
    std::string hex = (!text.empty() && text[0] == '#') ? text.substr(1) : text;
    if (hex.size() != 6 && hex.size() != 8) {
        return false;
    }
    float channels[4] = {0, 0, 0, 1};
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int high = HexDigit(hex[i]);
        int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        channels[i / 2] = static_cast<float>(high * 16 + low) / 255.0f;
    }
    color = {channels[0], channels[1], channels[2], channels[3]};
    return true;
}

bool ParseTexColorList(const std::string& text, std::vector<TexColor>& colors)
{
    colors.clear();
    std::size_t start = 0;
    while (true) {
        std::size_t comma = text.find(',', start);
        TexColor color;
        if (!ParseTexColor(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start), color)) {
            colors.clear();
            return false;
        }
        colors.push_back(color);
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
}

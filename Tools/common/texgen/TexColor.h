#pragma once
#include <string>
#include <vector>

// A colour with straight alpha, each channel 0..1.
struct TexColor {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 1.0f;

    // The colour a fraction t of the way to `to`.
    TexColor Mix(const TexColor& to, float t) const;
};

// "RRGGBB" or "RRGGBBAA" in hexadecimal, with or without a leading '#', or one of the names
// black, white, grey (gray), red, green, blue, yellow, cyan, magenta, transparent (black with
// alpha 0). False for anything else.
bool ParseTexColor(const std::string& text, TexColor& color);

// Colours separated by commas ("ff0000,#00ff0080,white"). False when any of them is not a colour
// or the list is empty.
bool ParseTexColorList(const std::string& text, std::vector<TexColor>& colors);

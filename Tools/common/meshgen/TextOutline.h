#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/meshgen/MeshMath.h"

namespace meshgen {

// A closed outline: corners in order, the last joined back to the first. Every contour runs
// with the filled area on its right-hand side (TrueType's direction: outer contours clockwise,
// counters counter-clockwise, seen with +Y up).
using Contour = std::vector<Vec2>;

// The contours of one glyph placed in the line, in font units.
struct PlacedGlyph {
    char32_t character = 0;
    std::vector<Contour> contours;
};

// A line of text laid out in a TrueType font: glyphs on the baseline from x = 0, each moved by
// the advances and kerning before it, curves flattened into `curveSteps` straight pieces each.
struct TextOutline {
    std::vector<PlacedGlyph> glyphs; // characters with ink; spaces only move the pen
    double capHeight = 0.0;          // font units: the top of "H" (or the font's stated cap height)
    bool kerned = false;             // the font has kerning pairs and they were applied
};

// Reads the font and lays the text out. Throws std::runtime_error when the font cannot be read
// and std::invalid_argument for text it cannot draw (invalid UTF-8, control characters,
// characters without a glyph, nothing with ink).
TextOutline LayOutText(const std::string& fontPath, const std::string& utf8Text, int curveSteps);

// The characters of UTF-8 text; throws std::invalid_argument on malformed input.
std::u32string DecodeUtf8(const std::string& text);

// Twice the signed area: positive for counter-clockwise contours.
double SignedArea2(const Contour& contour);

} // namespace meshgen

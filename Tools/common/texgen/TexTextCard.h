#pragma once
#include <string>
#include <vector>

#include "common/texgen/TexColor.h"
#include "common/texgen/TexImage.h"

// Text lines (UTF-8) set with FreeType, each centred across the card, the block of lines
// centred down it, on a background colour (transparent by default), optionally with a soft
// shadow below and to the right of the letters or a soft glow around them.
enum class TexTextEffect { None, Shadow, Glow };

struct TexTextCardParams {
    std::vector<std::string> lines;
    std::string fontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    unsigned pixelSize = 0;  // the font's size in pixels; 0 takes the largest that fits
    float lineSpacing = 1.0f; // times the font's own line height
    TexColor text{1, 1, 1, 1};
    TexColor background{0, 0, 0, 0};
    TexTextEffect effect = TexTextEffect::None;
    unsigned effectRadius = 4; // blur radius in texels; the shadow is offset by half of it
    TexColor effectColor{0, 0, 0, 0.75f};
};

// Throws TexGenError when the font cannot be read, lacks a glyph, a line is not valid UTF-8, or
// the text (with the room its shadow or glow needs) does not fit the card.
TexImage MakeTexTextCard(unsigned width, unsigned height, const TexTextCardParams& params);

// The code points of a UTF-8 string; throws TexGenError for anything that is not UTF-8
// (overlong forms, surrogates, values beyond U+10FFFF, cut sequences).
std::vector<char32_t> DecodeTexUtf8(const std::string& text);

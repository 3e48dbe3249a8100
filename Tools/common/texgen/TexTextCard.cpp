#include "common/texgen/TexTextCard.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/texgen/TexBlur.h"
#include "common/texgen/TexGenError.h"

namespace {

constexpr unsigned kSmallestSize = 4;
constexpr unsigned kLargestAutoSize = 2048;

// The FreeType library and one face, released together.
class FontFace {
public:
    explicit FontFace(const std::string& path)
    {
        if (FT_Init_FreeType(&library_) != 0) {
            throw TexGenError("FreeType did not start");
        }
        if (FT_New_Face(library_, path.c_str(), 0, &face_) != 0) {
            FT_Done_FreeType(library_);
            throw TexGenError("cannot read the font \"" + path + "\"");
        }
    }
    ~FontFace()
    {
        FT_Done_Face(face_);
        FT_Done_FreeType(library_);
    }
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    FT_Face Get() const { return face_; }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

// A rendered glyph placed on the card: its top-left texel and coverage rows.
struct PlacedGlyph {
    long left = 0;
    long top = 0;
    unsigned width = 0;
    unsigned rows = 0;
    std::vector<std::uint8_t> coverage;
};

struct Layout {
    std::vector<PlacedGlyph> glyphs;
    long inkLeft = std::numeric_limits<long>::max();
    long inkTop = std::numeric_limits<long>::max();
    long inkRight = std::numeric_limits<long>::min();
    long inkBottom = std::numeric_limits<long>::min();

    bool HasInk() const { return inkRight > inkLeft; }
};

std::string CodePointName(char32_t c)
{
    char name[16];
    std::snprintf(name, sizeof(name), "U+%04lX", static_cast<unsigned long>(c));
    return name;
}

// One line at the pen origin 0 on the baseline 0.
std::vector<PlacedGlyph> SetLine(FT_Face face, const std::vector<char32_t>& text)
{
    std::vector<PlacedGlyph> glyphs;
    long pen = 0; // 26.6 fixed point
    FT_UInt previous = 0;
    for (char32_t c : text) {
        FT_UInt index = FT_Get_Char_Index(face, c);
        if (index == 0) {
            throw TexGenError("the font has no glyph for " + CodePointName(c));
        }
        if (previous != 0 && FT_HAS_KERNING(face)) {
            FT_Vector delta{};
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &delta) == 0) {
                pen += delta.x;
            }
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0) {
            throw TexGenError("the font cannot draw " + CodePointName(c));
        }
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        PlacedGlyph glyph;
        glyph.left = (pen + 32) / 64 + slot->bitmap_left;
        glyph.top = -static_cast<long>(slot->bitmap_top);
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.width > 0 && bitmap.rows > 0) {
            glyph.width = bitmap.width;
            glyph.rows = bitmap.rows;
            for (unsigned row = 0; row < bitmap.rows; ++row) {
                const unsigned char* from = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
                glyph.coverage.insert(glyph.coverage.end(), from, from + bitmap.width);
            }
            glyphs.push_back(std::move(glyph));
        }
        pen += slot->advance.x;
        previous = index;
    }
    return glyphs;
}

// Every line at one pixel size, centred on a card of the given size.
Layout LayOut(FT_Face face, const std::vector<std::vector<char32_t>>& lines, unsigned pixelSize, float spacing,
              unsigned width, unsigned height)
{
    if (FT_Set_Pixel_Sizes(face, 0, pixelSize) != 0) {
        throw TexGenError("the font has no size of " + std::to_string(pixelSize) + " pixels");
    }
    const FT_Size_Metrics& metrics = face->size->metrics;
    double ascender = metrics.ascender / 64.0;
    double descender = metrics.descender / 64.0; // negative
    double advance = std::round(metrics.height / 64.0 * spacing);
    double block = ascender - descender + advance * (static_cast<double>(lines.size()) - 1.0);
    double top = std::round((height - block) / 2.0);
    Layout layout;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::vector<PlacedGlyph> glyphs = SetLine(face, lines[i]);
        if (glyphs.empty()) {
            continue;
        }
        long left = std::numeric_limits<long>::max(), right = std::numeric_limits<long>::min();
        for (const PlacedGlyph& g : glyphs) {
            left = std::min(left, g.left);
            right = std::max(right, g.left + static_cast<long>(g.width));
        }
        long shift = std::lround((static_cast<double>(width) - static_cast<double>(right - left)) / 2.0) - left;
        auto baseline = static_cast<long>(top + std::round(ascender) + advance * static_cast<double>(i));
        for (PlacedGlyph& g : glyphs) {
            g.left += shift;
            g.top += baseline;
            layout.inkLeft = std::min(layout.inkLeft, g.left);
            layout.inkRight = std::max(layout.inkRight, g.left + static_cast<long>(g.width));
            layout.inkTop = std::min(layout.inkTop, g.top);
            layout.inkBottom = std::max(layout.inkBottom, g.top + static_cast<long>(g.rows));
            layout.glyphs.push_back(std::move(g));
        }
    }
    return layout;
}

bool Fits(const Layout& layout, unsigned width, unsigned height, long margin)
{
    return !layout.HasInk() || (layout.inkLeft >= margin && layout.inkTop >= margin &&
                                layout.inkRight <= static_cast<long>(width) - margin &&
                                layout.inkBottom <= static_cast<long>(height) - margin);
}

// Straight-alpha "over": the layer's colour with coverage-scaled alpha on top of the texel.
void Over(float* texel, const TexColor& color, float coverage)
{
    float sa = color.a * coverage;
    float da = texel[3];
    float a = sa + da * (1.0f - sa);
    if (a <= 0.0f) {
        texel[0] = texel[1] = texel[2] = texel[3] = 0.0f;
        return;
    }
    const float src[3] = {color.r, color.g, color.b};
    for (int c = 0; c < 3; ++c) {
        texel[c] = (src[c] * sa + texel[c] * da * (1.0f - sa)) / a;
    }
    texel[3] = a;
}

} // namespace

std::vector<char32_t> DecodeTexUtf8(const std::string& text)
{
    std::vector<char32_t> out;
    std::size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        unsigned length = lead < 0x80            ? 1
                          : (lead >> 5) == 0x6   ? 2
                          : (lead >> 4) == 0xE   ? 3
                          : (lead >> 3) == 0x1E ? 4
                                                 : 0;
        if (length == 0 || i + length > text.size()) {
            throw TexGenError("the text is not valid UTF-8");
        }
        char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (unsigned k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                throw TexGenError("the text is not valid UTF-8");
            }
            c = (c << 6) | (next & 0x3F);
        }
        const char32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            throw TexGenError("the text is not valid UTF-8");
        }
        out.push_back(c);
        i += length;
    }
    return out;
}

TexImage MakeTexTextCard(unsigned width, unsigned height, const TexTextCardParams& params)
{
    std::vector<std::vector<char32_t>> lines;
    for (const std::string& line : params.lines) {
        lines.push_back(DecodeTexUtf8(line));
    }
    FontFace font(params.fontPath);
    const long radius = params.effect == TexTextEffect::None ? 0 : static_cast<long>(params.effectRadius);
    const long offset = params.effect == TexTextEffect::Shadow ? std::max(1L, radius / 2) : 0;
    const long margin = radius + offset;

    Layout layout;
    if (params.pixelSize != 0) {
        layout = LayOut(font.Get(), lines, params.pixelSize, params.lineSpacing, width, height);
        if (!Fits(layout, width, height, margin)) {
            throw TexGenError("the text does not fit a " + std::to_string(width) + "x" + std::to_string(height) +
                              " card at " + std::to_string(params.pixelSize) + " pixels");
        }
    } else {
        // From lines filling the card's height downwards: each size that does not fit is scaled by
        // the room the text lacks (text scales about linearly with the size), at least one smaller.
        unsigned size = height / static_cast<unsigned>(std::max<std::size_t>(1, lines.size()));
        size = std::min(size, kLargestAutoSize);
        while (true) {
            if (size < kSmallestSize) {
                throw TexGenError("the text does not fit a " + std::to_string(width) + "x" + std::to_string(height) +
                                  " card");
            }
            layout = LayOut(font.Get(), lines, size, params.lineSpacing, width, height);
            if (Fits(layout, width, height, margin)) {
                break;
            }
            double room = std::min((static_cast<double>(width) - 2.0 * margin) / (layout.inkRight - layout.inkLeft),
                                   (static_cast<double>(height) - 2.0 * margin) / (layout.inkBottom - layout.inkTop));
            auto scaled = static_cast<unsigned>(std::max(0.0, std::floor(size * room)));
            size = std::min(scaled, size - 1);
        }
    }

    std::vector<float> coverage(static_cast<std::size_t>(width) * height, 0.0f);
    for (const PlacedGlyph& g : layout.glyphs) {
        for (unsigned row = 0; row < g.rows; ++row) {
            for (unsigned col = 0; col < g.width; ++col) {
                long x = g.left + col;
                long y = g.top + row;
                if (x < 0 || y < 0 || x >= static_cast<long>(width) || y >= static_cast<long>(height)) {
                    continue;
                }
                float& c = coverage[static_cast<std::size_t>(y) * width + x];
                c = std::max(c, g.coverage[static_cast<std::size_t>(row) * g.width + col] / 255.0f);
            }
        }
    }
    std::vector<float> effect;
    if (params.effect != TexTextEffect::None) {
        const auto shift = static_cast<unsigned>(offset);
        std::vector<float> shifted(coverage.size(), 0.0f);
        for (unsigned y = 0; y + shift < height; ++y) {
            for (unsigned x = 0; x + shift < width; ++x) {
                shifted[static_cast<std::size_t>(y + shift) * width + x + shift] =
                    coverage[static_cast<std::size_t>(y) * width + x];
            }
        }
        effect = BlurTexValues(shifted, width, height, static_cast<unsigned>(radius));
        if (params.effect == TexTextEffect::Glow) {
            for (float& e : effect) {
                e = std::min(1.0f, e * 2.0f); // a blurred outline is faint; the glow keeps it bright
            }
        }
    }

    TexImage image(width, height);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            std::size_t at = static_cast<std::size_t>(y) * width + x;
            float* texel = image.At(x, y);
            Over(texel, params.background, 1.0f);
            if (!effect.empty()) {
                Over(texel, params.effectColor, effect[at]);
            }
            Over(texel, params.text, coverage[at]);
        }
    }
    return image;
}

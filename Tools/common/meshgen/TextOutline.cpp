#include "common/meshgen/TextOutline.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace meshgen {

namespace {

std::string CodeText(char32_t c)
{
    char text[32];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// FreeType's library and face, released however the layout ends.
class FontFace {
public:
    // The library and the face are released however the constructor ends: a font that cannot be
    // read or has no outlines throws after FreeType has started.
    explicit FontFace(const std::string& path)
    {
        FT_Library library = nullptr;
        if (FT_Init_FreeType(&library) != 0)
            throw std::runtime_error("orvala-tool: FreeType did not start");
        library_.reset(library);
        FT_Face face = nullptr;
        if (FT_New_Face(library_.get(), path.c_str(), 0, &face) != 0)
            throw std::runtime_error("orvala-tool: cannot read the font \"" + path + "\"");
        face_.reset(face);
        if (!FT_IS_SCALABLE(face_.get()))
            throw std::runtime_error("orvala-tool: the font \"" + path + "\" has no outlines");
    }

    FT_Face Face() const { return face_.get(); }

private:
    struct LibraryDone {
        void operator()(FT_Library library) const { FT_Done_FreeType(library); }
    };
    struct FaceDone {
        void operator()(FT_Face face) const { FT_Done_Face(face); }
    };
    // Declared in this order so that the face goes before its library.
    std::unique_ptr<FT_LibraryRec_, LibraryDone> library_;
    std::unique_ptr<FT_FaceRec_, FaceDone> face_;
};

// Collects flattened contours from FreeType's outline walk.
struct Flattener {
    std::vector<Contour> contours;
    Vec2 pen;
    Vec2 offset;
    int steps = 8;

    Vec2 At(const FT_Vector* v) const { return {static_cast<double>(v->x) + offset.x, static_cast<double>(v->y) + offset.y}; }

    static int MoveTo(const FT_Vector* to, void* user)
    {
        auto* self = static_cast<Flattener*>(user);
        self->contours.emplace_back();
        self->pen = self->At(to);
        self->contours.back().push_back(self->pen);
        return 0;
    }
    static int LineTo(const FT_Vector* to, void* user)
    {
        auto* self = static_cast<Flattener*>(user);
        self->pen = self->At(to);
        self->contours.back().push_back(self->pen);
        return 0;
    }
    static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user)
    {
        auto* self = static_cast<Flattener*>(user);
        const Vec2 p0 = self->pen, c = self->At(control), p1 = self->At(to);
        for (int k = 1; k <= self->steps; ++k) {
            const double t = static_cast<double>(k) / self->steps, s = 1.0 - t;
            self->contours.back().push_back(k == self->steps ? p1 : p0 * (s * s) + c * (2.0 * s * t) + p1 * (t * t));
        }
        self->pen = p1;
        return 0;
    }
    static int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user)
    {
        auto* self = static_cast<Flattener*>(user);
        const Vec2 p0 = self->pen, a = self->At(c1), b = self->At(c2), p1 = self->At(to);
        for (int k = 1; k <= self->steps; ++k) {
            const double t = static_cast<double>(k) / self->steps, s = 1.0 - t;
            self->contours.back().push_back(
                k == self->steps ? p1 : p0 * (s * s * s) + a * (3.0 * s * s * t) + b * (3.0 * s * t * t) + p1 * (t * t * t));
        }
        self->pen = p1;
        return 0;
    }
};

// Drops repeated corners and corners on a straight line between their neighbours, and
// contours that enclose nothing.
std::vector<Contour> Tidy(std::vector<Contour> contours)
{
    std::vector<Contour> tidy;
    for (Contour& contour : contours) {
        bool changed = true;
        while (changed && contour.size() >= 3) {
            changed = false;
            for (std::size_t i = 0; i < contour.size() && contour.size() >= 3; ++i) {
                const Vec2 prev = contour[(i + contour.size() - 1) % contour.size()];
                const Vec2 here = contour[i];
                const Vec2 next = contour[(i + 1) % contour.size()];
                const Vec2 in = here - prev, out = next - here;
                const bool repeated = Length(in) < 1e-9;
                const bool straight = std::fabs(Cross(in, out)) <= 1e-9 * Length(in) * Length(out) && Dot(in, out) > 0.0;
                if (repeated || straight) {
                    contour.erase(contour.begin() + static_cast<std::ptrdiff_t>(i));
                    changed = true;
                    break;
                }
            }
        }
        if (contour.size() >= 3 && std::fabs(SignedArea2(contour)) > 1e-9)
            tidy.push_back(std::move(contour));
    }
    return tidy;
}

} // namespace

double SignedArea2(const Contour& contour)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < contour.size(); ++i)
        sum += Cross(contour[i], contour[(i + 1) % contour.size()]);
    return sum;
}

std::u32string DecodeUtf8(const std::string& text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t c = 0;
        if (lead < 0x80) {
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            c = lead & 0x1F;
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            c = lead & 0x0F;
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            c = lead & 0x07;
            extra = 3;
        } else {
            throw std::invalid_argument("the text is not valid UTF-8 (byte " + std::to_string(i) + ")");
        }
        if (i + static_cast<std::size_t>(extra) >= text.size() && extra > 0)
            throw std::invalid_argument("the text is not valid UTF-8 (it ends inside a character)");
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                throw std::invalid_argument("the text is not valid UTF-8 (byte " + std::to_string(i + k) + ")");
            c = (c << 6) | (next & 0x3F);
        }
        static const char32_t least[4] = {0, 0x80, 0x800, 0x10000};
        if (c < least[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            throw std::invalid_argument("the text is not valid UTF-8 (byte " + std::to_string(i) + ")");
        out.push_back(c);
        i += 1 + static_cast<std::size_t>(extra);
    }
    return out;
}

TextOutline LayOutText(const std::string& fontPath, const std::string& utf8Text, int curveSteps)
{
    const std::u32string text = DecodeUtf8(utf8Text);
    const FontFace font(fontPath);
    const FT_Face face = font.Face();
    const FT_Int32 loadFlags = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;

    TextOutline layout;
    layout.kerned = FT_HAS_KERNING(face);
    if (const FT_UInt h = FT_Get_Char_Index(face, 'H'); h != 0 && FT_Load_Glyph(face, h, loadFlags) == 0) {
        FT_BBox box;
        FT_Outline_Get_CBox(&face->glyph->outline, &box);
        layout.capHeight = static_cast<double>(box.yMax);
    }
    if (layout.capHeight <= 0.0) {
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        layout.capHeight = os2 && os2->version >= 2 && os2->sCapHeight > 0 ? os2->sCapHeight : face->ascender;
    }
    if (layout.capHeight <= 0.0)
        throw std::runtime_error("orvala-tool: the font \"" + fontPath + "\" states no usable height");

    FT_Outline_Funcs walk{};
    walk.move_to = &Flattener::MoveTo;
    walk.line_to = &Flattener::LineTo;
    walk.conic_to = &Flattener::ConicTo;
    walk.cubic_to = &Flattener::CubicTo;

    double penX = 0.0;
    FT_UInt previous = 0;
    for (char32_t c : text) {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            throw std::invalid_argument("the text holds the control character " + CodeText(c) + ", which cannot be drawn");
        const FT_UInt index = FT_Get_Char_Index(face, c);
        if (index == 0)
            throw std::invalid_argument("the font has no glyph for " + CodeText(c));
        if (previous != 0 && layout.kerned) {
            FT_Vector kerning{};
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_UNSCALED, &kerning) == 0)
                penX += static_cast<double>(kerning.x);
        }
        if (FT_Load_Glyph(face, index, loadFlags) != 0)
            throw std::runtime_error("orvala-tool: the font's glyph for " + CodeText(c) + " cannot be loaded");
        FT_GlyphSlot slot = face->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE)
            throw std::runtime_error("orvala-tool: the font's glyph for " + CodeText(c) + " is not an outline");
        Flattener flattener;
        flattener.offset = {penX, 0.0};
        flattener.steps = curveSteps;
        if (FT_Outline_Decompose(&slot->outline, &walk, &flattener) != 0)
            throw std::runtime_error("orvala-tool: the outline of " + CodeText(c) + " cannot be read");
        // PostScript-style outlines run the other way round; turn them to TrueType's direction.
        const bool reversed = FT_Outline_Get_Orientation(&slot->outline) == FT_ORIENTATION_POSTSCRIPT;
        std::vector<Contour> contours = Tidy(std::move(flattener.contours));
        if (reversed)
            for (Contour& contour : contours)
                contour.assign(contour.rbegin(), contour.rend());
        if (!contours.empty())
            layout.glyphs.push_back({c, std::move(contours)});
        penX += static_cast<double>(slot->advance.x);
        previous = index;
    }
    if (layout.glyphs.empty())
        throw std::invalid_argument("the text has nothing to draw");
    return layout;
}

} // namespace meshgen

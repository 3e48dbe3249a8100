#include "StudioOverlay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <unordered_map>

#include "DXEffect/PassRecorder.h"
#include "common/WholeFile.h"
#include "d3dx9/d3dx9.h"

// The one place stb_truetype is compiled; its code is not ours and is built without our warnings.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>
#pragma GCC diagnostic pop

namespace {

constexpr const char* kSansFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kMonoFont = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

// ---- Colours ----

// Straight (not premultiplied) colour; a is the opacity 0..255.
struct Colour {
    std::uint8_t r, g, b, a;
};

constexpr Colour Faded(Colour c, int alpha)
{
    return Colour{c.r, c.g, c.b, static_cast<std::uint8_t>(alpha)};
}

// Dark glass behind text, light grey text, and a few muted accents: the overlay sits over the
// show and must not compete with it.
constexpr Colour kPanel{14, 16, 21, 196};
constexpr Colour kPanelEdge{255, 255, 255, 26};
constexpr Colour kText{229, 232, 237, 255};
constexpr Colour kDim{142, 149, 161, 255};
constexpr Colour kStrip{10, 12, 16, 204};
constexpr Colour kBar{255, 255, 255, 44};
constexpr Colour kSceneSwitch{120, 190, 255, 240};
constexpr Colour kLoop{238, 178, 66, 255};
constexpr Colour kPlayhead{255, 255, 255, 255};
constexpr Colour kPlaying{132, 206, 152, 255};
constexpr Colour kPaused{226, 186, 112, 255};
constexpr Colour kReloadOk{126, 212, 146, 255};
constexpr Colour kReloadFailed{255, 122, 110, 255};
constexpr Colour kErrorPanel{24, 11, 13, 238};
constexpr Colour kErrorFrame{220, 62, 56, 255};
constexpr Colour kErrorWhere{255, 150, 138, 255};
constexpr Colour kErrorLine{120, 30, 32, 200};
// The sections' bands, one after the other.
constexpr Colour kSections[] = {{70, 102, 150, 176}, {58, 124, 118, 176}, {118, 96, 148, 176},
                                {146, 100, 70, 176}, {100, 120, 70, 176}, {84, 108, 128, 176}};

// ---- Rectangles and the picture ----

// Pixels [x0, x1) x [y0, y1).
struct Rect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    bool Empty() const { return x1 <= x0 || y1 <= y0; }
    int Width() const { return x1 - x0; }
    int Height() const { return y1 - y0; }
    Rect Inset(int d) const { return Rect{x0 + d, y0 + d, x1 - d, y1 - d}; }
    Rect Clipped(const Rect& r) const
    {
        return Rect{std::max(x0, r.x0), std::max(y0, r.y0), std::min(x1, r.x1), std::min(y1, r.y1)};
    }
};

// The B, G, R, A picture Raster fills, with straight-alpha "over" blending.
class Canvas {
public:
    Canvas(std::uint8_t* bgra, int width, int height) : bgra(bgra), width(width), height(height) {}

    Rect Whole() const { return Rect{0, 0, width, height}; }

    // `c` over the pixel with c's opacity scaled by coverage (0..255).
    void Blend(int x, int y, Colour c, int coverage)
    {
        const int sa = c.a * coverage / 255;
        if (sa <= 0)
            return;
        std::uint8_t* p = bgra + (static_cast<std::size_t>(y) * width + x) * 4;
        const int da = p[3];
        if (sa == 255 || da == 0) {
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
            p[3] = static_cast<std::uint8_t>(sa);
            return;
        }
        // out = src * sa + dst * da * (1 - sa), divided by the resulting opacity.
        const int keep = da * (255 - sa);
        const int total = sa * 255 + keep;
        const auto mix = [&](int s, int d) {
            return static_cast<std::uint8_t>((s * sa * 255 + d * keep + total / 2) / total);
        };
        p[0] = mix(c.b, p[0]);
        p[1] = mix(c.g, p[1]);
        p[2] = mix(c.r, p[2]);
        p[3] = static_cast<std::uint8_t>((total + 127) / 255);
    }

    void Fill(const Rect& r, Colour c)
    {
        const Rect area = r.Clipped(Whole());
        for (int y = area.y0; y < area.y1; ++y)
            for (int x = area.x0; x < area.x1; ++x)
                Blend(x, y, c, 255);
    }

    // A filled rectangle with corners rounded to `radius` pixels, their edges antialiased.
    void FillRounded(const Rect& r, int radius, Colour c)
    {
        radius = std::min({radius, r.Width() / 2, r.Height() / 2});
        const Rect area = r.Clipped(Whole());
        for (int y = area.y0; y < area.y1; ++y) {
            for (int x = area.x0; x < area.x1; ++x) {
                // The distance past the corner's circle, for pixels in a corner square.
                const double cx = x < r.x0 + radius ? r.x0 + radius : (x >= r.x1 - radius ? r.x1 - radius : x + 0.5);
                const double cy = y < r.y0 + radius ? r.y0 + radius : (y >= r.y1 - radius ? r.y1 - radius : y + 0.5);
                const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
                const double cover = std::clamp(radius - d + 0.5, 0.0, 1.0);
                if (radius == 0 || cover >= 1.0)
                    Blend(x, y, c, 255);
                else if (cover > 0.0)
                    Blend(x, y, c, static_cast<int>(cover * 255.0 + 0.5));
            }
        }
    }

    // The rectangle's border, `thickness` pixels wide, inside it.
    void Frame(const Rect& r, int thickness, Colour c)
    {
        Fill(Rect{r.x0, r.y0, r.x1, r.y0 + thickness}, c);
        Fill(Rect{r.x0, r.y1 - thickness, r.x1, r.y1}, c);
        Fill(Rect{r.x0, r.y0 + thickness, r.x0 + thickness, r.y1 - thickness}, c);
        Fill(Rect{r.x1 - thickness, r.y0 + thickness, r.x1, r.y1 - thickness}, c);
    }

    // A triangle pointing down whose top edge is `half` pixels either side of column x + 0.5.
    void TriangleDown(int x, int top, int half, Colour c)
    {
        for (int row = 0; row < half; ++row)
            Fill(Rect{x - (half - row) + 1, top + row, x + (half - row), top + row + 1}, c);
    }

private:
    std::uint8_t* bgra;
    int width;
    int height;
};

// ---- Layout ----

// Where everything goes in a picture of a given size, shared by Raster and StripTime. Sizes follow
// the picture's height (1 at 720 rows) with floors that keep text legible on small pictures.
struct Layout {
    double scale = 1.0;
    int margin = 12; // from the picture's edges and between panels
    int pad = 10;    // inside panels
    int sansPx = 14;
    int monoPx = 13;
    int clockPx = 20;
    int labelPx = 13; // section names on the strip
    int radius = 4;   // panels' corners
    Rect strip;       // the timeline: the whole width along the bottom
    // Times 0...length map onto [trackLeft, trackRight).
    int trackLeft = 0;
    int trackRight = 0;
    int bandTop = 0, bandBottom = 0;   // the sections' bands
    int rulerTop = 0, rulerBottom = 0; // bar lines and scene switches
};

Layout MakeLayout(unsigned width, unsigned height)
{
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    Layout l;
    l.scale = h / 720.0;
    const auto scaled = [&](double at720, int least) { return std::max(least, static_cast<int>(std::lround(at720 * l.scale))); };
    l.margin = scaled(12, 6);
    l.pad = scaled(10, 5);
    l.sansPx = scaled(14, 11);
    l.monoPx = scaled(13, 10);
    l.clockPx = scaled(20, 13);
    l.radius = scaled(5, 2);
    const int stripHeight = std::min(h, std::max(22, static_cast<int>(std::lround(0.08 * h))));
    l.strip = Rect{0, h - stripHeight, w, h};
    l.trackLeft = std::min(l.margin, w / 4);
    l.trackRight = std::max(l.trackLeft + 1, w - l.trackLeft);
    const int inner = std::max(1, static_cast<int>(std::lround(stripHeight * 0.1)));
    l.bandTop = l.strip.y0 + inner;
    l.bandBottom = l.bandTop + static_cast<int>(std::lround(stripHeight * 0.5));
    l.rulerTop = l.bandBottom + std::max(1, inner / 2);
    l.rulerBottom = h - inner;
    l.labelPx = std::clamp(static_cast<int>(std::lround((l.bandBottom - l.bandTop) * 0.6)), 10, l.sansPx);
    return l;
}

// The strip's x (in pixels, fractional) of a time of the show.
double TimeToX(const Layout& l, double length, double time)
{
    const double span = l.trackRight - l.trackLeft;
    if (!(length > 0.0))
        return l.trackLeft;
    return l.trackLeft + std::clamp(time / length, 0.0, 1.0) * span;
}

// The time under the centre of pixel column x, clamped to 0...length.
double XToTime(const Layout& l, double length, int x)
{
    if (!(length > 0.0))
        return 0.0;
    const double span = l.trackRight - l.trackLeft;
    return std::clamp((x + 0.5 - l.trackLeft) / span * length, 0.0, length);
}

// The pixel column a line at that time starts on.
int TimeColumn(const Layout& l, double length, double time)
{
    return std::min(static_cast<int>(std::floor(TimeToX(l, length, time))), l.trackRight - 1);
}

// ---- Text ----

std::vector<char32_t> DecodeUtf8(const std::string& text)
{
    std::vector<char32_t> out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int extra = byte < 0x80 ? 0 : byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : -1;
        if (extra < 0 || (extra > 0 && i + extra >= text.size())) {
            // A stray continuation byte or a sequence cut short: one replacement character.
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t code = extra == 0 ? byte : byte & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = valid && (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        out.push_back(valid ? code : 0xFFFD);
        i += valid ? extra + 1 : 1;
    }
    return out;
}

// Tabs as spaces to the next multiple of four, for source lines.
std::string ExpandTabs(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\t')
            out.append(4 - out.size() % 4, ' ');
        else if (c != '\r' && c != '\n')
            out.push_back(c);
    }
    return out;
}

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

enum FontId { kSans = 0, kMono = 1 };

struct Font {
    std::vector<unsigned char> data; // stbtt_fontinfo points into it
    stbtt_fontinfo info{};
    int ascent = 0, descent = 0, lineGap = 0; // font units
};

void LoadFont(Font& font, const std::string& path)
{
    font.data = ReadWholeFile(path);
    // stb_truetype reads the tables where the file says they are: a file shorter than a font's
    // header is refused before it looks.
    const int offset = font.data.size() < 12 ? -1 : stbtt_GetFontOffsetForIndex(font.data.data(), 0);
    if (offset < 0 || !stbtt_InitFont(&font.info, font.data.data(), offset))
        throw std::runtime_error("\"" + path + "\" is not a TrueType font");
    stbtt_GetFontVMetrics(&font.info, &font.ascent, &font.descent, &font.lineGap);
}

// A glyph rendered at one size and one of four sub-pixel offsets: its coverage and where it sits
// relative to the pen (the baseline at y 0).
struct Glyph {
    int index = 0;
    int x0 = 0, y0 = 0, width = 0, height = 0;
    double advance = 0.0;
    std::vector<std::uint8_t> coverage;
};

constexpr int kSubpixels = 4;

// One run of text in one colour.
struct Run {
    std::string text;
    Colour colour;
};

} // namespace

struct StudioOverlay::Impl {
    Font fonts[2];
    std::unordered_map<std::uint64_t, Glyph> glyphs;

    // Device objects.
    IDirect3DTexture9* texture = nullptr;
    unsigned textureWidth = 0, textureHeight = 0;
    bool textureCurrent = false; // the texture holds `picture`
    ID3DXEffect* effect = nullptr;
    IDirect3DVertexDeclaration9* declaration = nullptr;

    // The last raster Draw made and what it showed.
    bool rastered = false;
    OverlayModel shown;
    unsigned shownWidth = 0, shownHeight = 0;
    std::vector<std::uint8_t> picture;

    double Scale(FontId font, int px) const { return stbtt_ScaleForMappingEmToPixels(&fonts[font].info, px); }
    int Ascent(FontId font, int px) const { return static_cast<int>(std::lround(fonts[font].ascent * Scale(font, px))); }
    int LineHeight(FontId font, int px) const
    {
        const Font& f = fonts[font];
        return static_cast<int>(std::lround((f.ascent - f.descent + f.lineGap) * Scale(font, px)));
    }

    const Glyph& GlyphOf(FontId font, int px, char32_t code, int subpixel)
    {
        const std::uint64_t key = (std::uint64_t{static_cast<unsigned>(font)} << 60) |
                                  (std::uint64_t{static_cast<unsigned>(px)} << 32) |
                                  (std::uint64_t{static_cast<unsigned>(subpixel)} << 24) | code;
        auto found = glyphs.find(key);
        if (found != glyphs.end())
            return found->second;
        const stbtt_fontinfo& info = fonts[font].info;
        const float scale = static_cast<float>(Scale(font, px));
        const float shift = static_cast<float>(subpixel) / kSubpixels;
        Glyph g;
        g.index = stbtt_FindGlyphIndex(&info, static_cast<int>(code));
        int advance = 0, bearing = 0;
        stbtt_GetGlyphHMetrics(&info, g.index, &advance, &bearing);
        g.advance = advance * scale;
        int x1 = 0, y1 = 0;
        stbtt_GetGlyphBitmapBoxSubpixel(&info, g.index, scale, scale, shift, 0.0f, &g.x0, &g.y0, &x1, &y1);
        g.width = std::max(0, x1 - g.x0);
        g.height = std::max(0, y1 - g.y0);
        g.coverage.assign(static_cast<std::size_t>(g.width) * g.height, 0);
        if (!g.coverage.empty())
            stbtt_MakeGlyphBitmapSubpixel(&info, g.coverage.data(), g.width, g.height, g.width, scale, scale, shift,
                                          0.0f, g.index);
        return glyphs.emplace(key, std::move(g)).first->second;
    }

    // The width of the text in pixels, kerning included.
    double TextWidth(FontId font, int px, const std::string& text)
    {
        double pen = 0.0;
        int previous = 0;
        for (char32_t code : DecodeUtf8(text)) {
            const Glyph& g = GlyphOf(font, px, code, 0);
            if (previous)
                pen += stbtt_GetGlyphKernAdvance(&fonts[font].info, previous, g.index) * Scale(font, px);
            pen += g.advance;
            previous = g.index;
        }
        return pen;
    }

    // Draws the text with its pen starting at x on the baseline, nothing outside `clip`; returns
    // the pen's x after it.
    double DrawText(Canvas& canvas, FontId font, int px, double x, int baseline, const std::string& text, Colour colour,
                    const Rect& clip)
    {
        const Rect area = clip.Clipped(canvas.Whole());
        int previous = 0;
        for (char32_t code : DecodeUtf8(text)) {
            const int index = GlyphOf(font, px, code, 0).index;
            if (previous)
                x += stbtt_GetGlyphKernAdvance(&fonts[font].info, previous, index) * Scale(font, px);
            const int whole = static_cast<int>(std::floor(x));
            const int subpixel = std::min(kSubpixels - 1, static_cast<int>((x - whole) * kSubpixels));
            const Glyph& g = GlyphOf(font, px, code, subpixel);
            for (int gy = 0; gy < g.height; ++gy) {
                const int y = baseline + g.y0 + gy;
                if (y < area.y0 || y >= area.y1)
                    continue;
                for (int gx = 0; gx < g.width; ++gx) {
                    const int px0 = whole + g.x0 + gx;
                    if (px0 < area.x0 || px0 >= area.x1)
                        continue;
                    const int cover = g.coverage[static_cast<std::size_t>(gy) * g.width + gx];
                    if (cover)
                        canvas.Blend(px0, y, colour, cover);
                }
            }
            x += g.advance;
            previous = g.index;
        }
        return x;
    }

    double DrawRuns(Canvas& canvas, FontId font, int px, double x, int baseline, const std::vector<Run>& runs,
                    const Rect& clip)
    {
        for (const Run& run : runs)
            x = DrawText(canvas, font, px, x, baseline, run.text, run.colour, clip);
        return x;
    }

    // The text broken at spaces into lines no wider than maxWidth (a word wider than that alone
    // on its line, cut by the clip when drawn).
    std::vector<std::string> Wrap(FontId font, int px, const std::string& text, double maxWidth)
    {
        std::vector<std::string> lines;
        std::string line;
        std::size_t at = 0;
        while (at <= text.size()) {
            std::size_t end = text.find(' ', at);
            if (end == std::string::npos)
                end = text.size();
            const std::string word = text.substr(at, end - at);
            const std::string longer = line.empty() ? word : line + " " + word;
            if (!line.empty() && TextWidth(font, px, longer) > maxWidth) {
                lines.push_back(line);
                line = word;
            } else {
                line = longer;
            }
            at = end + 1;
        }
        lines.push_back(line);
        return lines;
    }

    void DrawStrip(Canvas& canvas, const OverlayModel& model, const Layout& l);
    Rect DrawInfoPanel(Canvas& canvas, const OverlayModel& model, const Layout& l);
    Rect DrawReload(Canvas& canvas, const OverlayModel& model, const Layout& l);
    Rect DrawHelp(Canvas& canvas, const OverlayModel& model, const Layout& l, const Rect& info);
    Rect DrawPasses(Canvas& canvas, const OverlayModel& model, const Layout& l, const Rect& info, const Rect& above);
    void DrawErrors(Canvas& canvas, const OverlayModel& model, const Layout& l, const std::vector<Rect>& panels,
                    const Rect& reload);

    void MakeDeviceObjects(IDirect3DDevice9* device, unsigned width, unsigned height);
    bool Upload();
    void ReleaseDeviceObjects();
};

namespace {

bool SameSections(const std::vector<OverlayModel::Section>& a, const std::vector<OverlayModel::Section>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.name == y.name && x.start == y.start && x.end == y.end;
    });
}

bool SameErrors(const std::vector<OverlayModel::Error>& a, const std::vector<OverlayModel::Error>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.where == y.where && x.message == y.message && x.lines == y.lines;
    });
}

// Whether two models draw the same picture: every value compared.
bool SameModel(const OverlayModel& a, const OverlayModel& b)
{
    return a.visible == b.visible && a.help == b.help && a.length == b.length && SameSections(a.sections, b.sections) &&
           a.bars == b.bars && a.sceneSwitches == b.sceneSwitches && a.loop == b.loop && a.loopStart == b.loopStart &&
           a.loopEnd == b.loopEnd && a.loopStartOnly == b.loopStartOnly && a.time == b.time && a.clock == b.clock &&
           a.transport == b.transport && a.scene == b.scene && a.camera == b.camera && a.tracks == b.tracks &&
           a.frameMs == b.frameMs && a.reload == b.reload && a.reloadOk == b.reloadOk &&
           SameErrors(a.errors, b.errors) && a.helpLines == b.helpLines && a.passes == b.passes &&
           a.passLines == b.passLines;
}

// A full-screen pass blending the overlay's texture over the target. The quad's corners are
// (+-1, +-1), moved half a pixel up and left as the show's screen quads are (Direct3D 9 samples
// pixels at their integer coordinates), so that every texel lands on its own pixel; uv (0, 0) is
// the top-left corner, the picture's first row.
const char* const kOverlayEffect = R"(
float2 TargetPixel = {0.0, 0.0};
texture Picture;
sampler2D PictureSampler = sampler_state {
    Texture = <Picture>; MinFilter = POINT; MagFilter = POINT; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};

vertexshader ScreenVS {
    in vec4 POSITION0;
    out vec2 uv;
    void main()
    {
        vec2 corner = sign(POSITION0.xy);
        gl_Position = vec4(corner - TargetPixel, 0.0, 1.0);
        uv = vec2(corner.x * 0.5 + 0.5, 0.5 - corner.y * 0.5);
    }
}

pixelshader OverlayPS {
    in vec2 uv;
    out vec4 COLOR0;
    void main() { COLOR0 = texture(PictureSampler, uv); }
}

technique Overlay {
    pass P0 {
        ZEnable = FALSE; ZWriteEnable = FALSE; CullMode = NONE; FillMode = SOLID; StencilEnable = FALSE;
        ScissorTestEnable = FALSE; AlphaTestEnable = FALSE; SRGBWriteEnable = FALSE;
        ColorWriteEnable = RED | GREEN | BLUE | ALPHA;
        AlphaBlendEnable = TRUE; BlendOp = ADD; SrcBlend = SRCALPHA; DestBlend = INVSRCALPHA;
        SeparateAlphaBlendEnable = TRUE; SrcBlendAlpha = ZERO; DestBlendAlpha = ONE;
        VertexShader = ScreenVS; PixelShader = OverlayPS;
    }
}
)";

const D3DVERTEXELEMENT9 kCornerElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};

} // namespace

// ---- The picture ----

void StudioOverlay::Impl::DrawStrip(Canvas& canvas, const OverlayModel& model, const Layout& l)
{
    const double length = model.length;
    const Rect& strip = l.strip;
    canvas.Fill(strip, kStrip);
    canvas.Fill(Rect{strip.x0, strip.y0, strip.x1, strip.y0 + 1}, kPanelEdge);
    const int line = std::max(1, static_cast<int>(std::lround(2 * l.scale))); // bold lines' width

    // The sections: a coloured band each, its name inside it.
    const int ascent = Ascent(kSans, l.labelPx);
    const int labelBaseline = l.bandTop + (l.bandBottom - l.bandTop - LineHeight(kSans, l.labelPx)) / 2 + ascent;
    for (std::size_t i = 0; i < model.sections.size(); ++i) {
        const OverlayModel::Section& section = model.sections[i];
        const int x0 = TimeColumn(l, length, std::min(section.start, section.end));
        const int x1 = TimeColumn(l, length, std::max(section.start, section.end));
        if (x1 <= x0)
            continue;
        const Rect band{x0, l.bandTop, x1 - 1, l.bandBottom}; // a pixel's gap to the next band
        const Colour colour = kSections[i % (sizeof kSections / sizeof kSections[0])];
        canvas.Fill(band, colour);
        canvas.Fill(Rect{band.x0, band.y0, std::min(band.x1, band.x0 + line), band.y1}, Faded(colour, 255));
        const int inset = std::max(3, l.pad / 2) + line;
        DrawText(canvas, kSans, l.labelPx, band.x0 + inset, labelBaseline, section.name, kText,
                 Rect{band.x0 + inset, band.y0, band.x1 - 2, band.y1});
    }

    // Bar lines under the bands; where bars crowd, only those a few pixels from the last drawn.
    int lastBar = -1000;
    for (double bar : model.bars) {
        const int x = TimeColumn(l, length, bar);
        if (x - lastBar < 4)
            continue;
        canvas.Fill(Rect{x, l.rulerTop, x + 1, l.rulerBottom}, kBar);
        lastBar = x;
    }

    // Scene switches: a bright tick through the ruler, faint through the band above it.
    for (double at : model.sceneSwitches) {
        const int x = TimeColumn(l, length, at);
        canvas.Fill(Rect{x, l.bandTop, x + 1, l.rulerTop}, Faded(kSceneSwitch, 90));
        canvas.Fill(Rect{x - (line - 1) / 2, l.rulerTop, x - (line - 1) / 2 + line, l.rulerBottom}, kSceneSwitch);
    }

    // The loop: the span between its ends highlighted with edges, or its start alone as a flag.
    if (model.loop || model.loopStartOnly) {
        const int from = TimeColumn(l, length, model.loopStartOnly ? model.loopStart : std::min(model.loopStart, model.loopEnd));
        const int flag = std::max(5, static_cast<int>(std::lround(9 * l.scale)));
        if (model.loopStartOnly) {
            canvas.Fill(Rect{from, strip.y0 + 1, from + line, strip.y1}, kLoop);
            for (int row = 0; row < flag; ++row)
                canvas.Fill(Rect{from + line, strip.y0 + 1 + row, from + line + flag - std::abs(2 * row - flag + 1) / 2,
                                 strip.y0 + 2 + row},
                            kLoop);
        } else {
            // A bar along the strip's top and a tint under the bands, so that the sections keep
            // their colours, between two edges the strip's height.
            const int to = TimeColumn(l, length, std::max(model.loopStart, model.loopEnd));
            const int bar = std::max(2, static_cast<int>(std::lround(3 * l.scale)));
            canvas.Fill(Rect{from, strip.y0 + 1, to + 1, strip.y0 + 1 + bar}, Faded(kLoop, 220));
            canvas.Fill(Rect{from, l.bandBottom, to + 1, strip.y1}, Faded(kLoop, 56));
            canvas.Fill(Rect{from, strip.y0 + 1, from + line, strip.y1}, Faded(kLoop, 230));
            canvas.Fill(Rect{to + 1 - line, strip.y0 + 1, to + 1, strip.y1}, Faded(kLoop, 230));
        }
    }

    // The playhead, over everything: a line the strip's height with a cap at its top.
    const int x = TimeColumn(l, length, model.time);
    const int left = x - line / 2;
    canvas.Fill(Rect{left, strip.y0, left + line, strip.y1}, kPlayhead);
    canvas.TriangleDown(left + line / 2, strip.y0, std::max(3, static_cast<int>(std::lround(6 * l.scale))), kPlayhead);
}

Rect StudioOverlay::Impl::DrawInfoPanel(Canvas& canvas, const OverlayModel& model, const Layout& l)
{
    // Lines of text, each a font, a size and coloured runs, measured before the panel is drawn.
    struct Line {
        FontId font;
        int px;
        std::vector<Run> runs;
        int gapBefore = 0;
    };
    std::vector<Line> header;
    if (!model.clock.empty())
        header.push_back({kSans, l.clockPx, {{model.clock, kText}}});
    if (!model.transport.empty()) {
        const bool paused = model.transport.rfind("paused", 0) == 0;
        header.push_back({kSans, l.sansPx, {{model.transport, paused ? kPaused : kPlaying}}});
    }
    // Name and value pairs with the values in one column.
    const std::pair<std::string, std::string> facts[] = {
        {"scene", model.scene}, {"camera", model.camera}, {"frame", Format("%.1f ms", model.frameMs)}};
    double labelWidth = 0.0;
    for (const auto& [name, value] : facts)
        labelWidth = std::max(labelWidth, TextWidth(kSans, l.sansPx, name));
    const double valueX = std::ceil(labelWidth) + l.pad;

    // The tracks in the monospace font, "name = value" with the names padded and the values
    // right-aligned, in as many columns as the height above the strip needs.
    std::size_t nameChars = 0, valueChars = 0;
    std::vector<std::string> values;
    for (const auto& [name, value] : model.tracks) {
        values.push_back(Format("%.3f", value));
        nameChars = std::max(nameChars, DecodeUtf8(name).size());
        valueChars = std::max(valueChars, values.back().size());
    }
    const double monoAdvance = TextWidth(kMono, l.monoPx, "0");
    const int monoLine = LineHeight(kMono, l.monoPx);
    const int sansLine = LineHeight(kSans, l.sansPx);
    const double trackWidth = monoAdvance * static_cast<double>(nameChars + 3 + valueChars);

    double width = valueX + 0.0;
    int height = 0;
    const int headerGap = std::max(1, l.pad / 4);
    for (const Line& line : header) {
        double w = 0.0;
        for (const Run& run : line.runs)
            w += TextWidth(line.font, line.px, run.text);
        width = std::max(width, w);
        height += LineHeight(line.font, line.px) + headerGap;
    }
    for (const auto& [name, value] : facts)
        width = std::max(width, valueX + TextWidth(kSans, l.sansPx, value));
    const int factsTop = height + (header.empty() ? 0 : l.pad / 2);
    height = factsTop + 3 * sansLine;

    const int top = l.margin;
    const int bottom = l.strip.y0 - l.margin - sansLine - l.pad; // the reload line sits above the strip
    int columns = 0, rows = 0;
    const int tracksTop = height + l.pad;
    if (!model.tracks.empty()) {
        const int room = std::max(monoLine, bottom - top - 2 * l.pad - tracksTop);
        rows = std::max(1, room / monoLine);
        const int columnGap = 2 * l.pad;
        const int maxColumns = std::max(1, static_cast<int>((canvas.Whole().x1 / 2 + columnGap) / (trackWidth + columnGap)));
        columns = std::min(maxColumns, static_cast<int>((model.tracks.size() + rows - 1) / rows));
        rows = std::min<int>(rows, static_cast<int>((model.tracks.size() + columns - 1) / columns));
        width = std::max(width, columns * trackWidth + (columns - 1) * columnGap);
        height = tracksTop + rows * monoLine;
    }

    const Rect panel{l.margin, top, l.margin + static_cast<int>(std::ceil(width)) + 2 * l.pad,
                     top + height + 2 * l.pad};
    canvas.FillRounded(panel, l.radius, kPanel);
    const Rect clip = panel.Inset(l.pad / 2);
    const int x = panel.x0 + l.pad;
    int y = panel.y0 + l.pad;
    for (const Line& line : header) {
        DrawRuns(canvas, line.font, line.px, x, y + Ascent(line.font, line.px), line.runs, clip);
        y += LineHeight(line.font, line.px) + headerGap;
    }
    y = panel.y0 + l.pad + factsTop;
    for (const auto& [name, value] : facts) {
        DrawText(canvas, kSans, l.sansPx, x, y + Ascent(kSans, l.sansPx), name, kDim, clip);
        DrawText(canvas, kSans, l.sansPx, x + valueX, y + Ascent(kSans, l.sansPx), value, kText, clip);
        y += sansLine;
    }
    if (columns > 0) {
        const int ruleY = panel.y0 + l.pad + tracksTop - l.pad / 2 - 1;
        canvas.Fill(Rect{x, ruleY, panel.x1 - l.pad, ruleY + 1}, kPanelEdge);
        const std::size_t shown = static_cast<std::size_t>(rows) * columns;
        for (std::size_t i = 0; i < model.tracks.size() && i < shown; ++i) {
            const int column = static_cast<int>(i) / rows;
            const int row = static_cast<int>(i) % rows;
            const double left = x + column * (trackWidth + 2 * l.pad);
            const int baseline = panel.y0 + l.pad + tracksTop + row * monoLine + Ascent(kMono, l.monoPx);
            const std::string& name = model.tracks[i].first;
            std::string text = name + std::string(nameChars - DecodeUtf8(name).size(), ' ') + " = ";
            std::string value = std::string(valueChars - values[i].size(), ' ') + values[i];
            const bool last = i + 1 == shown && shown < model.tracks.size();
            if (last) {
                // No room for the rest: the last place says how many are left out.
                text = "+" + std::to_string(model.tracks.size() - shown + 1) + " more";
                value.clear();
            }
            const double after = DrawText(canvas, kMono, l.monoPx, left, baseline, text, kDim, clip);
            DrawText(canvas, kMono, l.monoPx, after, baseline, value, kText, clip);
        }
    }
    return panel;
}

Rect StudioOverlay::Impl::DrawReload(Canvas& canvas, const OverlayModel& model, const Layout& l)
{
    if (model.reload.empty())
        return Rect{};
    const int line = LineHeight(kSans, l.sansPx);
    const int inner = std::max(3, l.pad / 2);
    const int width = static_cast<int>(std::ceil(TextWidth(kSans, l.sansPx, model.reload)));
    const int bottom = l.strip.y0 - std::max(3, l.margin / 2);
    const Rect pill{l.margin, bottom - line - inner, std::min(canvas.Whole().x1 - l.margin, l.margin + width + 2 * l.pad),
                    bottom};
    canvas.FillRounded(pill, l.radius, kPanel);
    const Colour colour = model.reloadOk ? kReloadOk : kReloadFailed;
    DrawText(canvas, kSans, l.sansPx, pill.x0 + l.pad, pill.y0 + inner / 2 + Ascent(kSans, l.sansPx), model.reload,
             colour, pill.Inset(2));
    return pill;
}

Rect StudioOverlay::Impl::DrawHelp(Canvas& canvas, const OverlayModel& model, const Layout& l, const Rect& info)
{
    const int sansLine = LineHeight(kSans, l.sansPx);
    const int monoLine = LineHeight(kMono, l.monoPx);
    double width = TextWidth(kSans, l.sansPx, "Keys");
    for (const std::string& line : model.helpLines)
        width = std::max(width, TextWidth(kMono, l.monoPx, line));
    const Rect whole = canvas.Whole();
    const int panelWidth = std::min(whole.x1 - 2 * l.margin, static_cast<int>(std::ceil(width)) + 2 * l.pad);
    const int panelHeight = std::min(l.strip.y0 - 2 * l.margin,
                                     2 * l.pad + sansLine + l.pad / 2 + static_cast<int>(model.helpLines.size()) * monoLine);
    // Top right, beside the information; centred over the picture when there is no room there.
    Rect panel{whole.x1 - l.margin - panelWidth, l.margin, whole.x1 - l.margin, l.margin + panelHeight};
    if (panel.x0 < info.x1 + l.margin) {
        const int x0 = (whole.x1 - panelWidth) / 2;
        const int y0 = std::max(l.margin, (l.strip.y0 - panelHeight) / 2);
        panel = Rect{x0, y0, x0 + panelWidth, y0 + panelHeight};
    }
    canvas.FillRounded(panel, l.radius, Faded(kPanel, 230));
    const Rect clip = panel.Inset(l.pad / 2);
    const int x = panel.x0 + l.pad;
    int y = panel.y0 + l.pad;
    DrawText(canvas, kSans, l.sansPx, x, y + Ascent(kSans, l.sansPx), "Keys", kDim, clip);
    y += sansLine + l.pad / 2;
    for (const std::string& line : model.helpLines) {
        if (y + monoLine > panel.y1 - l.pad / 2)
            break;
        DrawText(canvas, kMono, l.monoPx, x, y + Ascent(kMono, l.monoPx), ExpandTabs(line), kText, clip);
        y += monoLine;
    }
    return panel;
}

Rect StudioOverlay::Impl::DrawPasses(Canvas& canvas, const OverlayModel& model, const Layout& l, const Rect& info,
                                     const Rect& above)
{
    const int sansLine = LineHeight(kSans, l.sansPx);
    const int monoLine = LineHeight(kMono, l.monoPx);
    const std::string title = "Passes";
    double width = TextWidth(kSans, l.sansPx, title);
    for (const std::string& line : model.passLines)
        width = std::max(width, TextWidth(kMono, l.monoPx, line));
    const Rect whole = canvas.Whole();
    const int panelWidth = std::min(whole.x1 - 2 * l.margin, static_cast<int>(std::ceil(width)) + 2 * l.pad);
    const int lines = std::max<int>(1, static_cast<int>(model.passLines.size()));
    const int top = above.Empty() ? l.margin : above.y1 + l.margin;
    const int panelHeight = std::min(l.strip.y0 - l.margin - top, 2 * l.pad + sansLine + l.pad / 2 + lines * monoLine);
    if (panelHeight <= 2 * l.pad)
        return Rect{};
    // Top right, below the help when it shows; below the information when there is no room beside it.
    Rect panel{whole.x1 - l.margin - panelWidth, top, whole.x1 - l.margin, top + panelHeight};
    if (panel.x0 < info.x1 + l.margin && panel.y0 < info.y1 + l.margin) {
        const int y0 = std::max(top, info.y1 + l.margin);
        panel = Rect{panel.x0, y0, panel.x1, std::min(l.strip.y0 - l.margin, y0 + panelHeight)};
    }
    canvas.FillRounded(panel, l.radius, Faded(kPanel, 230));
    const Rect clip = panel.Inset(l.pad / 2);
    const int x = panel.x0 + l.pad;
    int y = panel.y0 + l.pad;
    DrawText(canvas, kSans, l.sansPx, x, y + Ascent(kSans, l.sansPx), title, kDim, clip);
    y += sansLine + l.pad / 2;
    const std::vector<std::string> waiting = {"waiting for the GPU's times"};
    for (const std::string& line : model.passLines.empty() ? waiting : model.passLines) {
        if (y + monoLine > panel.y1 - l.pad / 2)
            break;
        DrawText(canvas, kMono, l.monoPx, x, y + Ascent(kMono, l.monoPx), line, kText, clip);
        y += monoLine;
    }
    return panel;
}

void StudioOverlay::Impl::DrawErrors(Canvas& canvas, const OverlayModel& model, const Layout& l,
                                     const std::vector<Rect>& panels, const Rect& reload)
{
    const Rect whole = canvas.Whole();
    const int frame = std::max(2, static_cast<int>(std::lround(2 * l.scale)));
    const int inner = l.pad + frame;
    const int sansLine = LineHeight(kSans, l.sansPx);
    const int monoLine = LineHeight(kMono, l.monoPx);
    const std::string title = model.errors.size() == 1 ? "1 error" : std::to_string(model.errors.size()) + " errors";

    // The panel is as wide as its longest line, at least half the picture and at most all of it
    // less the margins; messages wrap, source lines are cut at the frame.
    double widest = TextWidth(kSans, l.sansPx, title);
    for (const OverlayModel::Error& error : model.errors)
        for (const std::string& line : error.lines)
            widest = std::max(widest, TextWidth(kMono, l.monoPx, ExpandTabs(line)));
    const int maxWidth = whole.x1 - 2 * l.margin;
    const int panelWidth = std::clamp(static_cast<int>(std::ceil(widest)) + 2 * inner, std::min(maxWidth, whole.x1 / 2), maxWidth);
    const double textWidth = panelWidth - 2 * inner;

    // What goes in: per error its wrapped "where: message" lines, then its source lines.
    struct Item {
        bool source;
        bool marked; // the line the error is on
        std::string text;
        std::size_t whereChars = 0; // the leading characters that are the error's place
    };
    std::vector<Item> items;
    for (const OverlayModel::Error& error : model.errors) {
        const std::string head = error.where.empty() ? error.message : error.where + ": " + error.message;
        const std::vector<std::string> wrapped = Wrap(kSans, l.sansPx, head, textWidth);
        std::size_t where = error.where.empty() ? 0 : error.where.size() + 1;
        for (const std::string& line : wrapped) {
            items.push_back({false, false, line, std::min(where, line.size())});
            where = where > line.size() ? where - line.size() - 1 : 0;
        }
        for (const std::string& line : error.lines) {
            const std::string text = ExpandTabs(line);
            items.push_back({true, !text.empty() && text[0] == '>', text});
        }
    }

    const int gap = l.pad / 2; // between one error and the next
    // Between the top and the reload line (or the strip).
    const int areaTop = l.margin;
    const int areaBottom = (reload.Empty() ? l.strip.y0 : reload.y0) - l.margin;
    const int available = areaBottom - areaTop;
    int contentHeight = sansLine + gap;
    for (std::size_t i = 0; i < items.size(); ++i)
        contentHeight += (items[i].source ? monoLine : sansLine) + (i > 0 && !items[i].source && items[i - 1].source ? gap : 0);
    const int panelHeight = std::min(available, contentHeight + 2 * inner);
    // In the middle where that covers no other panel; else below one of them, or beside one, in
    // the first place that covers none. Where there is no such place it covers them.
    const int centreX = (whole.x1 - panelWidth) / 2;
    const int centreY = std::max(areaTop, areaTop + (available - panelHeight) / 2);
    std::vector<std::pair<int, int>> places = {{centreX, centreY}};
    for (const Rect& other : panels)
        places.emplace_back(centreX, std::max(centreY, other.y1 + l.margin));
    for (const Rect& other : panels)
        places.emplace_back(other.x1 + l.margin, centreY);
    const auto fits = [&](const std::pair<int, int>& place) {
        const Rect at{place.first, place.second, place.first + panelWidth, place.second + panelHeight};
        if (at.x1 > whole.x1 - l.margin || at.y1 > areaBottom)
            return false;
        return std::none_of(panels.begin(), panels.end(), [&](const Rect& other) { return !at.Clipped(other).Empty(); });
    };
    const auto place = std::find_if(places.begin(), places.end(), fits);
    const auto [x0, y0] = place != places.end() ? *place : places.front();
    const Rect panel{x0, y0, x0 + panelWidth, y0 + panelHeight};
    canvas.Fill(panel, kErrorPanel);
    canvas.Frame(panel, frame, kErrorFrame);

    const Rect clip = panel.Inset(frame + std::max(2, l.pad / 2));
    const int x = panel.x0 + inner;
    int y = panel.y0 + inner;
    DrawText(canvas, kSans, l.sansPx, x, y + Ascent(kSans, l.sansPx), title, kErrorFrame, clip);
    y += sansLine + gap;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        if (i > 0 && !item.source && items[i - 1].source)
            y += gap;
        const int lineHeight = item.source ? monoLine : sansLine;
        if (y + lineHeight > panel.y1 - inner + gap) {
            DrawText(canvas, kSans, l.sansPx, x, panel.y1 - inner + Ascent(kSans, l.sansPx) - sansLine + gap, "...", kDim,
                     clip);
            break;
        }
        if (item.source) {
            if (item.marked)
                canvas.Fill(Rect{panel.x0 + frame, y, panel.x1 - frame, y + monoLine}, kErrorLine);
            DrawText(canvas, kMono, l.monoPx, x, y + Ascent(kMono, l.monoPx), item.text, item.marked ? kText : kDim, clip);
        } else {
            const int baseline = y + Ascent(kSans, l.sansPx);
            const double after = DrawText(canvas, kSans, l.sansPx, x, baseline, item.text.substr(0, item.whereChars),
                                          kErrorWhere, clip);
            DrawText(canvas, kSans, l.sansPx, after, baseline, item.text.substr(item.whereChars), kText, clip);
        }
        y += lineHeight;
    }
}

// ---- The device side ----

void StudioOverlay::Impl::MakeDeviceObjects(IDirect3DDevice9* device, unsigned width, unsigned height)
{
    if (texture && (textureWidth != width || textureHeight != height)) {
        texture->Release();
        texture = nullptr;
    }
    if (!texture) {
        // Managed: the layer keeps the texels in memory, so a lock writes them and a reset keeps them.
        const HRESULT hr =
            device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
        if (hr != D3D_OK) {
            texture = nullptr;
            if (hr != D3DERR_DEVICELOST)
                throw std::runtime_error("the studio overlay cannot make its " + std::to_string(width) + "x" +
                                         std::to_string(height) + " texture (" + std::to_string(hr) + ")");
            return;
        }
        textureWidth = width;
        textureHeight = height;
        textureCurrent = false;
    }
    if (!effect) {
        ID3DXBuffer* errors = nullptr;
        const HRESULT hr = D3DXCreateEffect(device, kOverlayEffect, static_cast<UINT>(std::strlen(kOverlayEffect)),
                                            nullptr, nullptr, 0, nullptr, &effect, &errors);
        if (hr != D3D_OK) {
            std::string message = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
            if (errors)
                errors->Release();
            effect = nullptr;
            if (hr != D3DERR_DEVICELOST)
                throw std::runtime_error("the studio overlay's effect: " + message);
            return;
        }
    }
    if (!declaration && device->CreateVertexDeclaration(kCornerElements, &declaration) != D3D_OK)
        declaration = nullptr;
}

bool StudioOverlay::Impl::Upload()
{
    if (textureCurrent)
        return true;
    D3DLOCKED_RECT locked{};
    if (texture->LockRect(0, &locked, nullptr, 0) != D3D_OK)
        return false;
    // A8R8G8B8 texels are B, G, R, A bytes in memory, as the picture is.
    const std::size_t row = static_cast<std::size_t>(textureWidth) * 4;
    for (unsigned y = 0; y < textureHeight; ++y)
        std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + static_cast<std::size_t>(y) * locked.Pitch,
                    picture.data() + y * row, row);
    texture->UnlockRect(0);
    textureCurrent = true;
    return true;
}

void StudioOverlay::Impl::ReleaseDeviceObjects()
{
    if (effect) {
        effect->Release();
        effect = nullptr;
    }
    if (texture) {
        texture->Release();
        texture = nullptr;
    }
    if (declaration) {
        declaration->Release();
        declaration = nullptr;
    }
    textureWidth = textureHeight = 0;
    textureCurrent = false;
}

// ---- StudioOverlay ----

StudioOverlay::StudioOverlay() : StudioOverlay(kSansFont, kMonoFont) {}

StudioOverlay::StudioOverlay(const std::string& sansFont, const std::string& monoFont) : impl(new Impl)
{
    try {
        LoadFont(impl->fonts[kSans], sansFont);
        LoadFont(impl->fonts[kMono], monoFont);
    } catch (...) {
        delete impl;
        throw;
    }
}

StudioOverlay::~StudioOverlay()
{
    Release();
    delete impl;
}

void StudioOverlay::Raster(const OverlayModel& model, unsigned width, unsigned height, std::vector<std::uint8_t>& bgra)
{
    bgra.assign(static_cast<std::size_t>(width) * height * 4, 0);
    if (!model.visible || width == 0 || height == 0)
        return;
    Canvas canvas(bgra.data(), static_cast<int>(width), static_cast<int>(height));
    const Layout layout = MakeLayout(width, height);
    // Back to front: what matters most when things meet is drawn last.
    impl->DrawStrip(canvas, model, layout);
    const Rect reload = impl->DrawReload(canvas, model, layout);
    const Rect info = impl->DrawInfoPanel(canvas, model, layout);
    std::vector<Rect> panels = {info};
    Rect help;
    if (model.help) {
        help = impl->DrawHelp(canvas, model, layout, info);
        panels.push_back(help);
    }
    if (model.passes) {
        const Rect passes = impl->DrawPasses(canvas, model, layout, info, help);
        if (!passes.Empty())
            panels.push_back(passes);
    }
    if (!model.errors.empty())
        impl->DrawErrors(canvas, model, layout, panels, reload);
}

bool StudioOverlay::StripTime(const OverlayModel& model, unsigned width, unsigned height, int x, int y, double& time)
{
    if (width == 0 || height == 0)
        return false;
    const Layout layout = MakeLayout(width, height);
    if (x < layout.strip.x0 || x >= layout.strip.x1 || y < layout.strip.y0 || y >= layout.strip.y1)
        return false;
    time = XToTime(layout, model.length, x);
    return true;
}

void StudioOverlay::Draw(IDirect3DDevice9* device, const OverlayModel& model, unsigned width, unsigned height)
{
    if (!device || width == 0 || height == 0 || !model.visible)
        return;
    // The frame loop calls this every frame; the picture is made again only when it would change.
    if (!impl->rastered || impl->shownWidth != width || impl->shownHeight != height || !SameModel(model, impl->shown)) {
        Raster(model, width, height, impl->picture);
        impl->shown = model;
        impl->shownWidth = width;
        impl->shownHeight = height;
        impl->rastered = true;
        impl->textureCurrent = false;
    }
    impl->MakeDeviceObjects(device, width, height);
    if (!impl->texture || !impl->effect || !impl->declaration || !impl->Upload())
        return;

    // The pass sets and restores its render states, shaders, texture and sampler states; the
    // viewport, vertex declaration and stream 0 are put back here.
    IDirect3DSurface9* target = nullptr;
    if (device->GetRenderTarget(0, &target) != D3D_OK || !target)
        return;
    D3DSURFACE_DESC desc{};
    target->GetDesc(&desc);
    target->Release();
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    IDirect3DVertexDeclaration9* declaration = nullptr;
    device->GetVertexDeclaration(&declaration);
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT streamOffset = 0, streamStride = 0;
    device->GetStreamSource(0, &stream, &streamOffset, &streamStride);

    // Drawn inside a scene: its own when the caller has none open.
    const bool ownScene = device->BeginScene() == D3D_OK;
    const D3DVIEWPORT9 whole{0, 0, desc.Width, desc.Height, 0.0f, 1.0f};
    device->SetViewport(&whole);
    device->SetVertexDeclaration(impl->declaration);
    const float pixel[2] = {1.0f / static_cast<float>(desc.Width), -1.0f / static_cast<float>(desc.Height)};
    impl->effect->SetFloatArray("TargetPixel", pixel, 2);
    impl->effect->SetTexture("Picture", impl->texture);
    impl->effect->SetTechnique("Overlay");
    UINT passes = 0;
    if (impl->effect->Begin(&passes, 0) == D3D_OK) {
        const float corners[4][3] = {{-1.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 0.0f}, {-1.0f, -1.0f, 0.0f}, {1.0f, -1.0f, 0.0f}};
        for (UINT pass = 0; pass < passes; ++pass) {
            if (impl->effect->BeginPass(pass) != D3D_OK)
                continue;
            device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, corners, sizeof corners[0]);
            impl->effect->EndPass();
        }
        impl->effect->End();
    }
    if (ownScene)
        device->EndScene();

    device->SetStreamSource(0, stream, streamOffset, streamStride);
    if (stream)
        stream->Release();
    device->SetVertexDeclaration(declaration);
    if (declaration)
        declaration->Release();
    device->SetViewport(&viewport);
}

void StudioOverlay::Release()
{
    impl->ReleaseDeviceObjects();
}

std::vector<std::string> PassPanelLines(const PassFrame& frame)
{
    constexpr std::size_t kShown = 5;
    std::vector<std::string> lines;
    char line[256];
    const bool timed = frame.ms >= 0.0;
    if (timed)
        std::snprintf(line, sizeof line, "frame %.2f ms on the GPU, %zu passes", frame.ms, frame.passes.size());
    else
        std::snprintf(line, sizeof line, "%zu passes, no GPU times", frame.passes.size());
    lines.push_back(line);
    std::vector<std::size_t> shown;
    if (timed) {
        shown = HeaviestPasses(frame, kShown);
    } else {
        for (std::size_t i = 0; i < frame.passes.size() && i < kShown; ++i)
            shown.push_back(i);
    }
    for (std::size_t i : shown) {
        const PassRecord& pass = frame.passes[i];
        if (pass.ms >= 0.0)
            std::snprintf(line, sizeof line, "%7.2f ms  %s -> %s", pass.ms, pass.Name().c_str(),
                          PassTargetNames(pass).c_str());
        else
            std::snprintf(line, sizeof line, "      - ms  %s -> %s", pass.Name().c_str(), PassTargetNames(pass).c_str());
        lines.push_back(line);
    }
    return lines;
}

// The studio's overlay: the picture it draws on the CPU, the strip's geometry the mouse reads, and
// the picture blended over a frame by the GL device and read back as presented.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "DXEffect/PassRecorder.h"
#include "GLTestDevice.h"
#include "TempDir.h"
#include "image/PngFile.h"
#include "studio/StudioOverlay.h"

namespace {

constexpr const char* kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kMono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

struct Size {
    unsigned width, height;
};

// B, G, R, A of one pixel of a picture.
struct Pixel {
    int b, g, r, a;
};

Pixel At(const std::vector<std::uint8_t>& bgra, unsigned width, int x, int y)
{
    const std::uint8_t* p = &bgra[(static_cast<std::size_t>(y) * width + x) * 4];
    return Pixel{p[0], p[1], p[2], p[3]};
}

bool Transparent(const std::vector<std::uint8_t>& bgra, unsigned width, int x, int y)
{
    return At(bgra, width, x, y).a == 0;
}

bool RedFrame(const Pixel& p)
{
    return p.a > 200 && p.r > 180 && p.g < 110 && p.b < 110;
}

// The model the studio fills while the show plays: sections, bars at 128 beats a minute, scene
// switches, a loop, the tracks, a failed reload with its error and the keys.
OverlayModel ShowModel()
{
    OverlayModel model;
    model.length = 141.5;
    const char* names[] = {"intro", "opening", "tunnel", "room", "cornell", "arena", "morph", "outro"};
    const double starts[] = {0.0, 7.5, 30.0, 52.5, 75.0, 97.5, 120.0, 133.125, 141.5};
    for (int i = 0; i < 8; ++i)
        model.sections.push_back({names[i], starts[i], starts[i + 1]});
    for (double bar = 0.0; bar < model.length; bar += 1.875)
        model.bars.push_back(bar);
    model.sceneSwitches = {7.5, 30.0, 52.5, 75.0, 97.5, 120.0};
    model.loop = true;
    model.loopStart = 30.0;
    model.loopEnd = 45.0;
    model.time = 37.25;
    model.clock = "00:37.25   bar 20.3.2   tunnel";
    model.transport = "playing 1x";
    model.scene = "TunnelScene";
    model.camera = "TunnelCam";
    model.tracks = {{"ActiveCam", 2.0f},      {"CamZOffset", -1.25f},    {"Flash", 0.0f},
                    {"Overlay", 0.5f},        {"PlaybackTime", 37.25f},  {"Scene", 3.0f},
                    {"ShakeAmplitude", 0.125f}, {"ShakeSpeed", 4.0f},    {"TwitchAngle", 0.0f},
                    {"TwitchRGB", 0.333f},    {"TwitchSpeed", 1.5f},     {"TwitchWeight", 0.0f}};
    model.frameMs = 16.7;
    model.reload = "last reload: effects/glow.fx, 412 ms, failed";
    model.reloadOk = false;
    model.errors = {{"effects/glow.fx:12",
                     "undeclared identifier 'bloomStrenght'",
                     {"    10 |     vec3 c = texture(Source1, uv).rgb;", "    11 |     float l = dot(c, vec3(0.2126, 0.7152, 0.0722));",
                      ">   12 |     COLOR0 = vec4(c * bloomStrenght * l, 1.0);", "    13 | }"}}};
    model.helpLines = {"Space        play / pause",
                       "Left, Right  one beat back / on (Shift: a bar, Ctrl: a row)",
                       "PgUp, PgDn   previous / next section",
                       "B, N         loop start / end at the current row",
                       "Tab          overlay on / off",
                       "F1           this help"};
    return model;
}

// Nothing but the playhead at the start: the strip's own background and the panel at the top.
OverlayModel BareModel()
{
    OverlayModel model;
    model.length = 141.5;
    return model;
}

// The first row of the strip, found through StripTime alone (scanning up from the bottom).
int StripTop(const OverlayModel& model, const Size& size)
{
    double time = 0.0;
    int y = static_cast<int>(size.height) - 1;
    while (y > 0 && StudioOverlay::StripTime(model, size.width, size.height, static_cast<int>(size.width / 2), y - 1, time))
        --y;
    return y;
}

class StudioOverlayRasterTest : public ::testing::Test {
protected:
    StudioOverlay overlay;
    std::vector<std::uint8_t> bgra;
};

const Size kSizes[] = {{1280, 720}, {640, 360}, {1920, 1080}, {320, 100}};

TEST_F(StudioOverlayRasterTest, StripTimeCoversTheStripRasterDraws)
{
    const OverlayModel model = BareModel();
    for (const Size& size : kSizes) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        const int w = static_cast<int>(size.width), h = static_cast<int>(size.height);
        double time = -1.0;
        ASSERT_TRUE(StudioOverlay::StripTime(model, size.width, size.height, 0, h - 1, time));
        EXPECT_EQ(time, 0.0);
        ASSERT_TRUE(StudioOverlay::StripTime(model, size.width, size.height, w - 1, h - 1, time));
        EXPECT_EQ(time, model.length);
        ASSERT_TRUE(StudioOverlay::StripTime(model, size.width, size.height, w / 2, h - 1, time));
        EXPECT_NEAR(time, model.length / 2, 2.0 * model.length / w);

        // About 8% of the height, and nothing above it or beside the picture is on it.
        const int top = StripTop(model, size);
        EXPECT_NEAR(h - top, 0.08 * h, 0.03 * h + 22);
        for (const auto& [x, y] : {std::pair{w / 2, top - 1}, {0, 0}, {-1, h - 1}, {w, h - 1}, {w / 2, h}}) {
            time = -1.0;
            EXPECT_FALSE(StudioOverlay::StripTime(model, size.width, size.height, x, y, time)) << x << "," << y;
            EXPECT_EQ(time, -1.0);
        }

        // Raster's strip starts on that row: at the right edge (where only the strip is) the row
        // above it is clear, the strip's rows are not.
        overlay.Raster(model, size.width, size.height, bgra);
        ASSERT_EQ(bgra.size(), std::size_t{size.width} * size.height * 4);
        EXPECT_TRUE(Transparent(bgra, size.width, w - 1, top - 1));
        EXPECT_FALSE(Transparent(bgra, size.width, w - 1, top));
        EXPECT_FALSE(Transparent(bgra, size.width, w - 1, h - 1));
    }
}

TEST_F(StudioOverlayRasterTest, PlayheadIsDrawnWhereStripTimeReadsItsTime)
{
    OverlayModel model = BareModel();
    for (const Size& size : kSizes) {
        for (double time : {0.0, 0.37 * model.length, model.length}) {
            SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + " at " + std::to_string(time));
            model.time = time;
            overlay.Raster(model, size.width, size.height, bgra);
            // The bottom row holds the strip's background and the playhead's white line only.
            const int y = static_cast<int>(size.height) - 1;
            double sum = 0.0;
            int count = 0;
            for (int x = 0; x < static_cast<int>(size.width); ++x) {
                const Pixel p = At(bgra, size.width, x, y);
                if (p.a == 255 && p.r == 255 && p.g == 255 && p.b == 255) {
                    sum += x;
                    ++count;
                }
            }
            ASSERT_GT(count, 0) << "no playhead";
            EXPECT_LE(count, 4) << "the playhead is a thin line";
            double read = -1.0;
            ASSERT_TRUE(StudioOverlay::StripTime(model, size.width, size.height, static_cast<int>(sum / count + 0.5), y, read));
            EXPECT_NEAR(read, time, 2.0 * model.length / size.width);
        }
    }
}

TEST_F(StudioOverlayRasterTest, TinyPicturesStillGetTheirStrip)
{
    // The studio's window can be made as small as one likes; everything is cut to the picture.
    OverlayModel model = ShowModel();
    model.help = true;
    for (const Size& size : {Size{1, 1}, Size{7, 5}, Size{64, 20}, Size{200, 48}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        overlay.Raster(model, size.width, size.height, bgra);
        ASSERT_EQ(bgra.size(), std::size_t{size.width} * size.height * 4);
        EXPECT_FALSE(Transparent(bgra, size.width, static_cast<int>(size.width) - 1, static_cast<int>(size.height) - 1));
    }
}

TEST_F(StudioOverlayRasterTest, InvisibleModelIsTransparentEverywhere)
{
    OverlayModel model = ShowModel();
    model.help = true;
    model.visible = false;
    bgra.assign(10, 0xAB); // whatever the buffer held before
    overlay.Raster(model, 640, 360, bgra);
    ASSERT_EQ(bgra.size(), 640u * 360u * 4u);
    std::size_t drawn = 0;
    for (std::uint8_t byte : bgra)
        drawn += byte != 0;
    EXPECT_EQ(drawn, 0u);
}

TEST_F(StudioOverlayRasterTest, ErrorsShowInARedFramedPanelWithTextInTheMiddle)
{
    for (const Size& size : {Size{1280, 720}, Size{640, 360}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        OverlayModel model = ShowModel();
        const int cx = static_cast<int>(size.width / 2);
        const int stripTop = StripTop(model, size);
        // The frame's edges: down the middle column from the top and up from the strip to the
        // first red pixel, then out from the middle of those two to either side.
        struct Frame {
            int left = -1, right = -1, top = -1, bottom = -1;
        };
        const auto findFrame = [&] {
            Frame f;
            for (int y = 0; y < stripTop && f.top < 0; ++y)
                f.top = RedFrame(At(bgra, size.width, cx, y)) ? y : -1;
            for (int y = stripTop - 1; y >= 0 && f.bottom < 0; --y)
                f.bottom = RedFrame(At(bgra, size.width, cx, y)) ? y : -1;
            const int cy = (f.top + f.bottom) / 2;
            for (int x = cx; x >= 0 && f.left < 0 && f.top >= 0; --x)
                f.left = RedFrame(At(bgra, size.width, x, cy)) ? x : -1;
            for (int x = cx; x < static_cast<int>(size.width) && f.right < 0 && f.top >= 0; ++x)
                f.right = RedFrame(At(bgra, size.width, x, cy)) ? x : -1;
            return f;
        };

        model.errors.clear();
        overlay.Raster(model, size.width, size.height, bgra);
        const Frame none = findFrame();
        EXPECT_EQ(none.top, -1);
        EXPECT_EQ(none.bottom, -1);

        model = ShowModel();
        overlay.Raster(model, size.width, size.height, bgra);
        const Frame frame = findFrame();
        ASSERT_GE(frame.top, 0);
        ASSERT_GT(frame.bottom, frame.top + 20);
        ASSERT_GE(frame.left, 0);
        ASSERT_GE(frame.right, 0);
        // Around the middle (it may move aside for the information panel) and wide.
        EXPECT_GT(frame.right - frame.left, static_cast<int>(size.width) / 3);
        EXPECT_NEAR((frame.left + frame.right) / 2, cx, static_cast<int>(size.width) / 6);
        EXPECT_NEAR((frame.top + frame.bottom) / 2, stripTop / 2, stripTop / 4);
        // Opaque enough inside to read over any picture, with light text on it.
        int text = 0, dark = 0;
        for (int y = frame.top + 3; y < frame.bottom - 2; ++y) {
            for (int x = frame.left + 3; x < frame.right - 2; ++x) {
                const Pixel p = At(bgra, size.width, x, y);
                text += p.a > 200 && p.r > 170 && p.g > 170 && p.b > 170;
                dark += p.a > 200 && p.r < 60 && p.g < 60 && p.b < 60;
            }
        }
        EXPECT_GT(text, 100);
        EXPECT_GT(dark, text);
    }
}

TEST_F(StudioOverlayRasterTest, ReloadLineIsGreenWhenOkAndRedWhenNot)
{
    const Size size{1280, 720};
    const int top = StripTop(ShowModel(), size);
    struct Case {
        bool ok;
        const char* line;
    };
    for (const Case& c : {Case{true, "last reload: effects/glow.fx, 380 ms, ok"},
                          Case{false, "last reload: effects/glow.fx, 412 ms, failed"}}) {
        SCOPED_TRACE(c.line);
        OverlayModel model = ShowModel();
        model.errors.clear();
        model.reload = c.line;
        model.reloadOk = c.ok;
        overlay.Raster(model, size.width, size.height, bgra);
        // Just above the strip on the left.
        int green = 0, red = 0;
        for (int y = top - 40; y < top; ++y) {
            for (int x = 0; x < static_cast<int>(size.width) / 2; ++x) {
                const Pixel p = At(bgra, size.width, x, y);
                green += p.a > 100 && p.g > p.r + 50 && p.g > p.b + 30;
                red += p.a > 100 && p.r > p.g + 60 && p.r > p.b + 60;
            }
        }
        EXPECT_GT(c.ok ? green : red, 50);
        EXPECT_EQ(c.ok ? red : green, 0);
    }
}

PassRecord PanelPass(const char* effect, const char* technique, std::vector<const char*> targets, double ms)
{
    PassRecord pass;
    pass.effect = effect;
    pass.technique = technique;
    pass.pass = "P0";
    for (const char* name : targets) {
        PassTarget target;
        target.name = name;
        pass.targets.push_back(target);
    }
    pass.ms = ms;
    return pass;
}

// The panel's text: the frame's time, then the five heaviest passes, heaviest first, each its
// time, its name and its targets; without GPU times the first five drawn, their times unknown.
TEST(StudioPassPanelTest, ShowsTheFiveHeaviestPassesWithTheirTargets)
{
    const PassFrame frame{{PanelPass("DefLight", "Shadow", {"Shadow0"}, 0.25),
                           PanelPass("mikkmakk", "clean", {"Color", "NormalDepth"}, 3.5),
                           PanelPass("DefLight", "Def_SpotLight_shadow", {"Light"}, 12.25),
                           PanelPass("PostEffects", "BlurV", {"Shadow_temp"}, 0.5),
                           PanelPass("PostEffects", "BlurH", {"Shadow0"}, 0.75),
                           PanelPass("PostEffects", "TwitchBlur", {"BackBuffer"}, 4.0)},
                          23.5};
    EXPECT_EQ(PassPanelLines(frame), (std::vector<std::string>{
                                         "frame 23.50 ms on the GPU, 6 passes",
                                         "  12.25 ms  DefLight/Def_SpotLight_shadow/P0 -> Light",
                                         "   4.00 ms  PostEffects/TwitchBlur/P0 -> BackBuffer",
                                         "   3.50 ms  mikkmakk/clean/P0 -> Color,NormalDepth",
                                         "   0.75 ms  PostEffects/BlurH/P0 -> Shadow0",
                                         "   0.50 ms  PostEffects/BlurV/P0 -> Shadow_temp",
                                     }));
    PassFrame untimed = frame;
    untimed.ms = -1.0;
    for (PassRecord& pass : untimed.passes)
        pass.ms = -1.0;
    const std::vector<std::string> lines = PassPanelLines(untimed);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "6 passes, no GPU times");
    EXPECT_EQ(lines[1], "      - ms  DefLight/Shadow/P0 -> Shadow0");
    EXPECT_EQ(lines[5], "      - ms  PostEffects/BlurH/P0 -> Shadow0");
}

// P's panel shows at the top right only while it is on, and leaves the rest of the overlay as
// it was.
TEST_F(StudioOverlayRasterTest, PassesPanelShowsAtTheTopRightOnlyWhenOn)
{
    const Size size{1280, 720};
    OverlayModel model = BareModel();
    model.passLines = {"frame 23.50 ms on the GPU, 6 passes", "  12.13 ms  DefLight/Def_SpotLight_shadow/P0 -> Light"};
    overlay.Raster(model, size.width, size.height, bgra);
    const std::vector<std::uint8_t> off = bgra;
    model.passes = true;
    overlay.Raster(model, size.width, size.height, bgra);
    int changedRight = 0, changedLeft = 0;
    for (int y = 0; y < static_cast<int>(size.height) / 3; ++y)
        for (int x = 0; x < static_cast<int>(size.width); ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * size.width + static_cast<std::size_t>(x)) * 4;
            const bool changed = std::memcmp(&bgra[at], &off[at], 4) != 0;
            (x >= static_cast<int>(size.width) / 2 ? changedRight : changedLeft) += changed;
        }
    EXPECT_GT(changedRight, 2000);
    EXPECT_EQ(changedLeft, 0);
    // Beside the show's information and under the list of keys, for a person to look at.
    OverlayModel busy = ShowModel();
    busy.errors.clear();
    busy.help = true;
    busy.passes = true;
    busy.passLines = {"frame 1085.46 ms on the GPU, 159 passes",
                      " 470.78 ms  mikkmakk/cubemaplight_blend/P0 -> Light3",
                      " 200.09 ms  PostEffects/Bilateral_Blur_Filter/P0 -> Light3_tmp",
                      "  59.47 ms  PostEffects/TwitchBlur/P0 -> BackBuffer",
                      "  19.82 ms  mikkmakk/cubemaplight/P0 -> CubeLight_tmp",
                      "  19.42 ms  mikkmakk/cubemaplight/P0 -> CubeLight_tmp"};
    std::vector<std::uint8_t> shown;
    overlay.Raster(busy, size.width, size.height, shown);
    std::filesystem::create_directories(ORVALA_PICTURE_DIR);
    EXPECT_TRUE(WritePngBGRA((std::filesystem::path(ORVALA_PICTURE_DIR) / "studio-passes-panel.png").string(),
                             shown.data(), size.width, size.height, size.width * 4));
    for (int y = static_cast<int>(size.height) / 3; y < static_cast<int>(size.height); ++y)
        for (int x = 0; x < static_cast<int>(size.width); ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * size.width + static_cast<std::size_t>(x)) * 4;
            ASSERT_EQ(std::memcmp(&bgra[at], &off[at], 4), 0) << x << ", " << y;
        }
}

TEST(StudioOverlayFontTest, AFontThatCannotBeReadIsNamed)
{
    TempDir temp;
    const std::string notAFont = (temp.path() / "notes.ttf").string();
    std::ofstream(notAFont) << "these are not glyphs\n";
    const std::string empty = (temp.path() / "empty.ttf").string();
    std::ofstream{empty};
    const std::string missing = (temp.path() / "missing.ttf").string();
    struct Case {
        std::string sans, mono, named;
    };
    for (const Case& c : {Case{missing, kMono, missing}, Case{kSans, missing, missing}, Case{notAFont, kMono, notAFont},
                          Case{kSans, empty, empty}}) {
        SCOPED_TRACE(c.sans + " / " + c.mono);
        try {
            StudioOverlay overlay(c.sans, c.mono);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
        }
    }
}

// ---- Through the GL device ----

constexpr std::uint8_t kGrey = 128;

// The raster blended over the mid-grey frame, as D3DCOLOR values (the presented frame's layout).
std::vector<std::uint32_t> OverGrey(const std::vector<std::uint8_t>& bgra)
{
    std::vector<std::uint32_t> out(bgra.size() / 4);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int a = bgra[i * 4 + 3];
        const auto mix = [&](int c) { return static_cast<std::uint32_t>((c * a + kGrey * (255 - a) + 127) / 255); };
        out[i] = mix(bgra[i * 4 + 2]) << 16 | mix(bgra[i * 4 + 1]) << 8 | mix(bgra[i * 4]);
    }
    return out;
}

// How many pixels differ by more than `tolerance` in a channel, and where the first one is.
std::string Differences(const std::vector<std::uint32_t>& actual, const std::vector<std::uint32_t>& expected,
                        unsigned width, int tolerance = 2)
{
    if (actual.size() != expected.size())
        return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size());
    std::size_t count = 0, first = 0;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        for (int shift : {0, 8, 16}) {
            const int a = static_cast<int>(actual[i] >> shift & 0xFF), e = static_cast<int>(expected[i] >> shift & 0xFF);
            if (std::abs(a - e) > tolerance) {
                if (count++ == 0)
                    first = i;
                break;
            }
        }
    }
    if (count == 0)
        return "";
    char text[160];
    std::snprintf(text, sizeof text, "%zu pixels differ, the first at %zu,%zu: %06X instead of %06X", count,
                  first % width, first / width, actual[first] & 0xFFFFFFu, expected[first] & 0xFFFFFFu);
    return text;
}

class StudioOverlayDrawTest : public GLTestDevice {
protected:
    static constexpr UINT kWidth = 1280;
    static constexpr UINT kHeight = 720;

    void SetUp() override { CreateDevice(kWidth, kHeight, D3DMULTISAMPLE_NONE, false); }

    void TearDown() override
    {
        // The device's last Release (checked by GLTestDevice) finds nothing of the overlay's left.
        overlay.Release();
        GLTestDevice::TearDown();
    }

    void ClearGrey() { ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(kGrey, kGrey, kGrey), 1.0f, 0), D3D_OK); }

    // The frame as presented, as D3DCOLOR values without alpha.
    std::vector<std::uint32_t> Presented()
    {
        std::vector<std::uint32_t> pixels;
        EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        std::vector<std::uint8_t> frame;
        UINT w = 0, h = 0;
        EXPECT_EQ(device->GetPresentedFrame(frame, w, h), D3D_OK);
        EXPECT_EQ(w, kWidth);
        EXPECT_EQ(h, kHeight);
        pixels.resize(frame.size() / 4);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = Rgb(static_cast<std::uint32_t>(frame[i * 4 + 2] << 16 | frame[i * 4 + 1] << 8 | frame[i * 4]));
        return pixels;
    }

    std::vector<std::uint32_t> Expected(const OverlayModel& model, UINT width = kWidth, UINT height = kHeight)
    {
        std::vector<std::uint8_t> raster;
        overlay.Raster(model, width, height, raster);
        return OverGrey(raster);
    }

    // For people to look at, in the build's picture folder.
    static void Keep(const std::string& name, const std::vector<std::uint32_t>& pixels, UINT width, UINT height)
    {
        std::vector<std::uint8_t> bgra(pixels.size() * 4);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            bgra[i * 4] = pixels[i] & 0xFF;
            bgra[i * 4 + 1] = pixels[i] >> 8 & 0xFF;
            bgra[i * 4 + 2] = pixels[i] >> 16 & 0xFF;
            bgra[i * 4 + 3] = 255;
        }
        std::filesystem::create_directories(ORVALA_PICTURE_DIR);
        EXPECT_TRUE(WritePngBGRA((std::filesystem::path(ORVALA_PICTURE_DIR) / name).string(), bgra.data(), width,
                                 height, width * 4));
    }

    StudioOverlay overlay;
};

TEST_F(StudioOverlayDrawTest, PresentedOverlayIsUprightAndOnItsPixels)
{
    const OverlayModel model = ShowModel();
    ClearGrey();
    overlay.Draw(device, model, kWidth, kHeight);
    const std::vector<std::uint32_t> frame = Presented();
    ASSERT_EQ(frame.size(), std::size_t{kWidth} * kHeight);
    Keep("studio-overlay.png", frame, kWidth, kHeight);

    // Every pixel where the raster puts it: not flipped, not mirrored, not half a pixel off.
    EXPECT_EQ(Differences(frame, Expected(model), kWidth), "");

    // And on its own terms: the strip along the bottom rows, the panel at the top left, nothing
    // in the top rows on the right.
    const auto changed = [&](UINT x0, UINT y0, UINT x1, UINT y1) {
        int count = 0;
        for (UINT y = y0; y < y1; ++y)
            for (UINT x = x0; x < x1; ++x)
                count += frame[y * kWidth + x] != Rgb(D3DCOLOR_XRGB(kGrey, kGrey, kGrey));
        return count;
    };
    EXPECT_GT(changed(0, kHeight - 4, kWidth, kHeight), static_cast<int>(3 * kWidth));
    EXPECT_EQ(changed(kWidth / 2, 0, kWidth, 4), 0);
    EXPECT_GT(changed(12, 12, 100, 40), 1000);
    EXPECT_EQ(changed(kWidth - 100, 12, kWidth - 12, 40), 0);
}

TEST_F(StudioOverlayDrawTest, EveryChangeOfTheModelReachesTheFrame)
{
    OverlayModel base = ShowModel();
    base.help = true;
    struct Case {
        const char* what;
        std::function<void(OverlayModel&)> change;
    };
    const Case cases[] = {
        {"time", [](OverlayModel& m) { m.time = 90.0; }},
        {"length", [](OverlayModel& m) { m.length = 200.0; }},
        {"section name", [](OverlayModel& m) { m.sections[2].name = "tunnel 2"; }},
        {"section end", [](OverlayModel& m) { m.sections[2].end = 40.0; }},
        {"bars", [](OverlayModel& m) { m.bars.resize(m.bars.size() / 2); }},
        {"scene switches", [](OverlayModel& m) { m.sceneSwitches.push_back(133.125); }},
        {"loop off", [](OverlayModel& m) { m.loop = false; }},
        {"loop start only", [](OverlayModel& m) { m.loopStartOnly = true; }},
        {"loop end", [](OverlayModel& m) { m.loopEnd = 60.0; }},
        {"clock", [](OverlayModel& m) { m.clock = "00:37.30   bar 20.3.3   tunnel"; }},
        {"transport", [](OverlayModel& m) { m.transport = "paused"; }},
        {"scene", [](OverlayModel& m) { m.scene = "RoomScene"; }},
        {"camera", [](OverlayModel& m) { m.camera = "RoomCam"; }},
        {"track value", [](OverlayModel& m) { m.tracks[3].second = 0.75f; }},
        {"frame time", [](OverlayModel& m) { m.frameMs = 33.4; }},
        {"reload line", [](OverlayModel& m) { m.reload = "last reload: effects/glow.fx, 380 ms, ok"; }},
        {"reload ok", [](OverlayModel& m) { m.reloadOk = true; }},
        {"error message", [](OverlayModel& m) { m.errors[0].message = "'bloomStrength' is not a float"; }},
        {"error lines", [](OverlayModel& m) { m.errors[0].lines.pop_back(); }},
        {"errors gone", [](OverlayModel& m) { m.errors.clear(); }},
        {"help off", [](OverlayModel& m) { m.help = false; }},
        {"help lines", [](OverlayModel& m) { m.helpLines.push_back("Escape       quit"); }},
        {"hidden", [](OverlayModel& m) { m.visible = false; }},
    };
    const std::vector<std::uint32_t> before = Expected(base);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OverlayModel changed = base;
        c.change(changed);
        const std::vector<std::uint32_t> expected = Expected(changed);
        ASSERT_NE(Differences(expected, before, kWidth, 0), "") << "the change shows nothing";
        // The frame before drew the model as it was; this one draws it changed.
        ClearGrey();
        overlay.Draw(device, base, kWidth, kHeight);
        ClearGrey();
        overlay.Draw(device, changed, kWidth, kHeight);
        EXPECT_EQ(Differences(Presented(), expected, kWidth), "");
    }
}

TEST_F(StudioOverlayDrawTest, FollowsTheTargetsSizeAndStartsAgainAfterRelease)
{
    // Everything at once, the keys too: the small picture shows how it all fits.
    OverlayModel model = ShowModel();
    model.help = true;

    // A smaller target: a texture of its size, the picture on its pixels.
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &back), D3D_OK);
    Own(back);
    IDirect3DSurface9* small = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(640, 360, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &small, nullptr),
              D3D_OK);
    Own(small);
    ClearGrey();
    overlay.Draw(device, model, kWidth, kHeight);
    ASSERT_EQ(device->SetRenderTarget(0, small), D3D_OK);
    ClearGrey();
    overlay.Draw(device, model, 640, 360);
    std::vector<std::uint32_t> pixels = ReadTarget(small);
    for (std::uint32_t& p : pixels)
        p = Rgb(p);
    Keep("studio-overlay-640x360.png", pixels, 640, 360);
    EXPECT_EQ(Differences(pixels, Expected(model, 640, 360), 640), "");

    // Released (as before a device reset), the next draw makes everything again.
    ASSERT_EQ(device->SetRenderTarget(0, back), D3D_OK);
    overlay.Release();
    ClearGrey();
    overlay.Draw(device, model, kWidth, kHeight);
    EXPECT_EQ(Differences(Presented(), Expected(model), kWidth), "");
}

TEST_F(StudioOverlayDrawTest, LeavesTheDeviceAsItFoundIt)
{
    const OverlayModel model = ShowModel();
    ClearGrey();
    // The caller's states: none of them what the overlay's pass wants.
    const std::pair<D3DRENDERSTATETYPE, DWORD> states[] = {
        {D3DRS_ZENABLE, TRUE},
        {D3DRS_ZWRITEENABLE, TRUE},
        {D3DRS_CULLMODE, D3DCULL_CW},
        {D3DRS_ALPHABLENDENABLE, FALSE},
        {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_SEPARATEALPHABLENDENABLE, FALSE},
        {D3DRS_SCISSORTESTENABLE, TRUE},
        {D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_GREEN | D3DCOLORWRITEENABLE_BLUE},
    };
    for (const auto& [state, value] : states)
        ASSERT_EQ(device->SetRenderState(state, value), D3D_OK);
    const RECT scissor{0, 0, 8, 8};
    ASSERT_EQ(device->SetScissorRect(&scissor), D3D_OK);
    const D3DVIEWPORT9 viewport{100, 50, 320, 240, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(device->SetVertexDeclaration(texturedDecl), D3D_OK);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(6 * sizeof(TexturedVertex), 0, 0, D3DPOOL_DEFAULT, &buffer, nullptr), D3D_OK);
    Own(buffer);
    ASSERT_EQ(device->SetStreamSource(0, buffer, 0, sizeof(TexturedVertex)), D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    Own(texture);
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    IDirect3DVertexShader9* vertexShader = VertexShader(kTexturedVS);
    IDirect3DPixelShader9* pixelShader = PixelShader(kTexturedPS);
    ASSERT_EQ(device->SetVertexShader(vertexShader), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(pixelShader), D3D_OK);

    overlay.Draw(device, model, kWidth, kHeight);

    for (const auto& [state, value] : states) {
        DWORD now = 0;
        ASSERT_EQ(device->GetRenderState(state, &now), D3D_OK);
        EXPECT_EQ(now, value) << "render state " << state;
    }
    D3DVIEWPORT9 nowViewport{};
    ASSERT_EQ(device->GetViewport(&nowViewport), D3D_OK);
    EXPECT_EQ(std::vector<DWORD>({nowViewport.X, nowViewport.Y, nowViewport.Width, nowViewport.Height}),
              std::vector<DWORD>({100, 50, 320, 240}));
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device->GetVertexDeclaration(&declaration), D3D_OK);
    EXPECT_EQ(declaration, texturedDecl);
    if (declaration)
        declaration->Release();
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 1, stride = 0;
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, buffer);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(stride, sizeof(TexturedVertex));
    if (stream)
        stream->Release();
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, texture);
    if (bound)
        bound->Release();
    IDirect3DVertexShader9* nowVertex = nullptr;
    IDirect3DPixelShader9* nowPixel = nullptr;
    ASSERT_EQ(device->GetVertexShader(&nowVertex), D3D_OK);
    ASSERT_EQ(device->GetPixelShader(&nowPixel), D3D_OK);
    EXPECT_EQ(nowVertex, vertexShader);
    EXPECT_EQ(nowPixel, pixelShader);
    if (nowVertex)
        nowVertex->Release();
    if (nowPixel)
        nowPixel->Release();

    // Whatever the caller's viewport and scissor were, the overlay covered the whole target.
    EXPECT_EQ(Differences(Presented(), Expected(model), kWidth), "");
}

} // namespace

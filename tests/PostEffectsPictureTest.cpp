// PostEffects on the GL device (llvmpipe): small fixture pictures through the real "postfx" effect,
// read back and compared texel by texel. The pictures are written to /tmp/postfx-*.png.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FrameworkExMessage.h"
#include "GLTestDevice.h"
#include "PostEffectsTestSupport.h"
#include "image/PngFile.h"

namespace {

// Four channels per texel, rows from the top.
struct Texels {
    UINT width = 0;
    UINT height = 0;
    std::vector<float> values;

    Texels() = default;
    Texels(UINT w, UINT h) : width(w), height(h), values(static_cast<std::size_t>(w) * h * 4, 0.0f) {}
    float& At(UINT x, UINT y, int channel) { return values[(static_cast<std::size_t>(y) * width + x) * 4 + channel]; }
    float At(UINT x, UINT y, int channel) const
    {
        return values[(static_cast<std::size_t>(y) * width + x) * 4 + channel];
    }
    void Set(UINT x, UINT y, float r, float g, float b, float a)
    {
        At(x, y, 0) = r, At(x, y, 1) = g, At(x, y, 2) = b, At(x, y, 3) = a;
    }
};

// Channels stored by each float format, in memory order.
int ChannelsOf(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_R16F:
        return 1;
    case D3DFMT_G16R16F:
        return 2;
    default:
        return 4;
    }
}

// Exposure 1, the ACES fit and the sRGB curve: what the show's tone curve makes of a linear value.
float ToneCurve(float c)
{
    c = std::max(c, 0.0f);
    c = std::clamp((c * (2.51f * c + 0.03f)) / (c * (2.43f * c + 0.59f) + 0.14f), 0.0f, 1.0f);
    return c < 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f;
}

int Byte(std::uint32_t pixel, int channel) // 0 red, 1 green, 2 blue
{
    return static_cast<int>((pixel >> (16 - 8 * channel)) & 0xFF);
}

class PostEffectsPictureTest : public GLTestDevice {
protected:
    void SetUp() override
    {
        CreateDevice(160, 90, D3DMULTISAMPLE_NONE, true);
        DXFramework::SetDevice(device);
        DXFramework::SetBackBufferSize(160, 90);
        world = std::make_unique<PostFxWorld>();
    }

    void Start(const std::function<void(PostFxWorld&)>& tracks = nullptr)
    {
        if (tracks)
            tracks(*world);
        world->Open();
        post = std::make_unique<PostEffects>("PostFX");
        const std::string failure = FrameworkExMessage([&] { post->CreateResources(); });
        ASSERT_EQ(failure, "(no exception)");
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        inScene = true;
    }

    void TearDown() override
    {
        if (inScene)
            device->EndScene();
        if (post)
            post->ReleaseResources();
        post.reset();
        targets.clear();
        world.reset();
        DXFramework::SetDevice(nullptr);
        GLTestDevice::TearDown();
    }

    // A render target, released at tear-down.
    RENDERTEXTURE* Target(UINT width, UINT height, D3DFORMAT format)
    {
        targets.push_back(std::make_unique<TestTarget>(device, width, height, format));
        return targets.back()->get();
    }

    // A managed texture holding the texels (as many channels as the format has).
    RENDERTEXTURE* Picture(const Texels& texels, D3DFORMAT format)
    {
        targets.push_back(std::make_unique<TestTarget>(device, texels.width, texels.height, format, false));
        RENDERTEXTURE* picture = targets.back()->get();
        D3DLOCKED_RECT locked{};
        if (!picture->texture || picture->texture->LockRect(0, &locked, nullptr, 0) != D3D_OK) {
            ADD_FAILURE() << "the picture cannot be filled";
            return picture;
        }
        const int channels = ChannelsOf(format);
        for (UINT y = 0; y < texels.height; ++y) {
            auto* row = reinterpret_cast<D3DXFLOAT16*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
            for (UINT x = 0; x < texels.width; ++x)
                for (int c = 0; c < channels; ++c)
                    row[x * channels + c] = D3DXFLOAT16(texels.At(x, y, c));
        }
        picture->texture->UnlockRect(0);
        return picture;
    }

    // A render target of that format filled with the texels (copied in by BlitQuad).
    RENDERTEXTURE* FilledTarget(const Texels& texels, D3DFORMAT format)
    {
        RENDERTEXTURE* picture = Picture(texels, format);
        RENDERTEXTURE* target = Target(texels.width, texels.height, format);
        target->SetAsRenderTarget(0);
        const float one[4] = {1, 1, 1, 1};
        post->BlitQuad(picture, one);
        return target;
    }

    // The texels of a float render target (missing channels read 0).
    Texels Read(RENDERTEXTURE* target)
    {
        Texels texels(target->width, target->height);
        IDirect3DSurface9* copy = nullptr;
        EXPECT_EQ(device->CreateOffscreenPlainSurface(target->width, target->height, target->format,
                                                      D3DPOOL_SYSTEMMEM, &copy, nullptr),
                  D3D_OK);
        if (!copy)
            return texels;
        EXPECT_EQ(device->GetRenderTargetData(target->surface, copy), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const int channels = ChannelsOf(target->format);
        for (UINT y = 0; y < target->height; ++y) {
            const auto* row =
                reinterpret_cast<const D3DXFLOAT16*>(static_cast<const std::uint8_t*>(locked.pBits) + y * locked.Pitch);
            for (UINT x = 0; x < target->width; ++x)
                for (int c = 0; c < channels; ++c)
                    texels.At(x, y, c) = row[x * channels + c];
        }
        copy->UnlockRect();
        copy->Release();
        return texels;
    }

    // An 8-bit target's pixels as D3DCOLOR values.
    std::vector<std::uint32_t> Read8(RENDERTEXTURE* target) { return ReadTarget(target->surface); }

    // Writes linear values for people to look at, scaled by `scale` and clamped, each texel
    // `zoom` pixels wide.
    static void SaveLinear(const std::string& name, const Texels& texels, float scale, int zoom = 1)
    {
        const UINT w = texels.width * zoom, h = texels.height * zoom;
        std::vector<std::uint8_t> bgra(static_cast<std::size_t>(w) * h * 4);
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    const float v = std::clamp(texels.At(x / zoom, y / zoom, c) * scale, 0.0f, 1.0f);
                    bgra[(static_cast<std::size_t>(y) * w + x) * 4 + (2 - c)] = static_cast<std::uint8_t>(v * 255.0f + 0.5f);
                }
        EXPECT_TRUE(WritePngBGRA("/tmp/postfx-" + name + ".png", bgra.data(), w, h, w * 4));
    }
    static void Save8(const std::string& name, const std::vector<std::uint32_t>& pixels, UINT w, UINT h)
    {
        EXPECT_TRUE(WritePngBGRA("/tmp/postfx-" + name + ".png", reinterpret_cast<const std::uint8_t*>(pixels.data()),
                                 w, h, w * 4));
    }

    std::unique_ptr<PostFxWorld> world;
    std::unique_ptr<PostEffects> post;
    std::vector<std::unique_ptr<TestTarget>> targets;
    bool inScene = false;
};

} // namespace

TEST_F(PostEffectsPictureTest, CopiesFillsAndMixesKeepEveryTexelInPlace)
{
    Start();
    // A one-texel red column, a one-texel green row, blue counting the texels from the top left
    // (so a mirrored, flipped or shifted copy shows) and alpha counting the columns.
    Texels source(16, 9);
    for (UINT y = 0; y < 9; ++y)
        for (UINT x = 0; x < 16; ++x)
            source.Set(x, y, x == 5 ? 4.0f : 0.0f, y == 2 ? 2.0f : 0.0f, static_cast<float>(x + 16 * y) / 16.0f,
                       static_cast<float>(x + 1) / 32.0f);
    RENDERTEXTURE* picture = Picture(source, D3DFMT_A16B16G16R16F);
    RENDERTEXTURE* target = Target(16, 9, D3DFMT_A16B16G16R16F);
    target->SetAsRenderTarget(0);

    const float scale[4] = {1.0f, 0.5f, 2.0f, 1.0f};
    post->BlitQuad(picture, scale);
    const Texels copy = Read(target);
    SaveLinear("blit", copy, 0.25f, 8);
    for (UINT y = 0; y < 9; ++y)
        for (UINT x = 0; x < 16; ++x)
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(copy.At(x, y, c), source.At(x, y, c) * scale[c]) << x << ", " << y << " channel " << c;

    // Depth in units from the alpha of the normal/depth target.
    const float units[4] = {300, 300, 300, 300};
    post->BlitAlphaToGrey(picture, units);
    const Texels grey = Read(target);
    for (UINT x = 0; x < 16; ++x)
        for (int c = 0; c < 4; ++c)
            ASSERT_EQ(grey.At(x, 4, c), static_cast<float>(D3DXFLOAT16(source.At(x, 4, 3) * 300.0f))) << x;

    // HDR and negative values are filled as they are.
    const float fill[4] = {0.25f, -1.0f, 1000.0f, 0.5f};
    post->FillQuad(fill);
    const Texels filled = Read(target);
    for (UINT y = 0; y < 9; ++y)
        for (UINT x = 0; x < 16; ++x)
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(filled.At(x, y, c), fill[c]);

    // Direct plus indirect light; the direct light's alpha stays.
    Texels indirect(16, 9);
    for (UINT y = 0; y < 9; ++y)
        for (UINT x = 0; x < 16; ++x)
            indirect.Set(x, y, 0.5f, static_cast<float>(y) / 4.0f, 8.0f, 0.75f);
    post->MixIndirectLight(picture, Picture(indirect, D3DFMT_A16B16G16R16F));
    const Texels mixed = Read(target);
    for (UINT y = 0; y < 9; ++y)
        for (UINT x = 0; x < 16; ++x) {
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(mixed.At(x, y, c), static_cast<float>(D3DXFLOAT16(source.At(x, y, c) + indirect.At(x, y, c))))
                    << x << ", " << y << " channel " << c;
            ASSERT_EQ(mixed.At(x, y, 3), source.At(x, y, 3));
        }
}

TEST_F(PostEffectsPictureTest, SeparableBlurSpreadsATexelEvenlyAndKeepsItsSum)
{
    Start();
    // Shadow moments: one texel of an occluder at distance d = 0.5 (d, d^2).
    Texels moments(33, 33);
    moments.Set(16, 16, 0.5f, 0.25f, 0, 0);
    RENDERTEXTURE* source = FilledTarget(moments, D3DFMT_G16R16F);
    RENDERTEXTURE* scratch = Target(33, 33, D3DFMT_G16R16F);
    post->SeparableBlur(scratch, source, 1);
    const Texels vertical = Read(scratch);
    const Texels blurred = Read(source);
    SaveLinear("blur", blurred, 8.0f, 4);

    // The vertical pass stays in its column.
    for (UINT y = 0; y < 33; ++y)
        for (UINT x = 0; x < 33; ++x) {
            if (x != 16) {
                ASSERT_LT(std::fabs(vertical.At(x, y, 0)), 1e-6f) << x << ", " << y;
            }
        }
    EXPECT_GT(vertical.At(16, 12, 0), 0.0f);

    double sum = 0, sumSquares = 0;
    for (UINT y = 0; y < 33; ++y)
        for (UINT x = 0; x < 33; ++x) {
            sum += blurred.At(x, y, 0);
            sumSquares += blurred.At(x, y, 1);
            // Symmetric about the texel, both ways; the second moment blurred as the first.
            ASSERT_NEAR(blurred.At(x, y, 0), blurred.At(32 - x, y, 0), 1e-4) << x << ", " << y;
            ASSERT_NEAR(blurred.At(x, y, 0), blurred.At(x, 32 - y, 0), 1e-4) << x << ", " << y;
            ASSERT_NEAR(blurred.At(x, y, 1), blurred.At(x, y, 0) * 0.5f, 1e-4) << x << ", " << y;
        }
    // Averages stay averages: nothing gained or lost.
    EXPECT_NEAR(sum, 0.5, 0.005);
    EXPECT_NEAR(sumSquares, 0.25, 0.0025);
    // Peak in the middle, four texels of reach each way and not five.
    for (UINT d = 1; d <= 4; ++d) {
        EXPECT_GT(blurred.At(16 + d, 16, 0), 0.0f) << d;
        EXPECT_LT(blurred.At(16 + d, 16, 0), blurred.At(16 + d - 1, 16, 0)) << d;
    }
    EXPECT_LT(blurred.At(21, 16, 0), 1e-6f);
    EXPECT_LT(blurred.At(16, 21, 0), 1e-6f);
}

TEST_F(PostEffectsPictureTest, BilateralBlurKeepsLightOnItsOwnSideOfADepthEdge)
{
    Start();
    // Rows 0-3 are empty (nothing drawn there); below them a near wall on the left (depth 0.1)
    // and one at the far end on the right (0.98), both facing the camera. The near wall is lit, the far one
    // dark but for one bright texel; the empty rows hold light that must stay there.
    Texels guide(32, 16), image(32, 16);
    for (UINT y = 0; y < 16; ++y)
        for (UINT x = 0; x < 32; ++x) {
            if (y < 4) {
                guide.Set(x, y, 0, 0, 1, 1.0f);
                image.Set(x, y, 5, 5, 5, 1);
            } else {
                guide.Set(x, y, 0, 0, 1, x < 16 ? 0.1f : 0.98f);
                const float v = x < 16 ? 1.0f : (x == 24 && y == 10 ? 9.0f : 0.0f);
                image.Set(x, y, v, v, v, 1);
            }
        }
    RENDERTEXTURE* target = Target(32, 16, D3DFMT_A16B16G16R16F);
    target->SetAsRenderTarget(0);
    post->BilateralBlur(Picture(guide, D3DFMT_A16B16G16R16F), Picture(image, D3DFMT_A16B16G16R16F));
    const Texels out = Read(target);
    SaveLinear("bilateral", out, 0.5f, 8);

    for (UINT y = 0; y < 16; ++y)
        for (UINT x = 0; x < 32; ++x) {
            SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
            if (y < 4) {
                ASSERT_EQ(out.At(x, y, 0), 5.0f); // empty pixels keep their own
            } else if (x < 16) {
                ASSERT_NEAR(out.At(x, y, 0), 1.0f, 1e-3); // the lit wall, untouched by the dark
            } else if (std::abs(static_cast<int>(x) - 24) > 2 || std::abs(static_cast<int>(y) - 10) > 2) {
                ASSERT_EQ(out.At(x, y, 0), 0.0f); // no light from across the edge or from the empty rows
            }
        }
    // The bright texel spreads about itself, not beside itself.
    EXPECT_GT(out.At(24, 10, 0), out.At(23, 10, 0));
    EXPECT_GT(out.At(23, 10, 0), 0.0f);
    for (int d = 1; d <= 2; ++d) {
        EXPECT_NEAR(out.At(24 - d, 10, 0), out.At(24 + d, 10, 0), 1e-3) << d;
        EXPECT_NEAR(out.At(24, 10 - d, 0), out.At(24, 10 + d, 0), 1e-3) << d;
    }
}

TEST_F(PostEffectsPictureTest, TwitchBlurTonesTheHdrPictureAndAddsTheFlash)
{
    // Rows 0-15 at rest, from row 16 a quarter flash, from row 32 the twitch moves.
    Start([](PostFxWorld& w) {
        w.Track("Flash", {{0, 0.0f, 0}, {16, 0.25f, 0}, {32, 0.0f, 0}});
        w.Track("TwitchSpeed", {{0, 0.0f, 0}, {32, 1.0f, 0}});
        w.Track("TwitchRGB", {{0, 0.0f, 0}, {32, 0.03f, 0}});
        w.Track("TwitchWeight", {{0, 0.0f, 0}, {32, 0.02f, 0}});
        w.Track("TwitchSpread", {{0, 0.0f, 0}, {32, 0.5f, 0}});
    });
    // Red runs through the values by column, green by row, blue is half the red.
    const float levels[16] = {0.0f, 0.01f, 0.05f, 0.18f, 0.3f, 0.5f, 0.75f, 1.0f,
                              1.5f, 2.0f, 3.0f, 4.0f, 7.0f, 16.0f, 1000.0f, 60000.0f};
    Texels source(16, 9);
    for (UINT y = 0; y < 9; ++y)
        for (UINT x = 0; x < 16; ++x)
            source.Set(x, y, levels[x], levels[y], levels[x] * 0.5f, 1.0f);
    RENDERTEXTURE* light = Picture(source, D3DFMT_A16B16G16R16F);
    RENDERTEXTURE* display = Target(16, 9, D3DFMT_X8R8G8B8);

    for (float flash : {0.0f, 0.25f}) {
        SCOPED_TRACE(flash);
        world->SetRow(flash == 0.0f ? 4 : 20);
        // A pass on a small target first: its pixel size must not carry over.
        Target(4, 4, D3DFMT_A16B16G16R16F)->SetAsRenderTarget(0);
        const float black[4] = {0, 0, 0, 0};
        post->FillQuad(black);

        display->SetAsRenderTarget(0);
        post->TwitchBlur(light);
        const std::vector<std::uint32_t> pixels = Read8(display);
        Save8(flash == 0.0f ? "twitch-rest" : "twitch-flash", pixels, 16, 9);
        for (UINT y = 0; y < 9; ++y)
            for (UINT x = 0; x < 16; ++x)
                for (int c = 0; c < 3; ++c) {
                    const float linear = c == 0 ? levels[x] : c == 1 ? levels[y] : static_cast<float>(
                                                                                      D3DXFLOAT16(levels[x] * 0.5f));
                    const float expected = std::min(ToneCurve(static_cast<float>(D3DXFLOAT16(linear))) + flash, 1.0f);
                    ASSERT_NEAR(Byte(pixels[y * 16 + x], c), expected * 255.0f, 1.01f)
                        << x << ", " << y << " channel " << c;
                }
        if (flash == 0.0f) {
            // Black stays black, the brightest light is white and nothing broke on the way;
            // four times the light is bright but not yet white.
            EXPECT_EQ(Byte(pixels[0], 0), 0);
            EXPECT_EQ(Byte(pixels[15], 0), 255);
            EXPECT_LT(Byte(pixels[11], 0), 255);
            EXPECT_GT(Byte(pixels[11], 0), Byte(pixels[7], 0));
        } else {
            EXPECT_GE(Byte(pixels[0], 0), 63);
        }
    }

    // A picture to look at, with the twitch moving: the colours part and smear, the light stays.
    Texels scene(160, 90);
    for (UINT y = 0; y < 90; ++y)
        for (UINT x = 0; x < 160; ++x) {
            const bool bar = (x / 20) % 2 == 0 && y > 20 && y < 70;
            const float v = bar ? 2.0f : 0.1f;
            scene.Set(x, y, v, v * 0.9f, v * 0.8f, 1);
        }
    RENDERTEXTURE* sceneLight = Picture(scene, D3DFMT_A16B16G16R16F);
    RENDERTEXTURE* frame = Target(160, 90, D3DFMT_X8R8G8B8);
    frame->SetAsRenderTarget(0);
    world->SetRow(4);
    post->TwitchBlur(sceneLight);
    const std::vector<std::uint32_t> still = Read8(frame);
    world->SetTime(2.0 + 33 / PostFxWorld::kRowsPerSecond);
    post->TwitchBlur(sceneLight);
    const std::vector<std::uint32_t> moving = Read8(frame);
    Save8("twitch-still", still, 160, 90);
    Save8("twitch-moving", moving, 160, 90);
    double stillSum = 0, movingSum = 0;
    int changed = 0;
    for (std::size_t i = 0; i < still.size(); ++i) {
        stillSum += Byte(still[i], 0);
        movingSum += Byte(moving[i], 0);
        changed += Rgb(still[i]) != Rgb(moving[i]);
    }
    EXPECT_GT(changed, 100);
    EXPECT_NEAR(movingSum / stillSum, 1.0, 0.1);
}

TEST_F(PostEffectsPictureTest, OverlayCardsSitOnThePictureAndFadeWithTheTrack)
{
    // Card 0 at full strength, then at a whole number (strength 0), then past the last card.
    Start([](PostFxWorld& w) { w.Track("Overlay", {{0, 0.5f, 0}, {16, 2.0f, 0}, {32, 7.2f, 0}}); });
    const UINT w = 640, h = 360;
    RENDERTEXTURE* frame = Target(w, h, D3DFMT_X8R8G8B8);
    const float grey[4] = {0.25f, 0.25f, 0.25f, 1.0f};
    const auto countBright = [&](const std::vector<std::uint32_t>& pixels, UINT top, UINT bottom) {
        int bright = 0;
        for (UINT y = top; y < bottom; ++y)
            for (UINT x = 0; x < w; ++x)
                bright += Byte(pixels[y * w + x], 1) > 200;
        return bright;
    };
    const auto unchangedRows = [&](const std::vector<std::uint32_t>& pixels, UINT top, UINT bottom) {
        for (UINT y = top; y < bottom; ++y)
            for (UINT x = 0; x < w; ++x)
                if (Rgb(pixels[y * w + x]) != Rgb(pixels[0]))
                    return false;
        return true;
    };

    // The loader's caption, in the lower third.
    frame->SetAsRenderTarget(0);
    post->FillQuad(grey);
    const std::vector<std::uint32_t> plain = Read8(frame);
    post->OverlayFull();
    const std::vector<std::uint32_t> caption = Read8(frame);
    Save8("overlay-caption", caption, w, h);
    EXPECT_TRUE(unchangedRows(caption, 0, h * 6 / 10));
    EXPECT_GT(countBright(caption, h * 7 / 10, h * 9 / 10), 500);

    // The title, in the middle.
    world->SetRow(4);
    post->FillQuad(grey);
    post->Overlay();
    const std::vector<std::uint32_t> title = Read8(frame);
    Save8("overlay-title", title, w, h);
    EXPECT_GT(countBright(title, h * 4 / 10, h * 6 / 10), 1000);
    EXPECT_TRUE(unchangedRows(title, 0, h / 4));
    EXPECT_TRUE(unchangedRows(title, h * 3 / 4, h));

    // No strength, and strength below zero, leave the picture as it was, in display values and
    // in HDR light alike.
    RENDERTEXTURE* light = Target(w / 4, h / 4, D3DFMT_A16B16G16R16F);
    for (unsigned row : {20u, 36u}) {
        SCOPED_TRACE(row);
        world->SetRow(row);
        frame->SetAsRenderTarget(0);
        post->FillQuad(grey);
        post->Overlay();
        EXPECT_EQ(Read8(frame), plain);
        light->SetAsRenderTarget(0);
        post->FillQuad(grey);
        post->Overlay();
        const Texels after = Read(light);
        for (float v : after.values)
            ASSERT_TRUE(v == 0.25f || v == 1.0f) << v;
    }
}

TEST_F(PostEffectsPictureTest, DepthOfFieldBlursOnlyWhatIsOutOfFocus)
{
    Start();
    // The scene's focus on "Global", shared with "postfx" through the pool: 10 units, 20 of range.
    DXEffectHandler::AddEffect("Global", "global.fx", State().effectPool);
    const float focus[2] = {10.0f, 20.0f};
    DXEffectHandler::FindEffect("Global")->SetVec2BySemantic("FOCUS_MAXZ", focus);

    // Fine stripes everywhere with one highlight; the left half at the focus, the right half
    // 30 units behind it.
    Texels light(64, 48), depth(64, 48);
    for (UINT y = 0; y < 48; ++y)
        for (UINT x = 0; x < 64; ++x) {
            const float v = (x == 48 && y == 24) ? 500.0f : (x % 2 == 0 ? 2.0f : 0.0f);
            light.Set(x, y, v, v, v, 1);
            depth.Set(x, y, x < 32 ? 10.0f : 40.0f, 0, 0, 0);
        }
    RENDERTEXTURE* source = Picture(light, D3DFMT_A16B16G16R16F);
    RENDERTEXTURE* depthTarget = Picture(depth, D3DFMT_R16F);
    RENDERTEXTURE* blur1 = Target(64, 48, D3DFMT_X8R8G8B8);
    RENDERTEXTURE* blur2 = Target(64, 48, D3DFMT_X8R8G8B8);
    RENDERTEXTURE* colour = Target(64, 48, D3DFMT_A16B16G16R16F);

    for (int count : {1, 2}) {
        SCOPED_TRACE(count);
        colour->SetAsRenderTarget(0);
        post->DepthOfField(depthTarget, blur1, blur2, source, count);
        const Texels out = Read(colour);
        SaveLinear("dof-" + std::to_string(count), out, 0.5f, 4);
        for (UINT y = 0; y < 48; ++y) {
            // In focus: the sharp picture as it was.
            for (UINT x = 0; x < 32; ++x)
                ASSERT_EQ(out.At(x, y, 0), light.At(x, y, 0)) << x << ", " << y;
            // Out of focus: the stripes melt into their mean.
            if (std::abs(static_cast<int>(y) - 24) <= 6 * count)
                continue; // the highlight's reach
            for (UINT x = 38; x < 60; ++x) {
                ASSERT_NEAR(out.At(x, y, 0), 1.0f, 0.2f) << x << ", " << y;
                ASSERT_LT(std::fabs(out.At(x, y, 0) - out.At(x + 1, y, 0)), 0.2f) << x << ", " << y;
            }
        }
        // The highlight is spread out but stays brighter than white through the 8-bit targets.
        EXPECT_GT(out.At(48, 24, 0), 2.0f);
        EXPECT_LT(out.At(48, 24, 0), 250.0f);
        EXPECT_GT(out.At(50, 24, 0), 2.0f);
    }
}

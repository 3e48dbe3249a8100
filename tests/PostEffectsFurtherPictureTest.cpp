// The further passes of PostEffects on the GL device (llvmpipe): copies, mixers and bloom run on
// small pictures and on the sphere-on-floor fixture, read back and checked; the gallery is written
// to the picture folder as postfx-*.png.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "PostEffectsFurtherSupport.h"

namespace {

float Half(float v)
{
    return static_cast<float>(D3DXFLOAT16(v));
}

// Red by column, green by row, blue and alpha from both: no two texels alike.
FloatPicture Pattern(UINT w, UINT h)
{
    FloatPicture p(w, h);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x)
            p.Set(x, y, static_cast<float>(x) * 0.5f, static_cast<float>(y) * 0.25f + 0.125f,
                  static_cast<float>(x + y * w) / 16.0f, static_cast<float>(x + 1) / 32.0f);
    return p;
}

using PostEffectsFurtherPictureTest = PostEffectsFurtherGLTest;

} // namespace

TEST_F(PostEffectsFurtherPictureTest, ChannelCopiesPutOneChannelInAllFourInPlace)
{
    const FloatPicture source = Pattern(16, 9);
    RENDERTEXTURE* picture = Picture(source);
    RENDERTEXTURE* target = Target(16, 9);
    target->SetAsRenderTarget(0);
    const float scale[4] = {1.0f, 0.5f, 2.0f, 1.0f};
    struct Case {
        const char* name;
        void (PostEffects::*pass)(RENDERTEXTURE*, const float*);
        std::function<float(UINT, UINT)> grey;
    };
    const Case cases[] = {
        {"red", &PostEffects::BlitRedToGrey, [&](UINT x, UINT y) { return Half(source.At(x, y, 0)); }},
        {"green", &PostEffects::BlitGreenToGrey, [&](UINT x, UINT y) { return Half(source.At(x, y, 1)); }},
        {"blue", &PostEffects::BlitBlueToGrey, [&](UINT x, UINT y) { return Half(source.At(x, y, 2)); }},
        {"luminance", &PostEffects::BlitGreyScale,
         [&](UINT x, UINT y) {
             return 0.2126f * Half(source.At(x, y, 0)) + 0.7152f * Half(source.At(x, y, 1)) +
                    0.0722f * Half(source.At(x, y, 2));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        (post.get()->*c.pass)(picture, scale);
        const FloatPicture out = Read(target);
        SavePicture(std::string("grey-") + c.name, out, false, 0.125f);
        for (UINT y = 0; y < 9; ++y)
            for (UINT x = 0; x < 16; ++x)
                for (int ch = 0; ch < 3; ++ch)
                    ASSERT_NEAR(out.At(x, y, ch), c.grey(x, y) * scale[ch], 2e-3f * (1 + c.grey(x, y) * scale[ch]))
                        << x << ", " << y << " channel " << ch;
    }
    // The luminance keeps the picture's alpha, the channel copies put the channel there too.
    EXPECT_EQ(Read(target).At(3, 2, 3), Half(source.At(3, 2, 3)));

    // BlitCurrent draws whatever technique was selected last, with the same setup.
    post->SetPostTechnique("BlitQuadGreenToGrey");
    post->BlitCurrent(picture, scale);
    const FloatPicture current = Read(target);
    post->BlitGreenToGrey(picture, scale);
    EXPECT_EQ(current.values, Read(target).values);
}

TEST_F(PostEffectsFurtherPictureTest, BlendFadeAndUnsharpMixAsTheyPromise)
{
    const FloatPicture first = Pattern(16, 9);
    FloatPicture second(16, 9);
    for (UINT y = 0; y < 9; ++y)
        for (UINT x = 0; x < 16; ++x)
            second.Set(x, y, 4.0f, 0.0f, 1.0f, 0.5f);
    RENDERTEXTURE* a = Picture(first);
    RENDERTEXTURE* b = Picture(second);
    RENDERTEXTURE* target = Target(16, 9);
    target->SetAsRenderTarget(0);

    for (float w : {0.0f, 0.25f, 1.0f}) {
        SCOPED_TRACE(w);
        post->Blend(a, b, w);
        const FloatPicture out = Read(target);
        for (UINT y = 0; y < 9; ++y)
            for (UINT x = 0; x < 16; ++x)
                for (int c = 0; c < 4; ++c) {
                    const float expected = Half(first.At(x, y, c)) * (1 - w) + second.At(x, y, c) * w;
                    ASSERT_NEAR(out.At(x, y, c), expected, 2e-3f * (1 + std::fabs(expected))) << x << ", " << y;
                }
    }

    // Faded towards a colour by its alpha: at 0 the picture, at 1 the colour; alpha stays.
    for (float amount : {0.0f, 0.5f, 1.0f}) {
        SCOPED_TRACE(amount);
        const float colour[4] = {0.25f, 2.0f, 0.0f, amount};
        post->FadeToColor(a, colour);
        const FloatPicture out = Read(target);
        for (UINT y = 0; y < 9; ++y)
            for (UINT x = 0; x < 16; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const float expected = Half(first.At(x, y, c)) * (1 - amount) + colour[c] * amount;
                    if (amount == 1.0f) {
                        ASSERT_EQ(out.At(x, y, c), colour[c]) << x << ", " << y;
                    }
                    ASSERT_NEAR(out.At(x, y, c), expected, 2e-3f * (1 + std::fabs(expected))) << x << ", " << y;
                }
                ASSERT_EQ(out.At(x, y, 3), Half(first.At(x, y, 3)));
            }
    }

    // Unsharp: a flat area stays as it is, a step gains contrast on both sides, never below 0.
    FloatPicture step(16, 9), soft(16, 9);
    for (UINT y = 0; y < 9; ++y)
        for (UINT x = 0; x < 16; ++x) {
            const float v = x < 8 ? 0.2f : 1.0f;
            step.Set(x, y, v, v, v, 1);
            const float s = x < 6 ? 0.2f : x > 9 ? 1.0f : 0.2f + 0.8f * (static_cast<float>(x) - 5.5f) / 5.0f;
            soft.Set(x, y, s, s, s, 1);
        }
    RENDERTEXTURE* blurred = Picture(soft);
    post->MixUnsharp(Picture(step), blurred, blurred, blurred);
    const FloatPicture sharpened = Read(target);
    SavePicture("unsharp", sharpened, false, 0.7f);
    for (UINT y = 0; y < 9; ++y) {
        EXPECT_NEAR(sharpened.At(1, y, 0), 0.2f, 1e-3f);
        EXPECT_NEAR(sharpened.At(14, y, 0), 1.0f, 1e-3f);
        EXPECT_LT(sharpened.At(7, y, 0), 0.2f); // darker just before the step
        EXPECT_GE(sharpened.At(7, y, 0), 0.0f);
        EXPECT_GT(sharpened.At(8, y, 0), 1.0f); // brighter just after it
    }
}

TEST_F(PostEffectsFurtherPictureTest, RampRunsFromBlackOnTheLeftToOneOnTheRight)
{
    RENDERTEXTURE* target = Target(64, 8);
    target->SetAsRenderTarget(0);
    post->Ramp();
    const FloatPicture ramp = Read(target);
    SavePicture("ramp", ramp, true);
    for (UINT y = 0; y < 8; ++y)
        for (UINT x = 0; x < 64; ++x) {
            const float expected = (static_cast<float>(x) + 0.5f) / 64.0f;
            ASSERT_NEAR(ramp.At(x, y, 0), expected, 2e-3f) << x << ", " << y;
            ASSERT_EQ(ramp.At(x, y, 1), ramp.At(x, y, 0));
            ASSERT_EQ(ramp.At(x, y, 3), 1.0f);
        }
}

TEST_F(PostEffectsFurtherPictureTest, GaussBlur5SpreadsATexelSymmetricallyAndKeepsItsSum)
{
    FloatPicture dot(41, 41);
    dot.Set(20, 20, 100.0f, 0, 0, 1);
    RENDERTEXTURE* image = FilledTarget(dot);
    RENDERTEXTURE* scratch = Target(41, 41);
    DXEffectHandler::SetActiveEffect("postfx");
    post->GaussBlur5(image, scratch);
    const FloatPicture out = Read(image);
    SavePicture("gauss5", out, false, 2.0f);
    double sum = 0;
    for (UINT y = 0; y < 41; ++y)
        for (UINT x = 0; x < 41; ++x) {
            sum += out.At(x, y, 0);
            ASSERT_NEAR(out.At(x, y, 0), out.At(40 - x, y, 0), 1e-2f) << x << ", " << y;
            ASSERT_NEAR(out.At(x, y, 0), out.At(x, 40 - y, 0), 1e-2f) << x << ", " << y;
        }
    EXPECT_NEAR(sum, 100.0, 1.0);
    // Five passes reach much farther than one (four texels) and fall off from the middle.
    EXPECT_GT(out.At(28, 20, 0), 0.01f);
    for (UINT d = 1; d <= 12; ++d)
        EXPECT_LT(out.At(20 + d, 20, 0), out.At(20 + d - 1, 20, 0)) << d;
    EXPECT_LT(out.At(20, 20, 0), 10.0f);
}

TEST_F(PostEffectsFurtherPictureTest, BloomSpreadsTheHighlightAndLeavesTheDarkDark)
{
    const UINT w = 160, h = 90;
    const SphereOnFloor scene(w, h);
    RENDERTEXTURE* full = Picture(scene.light);
    SavePicture("fixture-light", scene.light, true);
    RENDERTEXTURE* levels[4];
    RENDERTEXTURE* scratches[4];
    for (int i = 0; i < 4; ++i) {
        levels[i] = Target(w >> (i + 1), h >> (i + 1));
        scratches[i] = Target(w >> (i + 1), h >> (i + 1));
    }
    RENDERTEXTURE* out = Target(w, h);
    const auto bloom = [&](const float weights[2]) {
        out->SetAsRenderTarget(0);
        post->BloomCombine(full, levels[0], scratches[0], levels[1], scratches[1], levels[2], scratches[2], levels[3],
                           scratches[3], weights);
        return Read(out);
    };
    const auto fade = [&](float e) {
        out->SetAsRenderTarget(0);
        post->BloomFadeCombine(full, levels[0], scratches[0], levels[1], scratches[1], levels[2], scratches[2],
                               levels[3], scratches[3], e);
        return Read(out);
    };

    // Without glow the picture comes through as it is; the fade at 0 likewise.
    const float none[2] = {1.0f, 0.0f};
    const FloatPicture plain = bloom(none);
    const FloatPicture unfaded = fade(0.0f);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(plain.At(x, y, c), Half(scene.light.At(x, y, c))) << x << ", " << y;
                ASSERT_NEAR(unfaded.At(x, y, c), Half(scene.light.At(x, y, c)), 1e-3f * (1 + scene.light.At(x, y, c)))
                    << x << ", " << y;
            }

    const float glow[2] = {1.0f, 1.0f};
    const FloatPicture bloomed = bloom(glow);
    SavePicture("bloom", bloomed, true);
    const FloatPicture faded = fade(1.0f);
    SavePicture("bloom-fade", faded, true);

    // Light is only ever added, and more of it near the highlight than anywhere else.
    const int hx = scene.highlightX, hy = scene.highlightY;
    ASSERT_GT(scene.light.At(hx, hy, 0), 10.0f);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x)
            ASSERT_GE(bloomed.At(x, y, 1), Half(scene.light.At(x, y, 1)) - 1e-3f) << x << ", " << y;
    const auto gain = [&](const FloatPicture& p, int x, int y) { return p.At(x, y, 1) - Half(scene.light.At(x, y, 1)); };
    // Beyond the sphere, in the empty sky above its highlight, the glow shows...
    int sky = hy;
    while (sky > 0 && scene.normalDepth.At(hx, sky, 3) < 1.0f)
        --sky;
    ASSERT_GT(hy - sky, 0);
    EXPECT_GT(gain(bloomed, hx, sky - 2), 0.05f);
    EXPECT_GT(gain(bloomed, hx, sky - 2), 5 * gain(bloomed, 2, 2));
    // ...and the sky's corners and the floor far from the sphere stay as they were: light below
    // white makes no glow.
    for (auto [x, y] : {std::pair{2, 2}, std::pair{157, 2}, std::pair{2, 87}, std::pair{157, 87}})
        EXPECT_LT(gain(bloomed, x, y), 0.005f) << x << ", " << y;

    // The fade moves light out of the highlight into its surroundings.
    EXPECT_LT(faded.At(hx, hy, 1), 0.75f * Half(scene.light.At(hx, hy, 1)));
    EXPECT_GT(gain(faded, hx, sky - 2), 0.02f);
}

TEST_F(PostEffectsFurtherPictureTest, SobelIsZeroOnFlatColourAndHighOnTheSilhouette)
{
    const UINT w = 160, h = 90;
    const SphereOnFloor scene(w, h);
    RENDERTEXTURE* out = Target(w, h);
    out->SetAsRenderTarget(0);

    post->SobelFilter(Picture(scene.light));
    const FloatPicture edges = Read(out);
    SavePicture("sobel", edges, false, 1.0f);
    // The empty sky and the open floor are flat colour.
    for (auto [x, y] : {std::pair{5, 5}, std::pair{150, 20}, std::pair{10, 80}, std::pair{150, 80}})
        EXPECT_LT(edges.At(x, y, 0), 1e-3f) << x << ", " << y;
    // Where the lit sphere meets the black sky, going up its middle column.
    const int hx = w / 2;
    int top = 0;
    while (top < static_cast<int>(h) && scene.normalDepth.At(hx, top, 3) >= 1.0f)
        ++top;
    ASSERT_LT(top, static_cast<int>(h) / 2);
    EXPECT_GT(std::max(edges.At(hx, top, 0), edges.At(hx, top - 1, 0)), 0.3f);
    EXPECT_EQ(edges.At(hx, top, 0), edges.At(hx, top, 2));

    // On the normals: the floor and the sky 1, also along the horizon (nothing occludes from the
    // empty sky); the contact of sphere and floor dark.
    post->SobelAOFilter(Picture(scene.normalDepth));
    const FloatPicture creases = Read(out);
    SavePicture("sobel-ao", creases, false, 1.0f);
    for (auto [x, y] : {std::pair{5, 5}, std::pair{10, 80}, std::pair{150, 80}})
        EXPECT_NEAR(creases.At(x, y, 0), 1.0f, 1e-3f) << x << ", " << y;
    for (UINT y = 0; y < h; ++y)
        ASSERT_NEAR(creases.At(5, y, 0), 1.0f, 1e-3f) << y;
    // The sphere's lowest row: the contact with the floor.
    int bottom = static_cast<int>(h) - 1;
    while (bottom > 0 && scene.colour.At(hx, bottom, 3) < 1.0f)
        --bottom;
    ASSERT_GT(bottom, top);
    float darkest = 1.0f;
    for (int y = bottom - 1; y <= bottom + 1; ++y)
        darkest = std::min(darkest, creases.At(hx, y, 0));
    EXPECT_LT(darkest, 0.5f);
    // The sphere's inside turns gently.
    EXPECT_GT(creases.At(hx, (top + bottom) / 2, 0), 0.9f);
}

TEST_F(PostEffectsFurtherPictureTest, OcclusionFilterSmoothsEachSurfaceApartAndTheCombineDarkens)
{
    // Rows 0-1 empty; below them a near wall on the left (depth 0.1) with noisy occlusion (a
    // checkerboard of 0 and 1) and a far wall on the right (0.9) evenly at 0.2.
    const UINT w = 32, h = 12;
    FloatPicture guide(w, h), occlusion(w, h);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) {
            if (y < 2) {
                guide.Set(x, y, 0, 0, -1, 1);
                occlusion.Set(x, y, 0.75f, 0.75f, 0.75f, 1);
            } else {
                guide.Set(x, y, 0, 0, 1, x < 16 ? 0.1f : 0.9f);
                const float o = x < 16 ? static_cast<float>((x + y) % 2) : 0.25f;
                occlusion.Set(x, y, o, o, o, 1);
            }
        }
    RENDERTEXTURE* out = Target(w, h);
    out->SetAsRenderTarget(0);
    post->BilateralSSAOFilter(Picture(occlusion), Picture(guide));
    const FloatPicture smooth = Read(out);
    SavePicture("ssao-filter", smooth, false);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) {
            SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
            if (y < 2) {
                ASSERT_EQ(smooth.At(x, y, 0), 0.75f); // empty pixels keep their own
            } else if (x >= 16) {
                ASSERT_NEAR(smooth.At(x, y, 0), 0.25f, 1e-3f); // nothing from the near wall
            } else if (x > 0 && x < 15 && y > 2 && y < h - 1) {
                ASSERT_NEAR(smooth.At(x, y, 0), 0.5f, 1e-3f); // the noise evened out
            }
        }

    // The combine: colour times occlusion, alpha as it was.
    FloatPicture colour(w, h);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x)
            colour.Set(x, y, 2.0f, 1.0f, 0.5f, static_cast<float>(x) / 32.0f);
    post->AmbientOcclusionCombine(Picture(colour), Picture(occlusion));
    const FloatPicture combined = Read(out);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(combined.At(x, y, c), colour.At(x, y, c) * Half(occlusion.At(x, y, 0)), 1e-3f)
                    << x << ", " << y;
            ASSERT_EQ(combined.At(x, y, 3), colour.At(x, y, 3));
        }
}

TEST_F(PostEffectsFurtherPictureTest, BlurLowSoftensTheBackBufferInPlace)
{
    // A one-pixel white column and a one-pixel white row on black, in the back buffer.
    FloatPicture lines(160, 90);
    for (UINT y = 0; y < 90; ++y)
        for (UINT x = 0; x < 160; ++x) {
            const float v = (x == 40 || y == 60) ? 1.0f : 0.0f;
            lines.Set(x, y, v, v, v, 1);
        }
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    State().backBuffer = back;
    ASSERT_EQ(device->SetRenderTarget(0, back), D3D_OK);
    const float one[4] = {1, 1, 1, 1};
    post->BlitQuad(Picture(lines), one);

    RENDERTEXTURE* scratch = Target(160, 90, D3DFMT_X8R8G8B8);
    RENDERTEXTURE* work = Target(160, 90, D3DFMT_X8R8G8B8);
    post->BlurLow(scratch, work, 1);
    const std::vector<std::uint32_t> pixels = ReadTarget(back);
    State().backBuffer = nullptr;
    back->Release();
    std::vector<std::uint8_t> bgra(reinterpret_cast<const std::uint8_t*>(pixels.data()),
                                   reinterpret_cast<const std::uint8_t*>(pixels.data()) + pixels.size() * 4);
    EXPECT_TRUE(WritePngBGRA(FurtherPicturePath("blur-low"), bgra.data(), 160, 90, 160 * 4));
    const auto green = [&](int x, int y) { return static_cast<int>((pixels[y * 160 + x] >> 8) & 0xFF); };
    // Across the column: a quarter, a half, a quarter, in place; nothing farther.
    EXPECT_NEAR(green(40, 20), 128, 2);
    EXPECT_NEAR(green(39, 20), 64, 2);
    EXPECT_NEAR(green(41, 20), 64, 2);
    EXPECT_EQ(green(38, 20), 0);
    EXPECT_EQ(green(42, 20), 0);
    // Across the row likewise, not moved up or down.
    EXPECT_NEAR(green(100, 60), 128, 2);
    EXPECT_NEAR(green(100, 59), 64, 2);
    EXPECT_NEAR(green(100, 61), 64, 2);
    EXPECT_EQ(green(100, 58), 0);
    EXPECT_EQ(green(100, 62), 0);
}

TEST_F(PostEffectsFurtherPictureTest, AmbientOcclusionDarkensTheContactAndNotTheOpenFloor)
{
    const UINT w = 160, h = 90;
    const SphereOnFloor fixture(w, h);
    CameraScene scene(CAMERAPARAMS{SphereOnFloor::kFov, 0.1f, SphereOnFloor::kFar, 0.0f, 0.0f,
                                   static_cast<float>(w) / static_cast<float>(h)});
    RENDERTEXTURE* normalDepth = FilledTarget(fixture.normalDepth);
    RENDERTEXTURE* out = Target(w, h);
    out->SetAsRenderTarget(0);
    post->AmbientOcclusion(normalDepth, 0.5f, 4.0f);
    const FloatPicture ao = Read(out);
    SavePicture("ssao", ao, false);

    // The lowest sphere pixel in the middle column; the floor just below it touches the sphere.
    UINT bottom = 0;
    for (UINT y = 0; y < h; ++y)
        if (fixture.normalDepth.At(w / 2, y, 1) != 1.0f && fixture.normalDepth.At(w / 2, y, 3) < 1.0f)
            bottom = y;
    ASSERT_GT(bottom, h / 2);
    float contact = 0.0f, open = 0.0f;
    for (UINT y = bottom + 1; y <= bottom + 2; ++y)
        for (UINT x = w / 2 - 2; x <= w / 2 + 2; ++x) {
            contact += ao.At(x, y, 0) / 10.0f;
            open += ao.At(x - 60, y, 0) / 10.0f;
        }
    EXPECT_LT(contact, 0.8f);
    EXPECT_GT(open, 0.95f);
    // Empty pixels and the sky stay open.
    EXPECT_EQ(ao.At(w / 2, 2, 0), 1.0f);

    // Every other pass keeps drawing right with the far-plane corners in the quad: a copy is exact.
    RENDERTEXTURE* copy = Target(w, h);
    copy->SetAsRenderTarget(0);
    const float one[4] = {1, 1, 1, 1};
    post->BlitQuad(normalDepth, one);
    const FloatPicture copied = Read(copy);
    const FloatPicture original = Read(normalDepth);
    EXPECT_EQ(copied.values, original.values);
}

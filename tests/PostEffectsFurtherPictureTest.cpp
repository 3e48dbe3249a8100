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

TEST_F(PostEffectsFurtherPictureTest, MotionAndExponentialBlursSpreadLightAndKeepIt)
{
    // A white column at x = 20 on dark grey; the top half moves 8 texels to the right, the
    // bottom half stands still.
    const UINT w = 48, h = 16;
    FloatPicture lines(w, h), motion(w, h);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) {
            const float v = x == 20 ? 1.0f : 0.125f;
            lines.Set(x, y, v, v, v, 0.5f);
            motion.Set(x, y, y < h / 2 ? 8.0f : 0.0f, 0, 0, 0);
        }
    RENDERTEXTURE* out = Target(w, h);
    out->SetAsRenderTarget(0);
    post->MotionBlur(Picture(lines), Picture(motion));
    const FloatPicture moved = Read(out);
    SavePicture("motion-blur", moved, false);
    const auto rowSum = [&](const FloatPicture& p, UINT y) {
        float sum = 0;
        for (UINT x = 8; x < 40; ++x)
            sum += p.At(x, y, 1) - 0.125f;
        return sum;
    };
    // Moving: the column smeared four texels either way, its light kept; standing: untouched.
    EXPECT_GT(moved.At(17, 3, 1), 0.15f);
    EXPECT_GT(moved.At(23, 3, 1), 0.15f);
    EXPECT_NEAR(moved.At(15, 3, 1), 0.125f, 1e-3f);
    EXPECT_NEAR(moved.At(25, 3, 1), 0.125f, 1e-3f);
    EXPECT_NEAR(rowSum(moved, 3), 0.875f, 0.02f);
    for (UINT x = 0; x < w; ++x)
        ASSERT_EQ(moved.At(x, 12, 1), lines.At(x, 12, 1)) << x;
    EXPECT_EQ(moved.At(20, 3, 3), 0.5f);

    // The exponential blur of one bright texel: symmetric, falling with distance, the light kept.
    FloatPicture dot(w, h);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x)
            dot.Set(x, y, 0, 0, 0, 1);
    dot.Set(24, 8, 4.0f, 4.0f, 4.0f, 1);
    RENDERTEXTURE* spread = Target(w, h);
    post->ExpBlur(Picture(dot), spread);
    const FloatPicture blurred = Read(spread);
    SavePicture("exp-blur", blurred, false, 4.0f);
    float sum = 0;
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x)
            sum += blurred.At(x, y, 0);
    EXPECT_NEAR(sum, 4.0f, 0.02f);
    for (int d = 0; d < 4; ++d) {
        EXPECT_GT(blurred.At(24 + d, 8, 0), blurred.At(24 + d + 1, 8, 0)) << d;
        EXPECT_NEAR(blurred.At(24 + d, 8, 0), blurred.At(24 - d, 8, 0), 1e-4f) << d;
        EXPECT_NEAR(blurred.At(24, 8 + d, 0), blurred.At(24 + d, 8, 0), 1e-4f) << d;
    }
    EXPECT_EQ(blurred.At(24 + 5, 8, 0), 0.0f);
    // The skirt: a texel four away still gets a share, unlike the nine-tap Gaussian's tail.
    EXPECT_GT(blurred.At(28, 8, 0) / blurred.At(24, 8, 0), 0.05f);
}

TEST_F(PostEffectsFurtherPictureTest, MaskedBloomGlowsOnlyWhereTheAlphaMarks)
{
    // Two equally bright squares on a dim field; only the left one is marked to glow.
    const UINT w = 96, h = 48;
    FloatPicture source(w, h);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) {
            const bool square = y >= 20 && y < 28 && ((x >= 20 && x < 28) || (x >= 68 && x < 76));
            const float v = square ? 4.0f : 0.05f;
            source.Set(x, y, v, v, v, square && x < 48 ? 1.0f : 0.0f);
        }
    RTHandler pool;
    CameraScene scene(CAMERAPARAMS{1.0f, 0.5f, 200.0f, 0.0f, 0.0f, 2.0f});
    scene.scene->RequestTexture("bloom_A_1", w / 2, h / 2, D3DFMT_A16B16G16R16F);
    scene.scene->RequestTexture("bloom_B_1", w / 2, h / 2, D3DFMT_A16B16G16R16F);
    RENDERTEXTURE* out = Target(w, h);
    out->SetAsRenderTarget(0);
    const float weights[2] = {1.0f, 2.0f};
    post->MaskedBloom(Picture(source), weights);
    const FloatPicture bloomed = Read(out);
    SavePicture("masked-bloom", bloomed, true);
    // Around the marked square the field glows; around the other it is as it was.
    EXPECT_GT(bloomed.At(23, 32, 1), 0.05f + 0.05f);
    EXPECT_GT(bloomed.At(16, 23, 1), 0.05f + 0.05f);
    EXPECT_NEAR(bloomed.At(71, 32, 1), Half(0.05f), 1e-4f);
    EXPECT_NEAR(bloomed.At(64, 23, 1), Half(0.05f), 1e-4f);
    // The source shows through at its weight, with its alpha.
    EXPECT_GE(bloomed.At(72, 24, 1), 4.0f);
    EXPECT_EQ(bloomed.At(24, 24, 3), 1.0f);
    EXPECT_EQ(bloomed.At(72, 24, 3), 0.0f);
    scene.scene->UnrequestTargets();
}

TEST_F(PostEffectsFurtherPictureTest, AlphaWeightedBlurKeepsEmptyTexelsColourOut)
{
    // Left half red and covered; right half green but empty (alpha 0).
    const UINT w = 32, h = 8;
    FloatPicture half(w, h);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x)
            half.Set(x, y, x < 16 ? 1.0f : 0.0f, x < 16 ? 0.0f : 1.0f, 0, x < 16 ? 1.0f : 0.0f);
    RENDERTEXTURE* scratch = Target(w, h);
    RENDERTEXTURE* aa = FilledTarget(half);
    post->SeparableBlurAA(scratch, aa, 1);
    const FloatPicture weighted = Read(aa);
    RENDERTEXTURE* plain = FilledTarget(half);
    post->SeparableBlur(scratch, plain, 1);
    const FloatPicture mixed = Read(plain);
    SavePicture("blur-aa", weighted, false);
    for (UINT x = 12; x < 20; ++x) {
        SCOPED_TRACE(x);
        // Red stays pure red up to the edge and beyond it, where the coverage fades out.
        if (weighted.At(x, 4, 3) > 0) {
            EXPECT_NEAR(weighted.At(x, 4, 0), 1.0f, 2e-3f);
            EXPECT_LT(weighted.At(x, 4, 1), 2e-3f);
        }
    }
    EXPECT_GT(weighted.At(15, 4, 3), 0.5f);
    EXPECT_LT(weighted.At(15, 4, 3), 1.0f);
    EXPECT_GT(weighted.At(16, 4, 3), 0.0f);
    EXPECT_LT(weighted.At(16, 4, 3), 0.5f);
    // The plain blur mixes the empty green in.
    EXPECT_GT(mixed.At(15, 4, 1), 0.1f);
}

TEST_F(PostEffectsFurtherPictureTest, SaturateKeepsTheLuminanceAndScalesTheColour)
{
    // Flat colours in two halves, far from their edge where the blur changes nothing.
    const UINT w = 64, h = 16;
    FloatPicture flat(w, h);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x)
            x < 32 ? flat.Set(x, y, 0.8f, 0.4f, 0.1f, 0.25f) : flat.Set(x, y, 0.1f, 0.3f, 0.6f, 0.25f);
    RENDERTEXTURE* source = Picture(flat);
    RENDERTEXTURE* scratch = Target(w, h);
    RENDERTEXTURE* work = Target(w, h);
    RENDERTEXTURE* out = Target(w, h);
    for (float amount : {0.0f, 1.0f, 2.0f}) {
        SCOPED_TRACE(amount);
        out->SetAsRenderTarget(0);
        post->Saturate(scratch, work, source, amount);
        const float s = PostFxWorld::Floats("VALUE1", 1)[0];
        const FloatPicture saturated = Read(out);
        if (amount == 2.0f)
            SavePicture("saturate", saturated, false);
        for (UINT x : {4u, 60u}) {
            float rgb[3];
            for (int c = 0; c < 3; ++c)
                rgb[c] = Half(flat.At(x, 8, c));
            const float grey = 0.2126f * rgb[0] + 0.7152f * rgb[1] + 0.0722f * rgb[2];
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(saturated.At(x, 8, c), std::max(grey + (rgb[c] - grey) * s, 0.0f), 2e-3f)
                    << x << " channel " << c;
            EXPECT_EQ(saturated.At(x, 8, 3), 0.25f);
        }
    }
}

TEST_F(PostEffectsFurtherPictureTest, DepthToNormalFindsTheSurfacesOfTheGBuffer)
{
    const UINT w = 160, h = 90;
    const SphereOnFloor fixture(w, h);
    CameraScene scene(CAMERAPARAMS{SphereOnFloor::kFov, 0.1f, SphereOnFloor::kFar, 0.0f, 0.0f,
                                   static_cast<float>(w) / static_cast<float>(h)});
    // The depth alone, as a depth target holds it: in red.
    RENDERTEXTURE* depth = Target(w, h);
    depth->SetAsRenderTarget(0);
    const float one[4] = {1, 1, 1, 1};
    post->BlitAlphaToGrey(Picture(fixture.normalDepth), one);
    RENDERTEXTURE* out = Target(w, h);
    out->SetAsRenderTarget(0);
    post->DepthToNormal(depth);
    const FloatPicture normals = Read(out);
    FloatPicture shown = normals;
    for (std::size_t i = 0; i < shown.values.size(); ++i)
        shown.values[i] = (i % 4 == 3) ? 1.0f : shown.values[i] * 0.5f + 0.5f;
    SavePicture("depth-to-normal", shown, false);

    int surfaces = 0, agreeing = 0;
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) {
            if (fixture.normalDepth.At(x, y, 3) >= 0.999f) {
                ASSERT_EQ(normals.At(x, y, 2), -1.0f) << x << ", " << y; // nothing here stays so
                continue;
            }
            float d = 0;
            for (int c = 0; c < 3; ++c)
                d += normals.At(x, y, c) * fixture.normalDepth.At(x, y, c);
            ++surfaces;
            agreeing += d > 0.97f ? 1 : 0;
            ASSERT_NEAR(normals.At(x, y, 3), Half(fixture.normalDepth.At(x, y, 3)), 1e-6f);
        }
    // Depth in half floats is coarse far away, and the sphere's rim is steep: most, not all.
    EXPECT_GT(agreeing, surfaces * 9 / 10) << agreeing << " of " << surfaces;
}

TEST_F(PostEffectsFurtherPictureTest, AlbedoLightLightsBySunAndSky)
{
    const UINT w = 160, h = 90;
    const SphereOnFloor fixture(w, h);
    CameraScene scene(CAMERAPARAMS{SphereOnFloor::kFov, 0.1f, SphereOnFloor::kFar, 0.0f, 0.0f,
                                   static_cast<float>(w) / static_cast<float>(h)});
    RENDERTEXTURE* colour = Picture(fixture.colour);
    RENDERTEXTURE* normalDepth = Picture(fixture.normalDepth);
    FloatPicture open(w, h), closed(w, h);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x)
            open.Set(x, y, 1, 1, 1, 1), closed.Set(x, y, 0, 0, 0, 1);
    RENDERTEXTURE* out = Target(w, h);
    const auto light = [&](const FloatPicture& occlusion, D3DXVECTOR3 direction) {
        out->SetAsRenderTarget(0);
        post->AlbedoLight(colour, normalDepth, Picture(occlusion), direction);
        return Read(out);
    };
    // A floor pixel in front of the sphere, and the sphere's top and underside in the middle column.
    const UINT floorX = 20, floorY = 80;
    ASSERT_EQ(fixture.normalDepth.At(floorX, floorY, 1), 1.0f);
    UINT top = h, bottom = 0;
    for (UINT y = 0; y < h; ++y)
        if (fixture.colour.At(w / 2, y, 3) == 1.0f)
            top = std::min(top, y), bottom = std::max(bottom, y);
    ASSERT_LT(top + 8, bottom);

    // Sun alone (sky closed off): Lambert's cosine on the floor.
    const FloatPicture overhead = light(closed, D3DXVECTOR3(0, -3, 0));
    const FloatPicture slanted = light(closed, D3DXVECTOR3(0.4f, -1, -0.5f));
    const float cosine = 1.0f / std::sqrt(0.16f + 1.0f + 0.25f);
    EXPECT_NEAR(slanted.At(floorX, floorY, 0) / overhead.At(floorX, floorY, 0), cosine, 0.01f);
    EXPECT_GT(overhead.At(w / 2, top + 1, 0), 5 * overhead.At(w / 2, bottom - 1, 0) + 1e-3f);
    // Sun below the floor: only the sky lights it, and only where it is open.
    const FloatPicture skyOnly = light(open, D3DXVECTOR3(0, 1, 0));
    const FloatPicture dark = light(closed, D3DXVECTOR3(0, 1, 0));
    EXPECT_GT(skyOnly.At(floorX, floorY, 2), 0.05f);
    EXPECT_EQ(dark.At(floorX, floorY, 2), 0.0f);
    // The sky is brighter than the ground: the sky light (open less closed) on a face turned up
    // is more than on one turned down.
    const auto skyLight = [&](UINT y) { return skyOnly.At(w / 2, y, 2) - dark.At(w / 2, y, 2); };
    EXPECT_GT(skyLight(top + 1), 2 * skyLight(bottom - 1));
    EXPECT_GT(skyLight(bottom - 1), 0.0f);
    // Nothing is lit where nothing was drawn.
    EXPECT_EQ(overhead.At(w / 2, 2, 0), 0.0f);

    // The gallery: sun from above left with the occlusion of the scene.
    RENDERTEXTURE* filled = FilledTarget(fixture.normalDepth);
    RENDERTEXTURE* occlusion = Target(w, h);
    occlusion->SetAsRenderTarget(0);
    post->AmbientOcclusion(filled, 0.5f, 4.0f);
    FloatPicture ao = Read(occlusion);
    SavePicture("albedo-light", light(ao, D3DXVECTOR3(0.4f, -1, -0.5f)), true);
}

#include "PostEffects.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "DXEffect/DXEffect.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "PerlinNoise.h"
#include "RenderClasses/Quads/Quads.h"
#include "Camera.h"
#include "CamHandler.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "Scene.h"
#include "SceneHandler.h"
#include "SyncTimer.h"
#include "Timer.h"
#include "sync/Device.h"
#include "sync/Track.h"

namespace {

const char* const kEffect = "postfx";
constexpr float kPi = 3.14159265358979323846f;
// The luminance of linear light above which the bloom makes a picture glow.
constexpr float kBloomThreshold = 1.0f;

// Sums of gradient noise as the twitch pass uses them: amplitude halves, frequency doubles.
float TwitchNoise(float x, int octaves)
{
    return PerlinNoise1D(x, 2.0f, 2.0f, octaves);
}

IDirect3DDevice9* Device()
{
    IDirect3DDevice9* device = DXFramework::GetDevice();
    if (!device)
        throw FrameworkEx("[PostEffects] No Direct3D device.");
    return device;
}

// One pixel of a target of that size; y is negative because rows run down the screen.
void SetTargetPixel(float width, float height)
{
    const float pixel[2] = {1.0f / width, -1.0f / height};
    DXEffectHandler::SetVec2BySemantic("RTDIMPIXELINV", pixel);
}

void SetTargetPixel(const RENDERTEXTURE* target)
{
    SetTargetPixel(static_cast<float>(target->width), static_cast<float>(target->height));
}

// The target of a pass that names none: the current viewport.
void SetViewportPixel()
{
    D3DVIEWPORT9 viewport{};
    CHECK_RESULT(Device()->GetViewport(&viewport));
    SetTargetPixel(static_cast<float>(viewport.Width), static_cast<float>(viewport.Height));
}

void SetSourceTexel(const RENDERTEXTURE* source)
{
    const float texel[2] = {1.0f / static_cast<float>(source->width), 1.0f / static_cast<float>(source->height)};
    DXEffectHandler::SetVec2BySemantic("TX1DIMPIXELINV", texel);
}

// Render target 0 and the viewport as a pass found them, bound again when it is done.
class SavedTarget {
public:
    SavedTarget()
    {
        CHECK_RESULT(Device()->GetViewport(&viewport));
        CHECK_RESULT(Device()->GetRenderTarget(0, &target));
    }
    ~SavedTarget()
    {
        if (target)
            target->Release();
    }
    SavedTarget(const SavedTarget&) = delete;
    SavedTarget& operator=(const SavedTarget&) = delete;

    // Binding a target resets the viewport to the whole target, so the viewport follows it.
    void Restore()
    {
        if (target) {
            CHECK_RESULT(Device()->SetRenderTarget(0, target));
            target->Release();
            target = nullptr;
        }
        CHECK_RESULT(Device()->SetViewport(&viewport));
    }

    const D3DVIEWPORT9& Viewport() const { return viewport; }

private:
    D3DVIEWPORT9 viewport{};
    IDirect3DSurface9* target = nullptr;
};

} // namespace

PostEffects::PostEffects(const std::string& name)
    : DXModule(name),
      overlayTrack(DXFramework::GetSyncDevice()->getTrack("Overlay")),
      twitchAngleTrack(DXFramework::GetSyncDevice()->getTrack("TwitchAngle")),
      twitchWeightTrack(DXFramework::GetSyncDevice()->getTrack("TwitchWeight")),
      twitchRGBTrack(DXFramework::GetSyncDevice()->getTrack("TwitchRGB")),
      twitchSpreadTrack(DXFramework::GetSyncDevice()->getTrack("TwitchSpread")),
      twitchSpeedTrack(DXFramework::GetSyncDevice()->getTrack("TwitchSpeed")),
      flashTrack(DXFramework::GetSyncDevice()->getTrack("Flash"))
{
}

PostEffects::~PostEffects()
{
    delete screenQuad;
}

void PostEffects::CreateResources()
{
    // A second creation without a release in between replaces the quad instead of leaking it.
    delete screenQuad;
    screenQuad = nullptr;
    screenQuad = new Quads(1, 1, nullptr);
    screenQuad->SetDrawCount(1);

    DXEffectHandler::AddEffect(kEffect, "PostEffects.fx", DXFramework::GetEffectPool());
    DXEffect* effect = DXEffectHandler::FindEffect(kEffect);
    if (effect)
        effect->SetTechnique("BlitQuad");

    // The quad covers the whole target; the effect finds the texture coordinates from the corners.
    void* data = nullptr;
    const HRESULT locked = screenQuad->LockPositions(&data);
    if (locked != D3D_OK) {
        // A lost device is rebuilt later and this runs again; the pointer is not to be written.
        CHECK_RESULT(locked);
    } else {
        const float corners[4][3] = {{-1.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 0.0f}, {1.0f, -1.0f, 0.0f}, {-1.0f, -1.0f, 0.0f}};
        std::copy(&corners[0][0], &corners[0][0] + 12, static_cast<float*>(data));
        screenQuad->UnlockPositions();
    }

    // Random directions in the unit ball, drawn z first, each at least a tenth long.
    for (D3DXVECTOR3& sample : kernel16) {
        D3DXVECTOR3 v;
        v.z = RandomRange(-1.0f, 1.0f);
        v.y = RandomRange(-1.0f, 1.0f);
        v.x = RandomRange(-1.0f, 1.0f);
        D3DXVec3Normalize(&v, &v);
        const float length = RandomRange(0.1f, 1.0f);
        sample = D3DXVECTOR3(v.x * length, v.y * length, v.z * length);
    }
}

void PostEffects::ReleaseResources()
{
    delete screenQuad;
    screenQuad = nullptr;
}

void PostEffects::Update() {}

void PostEffects::DrawQuad(const char* operation)
{
    if (!screenQuad)
        throw FrameworkEx(std::string("[PostEffects::") + operation + "] The module's resources are not created.");
    DXEffectHandler::RenderObject(screenQuad);
}

void PostEffects::FillQuad(const float colour[4])
{
    DXEffectHandler::SetActiveEffect(kEffect);
    DXEffectHandler::SetVec4BySemantic("VALUE1", colour);
    SetViewportPixel();
    DXEffectHandler::SetTechnique("FillQuad");
    DrawQuad("FillQuad");
}

void PostEffects::Blit(RENDERTEXTURE* source, const float colour[4], const char* technique, const char* operation)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    DXEffectHandler::SetVec4BySemantic("VALUE1", colour);
    SetViewportPixel();
    DXEffectHandler::SetTextureBySemantic("COLTEX1", source->texture);
    if (technique)
        DXEffectHandler::SetTechnique(technique);
    DrawQuad(operation);
}

void PostEffects::BlitQuad(RENDERTEXTURE* source, const float colour[4])
{
    Blit(source, colour, "BlitQuad", "BlitQuad");
}

void PostEffects::BlitAlphaToGrey(RENDERTEXTURE* source, const float colour[4])
{
    Blit(source, colour, "BlitQuadAlphaToGrey", "BlitAlphaToGrey");
}

void PostEffects::SeparableBlur(RENDERTEXTURE* target, RENDERTEXTURE* source, int count)
{
    Separable(target, source, count, "BlurV", "BlurH", "SeparableBlur");
}

void PostEffects::SeparableBlurAA(RENDERTEXTURE* target, RENDERTEXTURE* source, int count)
{
    Separable(target, source, count, "BlurVAA", "BlurHAA", "SeparableBlurAA");
}

void PostEffects::Separable(RENDERTEXTURE* target, RENDERTEXTURE* source, int count, const char* vertical,
                            const char* horizontal, const char* operation)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    for (int i = 0; i < count; ++i) {
        SetTargetPixel(target);
        SetSourceTexel(source);
        target->SetAsRenderTarget(0);
        DXEffectHandler::SetTechnique(vertical);
        DXEffectHandler::SetTextureBySemantic("COLTEX1", source->texture);
        DrawQuad(operation);

        SetTargetPixel(source);
        SetSourceTexel(target);
        source->SetAsRenderTarget(0);
        DXEffectHandler::SetTechnique(horizontal);
        DXEffectHandler::SetTextureBySemantic("COLTEX1", target->texture);
        DrawQuad(operation);
    }
}

void PostEffects::BilateralBlur(RENDERTEXTURE* guide, RENDERTEXTURE* image)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    DXEffectHandler::SetFloatBySemantic("BUFDIMX", static_cast<float>(guide->width));
    DXEffectHandler::SetFloatBySemantic("BUFDIMY", static_cast<float>(guide->height));
    SetTargetPixel(image);

    // A 3 x 3 grid a texel and a half apart, row by row from the top, the whole grid moved by
    // one texel left and one down. The effect places its taps relative to the middle entry, so
    // the move does not shift the picture.
    const float width = static_cast<float>(image->width);
    const float height = static_cast<float>(image->height);
    const float dx = 1.5f / width;
    const float dy = 1.5f / height;
    float texOffsets[9][2] = {{-dx, dy}, {0.0f, dy}, {dx, dy}, {-dx, 0.0f}, {0.0f, 0.0f},
                              {dx, 0.0f}, {-dx, -dy}, {0.0f, -dy}, {dx, -dy}};
    for (auto& offset : texOffsets) {
        offset[0] += -1.0f / width;
        offset[1] += 1.0f / height;
    }
    DXEffectHandler::SetFloatArrayBySemantic("GAUSSOFFSETS", &texOffsets[0][0], 18);

    DXEffectHandler::SetTechnique("Bilateral_Blur_Filter");
    DXEffectHandler::SetTextureBySemantic("COLTEX1", guide->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX2", image->texture);
    DrawQuad("BilateralBlur");
}

void PostEffects::MixIndirectLight(RENDERTEXTURE* direct, RENDERTEXTURE* indirect)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    SetViewportPixel();
    DXEffectHandler::SetTechnique("MixIndirectLight");
    DXEffectHandler::SetTextureBySemantic("COLTEX1", direct->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX2", indirect->texture);
    DrawQuad("MixIndirectLight");
}

void PostEffects::DepthOfField(RENDERTEXTURE* depth, RENDERTEXTURE* blurA, RENDERTEXTURE* blurB,
                               RENDERTEXTURE* source, int count)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    DXEffectHandler::SetTextureBySemantic("DEPTHTEX", depth->texture);
    SavedTarget entry;

    // blurA and blurB are 8-bit: the blurs store light compressed. The first horizontal blur reads
    // the HDR source as it is, every later one reads blurB and expands it first (DOFSOURCEENCODED).
    RENDERTEXTURE* horizontalSource = source;
    for (int i = 0; i < std::max(count, 1); ++i) {
        DXEffectHandler::SetFloatBySemantic("DOFSOURCEENCODED", i == 0 ? 0.0f : 1.0f);
        SetTargetPixel(blurA);
        SetSourceTexel(horizontalSource);
        blurA->SetAsRenderTarget(0);
        DXEffectHandler::SetTechnique("DOF_blurH");
        DXEffectHandler::SetTextureBySemantic("COLTEX1", horizontalSource->texture);
        DrawQuad("DepthOfField");

        SetTargetPixel(blurB);
        SetSourceTexel(blurA);
        blurB->SetAsRenderTarget(0);
        DXEffectHandler::SetTechnique("DOF_blurV");
        DXEffectHandler::SetTextureBySemantic("COLTEX1", blurA->texture);
        DrawQuad("DepthOfField");
        horizontalSource = blurB;
    }

    entry.Restore();
    DXEffectHandler::SetTechnique("DofQuad");
    SetTargetPixel(static_cast<float>(entry.Viewport().Width), static_cast<float>(entry.Viewport().Height));
    DXEffectHandler::SetTextureBySemantic("COLTEX2", source->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX1", blurB->texture);
    DrawQuad("DepthOfField");
}

void PostEffects::TwitchBlur(RENDERTEXTURE* source)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    SavedTarget entry;

    const float row = GetSyncRow();
    const float t = twitchSpeedTrack.getValue(row) * Timer::GetTime();
    const float base = TwitchNoise(t, 5);
    const float delta = TwitchNoise(t - 1.0f / 60.0f, 4) - base;
    const float spread = TwitchNoise(t * 5.0f + 1234.567f, 4);

    const float weight = twitchWeightTrack.getValue(row);
    const float angle = kPi * twitchAngleTrack.getValue(row) + kPi * twitchSpreadTrack.getValue(row) * spread;
    const float rgb = twitchRGBTrack.getValue(row);
    const float scale = 300.0f;

    const float dir[2] = {-std::sin(angle), std::cos(angle)};
    const float twitchAngle[2] = {dir[0] * base * weight, dir[1] * base * weight};
    const float twitchAngleDelta[2] = {dir[0] * delta * weight, dir[1] * delta * weight};

    // Per colour channel: its displacement (x, y) and the smear along the motion (z, w). Both
    // displacement components are measured in widths of a texel.
    const float iw = 1.0f / static_cast<float>(source->width);
    const float ih = 1.0f / static_cast<float>(source->height);
    float twitchParams[3][4];
    for (int i = 0; i < 3; ++i) {
        const float fi = static_cast<float>(i);
        twitchParams[i][0] = TwitchNoise(t + fi * 1.2341f, 4) * iw * scale * rgb + twitchAngle[0];
        twitchParams[i][1] = TwitchNoise(t + fi * 543.7654f, 4) * iw * scale * rgb + twitchAngle[1];
        twitchParams[i][2] = twitchAngleDelta[0] * iw * scale;
        twitchParams[i][3] = twitchAngleDelta[1] * ih * scale;
    }
    DXEffectHandler::SetFloatArrayBySemantic("TWITCHBLUR", &twitchParams[0][0], 12);

    entry.Restore();

    const float flash = flashTrack.getValue(row);
    const float twitchFlash[4] = {flash, flash, flash, 1.0f};
    DXEffectHandler::SetVec4BySemantic("TWITCHFLASH", twitchFlash);

    SetViewportPixel();
    DXEffectHandler::SetTextureBySemantic("COLTEX1", source->texture);
    DXEffectHandler::SetTechnique("TwitchBlur");
    DrawQuad("TwitchBlur");
}

void PostEffects::Overlay()
{
    DXEffectHandler::SetActiveEffect(kEffect);
    const float v = overlayTrack.getValue(GetSyncRow());
    // Negative values, and values that are no number at all, show nothing.
    if (!(v >= 0.0f))
        return;
    const float index = std::min(std::floor(v), 3.0f);
    const float fade = 1.0f - 2.0f * std::fabs(v - index - 0.5f);
    DXEffectHandler::SetFloatBySemantic("OVERLAYFADE", fade);
    SetViewportPixel();
    DXEffectHandler::SetTechnique("Overlay" + std::to_string(static_cast<int>(index)));
    DrawQuad("Overlay");
}

void PostEffects::OverlayFull()
{
    DXEffectHandler::SetActiveEffect(kEffect);
    DXEffectHandler::SetTechnique("Overlay1");
    DXEffectHandler::SetFloatBySemantic("OVERLAYFADE", 1.0f);
    SetViewportPixel();
    DrawQuad("OverlayFull");
}

void PostEffects::GrabBackBuffer(RENDERTEXTURE* target)
{
    const unsigned renderHeight = DXFramework::GetContentHeight();
    RECT sourceRect;
    sourceRect.left = 0;
    sourceRect.top = static_cast<LONG>((DXFramework::GetHeight() - renderHeight) >> 1);
    sourceRect.right = static_cast<LONG>(DXFramework::GetContentWidth());
    sourceRect.bottom = sourceRect.top + static_cast<LONG>(renderHeight);
    CHECK_RESULT(Device()->StretchRect(DXFramework::GetBackBuffer(), &sourceRect, target->surface, nullptr,
                                       D3DTEXF_POINT));
}

void PostEffects::BlitRedToGrey(RENDERTEXTURE* source, const float colour[4])
{
    Blit(source, colour, "BlitQuadRedToGrey", "BlitRedToGrey");
}

void PostEffects::BlitGreenToGrey(RENDERTEXTURE* source, const float colour[4])
{
    Blit(source, colour, "BlitQuadGreenToGrey", "BlitGreenToGrey");
}

void PostEffects::BlitBlueToGrey(RENDERTEXTURE* source, const float colour[4])
{
    Blit(source, colour, "BlitQuadBlueToGrey", "BlitBlueToGrey");
}

void PostEffects::BlitGreyScale(RENDERTEXTURE* source, const float colour[4])
{
    Blit(source, colour, "BlitQuadGreyScale", "BlitGreyScale");
}

void PostEffects::BlitCurrent(RENDERTEXTURE* source, const float colour[4])
{
    Blit(source, colour, nullptr, "BlitCurrent");
}

void PostEffects::Blend(RENDERTEXTURE* first, RENDERTEXTURE* second, float weight)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    SetSourceTexel(first);
    SetViewportPixel();
    DXEffectHandler::SetTextureBySemantic("COLTEX1", first->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX2", second->texture);
    const float value[2] = {weight, 0.0f};
    DXEffectHandler::SetVec2BySemantic("VALUE1", value);
    DXEffectHandler::SetTechnique("Blend");
    DrawQuad("Blend");
}

void PostEffects::FadeToColor(RENDERTEXTURE* source, const float colour[4])
{
    DXEffectHandler::SetActiveEffect(kEffect);
    SetViewportPixel();
    DXEffectHandler::SetTextureBySemantic("COLTEX1", source->texture);
    DXEffectHandler::SetVec4BySemantic("VALUE1", colour);
    DXEffectHandler::SetTechnique("FadeToColor");
    DrawQuad("FadeToColor");
}

void PostEffects::MixUnsharp(RENDERTEXTURE* sharp, RENDERTEXTURE* blur1, RENDERTEXTURE* blur2, RENDERTEXTURE* blur3)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    SetViewportPixel();
    DXEffectHandler::SetTextureBySemantic("COLTEX1", sharp->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX2", blur1->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX3", blur2->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX4", blur3->texture);
    DXEffectHandler::SetTechnique("MixUnsharp");
    DrawQuad("MixUnsharp");
}

void PostEffects::Ramp()
{
    DXEffectHandler::SetActiveEffect(kEffect);
    SetViewportPixel();
    DXEffectHandler::SetTechnique("ramp");
    DrawQuad("Ramp");
}

void PostEffects::SetPostTechnique(const std::string& technique)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    DXEffectHandler::SetTechnique(technique);
}

DXEffect* PostEffects::GetPostEffect() const
{
    return DXEffectHandler::FindEffect(kEffect);
}

void PostEffects::GaussBlur5(RENDERTEXTURE* image, RENDERTEXTURE* scratch)
{
    SetSourceTexel(image);
    SetTargetPixel(image);
    for (int i = 0; i < 5; ++i) {
        DXEffectHandler::SetTextureBySemantic("COLTEX1", image->texture);
        scratch->SetAsRenderTarget(0);
        DXEffectHandler::SetTechnique("BlurV");
        DrawQuad("GaussBlur5");

        DXEffectHandler::SetTextureBySemantic("COLTEX1", scratch->texture);
        image->SetAsRenderTarget(0);
        DXEffectHandler::SetTechnique("BlurH");
        DrawQuad("GaussBlur5");
    }
}

void PostEffects::Bloom(RENDERTEXTURE* full, RENDERTEXTURE* const levels[4], RENDERTEXTURE* const scratches[4],
                        const float value1[4], bool twoFloats, const char* technique, const char* operation)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    SavedTarget entry;

    // Each level is the one above averaged down, then blurred: together a wide, soft glow. Only
    // light brighter than white glows: the first step keeps what lies above it.
    RENDERTEXTURE* previous = full;
    for (int i = 0; i < 4; ++i) {
        DXEffectHandler::SetFloatBySemantic("BLOOMTHRESHOLD", i == 0 ? kBloomThreshold : 0.0f);
        DXEffectHandler::SetTextureBySemantic("COLTEX1", previous->texture);
        levels[i]->SetAsRenderTarget(0);
        SetTargetPixel(levels[i]);
        DXEffectHandler::SetTechnique("DownSample");
        DrawQuad(operation);
        GaussBlur5(levels[i], scratches[i]);
        previous = levels[i];
    }

    if (twoFloats)
        DXEffectHandler::SetVec2BySemantic("VALUE1", value1);
    else
        DXEffectHandler::SetVec4BySemantic("VALUE1", value1);
    entry.Restore();
    // The pixel of the target the combine draws into, not of the last level.
    SetTargetPixel(static_cast<float>(entry.Viewport().Width), static_cast<float>(entry.Viewport().Height));
    DXEffectHandler::SetTextureBySemantic("COLTEX1", full->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX2", levels[0]->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX3", levels[1]->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX4", levels[2]->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX5", levels[3]->texture);
    DXEffectHandler::SetTechnique(technique);
    DrawQuad(operation);
}

void PostEffects::BloomCombine(RENDERTEXTURE* full, RENDERTEXTURE* half, RENDERTEXTURE* halfTmp,
                               RENDERTEXTURE* quarter, RENDERTEXTURE* quarterTmp, RENDERTEXTURE* eighth,
                               RENDERTEXTURE* eighthTmp, RENDERTEXTURE* sixteenth, RENDERTEXTURE* sixteenthTmp,
                               const float weights[2])
{
    RENDERTEXTURE* const levels[4] = {half, quarter, eighth, sixteenth};
    RENDERTEXTURE* const scratches[4] = {halfTmp, quarterTmp, eighthTmp, sixteenthTmp};
    const float value[4] = {weights[0], weights[1], 0.0f, 0.0f};
    Bloom(full, levels, scratches, value, true, "BloomCombine", "BloomCombine");
}

void PostEffects::BloomFadeCombine(RENDERTEXTURE* full, RENDERTEXTURE* half, RENDERTEXTURE* halfTmp,
                                   RENDERTEXTURE* quarter, RENDERTEXTURE* quarterTmp, RENDERTEXTURE* eighth,
                                   RENDERTEXTURE* eighthTmp, RENDERTEXTURE* sixteenth, RENDERTEXTURE* sixteenthTmp,
                                   float fade)
{
    RENDERTEXTURE* const levels[4] = {half, quarter, eighth, sixteenth};
    RENDERTEXTURE* const scratches[4] = {halfTmp, quarterTmp, eighthTmp, sixteenthTmp};
    const float value[4] = {fade + 1.0f, fade, fade * fade, 0.0f};
    Bloom(full, levels, scratches, value, false, "BloomFadeCombine", "BloomFadeCombine");
}

void PostEffects::Sobel(RENDERTEXTURE* source, const char* technique, const char* operation)
{
    // The effect is made active first, so the pixel size lands on "postfx" and not on whatever
    // effect a scene drew with last.
    DXEffectHandler::SetActiveEffect(kEffect);
    SetViewportPixel();
    const float dx = 1.0f / static_cast<float>(source->width);
    const float dy = 1.0f / static_cast<float>(source->height);
    const float offsets[9][2] = {{-dx, dy}, {0.0f, dy}, {dx, dy}, {-dx, 0.0f}, {0.0f, 0.0f},
                                 {dx, 0.0f}, {-dx, -dy}, {0.0f, -dy}, {dx, -dy}};
    DXEffectHandler::SetFloatArrayBySemantic("GAUSSOFFSETS", &offsets[0][0], 18);
    DXEffectHandler::SetTextureBySemantic("COLTEX1", source->texture);
    DXEffectHandler::SetTechnique(technique);
    DrawQuad(operation);
}

void PostEffects::SobelFilter(RENDERTEXTURE* source)
{
    Sobel(source, "Sobel_Filter", "SobelFilter");
}

void PostEffects::SobelAOFilter(RENDERTEXTURE* source)
{
    Sobel(source, "SobelAO_Filter", "SobelAOFilter");
}

void PostEffects::BilateralSSAOFilter(RENDERTEXTURE* occlusion, RENDERTEXTURE* guide)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    D3DVIEWPORT9 viewport{};
    CHECK_RESULT(Device()->GetViewport(&viewport));
    const float width = static_cast<float>(viewport.Width);
    const float height = static_cast<float>(viewport.Height);
    SetTargetPixel(width, height);

    // One pixel of the target apart, the whole grid moved one left and one down; the effect
    // measures its taps from the middle entry.
    const float dx = 1.0f / width;
    const float dy = 1.0f / height;
    float offsets[9][2] = {{-dx, dy}, {0.0f, dy}, {dx, dy}, {-dx, 0.0f}, {0.0f, 0.0f},
                           {dx, 0.0f}, {-dx, -dy}, {0.0f, -dy}, {dx, -dy}};
    for (auto& offset : offsets) {
        offset[0] += -dx;
        offset[1] += dy;
    }
    DXEffectHandler::SetFloatArrayBySemantic("GAUSSOFFSETS", &offsets[0][0], 18);
    DXEffectHandler::SetTextureBySemantic("COLTEX1", occlusion->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX2", guide->texture);
    DXEffectHandler::SetTechnique("Def_Bilateral_SSAO_Filter");
    DrawQuad("BilateralSSAOFilter");
}

void PostEffects::AmbientOcclusionCombine(RENDERTEXTURE* colour, RENDERTEXTURE* occlusion)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    SetViewportPixel();
    DXEffectHandler::SetTextureBySemantic("COLTEX2", occlusion->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX1", colour->texture);
    DXEffectHandler::SetTechnique("AmbientOcclusionCombine");
    DrawQuad("AmbientOcclusionCombine");
}

const Camera& PostEffects::ActiveCamera(const char* operation)
{
    Scene* scene = SceneHandler::GetCurrent();
    CamHandler* cameras = scene ? scene->GetCamHandler() : nullptr;
    const Camera* camera = cameras ? cameras->GetActiveCamera() : nullptr;
    if (!camera)
        throw FrameworkEx(std::string("[PostEffects::") + operation + "] No active camera.");
    return *camera;
}

const D3DXMATRIX& PostEffects::WriteFarPlaneCorners(const char* operation)
{
    const Camera* camera = &ActiveCamera(operation);
    if (!screenQuad)
        throw FrameworkEx(std::string("[PostEffects::") + operation + "] The module's resources are not created.");

    const CAMERAPARAMS& par = camera->GetParams();
    const float y = std::tan(par.vFOV / 2.0f) * par.farz;
    const float x = y * par.aspect;
    void* data = nullptr;
    const HRESULT locked = screenQuad->LockPositions(&data);
    if (locked != D3D_OK) {
        CHECK_RESULT(locked);
    } else {
        const float corners[4][3] = {{-x, y, par.farz}, {x, y, par.farz}, {x, -y, par.farz}, {-x, -y, par.farz}};
        std::copy(&corners[0][0], &corners[0][0] + 12, static_cast<float*>(data));
        screenQuad->UnlockPositions();
    }
    return camera->GetProjection();
}

void PostEffects::AmbientOcclusion(RENDERTEXTURE* normalDepth, float radius, float distanceScale)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    const D3DXMATRIX& projection = WriteFarPlaneCorners("AmbientOcclusion");
    SetViewportPixel();
    DXEffectHandler::SetTextureBySemantic("COLTEX1", normalDepth->texture);
    DXEffectHandler::SetFloatArrayBySemantic("SSAOKERNEL", &kernel16[0].x, 48);
    DXEffectHandler::SetFloatBySemantic("BUFDIMX", static_cast<float>(normalDepth->width));
    DXEffectHandler::SetFloatBySemantic("BUFDIMY", static_cast<float>(normalDepth->height));
    DXEffectHandler::SetFloatBySemantic("SAMPLERADIUS", radius);
    DXEffectHandler::SetFloatBySemantic("SAMPLEDISTANCESCALE", distanceScale);
    DXEffectHandler::SetMatrixBySemantic("PROJECTIONMATRIX", &projection);
    DXEffectHandler::SetTechnique("AmbientOcclusion");
    DrawQuad("AmbientOcclusion");
}

void PostEffects::BlurLow(RENDERTEXTURE* scratch, RENDERTEXTURE* work, int count)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    GrabBackBuffer(work);
    for (int i = 0; i < count; ++i) {
        scratch->SetAsRenderTarget(0);
        SetTargetPixel(scratch);
        SetSourceTexel(work);
        DXEffectHandler::SetTechnique("BlurVLow");
        DXEffectHandler::SetTextureBySemantic("COLTEX1", work->texture);
        DrawQuad("BlurLow");

        if (i == count - 1) {
            SetTargetPixel(static_cast<float>(DXFramework::GetContentWidth()),
                           static_cast<float>(DXFramework::GetContentHeight()));
            DXFramework::SetBackBufferTarget();
            DXFramework::SetContentViewport(0.0f, 1.0f);
        } else {
            SetTargetPixel(work);
            work->SetAsRenderTarget(0);
        }
        SetSourceTexel(scratch);
        DXEffectHandler::SetTechnique("BlurHLow");
        DXEffectHandler::SetTextureBySemantic("COLTEX1", scratch->texture);
        DrawQuad("BlurLow");
    }
}

void PostEffects::MotionBlur(RENDERTEXTURE* colour, RENDERTEXTURE* velocity)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    SetSourceTexel(colour);
    SetViewportPixel();
    DXEffectHandler::SetTextureBySemantic("COLTEX1", colour->texture);
    DXEffectHandler::SetTextureBySemantic("VECTEX1", velocity->texture);
    DXEffectHandler::SetTechnique("MotionBlur");
    DrawQuad("MotionBlur");
}

void PostEffects::ExpBlur(RENDERTEXTURE* source, RENDERTEXTURE* target)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    SetSourceTexel(source);
    // The pixel of the target drawn into, so that the picture does not move when the target is
    // not of the render size.
    SetTargetPixel(target);
    DXEffectHandler::SetTextureBySemantic("VECTEX1", source->texture);
    target->SetAsRenderTarget(0);
    DXEffectHandler::SetTechnique("ExpBlur");
    DrawQuad("ExpBlur");
}

void PostEffects::MaskedBloom(RENDERTEXTURE* source, const float weights[2])
{
    DXEffectHandler::SetActiveEffect(kEffect);
    Scene* scene = SceneHandler::GetCurrent();
    if (!scene)
        throw FrameworkEx("[PostEffects::MaskedBloom] No current scene.");
    RENDERTEXTURE* bloomA = scene->GetTexture("bloom_A_1");
    RENDERTEXTURE* bloomB = scene->GetTexture("bloom_B_1");
    SavedTarget entry;

    DXEffectHandler::SetTextureBySemantic("COLTEX1", source->texture);
    bloomA->SetAsRenderTarget(0);
    SetTargetPixel(bloomA);
    DXEffectHandler::SetTechnique("DownSampleAndMask");
    DrawQuad("MaskedBloom");

    SetSourceTexel(bloomA);
    SetTargetPixel(bloomA);
    for (int i = 0; i < 8; ++i) {
        DXEffectHandler::SetTextureBySemantic("COLTEX1", bloomA->texture);
        bloomB->SetAsRenderTarget(0);
        DXEffectHandler::SetTechnique("BlurV");
        DrawQuad("MaskedBloom");
        DXEffectHandler::SetTextureBySemantic("COLTEX1", bloomB->texture);
        bloomA->SetAsRenderTarget(0);
        DXEffectHandler::SetTechnique("BlurH");
        DrawQuad("MaskedBloom");
    }

    DXEffectHandler::SetVec2BySemantic("VALUE1", weights);
    entry.Restore();
    SetTargetPixel(static_cast<float>(entry.Viewport().Width), static_cast<float>(entry.Viewport().Height));
    DXEffectHandler::SetTextureBySemantic("COLTEX1", source->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX2", bloomA->texture);
    DXEffectHandler::SetTechnique("Combine_alpha");
    DrawQuad("MaskedBloom");
}

void PostEffects::Saturate(RENDERTEXTURE* scratch, RENDERTEXTURE* work, RENDERTEXTURE* source, float amount)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    SavedTarget entry;
    work->SetAsRenderTarget(0);
    const float one[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    BlitQuad(source, one);
    SeparableBlur(scratch, work, 3);

    entry.Restore();
    SetTargetPixel(static_cast<float>(entry.Viewport().Width), static_cast<float>(entry.Viewport().Height));
    DXEffectHandler::SetTechnique("Saturate");
    const float s = (PerlinNoise1D(Timer::GetTime() * 8.0f, 2.0f, 2.0f, 5) * 0.25f + 1.0f) * amount;
    const float value[4] = {s, s, s, s};
    DXEffectHandler::SetVec4BySemantic("VALUE1", value);
    DXEffectHandler::SetTextureBySemantic("COLTEX2", source->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX1", work->texture);
    DrawQuad("Saturate");
}

void PostEffects::DepthToNormal(RENDERTEXTURE* depth)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    // Slopes in view space need the camera that drew the depth: its far-plane extent.
    const CAMERAPARAMS& par = ActiveCamera("DepthToNormal").GetParams();
    const float y = std::tan(par.vFOV / 2.0f) * par.farz;
    const float farValues[3] = {y * par.aspect, y, par.farz};
    DXEffectHandler::SetVec3BySemantic("FARCLIPVALUES", farValues);
    SetViewportPixel();
    DXEffectHandler::SetTextureBySemantic("COLTEX1", depth->texture);
    SetSourceTexel(depth);
    DXEffectHandler::SetTechnique("DepthToNormal");
    DrawQuad("DepthToNormal");
}

void PostEffects::AlbedoLight(RENDERTEXTURE* colour, RENDERTEXTURE* normalDepth, RENDERTEXTURE* occlusion,
                              const D3DXVECTOR3& direction)
{
    DXEffectHandler::SetActiveEffect(kEffect);
    WriteFarPlaneCorners("AlbedoLight");
    const D3DXMATRIX& view = ActiveCamera("AlbedoLight").GetView();
    SetViewportPixel();
    DXEffectHandler::SetTextureBySemantic("COLTEX1", colour->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX2", normalDepth->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX3", occlusion->texture);
    D3DXVECTOR3 NormDirection;
    D3DXVec3Normalize(&NormDirection, &direction);
    D3DXVECTOR3 lightDirection;
    D3DXVec3TransformNormal(&lightDirection, &NormDirection, &view);
    DXEffectHandler::SetVec3BySemantic("DLIGHTDIR", &lightDirection.x);
    const D3DXVECTOR3 worldUp(0.0f, 1.0f, 0.0f);
    D3DXVECTOR3 up;
    D3DXVec3TransformNormal(&up, &worldUp, &view);
    DXEffectHandler::SetVec3BySemantic("UPDIR", &up.x);
    DXEffectHandler::SetTechnique("Def_Albedo");
    DrawQuad("AlbedoLight");
}

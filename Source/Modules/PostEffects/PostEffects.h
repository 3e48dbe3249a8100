#pragma once
#include <string>

#include "DXModule.h"
#include "d3dx9/d3dx9math.h"
#include "sync/SyncNamespace.h"

namespace orvala::sync {
class Track;
}
class Camera;
class DXEffect;
class Quads;
struct RENDERTEXTURE;

// Every screen-space pass of the show, each one full-screen quad through the effect "postfx"
// ("PostEffects.fx"): fills and copies, separable and edge-aware blurs, the mix of direct and
// indirect light, depth of field, the closing twitch pass (where the HDR picture becomes 8 bits)
// and the numbered overlays. A pass writes into the target bound when it is called, unless it
// binds targets itself (SeparableBlur, DepthOfField, the bloom chains, BlurLow). Besides the
// passes the scenes call it offers channel copies, mixers and fades, bloom, Sobel filters and the
// edge-aware filter and combine of ambient occlusion.
class PostEffects : public DXModule {
public:
    explicit PostEffects(const std::string& name);
    ~PostEffects() override;

    void CreateResources() override;
    void ReleaseResources() override;
    void Update() override;

    void FillQuad(const float colour[4]);
    void BlitQuad(RENDERTEXTURE* source, const float colour[4]);
    void BlitAlphaToGrey(RENDERTEXTURE* source, const float colour[4]);
    // Ping-pong blur, `count` times vertical into `target` then horizontal back into `source`.
    void SeparableBlur(RENDERTEXTURE* target, RENDERTEXTURE* source, int count);
    void BilateralBlur(RENDERTEXTURE* guide, RENDERTEXTURE* image);
    void MixIndirectLight(RENDERTEXTURE* direct, RENDERTEXTURE* indirect);
    void DepthOfField(RENDERTEXTURE* depth, RENDERTEXTURE* blurA, RENDERTEXTURE* blurB, RENDERTEXTURE* source,
                      int count);
    void TwitchBlur(RENDERTEXTURE* source);
    void Overlay();
    void OverlayFull();
    void GrabBackBuffer(RENDERTEXTURE* target);

    // Copies of one colour channel (or of the luminance) into all four, times `colour`.
    void BlitRedToGrey(RENDERTEXTURE* source, const float colour[4]);
    void BlitGreenToGrey(RENDERTEXTURE* source, const float colour[4]);
    void BlitBlueToGrey(RENDERTEXTURE* source, const float colour[4]);
    void BlitGreyScale(RENDERTEXTURE* source, const float colour[4]);
    // The copy's setup with whatever technique is selected (SetPostTechnique).
    void BlitCurrent(RENDERTEXTURE* source, const float colour[4]);
    // first where weight is 0, second where it is 1.
    void Blend(RENDERTEXTURE* first, RENDERTEXTURE* second, float weight);
    // The source faded towards colour.rgb by colour.a (at 1 the colour itself).
    void FadeToColor(RENDERTEXTURE* source, const float colour[4]);
    // The sharp picture (1) pushed away from its three blurs (2 to 4): edges gain contrast.
    void MixUnsharp(RENDERTEXTURE* sharp, RENDERTEXTURE* blur1, RENDERTEXTURE* blur2, RENDERTEXTURE* blur3);
    // A test card: a grey ramp of linear light, 0 at the left to 1 at the right.
    void Ramp();
    void SetPostTechnique(const std::string& technique);
    DXEffect* GetPostEffect() const;

    // The occlusion (COLTEX1, grey) smoothed over 3 x 3 pixels of the target, each tap counting
    // only where the normal/depth guide shows the same surface.
    void BilateralSSAOFilter(RENDERTEXTURE* occlusion, RENDERTEXTURE* guide);
    // Screen-space ambient occlusion of the current scene's active camera into the target bound:
    // 1 where the surface is open, darker where the normal/depth target shows geometry within
    // `radius` units around it (what lies more than radius x `distanceScale` in front does not
    // count). Leaves the quad holding the camera's far-plane corners.
    void AmbientOcclusion(RENDERTEXTURE* normalDepth, float radius, float distanceScale);
    // The colour times the occlusion; alpha stays.
    void AmbientOcclusionCombine(RENDERTEXTURE* colour, RENDERTEXTURE* occlusion);
    // Edges of the picture's luminance: the Sobel gradient's length, 0 on flat colour.
    void SobelFilter(RENDERTEXTURE* source);
    // Creases and silhouettes of a normal/depth target darkened: 1 on smooth surfaces, less where
    // the normals turn sharply.
    void SobelAOFilter(RENDERTEXTURE* source);

    // The letterboxed picture copied into `work` and softened `count` times through `scratch`; the
    // last horizontal pass writes straight into the back buffer's content area.
    void BlurLow(RENDERTEXTURE* scratch, RENDERTEXTURE* work, int count);

    // Five vertical and horizontal blurs through `scratch`, the result in `image`. The caller
    // makes "postfx" the active effect.
    void GaussBlur5(RENDERTEXTURE* image, RENDERTEXTURE* scratch);
    // Bloom: `full` averaged down into the four levels (each blurred with its scratch), then
    // full x weights[0] + the glow of the levels x weights[1] into the target bound on entry.
    void BloomCombine(RENDERTEXTURE* full, RENDERTEXTURE* half, RENDERTEXTURE* halfTmp, RENDERTEXTURE* quarter,
                      RENDERTEXTURE* quarterTmp, RENDERTEXTURE* eighth, RENDERTEXTURE* eighthTmp,
                      RENDERTEXTURE* sixteenth, RENDERTEXTURE* sixteenthTmp, const float weights[2]);
    // As BloomCombine, the picture fading into its glow as `fade` grows (0 is the picture as it is).
    void BloomFadeCombine(RENDERTEXTURE* full, RENDERTEXTURE* half, RENDERTEXTURE* halfTmp, RENDERTEXTURE* quarter,
                          RENDERTEXTURE* quarterTmp, RENDERTEXTURE* eighth, RENDERTEXTURE* eighthTmp,
                          RENDERTEXTURE* sixteenth, RENDERTEXTURE* sixteenthTmp, float fade);

    // The colour smeared along each pixel's motion: `velocity` holds in red and green how far the
    // pixel moved over the frame, in texels of `colour` (x to the right, y down).
    void MotionBlur(RENDERTEXTURE* colour, RENDERTEXTURE* velocity);
    // `source` blurred into `target` (which it binds) with weights falling off exponentially with
    // the distance: a sharp core with long soft skirts, as light scattered in a lens.
    void ExpBlur(RENDERTEXTURE* source, RENDERTEXTURE* target);
    // Bloom of what the source's alpha marks (1 glows, 0 does not), through the current scene's
    // render textures "bloom_A_1" and "bloom_B_1": source x weights[0] + glow x weights[1] into
    // the target bound on entry.
    void MaskedBloom(RENDERTEXTURE* source, const float weights[2]);
    // As SeparableBlur, each tap weighted by its alpha: texels where nothing was drawn (alpha 0)
    // lend nothing to their neighbours, and coverage is blurred with the colour.
    void SeparableBlurAA(RENDERTEXTURE* target, RENDERTEXTURE* source, int count);
    // The source's colours pushed from grey by `amount` (1 keeps them, 0 is grey), which breathes
    // with the playback time; the colour is taken softened from a blur made in `work`.
    void Saturate(RENDERTEXTURE* scratch, RENDERTEXTURE* work, RENDERTEXTURE* source, float amount);
    // A normal/depth picture made from a depth alone (red, view depth / 300 as in the G-buffer):
    // view normals from the slopes between neighbouring texels, seen through the current scene's
    // active camera; depth in alpha as it was.
    void DepthToNormal(RENDERTEXTURE* depth);
    // Sunlight from `direction` (world space, where the light travels) on the G-buffer — colour
    // and specular strength, normal/depth — with sky light from above and the ground below,
    // the sky light scaled by the occlusion in `occlusion`'s red. Leaves the quad holding the
    // camera's far-plane corners.
    void AlbedoLight(RENDERTEXTURE* colour, RENDERTEXTURE* normalDepth, RENDERTEXTURE* occlusion,
                     const D3DXVECTOR3& direction);

    // The 16 random sample vectors made by CreateResources (lengths 0.1 to 1).
    const D3DXVECTOR3* GetKernel() const { return kernel16; }
    Quads* GetScreenQuad() const { return screenQuad; }

private:
    // The screen quad through the active effect's technique; FrameworkEx naming the operation
    // when the resources are not created.
    void DrawQuad(const char* operation);
    // The active camera's far-plane corners written into the quad; returns the camera's projection.
    const D3DXMATRIX& WriteFarPlaneCorners(const char* operation);
    // The copies' common steps: VALUE1, the viewport's pixel, COLTEX1, the technique, the quad.
    void Blit(RENDERTEXTURE* source, const float colour[4], const char* technique, const char* operation);
    // The ping-pong of the separable blurs with their two techniques.
    void Separable(RENDERTEXTURE* target, RENDERTEXTURE* source, int count, const char* vertical,
                   const char* horizontal, const char* operation);
    // The Sobel filters' common part: the 3 x 3 grid one source texel apart, unshifted.
    void Sobel(RENDERTEXTURE* source, const char* technique, const char* operation);
    // The active camera of the current scene; FrameworkEx naming the operation when there is none.
    static const Camera& ActiveCamera(const char* operation);
    // The bloom chains' common part: the four levels, VALUE1, then the combine technique.
    void Bloom(RENDERTEXTURE* full, RENDERTEXTURE* const levels[4], RENDERTEXTURE* const scratches[4],
               const float value1[4], bool twoFloats, const char* technique, const char* operation);

    sync::Track& overlayTrack;
    sync::Track& twitchAngleTrack;
    sync::Track& twitchWeightTrack;
    sync::Track& twitchRGBTrack;
    sync::Track& twitchSpreadTrack;
    sync::Track& twitchSpeedTrack;
    sync::Track& flashTrack;
    Quads* screenQuad = nullptr;
    D3DXVECTOR3 kernel16[16];
};

#pragma once
#include <string>

#include "DXModule.h"
#include "d3dx9/d3dx9math.h"
#include "sync/SyncNamespace.h"

namespace orvala::sync {
class Track;
}
class Quads;
struct RENDERTEXTURE;

// Every screen-space pass of the show, each one full-screen quad through the effect "postfx"
// ("PostEffects.fx"): fills and copies, separable and edge-aware blurs, the mix of direct and
// indirect light, depth of field, the closing twitch pass (where the HDR picture becomes 8 bits)
// and the numbered overlays. A pass writes into the target bound when it is called, unless it
// binds targets itself (SeparableBlur, DepthOfField).
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

    // The 16 random sample vectors made by CreateResources (lengths 0.1 to 1).
    const D3DXVECTOR3* GetKernel() const { return kernel16; }
    Quads* GetScreenQuad() const { return screenQuad; }

private:
    // The screen quad through the active effect's technique; FrameworkEx naming the operation
    // when the resources are not created.
    void DrawQuad(const char* operation);
    // The copies' common steps: VALUE1, the viewport's pixel, COLTEX1, the technique, the quad.
    void Blit(RENDERTEXTURE* source, const float colour[4], const char* technique, const char* operation);

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

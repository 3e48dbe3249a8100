#include "TunnelScene.h"

#include <algorithm>
#include <cmath>

#include "CamHandler.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXError.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "DeferredLighting/DeferredLighting.h"
#include "Dust/Dust.h"
#include "LitScene.h"
#include "ModuleHandler.h"
#include "PerlinNoise.h"
#include "PostEffects/PostEffects.h"
#include "RenderClasses/Quads/Quads.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "Timer.h"
#include "Transform.h"
#include "TransformHandler.h"

namespace {

// The batch: the occlusion squares first, then two slots per glare, of which the first holds its
// sprite and the second stays collapsed on the point.
constexpr int kSpriteBase = TunnelScene::kGlares;
constexpr int kQuadCount = TunnelScene::kGlares + 2 * TunnelScene::kGlares;

int SpriteQuad(int glare)
{
    return kSpriteBase + 2 * glare;
}

// A square of half side `half` around `centre` in the camera's plane, in the quad's vertex order
// (top left, top right, bottom right, bottom left as the camera sees it).
void Square(D3DXVECTOR3* corners, const D3DXVECTOR3& centre, const D3DXVECTOR3& right, const D3DXVECTOR3& up, float half)
{
    corners[0] = centre + (up - right) * half;
    corners[1] = centre + (up + right) * half;
    corners[2] = centre + (-up + right) * half;
    corners[3] = centre + (-up - right) * half;
}

} // namespace

TunnelScene::TunnelScene(const std::string& name) : Scene(name) {}

TunnelScene::~TunnelScene()
{
    TunnelScene::ReleaseResources();
}

const std::vector<std::string>& TunnelScene::MeshNames()
{
    static const std::vector<std::string> names = {"tunnel", "photon", "beam",  "flare", "glow",
                                                   "spark",  "prism",  "glint", "shine", "ray"};
    return names;
}

void TunnelScene::CreateResources()
{
    LoadSceneData("TunnelScene.xml");
    // The dust's effect is shared with the other dusty scenes; whichever comes first loads it.
    DXEffectHandler::AddEffect("dust", "Dust.fx", DXFramework::GetEffectPool());
    DXEffectHandler::AddEffect("glare", "Glare.fx", DXFramework::GetEffectPool());

    // One mesh of the ball per transform: a mesh follows one transform and keeps its own previous
    // world matrix, and the ball is small, so four copies cost little and every pass simply walks
    // one list of meshes.
    for (int k = 1; k <= kBalls; ++k) {
        DXFramework::DrawLoaderFrame();
        balls[k - 1] = GetTransformHandler()->Find(LitScene::Numbered("discoball", k));
        meshes.push_back(LitScene::LoadMesh(balls[k - 1], "discoball1Shape.x"));
    }
    for (const std::string& name : MeshNames()) {
        DXFramework::DrawLoaderFrame();
        meshes.push_back(LitScene::LoadMesh(GetTransformHandler()->Find(name), name + "Shape.x"));
    }
    deferredLighting = static_cast<DeferredLighting*>(ModuleHandler::FindModule("DefLight"));
    dust = static_cast<Dust*>(ModuleHandler::FindModule("Dust"));
    dustBox = GetTransformHandler()->Find("TunnelDustBox");
    dust->SetBox(dustBox);

    glareQuads = new Quads(kQuadCount, 1, nullptr);
    CHECK_RESULT(DXFramework::GetDevice()->CreateQuery(D3DQUERYTYPE_OCCLUSION, &occlusionQuery));
}

void TunnelScene::ReleaseResources()
{
    for (DXMesh* mesh : meshes)
        delete mesh;
    meshes.clear();
    delete glareQuads;
    glareQuads = nullptr;
    if (occlusionQuery) {
        occlusionQuery->Release();
        occlusionQuery = nullptr;
    }
    std::fill(std::begin(balls), std::end(balls), nullptr);
}

void TunnelScene::AcquireTargets()
{
    LitScene::RequestDepthOfFieldSceneTargets(*this, kSpotLights);
}

void TunnelScene::ReleaseTargets()
{
    UnrequestTargets();
}

void TunnelScene::SetConstants()
{
    LitScene::SetDefaultFocus();
}

void TunnelScene::Update()
{
    for (DXMesh* mesh : meshes)
        mesh->Update();
    deferredLighting->Update();

    // Six glares a ball: off the centre along each axis of its frame, both ways. A glare faces
    // along its axis and shines by the cosine towards the camera, nothing when turned away.
    const D3DXVECTOR3 eye = GetCamHandler()->GetEyePos();
    for (int k = 0; k < kBalls; ++k) {
        const D3DXMATRIX& m = balls[k]->GetWorld();
        const D3DXVECTOR3 centre(m._41, m._42, m._43);
        const D3DXVECTOR3 axes[3] = {D3DXVECTOR3(m._11, m._12, m._13), D3DXVECTOR3(m._21, m._22, m._23),
                                     D3DXVECTOR3(m._31, m._32, m._33)};
        for (int face = 0; face < 6; ++face) {
            const int i = 6 * k + face;
            const float sign = face % 2 == 0 ? 1.0f : -1.0f;
            const D3DXVECTOR3 axis = axes[face / 2] * sign;
            glarePoints[i] = centre + axis * kGlareRadius;
            D3DXVECTOR3 direction, toEye = eye - glarePoints[i];
            D3DXVec3Normalize(&direction, &axis);
            D3DXVec3Normalize(&toEye, &toEye);
            glareFacing[i] = std::max(0.0f, D3DXVec3Dot(&direction, &toEye));
        }
    }
}

void TunnelScene::Render()
{
    auto* postFX = static_cast<PostEffects*>(ModuleHandler::FindModule("PostFX"));
    LitScene::RenderShadowMaps(*this, *postFX, meshes, kSpotLights, "tunnelSpot");
    LitScene::FillGBuffer(*this, *postFX, meshes);
    // A faint cool ambient keeps the far tunnel, beyond the lamps, from falling into black.
    LitScene::DrawDirectLight(*this, *deferredLighting, "tunnelPoint", kPointLights, kSpotLights, "tunnelSpot",
                              D3DXCOLOR(0.05f, 0.06f, 0.1f, 0.0f));

    // The sharp and blurred light end in "Color", still HDR; the glares and the dust are added
    // there, tested against the depth the geometry pass left.
    LitScene::DepthOfField(*this, *postFX, D3DXVECTOR2(10.0f, 20.0f));
    DrawGlare();
    // The dust module is shared: the other dusty scenes leave their own boxes in it.
    LitScene::DrawDust(*this, *dust, dustBox);

    DXFramework::SetBackBufferTarget();
    DXFramework::SetContentViewport(0.0f, 1.0f);
    postFX->TwitchBlur(GetTexture("Color"));
}

void TunnelScene::PlaceGlareQuads()
{
    // Camera-facing squares: the occlusion square keeps its pixel size at any distance, the sprite
    // its world size.
    CamHandler& cameras = *GetCamHandler();
    const D3DXMATRIX& view = cameras.GetView();
    const D3DXVECTOR3 right(view._11, view._21, view._31);
    const D3DXVECTOR3 up(view._12, view._22, view._32);
    const float scaleY = cameras.GetActiveCamera()->GetProjection()._22;
    const float height = static_cast<float>(DXFramework::GetContentHeight());

    void* data = nullptr;
    const HRESULT locked = glareQuads->LockPositions(&data);
    if (locked == D3DERR_DEVICELOST)
        return; // the frame is lost anyway; the framework rebuilds the batch
    CHECK_RESULT(locked);
    auto* corners = static_cast<D3DXVECTOR3*>(data);
    for (int i = 0; i < kGlares; ++i) {
        const D3DXVECTOR3& p = glarePoints[i];
        const float depth = std::max(0.01f, -(p.x * view._13 + p.y * view._23 + p.z * view._33 + view._43));
        // Half a side in pixels is half the side over half the height times the world's height
        // at that depth (2 depth / scaleY).
        const float half = 0.5f * kOcclusionSide / (0.5f * height) * depth / scaleY;
        Square(corners + 4 * i, p, right, up, half);
        Square(corners + 4 * SpriteQuad(i), p, right, up, kGlareSize);
        Square(corners + 4 * (SpriteQuad(i) + 1), p, right, up, 0.0f);
    }
    glareQuads->UnlockPositions();
}

void TunnelScene::DrawGlare()
{
    glareIntensity.fill(0.0f);
    if (!glareQuads || !occlusionQuery)
        return;
    PlaceGlareQuads();

    GetTexture("Color")->SetAsRenderTarget(0);
    DXEffectHandler::SetActiveEffect("glare");
    const float time = Timer::GetPlaybackTimeValue();
    const float flicker = PerlinNoise1D(time * 10.0f, 2.0f, 2.0f, 5) * 0.2f + 0.4f;
    const float fullPixels = kOcclusionSide * kOcclusionSide * kVisibleShare;
    glareQuads->SetDrawCount(1);
    for (int i = 0; i < kGlares; ++i) {
        occlusionQuery->Issue(D3DISSUE_BEGIN);
        DXEffectHandler::SetTechnique("OcclusionTest");
        glareQuads->SetFirst(i);
        DXEffectHandler::RenderObject(glareQuads);
        occlusionQuery->Issue(D3DISSUE_END);
        DWORD pixels = 0;
        HRESULT result;
        while ((result = occlusionQuery->GetData(&pixels, sizeof pixels, D3DGETDATA_FLUSH)) == S_FALSE) {
        }
        // A query that fails (a lost device) saw nothing: no glare rather than a guess.
        if (result != S_OK)
            pixels = 0;
        const float visible = std::min(1.0f, static_cast<float>(pixels) / fullPixels);
        glareIntensity[i] = glareFacing[i] * visible * flicker;

        DXEffectHandler::SetFloatBySemantic("INTENS", glareIntensity[i]);
        DXEffectHandler::SetTechnique("Glare");
        glareQuads->SetFirst(SpriteQuad(i));
        DXEffectHandler::RenderObject(glareQuads);
    }
    glareQuads->SetFirst(0);
}

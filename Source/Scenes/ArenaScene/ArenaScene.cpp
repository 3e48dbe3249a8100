#include "ArenaScene.h"

#include <random>
#include <vector>

#include "CamHandler.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "LitScene.h"
#include "ModuleHandler.h"
#include "PostEffects/PostEffects.h"
#include "RenderClasses/Quads/Quads.h"
#include "RenderClasses/Sprites/Sprites.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "Transform.h"
#include "TransformHandler.h"

namespace {

constexpr int kSmokeSprites = 64;

// The orthographic view of the stage: 2 units across and 1.125 down (16:9).
constexpr float kViewWidth = 2.0f;
constexpr float kViewHeight = 1.125f;
constexpr float kNear = 0.01f;
constexpr float kFar = 300.0f;

} // namespace

ArenaScene::ArenaScene(const std::string& name) : Scene(name) {}

ArenaScene::~ArenaScene()
{
    ArenaScene::ReleaseResources();
}

IDirect3DTexture9* ArenaScene::GetLayerTexture(int k) const
{
    return k >= 1 && k <= kLayers ? layerTextures[static_cast<std::size_t>(k - 1)] : nullptr;
}

void ArenaScene::CreateResources()
{
    LoadSceneData("ArenaScene.xml");
    DXEffectHandler::AddEffect("smoke", "Smoke.fx", DXFramework::GetEffectPool());
    DXEffectHandler::AddEffect("Arena", "Arena.fx", DXFramework::GetEffectPool());
    smokeBox = GetTransformHandler()->Find("SmokeBox");

    for (int k = 1; k <= kLayers; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        layers[i] = GetTransformHandler()->Find(LitScene::Numbered("Layer", k));
        const std::string file = "Data\\layer" + std::to_string(k) + ".png";
        D3DXIMAGE_INFO info{};
        IDirect3DTexture9* texture = nullptr;
        const HRESULT loaded = DXFramework::CreateTextureFromFileEx(
            file.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
            D3DX_FILTER_LINEAR, D3DX_FILTER_BOX, 0, &info, nullptr, &texture);
        if (loaded != D3D_OK || !texture || info.Height == 0)
            throw FrameworkEx("Couldnt read file");
        layerTextures[i] = texture;
        layerHalfSizes[i] = D3DXVECTOR2(0.5f * static_cast<float>(info.Width) / static_cast<float>(info.Height), 0.5f);
    }
    layerQuads = std::make_unique<Quads>(kLayers, 1, nullptr);

    // The puffs: places in the unit box and four random numbers each, the same every run.
    smoke = std::make_unique<Sprites>(kSmokeSprites, 1, smokeBox);
    std::mt19937 random(2009);
    auto unit = [&random] { return static_cast<float>(random() & 0xFFFFFFu) / 16777216.0f; };
    std::vector<D3DXVECTOR3> centres(kSmokeSprites);
    std::vector<D3DCOLOR> seeds(kSmokeSprites);
    for (int i = 0; i < kSmokeSprites; ++i) {
        // Spread evenly up the box, so that the rising puffs keep an even band.
        const float up = (static_cast<float>(i) + unit()) / static_cast<float>(kSmokeSprites) - 0.5f;
        centres[static_cast<std::size_t>(i)] = D3DXVECTOR3(unit() - 0.5f, up, unit() - 0.5f);
        seeds[static_cast<std::size_t>(i)] = static_cast<D3DCOLOR>(random());
    }
    CheckResult(smoke->SetPositions(centres.data()), __FILE__, __LINE__);
    smoke->SetSize(1.0f);
    void* colours = nullptr;
    const HRESULT locked = smoke->LockColors(&colours);
    CheckResult(locked, __FILE__, __LINE__);
    if (locked == D3D_OK) {
        auto* out = static_cast<D3DCOLOR*>(colours);
        for (int i = 0; i < kSmokeSprites; ++i)
            for (int corner = 0; corner < 4; ++corner)
                out[i * 4 + corner] = seeds[static_cast<std::size_t>(i)];
        smoke->UnlockColors();
    }
}

void ArenaScene::ReleaseResources()
{
    // The effects belong to the pool of the device they were made on: a rebuild makes a new pool,
    // and only effects registered again join it (and with it the camera, time and noise that
    // "Global" publishes).
    DXEffectHandler::RemoveEffect("smoke");
    DXEffectHandler::RemoveEffect("Arena");
    for (IDirect3DTexture9*& texture : layerTextures) {
        if (texture)
            texture->Release();
        texture = nullptr;
    }
    layers.fill(nullptr);
    layerQuads.reset();
    smoke.reset();
    smokeBox = nullptr;
}

void ArenaScene::AcquireTargets()
{
    RequestTexture("Color", static_cast<int>(DXFramework::GetContentWidth()),
                   static_cast<int>(DXFramework::GetContentHeight()), D3DFMT_A16B16G16R16F);
}

void ArenaScene::ReleaseTargets()
{
    UnrequestTargets();
}

void ArenaScene::SetConstants() {}

void ArenaScene::Update()
{
    smoke->Update();

    // Every card where its transform puts it this frame: the card's quad, half a unit high and as
    // wide as the card's shape, through the transform's world matrix.
    void* data = nullptr;
    const HRESULT locked = layerQuads->LockPositions(&data);
    if (locked != D3D_OK) {
        CheckResult(locked, __FILE__, __LINE__);
        return; // the device was lost: the rebuild made the quads anew
    }
    auto* corners = static_cast<D3DXVECTOR3*>(data);
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const D3DXVECTOR2& half = layerHalfSizes[i];
        const D3DXVECTOR3 local[4] = {
            {-half.x, half.y, 0.0f}, {half.x, half.y, 0.0f}, {half.x, -half.y, 0.0f}, {-half.x, -half.y, 0.0f}};
        for (int c = 0; c < 4; ++c)
            D3DXVec3TransformCoord(&corners[i * 4 + static_cast<std::size_t>(c)], &local[c], &layers[i]->GetWorld());
    }
    layerQuads->UnlockPositions();
}

void ArenaScene::DrawSmoke()
{
    if (!smokeBox->IsVisible())
        return;
    DXEffectHandler::SetActiveEffect("smoke");
    DXEffectHandler::SetTechnique("Smoke");
    DXEffectHandler::RenderObject(smoke.get());
}

void ArenaScene::Render()
{
    auto* postFX = static_cast<PostEffects*>(ModuleHandler::FindModule("PostFX"));

    // The stage: white inside the letterbox (the bars keep their black). The depth of 0 keeps
    // nothing out: the arena's passes do not test depth.
    DXFramework::SetBackBufferTarget();
    DXFramework::SetContentViewport(0.0f, 1.0f);
    DXFramework::GetDevice()->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(255, 255, 255, 255),
                                    0.0f, 0);

    DXEffectHandler::SetActiveEffect("Arena");
    DXEffectHandler::SetTechnique("Arena");
    // The camera's position with an orthographic lens, looking down -z with +y up. VIEWPROJ is
    // shared by the pool, so the smoke sees the stage through the same view.
    const D3DXVECTOR3 eye = GetCamHandler()->GetEyePos();
    const D3DXVECTOR3 at = eye + D3DXVECTOR3(0.0f, 0.0f, -1.0f);
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMATRIX view, projection, viewProj;
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    D3DXMatrixOrthoRH(&projection, kViewWidth, kViewHeight, kNear, kFar);
    D3DXMatrixMultiply(&viewProj, &view, &projection);
    DXEffectHandler::SetMatrixBySemantic("VIEWPROJ", &viewProj);

    for (int k = 1; k <= kLayers; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        if (layers[i]->IsVisible()) {
            DXEffectHandler::SetActiveEffect("Arena");
            DXEffectHandler::SetTechnique("Arena");
            DXEffectHandler::SetTextureBySemantic("LAYERTEXTURE", layerTextures[i]);
            DXEffectHandler::SetFloatBySemantic("LAYEROFFSET", layers[i]->GetWorld()._42);
            layerQuads->SetFirst(k - 1);
            layerQuads->SetDrawCount(1);
            DXEffectHandler::RenderObject(layerQuads.get());
        }
        if (k == kLayersBelowSmoke)
            DrawSmoke();
    }

    postFX->Overlay();
    RENDERTEXTURE* colour = GetTexture("Color");
    postFX->GrabBackBuffer(colour);
    postFX->TwitchBlur(colour);
}

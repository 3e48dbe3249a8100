#include "OpeningScene.h"

#include <vector>

#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "DeferredLighting/DeferredLighting.h"
#include "Dust/Dust.h"
#include "Floor/Floor.h"
#include "LitScene.h"
#include "ModuleHandler.h"
#include "PostEffects/PostEffects.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "Transform.h"
#include "TransformHandler.h"

namespace {
// Dark but not black: a faint cool fill where neither the beams nor the hologram reach.
const D3DXCOLOR kAmbient(0.05f, 0.055f, 0.085f, 0.0f);
// The motes catch the warm beams; few and faint, so the hologram stays the brightest thing.
const D3DXVECTOR3 kDustColour(0.14f, 0.11f, 0.08f);
} // namespace

OpeningScene::OpeningScene(const std::string& name) : Scene(name) {}

OpeningScene::~OpeningScene()
{
    OpeningScene::ReleaseResources();
}

void OpeningScene::CreateResources()
{
    LoadSceneData("OpeningScene.xml");
    DXEffectHandler::AddEffect("hologram", "hologram.fx", DXFramework::GetEffectPool());
    // The dust's effect is shared with the other dusty scenes; whichever comes first loads it.
    DXEffectHandler::AddEffect("dust", "Dust.fx", DXFramework::GetEffectPool());
    DXFramework::DrawLoaderFrame();
    hologram = LitScene::LoadMesh(GetTransformHandler()->Find("holo"), "holoShape.x");
    DXFramework::DrawLoaderFrame();
    ground = LitScene::LoadMesh(GetTransformHandler()->Find("ground"), "groundShape.x");
    deferredLighting = static_cast<DeferredLighting*>(ModuleHandler::FindModule("DefLight"));
    floor = static_cast<Floor*>(ModuleHandler::FindModule("Floor"));
    dust = static_cast<Dust*>(ModuleHandler::FindModule("Dust"));
    dustBox = GetTransformHandler()->Find("OpeningDustBox");
    dust->SetBox(dustBox);
}

void OpeningScene::ReleaseResources()
{
    delete hologram;
    hologram = nullptr;
    delete ground;
    ground = nullptr;
}

void OpeningScene::AcquireTargets()
{
    LitScene::RequestDepthOfFieldSceneTargets(*this, kSpotLights);
}

void OpeningScene::ReleaseTargets()
{
    UnrequestTargets();
}

void OpeningScene::SetConstants()
{
    LitScene::SetDefaultFocus();
}

void OpeningScene::Update()
{
    hologram->Update();
    ground->Update();
    floor->Update();
    deferredLighting->Update();
}

void OpeningScene::Render()
{
    auto* postFX = static_cast<PostEffects*>(ModuleHandler::FindModule("PostFX"));
    // The hologram is light, not matter: it casts no shadow and fills no G-buffer texel.
    std::vector<DXMesh*> solid = floor->GetMeshes();
    solid.push_back(ground);
    LitScene::RenderShadowMaps(*this, *postFX, solid, kSpotLights, "OpeningLight");

    LitScene::FillGBuffer(*this, *postFX,
                          std::vector<LitScene::GeometryGroup>{{"clean", floor->GetMeshes()},
                                                               {"clean_normalmap", {ground}}});
    LitScene::DrawDirectLight(*this, *deferredLighting, "pointLight", kPointLights, kSpotLights, "OpeningLight",
                              kAmbient);
    LitScene::DepthOfField(*this, *postFX, D3DXVECTOR2(10.0f, 20.0f));

    DrawHologram();
    // The dust module is shared: the other dusty scenes leave their own boxes in it.
    LitScene::DrawDust(*this, *dust, dustBox, kDustColour);
    postFX->Overlay();

    DXFramework::SetBackBufferTarget();
    DXFramework::SetContentViewport(0.0f, 1.0f);
    postFX->TwitchBlur(GetTexture("Color"));
}

void OpeningScene::DrawHologram()
{
    // Added into the finished light with the depth the geometry pass left, so the ground hides
    // the parts of the knot below its hills.
    GetTexture("Color")->SetAsRenderTarget(0);
    DXEffectHandler::SetActiveEffect("hologram");
    DXEffectHandler::SetTechnique("Hologram");
    DXEffectHandler::RenderObject(hologram);
}

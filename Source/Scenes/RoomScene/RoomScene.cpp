#include "RoomScene.h"

#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "DeferredLighting/DeferredLighting.h"
#include "Dust/Dust.h"
#include "LitScene.h"
#include "ModuleHandler.h"
#include "PostEffects/PostEffects.h"
#include "Transform.h"
#include "TransformHandler.h"

namespace {
const D3DXCOLOR kAmbient(0.08f, 0.09f, 0.13f, 0.0f);
// Faint motes: thousands of them add up to a haze over the room, not a snowfall.
const D3DXVECTOR3 kDustColour(0.2f, 0.16f, 0.12f);
} // namespace

RoomScene::RoomScene(const std::string& name)
    : Scene(name), clusterDirections(LitScene::ClusterDirections(kSpotLights))
{
}

RoomScene::~RoomScene()
{
    RoomScene::ReleaseResources();
}

const std::vector<std::string>& RoomScene::MeshNames()
{
    static const std::vector<std::string> names = {"D", "A", "Y", "L", "I", "G", "H", "T", "roomenv"};
    return names;
}

void RoomScene::CreateResources()
{
    LoadSceneData("RoomScene.xml");
    // The dust's effect is shared with the other dusty scenes; whichever comes first loads it.
    DXEffectHandler::AddEffect("dust", "Dust.fx", DXFramework::GetEffectPool());
    for (const std::string& name : MeshNames()) {
        DXFramework::DrawLoaderFrame();
        meshes.push_back(LitScene::LoadMesh(GetTransformHandler()->Find(name), name + "Shape.x"));
    }
    deferredLighting = static_cast<DeferredLighting*>(ModuleHandler::FindModule("DefLight"));
    lightCluster = GetTransformHandler()->Find("RoomLightCluster");
    dust = static_cast<Dust*>(ModuleHandler::FindModule("Dust"));
    dustBox = GetTransformHandler()->Find("RoomDustBox");
    dust->SetBox(dustBox);
}

void RoomScene::ReleaseResources()
{
    for (DXMesh* mesh : meshes)
        delete mesh;
    meshes.clear();
}

void RoomScene::AcquireTargets()
{
    LitScene::RequestDepthOfFieldSceneTargets(*this, kSpotLights);
}

void RoomScene::ReleaseTargets()
{
    UnrequestTargets();
}

void RoomScene::SetConstants()
{
    LitScene::SetDefaultFocus();
}

void RoomScene::Update()
{
    for (DXMesh* mesh : meshes)
        mesh->Update();
    deferredLighting->Update();
}

void RoomScene::Render()
{
    auto* postFX = static_cast<PostEffects*>(ModuleHandler::FindModule("PostFX"));
    LitScene::PlaceCluster(*GetLightHandler(), lightCluster->GetWorld(), D3DXVECTOR3(0.0f, 0.4f, 0.0f),
                           clusterDirections);
    LitScene::RenderShadowMaps(*this, *postFX, meshes, kSpotLights);

    LitScene::FillGBuffer(*this, *postFX, meshes);
    // A cool fill under the warm beams: what no spot reaches is dim blue, not black.
    LitScene::DrawDirectLight(*this, *deferredLighting, "", 0, kSpotLights, "lightSpot", kAmbient);

    // The sharp and blurred light end in "Color"; the dust glows on top of it, and the letters
    // hide the motes behind them.
    LitScene::DepthOfField(*this, *postFX, D3DXVECTOR2(10.0f, 20.0f));
    // The dust module is shared: the other dusty scenes leave their own boxes in it.
    LitScene::DrawDust(*this, *dust, dustBox, kDustColour);

    DXFramework::SetBackBufferTarget();
    DXFramework::SetContentViewport(0.0f, 1.0f);
    postFX->TwitchBlur(GetTexture("Color"));
}

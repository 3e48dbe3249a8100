#include "LoaderBarScene.h"

#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "DeferredLighting/DeferredLighting.h"
#include "LightHandler.h"
#include "LitScene.h"
#include "ModuleHandler.h"
#include "PostEffects/PostEffects.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "Transform.h"
#include "TransformHandler.h"

LoaderBarScene::LoaderBarScene(const std::string& name)
    : Scene(name), clusterDirections(LitScene::ClusterDirections(kSpotLights))
{
}

LoaderBarScene::~LoaderBarScene()
{
    LoaderBarScene::ReleaseResources();
}

void LoaderBarScene::CreateResources()
{
    LoadSceneData("LoaderBarScene.xml");
    // The loader draws with these two before the other modules have their resources.
    ModuleHandler::FindModule("DefLight")->SetInitEarly();
    ModuleHandler::FindModule("PostFX")->SetInitEarly();
    DXEffectHandler::AddEffect("mikkmakk", "mikkmakk.fx", DXFramework::GetEffectPool());
    bar = LitScene::LoadMesh(GetTransformHandler()->Find("LoaderBarCube"), "LoaderBarCubeShape.x");
    meshes.push_back(bar);
    meshes.push_back(LitScene::LoadMesh(GetTransformHandler()->Find("LoaderBarFloor"), "LoaderBarFloorShape.x"));
    deferredLighting = static_cast<DeferredLighting*>(ModuleHandler::FindModule("DefLight"));
    lightCluster = GetTransformHandler()->Find("LoaderBarLightCluster");
}

void LoaderBarScene::ReleaseResources()
{
    for (DXMesh* mesh : meshes)
        delete mesh;
    meshes.clear();
    bar = nullptr;
}

void LoaderBarScene::AcquireTargets()
{
    LitScene::RequestCubeMapSceneTargets(*this, kSpotLights);
    LitScene::ClearCubeTexture(*this, "IndirectLight");
}

void LoaderBarScene::ReleaseTargets()
{
    UnrequestTargets();
}

void LoaderBarScene::SetConstants()
{
    LitScene::SetDefaultFocus();
}

void LoaderBarScene::Update()
{
    for (DXMesh* mesh : meshes)
        mesh->Update();
    // The bar follows the loading, not the clock.
    bar->UpdateAt(static_cast<float>(DXFramework::GetLoadCount()));
    deferredLighting->Update();
}

void LoaderBarScene::Render()
{
    auto* postFX = static_cast<PostEffects*>(ModuleHandler::FindModule("PostFX"));
    LitScene::PlaceCluster(*GetLightHandler(), lightCluster->GetWorld(), D3DXVECTOR3(0.0f, 0.4f, 0.0f),
                           clusterDirections);
    LitScene::RenderShadowMaps(*this, *postFX, meshes, kSpotLights);

    LitScene::FillGBuffer(*this, *postFX, meshes);
    LitScene::DrawDirectLight(*this, *deferredLighting, "pointLight", kPointLights, kSpotLights);

    DXFramework::SetBackBufferTarget();
    DXFramework::SetContentViewport(0.0f, 1.0f);
    const float exposure[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    postFX->BlitQuad(GetTexture("Light"), exposure);
    postFX->OverlayFull();
}

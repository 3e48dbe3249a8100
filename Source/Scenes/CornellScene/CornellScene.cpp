#include "CornellScene.h"

#include "CamHandler.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "DeferredLighting/DeferredLighting.h"
#include "LightHandler.h"
#include "LitScene.h"
#include "ModuleHandler.h"
#include "PostEffects/PostEffects.h"
#include "RenderClasses/Quads/Quads.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "Transform.h"
#include "TransformHandler.h"

namespace {
constexpr int kSpotLights = 4;
constexpr int kPointLights = 9;
} // namespace

CornellScene::CornellScene(const std::string& name)
    : Scene(name), clusterDirections(LitScene::ClusterDirections(kSpotLights))
{
}

CornellScene::~CornellScene()
{
    CornellScene::ReleaseResources();
}

const std::vector<std::string>& CornellScene::MeshNames()
{
    static const std::vector<std::string> names = {"bigCube", "littleCube", "cornellBox", "light",
                                                   "bounce", "colour", "shadow"};
    return names;
}

void CornellScene::CreateResources()
{
    LoadSceneData("CornellScene.xml");
    screenQuad = LitScene::CreateScreenQuad(".\\Source\\Scenes\\CornellScene\\CornellScene");
    for (const std::string& name : MeshNames()) {
        DXFramework::DrawLoaderFrame();
        meshes.push_back(LitScene::LoadMesh(GetTransformHandler()->Find(name), name + "Shape.x"));
    }
    deferredLighting = static_cast<DeferredLighting*>(ModuleHandler::FindModule("DefLight"));
    lightCluster = GetTransformHandler()->Find("CornellLightCluster");
}

void CornellScene::ReleaseResources()
{
    for (DXMesh* mesh : meshes)
        delete mesh;
    meshes.clear();
    delete screenQuad;
    screenQuad = nullptr;
}

void CornellScene::AcquireTargets()
{
    LitScene::RequestCubeMapSceneTargets(*this, kSpotLights);
    LitScene::ClearCubeTexture(*this, "IndirectLight");
}

void CornellScene::ReleaseTargets()
{
    UnrequestTargets();
}

void CornellScene::SetConstants()
{
    LitScene::SetDefaultFocus();
}

void CornellScene::Update()
{
    for (DXMesh* mesh : meshes)
        mesh->Update();
    deferredLighting->Update();
}

void CornellScene::Render()
{
    auto* postFX = static_cast<PostEffects*>(ModuleHandler::FindModule("PostFX"));
    LitScene::PlaceCluster(*GetLightHandler(), lightCluster->GetWorld(), D3DXVECTOR3(0.0f, 0.4f, 0.0f),
                           clusterDirections);
    LitScene::RenderShadowMaps(*this, *postFX, meshes, kSpotLights);

    LitScene::FillGBuffer(*this, *postFX, meshes);
    LitScene::DrawDirectLight(*this, *deferredLighting, "cornell_plight", kPointLights, kSpotLights);

    RENDERTEXTURE* light3 = GetTexture("Light3");
    light3->SetAsRenderTarget(0);
    LitScene::Clear(D3DCLEAR_TARGET);
    const D3DXVECTOR3 probe =
        D3DXVECTOR3(-0.1f, 12.4f, 1.0f) + (GetCamHandler()->GetEyePos() - D3DXVECTOR3(0.0f, 5.0f, 30.0f));
    LitScene::CubeMapLightPass(*this, probe, meshes, *screenQuad, kSpotLights);

    RENDERTEXTURE* light3Tmp = GetTexture("Light3_tmp");
    light3Tmp->SetAsRenderTarget(0);
    postFX->BilateralBlur(GetTexture("NormalDepth"), light3);
    light3->SetAsRenderTarget(0);
    postFX->MixIndirectLight(GetTexture("Light"), light3Tmp);

    DXFramework::SetBackBufferTarget();
    DXFramework::SetContentViewport(0.0f, 1.0f);
    postFX->TwitchBlur(light3);
}

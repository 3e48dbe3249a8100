#include "ImgCubeScene.h"

#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "DeferredLighting/DeferredLighting.h"
#include "Floor/Floor.h"
#include "LitScene.h"
#include "ModuleHandler.h"
#include "PostEffects/PostEffects.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "Transform.h"
#include "TransformHandler.h"

ImgCubeScene::ImgCubeScene(const std::string& name)
    : Scene(name), clusterDirections(LitScene::ClusterDirections(kSpotLights))
{
}

ImgCubeScene::~ImgCubeScene()
{
    ImgCubeScene::ReleaseResources();
}

const std::vector<std::string>& ImgCubeScene::WordNames()
{
    static const std::vector<std::string> names = {"reflect", "refract", "absorb", "emit", "focus", "bend"};
    return names;
}

void ImgCubeScene::CreateResources()
{
    LoadSceneData("ImgCubeScene.xml");
    DXFramework::DrawLoaderFrame();
    imageCube = LitScene::LoadMesh(GetTransformHandler()->Find("icube"), "icubeShape.x");
    meshes.push_back(imageCube);
    for (const std::string& name : WordNames()) {
        DXFramework::DrawLoaderFrame();
        words.push_back(LitScene::LoadMesh(GetTransformHandler()->Find(name), name + "Shape.x"));
        meshes.push_back(words.back());
    }
    deferredLighting = static_cast<DeferredLighting*>(ModuleHandler::FindModule("DefLight"));
    floor = static_cast<Floor*>(ModuleHandler::FindModule("Floor"));
    lightCluster = GetTransformHandler()->Find("ImgCubeLightCluster");
}

void ImgCubeScene::ReleaseResources()
{
    for (DXMesh* mesh : meshes)
        delete mesh;
    meshes.clear();
    words.clear();
    imageCube = nullptr;
}

void ImgCubeScene::AcquireTargets()
{
    LitScene::RequestCubeMapSceneTargets(*this, kSpotLights);
    LitScene::ClearCubeTexture(*this, "IndirectLight");
}

void ImgCubeScene::ReleaseTargets()
{
    UnrequestTargets();
}

void ImgCubeScene::SetConstants()
{
    LitScene::SetDefaultFocus();
}

void ImgCubeScene::Update()
{
    for (DXMesh* mesh : meshes)
        mesh->Update();
    floor->Update();
    deferredLighting->Update();
}

void ImgCubeScene::Render()
{
    auto* postFX = static_cast<PostEffects*>(ModuleHandler::FindModule("PostFX"));
    LitScene::PlaceCluster(*GetLightHandler(), lightCluster->GetWorld(), D3DXVECTOR3(0.0f, 0.4f, 0.0f),
                           clusterDirections);

    // The floor goes into the shadow maps with the rest (it lies below everything it could hide).
    std::vector<DXMesh*> casters = meshes;
    casters.insert(casters.end(), floor->GetMeshes().begin(), floor->GetMeshes().end());
    LitScene::RenderShadowMaps(*this, *postFX, casters, kSpotLights);

    std::vector<DXMesh*> plain = words;
    plain.insert(plain.end(), floor->GetMeshes().begin(), floor->GetMeshes().end());
    LitScene::FillGBuffer(*this, *postFX, {{"clean", plain}, {"imgcube", {imageCube}}});
    LitScene::DrawDirectLight(*this, *deferredLighting, "pointLight", 0, kSpotLights, "lightSpot",
                              D3DXCOLOR(0.05f, 0.06f, 0.09f, 0.0f));

    DXFramework::SetBackBufferTarget();
    DXFramework::SetContentViewport(0.0f, 1.0f);
    postFX->TwitchBlur(GetTexture("Light"));
}

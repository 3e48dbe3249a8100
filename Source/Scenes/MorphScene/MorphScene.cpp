#include "MorphScene.h"

#include <cmath>

#include "BaseLight.h"
#include "DXEffect/DXEffect.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXError.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "DeferredLighting/DeferredLighting.h"
#include "Floor/Floor.h"
#include "FrameworkEx.h"
#include "LightHandler.h"
#include "LitScene.h"
#include "MeshDust/MeshDust.h"
#include "ModuleHandler.h"
#include "PerlinNoise.h"
#include "PostEffects/PostEffects.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "SpotLight.h"
#include "Timer.h"
#include "Transform.h"
#include "TransformHandler.h"

namespace {

constexpr float kPi = 3.14159265358979323846f;
// One particle on every pi * r^2 of the word's surface.
constexpr float kDustRadius = 0.036f;
// How strongly a particle is drawn towards the middle of the cube as it lands.
constexpr float kCubePull = 0.6f;
// The shadow maps take a fortieth of the particles as bigger points; the G-buffer all of them.
constexpr float kShadowShare = 0.025f;
constexpr float kShadowPointSize = 150.0f;
constexpr float kPointSize = 30.0f;
// A little cool light where no spot reaches, so the floor's far end is dark but not black.
const D3DXCOLOR kAmbient(0.04f, 0.05f, 0.08f, 0.0f);

} // namespace

MorphScene::MorphScene(const std::string& name)
    : Scene(name), clusterDirections(LitScene::ClusterDirections(kSpotLights))
{
}

MorphScene::~MorphScene()
{
    MorphScene::ReleaseResources();
}

float MorphScene::MorphAt(float animationTime)
{
    return (animationTime - kMorphStart - kBurstTime) / kMorphLength;
}

float MorphScene::WildnessAt(float morph)
{
    return std::sin(kPi * morph);
}

void MorphScene::CreateResources()
{
    LoadSceneData("MorphScene.xml");
    DXEffectHandler::AddEffect("Morph", "Morph.fx", DXFramework::GetEffectPool());
    TransformHandler& transforms = *GetTransformHandler();
    DXFramework::DrawLoaderFrame();
    Transform* wordPlace = transforms.Find("scatter");
    word = LitScene::LoadMesh(wordPlace, "scatterShape.x");
    meshes.push_back(word);
    DXFramework::DrawLoaderFrame();
    Transform* cubePlace = transforms.Find("tr1");
    cube = LitScene::LoadMesh(cubePlace, "trCubeShape.x");
    meshes.push_back(cube);

    // The dust starts where the word stands when it bursts and lands where the cube then stands.
    wordPlace->Update(kMorphStart + kBurstTime);
    word->Update();
    cubePlace->Update(kMorphStart + kCubeTime);
    meshDust = static_cast<MeshDust*>(ModuleHandler::AddModule(new MeshDust("MeshDust")));
    meshDust->ReleaseResources(); // made again: the old particles and targets go first
    meshDust->AddTarget(cubePlace, kCubePull);
    DXFramework::DrawLoaderFrame();
    meshDust->Init(word, kDustRadius);

    deferredLighting = static_cast<DeferredLighting*>(ModuleHandler::FindModule("DefLight"));
    floor = static_cast<Floor*>(ModuleHandler::FindModule("Floor"));
    lightCluster = transforms.Find("MorphLightCluster");
}

void MorphScene::ReleaseResources()
{
    for (DXMesh* mesh : meshes)
        delete mesh;
    meshes.clear();
    word = nullptr;
    cube = nullptr;
}

void MorphScene::AcquireTargets()
{
    // The cube-map scenes' list holds "NormalDepth2" already; asking for it again would hold a
    // second target under the same name that is never given back.
    LitScene::RequestCubeMapSceneTargets(*this, kSpotLights);
    RequestTexture("Color2", static_cast<int>(DXFramework::GetContentWidth()),
                   static_cast<int>(DXFramework::GetContentHeight()), D3DFMT_A16B16G16R16F);
    LitScene::ClearCubeTexture(*this, "IndirectLight");
}

void MorphScene::ReleaseTargets()
{
    UnrequestTargets();
}

void MorphScene::SetConstants() {}

void MorphScene::PlaceLights(float time)
{
    LitScene::PlaceCluster(*GetLightHandler(), lightCluster->GetWorld(), D3DXVECTOR3(0.0f, 4.0f, 0.0f),
                           clusterDirections);
    // Each light's colour wanders on its own track through the noise: warm, never quite white.
    for (int i = 1; i <= kSpotLights; ++i) {
        const float x = 3.0f * time + static_cast<float>(i) * 0.78423834f;
        const float a = PerlinNoise2D(x, static_cast<float>(i) * 0.1324f, 10.5f, 3.87f, 4);
        const float b = PerlinNoise2D(x, static_cast<float>(i) * 0.2324f, 10.5f, 3.87f, 4);
        const float c = PerlinNoise2D(x, static_cast<float>(i) * 0.3324f, 10.5f, 3.87f, 4);
        const D3DXCOLOR colour(2.5f * (a * 0.15f + 0.2f), 2.5f * (b * 0.15f + 0.2f), 2.5f * (c * 0.1f + 0.16f), 2.5f);
        GetLightHandler()->FindLight(LitScene::Numbered("lightSpot", i))->SetColor(colour);
    }
}

void MorphScene::Update()
{
    meshDust->Update();
    for (DXMesh* mesh : meshes)
        mesh->Update();
    floor->Update();
    PlaceLights(Timer::GetPlaybackTimeValue());
    deferredLighting->Update();
}

DXMesh* MorphScene::StandingMesh(float morph) const
{
    if (morph <= 0.0f)
        return word;
    if (morph >= 1.0f)
        return cube;
    return nullptr;
}

void MorphScene::RenderShadowMaps(float morph)
{
    auto* postFX = static_cast<PostEffects*>(ModuleHandler::FindModule("PostFX"));
    DXMesh* standing = StandingMesh(morph);
    for (int i = 1; i <= kSpotLights; ++i) {
        auto* light = dynamic_cast<SpotLight*>(GetLightHandler()->FindLight(LitScene::Numbered("lightSpot", i)));
        if (!light)
            throw FrameworkEx("[MorphScene::Render] \"" + LitScene::Numbered("lightSpot", i) + "\" is not a spot light");
        RENDERTEXTURE* shadow = GetTexture(LitScene::Numbered("Shadow", i));
        shadow->SetAsRenderTarget(0);
        LitScene::Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
        auto drawCaster = [&](DXMesh* mesh) {
            DXEffectHandler::SetActiveEffect("DefLight");
            DXEffectHandler::SetTechnique("DepthToR");
            D3DXMATRIX m;
            D3DXMatrixMultiply(&m, &mesh->world, &light->GetViewProj());
            DXEffectHandler::SetMatrixBySemantic("MYMAT", &m);
            DXEffectHandler::RenderObject(mesh);
        };
        if (standing) {
            drawCaster(standing);
        } else {
            DXEffectHandler::SetActiveEffect("Morph");
            DXEffectHandler::SetTechnique("DepthToR");
            DXEffectHandler::SetMatrixBySemantic("MYMAT", &light->GetViewProj());
            meshDust->Draw(kShadowShare, kShadowPointSize);
        }
        for (DXMesh* mesh : floor->GetMeshes())
            drawCaster(mesh);
        postFX->SeparableBlur(GetTexture("Shadow_temp"), shadow, 2);
    }
}

void MorphScene::Render()
{
    auto* postFX = static_cast<PostEffects*>(ModuleHandler::FindModule("PostFX"));
    const float morph = MorphAt(Timer::GetPlaybackTimeValue());
    DXMesh* standing = StandingMesh(morph);
    meshDust->SelectTarget(morph);

    RENDERTEXTURE* shadow1 = GetTexture("Shadow1");
    DXEffectHandler::SetActiveEffect("Morph");
    DXEffectHandler::SetTechnique("Dust");
    const float shadowTexel[2] = {1.0f / static_cast<float>(shadow1->width), 1.0f / static_cast<float>(shadow1->width)};
    DXEffectHandler::SetVec2BySemantic("RTDIMINV", shadowTexel);
    DXEffectHandler::SetFloatBySemantic("ANIMTIME", morph);
    DXEffectHandler::SetFloatBySemantic("WILDNESS", WildnessAt(morph));

    RenderShadowMaps(morph);

    // The G-buffer: the standing mesh, or the flying dust as points; the floor under either.
    RENDERTEXTURE* colour = GetTexture("Color");
    RENDERTEXTURE* normalDepth = GetTexture("NormalDepth");
    LitScene::ResetNormalDepth(*postFX, normalDepth);
    if (standing) {
        std::vector<DXMesh*> drawn{standing};
        drawn.insert(drawn.end(), floor->GetMeshes().begin(), floor->GetMeshes().end());
        LitScene::GeometryPass(colour, normalDepth, drawn);
    } else {
        colour->SetAsRenderTarget(0);
        LitScene::Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
        colour->SetAsRenderTarget(0);
        normalDepth->SetAsRenderTarget(1);
        DXEffectHandler::SetActiveEffect("Morph");
        DXEffectHandler::SetTechnique("Dust");
        const float screenTexel[2] = {1.0f / static_cast<float>(colour->width), 1.0f / static_cast<float>(colour->height)};
        DXEffectHandler::SetVec2BySemantic("RTDIMINV", screenTexel);
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        DXEffectHandler::GetActiveEffect()->SetObjectMatrices(&identity, &identity);
        meshDust->Draw(1.0f, kPointSize);
        DXEffectHandler::SetActiveEffect("mikkmakk");
        DXEffectHandler::SetTechnique("clean");
        for (DXMesh* mesh : floor->GetMeshes())
            DXEffectHandler::RenderObject(mesh);
        CHECK_RESULT(DXFramework::GetDevice()->SetRenderTarget(1, nullptr));
    }

    LitScene::DrawDirectLight(*this, *deferredLighting, "pointLight", 0, kSpotLights, "lightSpot", kAmbient);

    // Four edge-aware blurs, there and back twice: the light ends in "Light" again.
    RENDERTEXTURE* light = GetTexture("Light");
    RENDERTEXTURE* scratch = GetTexture("Light3_tmp");
    for (int round = 0; round < 2; ++round) {
        scratch->SetAsRenderTarget(0);
        postFX->BilateralBlur(normalDepth, light);
        light->SetAsRenderTarget(0);
        postFX->BilateralBlur(normalDepth, scratch);
    }

    DXFramework::SetBackBufferTarget();
    DXFramework::SetContentViewport(0.0f, 1.0f);
    postFX->TwitchBlur(light);
    postFX->Overlay();
}

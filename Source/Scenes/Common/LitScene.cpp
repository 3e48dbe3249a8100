#include "LitScene.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "CamHandler.h"
#include "Camera.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXEffect/EffectSemantics.h"
#include "DXError.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "DeferredLighting/DeferredLighting.h"
#include "Dust/Dust.h"
#include "LightHandler.h"
#include "ModuleHandler.h"
#include "PostEffects/PostEffects.h"
#include "RenderClasses/Quads/Quads.h"
#include "RenderTargetResources/RTCubeHandler/RTCubeHandler.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "Scene.h"
#include "SpotLight.h"

namespace LitScene {

std::vector<D3DXVECTOR3> ClusterDirections(int count)
{
    std::vector<D3DXVECTOR3> v(static_cast<std::size_t>(count > 0 ? count : 0));
    for (D3DXVECTOR3& d : v) {
        do {
            d.z = RandomRange(-1.0f, 1.0f);
            d.y = RandomRange(-1.0f, 0.0f);
            d.x = RandomRange(-1.0f, 1.0f);
        } while (d.x * d.x + d.y * d.y + d.z * d.z > 1.0f);
    }
    for (int step = 0; step < 1000; ++step) {
        for (std::size_t k = 0; k < v.size(); ++k) {
            for (std::size_t l = 0; l < v.size(); ++l) {
                if (k == l)
                    continue;
                const D3DXVECTOR3 d = v[l] - v[k];
                const float r = D3DXVec3Length(&d);
                const float f = 0.1f / (800.0f * r * r * r + 0.03f);
                v[l] += f * d;
                v[k] -= f * d;
            }
        }
        for (D3DXVECTOR3& d : v) {
            if (d.y > 0.0f)
                d.y = -d.y;
            D3DXVec3Normalize(&d, &d);
        }
    }
    return v;
}

std::string Numbered(const std::string& prefix, int number)
{
    return prefix + std::to_string(number);
}

void PlaceCluster(LightHandler& lights, const D3DXMATRIX& cluster, const D3DXVECTOR3& centre,
                  const std::vector<D3DXVECTOR3>& directions, const std::string& prefix)
{
    D3DXVECTOR3 middle;
    D3DXVec3TransformCoord(&middle, &centre, &cluster);
    for (std::size_t i = 0; i < directions.size(); ++i) {
        auto* light = dynamic_cast<SpotLight*>(lights.FindLight(Numbered(prefix, static_cast<int>(i) + 1)));
        if (!light)
            throw FrameworkEx("[LitScene::PlaceCluster] \"" + Numbered(prefix, static_cast<int>(i) + 1) +
                              "\" is not a spot light");
        D3DXVECTOR3 p;
        D3DXVec3TransformCoord(&p, &directions[i], &cluster);
        D3DXVECTOR3 d = p - middle;
        D3DXVec3Normalize(&d, &d);
        // Aim takes the axis the light's -Z follows: the light shines along -axis.
        light->Aim(p, -d);
    }
}

DXMesh* LoadMesh(Transform* transform, const std::string& file)
{
    auto mesh = std::make_unique<DXMesh>(transform);
    mesh->LoadX(file);
    return mesh.release();
}

void SetDefaultFocus()
{
    const float focus[2] = {4.0f, 20.0f};
    DXFramework::GetGlobalEffect()->SetVec2BySemantic("FOCUS_MAXZ", focus);
}

void Clear(DWORD flags)
{
    DXFramework::GetDevice()->Clear(0, nullptr, flags, D3DCOLOR_ARGB(0, 0, 0, 0), 1.0f, 0);
}

void RenderShadowMaps(Scene& scene, PostEffects& postFX, const std::vector<DXMesh*>& meshes, int count,
                      const std::string& prefix)
{
    LightHandler& lights = *scene.GetLightHandler();
    for (int i = 1; i <= count; ++i) {
        auto* light = dynamic_cast<SpotLight*>(lights.FindLight(Numbered(prefix, i)));
        if (!light)
            throw FrameworkEx("[LitScene::RenderShadowMaps] \"" + Numbered(prefix, i) + "\" is not a spot light");
        RENDERTEXTURE* shadow = scene.GetTexture(Numbered("Shadow", i));
        shadow->SetAsRenderTarget(0);
        Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
        DXEffectHandler::SetActiveEffect("DefLight");
        DXEffectHandler::SetTechnique("DepthToR");
        for (DXMesh* mesh : meshes) {
            D3DXMATRIX m;
            D3DXMatrixMultiply(&m, &mesh->world, &light->GetViewProj());
            DXEffectHandler::SetMatrixBySemantic("MYMAT", &m);
            DXEffectHandler::RenderObject(mesh);
        }
        postFX.SeparableBlur(scene.GetTexture("Shadow_temp"), shadow, 2);
    }
}

void ResetNormalDepth(PostEffects& postFX, RENDERTEXTURE* normalDepth)
{
    normalDepth->SetAsRenderTarget(0);
    Clear(D3DCLEAR_ZBUFFER);
    const float nothing[4] = {0.0f, 0.0f, -1.0f, 1.0f};
    postFX.FillQuad(nothing);
}

void GeometryPass(RENDERTEXTURE* colour, RENDERTEXTURE* normalDepth, const std::vector<GeometryGroup>& groups)
{
    colour->SetAsRenderTarget(0);
    Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
    colour->SetAsRenderTarget(0);
    normalDepth->SetAsRenderTarget(1);
    DXEffectHandler::SetActiveEffect("mikkmakk");
    for (const GeometryGroup& group : groups) {
        DXEffectHandler::SetTechnique(group.technique);
        for (DXMesh* mesh : group.meshes)
            DXEffectHandler::RenderObject(mesh);
    }
    CHECK_RESULT(DXFramework::GetDevice()->SetRenderTarget(1, nullptr));
}

void GeometryPass(RENDERTEXTURE* colour, RENDERTEXTURE* normalDepth, const std::vector<DXMesh*>& meshes,
                  const std::string& technique)
{
    GeometryPass(colour, normalDepth, std::vector<GeometryGroup>{{technique, meshes}});
}

void FillGBuffer(Scene& scene, PostEffects& postFX, const std::vector<GeometryGroup>& groups)
{
    RENDERTEXTURE* normalDepth = scene.GetTexture("NormalDepth");
    ResetNormalDepth(postFX, normalDepth);
    GeometryPass(scene.GetTexture("Color"), normalDepth, groups);
}

void FillGBuffer(Scene& scene, PostEffects& postFX, const std::vector<DXMesh*>& meshes)
{
    FillGBuffer(scene, postFX, std::vector<GeometryGroup>{{"clean", meshes}});
}

void DrawDirectLight(Scene& scene, DeferredLighting& lighting, const std::string& pointPrefix, int points, int spots,
                     const std::string& spotPrefix, const D3DXCOLOR& ambient)
{
    LightHandler& lights = *scene.GetLightHandler();
    RENDERTEXTURE* normalDepth = scene.GetTexture("NormalDepth");
    RENDERTEXTURE* colour = scene.GetTexture("Color");
    RENDERTEXTURE* light = scene.GetTexture("Light");
    light->SetAsRenderTarget(0);
    Clear(D3DCLEAR_TARGET);
    if (ambient.r > 0.0f || ambient.g > 0.0f || ambient.b > 0.0f) {
        auto* postFX = static_cast<PostEffects*>(ModuleHandler::FindModule("PostFX"));
        const float tint[4] = {ambient.r, ambient.g, ambient.b, 0.0f};
        postFX->BlitQuad(colour, tint);
    }
    for (int i = 1; i <= points; ++i)
        lighting.DrawLight(normalDepth, scene.GetTexture("Shadow1"), colour, lights.FindLight(Numbered(pointPrefix, i)));
    light->SetAsRenderTarget(0);
    for (int i = 1; i <= spots; ++i)
        lighting.DrawLight(normalDepth, scene.GetTexture(Numbered("Shadow", i)), colour,
                           lights.FindLight(Numbered(spotPrefix, i)));
}

namespace {

// "Shadow" + 1 ... shadows and the blur's "Shadow_temp": 256 texels a side, 128 with "Low VRAM".
void RequestShadowTargets(Scene& scene, int shadows)
{
    const int s = DXFramework::IsHighVRAM() ? 256 : 128;
    for (int i = 1; i <= shadows; ++i)
        scene.RequestTexture(Numbered("Shadow", i), s, s, D3DFMT_G16R16F);
    scene.RequestTexture("Shadow_temp", s, s, D3DFMT_G16R16F);
}

} // namespace

void RequestCubeMapSceneTargets(Scene& scene, int shadows)
{
    RequestShadowTargets(scene, shadows);
    const int w = static_cast<int>(DXFramework::GetContentWidth());
    const int h = static_cast<int>(DXFramework::GetContentHeight());
    for (int f = 0; f < 6; ++f)
        scene.RequestTexture(Numbered("CubeLight", f), 128, 128, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("CubeLight_tmp", 128, 128, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("CubeLight", 128, 128, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("Light3", w, h, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("Light3_tmp", w, h, D3DFMT_A16B16G16R16F);
    scene.RequestCubeTexture("IndirectLight", 128, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("CLColor", 128, 128, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("CLNormalDepth", 128, 128, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("NormalDepth2", w, h, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("Blur1", w, h, D3DFMT_X8R8G8B8);
    scene.RequestTexture("Blur2", w, h, D3DFMT_X8R8G8B8);
    scene.RequestTexture("Depth", w, h, D3DFMT_R16F);
    scene.RequestTexture("Diffuse", w, h, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("Color", w, h, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("NormalDepth", w, h, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("Light", w, h, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("Light2", w, h, D3DFMT_A16B16G16R16F);
}

void RequestDepthOfFieldSceneTargets(Scene& scene, int shadows)
{
    RequestShadowTargets(scene, shadows);
    const int w = static_cast<int>(DXFramework::GetContentWidth());
    const int h = static_cast<int>(DXFramework::GetContentHeight());
    scene.RequestTexture("Blur1", w, h, D3DFMT_X8R8G8B8);
    scene.RequestTexture("Blur2", w, h, D3DFMT_X8R8G8B8);
    scene.RequestTexture("Depth", w, h, D3DFMT_R16F);
    scene.RequestTexture("Diffuse", w, h, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("Color", w, h, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("NormalDepth", w, h, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("Light", w, h, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("Light2", w, h, D3DFMT_A16B16G16R16F);
    scene.RequestTexture("Light3", w, h, D3DFMT_A16B16G16R16F);
}

void DepthOfField(Scene& scene, PostEffects& postFX, const D3DXVECTOR2& focus)
{
    DXFramework::GetGlobalEffect()->SetVec2BySemantic("FOCUS_MAXZ", &focus.x);
    scene.GetTexture("Depth")->SetAsRenderTarget(0);
    const float toUnits[4] = {300.0f, 300.0f, 300.0f, 300.0f};
    postFX.BlitAlphaToGrey(scene.GetTexture("NormalDepth"), toUnits);
    scene.GetTexture("Color")->SetAsRenderTarget(0);
    postFX.DepthOfField(scene.GetTexture("Depth"), scene.GetTexture("Blur1"), scene.GetTexture("Blur2"),
                        scene.GetTexture("Light"), 2);
}

void DrawDust(Scene& scene, Dust& dust, Transform* box, const D3DXVECTOR3& colour)
{
    dust.SetBox(box);
    scene.GetTexture("Color")->SetAsRenderTarget(0);
    DXEffectHandler::SetActiveEffect("dust");
    DXEffectHandler::SetTechnique("dust");
    DXEffectHandler::SetVec3BySemantic("DUSTCOLOUR", &colour.x);
    dust.Draw();
}

void ClearCubeTexture(Scene& scene, const std::string& name)
{
    RENDERCUBETEXTURE* cube = scene.GetCubeTexture(name);
    IDirect3DDevice9* device = DXFramework::GetDevice();
    // The faces are not multisampled: they take the depth surface made for such targets.
    DXFramework::SetPlainDepthSurface();
    for (IDirect3DSurface9* face : cube->faces) {
        if (!face)
            continue; // released with a lost device; the rebuild acquires the targets again
        CHECK_RESULT(device->SetRenderTarget(0, face));
        Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
    }
}

Quads* CreateScreenQuad(const char* sourcePath)
{
    auto* quad = new Quads(1, 1, nullptr);
    void* data = nullptr;
    const HRESULT locked = quad->LockPositions(&data);
    if (locked != D3D_OK) {
        delete quad;
        CheckResult(locked, sourcePath, __LINE__);
        return nullptr; // the device was lost: the rebuild makes the scene's resources again
    }
    const float corners[12] = {-1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, -1.0f, 0.0f, -1.0f, -1.0f, 0.0f};
    std::memcpy(data, corners, sizeof corners);
    quad->UnlockPositions();
    quad->SetDrawCount(1);
    return quad;
}

namespace {

struct CubeFace {
    D3DXVECTOR3 look;
    D3DXVECTOR3 up;
};

const CubeFace kFaces[6] = {
    {{-1.0f, 0.0f, 0.0f}, {0.0f, -1.0f, 0.0f}}, {{1.0f, 0.0f, 0.0f}, {0.0f, -1.0f, 0.0f}},
    {{0.0f, -1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}},  {{0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, -1.0f}},
    {{0.0f, 0.0f, -1.0f}, {0.0f, -1.0f, 0.0f}}, {{0.0f, 0.0f, 1.0f}, {0.0f, -1.0f, 0.0f}},
};

D3DXVECTOR3 FarClipValues(const CAMERAPARAMS& par)
{
    const float t = std::tan(par.vFOV * 0.5f);
    return D3DXVECTOR3(t * par.farz * par.aspect, t * par.farz, par.farz);
}

// The cube camera is the active one while the faces are drawn; the scene's own camera comes back
// however the pass ends.
class CubeCameraScope {
public:
    CubeCameraScope(CamHandler& cameras, Camera& cube) : cameras(cameras), previous(cameras.GetActiveCamera())
    {
        cameras.SetActiveCamera(&cube);
        cameras.SetDirectCamera(true);
    }
    ~CubeCameraScope()
    {
        cameras.SetActiveCamera(previous);
        cameras.SetDirectCamera(false);
    }
    CubeCameraScope(const CubeCameraScope&) = delete;
    CubeCameraScope& operator=(const CubeCameraScope&) = delete;

private:
    CamHandler& cameras;
    Camera* previous;
};

} // namespace

void CubeMapLightPass(Scene& scene, const D3DXVECTOR3& probe, const std::vector<DXMesh*>& meshes,
                      Quads& screenQuad, int spotLights, const std::string& prefix)
{
    auto* postFX = static_cast<PostEffects*>(ModuleHandler::FindModule("PostFX"));
    auto* lighting = static_cast<DeferredLighting*>(ModuleHandler::FindModule("DefLight"));
    CamHandler& cameras = *scene.GetCamHandler();
    IDirect3DDevice9* device = DXFramework::GetDevice();
    RENDERCUBETEXTURE* indirect = scene.GetCubeTexture("IndirectLight");
    RENDERTEXTURE* clNormalDepth = scene.GetTexture("CLNormalDepth");
    RENDERTEXTURE* clColour = scene.GetTexture("CLColor");
    RENDERTEXTURE* cubeLight = scene.GetTexture("CubeLight");
    RENDERTEXTURE* cubeLightTmp = scene.GetTexture("CubeLight_tmp");
    {
        Camera cubeCamera("CubeMapCam");
        cubeCamera.SetParams(CAMERAPARAMS{D3DX_PI / 2.0f, 0.1f, 300.0f, 0.0f, 0.0f, 1.0f});
        CubeCameraScope scope(cameras, cubeCamera);
        const D3DXVECTOR3 farValues = FarClipValues(cubeCamera.GetParams());

        DXEffectHandler::SetActiveEffect("mikkmakk");
        DXEffectHandler::SetFloatArrayBySemantic("SAMPLINGKERNEL", &postFX->GetKernel()[0].x, 48);
        DXEffectHandler::SetTextureBySemantic("CUBETEX", indirect->cubeTexture);

        for (int f = 0; f < 6; ++f) {
            const D3DXVECTOR3 at = probe + kFaces[f].look;
            cubeCamera.SetView(probe, at, kFaces[f].up);

            ResetNormalDepth(*postFX, clNormalDepth);
            GeometryPass(clColour, clNormalDepth, meshes);

            cubeLight->SetAsRenderTarget(0);
            Clear(D3DCLEAR_TARGET);
            for (int i = 1; i <= spotLights; ++i) {
                lighting->DrawLight(clNormalDepth, scene.GetTexture(Numbered("Shadow", i)), clColour,
                                    scene.GetLightHandler()->FindLight(Numbered(prefix, i)));
            }

            DXEffectHandler::SetActiveEffect("mikkmakk");
            DXEffectHandler::SetTechnique("cubemaplight");
            DXEffectHandler::SetVec3BySemantic("CUBEMAP_POS", &probe.x);
            DXEffectHandler::SetVec3BySemantic("FARCLIPVALUES", &farValues.x);
            DXEffectHandler::SetTextureBySemantic("NORMLTEX1", clNormalDepth->texture);
            // The gather multiplies by the albedo of what it lights.
            DXEffectHandler::SetTextureBySemantic("COLTEX3", clColour->texture);
            cubeLightTmp->SetAsRenderTarget(0);
            DXEffectHandler::RenderObject(&screenQuad);

            scene.GetTexture(Numbered("CubeLight", f))->SetAsRenderTarget(0);
            postFX->MixIndirectLight(cubeLight, cubeLightTmp);
        }

        const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        for (int f = 0; f < 6; ++f) {
            CHECK_RESULT(device->SetRenderTarget(0, indirect->faces[f]));
            postFX->BlitQuad(scene.GetTexture(Numbered("CubeLight", f)), white);
        }
    }

    scene.GetTexture("Light3")->SetAsRenderTarget(0);
    DXEffectHandler::SetActiveEffect("mikkmakk");
    DXEffectHandler::SetTechnique("cubemaplight_blend");
    const Camera* camera = cameras.GetActiveCamera();
    if (!camera)
        throw FrameworkEx("[LitScene::CubeMapLightPass] the scene has no active camera");
    const D3DXVECTOR3 farValues = FarClipValues(camera->GetParams());
    D3DXMATRIX inverseView;
    D3DXMatrixInverse(&inverseView, nullptr, &cameras.GetView());
    DXEffectHandler::SetVec3BySemantic("FARCLIPVALUES", &farValues.x);
    DXEffectHandler::SetVec3BySemantic("CUBEMAP_POS", &probe.x);
    DXEffectHandler::SetMatrixBySemantic("INVERSE_VIEW", &inverseView);
    DXEffectHandler::SetTextureBySemantic("NORMLTEX1", scene.GetTexture("NormalDepth")->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX3", scene.GetTexture("Color")->texture);
    DXEffectHandler::RenderObject(&screenQuad);
}

} // namespace LitScene

#include "DeferredLighting.h"

#include <cmath>
#include <cstdint>

#include "BaseLight.h"
#include "CamHandler.h"
#include "Camera.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXError.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "FrameworkEx.h"
#include "KeyHandler.h"
#include "PointLight.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "Scene.h"
#include "SceneHandler.h"
#include "SpotLight.h"
#include "Transform.h"

namespace {

constexpr std::uint32_t kVisualsKey = 73; // 'I'

// The camera the lights are seen from: the current scene's active one.
const CamHandler& Cameras(const char* operation)
{
    Scene* scene = SceneHandler::GetCurrent();
    if (!scene)
        throw FrameworkEx(std::string("[DeferredLighting::") + operation + "] No current scene to light");
    CamHandler* cameras = scene->GetCamHandler();
    if (!cameras || !cameras->GetActiveCamera())
        throw FrameworkEx(std::string("[DeferredLighting::") + operation + "] Scene \"" + scene->GetName() +
                          "\" has no active camera");
    return *cameras;
}

// Half-width, half-height and distance of the camera's far plane in view space.
D3DXVECTOR3 FarValues(const CAMERAPARAMS& par)
{
    const float t = std::tan(par.vFOV / 2.0f);
    return D3DXVECTOR3(t * par.farz * par.aspect, t * par.farz, par.farz);
}

D3DXVECTOR3 TransformPoint(const D3DXVECTOR3& point, const D3DXMATRIX& matrix)
{
    D3DXVECTOR4 out;
    D3DXVec3Transform(&out, &point, &matrix);
    return D3DXVECTOR3(out.x, out.y, out.z);
}

// Where the light is in the world: its transform's translation. A spot light without a
// transform stays where it was placed (its world matrix's translation).
D3DXVECTOR3 LightPosition(const BaseLight& light, const char* operation)
{
    if (const Transform* transform = light.GetTransform())
        return transform->GetTranslation();
    if (const auto* spot = dynamic_cast<const SpotLight*>(&light)) {
        const D3DXMATRIX& world = spot->GetWorld();
        return D3DXVECTOR3(world._41, world._42, world._43);
    }
    throw FrameworkEx(std::string("[DeferredLighting::") + operation + "] Light \"" + light.GetName() +
                      "\" has no transform to place it");
}

D3DXVECTOR3 Colour(const BaseLight& light)
{
    const D3DXCOLOR& c = light.GetColor();
    return D3DXVECTOR3(c.r, c.g, c.b);
}

void SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    CHECK_RESULT(DXFramework::GetDevice()->SetRenderState(state, value));
}

// Draws the mesh through the active technique at `world`.
void DrawAt(DXMesh* mesh, const D3DXMATRIX& world)
{
    mesh->world = world;
    mesh->oldWorld = world;
    DXEffectHandler::RenderObject(mesh);
}

} // namespace

DeferredLighting::DeferredLighting(const std::string& name) : DXModule(name) {}

DeferredLighting::~DeferredLighting()
{
    delete sphereMesh;
    delete coneMesh;
}

void DeferredLighting::CreateResources()
{
    DXEffectHandler::AddEffect("DefLight", "DefLight.fx", DXFramework::GetEffectPool());
    ReleaseResources(); // a second creation replaces the meshes instead of leaking them
    sphereMesh = new DXMesh(nullptr);
    sphereMesh->LoadX("usphere.x");
    coneMesh = new DXMesh(nullptr);
    coneMesh->LoadX("ucone.x");
}

void DeferredLighting::ReleaseResources()
{
    delete sphereMesh;
    sphereMesh = nullptr;
    delete coneMesh;
    coneMesh = nullptr;
}

void DeferredLighting::Update()
{
    if (KeyHandler::WasPressed(kVisualsKey))
        showLightVisuals = !showLightVisuals;
}

void DeferredLighting::DrawLight(RENDERTEXTURE* normalDepth, RENDERTEXTURE* shadow, RENDERTEXTURE* colour,
                                 BaseLight* light)
{
    if (!normalDepth || !shadow || !colour)
        throw FrameworkEx("[DeferredLighting::DrawLight] A render texture of the G-buffer or the shadow map is "
                          "missing");
    if (!light)
        throw FrameworkEx("[DeferredLighting::DrawLight] No light given");

    DXEffectHandler::SetActiveEffect("DefLight");

    D3DVIEWPORT9 viewport{};
    CHECK_RESULT(DXFramework::GetDevice()->GetViewport(&viewport));
    const float pixelInv[2] = {1.0f / static_cast<float>(viewport.Width),
                               -1.0f / static_cast<float>(viewport.Height)};
    DXEffectHandler::SetVec2BySemantic("RTDIMPIXELINV", pixelInv);

    DXEffectHandler::SetTextureBySemantic("NORMLTEX1", normalDepth->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX2", shadow->texture);
    DXEffectHandler::SetTextureBySemantic("COLTEX3", colour->texture);

    switch (light->GetType()) {
    case 1:
        DrawSpotLight(static_cast<SpotLight*>(light));
        break;
    case 2:
        DrawPointLight(static_cast<PointLight*>(light));
        break;
    default:
        break; // no volume for other kinds of light
    }
}

void DeferredLighting::DrawSpotLight(SpotLight* light)
{
    if (!coneMesh)
        throw FrameworkEx("[DeferredLighting::DrawSpotLight] The light volumes are not loaded");
    const CamHandler& cameras = Cameras("DrawSpotLight");
    const D3DXMATRIX& view = cameras.GetView();
    const float radius = light->GetRadius();
    const float cone = light->GetConeAngle();

    const D3DXVECTOR3 farValues = FarValues(cameras.GetActiveCamera()->GetParams());
    DXEffectHandler::SetVec3BySemantic("FARCLIPVALUES", farValues);
    DXEffectHandler::SetVec3BySemantic("DLIGHTCOL", Colour(*light));

    DXEffectHandler::SetFloatBySemantic("DLIGHTCONE", std::cos(cone * 0.5f));
    DXEffectHandler::SetFloatBySemantic("DLIGHTRAD", radius);
    // The penumbra is a full angle, not halved.
    DXEffectHandler::SetFloatBySemantic("DPENUMANGLE", 1.0f - std::cos(light->GetPenumbraAngle()));

    D3DXVECTOR4 direction;
    const D3DXVECTOR4 worldDirection(light->GetDirection(), 0.0f);
    D3DXVec4Transform(&direction, &worldDirection, &view);
    DXEffectHandler::SetVec3BySemantic("DLIGHTDIR", D3DXVECTOR3(direction.x, direction.y, direction.z));

    DXEffectHandler::SetVec3BySemantic("DLIGHTPOS", TransformPoint(LightPosition(*light, "DrawSpotLight"), view));

    // From view space back to the world, then into the light's clip space.
    const D3DXMATRIX viewToLight = cameras.GetWorld() * light->GetViewProj();
    DXEffectHandler::SetMatrixBySemantic("PROJECTIONMATRIX", &viewToLight);

    // The camera may be inside any cone: back faces that lie behind the geometry.
    SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATEREQUAL);

    DXEffectHandler::SetTechnique(light->GetCastShadows() ? "Def_SpotLight_shadow" : "Def_SpotLight_noshadow");
    // 2 % wider than the half angle, so the faceted cone covers the round one.
    DXEffectHandler::SetFloatBySemantic("CONEMESHSCALE", std::tan(cone * 0.51f));
    DrawAt(coneMesh, light->GetWorld());

    if (showLightVisuals) {
        DXEffectHandler::SetTechnique("Def_SpotLightVisual");
        DXEffectHandler::SetFloatBySemantic("DLIGHTRAD", radius * 0.05f);
        DrawAt(coneMesh, light->GetWorld());
    }
}

void DeferredLighting::DrawPointLight(PointLight* light)
{
    if (!sphereMesh)
        throw FrameworkEx("[DeferredLighting::DrawPointLight] The light volumes are not loaded");
    const CamHandler& cameras = Cameras("DrawPointLight");
    const CAMERAPARAMS& par = cameras.GetActiveCamera()->GetParams();
    const float radius = light->GetRadius();

    // The near plane through its top and bottom corners, mirrored to +near: normal (0, 0, -1),
    // offset near, so d = near - z grows with the light's distance in front of the camera.
    const float t = std::tan(par.vFOV / 2.0f);
    const float h = t * par.nearz;
    const float w = h * par.aspect;
    const D3DXVECTOR3 corners[3] = {D3DXVECTOR3(-w, h, par.nearz), D3DXVECTOR3(w, h, par.nearz),
                                    D3DXVECTOR3(w, -h, par.nearz)};
    D3DXPLANE frustNear;
    D3DXPlaneFromPoints(&frustNear, &corners[0], &corners[1], &corners[2]);

    const D3DXVECTOR3 position = LightPosition(*light, "DrawPointLight");
    const D3DXVECTOR3 transformedLight = TransformPoint(position, cameras.GetView());
    const float d = frustNear.a * transformedLight.x + frustNear.b * transformedLight.y +
                    frustNear.c * transformedLight.z + frustNear.d;
    if (d < -2.0f * radius)
        return; // well behind the camera: nothing of it can be seen

    if (d >= 2.0f * radius) {
        // Clearly in front: the front faces, where they lie in front of the geometry.
        SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    } else {
        // The camera may be inside: the back faces, where they lie behind the geometry.
        SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATEREQUAL);
    }

    if (light->GetCastShadows())
        throw FrameworkEx("heyy Velko - Pointlights kan ikke kaste skygger!");
    DXEffectHandler::SetTechnique("Def_PointLight_noshadow");

    DXEffectHandler::SetVec3BySemantic("DLIGHTPOS", transformedLight);
    DXEffectHandler::SetVec3BySemantic("DLIGHTCOL", Colour(*light));
    DXEffectHandler::SetFloatBySemantic("DLIGHTRAD", radius);
    DXEffectHandler::SetVec3BySemantic("FARCLIPVALUES", FarValues(par));

    // The unit sphere grown 5 % beyond the radius.
    D3DXMATRIX matScale, matTranslate;
    D3DXMatrixScaling(&matScale, radius * 1.05f, radius * 1.05f, radius * 1.05f);
    D3DXMatrixTranslation(&matTranslate, position.x, position.y, position.z);
    DrawAt(sphereMesh, matScale * matTranslate);

    if (showLightVisuals) {
        DXEffectHandler::SetTechnique("Def_PointLightVisual");
        D3DXMatrixScaling(&matScale, 0.1f, 0.1f, 0.1f);
        DrawAt(sphereMesh, matScale * matTranslate);
    }
}

#pragma once
#include <string>

#include "DXModule.h"

class BaseLight;
class DXMesh;
class PointLight;
class SpotLight;
struct RENDERTEXTURE;

// Turns one light into light in the scene's light-accumulation target: a light volume (unit
// sphere for a point light, unit cone for a spot light) drawn through the effect "DefLight"
// ("DefLight.fx"), which reads the G-buffer and the shadow map and adds the light's share. The
// caller binds the accumulation target and leaves its geometry depth buffer bound; the module
// never clears and owns no targets. Key I toggles markers at every light.
class DeferredLighting : public DXModule {
public:
    explicit DeferredLighting(const std::string& name);
    ~DeferredLighting() override;

    void CreateResources() override;
    void ReleaseResources() override;
    void Update() override;

    void DrawLight(RENDERTEXTURE* normalDepth, RENDERTEXTURE* shadow, RENDERTEXTURE* colour, BaseLight* light);

    bool GetShowLightVisuals() const { return showLightVisuals; }

private:
    void DrawSpotLight(SpotLight* light);
    void DrawPointLight(PointLight* light);

    bool showLightVisuals = false;
    DXMesh* sphereMesh = nullptr;
    DXMesh* coneMesh = nullptr;
};

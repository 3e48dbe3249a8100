#pragma once
#include <string>
#include <vector>

#include "Scene.h"
#include "d3dx9/d3dx9math.h"

class DXMesh;
class DeferredLighting;
class Dust;
class Floor;
class Transform;

// Light is born: a glowing hologram, a torus knot of light, floats turning above a dark,
// normal-mapped ground. A few shadowing amber spot lights cut beams through the dust in the air,
// and point lights, one inside the hologram, let its cyan glow fall on the ground around it. The
// ground is lit and blurred in depth first; the hologram is added over it, hidden by the ground
// where it lies behind it, then the dust and the title card.
class OpeningScene : public Scene {
public:
    explicit OpeningScene(const std::string& name);
    ~OpeningScene() override;

    void Render() override;
    void Update() override;
    void AcquireTargets() override;
    void ReleaseTargets() override;
    void CreateResources() override;
    void ReleaseResources() override;
    void SetConstants() override;

    static constexpr int kSpotLights = 3;
    static constexpr int kPointLights = 2;

private:
    void DrawHologram();

    DXMesh* hologram = nullptr;
    DXMesh* ground = nullptr;
    DeferredLighting* deferredLighting = nullptr;
    Floor* floor = nullptr;
    Dust* dust = nullptr;
    Transform* dustBox = nullptr;
};

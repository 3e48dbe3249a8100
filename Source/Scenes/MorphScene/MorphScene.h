#pragma once
#include <string>
#include <vector>

#include "Scene.h"
#include "d3dx9/d3dx9math.h"

class DXMesh;
class DeferredLighting;
class Floor;
class MeshDust;
class Transform;

// Light that scatters: the word "scatter" stands over the shared floor, bursts into dust that
// flies out towards the camera, and the dust falls together into a cube. The morph runs over
// kMorphLength seconds of the scene's animation time; before it the word is drawn, after it the
// cube, in between only the particles (effect "Morph": "Dust" into the G-buffer, "DepthToR" into
// the shadow maps). Ten spot lights hang on "MorphLightCluster" with slowly wandering colours.
class MorphScene : public Scene {
public:
    explicit MorphScene(const std::string& name);
    ~MorphScene() override;

    void Render() override;
    void Update() override;
    void AcquireTargets() override;
    void ReleaseTargets() override;
    void CreateResources() override;
    void ReleaseResources() override;
    void SetConstants() override;

    static constexpr int kSpotLights = 10;
    // The scene's morph begins this many seconds into the show's animation time (the morph
    // section runs 60-75 s): the word stands alone for the first seconds of it.
    static constexpr float kMorphStart = 64.0f;
    // Seconds after kMorphStart at which the word bursts, and how long the dust takes to gather.
    static constexpr float kBurstTime = 1.49f;
    static constexpr float kMorphLength = 2.5f;
    // Seconds after kMorphStart at which the cube stands where the dust lands.
    static constexpr float kCubeTime = 3.99f;

    // How far the morph has come at an animation time: 0 or less the word, 1 or more the cube.
    static float MorphAt(float animationTime);
    // How wild the flight is at a stage of the morph: 0 at both ends, 1 half-way.
    static float WildnessAt(float morph);

private:
    // The word or the cube, whichever stands at this stage; null while the dust flies.
    DXMesh* StandingMesh(float morph) const;
    void RenderShadowMaps(float morph);
    void PlaceLights(float time);

    DXMesh* word = nullptr;
    DXMesh* cube = nullptr;
    std::vector<DXMesh*> meshes; // the word, then the cube
    MeshDust* meshDust = nullptr;
    DeferredLighting* deferredLighting = nullptr;
    Floor* floor = nullptr;
    std::vector<D3DXVECTOR3> clusterDirections;
    Transform* lightCluster = nullptr;
};

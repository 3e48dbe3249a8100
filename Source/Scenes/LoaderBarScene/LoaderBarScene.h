#pragma once
#include <string>
#include <vector>

#include "Scene.h"
#include "d3dx9/d3dx9math.h"

class DXMesh;
class DeferredLighting;
class Transform;

// What a user sees while the show loads: a bar that fills with every loading step under a ring
// of 26 spot lights, and the loader's caption. It registers "mikkmakk", the material effect of
// every scene, so its resources are made before all others'. The bar's transform "LoaderBarCube"
// is posed at the number of loading steps so far (its curves are keyed on that count), not at
// the animation time.
class LoaderBarScene : public Scene {
public:
    explicit LoaderBarScene(const std::string& name);
    ~LoaderBarScene() override;

    void Render() override;
    void Update() override;
    void AcquireTargets() override;
    void ReleaseTargets() override;
    void CreateResources() override;
    void ReleaseResources() override;
    void SetConstants() override;

    static constexpr int kSpotLights = 26;
    static constexpr int kPointLights = 2;

private:
    std::vector<DXMesh*> meshes;
    DXMesh* bar = nullptr;
    DeferredLighting* deferredLighting = nullptr;
    std::vector<D3DXVECTOR3> clusterDirections;
    Transform* lightCluster = nullptr;
};

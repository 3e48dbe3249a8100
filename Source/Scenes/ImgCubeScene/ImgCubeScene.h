#pragma once
#include <string>
#include <vector>

#include "Scene.h"
#include "d3dx9/d3dx9math.h"

class DXMesh;
class DeferredLighting;
class Floor;
class Transform;

// Light that shows: a cube whose six faces are pictures of light, turning over the shared floor,
// six words of what light does around it, and a cluster of 18 spot lights above. The cube's
// faces are drawn with "mikkmakk"/"imgcube", everything else with "clean".
class ImgCubeScene : public Scene {
public:
    explicit ImgCubeScene(const std::string& name);
    ~ImgCubeScene() override;

    void Render() override;
    void Update() override;
    void AcquireTargets() override;
    void ReleaseTargets() override;
    void CreateResources() override;
    void ReleaseResources() override;
    void SetConstants() override;

    static constexpr int kSpotLights = 18;
    // The words, in drawing order after the cube.
    static const std::vector<std::string>& WordNames();

private:
    DXMesh* imageCube = nullptr;
    std::vector<DXMesh*> words;
    std::vector<DXMesh*> meshes; // the cube, then the words: what casts shadows
    DeferredLighting* deferredLighting = nullptr;
    Floor* floor = nullptr;
    std::vector<D3DXVECTOR3> clusterDirections;
    Transform* lightCluster = nullptr;
};

#pragma once
#include <string>
#include <vector>

#include "Scene.h"
#include "d3dx9/d3dx9math.h"

class DXMesh;
class DeferredLighting;
class Quads;
class Transform;

// Light that bounces: a box with a red and a green wall, two cubes and four words, lit by a
// cluster of four shadowing spot lights and nine point lights, with indirect light gathered from
// a cube map re-rendered every frame, so colour bleeds from the walls onto the white.
class CornellScene : public Scene {
public:
    explicit CornellScene(const std::string& name);
    ~CornellScene() override;

    void Render() override;
    void Update() override;
    void AcquireTargets() override;
    void ReleaseTargets() override;
    void CreateResources() override;
    void ReleaseResources() override;
    void SetConstants() override;

    // The meshes in drawing order: the three shapes, then the words.
    static const std::vector<std::string>& MeshNames();

private:
    std::vector<DXMesh*> meshes;
    DeferredLighting* deferredLighting = nullptr;
    Quads* screenQuad = nullptr;
    std::vector<D3DXVECTOR3> clusterDirections;
    Transform* lightCluster = nullptr;
};

#pragma once
#include <string>
#include <vector>

#include "Scene.h"
#include "d3dx9/d3dx9math.h"

class DXMesh;
class DeferredLighting;
class Dust;
class Transform;

// Light that spells: eight big letters, D A Y L I G H T, standing on the floor of a room under a
// cluster of 13 shadowing spot lights whose beams sweep over them, with dust floating in the
// light. The frame goes through depth of field (focused on the letters) and the dust is drawn
// over the sharp and blurred picture, hidden behind the letters by the geometry's depth.
class RoomScene : public Scene {
public:
    explicit RoomScene(const std::string& name);
    ~RoomScene() override;

    void Render() override;
    void Update() override;
    void AcquireTargets() override;
    void ReleaseTargets() override;
    void CreateResources() override;
    void ReleaseResources() override;
    void SetConstants() override;

    // The meshes in drawing order: the letters of the word, then the room. Each is drawn at the
    // transform of its name and read from its name followed by "Shape.x".
    static const std::vector<std::string>& MeshNames();

    static constexpr int kSpotLights = 13;

private:
    std::vector<DXMesh*> meshes;
    DeferredLighting* deferredLighting = nullptr;
    Dust* dust = nullptr;
    std::vector<D3DXVECTOR3> clusterDirections;
    Transform* lightCluster = nullptr;
    Transform* dustBox = nullptr;
};

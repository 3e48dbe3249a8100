#pragma once
#include <array>
#include <string>
#include <vector>

#include "Scene.h"
#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9math.h"

class DXMesh;
class DeferredLighting;
class Dust;
class Quads;
class Transform;

// Light that dances: the camera flies fast down a tunnel past nine words, four spinning disco
// balls hang in coloured spot and point lights, dust hangs in the air, and the balls' mirrors
// flare towards the camera. Each ball throws six glares, one off each face of its frame; a glare
// shines as much as its face turns to the camera and as much of it as the camera can see, which
// an occlusion query of a small square at the glare's point measures against the geometry's depth
// each frame: a ball behind a wall throws no glare.
class TunnelScene : public Scene {
public:
    explicit TunnelScene(const std::string& name);
    ~TunnelScene() override;

    void Render() override;
    void Update() override;
    void AcquireTargets() override;
    void ReleaseTargets() override;
    void CreateResources() override;
    void ReleaseResources() override;
    void SetConstants() override;

    // The ten meshes after the disco balls, in drawing order: the tunnel, then the words. Each is
    // drawn at the transform of its name and read from its name followed by "Shape.x".
    static const std::vector<std::string>& MeshNames();

    static constexpr int kBalls = 4;
    static constexpr int kGlares = 6 * kBalls;
    static constexpr int kSpotLights = 4;
    static constexpr int kPointLights = 8;
    // Glare points stand this far from a ball's centre along its frame's axes (in the ball's own
    // units): just off the mirror tiles of the radius 0.6 ball, so the ball does not hide them.
    static constexpr float kGlareRadius = 0.7f;
    // The occlusion square is this many pixels on a side wherever the point is, so its full pixel
    // count is the side squared; a glare is fully visible once this share of it is drawn (the
    // edges of a small square lose a few pixels to rasterisation).
    static constexpr float kOcclusionSide = 8.0f;
    static constexpr float kVisibleShare = 0.75f;
    // Half the side of a glare sprite, world units.
    static constexpr float kGlareSize = 1.1f;

    // Glare i (ball i / 6, face i % 6): its point, how much its face turns to the camera (last
    // Update), and the INTENS it was drawn with (last Render).
    const D3DXVECTOR3& GetGlarePoint(int i) const { return glarePoints[i]; }
    float GetGlareFacing(int i) const { return glareFacing[i]; }
    float GetGlareIntensity(int i) const { return glareIntensity[i]; }

private:
    void PlaceGlareQuads();
    void DrawGlare();

    std::vector<DXMesh*> meshes;
    DeferredLighting* deferredLighting = nullptr;
    Dust* dust = nullptr;
    Transform* dustBox = nullptr;
    Transform* balls[kBalls] = {};
    // Quads 0 ... 23: the occlusion squares; quad 24 + 2 i: the sprite of glare i.
    Quads* glareQuads = nullptr;
    IDirect3DQuery9* occlusionQuery = nullptr;
    std::array<D3DXVECTOR3, kGlares> glarePoints{};
    std::array<float, kGlares> glareFacing{};
    std::array<float, kGlares> glareIntensity{};
};

#pragma once
#include <array>
#include <memory>
#include <string>

#include "Scene.h"
#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9math.h"

class Quads;
class Sprites;
class Transform;

// Light that writes: eight text cards ("Layer1" ... "Layer8") on a white stage, seen through an
// orthographic camera, with a band of smoke between the fifth and the sixth card; the title and
// captions of the build, the credits and thanks of the outro. The cards are drawn into the back
// buffer, which is then copied into "Color" and finished by the twitch pass.
class ArenaScene : public Scene {
public:
    static constexpr int kLayers = 8;
    // The smoke is drawn after this many layers.
    static constexpr int kLayersBelowSmoke = 5;

    explicit ArenaScene(const std::string& name);
    ~ArenaScene() override;

    void Render() override;
    void Update() override;
    void AcquireTargets() override;
    void ReleaseTargets() override;
    void CreateResources() override;
    void ReleaseResources() override;
    void SetConstants() override;

    // The card of layer k (1 ... kLayers), null before CreateResources.
    IDirect3DTexture9* GetLayerTexture(int k) const;

private:
    void DrawSmoke();

    std::array<IDirect3DTexture9*, kLayers> layerTextures{};
    // Half the width and height of each card's quad before its transform: the card's own shape,
    // half a unit high.
    std::array<D3DXVECTOR2, kLayers> layerHalfSizes{};
    std::array<Transform*, kLayers> layers{};
    // One quad per layer, drawn one at a time.
    std::unique_ptr<Quads> layerQuads;
    std::unique_ptr<Sprites> smoke;
    Transform* smokeBox = nullptr;
};

#pragma once
#include "BaseLight.h"

// A cone of light along its local -Z axis, with the matrices to render its shadow map
// (square projection, near plane at radius/500, far plane at radius*8) and draw its cone.
class SpotLight : public BaseLight {
public:
    SpotLight(const std::string& name, Transform* transform, const D3DXCOLOR& color, float penumbraAngle,
              float coneAngle, float radius, bool castShadows);

    // Follows the transform: updates it and places the light from its translation and
    // rotation.
    void Update(float time) override;
    int GetType() const override { return 1; }

    // Moves the light (and its transform's translation) to position and turns it to shine
    // along -axis; axis is a unit vector. The transform's rotation is kept, so the next
    // Update returns the light to it. A zero axis has no direction: the light moves but
    // keeps its orientation.
    void Aim(const D3DXVECTOR3& position, const D3DXVECTOR3& axis);

    float GetConeAngle() const { return coneAngle; }
    float GetPenumbraAngle() const { return penumbraAngle; }
    const D3DXVECTOR3& GetDirection() const { return direction; }
    const D3DXMATRIX& GetView() const { return view; }
    const D3DXMATRIX& GetWorld() const { return world; }
    const D3DXMATRIX& GetViewProj() const { return viewProj; }
    const D3DXMATRIX& GetProjection() const { return projection; }

private:
    void Place(const D3DXVECTOR3& position, const D3DXMATRIX& orientation);
    void PlaceFromTransform();

    float coneAngle;
    float penumbraAngle;
    D3DXVECTOR3 direction;
    D3DXMATRIX view;
    D3DXMATRIX world;
    D3DXMATRIX viewProj;
    D3DXMATRIX projection;
    D3DXMATRIX orientation;
};

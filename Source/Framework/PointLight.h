#pragma once
#include "BaseLight.h"

// A light shining in all directions from its transform's position. The transform registry
// advances the transform, so the light itself has nothing to update.
class PointLight : public BaseLight {
public:
    PointLight(const std::string& name, Transform* transform, const D3DXCOLOR& color, float radius, bool castShadows)
        : BaseLight(name, transform, color, radius, castShadows)
    {
    }

    void Update(float) override {}
    int GetType() const override { return 2; }
};

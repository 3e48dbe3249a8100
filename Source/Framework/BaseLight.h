#pragma once
#include <string>

#include "d3dx9/d3dx9math.h"

class Transform;

// A light of a scene: colour, reach and shadow flag, placed by the transform of the same
// name (owned by the scene's transform registry).
class BaseLight {
public:
    BaseLight(const std::string& name, Transform* transform, const D3DXCOLOR& color, float radius, bool castShadows)
        : color(color), transform(transform), radius(radius), castShadows(castShadows), name(name)
    {
    }
    virtual ~BaseLight() = default;
    BaseLight(const BaseLight&) = delete;
    BaseLight& operator=(const BaseLight&) = delete;

    virtual void Update(float time) = 0;
    virtual int GetType() const { return 0; }

    const D3DXCOLOR& GetColor() const { return color; }
    // Scenes that colour their lights by code (the morph scene's noisy cluster) set it each frame.
    void SetColor(const D3DXCOLOR& colour) { color = colour; }
    Transform* GetTransform() const { return transform; }
    float GetRadius() const { return radius; }
    bool GetCastShadows() const { return castShadows; }
    const std::string& GetName() const { return name; }

protected:
    D3DXCOLOR color;
    Transform* transform;
    float radius;
    bool castShadows;
    std::string name;
};

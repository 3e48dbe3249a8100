#pragma once
#include <string>

#include "d3dx9/d3dx9math.h"

// Effect parameters addressed by semantic: what the scenes publish to every effect each
// frame through the shared "Global" effect.
class EffectSemantics {
public:
    virtual ~EffectSemantics() = default;
    virtual void SetMatrixBySemantic(const std::string& semantic, const D3DXMATRIX* value) = 0;
    virtual void SetFloatBySemantic(const std::string& semantic, float value) = 0;
    virtual void SetVec2BySemantic(const std::string& semantic, const float* value) = 0;
    virtual void SetVec3BySemantic(const std::string& semantic, const float* value) = 0;
};

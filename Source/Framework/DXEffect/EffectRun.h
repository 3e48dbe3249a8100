#pragma once
#include "d3dx9/d3dx9effect.h"

// Ends an effect's Begin however the passes between are left (an exception included).
class EffectRun {
public:
    explicit EffectRun(ID3DXEffect* effect) : effect(effect) {}
    ~EffectRun() { effect->End(); }
    EffectRun(const EffectRun&) = delete;
    EffectRun& operator=(const EffectRun&) = delete;

private:
    ID3DXEffect* effect;
};

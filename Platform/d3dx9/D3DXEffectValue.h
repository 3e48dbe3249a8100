#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "d3dx9/EffectModel.h"

// The value of one effect parameter: numbers as 32-bit words in D3DX's memory order, a string, or
// a texture (one reference held). Shared parameters of a pool have one value for all its effects.
class D3DXEffectValue {
public:
    explicit D3DXEffectValue(const EffectParameter& parameter);
    ~D3DXEffectValue();
    D3DXEffectValue(const D3DXEffectValue&) = delete;
    D3DXEffectValue& operator=(const D3DXEffectValue&) = delete;

    // Whether another declaration of the same name may share this value.
    bool SameType(const EffectParameter& parameter) const;

    void SetTexture(IDirect3DBaseTexture9* texture);
    IDirect3DBaseTexture9* Texture() const { return texture_; }

    std::vector<std::uint32_t> words;
    std::string text;

private:
    D3DXPARAMETER_CLASS cls_;
    D3DXPARAMETER_TYPE type_;
    std::uint32_t rows_, columns_, elements_;
    IDirect3DBaseTexture9* texture_ = nullptr;
};

#pragma once
#include <map>
#include <string>

#include "DXEffect/DXEffect.h"

// The one registry of effects: creates and loads each DXEffect under a name, finds effects by
// name and holds the active effect that the static setters and RenderObject address.
class DXEffectHandler {
public:
    DXEffectHandler();
    ~DXEffectHandler();
    DXEffectHandler(const DXEffectHandler&) = delete;
    DXEffectHandler& operator=(const DXEffectHandler&) = delete;

    // Loads the file into a new effect under `name` unless the name is taken.
    static void AddEffect(const std::string& name, const std::string& filename, ID3DXEffectPool* pool);
    static DXEffect* FindEffect(const std::string& name);
    static void RemoveEffect(const std::string& name);
    static void SetActiveEffect(const std::string& name);
    static DXEffect* GetActiveEffect();
    // Every registered name followed by "\n", in name order.
    static std::string ListEffects();
    // The registered effect whose D3DX effect that is; null for none.
    static const DXEffect* FindByD3DXEffect(const ID3DXEffect* effect);
    // The file one of the registered effects loaded that texture from ("noise.png"); empty for
    // a texture none of them loaded.
    static std::string LoadedTextureFile(const IDirect3DBaseTexture9* texture);

    // Every effect lets go of the textures passes gave it (render targets among them).
    static void ClearTextureParameters();
    // Removes every effect; the next AddEffect of a name makes it again.
    static void RemoveAllEffects();

    static void RenderObject(BASERENDEROBJECT* object);
    static void SetTechnique(const std::string& technique);
    static void SetTextureBySemantic(const std::string& semantic, IDirect3DBaseTexture9* texture);
    static void SetVec2BySemantic(const std::string& semantic, const float* v);
    static void SetVec3BySemantic(const std::string& semantic, const float* v);
    static void SetVec4BySemantic(const std::string& semantic, const float* v);
    static void SetFloatBySemantic(const std::string& semantic, float value);
    static void SetFloatArrayBySemantic(const std::string& semantic, const float* values, unsigned count);
    static void SetMatrixBySemantic(const std::string& semantic, const D3DXMATRIX* value);

private:
    static DXEffect* Active(const char* messageWhenNone);

    std::map<std::string, DXEffect*> effects;
    static DXEffectHandler* instance;
    static DXEffect* activeEffect;
};

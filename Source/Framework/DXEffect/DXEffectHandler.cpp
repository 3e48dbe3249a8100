#include "DXEffect/DXEffectHandler.h"

#include <memory>

#include "DXFramework.h"
#include "FrameworkEx.h"

DXEffectHandler* DXEffectHandler::instance = nullptr;
DXEffect* DXEffectHandler::activeEffect = nullptr;

DXEffectHandler::DXEffectHandler()
{
    if (instance)
        throw FrameworkEx("DXEffectHandler is a singleton!");
    instance = this;
}

// The demo's registry lives until the process ends; one that is destroyed (a test's, a tool's)
// deletes its effects and stops being the instance.
DXEffectHandler::~DXEffectHandler()
{
    for (auto& [name, effect] : effects)
        delete effect;
    effects.clear();
    if (instance == this) {
        instance = nullptr;
        activeEffect = nullptr;
    }
}

void DXEffectHandler::AddEffect(const std::string& name, const std::string& filename, ID3DXEffectPool* pool)
{
    if (!instance)
        throw FrameworkEx("[DXEffectHandler::AddEffect] No effect registry exists");
    if (instance->effects.count(name))
        return;
    auto effect = std::make_unique<DXEffect>();
    effect->LoadEffect(filename, pool);
    instance->effects[name] = effect.release();
    DXFramework::Log("Added DXEffect \"" + name + "\"");
}

DXEffect* DXEffectHandler::FindEffect(const std::string& name)
{
    if (!instance)
        return nullptr;
    auto found = instance->effects.find(name);
    return found == instance->effects.end() ? nullptr : found->second;
}

void DXEffectHandler::RemoveEffect(const std::string& name)
{
    if (!instance)
        return;
    auto found = instance->effects.find(name);
    if (found == instance->effects.end())
        return;
    if (activeEffect == found->second)
        activeEffect = nullptr;
    delete found->second;
    instance->effects.erase(found);
}

void DXEffectHandler::RemoveAllEffects()
{
    if (!instance)
        return;
    for (auto& [name, effect] : instance->effects)
        delete effect;
    instance->effects.clear();
    activeEffect = nullptr;
}

const DXEffect* DXEffectHandler::FindByD3DXEffect(const ID3DXEffect* effect)
{
    if (!instance || !effect)
        return nullptr;
    for (const auto& [name, registered] : instance->effects)
        if (registered->GetD3DXEffect() == effect)
            return registered;
    return nullptr;
}

std::string DXEffectHandler::LoadedTextureFile(const IDirect3DBaseTexture9* texture)
{
    if (!instance || !texture)
        return {};
    for (const auto& [name, registered] : instance->effects) {
        std::string file = registered->LoadedTextureFile(texture);
        if (!file.empty())
            return file;
    }
    return {};
}

void DXEffectHandler::ClearTextureParameters()
{
    if (!instance)
        return;
    for (auto& [name, effect] : instance->effects)
        effect->ClearTextureParameters();
}

void DXEffectHandler::SetActiveEffect(const std::string& name)
{
    activeEffect = FindEffect(name);
    if (!activeEffect)
        throw FrameworkEx("[DXEffectHandler::SetActiveEffect] Effect \"" + name +
                          "\" not registered. Available effects are:\n" + ListEffects());
}

DXEffect* DXEffectHandler::GetActiveEffect()
{
    return activeEffect;
}

std::string DXEffectHandler::ListEffects()
{
    std::string list;
    if (instance)
        for (const auto& [name, effect] : instance->effects)
            list += name + "\n";
    return list;
}

DXEffect* DXEffectHandler::Active(const char* messageWhenNone)
{
    if (!activeEffect)
        throw FrameworkEx(messageWhenNone);
    return activeEffect;
}

void DXEffectHandler::RenderObject(BASERENDEROBJECT* object)
{
    Active("[DXEffectHandler::RenderObject] No effect set")->RenderObject(object);
}

void DXEffectHandler::SetTechnique(const std::string& technique)
{
    if (!activeEffect)
        throw FrameworkEx("[DXEffectHandler::SetTechnique] Could not set technique) \"" + technique +
                          "\": No effect set");
    activeEffect->SetTechnique(technique);
}

void DXEffectHandler::SetTextureBySemantic(const std::string& semantic, IDirect3DBaseTexture9* texture)
{
    Active("[DXEffectHandler::SetTextureBySemantic] No effect set")->SetTextureBySemantic(semantic, texture);
}

void DXEffectHandler::SetVec2BySemantic(const std::string& semantic, const float* v)
{
    Active("[DXEffectHandler::SetVec2BySemantic] No effect set")->SetVec2BySemantic(semantic, v);
}

void DXEffectHandler::SetVec3BySemantic(const std::string& semantic, const float* v)
{
    Active("[DXEffectHandler::SetVec3BySemantic] No effect set")->SetVec3BySemantic(semantic, v);
}

void DXEffectHandler::SetVec4BySemantic(const std::string& semantic, const float* v)
{
    Active("[DXEffectHandler::SetVec4BySemantic] No effect set")->SetVec4BySemantic(semantic, v);
}

void DXEffectHandler::SetFloatBySemantic(const std::string& semantic, float value)
{
    Active("[DXEffectHandler::SetFloatBySemantic] No effect set")->SetFloatBySemantic(semantic, value);
}

void DXEffectHandler::SetFloatArrayBySemantic(const std::string& semantic, const float* values, unsigned count)
{
    Active("[DXEffectHandler::SetFloatArrayBySemantic] No effect set")
        ->SetFloatArrayBySemantic(semantic, values, count);
}

void DXEffectHandler::SetMatrixBySemantic(const std::string& semantic, const D3DXMATRIX* value)
{
    Active("[DXEffectHandler::SetMatrixBySemantic] No effect set")->SetMatrixBySemantic(semantic, value);
}

#include "d3dx9/D3DXEffectPool.h"

#include <new>

ULONG D3DXEffectPool::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

std::shared_ptr<D3DXEffectValue> D3DXEffectPool::Share(const EffectParameter& parameter, std::string& error)
{
    std::weak_ptr<D3DXEffectValue>& slot = values_[parameter.name];
    if (std::shared_ptr<D3DXEffectValue> existing = slot.lock()) {
        if (existing->SameType(parameter))
            return existing;
        error = "shared parameter \"" + parameter.name + "\" is declared with another type by an effect of the pool";
        return nullptr;
    }
    auto fresh = std::make_shared<D3DXEffectValue>(parameter);
    slot = fresh;
    return fresh;
}

HRESULT D3DXCreateEffectPool(LPD3DXEFFECTPOOL* ppPool)
{
    if (ppPool == nullptr)
        return D3DERR_INVALIDCALL;
    *ppPool = new D3DXEffectPool();
    return D3D_OK;
}

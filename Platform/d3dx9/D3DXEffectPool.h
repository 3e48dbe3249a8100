#pragma once
#include <map>
#include <memory>
#include <string>

#include "d3dx9/D3DXEffectValue.h"
#include "d3dx9/d3dx9effect.h"

// ID3DXEffectPool: the values of the shared parameters of its effects, by name. A value lives as
// long as an effect that declares it does.
class D3DXEffectPool : public ID3DXEffectPool {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    // The pool's value for a shared parameter: the existing one when an effect of the pool declares
    // it already (null with a message when that declaration has another type), else a new one with
    // the parameter's initial value.
    std::shared_ptr<D3DXEffectValue> Share(const EffectParameter& parameter, std::string& error);

private:
    std::map<std::string, std::weak_ptr<D3DXEffectValue>> values_;
    ULONG refs_ = 1;
};

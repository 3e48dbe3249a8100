#include "d3dx9/D3DXEffectValue.h"

D3DXEffectValue::D3DXEffectValue(const EffectParameter& parameter)
    : text(parameter.text), cls_(parameter.cls), type_(parameter.type), rows_(parameter.rows),
      columns_(parameter.columns), elements_(parameter.elements)
{
    if (parameter.IsNumeric()) {
        words = parameter.initial;
        words.resize(parameter.ValueCount(), 0);
    }
}

D3DXEffectValue::~D3DXEffectValue()
{
    if (texture_)
        texture_->Release();
}

bool D3DXEffectValue::SameType(const EffectParameter& parameter) const
{
    return cls_ == parameter.cls && type_ == parameter.type && rows_ == parameter.rows &&
           columns_ == parameter.columns && elements_ == parameter.elements;
}

void D3DXEffectValue::SetTexture(IDirect3DBaseTexture9* texture)
{
    if (texture)
        texture->AddRef();
    if (texture_)
        texture_->Release();
    texture_ = texture;
}

#include "d3dx9/d3dx9effect.h"

#include <string>
#include <vector>

#include "d3dx9/D3DXBuffer.h"
#include "d3dx9/D3DXEffect.h"
#include "d3dx9/D3DXEffectPool.h"
#include "d3dx9/EffectError.h"
#include "d3dx9/EffectObject.h"
#include "d3dx9/EffectParser.h"

namespace {

// The files an effect source includes, read through the caller's ID3DXInclude. Every file opened
// stays open (its data is the parent data of the files it includes) until the source is parsed.
class IncludeFiles {
public:
    explicit IncludeFiles(ID3DXInclude* include) : include_(include) {}
    ~IncludeFiles()
    {
        for (const Opened& file : opened_)
            include_->Close(file.data);
    }
    IncludeFiles(const IncludeFiles&) = delete;
    IncludeFiles& operator=(const IncludeFiles&) = delete;

    bool Read(const std::string& name, bool system, const std::string& parent, std::string& text,
              std::string& foundName)
    {
        if (!include_)
            return false;
        LPCVOID parentData = nullptr;
        for (const Opened& file : opened_)
            if (file.name == parent)
                parentData = file.data;
        LPCVOID data = nullptr;
        UINT bytes = 0;
        const HRESULT hr = include_->Open(system ? D3DXINC_SYSTEM : D3DXINC_LOCAL, name.c_str(), parentData, &data, &bytes);
        if (hr < 0)
            return false;
        opened_.push_back({name, data});
        if (data == nullptr && bytes > 0)
            return false;
        text.assign(static_cast<const char*>(data), bytes);
        foundName = name;
        return true;
    }

private:
    struct Opened {
        std::string name;
        LPCVOID data;
    };
    ID3DXInclude* include_;
    std::vector<Opened> opened_;
};

HRESULT Fail(HRESULT result, const EffectErrors& errors, LPD3DXBUFFER* ppCompilationErrors)
{
    if (ppCompilationErrors)
        *ppCompilationErrors = D3DXBuffer::FromText(errors.Text());
    return result;
}

} // namespace

HRESULT D3DXCreateEffect(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize, const D3DXMACRO* pDefines,
                         LPD3DXINCLUDE pInclude, DWORD Flags, LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect,
                         LPD3DXBUFFER* ppCompilationErrors)
{
    (void)Flags; // compile and cloning flags change nothing here
    EffectErrors errors;
    if (ppEffect)
        *ppEffect = nullptr;
    if (!pDevice || !pSrcData || SrcDataSize == 0 || !ppEffect) {
        errors.Add("D3DXCreateEffect needs a device, data and an effect pointer");
        return Fail(D3DERR_INVALIDCALL, errors, ppCompilationErrors);
    }
    auto* pool = dynamic_cast<D3DXEffectPool*>(pPool);
    if (pPool && !pool) {
        errors.Add("the effect pool was not made by D3DXCreateEffectPool");
        return Fail(D3DERR_INVALIDCALL, errors, ppCompilationErrors);
    }

    EffectModel model;
    if (IsEffectObject(pSrcData, SrcDataSize)) {
        std::string error;
        if (!ReadEffectObject(pSrcData, SrcDataSize, model, error)) {
            errors.Add("effect object: " + error);
            return Fail(D3DXERR_INVALIDDATA, errors, ppCompilationErrors);
        }
    } else {
        std::string text(static_cast<const char*>(pSrcData), SrcDataSize);
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        if (text.find('\0') != std::string::npos) {
            errors.Add("memory", 1, "the effect is neither an effect object nor text");
            return Fail(D3DXERR_INVALIDDATA, errors, ppCompilationErrors);
        }
        EffectDefines defines;
        for (const D3DXMACRO* macro = pDefines; macro && macro->Name; ++macro)
            defines.push_back({macro->Name, macro->Definition ? macro->Definition : ""});
        IncludeFiles includes(pInclude);
        const EffectIncludeReader reader = [&](const std::string& name, bool system, const std::string& parent,
                                               std::string& content, std::string& found) {
            return includes.Read(name, system, parent, content, found);
        };
        if (!CompileEffectSource("memory", text, defines, reader, model, errors))
            return Fail(D3DXERR_INVALIDDATA, errors, ppCompilationErrors);
    }

    D3DXEffect* effect = nullptr;
    const HRESULT hr = D3DXEffect::Create(pDevice, std::move(model), pool, &effect, errors);
    if (hr != D3D_OK)
        return Fail(hr, errors, ppCompilationErrors);
    *ppEffect = effect;
    return D3D_OK;
}

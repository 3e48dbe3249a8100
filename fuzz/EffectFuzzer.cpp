// Any bytes handed to D3DXCreateEffect, as effect source or as a compiled effect object, either
// make an effect or fail with a failure code; an effect that is made runs its first technique.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "FuzzDevice.h"
#include "d3dx9/d3dx9effect.h"

namespace {

// Includes answer with a small fixed file, so that include handling is fuzzed too.
class FixedInclude : public ID3DXInclude {
public:
    HRESULT Open(D3DXINCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override
    {
        if (!name || std::strcmp(name, "missing.fxh") == 0)
            return E_FAIL;
        static const char text[] = "shared float Time : TIME;\n";
        *data = text;
        *bytes = sizeof text - 1;
        return S_OK;
    }
    HRESULT Close(LPCVOID) override { return S_OK; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    IDirect3DDevice9* device = FuzzDevice();
    ID3DXEffectPool* pool = nullptr;
    if (D3DXCreateEffectPool(&pool) != D3D_OK)
        std::abort();
    FixedInclude include;
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT hr = D3DXCreateEffect(device, data, static_cast<UINT>(size), nullptr, &include, 0, pool, &effect,
                                        &errors);
    if ((hr == D3D_OK) != (effect != nullptr))
        std::abort();
    if (effect) {
        UINT passes = 0;
        if (effect->Begin(&passes, 0) == D3D_OK) {
            for (UINT i = 0; i < passes && i < 8; ++i) {
                effect->BeginPass(i);
                effect->CommitChanges();
                effect->EndPass();
            }
            effect->End();
        }
        effect->Release();
    }
    if (errors)
        errors->Release();
    pool->Release();
    ForgetFuzzCalls();
    return 0;
}

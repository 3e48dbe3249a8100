#pragma once
#include "d3dx9/d3dx9core.h"

// Hands the files an effect source includes to the effect compiler: "Shaders\\" + the name,
// read from the archive, whatever the include form.
class CIncludeManager : public ID3DXInclude {
public:
    HRESULT Open(D3DXINCLUDE_TYPE includeType, LPCSTR fileName, LPCVOID parentData, LPCVOID* data,
                 UINT* bytes) override;
    HRESULT Close(LPCVOID data) override;
};

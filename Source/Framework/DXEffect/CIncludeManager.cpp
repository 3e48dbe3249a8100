#include "DXEffect/CIncludeManager.h"

#include <string>

#include "FileSys.h"

HRESULT CIncludeManager::Open(D3DXINCLUDE_TYPE /*includeType*/, LPCSTR fileName, LPCVOID /*parentData*/,
                              LPCVOID* data, UINT* bytes)
{
    if (!fileName || !data || !bytes)
        return E_FAIL;
    const std::string path = std::string("Shaders\\") + fileName;
    const unsigned size = FileSys::GetFileSize(path.c_str());
    if (size == 0)
        return E_FAIL;
    auto* buffer = new char[size];
    if (FileSys::ReadFile(path.c_str(), buffer) == 0) {
        delete[] buffer;
        return E_FAIL;
    }
    *data = buffer;
    *bytes = size;
    return S_OK;
}

HRESULT CIncludeManager::Close(LPCVOID data)
{
    delete[] static_cast<const char*>(data);
    return S_OK;
}

#include <string>
#include <vector>

#include "DXEffect/CIncludeManager.h"
#include "DXFramework.h"
#include "FileSys.h"
#include "FrameworkEx.h"

namespace {

// The whole archive entry, or false when the archive does not hold it.
bool ReadEntry(const char* name, std::vector<unsigned char>& bytes)
{
    const unsigned size = FileSys::GetFileSize(name);
    bytes.assign(size, 0);
    return FileSys::ReadFile(name, bytes.data()) != 0;
}

} // namespace

HRESULT DXFramework::CreateEffectFromFile(const char* filename, const D3DXMACRO* defines, DWORD flags,
                                          ID3DXEffectPool* pool, ID3DXEffect** effect, ID3DXBuffer** errors)
{
    const std::string path = std::string("OShaders\\") + filename + "o";
    std::vector<unsigned char> bytes;
    if (!ReadEntry(path.c_str(), bytes))
        throw FrameworkEx("[DXFramework::CreateEffectFromFile]: can't find file \"" + path + "\".");
    CIncludeManager includes;
    return D3DXCreateEffect(GetDevice(), bytes.data(), static_cast<UINT>(bytes.size()), defines, &includes, flags,
                            pool, effect, errors);
}

HRESULT DXFramework::CreateTextureFromFileEx(const char* file, UINT width, UINT height, UINT mipLevels, DWORD usage,
                                             D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                             D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                             IDirect3DTexture9** texture)
{
    std::vector<unsigned char> bytes;
    if (!ReadEntry(file, bytes))
        return D3DERR_INVALIDCALL;
    return D3DXCreateTextureFromFileInMemoryEx(GetDevice(), bytes.data(), static_cast<UINT>(bytes.size()), width,
                                               height, mipLevels, usage, format, pool, filter, mipFilter, colorKey,
                                               srcInfo, palette, texture);
}

HRESULT DXFramework::CreateCubeTextureFromFile(const char* file, IDirect3DCubeTexture9** cube)
{
    std::vector<unsigned char> bytes;
    if (!ReadEntry(file, bytes))
        return D3DERR_INVALIDCALL;
    return D3DXCreateCubeTextureFromFileInMemory(GetDevice(), bytes.data(), static_cast<UINT>(bytes.size()), cube);
}

HRESULT DXFramework::LoadMeshFromX(const char* file, DWORD options, ID3DXBuffer** adjacency, ID3DXBuffer** materials,
                                   ID3DXBuffer** effectInstances, DWORD* numMaterials, ID3DXMesh** mesh)
{
    std::vector<unsigned char> bytes;
    if (!ReadEntry(file, bytes))
        return D3DERR_INVALIDCALL;
    return D3DXLoadMeshFromXInMemory(bytes.data(), static_cast<DWORD>(bytes.size()), options, GetDevice(), adjacency,
                                     materials, effectInstances, numMaterials, mesh);
}

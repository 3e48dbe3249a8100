// Any bytes handed to the texture loaders either make a texture or fail with a failure code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzDevice.h"
#include "d3dx9/d3dx9tex.h"

namespace {

void Check(HRESULT hr, IDirect3DBaseTexture9* texture)
{
    // Success and a texture go together.
    if ((hr == D3D_OK) != (texture != nullptr))
        std::abort();
    if (texture != nullptr)
        texture->Release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    IDirect3DDevice9* device = FuzzDevice();
    const UINT length = static_cast<UINT>(size);

    D3DXIMAGE_INFO info{};
    D3DXGetImageInfoFromFileInMemory(data, length, &info);

    IDirect3DTexture9* texture = nullptr;
    Check(D3DXCreateTextureFromFileInMemoryEx(device, data, length, D3DX_DEFAULT, D3DX_DEFAULT, 0, 0,
                                              D3DFMT_FROM_FILE, D3DPOOL_MANAGED, D3DX_FILTER_LINEAR,
                                              D3DX_FILTER_BOX, 0, &info, nullptr, &texture),
          texture);
    IDirect3DTexture9* exact = nullptr;
    Check(D3DXCreateTextureFromFileInMemoryEx(device, data, length, D3DX_FROM_FILE, D3DX_FROM_FILE, 1, 0,
                                              D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE,
                                              0xFF000000, nullptr, nullptr, &exact),
          exact);
    IDirect3DCubeTexture9* cube = nullptr;
    Check(D3DXCreateCubeTextureFromFileInMemory(device, data, length, &cube), cube);
    ForgetFuzzCalls();
    return 0;
}

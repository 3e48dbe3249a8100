#pragma once
// The D3DX 9 texture loaders the demo calls: the same names, arguments, results and constant values
// as D3DX 9. Images are read from memory: PNG, JPEG, BMP, TGA and binary PPM (decoded to 8-bit
// channels) and DDS (2D, cube and volume maps with their mip chains; A8R8G8B8, X8R8G8B8, L8,
// A16B16G16R16F, DXT1, DXT3 and DXT5). Damaged or unreadable images give D3DXERR_INVALIDDATA, null
// arguments D3DERR_INVALIDCALL; a format the loader cannot convert to gives D3DERR_NOTAVAILABLE.
#include "d3d9/d3d9.h"
#include "win32/WinTypes.h"

#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_FROM_FILE ((UINT)-3)
#define D3DFMT_FROM_FILE ((D3DFORMAT)-3)

#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)

#define D3DX_FILTER_MIRROR_U (1 << 16)
#define D3DX_FILTER_MIRROR_V (2 << 16)
#define D3DX_FILTER_MIRROR_W (4 << 16)
#define D3DX_FILTER_MIRROR (7 << 16)

#define D3DX_FILTER_DITHER (1 << 19)
#define D3DX_FILTER_DITHER_DIFFUSION (2 << 19)

#define D3DX_FILTER_SRGB_IN (1 << 21)
#define D3DX_FILTER_SRGB_OUT (2 << 21)
#define D3DX_FILTER_SRGB (3 << 21)

// The file formats D3DX names; this loader reads BMP, JPG, TGA, PNG, DDS and PPM.
enum D3DXIMAGE_FILEFORMAT : DWORD {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
    D3DXIFF_HDR = 7,
    D3DXIFF_PFM = 8,
    D3DXIFF_FORCE_DWORD = 0x7fffffff,
};

// What an image file holds. Format is the texture format the file maps to (a 24-bit or greyscale
// image with alpha reads as D3DFMT_A8R8G8B8, one without alpha as D3DFMT_X8R8G8B8, greyscale
// without alpha as D3DFMT_L8; a DDS file gives its own format).
struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

// A palette entry (Win32 wingdi.h). No loaded format is palettised, so loaders never write one.
struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

HRESULT D3DXGetImageInfoFromFileInMemory(const void* pSrcData, UINT SrcDataSize, D3DXIMAGE_INFO* pSrcInfo);

// Width and Height: 0 or D3DX_DEFAULT take the file's size rounded up to a power of two;
// D3DX_DEFAULT_NONPOW2 and D3DX_FROM_FILE the file's size; any other value is the size, the image
// resampled with Filter. MipLevels: 0 or D3DX_DEFAULT a full chain, D3DX_FROM_FILE the file's own
// levels, otherwise that many (at most a full chain); levels the file lacks are made with MipFilter.
// Format: D3DFMT_FROM_FILE or D3DFMT_UNKNOWN keep the file's format. ColorKey: when non-zero,
// source texels of exactly that A8R8G8B8 colour become transparent black. Filter and MipFilter:
// D3DX_DEFAULT or a D3DX_FILTER_ type with flags; flags alone take the default type. Filter NONE
// places the image at the top left without scaling (transparent black beyond it). A D3DPOOL_DEFAULT
// texture without D3DUSAGE_DYNAMIC, render-target or depth usage is made D3DUSAGE_DYNAMIC so that
// it can be filled. A cube map file gives its +X face; a volume map file of more than one slice is
// D3DXERR_INVALIDDATA.
HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* pDevice, const void* pSrcData, UINT SrcDataSize,
                                            UINT Width, UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                            D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette,
                                            IDirect3DTexture9** ppTexture);

// The defaults: D3DX_DEFAULT sizes, levels and filters, usage 0, the file's format, managed pool.
HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* pDevice, const void* pSrcData, UINT SrcDataSize,
                                          IDirect3DTexture9** ppTexture);

// A cube map from a DDS cube map holding all six faces (+X, -X, +Y, -Y, +Z, -Z). Size is the edge
// length, with the meanings of Width above.
HRESULT D3DXCreateCubeTextureFromFileInMemoryEx(IDirect3DDevice9* pDevice, const void* pSrcData, UINT SrcDataSize,
                                                UINT Size, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                                D3DPOOL Pool, DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                                D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette,
                                                IDirect3DCubeTexture9** ppCubeTexture);

HRESULT D3DXCreateCubeTextureFromFileInMemory(IDirect3DDevice9* pDevice, const void* pSrcData, UINT SrcDataSize,
                                              IDirect3DCubeTexture9** ppCubeTexture);

// A volume texture from a DDS volume map (or from any 2D image, as one slice). Width, Height and
// Depth have the meanings of Width above; a depth that differs from the file's resamples the
// slices with Filter. A cube map file is D3DXERR_INVALIDDATA.
HRESULT D3DXCreateVolumeTextureFromFileInMemoryEx(IDirect3DDevice9* pDevice, const void* pSrcData, UINT SrcDataSize,
                                                  UINT Width, UINT Height, UINT Depth, UINT MipLevels, DWORD Usage,
                                                  D3DFORMAT Format, D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                                  D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette,
                                                  IDirect3DVolumeTexture9** ppVolumeTexture);

HRESULT D3DXCreateVolumeTextureFromFileInMemory(IDirect3DDevice9* pDevice, const void* pSrcData, UINT SrcDataSize,
                                                IDirect3DVolumeTexture9** ppVolumeTexture);

#pragma once

#include <map>
#include <string>

#include "d3d9/d3d9.h"

// The argument rules of Direct3D 9 that every device of the layer enforces, written once. Each check
// answers D3D_OK or the result the device call returns for the argument. Rules that depend on the
// hardware take the device's capabilities; a limit of 0 in them means no limit.

// The presentation intervals a device accepts: DEFAULT, ONE to FOUR and IMMEDIATE; others are an
// invalid call.
HRESULT CheckD3DPresentationInterval(UINT interval);

// The adapter-format argument of IDirect3D9 (EnumAdapterModes, CheckDeviceFormat): a display format
// (X8R8G8B8, R5G6B5, X1R5G5B5, A2R10G10B10). Any other format is an invalid call; a display format
// other than X8R8G8B8, the one the adapter shows, is not available.
HRESULT CheckD3DAdapterFormat(D3DFORMAT format);

// A back buffer the adapter can show: X8R8G8B8 or A8R8G8B8; any other format is not available.
HRESULT CheckD3DBackBufferFormat(D3DFORMAT format);

// An automatic depth-stencil buffer needs a depth format; any other is not available.
HRESULT CheckD3DAutoDepthStencilFormat(D3DFORMAT format);

// The swap chain of D3DPRESENT_PARAMETERS, apart from its formats, sizes and multisample quality
// (which depend on the device): a known swap effect, at most D3DPRESENT_BACK_BUFFERS_MAX back
// buffers and only one with D3DSWAPEFFECT_COPY, known flags, a multisample type of at most 16 that
// only D3DSWAPEFFECT_DISCARD and a back buffer that is not lockable may use, no refresh rate when
// windowed and a known presentation interval. Anything else is an invalid call.
HRESULT CheckD3DSwapChain(const D3DPRESENT_PARAMETERS& params);

// Lock flags of a vertex or index buffer: only the known ones, and never DISCARD with READONLY.
HRESULT CheckD3DBufferLockFlags(DWORD flags);

// SetViewport: a viewport of at least one pixel each way with MinZ and MaxZ in 0..1. It may reach
// past the first render target's edges (drawing and Clear are clipped to the target), but not past
// the largest target the device makes (MaxTextureWidth x MaxTextureHeight; no limit when 0). A
// missing viewport or a device without a first target is an invalid call.
HRESULT CheckD3DViewport(const D3DCAPS9& caps, const D3DVIEWPORT9* viewport, bool hasTarget);

// SetScissorRect: a rectangle that starts at or right/below the origin and does not turn inside out
// (right >= left, bottom >= top). It may reach past the target; drawing clips it.
HRESULT CheckD3DScissorRect(const RECT* rect);

// SetStreamSource: a stream below MaxStreams (16 when the caps give none); with a buffer, an offset
// that is a multiple of 4 (and 0 unless the device has D3DDEVCAPS2_STREAMOFFSET) and a stride of at
// most MaxStreamStride.
HRESULT CheckD3DStreamSource(const D3DCAPS9& caps, UINT stream, bool withBuffer, UINT offset, UINT stride);

// Clear: rectangles when a count is given, at least one known flag, Z in 0..1, and for ZBUFFER or
// STENCIL a depth surface (depthFormat; D3DFMT_UNKNOWN when none is set) with that channel.
HRESULT CheckD3DClear(DWORD count, const D3DRECT* rects, DWORD flags, float z, D3DFORMAT depthFormat);

// What an adapter may lack beyond its format table: GL implementations without S3TC have no DXT
// textures, and some cannot blend into 16-bit float targets. A device without a GL adapter behind it
// (the recording device) has both.
struct D3DAdapterFormats {
    bool compressedTextures = true; // DXT1, DXT3 and DXT5 textures
    bool floatBlending = true;      // D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING of the float targets
};

// IDirect3D9::CheckDeviceFormat once the adapter format is known good: whether the adapter holds
// `format` as a resource of `type` with `usage` (D3D_OK or D3DERR_NOTAVAILABLE). With
// D3DUSAGE_AUTOGENMIPMAP a texture format whose chain cannot be generated (the block-compressed
// ones) answers D3DOK_NOAUTOGEN: its textures are made with that usage, and their lower levels are
// not generated. The creation rules below ask the same question, so what this promises is made.
HRESULT CheckD3DDeviceFormat(const D3DCAPS9& caps, const D3DAdapterFormats& adapter, DWORD usage,
                             D3DRESOURCETYPE type, D3DFORMAT format);

// The format of a resource made to be drawn into (CreateRenderTarget, D3DUSAGE_RENDERTARGET) or to
// hold depth (CreateDepthStencilSurface, D3DUSAGE_DEPTHSTENCIL), by its kind alone: a format the
// runtime does not know, a depth or buffer format as a render target and a format without depth as
// a depth surface are invalid calls. Whether the adapter offers it is CheckD3DDeviceFormat's.
HRESULT CheckD3DTargetFormatKind(DWORD usage, D3DFORMAT format);

// The levels of a texture CheckD3DTextureArguments accepts.
struct D3DTextureLevels {
    UINT shown = 0;         // levels the texture shows: all of a full chain for 0, one when generated
    bool generated = false; // D3DUSAGE_AUTOGENMIPMAP of a format whose chain the device generates
};

// CreateTexture (D3DRTYPE_TEXTURE), CreateCubeTexture (D3DRTYPE_CUBETEXTURE, height = width) and
// CreateVolumeTexture (D3DRTYPE_VOLUMETEXTURE): sizes, usage flags with their pools, the format (its
// kind, then the adapter's answer; D3DPOOL_SCRATCH holds any format whose texels can be locked), the
// capability limits and the level count. On D3D_OK, *levels says what the texture holds.
HRESULT CheckD3DTextureArguments(const D3DCAPS9& caps, const D3DAdapterFormats& adapter, D3DRESOURCETYPE type,
                                 UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                                 D3DPOOL pool, D3DTextureLevels* made);

// The surfaces a device makes on their own.
enum class D3DSurfaceKind {
    RenderTarget, // CreateRenderTarget
    DepthStencil, // CreateDepthStencilSurface
    Plain,        // CreateOffscreenPlainSurface
};

// CreateRenderTarget, CreateDepthStencilSurface and CreateOffscreenPlainSurface: a size within the
// caps; for plain surfaces a pool other than D3DPOOL_MANAGED, any lockable format in
// D3DPOOL_SCRATCH and the adapter's elsewhere, whole blocks of a block format; for the others the
// format's kind (CheckD3DTargetFormatKind), the adapter's answer, and a multisample type the device
// offers for the format with a quality below `qualityLevels`, what CheckDeviceMultiSampleType
// reports for them (0 when the type is not offered). A lockable multisampled render target is made:
// its LockRect fails. `pool` counts for plain surfaces only, the multisample arguments for the others.
HRESULT CheckD3DSurfaceArguments(const D3DCAPS9& caps, const D3DAdapterFormats& adapter, D3DSurfaceKind kind,
                                 UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                 D3DMULTISAMPLE_TYPE multiSample, DWORD quality, DWORD qualityLevels);

// CreateVertexDeclaration: the elements up to D3DDECL_END(), at most MAXD3DDECLLENGTH of them.
// D3DERR_INVALIDCALL for a null array, a missing end, a stream past 15, an unknown type, method,
// usage or usage index, or a usage and index named twice; E_FAIL for an element of type
// D3DDECLTYPE_UNUSED or at an offset that is not a multiple of 4. On D3D_OK, *count is the number
// of elements before the end.
HRESULT CheckD3DVertexElements(const D3DVERTEXELEMENT9* elements, UINT* count);

// IDirect3DQuery9::GetData's arguments: D3DERR_INVALIDCALL for flags other than D3DGETDATA_FLUSH
// or a non-zero size without data. Any size goes with data: a finished query fills as much of its
// result as fits (D3DCopyQueryResult); a size of 0 only asks whether the query is done.
HRESULT CheckD3DQueryGetData(const void* data, DWORD size, DWORD flags);

// Copies the first min(size, resultSize) bytes of a finished query's result into data (when given).
void D3DCopyQueryResult(const void* result, DWORD resultSize, void* data, DWORD size);

// The result of a LockRect or LockBox: a failed lock leaves no pointer behind, as drivers clear
// pBits of the caller's D3DLOCKED_RECT or D3DLOCKED_BOX (when one is given).
template <class Locked>
HRESULT D3DLockResult(HRESULT hr, Locked* locked)
{
    if (hr != D3D_OK && locked != nullptr) {
        locked->pBits = nullptr;
    }
    return hr;
}

// The samplers of a device, each at a slot: 0..15 for the pixel samplers, then the four vertex
// samplers (D3DVERTEXTEXTURESAMPLER0..3), then the displacement-map sampler (D3DDMAPSAMPLER).
inline constexpr unsigned kD3DPixelSamplers = 16;
inline constexpr unsigned kD3DSamplerSlots = 21;
inline constexpr unsigned kD3DDisplacementMapSlot = 20;

// The slot of a sampler (or texture stage) number, or -1 when the device has no such sampler. The
// displacement-map sampler exists only on a device whose caps report displacement mapping
// (D3DDEVCAPS2_DMAPNPATCH or D3DDEVCAPS2_PRESAMPLEDDMAPNPATCH).
int D3DSamplerSlot(const D3DCAPS9& caps, DWORD sampler);

// The device-loss test hook both devices share: armed from ORVALA_D3D_DEVICE_LOST="<Method>:<n>"
// when the device is made, or by InjectDeviceLoss; the nth call of that method from then on loses
// the device, once.
class D3DDeviceLossInjector {
public:
    // Reads the environment variable; a malformed value arms nothing.
    D3DDeviceLossInjector();

    // Arms `method` to be lost at its nth call from now; a null method or an nth of 0 disarms every
    // method.
    void Arm(const char* method, unsigned nth);

    // Counts one call of `method`: true when this call is the one that loses the device.
    bool Lose(const char* method);

    // "<Method>:<n>" with a non-empty method and n a whole number from 1 to 4294967295, nothing after
    // it; false for anything else.
    static bool Parse(const char* text, std::string& method, unsigned& nth);

private:
    std::map<std::string, unsigned> countdown_;
};

#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "d3d9/D3DDrawCounter.h"
#include "d3d9/D3DStateTables.h"
#include "d3d9/D3DValidation.h"
#include "d3d9/DeviceFactory.h"
#include "d3d9/d3d9.h"
#include "d3d9/recording/RecordingBinding.h"
#include "d3d9/recording/RecordingImage.h"

class RecordingIndexBuffer;
class RecordingObject;
class RecordingPixelShader;
class RecordingSurface;
class RecordingVertexBuffer;
class RecordingVertexDeclaration;
class RecordingVertexShader;

// The recording device: IDirect3DDevice9 without a renderer. It keeps every resource's bytes in
// memory (locks, Clear, ColorFill, StretchRect and GetRenderTargetData work on them), validates
// arguments as Direct3D 9 does, keeps the state the Get* methods read, loses and resets like a
// Direct3D 9 device, and logs every call made on it and on its objects (see RecordedCall).
//
// What it does not do: draws are validated and logged with the render targets then bound, but not
// rasterised, so a target's bytes only change through Clear, ColorFill, StretchRect and locks.
// Depth and stencil values are not kept (nothing can read a depth-stencil surface back).
// StretchRect with any filter takes the nearest source texel. Present keeps the back buffer's
// bytes for GetPresentedFrame. There is one back buffer, whatever BackBufferCount asks for.
// Multisampled surfaces keep one sample per pixel. A device made without a Direct3D object has none
// to give: GetDirect3D reports D3DERR_NOTAVAILABLE. The log grows until ClearRecordedCalls;
// ORVALA_D3D_RECORDING_LOG=off makes a device that keeps none (for measuring the caller's cost).
//
// Capability limits come from the caps it was made with: MaxTextureWidth/Height, MaxVolumeExtent,
// MaxStreamStride and NumSimultaneousRTs (at most 4) apply when they are non-zero; stream offsets
// other than 0 need D3DDEVCAPS2_STREAMOFFSET and the displacement-map sampler D3DDEVCAPS2_DMAPNPATCH.
// The argument rules it shares with the OpenGL device are in D3DValidation.h.
class RecordingDevice : public IDirect3DDevice9, public D3DDrawCounter {
public:
    static HRESULT Create(const D3DCAPS9& caps, D3DPRESENT_PARAMETERS* presentParameters,
                          IDirect3DDevice9** device);
    ~RecordingDevice() override;

    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT TestCooperativeLevel() override;
    HRESULT GetDirect3D(IDirect3D9** ppD3D9) override;
    HRESULT GetDeviceCaps(D3DCAPS9* pCaps) override;
    HRESULT GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
    HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                    const void* pDirtyRegion) override;
    HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                          IDirect3DSurface9** ppBackBuffer) override;

    HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                          IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override;
    HRESULT CreateVolumeTexture(UINT Width, UINT Height, UINT Depth, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                D3DPOOL Pool, IDirect3DVolumeTexture9** ppVolumeTexture,
                                HANDLE* pSharedHandle) override;
    HRESULT CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle) override;
    HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                               IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) override;
    HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override;
    HRESULT CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                               DWORD MultisampleQuality, BOOL Lockable, IDirect3DSurface9** ppSurface,
                               HANDLE* pSharedHandle) override;
    HRESULT CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                      DWORD MultisampleQuality, BOOL Discard, IDirect3DSurface9** ppSurface,
                                      HANDLE* pSharedHandle) override;
    HRESULT CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                        IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override;

    HRESULT GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) override;
    HRESULT StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect, IDirect3DSurface9* pDestSurface,
                        const RECT* pDestRect, D3DTEXTUREFILTERTYPE Filter) override;
    HRESULT ColorFill(IDirect3DSurface9* pSurface, const RECT* pRect, D3DCOLOR color) override;

    HRESULT SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) override;
    HRESULT GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;

    HRESULT SetViewport(const D3DVIEWPORT9* pViewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* pViewport) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
    HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
    HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
    HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
    HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
    HRESULT SetScissorRect(const RECT* pRect) override;
    HRESULT GetScissorRect(RECT* pRect) override;

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                 UINT NumVertices, UINT startIndex, UINT primCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, const void* pVertexStreamZeroData,
                            UINT VertexStreamZeroStride) override;

    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                    IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override;
    HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                            UINT Stride) override;
    HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                            UINT* pStride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** ppIndexData) override;

    HRESULT CreateVertexShader(const char* pGlslSource, IDirect3DVertexShader9** ppShader,
                               std::string* pLog = nullptr) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* pShader) override;
    HRESULT GetVertexShader(IDirect3DVertexShader9** ppShader) override;
    HRESULT CreatePixelShader(const char* pGlslSource, IDirect3DPixelShader9** ppShader,
                              std::string* pLog = nullptr) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* pShader) override;
    HRESULT GetPixelShader(IDirect3DPixelShader9** ppShader) override;

    HRESULT SetUniformF(const char* pName, const float* pValues, UINT Count) override;
    HRESULT SetUniformI(const char* pName, const int* pValues, UINT Count) override;

    HRESULT CreateQuery(D3DQUERYTYPE Type, IDirect3DQuery9** ppQuery) override;

    HRESULT GetPresentedFrame(std::vector<std::uint8_t>& bgra, UINT& Width, UINT& Height) override;
    void InjectDeviceLoss(const char* pMethod, unsigned nth) override;

    // For the device's objects and the factory.
    void Record(const char* method, std::string arguments, HRESULT result);
    std::vector<RecordedCall>& Calls() { return calls_; }
    void AddRefWithoutLog() { ++refs_; }
    void HoldForObject() { ++refs_; }
    void ReleaseForObject();
    void DefaultPoolObjectHeld(bool held) { heldDefaultPoolObjects_ += held ? 1 : -1; }
    bool IsLost() const { return lost_ != LostState::None; }
    std::uint64_t NextTimestamp() { return ++timestamp_; }

private:
    enum class LostState { None, Lost, NotReset };
    struct Stream {
        RecordingBinding<RecordingVertexBuffer> buffer;
        UINT offset = 0;
        UINT stride = 0;
    };

    explicit RecordingDevice(const D3DCAPS9& caps);

    // Checks the injected loss for a call of `method`: D3DERR_DEVICELOST (and the device lost) when
    // this is the call it names.
    HRESULT Enter(const char* method);
    void RecordDraw(const char* method, std::string arguments, HRESULT result);
    std::string NextName(const char* kind, unsigned& counter);

    HRESULT CheckPresentParameters(D3DPRESENT_PARAMETERS* params) const;
    HRESULT BuildSwapChain(const D3DPRESENT_PARAMETERS& params);
    void ResetState();
    // What the device reports as CheckDeviceMultiSampleType's quality levels: one for every type up
    // to 16 samples (and the non-maskable one) of a render-target or depth format, none otherwise.
    static DWORD MultiSampleQualityLevels(D3DFORMAT format, D3DMULTISAMPLE_TYPE type);
    HRESULT CheckSurfaceArguments(D3DSurfaceKind kind, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                  D3DMULTISAMPLE_TYPE multiSample, DWORD quality) const;
    HRESULT MakeSurface(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                        D3DMULTISAMPLE_TYPE multiSample, DWORD quality, bool lockable, IDirect3DSurface9** surface);
    // The recording surface behind an interface pointer when it belongs to this device, else null.
    RecordingSurface* OwnSurface(IDirect3DSurface9* surface) const;
    template <class T, class I>
    T* Own(I* object) const;
    // Set/Get of a slot that binds one object of this device (or nothing), recorded as `method`.
    template <class T, class I>
    HRESULT SetBinding(const char* method, RecordingBinding<T>& binding, I* object);
    template <class T, class I>
    HRESULT GetBinding(const char* method, const RecordingBinding<T>& binding, I** out);
    // Hands out a new object from `make` (its reference for the caller taken), or the out-of-memory result.
    template <class I, class Make>
    HRESULT HandOutNew(I** out, RecordingObject*& made, Make make);
    template <class T, class I>
    HRESULT CreateShader(const char* method, const char* kind, unsigned& counter, const char* source, I** out,
                         std::string* log);

    UINT MaxRenderTargets() const;
    HRESULT CheckVertices(std::uint64_t first, std::uint64_t count) const;
    HRESULT CheckDrawShaders() const;

    D3DCAPS9 caps_;
    D3DPRESENT_PARAMETERS params_{};
    ULONG refs_ = 1;
    std::vector<RecordedCall> calls_;
    bool logging_ = true;

    unsigned textures_ = 0, cubeTextures_ = 0, volumeTextures_ = 0, surfaces_ = 0, vertexBuffers_ = 0,
             indexBuffers_ = 0, declarations_ = 0, vertexShaders_ = 0, pixelShaders_ = 0, queries_ = 0;

    RecordingSurface* backBuffer_ = nullptr;  // internal reference
    RecordingSurface* autoDepth_ = nullptr;   // internal reference, or null
    RecordingBinding<RecordingSurface> renderTargets_[4];
    RecordingBinding<RecordingSurface> depthStencil_;
    RecordingBinding<IDirect3DBaseTexture9> textureStages_[kD3DSamplerSlots];
    Stream streams_[16];
    RecordingBinding<RecordingIndexBuffer> indices_;
    RecordingBinding<RecordingVertexDeclaration> declaration_;
    RecordingBinding<RecordingVertexShader> vertexShader_;
    RecordingBinding<RecordingPixelShader> pixelShader_;

    DWORD renderStates_[kD3DRenderStateBound] = {};
    DWORD samplerStates_[kD3DSamplerSlots][kD3DSamplerStateBound] = {};
    D3DVIEWPORT9 viewport_{};
    RECT scissor_{};
    bool inScene_ = false;

    LostState lost_ = LostState::None;
    D3DDeviceLossInjector loss_;
    int heldDefaultPoolObjects_ = 0;

    // The back buffer's bytes as last presented; converted to B, G, R, A only when asked for.
    std::unique_ptr<RecordingImage> presented_;
    std::uint64_t timestamp_ = 0;
};

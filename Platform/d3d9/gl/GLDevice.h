#pragma once
#include <SDL.h>
#include <epoxy/gl.h>

#include <array>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "d3d9/D3DBinding.h"
#include "d3d9/D3DDrawCounter.h"
#include "d3d9/D3DStateTables.h"
#include "d3d9/D3DValidation.h"
#include "d3d9/gl/GLProgramCache.h"
#include "d3d9/gl/GLRefCounted.h"
#include "d3d9/gl/GLStateCache.h"
#include "d3d9/gl/GLSurfaceCopier.h"
#include "d3d9/gl/GLUniformStore.h"
// Complete, as the bindings of the targets and streams below release what they hold.
#include "d3d9/gl/GLSurface.h"
#include "d3d9/gl/GLVertexBuffer.h"

class GLDeviceChild;
class GLTextureStorage;
class GLIndexBuffer;
class GLVertexDeclaration;
class GLQuery;
class GLProgram;
template <class Interface>
class GLShader;

// The Direct3D 9 device on OpenGL 4.5 core: one GL context on the SDL window, drawing with an
// upper-left origin and depth 0..1 (glClipControl), into a back buffer of its own (a renderbuffer,
// multisampled when asked) that Present copies into the window upside down (GL windows count rows
// from the bottom) and keeps readable afterwards.
class GLDevice : public GLRefCounted<IDirect3DDevice9>, public D3DDrawCounter {
public:
    // Makes the context and the back buffer; D3DERR_INVALIDCALL for bad parameters or a window
    // without SDL_WINDOW_OPENGL, D3DERR_NOTAVAILABLE when no GL 4.5 context can be made.
    static HRESULT Create(IDirect3D9* direct3d, SDL_Window* window, DWORD behaviorFlags,
                          D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device);
    ~GLDevice() override;

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
    HRESULT CreateVertexShader(const char* pGlslSource, IDirect3DVertexShader9** ppShader, std::string* pLog) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* pShader) override;
    HRESULT GetVertexShader(IDirect3DVertexShader9** ppShader) override;
    HRESULT CreatePixelShader(const char* pGlslSource, IDirect3DPixelShader9** ppShader, std::string* pLog) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* pShader) override;
    HRESULT GetPixelShader(IDirect3DPixelShader9** ppShader) override;
    HRESULT SetUniformF(const char* pName, const float* pValues, UINT Count) override;
    HRESULT SetUniformI(const char* pName, const int* pValues, UINT Count) override;
    HRESULT CreateQuery(D3DQUERYTYPE Type, IDirect3DQuery9** ppQuery) override;
    HRESULT GetPresentedFrame(std::vector<std::uint8_t>& bgra, UINT& Width, UINT& Height) override;
    void InjectDeviceLoss(const char* pMethod, unsigned nth) override;

    // For the device's own objects.
    void MakeCurrent();
    GLStateCache& State() { return state_; }
    void RegisterChild(GLDeviceChild* child);
    void UnregisterChild(GLDeviceChild* child);
    void ForgetShader(std::uint64_t id);
    void BeginOcclusionQuery(GLQuery* query);
    void EndOcclusionQuery(GLQuery* query);
    bool IsLost() const { return lost_; }
    // Whole-surface copies between a GL surface and memory laid out as the surface's format, rows
    // from the top (multisampled surfaces are resolved first).
    HRESULT ReadSurface(GLSurface* surface, std::uint8_t* bits, UINT pitch);
    HRESULT WriteSurface(GLSurface* surface, const std::uint8_t* bits, UINT pitch);
    // A new renderbuffer reads as black, depth 1 and stencil 0 until drawn into.
    void ClearNewSurface(GLSurface* surface);
    // Why the last refused draw was refused (for tools and tests): what it lacked, or the link log
    // of shaders that do not link together.
    const std::string& LastDrawError() const { return drawError_; }

private:
    struct Stream {
        D3DBinding<GLVertexBuffer> buffer;
        UINT offset = 0;
        UINT stride = 0;
    };
    struct TextureBinding {
        IDirect3DBaseTexture9* texture = nullptr;
        GLTextureStorage* storage = nullptr;
    };
    static constexpr unsigned kStages = GLStateCache::kUnits;

    GLDevice(IDirect3D9* direct3d, SDL_Window* window);
    HRESULT Init(D3DPRESENT_PARAMETERS* params);
    HRESULT CheckPresentParameters(D3DPRESENT_PARAMETERS* params) const;
    HRESULT CreateBackBuffer();
    // CreateRenderTarget, CreateDepthStencilSurface and CreateOffscreenPlainSurface once the out
    // pointer is known good: the layer's rule with this adapter's answers, then the surface.
    HRESULT CreateSurface(D3DSurfaceKind kind, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                          D3DMULTISAMPLE_TYPE multiSample, DWORD quality, bool lockable, IDirect3DSurface9** surface);
    void ReleaseBackBuffer();
    void ReleaseBoundState();
    void SetDefaultStates();
    void ApplySwapInterval();
    bool Lose(const char* method);
    GLSurface* OwnSurface(IDirect3DSurface9* surface) const;
    static int StageIndex(DWORD stage);

    HRESULT ApplyFramebuffer();
    void ApplyRenderStates();
    void ApplySamplers();
    // D3DERR_INVALIDCALL, with the reason in LastDrawError, unless a declaration and both shaders
    // are set: the fixed-function pipeline is not provided.
    HRESULT CheckPipeline();
    HRESULT PrepareDraw(GLProgram*& program);
    // D3DERR_INVALIDCALL unless the bound streams hold vertices first .. first + count - 1 of every
    // element of the declaration. A stream with nothing bound reads as zeros.
    HRESULT CheckVertices(std::uint64_t first, std::uint64_t count) const;
    // StretchRect between two plain surfaces in video memory (rectangles already checked).
    HRESULT StretchPlain(GLSurface* src, const RECT& s, GLSurface* dst, const RECT& d, D3DTEXTUREFILTERTYPE filter);
    void ApplyVertexInputs(const GLProgram& program);
    void MarkTargetsDrawn();
    HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, bool indexed, INT baseVertex, UINT start);

    IDirect3D9* direct3d_;
    SDL_Window* window_;
    // The window's id: the window may be destroyed while the device and its objects live on
    // (Direct3D lets them be released later). The context is then made current on a hidden
    // window of the device's own, so that the objects' GL names can still be deleted.
    Uint32 windowId_ = 0;
    SDL_Window* spareWindow_ = nullptr;
    // The device's window while it exists, else the spare one.
    SDL_Window* ContextWindow();
    SDL_GLContext context_ = nullptr;
    D3DPRESENT_PARAMETERS params_{};
    GLStateCache state_;
    GLuint vao_ = 0, drawFbo_ = 0;
    GLuint presented_ = 0; // renderbuffer holding the last presented frame
    UINT presentedWidth_ = 0, presentedHeight_ = 0;
    bool hasPresented_ = false;
    GLuint upBuffer_ = 0; // DrawPrimitiveUP's vertices
    // Zeros, read with a stride of 0 in place of a stream the declaration names but nothing is bound
    // to: large enough for an element of any size at any offset a declaration can give.
    GLuint zeroBuffer_ = 0;
    static constexpr GLsizeiptr kZeroBufferBytes = 0x10000 + 16;
    GLsizeiptr upBufferSize_ = 0;
    std::array<GLuint, kStages> samplers_{};

    GLSurface* backBuffer_ = nullptr;
    GLSurface* autoDepth_ = nullptr;
    std::array<D3DBinding<GLSurface>, 4> targets_;
    D3DBinding<GLSurface> depth_;
    bool framebufferDirty_ = true;
    bool framebufferComplete_ = false;

    std::array<DWORD, kD3DRenderStateBound> renderStates_{};
    bool renderStatesDirty_ = true;
    // Copies through scratch framebuffers; they mark the render states for applying again.
    GLSurfaceCopier copier_{state_, renderStatesDirty_};
    std::array<std::array<DWORD, kD3DSamplerStateBound>, kStages> samplerStates_{};
    std::uint32_t samplersDirty_ = ~0u;
    std::array<TextureBinding, kStages> textures_{};
    std::array<Stream, 16> streams_{};
    D3DBinding<GLIndexBuffer> indices_;
    D3DBinding<GLVertexDeclaration> declaration_;
    D3DBinding<GLShader<IDirect3DVertexShader9>> vertexShader_;
    D3DBinding<GLShader<IDirect3DPixelShader9>> pixelShader_;
    D3DVIEWPORT9 viewport_{};
    RECT scissor_{};

    GLUniformStore uniforms_;
    GLProgramCache programs_;
    std::string drawError_;
    bool noShadersReported_ = false; // the missing pipeline is written to standard error once
    GLProgram* lastProgram_ = nullptr; // the program of the last draw's shader pair
    std::uint64_t lastVertexId_ = 0, lastPixelId_ = 0;
    const GLProgram* inputsProgram_ = nullptr; // vertex inputs were last set up for this pair
    const GLVertexDeclaration* inputsDeclaration_ = nullptr;
    std::uint32_t enabledAttribs_ = 0;

    bool inScene_ = false;
    bool lost_ = false;
    bool lostReported_ = false;
    D3DDeviceLossInjector loss_;
    std::unordered_set<GLDeviceChild*> children_;
    GLQuery* activeQuery_ = nullptr;
};

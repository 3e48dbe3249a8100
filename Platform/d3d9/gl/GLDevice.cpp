#include "d3d9/gl/GLDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "d3d9/D3DFormatInfo.h"
#include "d3d9/D3DStateTables.h"
#include "d3d9/D3DValidation.h"
#include "d3d9/DeviceFactory.h"
#include "d3d9/gl/GLAdapter.h"
#include "d3d9/gl/GLBaseTexture.h"
#include "d3d9/gl/GLConversions.h"
#include "d3d9/gl/GLCubeTexture.h"
#include "d3d9/gl/GLDeviceChild.h"
#include "d3d9/gl/GLFormat.h"
#include "d3d9/gl/GLIndexBuffer.h"
#include "d3d9/gl/GLQuery.h"
#include "d3d9/gl/GLShader.h"
#include "d3d9/gl/GLShaderSource.h"
#include "d3d9/gl/GLSurface.h"
#include "d3d9/gl/GLTexture.h"
#include "d3d9/gl/GLTextureStorage.h"
#include "d3d9/gl/GLVertexBuffer.h"
#include "d3d9/gl/GLVertexDeclaration.h"
#include "d3d9/gl/GLVolumeTexture.h"
#include "win32/WindowHandle.h"

namespace {

// Image row 0 is the top of the screen, as in Direct3D, and GL's window row 0 is image row 0 (the
// vertex shaders' wrapper turns clip-space y over under GL's lower-left clip origin; see Init).
// GL computes winding with its window y axis pointing up, the mirror of the screen, so Direct3D's
// clockwise-on-screen front faces are GL_CCW. (The culling read-back test shows it.)
constexpr GLenum kClockwiseOnScreen = GL_CCW;

std::uint64_t NextShaderId()
{
    static std::uint64_t next = 0;
    return ++next;
}

bool RectInside(const RECT& r, UINT width, UINT height)
{
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= static_cast<LONG>(width) &&
           r.bottom <= static_cast<LONG>(height);
}

RECT WholeRect(const GLSurface* s)
{
    return RECT{0, 0, static_cast<LONG>(s->Width()), static_cast<LONG>(s->Height())};
}

// Hands the bound object out with a reference for the caller.
template <class T, class I>
HRESULT HandOutObject(const D3DBinding<T>& slot, I** out)
{
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = slot.Get();
    if (*out)
        (*out)->AddRef();
    return D3D_OK;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Creation and destruction

HRESULT CreateGLDevice(IDirect3D9* direct3d, SDL_Window* window, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* presentParameters, IDirect3DDevice9** device)
{
    return GLDevice::Create(direct3d, window, behaviorFlags, presentParameters, device);
}

GLDevice::GLDevice(IDirect3D9* direct3d, SDL_Window* window)
    : direct3d_(direct3d), window_(window), windowId_(window ? SDL_GetWindowID(window) : 0)
{
    if (direct3d_)
        direct3d_->AddRef();
}

// The behaviour flags (vertex processing, FPU preservation, threading) change nothing here: vertices
// are always processed by the GL implementation, on the calling thread.
HRESULT GLDevice::Create(IDirect3D9* direct3d, SDL_Window* window, DWORD, D3DPRESENT_PARAMETERS* params,
                         IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (!window || !params || !(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL))
        return D3DERR_INVALIDCALL;
    if (!GetGLAdapterInfo().valid)
        return D3DERR_NOTAVAILABLE;
    GLDevice* d = new GLDevice(direct3d, window);
    const HRESULT hr = d->Init(params);
    if (hr < 0) {
        d->Release();
        return hr;
    }
    *device = d;
    return D3D_OK;
}

HRESULT GLDevice::CheckPresentParameters(D3DPRESENT_PARAMETERS* params) const
{
    if (!params)
        return D3DERR_INVALIDCALL;
    if (params->BackBufferWidth == 0 || params->BackBufferHeight == 0) {
        if (!params->Windowed)
            return D3DERR_INVALIDCALL;
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(window_, &w, &h);
        if (params->BackBufferWidth == 0)
            params->BackBufferWidth = static_cast<UINT>(std::max(w, 1));
        if (params->BackBufferHeight == 0)
            params->BackBufferHeight = static_cast<UINT>(std::max(h, 1));
    }
    if (params->BackBufferFormat == D3DFMT_UNKNOWN && params->Windowed)
        params->BackBufferFormat = D3DFMT_X8R8G8B8;
    if (const HRESULT hr = CheckD3DSwapChain(*params); hr != D3D_OK)
        return hr;
    // Formats the adapter cannot show or use for depth are not available, as CheckDeviceType and
    // CheckDepthStencilMatch report them.
    if (CheckD3DBackBufferFormat(params->BackBufferFormat) != D3D_OK)
        return D3DERR_NOTAVAILABLE;
    if (params->BackBufferCount == 0)
        params->BackBufferCount = 1;
    const GLAdapterInfo& info = GetGLAdapterInfo();
    if (params->BackBufferWidth > info.caps.MaxTextureWidth || params->BackBufferHeight > info.caps.MaxTextureHeight)
        return D3DERR_INVALIDCALL;
    DWORD qualities = 0;
    if (GLCheckMultiSampleType(info, params->BackBufferFormat, params->MultiSampleType, &qualities) < 0 ||
        params->MultiSampleQuality >= qualities)
        return D3DERR_INVALIDCALL;
    if (params->EnableAutoDepthStencil) {
        if (CheckD3DAutoDepthStencilFormat(params->AutoDepthStencilFormat) != D3D_OK)
            return D3DERR_NOTAVAILABLE;
        if (GLCheckMultiSampleType(info, params->AutoDepthStencilFormat, params->MultiSampleType, &qualities) < 0 ||
            params->MultiSampleQuality >= qualities)
            return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT GLDevice::Init(D3DPRESENT_PARAMETERS* params)
{
    HRESULT hr = CheckPresentParameters(params);
    if (hr < 0)
        return hr;
    params_ = *params;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    context_ = SDL_GL_CreateContext(window_);
    if (!context_)
        return D3DERR_NOTAVAILABLE;
    // Made now, while the device's window exists: SDL unloads GL with its last GL window, and
    // the context must outlive the device's window (see ContextWindow).
    spareWindow_ = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    MakeCurrent();
    // The lower-left origin with y turned over in the vertex shaders, rather than the upper-left
    // origin, which puts the same geometry on the same rows: with it GL settles a pixel centre
    // lying exactly on an edge as Direct3D's top-left rule does (rows included at a top edge,
    // excluded at a bottom one); with the upper-left origin the rows come out the other way round.
    glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glCreateVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    state_.SetVertexArray(vao_);
    glCreateFramebuffers(1, &drawFbo_);
    copier_.CreateFramebuffers();
    glCreateSamplers(static_cast<GLsizei>(samplers_.size()), samplers_.data());
    glCreateBuffers(1, &upBuffer_);
    glCreateBuffers(1, &zeroBuffer_);
    const std::vector<std::uint8_t> zeros(static_cast<size_t>(kZeroBufferBytes), 0);
    glNamedBufferStorage(zeroBuffer_, kZeroBufferBytes, zeros.data(), 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    state_.Enable(GL_PROGRAM_POINT_SIZE, true);
    state_.Enable(GL_TEXTURE_CUBE_MAP_SEAMLESS, true);
    state_.BindDrawFramebuffer(drawFbo_);

    hr = CreateBackBuffer();
    if (hr < 0)
        return hr;
    SetDefaultStates();
    ApplySwapInterval();
    return D3D_OK;
}

HRESULT GLDevice::CreateBackBuffer()
{
    MakeCurrent();
    GLSurface* back = nullptr;
    HRESULT hr = GLSurface::CreateRenderbuffer(this, params_.BackBufferWidth, params_.BackBufferHeight,
                                               params_.BackBufferFormat, params_.MultiSampleType,
                                               params_.MultiSampleQuality, false,
                                               (params_.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0, false, &back);
    if (hr < 0)
        return hr;
    // The device keeps its back buffer and depth surface with internal references; the application
    // holds them only through the getters.
    back->AddRefInternal();
    back->Release();
    backBuffer_ = back;
    if (params_.EnableAutoDepthStencil) {
        GLSurface* depth = nullptr;
        hr = GLSurface::CreateRenderbuffer(this, params_.BackBufferWidth, params_.BackBufferHeight,
                                           params_.AutoDepthStencilFormat, params_.MultiSampleType,
                                           params_.MultiSampleQuality, true, false, false, &depth);
        if (hr < 0)
            return hr;
        depth->AddRefInternal();
        depth->Release();
        autoDepth_ = depth;
    }
    targets_[0].Set(backBuffer_);
    depth_.Set(autoDepth_);
    framebufferDirty_ = true;

    if (presented_)
        glDeleteRenderbuffers(1, &presented_);
    glCreateRenderbuffers(1, &presented_);
    glNamedRenderbufferStorage(presented_, GL_RGBA8, static_cast<GLsizei>(params_.BackBufferWidth),
                               static_cast<GLsizei>(params_.BackBufferHeight));
    hasPresented_ = false;
    viewport_ = {0, 0, params_.BackBufferWidth, params_.BackBufferHeight, 0.f, 1.f};
    scissor_ = {0, 0, static_cast<LONG>(params_.BackBufferWidth), static_cast<LONG>(params_.BackBufferHeight)};
    return glGetError() == GL_OUT_OF_MEMORY ? D3DERR_OUTOFVIDEOMEMORY : D3D_OK;
}

void GLDevice::ReleaseBackBuffer()
{
    for (D3DBinding<GLSurface>& target : targets_)
        target.Clear();
    depth_.Clear();
    if (backBuffer_)
        backBuffer_->ReleaseInternal();
    if (autoDepth_)
        autoDepth_->ReleaseInternal();
    backBuffer_ = autoDepth_ = nullptr;
    framebufferDirty_ = true;
}

void GLDevice::ReleaseBoundState()
{
    for (TextureBinding& t : textures_) {
        if (t.texture)
            dynamic_cast<GLDeviceChild*>(t.texture)->ReleaseInternal();
        t = {};
    }
    for (Stream& s : streams_) {
        s.buffer.Clear();
        s.offset = s.stride = 0;
    }
    indices_.Clear();
    declaration_.Clear();
    vertexShader_.Clear();
    pixelShader_.Clear();
    inputsProgram_ = nullptr;
    inputsDeclaration_ = nullptr;
}

void GLDevice::SetDefaultStates()
{
    FillD3DDefaultRenderStates(renderStates_.data(), params_.EnableAutoDepthStencil != FALSE);
    renderStatesDirty_ = true;
    for (auto& stage : samplerStates_)
        FillD3DDefaultSamplerStates(stage.data());
    samplersDirty_ = ~0u;
}

void GLDevice::ApplySwapInterval()
{
    MakeCurrent();
    const UINT interval = params_.PresentationInterval;
    // Vertical sync unless the application asks for immediate presentation; the swap interval
    // SDL cannot set (a driver without the extension) is not an error.
    SDL_GL_SetSwapInterval(interval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0
                           : interval == D3DPRESENT_INTERVAL_TWO     ? 2
                           : interval == D3DPRESENT_INTERVAL_THREE   ? 3
                           : interval == D3DPRESENT_INTERVAL_FOUR    ? 4
                                                                     : 1);
}

GLDevice::~GLDevice()
{
    if (context_) {
        MakeCurrent();
        if (activeQuery_)
            activeQuery_->EndIfActive();
        activeQuery_ = nullptr;
        ReleaseBoundState();
        ReleaseBackBuffer();
        lastProgram_ = nullptr;
        programs_.Clear();
        const std::vector<GLDeviceChild*> left(children_.begin(), children_.end());
        for (GLDeviceChild* child : left)
            child->DetachFromDevice();
        children_.clear();
        glDeleteVertexArrays(1, &vao_);
        glDeleteFramebuffers(1, &drawFbo_);
        copier_.DeleteFramebuffers();
        glDeleteSamplers(static_cast<GLsizei>(samplers_.size()), samplers_.data());
        glDeleteBuffers(1, &upBuffer_);
        glDeleteBuffers(1, &zeroBuffer_);
        glDeleteRenderbuffers(1, &presented_);
        SDL_GL_MakeCurrent(ContextWindow(), nullptr);
        SDL_GL_DeleteContext(context_);
    }
    if (spareWindow_)
        SDL_DestroyWindow(spareWindow_);
    for (GLDeviceChild* child : std::vector<GLDeviceChild*>(children_.begin(), children_.end()))
        child->DetachFromDevice();
    if (direct3d_)
        direct3d_->Release();
}

SDL_Window* GLDevice::ContextWindow()
{
    if (windowId_ != 0 && SDL_GetWindowFromID(windowId_) == window_)
        return window_;
    return spareWindow_;
}

void GLDevice::MakeCurrent()
{
    if (!context_)
        return;
    SDL_Window* window = ContextWindow();
    if (SDL_GL_GetCurrentContext() != context_ || SDL_GL_GetCurrentWindow() != window)
        SDL_GL_MakeCurrent(window, context_);
}

void GLDevice::RegisterChild(GLDeviceChild* child)
{
    children_.insert(child);
}

void GLDevice::UnregisterChild(GLDeviceChild* child)
{
    children_.erase(child);
}

void GLDevice::ForgetShader(std::uint64_t id)
{
    state_.UseProgram(0);
    inputsProgram_ = nullptr;
    lastProgram_ = nullptr;
    programs_.ForgetShader(id);
}

void GLDevice::BeginOcclusionQuery(GLQuery* query)
{
    if (activeQuery_ && activeQuery_ != query)
        activeQuery_->EndIfActive();
    activeQuery_ = query;
}

void GLDevice::EndOcclusionQuery(GLQuery* query)
{
    if (activeQuery_ == query)
        activeQuery_ = nullptr;
}

GLSurface* GLDevice::OwnSurface(IDirect3DSurface9* surface) const
{
    GLSurface* s = dynamic_cast<GLSurface*>(surface);
    return s && s->Device() == this ? s : nullptr;
}

int GLDevice::StageIndex(DWORD stage)
{
    // The adapter reports no displacement mapping, so every slot it answers has a texture unit.
    const int slot = D3DSamplerSlot(GetGLAdapterInfo().caps, stage);
    return slot >= 0 && static_cast<unsigned>(slot) < kStages ? slot : -1;
}

// ---------------------------------------------------------------------------------------------
// Device loss

void GLDevice::InjectDeviceLoss(const char* pMethod, unsigned nth)
{
    loss_.Arm(pMethod, nth);
}

bool GLDevice::Lose(const char* method)
{
    if (!loss_.Lose(method))
        return false;
    lost_ = true;
    lostReported_ = false;
    return true;
}

HRESULT GLDevice::TestCooperativeLevel()
{
    if (Lose("TestCooperativeLevel"))
        return D3DERR_DEVICELOST;
    if (!lost_)
        return D3D_OK;
    // The first look after the loss sees the device lost; from then on it can be reset.
    if (!lostReported_) {
        lostReported_ = true;
        return D3DERR_DEVICELOST;
    }
    return D3DERR_DEVICENOTRESET;
}

HRESULT GLDevice::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters)
{
    if (Lose("Reset"))
        return D3DERR_DEVICELOST;
    if (!pPresentationParameters || inScene_) {
        // A failed reset leaves the device lost until a reset succeeds.
        lost_ = true;
        lostReported_ = true;
        return D3DERR_INVALIDCALL;
    }
    MakeCurrent();
    if (activeQuery_)
        activeQuery_->EndIfActive();
    activeQuery_ = nullptr;
    // Reset returns the device to its first state: nothing bound.
    ReleaseBoundState();
    for (D3DBinding<GLSurface>& target : targets_)
        target.Clear();
    depth_.Clear();
    framebufferDirty_ = true;
    bool defaultAlive = false;
    for (GLDeviceChild* child : children_)
        if (child->IsDefaultPool())
            defaultAlive = true;
    // The application's own references to the back buffer or the automatic depth surface count too.
    const auto held = [](GLSurface* s) { return s && s->ExternalRefs() > 0; };
    if (defaultAlive || held(backBuffer_) || held(autoDepth_)) {
        lost_ = true;
        lostReported_ = true;
        return D3DERR_INVALIDCALL;
    }
    D3DPRESENT_PARAMETERS params = *pPresentationParameters;
    HRESULT hr = CheckPresentParameters(&params);
    if (hr < 0) {
        lost_ = true;
        lostReported_ = true;
        return hr;
    }
    ReleaseBackBuffer();
    params_ = params;
    *pPresentationParameters = params;
    hr = CreateBackBuffer();
    if (hr < 0) {
        lost_ = true;
        lostReported_ = true;
        return hr;
    }
    SetDefaultStates();
    ApplySwapInterval();
    lost_ = false;
    lostReported_ = false;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Simple queries

HRESULT GLDevice::GetDirect3D(IDirect3D9** ppD3D9)
{
    if (!ppD3D9 || !direct3d_)
        return D3DERR_INVALIDCALL;
    direct3d_->AddRef();
    *ppD3D9 = direct3d_;
    return D3D_OK;
}

HRESULT GLDevice::GetDeviceCaps(D3DCAPS9* pCaps)
{
    if (!pCaps)
        return D3DERR_INVALIDCALL;
    *pCaps = GetGLAdapterInfo().caps;
    return D3D_OK;
}

HRESULT GLDevice::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode)
{
    if (iSwapChain != 0 || !pMode)
        return D3DERR_INVALIDCALL;
    if (params_.Windowed) {
        *pMode = GetGLAdapterInfo().desktop;
    } else {
        *pMode = {params_.BackBufferWidth, params_.BackBufferHeight,
                  params_.FullScreen_RefreshRateInHz ? params_.FullScreen_RefreshRateInHz : 60, D3DFMT_X8R8G8B8};
    }
    return D3D_OK;
}

// The type (mono, left or right) is not looked at, as drivers do; a refused call leaves no surface
// behind in *ppBackBuffer.
HRESULT GLDevice::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE,
                                IDirect3DSurface9** ppBackBuffer)
{
    if (!ppBackBuffer)
        return D3DERR_INVALIDCALL;
    *ppBackBuffer = nullptr;
    if (iSwapChain != 0 || iBackBuffer >= params_.BackBufferCount || !backBuffer_)
        return D3DERR_INVALIDCALL;
    // Every back buffer of the chain is the one surface: Present copies it out instead of flipping.
    backBuffer_->AddRef();
    *ppBackBuffer = backBuffer_;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Resource creation

HRESULT GLDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle)
{
    if (Lose("CreateTexture"))
        return D3DERR_DEVICELOST;
    if (pSharedHandle)
        return D3DERR_INVALIDCALL;
    return GLTexture::Create(this, Width, Height, Levels, Usage, Format, Pool, ppTexture);
}

HRESULT GLDevice::CreateVolumeTexture(UINT Width, UINT Height, UINT Depth, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                      D3DPOOL Pool, IDirect3DVolumeTexture9** ppVolumeTexture, HANDLE* pSharedHandle)
{
    if (Lose("CreateVolumeTexture"))
        return D3DERR_DEVICELOST;
    if (pSharedHandle)
        return D3DERR_INVALIDCALL;
    return GLVolumeTexture::Create(this, Width, Height, Depth, Levels, Usage, Format, Pool, ppVolumeTexture);
}

HRESULT GLDevice::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                    IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle)
{
    if (Lose("CreateCubeTexture"))
        return D3DERR_DEVICELOST;
    if (pSharedHandle)
        return D3DERR_INVALIDCALL;
    return GLCubeTexture::Create(this, EdgeLength, Levels, Usage, Format, Pool, ppCubeTexture);
}

HRESULT GLDevice::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                     IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle)
{
    if (Lose("CreateVertexBuffer"))
        return D3DERR_DEVICELOST;
    if (pSharedHandle)
        return D3DERR_INVALIDCALL;
    return GLVertexBuffer::Create(this, Length, Usage, FVF, Pool, ppVertexBuffer);
}

HRESULT GLDevice::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                    IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle)
{
    if (Lose("CreateIndexBuffer"))
        return D3DERR_DEVICELOST;
    if (pSharedHandle)
        return D3DERR_INVALIDCALL;
    return GLIndexBuffer::Create(this, Length, Usage, Format, Pool, ppIndexBuffer);
}

HRESULT GLDevice::CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                     DWORD MultisampleQuality, BOOL Lockable, IDirect3DSurface9** ppSurface,
                                     HANDLE* pSharedHandle)
{
    if (Lose("CreateRenderTarget"))
        return D3DERR_DEVICELOST;
    if (!ppSurface || pSharedHandle)
        return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    return CreateSurface(D3DSurfaceKind::RenderTarget, Width, Height, Format, D3DPOOL_DEFAULT, MultiSample,
                         MultisampleQuality, Lockable != FALSE, ppSurface);
}

HRESULT GLDevice::CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                            DWORD MultisampleQuality, BOOL, IDirect3DSurface9** ppSurface,
                                            HANDLE* pSharedHandle)
{
    if (Lose("CreateDepthStencilSurface"))
        return D3DERR_DEVICELOST;
    if (!ppSurface || pSharedHandle)
        return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    return CreateSurface(D3DSurfaceKind::DepthStencil, Width, Height, Format, D3DPOOL_DEFAULT, MultiSample,
                         MultisampleQuality, false, ppSurface);
}

HRESULT GLDevice::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                              IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle)
{
    if (Lose("CreateOffscreenPlainSurface"))
        return D3DERR_DEVICELOST;
    if (!ppSurface || pSharedHandle)
        return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    return CreateSurface(D3DSurfaceKind::Plain, Width, Height, Format, Pool, D3DMULTISAMPLE_NONE, 0, true,
                         ppSurface);
}

HRESULT GLDevice::CreateSurface(D3DSurfaceKind kind, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                D3DMULTISAMPLE_TYPE multiSample, DWORD quality, bool lockable,
                                IDirect3DSurface9** surface)
{
    const GLAdapterInfo& info = GetGLAdapterInfo();
    DWORD qualities = 0;
    if (kind != D3DSurfaceKind::Plain && GLCheckMultiSampleType(info, format, multiSample, &qualities) < 0)
        qualities = 0;
    const HRESULT checked = CheckD3DSurfaceArguments(info.caps, GLAdapterFormats(info), kind, width, height, format,
                                                     pool, multiSample, quality, qualities);
    if (checked != D3D_OK)
        return checked;
    GLSurface* s = nullptr;
    const HRESULT hr = kind == D3DSurfaceKind::Plain
                           ? GLSurface::CreateMemory(this, width, height, format, pool, &s)
                           : GLSurface::CreateRenderbuffer(this, width, height, format, multiSample, quality,
                                                           kind == D3DSurfaceKind::DepthStencil, lockable, true, &s);
    if (hr >= 0)
        *surface = s;
    return hr;
}

HRESULT GLDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                          IDirect3DVertexDeclaration9** ppDecl)
{
    if (Lose("CreateVertexDeclaration"))
        return D3DERR_DEVICELOST;
    return GLVertexDeclaration::Create(this, pVertexElements, ppDecl);
}

HRESULT GLDevice::CreateVertexShader(const char* pGlslSource, IDirect3DVertexShader9** ppShader, std::string* pLog)
{
    if (Lose("CreateVertexShader"))
        return D3DERR_DEVICELOST;
    if (!pGlslSource || !ppShader)
        return D3DERR_INVALIDCALL;
    *ppShader = nullptr;
    std::string wrapped;
    if (!WrapVertexShaderSource(pGlslSource, wrapped)) {
        if (pLog)
            *pLog = "vertex shader has no \"void main(\"";
        return D3DERR_INVALIDCALL;
    }
    MakeCurrent();
    const GLuint name = CompileGLShader(GL_VERTEX_SHADER, wrapped, pLog);
    if (!name)
        return D3DERR_INVALIDCALL;
    *ppShader = new GLVertexShader(this, name, NextShaderId());
    return D3D_OK;
}

HRESULT GLDevice::CreatePixelShader(const char* pGlslSource, IDirect3DPixelShader9** ppShader, std::string* pLog)
{
    if (Lose("CreatePixelShader"))
        return D3DERR_DEVICELOST;
    if (!pGlslSource || !ppShader)
        return D3DERR_INVALIDCALL;
    *ppShader = nullptr;
    MakeCurrent();
    const GLuint name = CompileGLShader(GL_FRAGMENT_SHADER, WrapPixelShaderSource(pGlslSource), pLog);
    if (!name)
        return D3DERR_INVALIDCALL;
    *ppShader = new GLPixelShader(this, name, NextShaderId());
    return D3D_OK;
}

HRESULT GLDevice::CreateQuery(D3DQUERYTYPE Type, IDirect3DQuery9** ppQuery)
{
    if (Lose("CreateQuery"))
        return D3DERR_DEVICELOST;
    if (!GLQuery::Supported(Type))
        return D3DERR_NOTAVAILABLE;
    if (ppQuery)
        *ppQuery = new GLQuery(this, Type);
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Targets, scenes, viewport and states

HRESULT GLDevice::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget)
{
    if (Lose("SetRenderTarget"))
        return D3DERR_DEVICELOST;
    if (RenderTargetIndex >= GetGLAdapterInfo().caps.NumSimultaneousRTs)
        return D3DERR_INVALIDCALL;
    GLSurface* s = nullptr;
    if (pRenderTarget) {
        s = OwnSurface(pRenderTarget);
        if (!s || !s->IsRenderTarget() || !s->HasGLImage())
            return D3DERR_INVALIDCALL;
    } else if (RenderTargetIndex == 0) {
        return D3DERR_INVALIDCALL;
    }
    if (targets_[RenderTargetIndex].Get() != s) {
        targets_[RenderTargetIndex].Set(s);
        framebufferDirty_ = true;
    }
    if (RenderTargetIndex == 0) {
        // As in Direct3D 9, a new first target resets the viewport and the scissor rectangle to it.
        viewport_ = {0, 0, s->Width(), s->Height(), 0.f, 1.f};
        scissor_ = WholeRect(s);
        renderStatesDirty_ = true;
    }
    return D3D_OK;
}

HRESULT GLDevice::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget)
{
    if (!ppRenderTarget || RenderTargetIndex >= 4)
        return D3DERR_INVALIDCALL;
    *ppRenderTarget = targets_[RenderTargetIndex].Get();
    if (!targets_[RenderTargetIndex].Get())
        return D3DERR_NOTFOUND;
    targets_[RenderTargetIndex].Get()->AddRef();
    return D3D_OK;
}

HRESULT GLDevice::SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil)
{
    if (Lose("SetDepthStencilSurface"))
        return D3DERR_DEVICELOST;
    GLSurface* s = nullptr;
    if (pNewZStencil) {
        s = OwnSurface(pNewZStencil);
        if (!s || !s->IsDepthStencil())
            return D3DERR_INVALIDCALL;
    }
    if (depth_.Get() != s) {
        depth_.Set(s);
        framebufferDirty_ = true;
    }
    return D3D_OK;
}

HRESULT GLDevice::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface)
{
    if (!ppZStencilSurface)
        return D3DERR_INVALIDCALL;
    *ppZStencilSurface = depth_.Get();
    if (!depth_.Get())
        return D3DERR_NOTFOUND;
    depth_.Get()->AddRef();
    return D3D_OK;
}

HRESULT GLDevice::BeginScene()
{
    if (Lose("BeginScene"))
        return D3DERR_DEVICELOST;
    if (inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT GLDevice::EndScene()
{
    if (Lose("EndScene"))
        return D3DERR_DEVICELOST;
    if (!inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

HRESULT GLDevice::SetViewport(const D3DVIEWPORT9* pViewport)
{
    if (Lose("SetViewport"))
        return D3DERR_DEVICELOST;
    if (const HRESULT hr = CheckD3DViewport(GetGLAdapterInfo().caps, pViewport, targets_[0].Get() != nullptr);
        hr != D3D_OK)
        return hr;
    viewport_ = *pViewport;
    renderStatesDirty_ = true;
    return D3D_OK;
}

HRESULT GLDevice::GetViewport(D3DVIEWPORT9* pViewport)
{
    if (!pViewport)
        return D3DERR_INVALIDCALL;
    *pViewport = viewport_;
    return D3D_OK;
}

HRESULT GLDevice::SetScissorRect(const RECT* pRect)
{
    if (Lose("SetScissorRect"))
        return D3DERR_DEVICELOST;
    if (const HRESULT hr = CheckD3DScissorRect(pRect); hr != D3D_OK)
        return hr;
    scissor_ = *pRect;
    renderStatesDirty_ = true;
    return D3D_OK;
}

HRESULT GLDevice::GetScissorRect(RECT* pRect)
{
    if (!pRect)
        return D3DERR_INVALIDCALL;
    *pRect = scissor_;
    return D3D_OK;
}

HRESULT GLDevice::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value)
{
    if (Lose("SetRenderState"))
        return D3DERR_DEVICELOST;
    if (!FindD3DRenderState(State))
        return D3DERR_INVALIDCALL;
    if (renderStates_[State] != Value) {
        renderStates_[State] = Value;
        renderStatesDirty_ = true;
    }
    return D3D_OK;
}

HRESULT GLDevice::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue)
{
    if (!pValue || !FindD3DRenderState(State))
        return D3DERR_INVALIDCALL;
    *pValue = renderStates_[State];
    return D3D_OK;
}

HRESULT GLDevice::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture)
{
    if (Lose("SetTexture"))
        return D3DERR_DEVICELOST;
    const int stage = StageIndex(Stage);
    if (stage < 0)
        return D3DERR_INVALIDCALL;
    GLTextureStorage* storage = nullptr;
    if (pTexture) {
        GLBaseTexture* base = dynamic_cast<GLBaseTexture*>(pTexture);
        GLDeviceChild* child = dynamic_cast<GLDeviceChild*>(pTexture);
        if (!base || !child || child->Device() != this || !base->Storage().Name())
            return D3DERR_INVALIDCALL; // another device's texture, or one in system memory
        storage = &base->Storage();
    }
    TextureBinding& slot = textures_[static_cast<size_t>(stage)];
    if (slot.texture == pTexture)
        return D3D_OK;
    if (pTexture)
        dynamic_cast<GLDeviceChild*>(pTexture)->AddRefInternal();
    if (slot.texture)
        dynamic_cast<GLDeviceChild*>(slot.texture)->ReleaseInternal();
    slot = {pTexture, storage};
    return D3D_OK;
}

HRESULT GLDevice::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture)
{
    const int stage = StageIndex(Stage);
    if (stage < 0 || !ppTexture)
        return D3DERR_INVALIDCALL;
    *ppTexture = textures_[static_cast<size_t>(stage)].texture;
    if (*ppTexture)
        (*ppTexture)->AddRef();
    return D3D_OK;
}

HRESULT GLDevice::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value)
{
    if (Lose("SetSamplerState"))
        return D3DERR_DEVICELOST;
    const int stage = StageIndex(Sampler);
    if (stage < 0 || !FindD3DSamplerState(Type))
        return D3DERR_INVALIDCALL;
    DWORD& slot = samplerStates_[static_cast<size_t>(stage)][Type];
    if (slot != Value) {
        slot = Value;
        samplersDirty_ |= 1u << stage;
    }
    return D3D_OK;
}

HRESULT GLDevice::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue)
{
    const int stage = StageIndex(Sampler);
    if (stage < 0 || !pValue || !FindD3DSamplerState(Type))
        return D3DERR_INVALIDCALL;
    *pValue = samplerStates_[static_cast<size_t>(stage)][Type];
    return D3D_OK;
}

HRESULT GLDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl)
{
    if (Lose("SetVertexDeclaration"))
        return D3DERR_DEVICELOST;
    return D3DBindObject(this, declaration_, pDecl);
}

HRESULT GLDevice::GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl)
{
    return HandOutObject(declaration_, ppDecl);
}

HRESULT GLDevice::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                  UINT Stride)
{
    if (Lose("SetStreamSource"))
        return D3DERR_DEVICELOST;
    if (const HRESULT hr = CheckD3DStreamSource(GetGLAdapterInfo().caps, StreamNumber, pStreamData != nullptr,
                                                OffsetInBytes, Stride);
        hr != D3D_OK)
        return hr;
    GLVertexBuffer* b = nullptr;
    if (pStreamData) {
        b = dynamic_cast<GLVertexBuffer*>(pStreamData);
        if (!b || b->Device() != this)
            return D3DERR_INVALIDCALL;
    }
    Stream& s = streams_[StreamNumber];
    s.buffer.Set(b);
    // Unbinding changes only the buffer: GetStreamSource still reports the offset and stride the
    // stream had.
    if (b) {
        s.offset = OffsetInBytes;
        s.stride = Stride;
    }
    return D3D_OK;
}

HRESULT GLDevice::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                                  UINT* pStride)
{
    if (StreamNumber >= streams_.size() || !ppStreamData || !pOffsetInBytes || !pStride)
        return D3DERR_INVALIDCALL;
    const Stream& s = streams_[StreamNumber];
    *ppStreamData = s.buffer.Get();
    if (s.buffer.Get())
        s.buffer.Get()->AddRef();
    *pOffsetInBytes = s.offset;
    *pStride = s.stride;
    return D3D_OK;
}

HRESULT GLDevice::SetIndices(IDirect3DIndexBuffer9* pIndexData)
{
    if (Lose("SetIndices"))
        return D3DERR_DEVICELOST;
    return D3DBindObject(this, indices_, pIndexData);
}

HRESULT GLDevice::GetIndices(IDirect3DIndexBuffer9** ppIndexData)
{
    return HandOutObject(indices_, ppIndexData);
}

HRESULT GLDevice::SetVertexShader(IDirect3DVertexShader9* pShader)
{
    if (Lose("SetVertexShader"))
        return D3DERR_DEVICELOST;
    return D3DBindObject(this, vertexShader_, pShader);
}

HRESULT GLDevice::GetVertexShader(IDirect3DVertexShader9** ppShader)
{
    return HandOutObject(vertexShader_, ppShader);
}

HRESULT GLDevice::SetPixelShader(IDirect3DPixelShader9* pShader)
{
    if (Lose("SetPixelShader"))
        return D3DERR_DEVICELOST;
    return D3DBindObject(this, pixelShader_, pShader);
}

HRESULT GLDevice::GetPixelShader(IDirect3DPixelShader9** ppShader)
{
    return HandOutObject(pixelShader_, ppShader);
}

HRESULT GLDevice::SetUniformF(const char* pName, const float* pValues, UINT Count)
{
    if (Lose("SetUniformF"))
        return D3DERR_DEVICELOST;
    if (!pName || !pValues || Count == 0)
        return D3DERR_INVALIDCALL;
    uniforms_.SetFloats(pName, pValues, Count);
    return D3D_OK;
}

HRESULT GLDevice::SetUniformI(const char* pName, const int* pValues, UINT Count)
{
    if (Lose("SetUniformI"))
        return D3DERR_DEVICELOST;
    if (!pName || !pValues || Count == 0)
        return D3DERR_INVALIDCALL;
    uniforms_.SetInts(pName, pValues, Count);
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Drawing

HRESULT GLDevice::ApplyFramebuffer()
{
    state_.BindDrawFramebuffer(drawFbo_);
    if (!framebufferDirty_)
        return framebufferComplete_ ? D3D_OK : D3DERR_INVALIDCALL;
    framebufferDirty_ = false;
    GLenum buffers[4] = {GL_NONE, GL_NONE, GL_NONE, GL_NONE};
    for (GLenum i = 0; i < 4; ++i) {
        if (targets_[i].Get()) {
            targets_[i].Get()->Attach(drawFbo_, GL_COLOR_ATTACHMENT0 + i);
            buffers[i] = GL_COLOR_ATTACHMENT0 + i;
        } else {
            glNamedFramebufferRenderbuffer(drawFbo_, GL_COLOR_ATTACHMENT0 + i, GL_RENDERBUFFER, 0);
        }
    }
    glNamedFramebufferDrawBuffers(drawFbo_, 4, buffers);
    glNamedFramebufferRenderbuffer(drawFbo_, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    if (GLSurface* depth = depth_.Get())
        depth->Attach(drawFbo_, GLDepthAttachment(depth->Format()));
    framebufferComplete_ =
        targets_[0].Get() && glCheckNamedFramebufferStatus(drawFbo_, GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    return framebufferComplete_ ? D3D_OK : D3DERR_INVALIDCALL;
}

void GLDevice::ApplyRenderStates()
{
    if (!renderStatesDirty_)
        return;
    renderStatesDirty_ = false;
    const auto& rs = renderStates_;
    state_.Viewport(static_cast<GLint>(viewport_.X), static_cast<GLint>(viewport_.Y),
                    static_cast<GLsizei>(viewport_.Width), static_cast<GLsizei>(viewport_.Height));
    state_.DepthRange(viewport_.MinZ, viewport_.MaxZ);
    const bool scissor = rs[D3DRS_SCISSORTESTENABLE] != FALSE;
    state_.Enable(GL_SCISSOR_TEST, scissor);
    if (scissor)
        state_.Scissor(scissor_.left, scissor_.top, scissor_.right - scissor_.left, scissor_.bottom - scissor_.top);

    state_.Enable(GL_DEPTH_TEST, rs[D3DRS_ZENABLE] != D3DZB_FALSE);
    state_.DepthMask(rs[D3DRS_ZWRITEENABLE] != FALSE);
    state_.DepthFunc(GLCompareFunc(rs[D3DRS_ZFUNC]));

    state_.FrontFace(kClockwiseOnScreen);
    state_.Enable(GL_CULL_FACE, rs[D3DRS_CULLMODE] == D3DCULL_CW || rs[D3DRS_CULLMODE] == D3DCULL_CCW);
    state_.CullFace(rs[D3DRS_CULLMODE] == D3DCULL_CW ? GL_FRONT : GL_BACK);
    state_.PolygonMode(rs[D3DRS_FILLMODE] == D3DFILL_POINT       ? GL_POINT
                       : rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE
                                                                 : GL_FILL);

    const float bias = D3DBitsAsFloat(rs[D3DRS_DEPTHBIAS]);
    const float slope = D3DBitsAsFloat(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
    const bool offset = bias != 0.f || slope != 0.f;
    state_.Enable(GL_POLYGON_OFFSET_FILL, offset);
    state_.Enable(GL_POLYGON_OFFSET_LINE, offset);
    state_.Enable(GL_POLYGON_OFFSET_POINT, offset);
    if (offset) {
        // Direct3D's bias is in depth units; GL's unit is the depth buffer's resolution.
        const float resolution = depth_.Get() && depth_.Get()->Format() == D3DFMT_D16 ? 65535.f : 16777215.f;
        state_.PolygonOffset(slope, bias * resolution);
    }

    state_.Enable(GL_BLEND, rs[D3DRS_ALPHABLENDENABLE] != FALSE);
    GLenum srcRgb, dstRgb, srcAlpha, dstAlpha;
    GLBlendPair(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], srcRgb, dstRgb);
    GLenum opRgb = GLBlendOp(rs[D3DRS_BLENDOP]), opAlpha = opRgb;
    if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
        GLBlendPair(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], srcAlpha, dstAlpha);
        opAlpha = GLBlendOp(rs[D3DRS_BLENDOPALPHA]);
    } else {
        srcAlpha = srcRgb, dstAlpha = dstRgb;
    }
    state_.BlendFunc(srcRgb, dstRgb, srcAlpha, dstAlpha);
    state_.BlendEquation(opRgb, opAlpha);
    float factor[4];
    D3DColourToFloats(rs[D3DRS_BLENDFACTOR], factor);
    state_.BlendColor(factor);
    state_.ColorMask(0, rs[D3DRS_COLORWRITEENABLE]);
    state_.ColorMask(1, rs[D3DRS_COLORWRITEENABLE1]);
    state_.ColorMask(2, rs[D3DRS_COLORWRITEENABLE2]);
    state_.ColorMask(3, rs[D3DRS_COLORWRITEENABLE3]);

    const bool stencil = rs[D3DRS_STENCILENABLE] != FALSE;
    state_.Enable(GL_STENCIL_TEST, stencil);
    if (stencil) {
        const GLint ref = static_cast<GLint>(rs[D3DRS_STENCILREF] & 0xFF);
        const GLuint mask = rs[D3DRS_STENCILMASK];
        state_.StencilFunc(GL_FRONT, GLCompareFunc(rs[D3DRS_STENCILFUNC]), ref, mask);
        state_.StencilOp(GL_FRONT, GLStencilOp(rs[D3DRS_STENCILFAIL]), GLStencilOp(rs[D3DRS_STENCILZFAIL]),
                         GLStencilOp(rs[D3DRS_STENCILPASS]));
        // Two-sided mode gives counter-clockwise (back) faces the CCW_ states.
        const bool twoSided = rs[D3DRS_TWOSIDEDSTENCILMODE] != FALSE;
        state_.StencilFunc(GL_BACK, GLCompareFunc(rs[twoSided ? D3DRS_CCW_STENCILFUNC : D3DRS_STENCILFUNC]), ref, mask);
        state_.StencilOp(GL_BACK, GLStencilOp(rs[twoSided ? D3DRS_CCW_STENCILFAIL : D3DRS_STENCILFAIL]),
                         GLStencilOp(rs[twoSided ? D3DRS_CCW_STENCILZFAIL : D3DRS_STENCILZFAIL]),
                         GLStencilOp(rs[twoSided ? D3DRS_CCW_STENCILPASS : D3DRS_STENCILPASS]));
    }
    state_.StencilWriteMask(rs[D3DRS_STENCILWRITEMASK]);
    const bool sampleMask = rs[D3DRS_MULTISAMPLEMASK] != 0xFFFFFFFF;
    state_.Enable(GL_SAMPLE_MASK, sampleMask);
    if (sampleMask)
        state_.SampleMask(rs[D3DRS_MULTISAMPLEMASK]);
    state_.Enable(GL_MULTISAMPLE, rs[D3DRS_MULTISAMPLEANTIALIAS] != FALSE);
}

void GLDevice::ApplySamplers()
{
    const bool anisotropy = GetGLAdapterInfo().anisotropy;
    for (unsigned stage = 0; stage < kStages; ++stage) {
        const TextureBinding& t = textures_[stage];
        if (!t.texture) {
            state_.BindTextureUnit(stage, 0);
            continue;
        }
        t.storage->PrepareForSampling();
        state_.BindTextureUnit(stage, t.storage->Name());
        if (samplersDirty_ & (1u << stage)) {
            samplersDirty_ &= ~(1u << stage);
            const auto& s = samplerStates_[stage];
            const GLuint sampler = samplers_[stage];
            glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, static_cast<GLint>(GLAddressMode(s[D3DSAMP_ADDRESSU])));
            glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, static_cast<GLint>(GLAddressMode(s[D3DSAMP_ADDRESSV])));
            glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, static_cast<GLint>(GLAddressMode(s[D3DSAMP_ADDRESSW])));
            float border[4];
            D3DColourToFloats(s[D3DSAMP_BORDERCOLOR], border);
            glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
            const bool magLinear = s[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR;
            const bool minLinear = s[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
            glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
            GLenum min = minLinear ? GL_LINEAR : GL_NEAREST;
            if (s[D3DSAMP_MIPFILTER] == D3DTEXF_POINT)
                min = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
            else if (s[D3DSAMP_MIPFILTER] >= D3DTEXF_LINEAR)
                min = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
            glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(min));
            glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, D3DBitsAsFloat(s[D3DSAMP_MIPMAPLODBIAS]));
            glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, static_cast<float>(s[D3DSAMP_MAXMIPLEVEL]));
            if (anisotropy) {
                const bool aniso =
                    s[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC || s[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC;
                glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT,
                                    aniso ? static_cast<float>(std::max<DWORD>(1, s[D3DSAMP_MAXANISOTROPY])) : 1.f);
            }
        }
        state_.BindSampler(stage, samplers_[stage]);
    }
}

void GLDevice::ApplyVertexInputs(const GLProgram& program)
{
    if (inputsProgram_ != &program || inputsDeclaration_ != declaration_.Get()) {
        inputsProgram_ = &program;
        inputsDeclaration_ = declaration_.Get();
        std::uint32_t enabled = 0;
        for (const GLProgram::Input& input : program.Inputs()) {
            if (input.location >= GLStateCache::kAttribs)
                continue;
            const GLVertexDeclaration::Element* e = declaration_.Get()->Find(input.usage, input.usageIndex);
            if (!e)
                continue; // the shader reads GL's default (0, 0, 0, 1)
            const bool integer = input.integer && e->type != GL_FLOAT && e->type != GL_HALF_FLOAT && !e->normalized &&
                                 e->size != GL_BGRA && e->type != GL_UNSIGNED_INT_2_10_10_10_REV;
            state_.AttribFormat(input.location, e->size, e->type, e->normalized, integer, e->d3d.Offset,
                                e->d3d.Stream);
            enabled |= 1u << input.location;
        }
        for (unsigned location = 0; location < GLStateCache::kAttribs; ++location)
            state_.EnableAttrib(location, (enabled & (1u << location)) != 0);
        enabledAttribs_ = enabled;
    }
    for (unsigned stream = 0; stream < streams_.size(); ++stream) {
        const Stream& s = streams_[stream];
        if (s.buffer.Get())
            state_.VertexBuffer(stream, s.buffer.Get()->Name(), s.offset, static_cast<GLsizei>(s.stride));
        else
            state_.VertexBuffer(stream, zeroBuffer_, 0, 0); // every vertex reads the same zeros
    }
}

HRESULT GLDevice::CheckPipeline()
{
    const auto* vertexShader = vertexShader_.Get();
    const auto* pixelShader = pixelShader_.Get();
    if (!declaration_.Get()) {
        drawError_ = "draw refused: no vertex declaration is set";
        return D3DERR_INVALIDCALL;
    }
    if (!vertexShader || !pixelShader) {
        // The fixed-function pipeline is not provided: a draw needs both shaders.
        const char* missing = !vertexShader && !pixelShader ? "no shaders are"
                              : !vertexShader               ? "no vertex shader is"
                                                            : "no pixel shader is";
        drawError_ = std::string("draw refused: ") + missing +
                     " set, and the fixed-function pipeline is not provided (a draw needs a vertex and a pixel shader)";
        if (!noShadersReported_) {
            noShadersReported_ = true;
            std::fprintf(stderr, "%s\n", drawError_.c_str());
        }
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT GLDevice::PrepareDraw(GLProgram*& program)
{
    const auto* vertexShader = vertexShader_.Get();
    const auto* pixelShader = pixelShader_.Get();
    MakeCurrent();
    if (!lastProgram_ || lastVertexId_ != vertexShader->Id() || lastPixelId_ != pixelShader->Id()) {
        lastProgram_ = &programs_.Get(vertexShader->Id(), vertexShader->Name(), pixelShader->Id(), pixelShader->Name());
        lastVertexId_ = vertexShader->Id();
        lastPixelId_ = pixelShader->Id();
    }
    GLProgram& p = *lastProgram_;
    if (!p.Name()) {
        drawError_ = "draw refused: the shaders do not link: " + p.Log();
        return D3DERR_INVALIDCALL;
    }
    const HRESULT hr = ApplyFramebuffer();
    if (hr < 0)
        return hr;
    ApplyRenderStates();
    state_.UseProgram(p.Name());
    p.SyncUniforms(uniforms_);
    // Half a pixel of the viewport right and down (see GLShaderSource.h).
    p.SetPixelOffset(1.f / static_cast<float>(viewport_.Width), -1.f / static_cast<float>(viewport_.Height));
    p.SetPointSize(D3DBitsAsFloat(renderStates_[D3DRS_POINTSIZE]));
    ApplyVertexInputs(p);
    ApplySamplers();
    program = &p;
    return D3D_OK;
}

void GLDevice::MarkTargetsDrawn()
{
    for (const D3DBinding<GLSurface>& target : targets_)
        if (target.Get())
            target.Get()->MarkDrawn();
}

HRESULT GLDevice::Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, bool indexed, INT baseVertex, UINT start)
{
    GLenum mode = 0;
    const UINT count = GLPrimitiveVertexCount(type, primitiveCount, mode);
    if (count == 0 && primitiveCount != 0)
        return D3DERR_INVALIDCALL;
    if (indexed && !indices_.Get())
        return D3DERR_INVALIDCALL;
    if (lost_ || primitiveCount == 0)
        return D3D_OK;
    GLProgram* program = nullptr;
    const HRESULT hr = PrepareDraw(program);
    if (hr < 0)
        return hr;
    if (indexed) {
        const bool wide = indices_.Get()->Format() == D3DFMT_INDEX32;
        const std::uint64_t size = wide ? 4 : 2;
        D3DINDEXBUFFER_DESC desc{};
        indices_.Get()->GetDesc(&desc);
        if ((std::uint64_t{start} + count) * size > desc.Size)
            return D3DERR_INVALIDCALL;
        state_.ElementBuffer(indices_.Get()->Name());
        glDrawElementsBaseVertex(mode, static_cast<GLsizei>(count), wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(static_cast<std::uintptr_t>(start * size)), baseVertex);
    } else {
        glDrawArrays(mode, static_cast<GLint>(start), static_cast<GLsizei>(count));
    }
    MarkTargetsDrawn();
    CountDraw(primitiveCount);
    return D3D_OK;
}

HRESULT GLDevice::CheckVertices(std::uint64_t first, std::uint64_t count) const
{
    if (!declaration_.Get())
        return D3DERR_INVALIDCALL;
    // Every bound stream the declaration reads must hold every vertex drawn: GL would read past the
    // buffer's end otherwise. A stream with nothing bound reads the zero buffer.
    for (const GLVertexDeclaration::Element& element : declaration_.Get()->Elements()) {
        const Stream& stream = streams_[element.d3d.Stream];
        if (!stream.buffer.Get())
            continue;
        D3DVERTEXBUFFER_DESC desc{};
        stream.buffer.Get()->GetDesc(&desc);
        const std::uint64_t end = stream.offset + std::uint64_t{element.d3d.Offset} + D3DDeclTypeSize(element.d3d.Type) +
                                  (first + count - 1) * std::uint64_t{stream.stride};
        if (end > desc.Size)
            return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT GLDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount)
{
    if (Lose("DrawPrimitive"))
        return D3DERR_DEVICELOST;
    GLenum mode = 0;
    const UINT count = GLPrimitiveVertexCount(PrimitiveType, PrimitiveCount, mode);
    if (PrimitiveCount == 0 || count == 0 || CheckPipeline() < 0 || CheckVertices(StartVertex, count) < 0)
        return D3DERR_INVALIDCALL;
    return Draw(PrimitiveType, PrimitiveCount, false, 0, StartVertex);
}

HRESULT GLDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                       UINT NumVertices, UINT startIndex, UINT primCount)
{
    if (Lose("DrawIndexedPrimitive"))
        return D3DERR_DEVICELOST;
    // The indices reach vertices BaseVertexIndex + MinVertexIndex .. + NumVertices - 1; those must be
    // in the streams.
    const std::int64_t firstVertex = std::int64_t{BaseVertexIndex} + MinVertexIndex;
    if (primCount == 0 || NumVertices == 0 || firstVertex < 0 || CheckPipeline() < 0 ||
        CheckVertices(static_cast<std::uint64_t>(firstVertex), NumVertices) < 0)
        return D3DERR_INVALIDCALL;
    return Draw(PrimitiveType, primCount, true, BaseVertexIndex, startIndex);
}

HRESULT GLDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                  const void* pVertexStreamZeroData, UINT VertexStreamZeroStride)
{
    if (Lose("DrawPrimitiveUP"))
        return D3DERR_DEVICELOST;
    GLenum mode = 0;
    const UINT count = GLPrimitiveVertexCount(PrimitiveType, PrimitiveCount, mode);
    if (!pVertexStreamZeroData || VertexStreamZeroStride == 0 || PrimitiveCount == 0 || count == 0 ||
        CheckPipeline() < 0)
        return D3DERR_INVALIDCALL;
    // The vertices come from memory alone: a declaration that reads another stream is refused.
    for (const GLVertexDeclaration::Element& element : declaration_.Get()->Elements())
        if (element.d3d.Stream != 0)
            return D3DERR_INVALIDCALL;
    // As in Direct3D 9, stream 0 is unset afterwards.
    Stream& s0 = streams_[0];
    s0.buffer.Clear();
    s0.offset = s0.stride = 0;
    if (lost_ || PrimitiveCount == 0)
        return D3D_OK;
    MakeCurrent();
    const GLsizeiptr bytes = static_cast<GLsizeiptr>(count) * VertexStreamZeroStride;
    // Fresh storage each time, so that earlier draws still reading it are not waited for.
    glNamedBufferData(upBuffer_, bytes, pVertexStreamZeroData, GL_STREAM_DRAW);
    upBufferSize_ = bytes;
    GLProgram* program = nullptr;
    const HRESULT hr = PrepareDraw(program);
    if (hr < 0)
        return hr;
    state_.VertexBuffer(0, upBuffer_, 0, static_cast<GLsizei>(VertexStreamZeroStride));
    glDrawArrays(mode, 0, static_cast<GLsizei>(count));
    state_.VertexBuffer(0, 0, 0, 0);
    MarkTargetsDrawn();
    CountDraw(PrimitiveCount);
    return D3D_OK;
}

HRESULT GLDevice::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil)
{
    if (Lose("Clear"))
        return D3DERR_DEVICELOST;
    if (const HRESULT hr = CheckD3DClear(Count, pRects, Flags, Z, depth_.Get() ? depth_.Get()->Format() : D3DFMT_UNKNOWN);
        hr != D3D_OK)
        return hr;
    if (lost_)
        return D3D_OK;
    MakeCurrent();
    HRESULT hr = ApplyFramebuffer();
    if (hr < 0)
        return hr;
    // Clear writes every channel whatever the write masks, inside the viewport (and the scissor
    // rectangle when the scissor test is on), limited to the rectangles given and to the target: a
    // viewport may reach past the target's edges.
    renderStatesDirty_ = true;
    for (unsigned i = 0; i < 4; ++i)
        state_.ColorMask(i, 0xF);
    state_.DepthMask(true);
    state_.StencilWriteMask(0xFF);
    state_.Enable(GL_SCISSOR_TEST, true);
    const GLSurface* target = targets_[0].Get();
    const auto clamp = [](std::uint64_t value, UINT limit) {
        return static_cast<LONG>(std::min<std::uint64_t>(value, limit));
    };
    RECT area{clamp(viewport_.X, target->Width()), clamp(viewport_.Y, target->Height()),
              clamp(std::uint64_t{viewport_.X} + viewport_.Width, target->Width()),
              clamp(std::uint64_t{viewport_.Y} + viewport_.Height, target->Height())};
    if (renderStates_[D3DRS_SCISSORTESTENABLE]) {
        area.left = std::max(area.left, scissor_.left);
        area.top = std::max(area.top, scissor_.top);
        area.right = std::min(area.right, scissor_.right);
        area.bottom = std::min(area.bottom, scissor_.bottom);
    }
    float colour[4];
    D3DColourToFloats(Color, colour);
    const DWORD rects = Count == 0 ? 1 : Count;
    for (DWORD r = 0; r < rects; ++r) {
        RECT box = area;
        if (Count != 0) {
            box.left = std::max(box.left, pRects[r].x1);
            box.top = std::max(box.top, pRects[r].y1);
            box.right = std::min(box.right, pRects[r].x2);
            box.bottom = std::min(box.bottom, pRects[r].y2);
        }
        if (box.right <= box.left || box.bottom <= box.top)
            continue;
        state_.Scissor(box.left, box.top, box.right - box.left, box.bottom - box.top);
        if (Flags & D3DCLEAR_TARGET)
            for (GLint i = 0; i < 4; ++i)
                if (targets_[static_cast<size_t>(i)].Get())
                    glClearNamedFramebufferfv(drawFbo_, GL_COLOR, i, colour);
        const GLint s = static_cast<GLint>(Stencil & 0xFF);
        if ((Flags & D3DCLEAR_ZBUFFER) && (Flags & D3DCLEAR_STENCIL))
            glClearNamedFramebufferfi(drawFbo_, GL_DEPTH_STENCIL, 0, Z, s);
        else if (Flags & D3DCLEAR_ZBUFFER)
            glClearNamedFramebufferfv(drawFbo_, GL_DEPTH, 0, &Z);
        else if (Flags & D3DCLEAR_STENCIL)
            glClearNamedFramebufferiv(drawFbo_, GL_STENCIL, 0, &s);
    }
    if (Flags & D3DCLEAR_TARGET)
        MarkTargetsDrawn();
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Copies and presentation

void GLDevice::ClearNewSurface(GLSurface* surface)
{
    MakeCurrent();
    copier_.ClearNew(surface);
}

HRESULT GLDevice::ReadSurface(GLSurface* surface, std::uint8_t* bits, UINT pitch)
{
    const GLFormat* gl = FindGLFormat(surface->Format());
    const D3DFormatInfo* info = FindD3DFormatInfo(surface->Format());
    if (!gl || !info || gl->compressed || surface->IsDepthStencil() || !surface->HasGLImage())
        return D3DERR_INVALIDCALL;
    MakeCurrent();
    copier_.Read(surface, gl->format, gl->type, static_cast<GLint>(pitch / info->bytes), bits);
    return D3D_OK;
}

HRESULT GLDevice::WriteSurface(GLSurface* surface, const std::uint8_t* bits, UINT pitch)
{
    const GLFormat* gl = FindGLFormat(surface->Format());
    const D3DFormatInfo* info = FindD3DFormatInfo(surface->Format());
    if (!gl || !info || gl->compressed || surface->IsDepthStencil() || !surface->HasGLImage())
        return D3DERR_INVALIDCALL;
    MakeCurrent();
    copier_.Write(surface, gl->internalFormat, gl->format, gl->type, static_cast<GLint>(pitch / info->bytes), bits);
    return D3D_OK;
}

HRESULT GLDevice::GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface)
{
    if (Lose("GetRenderTargetData"))
        return D3DERR_DEVICELOST;
    GLSurface* src = OwnSurface(pRenderTarget);
    GLSurface* dst = OwnSurface(pDestSurface);
    if (!src || !dst || !src->IsRenderTarget() || src->Width() != dst->Width() || src->Height() != dst->Height() ||
        src->Format() != dst->Format())
        return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc{};
    dst->GetDesc(&desc);
    UINT pitch = 0;
    std::uint8_t* bits = desc.Pool == D3DPOOL_SYSTEMMEM ? dst->CpuBits(&pitch) : nullptr;
    if (!bits || dst->IsLocked())
        return D3DERR_INVALIDCALL;
    if (lost_)
        return D3DERR_DEVICELOST;
    return ReadSurface(src, bits, pitch);
}

HRESULT GLDevice::StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                              IDirect3DSurface9* pDestSurface, const RECT* pDestRect, D3DTEXTUREFILTERTYPE Filter)
{
    if (Lose("StretchRect"))
        return D3DERR_DEVICELOST;
    GLSurface* src = OwnSurface(pSourceSurface);
    GLSurface* dst = OwnSurface(pDestSurface);
    if (!src || !dst || src == dst)
        return D3DERR_INVALIDCALL;
    if (Filter != D3DTEXF_NONE && Filter != D3DTEXF_POINT && Filter != D3DTEXF_LINEAR)
        return D3DERR_INVALIDCALL;
    const RECT s = pSourceRect ? *pSourceRect : WholeRect(src);
    const RECT d = pDestRect ? *pDestRect : WholeRect(dst);
    if (!RectInside(s, src->Width(), src->Height()) || !RectInside(d, dst->Width(), dst->Height()))
        return D3DERR_INVALIDCALL;
    // Both surfaces in video memory (D3DPOOL_DEFAULT), as in Direct3D 9: a level of a managed texture
    // is refused like a system-memory surface.
    D3DSURFACE_DESC srcDesc{}, dstDesc{};
    src->GetDesc(&srcDesc);
    dst->GetDesc(&dstDesc);
    if (srcDesc.Pool != D3DPOOL_DEFAULT || dstDesc.Pool != D3DPOOL_DEFAULT)
        return D3DERR_INVALIDCALL;
    if (src->GetKind() == GLSurface::Kind::Memory && dst->GetKind() == GLSurface::Kind::Memory)
        return StretchPlain(src, s, dst, d, Filter);
    if (src->IsDepthStencil() || dst->IsDepthStencil()) {
        // Depth: whole surfaces of one format and size, no filtering.
        if (!src->IsDepthStencil() || !dst->IsDepthStencil() || pSourceRect || pDestRect ||
            src->Format() != dst->Format() || src->Width() != dst->Width() || src->Height() != dst->Height())
            return D3DERR_INVALIDCALL;
        if (lost_)
            return D3D_OK;
        MakeCurrent();
        copier_.Blit(src, s, dst, d, FindGLFormat(src->Format())->attachmentBits, GL_NEAREST);
        return D3D_OK;
    }
    if (!dst->IsRenderTarget() || !dst->HasGLImage())
        return D3DERR_INVALIDCALL;
    const D3DFormatInfo* srcInfo = FindD3DFormatInfo(src->Format());
    if (srcInfo->compressed || src->IsLocked())
        return D3DERR_INVALIDCALL;
    if (src->GetKind() == GLSurface::Kind::TextureLevel && !src->HasGLImage())
        return D3DERR_INVALIDCALL;
    if (lost_)
        return D3D_OK;
    MakeCurrent();
    const GLenum filter = Filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
    const bool scaled = (s.right - s.left) != (d.right - d.left) || (s.bottom - s.top) != (d.bottom - d.top);
    if (src->GetKind() == GLSurface::Kind::Memory) {
        // A plain surface in video memory: its memory through a temporary render target.
        GLSurface* staging = nullptr;
        HRESULT hr = GLSurface::CreateRenderbuffer(this, src->Width(), src->Height(), src->Format(),
                                                   D3DMULTISAMPLE_NONE, 0, false, false, false, &staging);
        if (hr < 0)
            return hr;
        UINT pitch = 0;
        const std::uint8_t* bits = src->CpuBits(&pitch);
        hr = WriteSurface(staging, bits, pitch);
        if (hr >= 0)
            copier_.Blit(staging, s, dst, d, GL_COLOR_BUFFER_BIT, filter);
        staging->Release();
        return hr;
    }
    if (src->Samples() > 0 && (scaled || dst->Samples() != 0)) {
        // Resolve first; GL blits out of a multisampled buffer only 1:1.
        copier_.BlitResolved(src, s, dst, d, filter);
        return D3D_OK;
    }
    if (dst->Samples() > 0 && scaled)
        return D3DERR_INVALIDCALL;
    copier_.Blit(src, s, dst, d, GL_COLOR_BUFFER_BIT, filter);
    return D3D_OK;
}

HRESULT GLDevice::StretchPlain(GLSurface* src, const RECT& s, GLSurface* dst, const RECT& d,
                               D3DTEXTUREFILTERTYPE filter)
{
    // A copy between two plain surfaces of one format: their bytes, scaled as the filter says when
    // the rectangles differ in size. Blocks of compressed formats are copied whole and unscaled.
    const D3DFormatInfo* info = FindD3DFormatInfo(src->Format());
    const GLFormat* gl = FindGLFormat(src->Format());
    if (src->Format() != dst->Format() || !info || !gl || src->IsLocked() || dst->IsLocked())
        return D3DERR_INVALIDCALL;
    const LONG width = s.right - s.left, height = s.bottom - s.top;
    const bool scaled = width != d.right - d.left || height != d.bottom - d.top;
    const auto onBlocks = [](const RECT& r, const GLSurface* surface) {
        const auto edge = [](LONG v, UINT limit) { return v % 4 == 0 || v == static_cast<LONG>(limit); };
        return r.left % 4 == 0 && r.top % 4 == 0 && edge(r.right, surface->Width()) &&
               edge(r.bottom, surface->Height());
    };
    if (info->compressed && (scaled || !onBlocks(s, src) || !onBlocks(d, dst)))
        return D3DERR_INVALIDCALL;
    if (lost_)
        return D3D_OK;
    UINT srcPitch = 0, dstPitch = 0;
    const std::uint8_t* from = src->CpuBits(&srcPitch);
    std::uint8_t* to = dst->CpuBits(&dstPitch);
    if (scaled) {
        MakeCurrent();
        copier_.StretchMemory(*gl, info->bytes, from, src->Width(), src->Height(), srcPitch, s, to, dstPitch, d,
                              filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
        return D3D_OK;
    }
    // Rows of texels, or of 4 x 4 blocks.
    const UINT block = info->compressed ? 4 : 1;
    const size_t rowBytes = static_cast<size_t>((width + block - 1) / block) * info->bytes;
    for (LONG row = 0; row < (height + static_cast<LONG>(block) - 1) / static_cast<LONG>(block); ++row) {
        const size_t srcRow = static_cast<size_t>(s.top / static_cast<LONG>(block) + row);
        const size_t dstRow = static_cast<size_t>(d.top / static_cast<LONG>(block) + row);
        std::memcpy(to + dstRow * dstPitch + static_cast<size_t>(d.left) / block * info->bytes,
                    from + srcRow * srcPitch + static_cast<size_t>(s.left) / block * info->bytes, rowBytes);
    }
    return D3D_OK;
}

HRESULT GLDevice::ColorFill(IDirect3DSurface9* pSurface, const RECT* pRect, D3DCOLOR color)
{
    if (Lose("ColorFill"))
        return D3DERR_DEVICELOST;
    GLSurface* s = OwnSurface(pSurface);
    if (!s || s->IsDepthStencil())
        return D3DERR_INVALIDCALL;
    const RECT r = pRect ? *pRect : WholeRect(s);
    if (!RectInside(r, s->Width(), s->Height()))
        return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc{};
    s->GetDesc(&desc);
    if (desc.Pool != D3DPOOL_DEFAULT)
        return D3DERR_INVALIDCALL;
    if (lost_)
        return D3D_OK;
    if (s->GetKind() == GLSurface::Kind::Memory) {
        if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8)
            return D3DERR_INVALIDCALL;
        UINT pitch = 0;
        std::uint8_t* bits = s->CpuBits(&pitch);
        for (LONG y = r.top; y < r.bottom; ++y)
            for (LONG x = r.left; x < r.right; ++x)
                std::memcpy(bits + static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * 4, &color, 4);
        return D3D_OK;
    }
    if (!s->IsRenderTarget() || !s->HasGLImage())
        return D3DERR_INVALIDCALL;
    MakeCurrent();
    float colour[4];
    D3DColourToFloats(color, colour);
    copier_.Fill(s, r, colour);
    return D3D_OK;
}

HRESULT GLDevice::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                          const void* pDirtyRegion)
{
    if (Lose("Present"))
        return D3DERR_DEVICELOST;
    // Rectangles are for D3DSWAPEFFECT_COPY only, as in Direct3D 9.
    if (pDirtyRegion || (hDestWindowOverride && SDLWindowFromHWND(hDestWindowOverride) != window_) ||
        ((pSourceRect || pDestRect) && params_.SwapEffect != D3DSWAPEFFECT_COPY))
        return D3DERR_INVALIDCALL;
    if (lost_)
        return D3DERR_DEVICELOST;
    if (inScene_)
        return D3DERR_INVALIDCALL;
    const RECT s = pSourceRect ? *pSourceRect : WholeRect(backBuffer_);
    if (!RectInside(s, backBuffer_->Width(), backBuffer_->Height()))
        return D3DERR_INVALIDCALL;
    MakeCurrent();
    // The finished frame, resolved, into the renderbuffer that keeps it readable, and from there
    // into the window. A window that is gone keeps only the readable copy.
    copier_.KeepFrame(backBuffer_, presented_);
    presentedWidth_ = backBuffer_->Width();
    presentedHeight_ = backBuffer_->Height();
    hasPresented_ = true;
    if (ContextWindow() != window_)
        return D3D_OK;
    int windowWidth = 0, windowHeight = 0;
    SDL_GL_GetDrawableSize(window_, &windowWidth, &windowHeight);
    const RECT d = pDestRect ? *pDestRect : RECT{0, 0, windowWidth, windowHeight};
    copier_.ShowFrame(presented_, s, d, windowHeight);
    SDL_GL_SwapWindow(window_);
    return D3D_OK;
}

HRESULT GLDevice::GetPresentedFrame(std::vector<std::uint8_t>& bgra, UINT& Width, UINT& Height)
{
    if (!hasPresented_)
        return D3DERR_NOTAVAILABLE;
    MakeCurrent();
    bgra.assign(static_cast<size_t>(presentedWidth_) * presentedHeight_ * 4, 0);
    copier_.ReadFrame(presented_, presentedWidth_, presentedHeight_, bgra.data());
    // An X8R8G8B8 back buffer has no alpha to show: its frames are opaque.
    if (params_.BackBufferFormat == D3DFMT_X8R8G8B8)
        for (size_t i = 3; i < bgra.size(); i += 4)
            bgra[i] = 0xFF;
    Width = presentedWidth_;
    Height = presentedHeight_;
    return D3D_OK;
}

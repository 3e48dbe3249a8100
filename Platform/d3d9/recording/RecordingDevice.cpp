#include "d3d9/recording/RecordingDevice.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "d3d9/D3DFormatInfo.h"
#include "d3d9/D3DValidation.h"
#include "d3d9/recording/RecordingCallText.h"
#include "d3d9/recording/RecordingCubeTexture.h"
#include "d3d9/recording/RecordingIndexBuffer.h"
#include "d3d9/recording/RecordingPixelShader.h"
#include "d3d9/recording/RecordingQuery.h"
#include "d3d9/recording/RecordingSurface.h"
#include "d3d9/recording/RecordingTexture.h"
#include "d3d9/recording/RecordingVertexBuffer.h"
#include "d3d9/recording/RecordingVertexDeclaration.h"
#include "d3d9/recording/RecordingVertexShader.h"
#include "d3d9/recording/RecordingVolumeTexture.h"
#include "win32/WindowHandle.h"

namespace {

constexpr const char* kDeviceName = "device";

bool IsPrimitiveType(D3DPRIMITIVETYPE type)
{
    return type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN;
}

// Vertices (or indices) a draw of `count` primitives reads.
std::uint64_t VertexCount(D3DPRIMITIVETYPE type, UINT count)
{
    switch (type) {
    case D3DPT_POINTLIST: return count;
    case D3DPT_LINELIST: return std::uint64_t{count} * 2;
    case D3DPT_LINESTRIP: return std::uint64_t{count} + 1;
    case D3DPT_TRIANGLELIST: return std::uint64_t{count} * 3;
    default: return std::uint64_t{count} + 2;
    }
}

// The part of `rect` inside `bounds`; empty (right <= left) when they do not meet.
RECT Intersect(const RECT& rect, const RECT& bounds)
{
    return RECT{std::max(rect.left, bounds.left), std::max(rect.top, bounds.top), std::min(rect.right, bounds.right),
                std::min(rect.bottom, bounds.bottom)};
}

bool IsEmpty(const RECT& rect)
{
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

bool ExceedsLimit(UINT size, DWORD limit)
{
    return limit != 0 && size > limit;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Creation, references, the log

RecordingDevice::RecordingDevice(const D3DCAPS9& caps) : caps_(caps)
{
    // A run that wants only the engine's own cost (a benchmark) turns the log off: the calls are
    // still validated and their state kept, but no text is made for them.
    const char* log = std::getenv("ORVALA_D3D_RECORDING_LOG");
    logging_ = log == nullptr || std::string_view(log) != "off";
}

HRESULT RecordingDevice::Create(const D3DCAPS9& caps, D3DPRESENT_PARAMETERS* presentParameters,
                                IDirect3DDevice9** device)
{
    if (device == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *device = nullptr;
    if (presentParameters == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    RecordingDevice* made = new (std::nothrow) RecordingDevice(caps);
    if (made == nullptr) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = made->CheckPresentParameters(presentParameters);
    if (hr == D3D_OK) {
        hr = made->BuildSwapChain(*presentParameters);
    }
    if (hr != D3D_OK) {
        delete made;
        return hr;
    }
    made->ResetState();
    *device = made;
    return D3D_OK;
}

RecordingDevice::~RecordingDevice()
{
    for (auto& target : renderTargets_) {
        target.Clear();
    }
    depthStencil_.Clear();
    for (auto& stage : textureStages_) {
        stage.Clear();
    }
    for (auto& stream : streams_) {
        stream.buffer.Clear();
    }
    indices_.Clear();
    declaration_.Clear();
    vertexShader_.Clear();
    pixelShader_.Clear();
    if (backBuffer_ != nullptr) {
        backBuffer_->ReleaseInternal();
    }
    if (autoDepth_ != nullptr) {
        autoDepth_->ReleaseInternal();
    }
}

ULONG RecordingDevice::AddRef()
{
    if (logging_)
        Record("AddRef", kDeviceName, D3D_OK);
    return ++refs_;
}

ULONG RecordingDevice::Release()
{
    if (logging_)
        Record("Release", kDeviceName, D3D_OK);
    ULONG left = --refs_;
    if (left == 0) {
        delete this;
    }
    return left;
}

void RecordingDevice::ReleaseForObject()
{
    if (--refs_ == 0) {
        delete this;
    }
}

void RecordingDevice::Record(const char* method, std::string arguments, HRESULT result)
{
    if (!logging_) {
        return;
    }
    if (result != D3D_OK) {
        arguments += " -> ";
        arguments += RecordingCallText::ResultName(result);
    }
    calls_.push_back(RecordedCall{method, std::move(arguments), {}});
}

void RecordingDevice::RecordDraw(const char* method, std::string arguments, HRESULT result)
{
    if (logging_)
        Record(method, std::move(arguments), result);
    std::vector<std::string>& targets = calls_.back().targets;
    int last = -1;
    for (int i = 0; i < 4; ++i) {
        if (renderTargets_[i].Get() != nullptr) {
            last = i;
        }
    }
    targets.reserve(static_cast<std::size_t>(last + 1));
    for (int i = 0; i <= last; ++i) {
        RecordingSurface* target = renderTargets_[i].Get();
        targets.push_back(target != nullptr ? target->Name() : std::string("null"));
    }
}

HRESULT RecordingDevice::Enter(const char* method)
{
    if (loss_.Lose(method)) {
        lost_ = LostState::Lost;
        return D3DERR_DEVICELOST;
    }
    return D3D_OK;
}

std::string RecordingDevice::NextName(const char* kind, unsigned& counter)
{
    return std::string(kind) + '#' + std::to_string(++counter);
}

void RecordingDevice::InjectDeviceLoss(const char* pMethod, unsigned nth)
{
    if (logging_)
        Record("InjectDeviceLoss", RecordingCallText().Quoted(pMethod).Unsigned(nth).Take(), D3D_OK);
    loss_.Arm(pMethod, nth);
}

template <class T, class I>
T* RecordingDevice::Own(I* object) const
{
    return D3DOwnObject<T>(this, object);
}

RecordingSurface* RecordingDevice::OwnSurface(IDirect3DSurface9* surface) const
{
    return Own<RecordingSurface>(surface);
}

template <class I, class Make>
HRESULT RecordingDevice::HandOutNew(I** out, RecordingObject*& made, Make make)
{
    try {
        auto* object = make();
        object->AddRefExternal();
        *out = object;
        made = object;
        return D3D_OK;
    } catch (const std::bad_alloc&) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
}

template <class T, class I>
HRESULT RecordingDevice::SetBinding(const char* method, RecordingBinding<T>& binding, I* object)
{
    HRESULT hr = Enter(method);
    if (hr == D3D_OK) {
        hr = D3DBindObject(this, binding, object);
    }
    if (logging_)
        Record(method, RecordingCallText().Object(Own<T>(object)).Take(), hr);
    return hr;
}

template <class T, class I>
HRESULT RecordingDevice::GetBinding(const char* method, const RecordingBinding<T>& binding, I** out)
{
    HRESULT hr = Enter(method);
    if (hr == D3D_OK) {
        if (out == nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else {
            T* bound = binding.Get();
            if (bound != nullptr) {
                bound->AddRefExternal();
            }
            *out = bound;
        }
    }
    if (logging_)
        Record(method, std::string(), hr);
    return hr;
}

template <class T, class I>
HRESULT RecordingDevice::CreateShader(const char* method, const char* kind, unsigned& counter, const char* source,
                                      I** out, std::string* log)
{
    HRESULT hr = Enter(method);
    RecordingObject* made = nullptr;
    if (hr == D3D_OK) {
        if (out == nullptr || source == nullptr || *source == '\0') {
            hr = D3DERR_INVALIDCALL;
            if (out != nullptr) {
                *out = nullptr;
            }
            if (log != nullptr) {
                *log = out == nullptr ? "no shader out-pointer" : "empty shader source";
            }
        } else {
            auto* shader = new T(this, NextName(kind, counter), source);
            shader->AddRefExternal();
            *out = shader;
            made = shader;
            if (log != nullptr) {
                log->clear();
            }
        }
    }
    if (logging_)
        Record(method, RecordingCallText().Pointer(source).Object(made).Take(), hr);
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Presentation, loss and reset

HRESULT RecordingDevice::CheckPresentParameters(D3DPRESENT_PARAMETERS* p) const
{
    if (const HRESULT hr = CheckD3DSwapChain(*p); hr != D3D_OK) {
        return hr;
    }
    D3DFORMAT format = p->BackBufferFormat;
    if (format == D3DFMT_UNKNOWN) {
        if (!p->Windowed) {
            return D3DERR_INVALIDCALL;
        }
        format = D3DFMT_X8R8G8B8;
    }
    if (CheckD3DBackBufferFormat(format) != D3D_OK ||
        (p->EnableAutoDepthStencil && CheckD3DAutoDepthStencilFormat(p->AutoDepthStencilFormat) != D3D_OK)) {
        return D3DERR_NOTAVAILABLE;
    }
    if (p->MultiSampleQuality >= MultiSampleQualityLevels(format, p->MultiSampleType)) {
        return D3DERR_INVALIDCALL;
    }
    UINT width = p->BackBufferWidth;
    UINT height = p->BackBufferHeight;
    if (width == 0 || height == 0) {
        // A windowed device without a size takes its window's.
        SDL_Window* window = p->Windowed ? SDLWindowFromHWND(p->hDeviceWindow) : nullptr;
        if (window == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(window, &w, &h);
        if (w <= 0 || h <= 0) {
            return D3DERR_INVALIDCALL;
        }
        width = width == 0 ? static_cast<UINT>(w) : width;
        height = height == 0 ? static_cast<UINT>(h) : height;
    }
    if (ExceedsLimit(width, caps_.MaxTextureWidth) || ExceedsLimit(height, caps_.MaxTextureHeight)) {
        return D3DERR_INVALIDCALL;
    }
    // As Direct3D 9 does, the parameters come back with the values the device took.
    p->BackBufferFormat = format;
    p->BackBufferWidth = width;
    p->BackBufferHeight = height;
    p->BackBufferCount = std::max(p->BackBufferCount, 1u);
    return D3D_OK;
}

HRESULT RecordingDevice::BuildSwapChain(const D3DPRESENT_PARAMETERS& params)
{
    RecordingSurface* back = nullptr;
    RecordingSurface* depth = nullptr;
    try {
        bool lockable = (params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
        D3DSURFACE_DESC backDesc{params.BackBufferFormat, D3DRTYPE_SURFACE,      D3DUSAGE_RENDERTARGET,
                                 D3DPOOL_DEFAULT,         params.MultiSampleType, params.MultiSampleQuality,
                                 params.BackBufferWidth,  params.BackBufferHeight};
        back = new RecordingSurface(this, "backbuffer", backDesc, lockable, true);
        back->AddRefInternal();
        if (params.EnableAutoDepthStencil) {
            D3DSURFACE_DESC depthDesc{params.AutoDepthStencilFormat, D3DRTYPE_SURFACE,      D3DUSAGE_DEPTHSTENCIL,
                                      D3DPOOL_DEFAULT,               params.MultiSampleType, params.MultiSampleQuality,
                                      params.BackBufferWidth,        params.BackBufferHeight};
            depth = new RecordingSurface(this, "depthstencil", depthDesc, false, true);
            depth->AddRefInternal();
        }
    } catch (const std::bad_alloc&) {
        if (back != nullptr) {
            back->ReleaseInternal();
        }
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    if (backBuffer_ != nullptr) {
        renderTargets_[0].Clear();
        backBuffer_->ReleaseInternal();
    }
    if (autoDepth_ != nullptr) {
        depthStencil_.Clear();
        autoDepth_->ReleaseInternal();
    }
    backBuffer_ = back;
    autoDepth_ = depth;
    params_ = params;
    return D3D_OK;
}

void RecordingDevice::ResetState()
{
    for (auto& target : renderTargets_) {
        target.Clear();
    }
    renderTargets_[0].Set(backBuffer_, backBuffer_);
    depthStencil_.Set(autoDepth_, autoDepth_);
    for (auto& stage : textureStages_) {
        stage.Clear();
    }
    for (auto& stream : streams_) {
        stream.buffer.Clear();
        stream.offset = 0;
        stream.stride = 0;
    }
    indices_.Clear();
    declaration_.Clear();
    vertexShader_.Clear();
    pixelShader_.Clear();

    FillD3DDefaultRenderStates(renderStates_, params_.EnableAutoDepthStencil != FALSE);
    for (auto& sampler : samplerStates_) {
        FillD3DDefaultSamplerStates(sampler);
    }
    viewport_ = D3DVIEWPORT9{0, 0, params_.BackBufferWidth, params_.BackBufferHeight, 0.0f, 1.0f};
    scissor_ = RECT{0, 0, static_cast<LONG>(params_.BackBufferWidth), static_cast<LONG>(params_.BackBufferHeight)};
    inScene_ = false;
}

HRESULT RecordingDevice::TestCooperativeLevel()
{
    HRESULT hr = Enter("TestCooperativeLevel");
    if (hr == D3D_OK) {
        if (lost_ == LostState::Lost) {
            // Reported once; from then on the device can be reset.
            lost_ = LostState::NotReset;
            hr = D3DERR_DEVICELOST;
        } else if (lost_ == LostState::NotReset) {
            hr = D3DERR_DEVICENOTRESET;
        }
    }
    if (logging_)
        Record("TestCooperativeLevel", std::string(), hr);
    return hr;
}

HRESULT RecordingDevice::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters)
{
    HRESULT hr = Enter("Reset");
    if (hr == D3D_OK) {
        if (pPresentationParameters == nullptr || heldDefaultPoolObjects_ > 0) {
            hr = D3DERR_INVALIDCALL;
        } else {
            D3DPRESENT_PARAMETERS params = *pPresentationParameters;
            hr = CheckPresentParameters(&params);
            if (hr == D3D_OK) {
                hr = BuildSwapChain(params);
            }
            if (hr == D3D_OK) {
                *pPresentationParameters = params;
                ResetState();
                lost_ = LostState::None;
            }
        }
        if (hr != D3D_OK) {
            // A failed reset leaves the device lost until a reset succeeds.
            lost_ = LostState::NotReset;
        }
    }
    RecordingCallText text;
    if (pPresentationParameters != nullptr) {
        text.Unsigned(pPresentationParameters->BackBufferWidth)
            .Unsigned(pPresentationParameters->BackBufferHeight)
            .Format(pPresentationParameters->BackBufferFormat);
    } else {
        text.Text(nullptr);
    }
    if (logging_)
        Record("Reset", text.Take(), hr);
    return hr;
}

HRESULT RecordingDevice::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                                 const void* pDirtyRegion)
{
    HRESULT hr = Enter("Present");
    if (hr == D3D_OK) {
        if (pDirtyRegion != nullptr ||
            ((pSourceRect != nullptr || pDestRect != nullptr) && params_.SwapEffect != D3DSWAPEFFECT_COPY)) {
            hr = D3DERR_INVALIDCALL;
        } else if (IsLost()) {
            hr = D3DERR_DEVICELOST;
        } else {
            const RecordingImage& back = backBuffer_->Image();
            try {
                if (presented_ == nullptr || presented_->Format() != back.Format() ||
                    presented_->Width() != back.Width() || presented_->Height() != back.Height()) {
                    presented_.reset();
                    presented_ = std::make_unique<RecordingImage>(back.Format(), back.Width(), back.Height());
                }
                presented_->CopyFrom(back, back.FullRect(), back.FullRect());
            } catch (const std::bad_alloc&) {
                hr = E_OUTOFMEMORY;
            }
        }
    }
    if (logging_)
        Record("Present",
           RecordingCallText().Rect(pSourceRect).Rect(pDestRect).Pointer(hDestWindowOverride).Pointer(pDirtyRegion).Take(),
           hr);
    return hr;
}

HRESULT RecordingDevice::GetPresentedFrame(std::vector<std::uint8_t>& bgra, UINT& Width, UINT& Height)
{
    HRESULT hr = Enter("GetPresentedFrame");
    if (hr == D3D_OK) {
        if (presented_ == nullptr) {
            hr = D3DERR_NOTAVAILABLE;
        } else {
            presented_->ToBgra(bgra);
            Width = presented_->Width();
            Height = presented_->Height();
        }
    }
    if (logging_)
        Record("GetPresentedFrame", std::string(), hr);
    return hr;
}

HRESULT RecordingDevice::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                       IDirect3DSurface9** ppBackBuffer)
{
    HRESULT hr = Enter("GetBackBuffer");
    if (hr == D3D_OK) {
        // The type (mono, left or right) is not looked at, as drivers do; a refused call leaves no
        // surface behind in *ppBackBuffer.
        if (ppBackBuffer != nullptr) {
            *ppBackBuffer = nullptr;
        }
        if (ppBackBuffer == nullptr || iSwapChain != 0 || iBackBuffer >= params_.BackBufferCount) {
            hr = D3DERR_INVALIDCALL;
        } else {
            backBuffer_->AddRefExternal();
            *ppBackBuffer = backBuffer_;
        }
    }
    if (logging_)
        Record("GetBackBuffer", RecordingCallText().Unsigned(iSwapChain).Unsigned(iBackBuffer).Unsigned(Type).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::GetDirect3D(IDirect3D9** ppD3D9)
{
    HRESULT hr = Enter("GetDirect3D");
    if (hr == D3D_OK) {
        hr = ppD3D9 == nullptr ? D3DERR_INVALIDCALL : D3DERR_NOTAVAILABLE;
        if (ppD3D9 != nullptr) {
            *ppD3D9 = nullptr;
        }
    }
    if (logging_)
        Record("GetDirect3D", std::string(), hr);
    return hr;
}

HRESULT RecordingDevice::GetDeviceCaps(D3DCAPS9* pCaps)
{
    HRESULT hr = Enter("GetDeviceCaps");
    if (hr == D3D_OK) {
        if (pCaps == nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else {
            *pCaps = caps_;
        }
    }
    if (logging_)
        Record("GetDeviceCaps", std::string(), hr);
    return hr;
}

HRESULT RecordingDevice::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode)
{
    HRESULT hr = Enter("GetDisplayMode");
    if (hr == D3D_OK) {
        if (pMode == nullptr || iSwapChain != 0) {
            hr = D3DERR_INVALIDCALL;
        } else {
            UINT rate = params_.FullScreen_RefreshRateInHz != 0 ? params_.FullScreen_RefreshRateInHz : 60;
            *pMode = D3DDISPLAYMODE{params_.BackBufferWidth, params_.BackBufferHeight, rate, D3DFMT_X8R8G8B8};
        }
    }
    if (logging_)
        Record("GetDisplayMode", RecordingCallText().Unsigned(iSwapChain).Take(), hr);
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Resources

HRESULT RecordingDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                       D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle)
{
    HRESULT hr = Enter("CreateTexture");
    RecordingObject* made = nullptr;
    if (hr == D3D_OK) {
        D3DTextureLevels levels;
        if (ppTexture == nullptr || pSharedHandle != nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else if ((hr = CheckD3DTextureArguments(caps_, D3DAdapterFormats{}, D3DRTYPE_TEXTURE, Width, Height, 1, Levels, Usage, Format, Pool,
                                               &levels)) == D3D_OK) {
            hr = HandOutNew(ppTexture, made, [&] {
                return new RecordingTexture(this, NextName("texture", textures_), Width, Height, levels.shown,
                                            Usage, Format, Pool);
            });
        }
        if (hr != D3D_OK && ppTexture != nullptr) {
            *ppTexture = nullptr;
        }
    }
    if (logging_)
        Record("CreateTexture",
           RecordingCallText()
               .Unsigned(Width)
               .Unsigned(Height)
               .Unsigned(Levels)
               .Hex(Usage)
               .Format(Format)
               .Pool(Pool)
               .Object(made)
               .Take(),
           hr);
    return hr;
}

HRESULT RecordingDevice::CreateVolumeTexture(UINT Width, UINT Height, UINT Depth, UINT Levels, DWORD Usage,
                                             D3DFORMAT Format, D3DPOOL Pool,
                                             IDirect3DVolumeTexture9** ppVolumeTexture, HANDLE* pSharedHandle)
{
    HRESULT hr = Enter("CreateVolumeTexture");
    RecordingObject* made = nullptr;
    if (hr == D3D_OK) {
        D3DTextureLevels levels;
        if (ppVolumeTexture == nullptr || pSharedHandle != nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else if ((hr = CheckD3DTextureArguments(caps_, D3DAdapterFormats{}, D3DRTYPE_VOLUMETEXTURE, Width, Height, Depth, Levels, Usage, Format,
                                               Pool, &levels)) == D3D_OK) {
            hr = HandOutNew(ppVolumeTexture, made, [&] {
                return new RecordingVolumeTexture(this, NextName("volumetexture", volumeTextures_), Width, Height,
                                                  Depth, levels.shown, Usage, Format, Pool);
            });
        }
        if (hr != D3D_OK && ppVolumeTexture != nullptr) {
            *ppVolumeTexture = nullptr;
        }
    }
    if (logging_)
        Record("CreateVolumeTexture",
           RecordingCallText()
               .Unsigned(Width)
               .Unsigned(Height)
               .Unsigned(Depth)
               .Unsigned(Levels)
               .Hex(Usage)
               .Format(Format)
               .Pool(Pool)
               .Object(made)
               .Take(),
           hr);
    return hr;
}

HRESULT RecordingDevice::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                           IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle)
{
    HRESULT hr = Enter("CreateCubeTexture");
    RecordingObject* made = nullptr;
    if (hr == D3D_OK) {
        D3DTextureLevels levels;
        if (ppCubeTexture == nullptr || pSharedHandle != nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else if ((hr = CheckD3DTextureArguments(caps_, D3DAdapterFormats{}, D3DRTYPE_CUBETEXTURE, EdgeLength, EdgeLength, 1, Levels, Usage, Format,
                                               Pool, &levels)) == D3D_OK) {
            hr = HandOutNew(ppCubeTexture, made, [&] {
                return new RecordingCubeTexture(this, NextName("cubetexture", cubeTextures_), EdgeLength,
                                                levels.shown, Usage, Format, Pool);
            });
        }
        if (hr != D3D_OK && ppCubeTexture != nullptr) {
            *ppCubeTexture = nullptr;
        }
    }
    if (logging_)
        Record("CreateCubeTexture",
           RecordingCallText()
               .Unsigned(EdgeLength)
               .Unsigned(Levels)
               .Hex(Usage)
               .Format(Format)
               .Pool(Pool)
               .Object(made)
               .Take(),
           hr);
    return hr;
}

HRESULT RecordingDevice::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                            IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle)
{
    constexpr DWORD kKnownUsage = D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DONOTCLIP |
                                  D3DUSAGE_POINTS | D3DUSAGE_RTPATCHES | D3DUSAGE_NPATCHES | D3DUSAGE_DYNAMIC;
    HRESULT hr = Enter("CreateVertexBuffer");
    RecordingObject* made = nullptr;
    if (hr == D3D_OK) {
        if (ppVertexBuffer == nullptr || pSharedHandle != nullptr || Length == 0 || Pool > D3DPOOL_SYSTEMMEM ||
            (Usage & ~kKnownUsage) != 0 || ((Usage & D3DUSAGE_DYNAMIC) != 0 && Pool == D3DPOOL_MANAGED)) {
            hr = D3DERR_INVALIDCALL;
        } else {
            D3DVERTEXBUFFER_DESC desc{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, Usage, Pool, Length, FVF};
            hr = HandOutNew(ppVertexBuffer, made, [&] {
                return new RecordingVertexBuffer(this, NextName("vertexbuffer", vertexBuffers_), desc);
            });
        }
        if (hr != D3D_OK && ppVertexBuffer != nullptr) {
            *ppVertexBuffer = nullptr;
        }
    }
    if (logging_)
        Record("CreateVertexBuffer",
           RecordingCallText().Unsigned(Length).Hex(Usage).Hex(FVF).Pool(Pool).Object(made).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                           IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle)
{
    constexpr DWORD kKnownUsage = D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DONOTCLIP |
                                  D3DUSAGE_POINTS | D3DUSAGE_RTPATCHES | D3DUSAGE_NPATCHES | D3DUSAGE_DYNAMIC;
    HRESULT hr = Enter("CreateIndexBuffer");
    RecordingObject* made = nullptr;
    if (hr == D3D_OK) {
        const D3DFormatInfo* info = FindD3DFormatInfo(Format);
        // An index format is an argument like any other: Direct3D 9 refuses others as an invalid call.
        if (ppIndexBuffer == nullptr || pSharedHandle != nullptr || Length == 0 || Pool > D3DPOOL_SYSTEMMEM ||
            (Usage & ~kKnownUsage) != 0 || ((Usage & D3DUSAGE_DYNAMIC) != 0 && Pool == D3DPOOL_MANAGED) ||
            info == nullptr || !info->indexBuffer) {
            hr = D3DERR_INVALIDCALL;
        } else {
            D3DINDEXBUFFER_DESC desc{Format, D3DRTYPE_INDEXBUFFER, Usage, Pool, Length};
            hr = HandOutNew(ppIndexBuffer, made, [&] {
                return new RecordingIndexBuffer(this, NextName("indexbuffer", indexBuffers_), desc);
            });
        }
        if (hr != D3D_OK && ppIndexBuffer != nullptr) {
            *ppIndexBuffer = nullptr;
        }
    }
    if (logging_)
        Record("CreateIndexBuffer",
           RecordingCallText().Unsigned(Length).Hex(Usage).Format(Format).Pool(Pool).Object(made).Take(), hr);
    return hr;
}

DWORD RecordingDevice::MultiSampleQualityLevels(D3DFORMAT format, D3DMULTISAMPLE_TYPE type)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    if (info == nullptr || (!info->renderTarget && !info->depthBuffer) || type > D3DMULTISAMPLE_16_SAMPLES) {
        return 0;
    }
    return 1;
}

HRESULT RecordingDevice::CheckSurfaceArguments(D3DSurfaceKind kind, UINT width, UINT height, D3DFORMAT format,
                                               D3DPOOL pool, D3DMULTISAMPLE_TYPE multiSample, DWORD quality) const
{
    return CheckD3DSurfaceArguments(caps_, D3DAdapterFormats{}, kind, width, height, format, pool, multiSample,
                                    quality, MultiSampleQualityLevels(format, multiSample));
}

HRESULT RecordingDevice::MakeSurface(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                                     D3DMULTISAMPLE_TYPE multiSample, DWORD quality, bool lockable,
                                     IDirect3DSurface9** surface)
{
    try {
        D3DSURFACE_DESC desc{format, D3DRTYPE_SURFACE, usage, pool, multiSample, quality, width, height};
        auto* made = new RecordingSurface(this, NextName("surface", surfaces_), desc, lockable,
                                          pool == D3DPOOL_DEFAULT);
        made->AddRefExternal();
        *surface = made;
        return D3D_OK;
    } catch (const std::bad_alloc&) {
        *surface = nullptr;
        return D3DERR_OUTOFVIDEOMEMORY;
    }
}

HRESULT RecordingDevice::CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format,
                                            D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality, BOOL Lockable,
                                            IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle)
{
    HRESULT hr = Enter("CreateRenderTarget");
    if (hr == D3D_OK) {
        if (ppSurface == nullptr || pSharedHandle != nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else if ((hr = CheckSurfaceArguments(D3DSurfaceKind::RenderTarget, Width, Height, Format, D3DPOOL_DEFAULT,
                                               MultiSample, MultisampleQuality)) == D3D_OK) {
            // A multisampled target is made when asked lockable, but it cannot be locked.
            hr = MakeSurface(Width, Height, Format, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, MultiSample,
                             MultisampleQuality, Lockable != FALSE && MultiSample == D3DMULTISAMPLE_NONE, ppSurface);
        }
        if (hr != D3D_OK && ppSurface != nullptr) {
            *ppSurface = nullptr;
        }
    }
    if (logging_)
        Record("CreateRenderTarget",
           RecordingCallText()
               .Unsigned(Width)
               .Unsigned(Height)
               .Format(Format)
               .Unsigned(MultiSample)
               .Unsigned(MultisampleQuality)
               .Unsigned(static_cast<UINT>(Lockable))
               .Object(hr == D3D_OK ? OwnSurface(*ppSurface) : nullptr)
               .Take(),
           hr);
    return hr;
}

HRESULT RecordingDevice::CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                                   D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality,
                                                   BOOL Discard, IDirect3DSurface9** ppSurface,
                                                   HANDLE* pSharedHandle)
{
    HRESULT hr = Enter("CreateDepthStencilSurface");
    if (hr == D3D_OK) {
        if (ppSurface == nullptr || pSharedHandle != nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else if ((hr = CheckSurfaceArguments(D3DSurfaceKind::DepthStencil, Width, Height, Format, D3DPOOL_DEFAULT,
                                               MultiSample, MultisampleQuality)) == D3D_OK) {
            hr = MakeSurface(Width, Height, Format, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, MultiSample,
                             MultisampleQuality, false, ppSurface);
        }
        if (hr != D3D_OK && ppSurface != nullptr) {
            *ppSurface = nullptr;
        }
    }
    if (logging_)
        Record("CreateDepthStencilSurface",
           RecordingCallText()
               .Unsigned(Width)
               .Unsigned(Height)
               .Format(Format)
               .Unsigned(MultiSample)
               .Unsigned(MultisampleQuality)
               .Unsigned(static_cast<UINT>(Discard))
               .Object(hr == D3D_OK ? OwnSurface(*ppSurface) : nullptr)
               .Take(),
           hr);
    return hr;
}

HRESULT RecordingDevice::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                                     IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle)
{
    HRESULT hr = Enter("CreateOffscreenPlainSurface");
    if (hr == D3D_OK) {
        if (ppSurface == nullptr || pSharedHandle != nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else if ((hr = CheckSurfaceArguments(D3DSurfaceKind::Plain, Width, Height, Format, Pool,
                                               D3DMULTISAMPLE_NONE, 0)) == D3D_OK) {
            hr = MakeSurface(Width, Height, Format, 0, Pool, D3DMULTISAMPLE_NONE, 0, true, ppSurface);
        }
        if (hr != D3D_OK && ppSurface != nullptr) {
            *ppSurface = nullptr;
        }
    }
    if (logging_)
        Record("CreateOffscreenPlainSurface",
           RecordingCallText()
               .Unsigned(Width)
               .Unsigned(Height)
               .Format(Format)
               .Pool(Pool)
               .Object(hr == D3D_OK ? OwnSurface(*ppSurface) : nullptr)
               .Take(),
           hr);
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Copies between surfaces

HRESULT RecordingDevice::GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface)
{
    HRESULT hr = Enter("GetRenderTargetData");
    RecordingSurface* source = OwnSurface(pRenderTarget);
    RecordingSurface* dest = OwnSurface(pDestSurface);
    if (hr == D3D_OK) {
        if (source == nullptr || dest == nullptr || !source->IsRenderTarget() ||
            source->Desc().MultiSampleType != D3DMULTISAMPLE_NONE || dest->Desc().Pool != D3DPOOL_SYSTEMMEM ||
            source->Desc().Width != dest->Desc().Width || source->Desc().Height != dest->Desc().Height ||
            source->Desc().Format != dest->Desc().Format || source->Image().Locked() || dest->Image().Locked()) {
            hr = D3DERR_INVALIDCALL;
        } else if (IsLost()) {
            hr = D3DERR_DEVICELOST;
        } else {
            RECT all = source->Image().FullRect();
            dest->Image().CopyFrom(source->Image(), all, all);
        }
    }
    if (logging_)
        Record("GetRenderTargetData", RecordingCallText().Object(source).Object(dest).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                     IDirect3DSurface9* pDestSurface, const RECT* pDestRect,
                                     D3DTEXTUREFILTERTYPE Filter)
{
    HRESULT hr = Enter("StretchRect");
    RecordingSurface* source = OwnSurface(pSourceSurface);
    RecordingSurface* dest = OwnSurface(pDestSurface);
    if (hr == D3D_OK) {
        hr = D3DERR_INVALIDCALL;
        if (source != nullptr && dest != nullptr && source != dest && Filter <= D3DTEXF_LINEAR &&
            source->Desc().Pool == D3DPOOL_DEFAULT && dest->Desc().Pool == D3DPOOL_DEFAULT &&
            !source->Image().Locked() && !dest->Image().Locked()) {
            RecordingImage& from = source->Image();
            RecordingImage& to = dest->Image();
            RECT fromRect = pSourceRect != nullptr ? *pSourceRect : from.FullRect();
            RECT toRect = pDestRect != nullptr ? *pDestRect : to.FullRect();
            bool sameSize = fromRect.right - fromRect.left == toRect.right - toRect.left &&
                            fromRect.bottom - fromRect.top == toRect.bottom - toRect.top;
            bool valid = from.ValidRect(fromRect) && to.ValidRect(toRect);
            if (source->IsDepthStencil() || dest->IsDepthStencil()) {
                // Depth: whole surfaces of one format and size, unfiltered, outside a scene.
                valid = valid && source->IsDepthStencil() && dest->IsDepthStencil() && pSourceRect == nullptr &&
                        pDestRect == nullptr && from.Format() == to.Format() && sameSize &&
                        Filter == D3DTEXF_NONE && !inScene_;
            } else if (from.Info().compressed || to.Info().compressed) {
                valid = valid && from.Format() == to.Format() && sameSize;
            } else if (!dest->IsRenderTarget()) {
                // A plain surface takes a copy of another plain surface of its format only; a texture
                // level that is not a render target takes nothing.
                valid = valid && !dest->IsLevel() && !source->IsLevel() && !source->IsRenderTarget() &&
                        from.Format() == to.Format();
            } else {
                valid = valid && RecordingImage::HoldsColour(from.Format()) && RecordingImage::HoldsColour(to.Format());
            }
            if (valid) {
                hr = D3D_OK;
                if (!IsLost()) {
                    to.CopyFrom(from, fromRect, toRect);
                }
            }
        }
    }
    if (logging_)
        Record("StretchRect",
           RecordingCallText().Object(source).Rect(pSourceRect).Object(dest).Rect(pDestRect).Unsigned(Filter).Take(),
           hr);
    return hr;
}

HRESULT RecordingDevice::ColorFill(IDirect3DSurface9* pSurface, const RECT* pRect, D3DCOLOR color)
{
    HRESULT hr = Enter("ColorFill");
    RecordingSurface* surface = OwnSurface(pSurface);
    if (hr == D3D_OK) {
        RECT area = pRect != nullptr ? *pRect : RECT{};
        if (surface != nullptr && pRect == nullptr) {
            area = surface->Image().FullRect();
        }
        if (surface == nullptr || surface->Desc().Pool != D3DPOOL_DEFAULT || surface->IsDepthStencil() ||
            (!surface->IsRenderTarget() && surface->IsLevel()) ||
            !RecordingImage::HoldsColour(surface->Desc().Format) || surface->Image().Locked() ||
            !surface->Image().ValidRect(area)) {
            hr = D3DERR_INVALIDCALL;
        } else if (!IsLost()) {
            surface->Image().FillColour(area, color);
        }
    }
    if (logging_)
        Record("ColorFill", RecordingCallText().Object(surface).Rect(pRect).Hex(color).Take(), hr);
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Targets

UINT RecordingDevice::MaxRenderTargets() const
{
    return caps_.NumSimultaneousRTs == 0 ? 4u : std::min<UINT>(4u, caps_.NumSimultaneousRTs);
}

HRESULT RecordingDevice::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget)
{
    HRESULT hr = Enter("SetRenderTarget");
    RecordingSurface* surface = OwnSurface(pRenderTarget);
    if (hr == D3D_OK) {
        if (RenderTargetIndex >= MaxRenderTargets() || (RenderTargetIndex == 0 && pRenderTarget == nullptr) ||
            (pRenderTarget != nullptr && (surface == nullptr || !surface->IsRenderTarget()))) {
            hr = D3DERR_INVALIDCALL;
        } else {
            renderTargets_[RenderTargetIndex].Set(surface, surface);
            if (RenderTargetIndex == 0) {
                // A new first target resets the viewport and scissor rectangle to all of it.
                const D3DSURFACE_DESC& desc = surface->Desc();
                viewport_ = D3DVIEWPORT9{0, 0, desc.Width, desc.Height, 0.0f, 1.0f};
                scissor_ = RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
            }
        }
    }
    RecordingCallText text;
    text.Unsigned(RenderTargetIndex);
    if (surface != nullptr || pRenderTarget == nullptr) {
        text.Object(surface);
    } else {
        text.Text("foreign");
    }
    if (logging_)
        Record("SetRenderTarget", text.Take(), hr);
    return hr;
}

HRESULT RecordingDevice::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget)
{
    HRESULT hr = Enter("GetRenderTarget");
    if (hr == D3D_OK) {
        if (ppRenderTarget == nullptr || RenderTargetIndex >= MaxRenderTargets()) {
            hr = D3DERR_INVALIDCALL;
        } else if (RecordingSurface* surface = renderTargets_[RenderTargetIndex].Get()) {
            surface->AddRefExternal();
            *ppRenderTarget = surface;
        } else {
            *ppRenderTarget = nullptr;
            hr = D3DERR_NOTFOUND;
        }
    }
    if (logging_)
        Record("GetRenderTarget", RecordingCallText().Unsigned(RenderTargetIndex).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil)
{
    HRESULT hr = Enter("SetDepthStencilSurface");
    RecordingSurface* surface = OwnSurface(pNewZStencil);
    if (hr == D3D_OK) {
        if (pNewZStencil != nullptr && (surface == nullptr || !surface->IsDepthStencil())) {
            hr = D3DERR_INVALIDCALL;
        } else {
            depthStencil_.Set(surface, surface);
        }
    }
    if (logging_)
        Record("SetDepthStencilSurface", RecordingCallText().Object(surface).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface)
{
    HRESULT hr = Enter("GetDepthStencilSurface");
    if (hr == D3D_OK) {
        if (ppZStencilSurface == nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else if (RecordingSurface* surface = depthStencil_.Get()) {
            surface->AddRefExternal();
            *ppZStencilSurface = surface;
        } else {
            *ppZStencilSurface = nullptr;
            hr = D3DERR_NOTFOUND;
        }
    }
    if (logging_)
        Record("GetDepthStencilSurface", std::string(), hr);
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Scenes and clearing

HRESULT RecordingDevice::BeginScene()
{
    HRESULT hr = Enter("BeginScene");
    if (hr == D3D_OK) {
        if (inScene_) {
            hr = D3DERR_INVALIDCALL;
        } else {
            inScene_ = true;
        }
    }
    if (logging_)
        Record("BeginScene", std::string(), hr);
    return hr;
}

HRESULT RecordingDevice::EndScene()
{
    HRESULT hr = Enter("EndScene");
    if (hr == D3D_OK) {
        if (!inScene_) {
            hr = D3DERR_INVALIDCALL;
        } else {
            inScene_ = false;
        }
    }
    if (logging_)
        Record("EndScene", std::string(), hr);
    return hr;
}

HRESULT RecordingDevice::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                               DWORD Stencil)
{
    HRESULT hr = Enter("Clear");
    if (hr == D3D_OK) {
        RecordingSurface* depth = depthStencil_.Get();
        hr = CheckD3DClear(Count, pRects, Flags, Z, depth != nullptr ? depth->Desc().Format : D3DFMT_UNKNOWN);
        if (hr == D3D_OK && !IsLost()) {
            // The area: the viewport, within the scissor rectangle when the scissor test is on, within
            // each given rectangle (none: all of it).
            RECT area{static_cast<LONG>(viewport_.X), static_cast<LONG>(viewport_.Y),
                      static_cast<LONG>(std::min<std::uint64_t>(std::uint64_t{viewport_.X} + viewport_.Width, 0x7FFFFFFF)),
                      static_cast<LONG>(std::min<std::uint64_t>(std::uint64_t{viewport_.Y} + viewport_.Height, 0x7FFFFFFF))};
            if (renderStates_[D3DRS_SCISSORTESTENABLE] != FALSE) {
                area = Intersect(area, scissor_);
            }
            DWORD pieces = Count != 0 ? Count : 1;
            for (DWORD i = 0; i < pieces; ++i) {
                RECT piece = area;
                if (Count != 0) {
                    piece = Intersect(area, RECT{pRects[i].x1, pRects[i].y1, pRects[i].x2, pRects[i].y2});
                }
                if ((Flags & D3DCLEAR_TARGET) != 0) {
                    for (auto& binding : renderTargets_) {
                        RecordingSurface* target = binding.Get();
                        if (target == nullptr || !RecordingImage::HoldsColour(target->Desc().Format)) {
                            continue;
                        }
                        RECT clipped = Intersect(piece, target->Image().FullRect());
                        if (!IsEmpty(clipped)) {
                            target->Image().FillColour(clipped, Color);
                        }
                    }
                }
                // Depth and stencil are checked above but not written: a depth-stencil surface can
                // be neither locked nor copied into anything readable, so its bytes are never seen.
            }
        }
    }
    if (logging_)
        Record("Clear", RecordingCallText().Rects(Count, pRects).Hex(Flags).Hex(Color).Float(Z).Unsigned(Stencil).Take(),
           hr);
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Fixed-function state

HRESULT RecordingDevice::SetViewport(const D3DVIEWPORT9* pViewport)
{
    HRESULT hr = Enter("SetViewport");
    if (hr == D3D_OK) {
        hr = CheckD3DViewport(caps_, pViewport, renderTargets_[0].Get() != nullptr);
        if (hr == D3D_OK) {
            viewport_ = *pViewport;
        }
    }
    RecordingCallText text;
    if (pViewport != nullptr) {
        text.Unsigned(pViewport->X)
            .Unsigned(pViewport->Y)
            .Unsigned(pViewport->Width)
            .Unsigned(pViewport->Height)
            .Float(pViewport->MinZ)
            .Float(pViewport->MaxZ);
    } else {
        text.Text(nullptr);
    }
    if (logging_)
        Record("SetViewport", text.Take(), hr);
    return hr;
}

HRESULT RecordingDevice::GetViewport(D3DVIEWPORT9* pViewport)
{
    HRESULT hr = Enter("GetViewport");
    if (hr == D3D_OK) {
        if (pViewport == nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else {
            *pViewport = viewport_;
        }
    }
    if (logging_)
        Record("GetViewport", std::string(), hr);
    return hr;
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value)
{
    HRESULT hr = Enter("SetRenderState");
    if (hr == D3D_OK) {
        if (FindD3DRenderState(State) == nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else {
            renderStates_[State] = Value;
        }
    }
    if (logging_)
        Record("SetRenderState", RecordingCallText().RenderState(State).Unsigned(Value).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue)
{
    HRESULT hr = Enter("GetRenderState");
    if (hr == D3D_OK) {
        if (pValue == nullptr || FindD3DRenderState(State) == nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else {
            *pValue = renderStates_[State];
        }
    }
    if (logging_)
        Record("GetRenderState", RecordingCallText().RenderState(State).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture)
{
    HRESULT hr = Enter("SetTexture");
    RecordingObject* object = Own<RecordingObject>(pTexture);
    if (hr == D3D_OK) {
        int slot = D3DSamplerSlot(caps_, Stage);
        D3DPOOL pool = D3DPOOL_DEFAULT;
        if (auto* flat = dynamic_cast<RecordingTexture*>(pTexture)) {
            pool = flat->Pool();
        } else if (auto* cube = dynamic_cast<RecordingCubeTexture*>(pTexture)) {
            pool = cube->Pool();
        } else if (auto* volume = dynamic_cast<RecordingVolumeTexture*>(pTexture)) {
            pool = volume->Pool();
        }
        if (slot < 0 || (pTexture != nullptr && (object == nullptr || pool == D3DPOOL_SCRATCH))) {
            hr = D3DERR_INVALIDCALL;
        } else {
            textureStages_[slot].Set(pTexture, object);
        }
    }
    if (logging_)
        Record("SetTexture", RecordingCallText().Unsigned(Stage).Object(object).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture)
{
    HRESULT hr = Enter("GetTexture");
    if (hr == D3D_OK) {
        int slot = D3DSamplerSlot(caps_, Stage);
        if (ppTexture == nullptr || slot < 0) {
            hr = D3DERR_INVALIDCALL;
        } else {
            *ppTexture = textureStages_[slot].Get();
            if (RecordingObject* object = textureStages_[slot].Held()) {
                object->AddRefExternal();
            }
        }
    }
    if (logging_)
        Record("GetTexture", RecordingCallText().Unsigned(Stage).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value)
{
    HRESULT hr = Enter("SetSamplerState");
    if (hr == D3D_OK) {
        int slot = D3DSamplerSlot(caps_, Sampler);
        if (slot < 0 || FindD3DSamplerState(Type) == nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else {
            samplerStates_[slot][Type] = Value;
        }
    }
    if (logging_)
        Record("SetSamplerState", RecordingCallText().Unsigned(Sampler).SamplerState(Type).Unsigned(Value).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue)
{
    HRESULT hr = Enter("GetSamplerState");
    if (hr == D3D_OK) {
        int slot = D3DSamplerSlot(caps_, Sampler);
        if (pValue == nullptr || slot < 0 || FindD3DSamplerState(Type) == nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else {
            *pValue = samplerStates_[slot][Type];
        }
    }
    if (logging_)
        Record("GetSamplerState", RecordingCallText().Unsigned(Sampler).SamplerState(Type).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::SetScissorRect(const RECT* pRect)
{
    HRESULT hr = Enter("SetScissorRect");
    if (hr == D3D_OK) {
        hr = CheckD3DScissorRect(pRect);
        if (hr == D3D_OK) {
            scissor_ = *pRect;
        }
    }
    if (logging_)
        Record("SetScissorRect", RecordingCallText().Rect(pRect).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::GetScissorRect(RECT* pRect)
{
    HRESULT hr = Enter("GetScissorRect");
    if (hr == D3D_OK) {
        if (pRect == nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else {
            *pRect = scissor_;
        }
    }
    if (logging_)
        Record("GetScissorRect", std::string(), hr);
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Drawing

// The layer has no fixed-function pipeline: a draw needs both shaders and a declaration, as on the
// OpenGL device (which also says why in its LastDrawError; here the log shows the refused draw).
HRESULT RecordingDevice::CheckDrawShaders() const
{
    return vertexShader_.Get() != nullptr && pixelShader_.Get() != nullptr && declaration_.Get() != nullptr
               ? D3D_OK
               : D3DERR_INVALIDCALL;
}

HRESULT RecordingDevice::CheckVertices(std::uint64_t first, std::uint64_t count) const
{
    // Every bound stream the declaration reads must hold the vertices drawn; a stream with nothing
    // bound reads as zeros.
    for (const D3DVERTEXELEMENT9& element : declaration_.Get()->Elements()) {
        const Stream& stream = streams_[element.Stream];
        RecordingVertexBuffer* buffer = stream.buffer.Get();
        if (buffer == nullptr) {
            continue;
        }
        std::uint64_t end = stream.offset + std::uint64_t{element.Offset} +
                            RecordingVertexDeclaration::TypeSize(element.Type) +
                            (first + count - 1) * std::uint64_t{stream.stride};
        if (end > buffer->Size()) {
            return D3DERR_INVALIDCALL;
        }
    }
    return D3D_OK;
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount)
{
    HRESULT hr = Enter("DrawPrimitive");
    if (hr == D3D_OK) {
        if (!IsPrimitiveType(PrimitiveType) || PrimitiveCount == 0 || CheckDrawShaders() != D3D_OK ||
            CheckVertices(StartVertex, VertexCount(PrimitiveType, PrimitiveCount)) != D3D_OK) {
            hr = D3DERR_INVALIDCALL;
        }
    }
    if (hr == D3D_OK)
        CountDraw(PrimitiveCount);
    if (logging_)
        RecordDraw("DrawPrimitive",
               RecordingCallText().Primitive(PrimitiveType).Unsigned(StartVertex).Unsigned(PrimitiveCount).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                              UINT MinVertexIndex, UINT NumVertices, UINT startIndex, UINT primCount)
{
    HRESULT hr = Enter("DrawIndexedPrimitive");
    if (hr == D3D_OK) {
        RecordingIndexBuffer* indices = indices_.Get();
        std::int64_t firstVertex = std::int64_t{BaseVertexIndex} + MinVertexIndex;
        if (!IsPrimitiveType(PrimitiveType) || primCount == 0 || NumVertices == 0 || indices == nullptr ||
            firstVertex < 0 || CheckDrawShaders() != D3D_OK ||
            (std::uint64_t{startIndex} + VertexCount(PrimitiveType, primCount)) * indices->IndexSize() >
                indices->Size() ||
            CheckVertices(static_cast<std::uint64_t>(firstVertex), NumVertices) != D3D_OK) {
            hr = D3DERR_INVALIDCALL;
        }
    }
    if (hr == D3D_OK)
        CountDraw(primCount);
    if (logging_)
        RecordDraw("DrawIndexedPrimitive",
               RecordingCallText()
                   .Primitive(PrimitiveType)
                   .Signed(BaseVertexIndex)
                   .Unsigned(MinVertexIndex)
                   .Unsigned(NumVertices)
                   .Unsigned(startIndex)
                   .Unsigned(primCount)
                   .Take(),
               hr);
    return hr;
}

HRESULT RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                         const void* pVertexStreamZeroData, UINT VertexStreamZeroStride)
{
    HRESULT hr = Enter("DrawPrimitiveUP");
    if (hr == D3D_OK) {
        bool onlyStreamZero = true;
        if (declaration_.Get() != nullptr) {
            for (const D3DVERTEXELEMENT9& element : declaration_.Get()->Elements()) {
                onlyStreamZero = onlyStreamZero && element.Stream == 0;
            }
        }
        if (!IsPrimitiveType(PrimitiveType) || PrimitiveCount == 0 || pVertexStreamZeroData == nullptr ||
            VertexStreamZeroStride == 0 || CheckDrawShaders() != D3D_OK || !onlyStreamZero) {
            hr = D3DERR_INVALIDCALL;
        } else {
            // As in Direct3D 9, drawing from user memory leaves stream 0 unbound.
            streams_[0].buffer.Clear();
            streams_[0].offset = 0;
            streams_[0].stride = 0;
        }
    }
    if (hr == D3D_OK)
        CountDraw(PrimitiveCount);
    if (logging_)
        RecordDraw("DrawPrimitiveUP",
               RecordingCallText()
                   .Primitive(PrimitiveType)
                   .Unsigned(PrimitiveCount)
                   .Pointer(pVertexStreamZeroData)
                   .Unsigned(VertexStreamZeroStride)
                   .Take(),
               hr);
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Vertex input

HRESULT RecordingDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                                 IDirect3DVertexDeclaration9** ppDecl)
{
    HRESULT hr = Enter("CreateVertexDeclaration");
    RecordingObject* made = nullptr;
    if (hr == D3D_OK) {
        std::vector<D3DVERTEXELEMENT9> elements;
        if (ppDecl == nullptr ||
            (hr = RecordingVertexDeclaration::ReadElements(pVertexElements, elements)) != D3D_OK) {
            hr = ppDecl == nullptr ? D3DERR_INVALIDCALL : hr;
            if (ppDecl != nullptr) {
                *ppDecl = nullptr;
            }
        } else {
            auto* declaration =
                new RecordingVertexDeclaration(this, NextName("declaration", declarations_), std::move(elements));
            declaration->AddRefExternal();
            *ppDecl = declaration;
            made = declaration;
        }
    }
    if (logging_)
        Record("CreateVertexDeclaration", RecordingCallText().Pointer(pVertexElements).Object(made).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl)
{
    return SetBinding("SetVertexDeclaration", declaration_, pDecl);
}

HRESULT RecordingDevice::GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl)
{
    return GetBinding("GetVertexDeclaration", declaration_, ppDecl);
}

HRESULT RecordingDevice::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                         UINT Stride)
{
    HRESULT hr = Enter("SetStreamSource");
    auto* buffer = Own<RecordingVertexBuffer>(pStreamData);
    if (hr == D3D_OK) {
        hr = CheckD3DStreamSource(caps_, StreamNumber, pStreamData != nullptr, OffsetInBytes, Stride);
        if (hr == D3D_OK && pStreamData != nullptr && buffer == nullptr) {
            hr = D3DERR_INVALIDCALL;
        }
        if (hr == D3D_OK) {
            streams_[StreamNumber].buffer.Set(buffer, buffer);
            // Unbinding changes only the buffer: GetStreamSource still reports the offset and stride
            // the stream had.
            if (buffer != nullptr) {
                streams_[StreamNumber].offset = OffsetInBytes;
                streams_[StreamNumber].stride = Stride;
            }
        }
    }
    if (logging_)
        Record("SetStreamSource",
           RecordingCallText().Unsigned(StreamNumber).Object(buffer).Unsigned(OffsetInBytes).Unsigned(Stride).Take(),
           hr);
    return hr;
}

HRESULT RecordingDevice::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData,
                                         UINT* pOffsetInBytes, UINT* pStride)
{
    HRESULT hr = Enter("GetStreamSource");
    if (hr == D3D_OK) {
        if (StreamNumber >= 16 || ppStreamData == nullptr || pOffsetInBytes == nullptr || pStride == nullptr) {
            hr = D3DERR_INVALIDCALL;
        } else {
            const Stream& stream = streams_[StreamNumber];
            if (stream.buffer.Get() != nullptr) {
                stream.buffer.Get()->AddRefExternal();
            }
            *ppStreamData = stream.buffer.Get();
            *pOffsetInBytes = stream.offset;
            *pStride = stream.stride;
        }
    }
    if (logging_)
        Record("GetStreamSource", RecordingCallText().Unsigned(StreamNumber).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::SetIndices(IDirect3DIndexBuffer9* pIndexData)
{
    return SetBinding("SetIndices", indices_, pIndexData);
}

HRESULT RecordingDevice::GetIndices(IDirect3DIndexBuffer9** ppIndexData)
{
    return GetBinding("GetIndices", indices_, ppIndexData);
}

// ---------------------------------------------------------------------------------------------
// Shaders and uniforms

HRESULT RecordingDevice::CreateVertexShader(const char* pGlslSource, IDirect3DVertexShader9** ppShader,
                                            std::string* pLog)
{
    return CreateShader<RecordingVertexShader>("CreateVertexShader", "vertexshader", vertexShaders_, pGlslSource, ppShader, pLog);
}

HRESULT RecordingDevice::CreatePixelShader(const char* pGlslSource, IDirect3DPixelShader9** ppShader,
                                           std::string* pLog)
{
    return CreateShader<RecordingPixelShader>("CreatePixelShader", "pixelshader", pixelShaders_, pGlslSource, ppShader, pLog);
}

HRESULT RecordingDevice::SetVertexShader(IDirect3DVertexShader9* pShader)
{
    return SetBinding("SetVertexShader", vertexShader_, pShader);
}

HRESULT RecordingDevice::GetVertexShader(IDirect3DVertexShader9** ppShader)
{
    return GetBinding("GetVertexShader", vertexShader_, ppShader);
}

HRESULT RecordingDevice::SetPixelShader(IDirect3DPixelShader9* pShader)
{
    return SetBinding("SetPixelShader", pixelShader_, pShader);
}

HRESULT RecordingDevice::GetPixelShader(IDirect3DPixelShader9** ppShader)
{
    return GetBinding("GetPixelShader", pixelShader_, ppShader);
}

HRESULT RecordingDevice::SetUniformF(const char* pName, const float* pValues, UINT Count)
{
    HRESULT hr = Enter("SetUniformF");
    if (hr == D3D_OK && (pName == nullptr || pValues == nullptr || Count == 0)) {
        hr = D3DERR_INVALIDCALL;
    }
    if (logging_)
        Record("SetUniformF", RecordingCallText().Quoted(pName).Unsigned(Count).Take(), hr);
    return hr;
}

HRESULT RecordingDevice::SetUniformI(const char* pName, const int* pValues, UINT Count)
{
    HRESULT hr = Enter("SetUniformI");
    if (hr == D3D_OK && (pName == nullptr || pValues == nullptr || Count == 0)) {
        hr = D3DERR_INVALIDCALL;
    }
    if (logging_)
        Record("SetUniformI", RecordingCallText().Quoted(pName).Unsigned(Count).Take(), hr);
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Queries

HRESULT RecordingDevice::CreateQuery(D3DQUERYTYPE Type, IDirect3DQuery9** ppQuery)
{
    HRESULT hr = Enter("CreateQuery");
    RecordingObject* made = nullptr;
    if (hr == D3D_OK) {
        if (!RecordingQuery::Supported(Type)) {
            hr = D3DERR_NOTAVAILABLE;
            if (ppQuery != nullptr) {
                *ppQuery = nullptr;
            }
        } else if (ppQuery != nullptr) {
            auto* query = new RecordingQuery(this, NextName("query", queries_), Type);
            query->AddRefExternal();
            *ppQuery = query;
            made = query;
        }
    }
    if (logging_)
        Record("CreateQuery", RecordingCallText().Unsigned(Type).Object(made).Take(), hr);
    return hr;
}

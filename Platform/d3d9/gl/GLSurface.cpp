#include "d3d9/gl/GLSurface.h"

#include "d3d9/D3DFormatInfo.h"
#include "d3d9/D3DValidation.h"
#include "d3d9/gl/GLAdapter.h"
#include "d3d9/gl/GLDevice.h"
#include "d3d9/gl/GLFormat.h"
#include "d3d9/gl/GLTextureStorage.h"

GLSurface::GLSurface(GLDevice* device, Kind kind, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                     bool defaultPool)
    : GLDeviceChild(device, defaultPool), kind_(kind), width_(width), height_(height), format_(format), pool_(pool)
{
}

GLSurface::GLSurface(GLDevice* device, IUnknown* container, GLTextureStorage* storage, UINT layer, UINT level)
    : GLDeviceChild(device, dynamic_cast<GLDeviceChild*>(container)), kind_(Kind::TextureLevel), storage_(storage),
      layer_(layer), level_(level), width_(storage->Width(level)), height_(storage->Height(level)),
      format_(storage->Format()), pool_(storage->Pool()), usage_(storage->Usage())
{
}

HRESULT GLSurface::CreateRenderbuffer(GLDevice* device, UINT width, UINT height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multiSample, DWORD quality, bool depth, bool lockable,
                                      bool defaultPool, GLSurface** surface)
{
    const GLFormat* gl = FindGLFormat(format);
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    if (!gl || !info || (depth ? !info->depthBuffer : !info->renderTarget))
        return D3DERR_NOTAVAILABLE;
    UINT count = 0;
    if (multiSample == D3DMULTISAMPLE_NONMASKABLE) {
        const std::vector<UINT>& counts = GLSampleCounts(GetGLAdapterInfo(), format);
        if (quality >= counts.size())
            return D3DERR_INVALIDCALL;
        count = counts[quality];
    } else if (multiSample != D3DMULTISAMPLE_NONE) {
        count = static_cast<UINT>(multiSample);
    }
    GLSurface* s = new GLSurface(device, Kind::Renderbuffer, width, height, format, D3DPOOL_DEFAULT, defaultPool);
    s->usage_ = depth ? D3DUSAGE_DEPTHSTENCIL : D3DUSAGE_RENDERTARGET;
    s->samples_ = count;
    s->multiSample_ = multiSample;
    s->quality_ = quality;
    // A multisampled surface has no one value per pixel to lock.
    s->lockable_ = lockable && !depth && count == 0;
    device->MakeCurrent();
    while (glGetError() != GL_NO_ERROR) {
    }
    glCreateRenderbuffers(1, &s->renderbuffer_);
    if (count)
        glNamedRenderbufferStorageMultisample(s->renderbuffer_, static_cast<GLsizei>(count), gl->internalFormat,
                                              static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    else
        glNamedRenderbufferStorage(s->renderbuffer_, gl->internalFormat, static_cast<GLsizei>(width),
                                   static_cast<GLsizei>(height));
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        s->Release();
        return error == GL_OUT_OF_MEMORY ? D3DERR_OUTOFVIDEOMEMORY : D3DERR_INVALIDCALL;
    }
    device->ClearNewSurface(s);
    *surface = s;
    return D3D_OK;
}

HRESULT GLSurface::CreateMemory(GLDevice* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                GLSurface** surface)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    if (!info || !info->lockable)
        return D3DERR_NOTAVAILABLE;
    const std::uint64_t size = D3DFormatLevelSize(format, width, height);
    if (size == 0 || size > (std::uint64_t{1} << 31))
        return D3DERR_INVALIDCALL;
    GLSurface* s = new GLSurface(device, Kind::Memory, width, height, format, pool, pool == D3DPOOL_DEFAULT);
    s->memory_.assign(static_cast<size_t>(size), 0);
    *surface = s;
    return D3D_OK;
}

GLSurface::~GLSurface()
{
    if (renderbuffer_ && device_) {
        device_->MakeCurrent();
        glDeleteRenderbuffers(1, &renderbuffer_);
    }
}

void GLSurface::ForgetGLObjects()
{
    renderbuffer_ = 0;
}

ULONG GLSurface::AddRef()
{
    return AddRefExternal();
}

ULONG GLSurface::Release()
{
    return ReleaseExternal();
}

HRESULT GLSurface::GetDesc(D3DSURFACE_DESC* pDesc)
{
    if (!pDesc)
        return D3DERR_INVALIDCALL;
    pDesc->Format = format_;
    pDesc->Type = D3DRTYPE_SURFACE;
    pDesc->Usage = usage_;
    pDesc->Pool = pool_;
    pDesc->MultiSampleType = multiSample_;
    pDesc->MultiSampleQuality = quality_;
    pDesc->Width = width_;
    pDesc->Height = height_;
    return D3D_OK;
}

bool GLSurface::IsRenderTarget() const
{
    return kind_ == Kind::Renderbuffer ? (usage_ & D3DUSAGE_RENDERTARGET) != 0
                                       : kind_ == Kind::TextureLevel && storage_->IsRenderTarget();
}

bool GLSurface::IsDepthStencil() const
{
    return kind_ == Kind::Renderbuffer && (usage_ & D3DUSAGE_DEPTHSTENCIL) != 0;
}

bool GLSurface::HasGLImage() const
{
    return kind_ == Kind::Renderbuffer ? renderbuffer_ != 0 : kind_ == Kind::TextureLevel && storage_->Name() != 0;
}

void GLSurface::Attach(GLuint framebuffer, GLenum attachment) const
{
    if (kind_ == Kind::Renderbuffer)
        glNamedFramebufferRenderbuffer(framebuffer, attachment, GL_RENDERBUFFER, renderbuffer_);
    else if (storage_->Target() == GL_TEXTURE_CUBE_MAP)
        glNamedFramebufferTextureLayer(framebuffer, attachment, storage_->Name(), static_cast<GLint>(level_),
                                       static_cast<GLint>(layer_));
    else
        glNamedFramebufferTexture(framebuffer, attachment, storage_->Name(), static_cast<GLint>(level_));
}

std::uint8_t* GLSurface::CpuBits(UINT* pitch)
{
    *pitch = D3DFormatPitch(format_, width_);
    if (kind_ == Kind::Memory)
        return memory_.data();
    if (kind_ == Kind::TextureLevel && !storage_->Name())
        return storage_->Shadow(layer_, level_).data();
    return nullptr;
}

void GLSurface::CpuBitsChanged()
{
    if (kind_ == Kind::TextureLevel)
        storage_->UploadLevel(layer_, level_);
}

void GLSurface::MarkDrawn()
{
    if (kind_ == Kind::TextureLevel)
        storage_->MarkDrawn();
}

HRESULT GLSurface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags)
{
    return D3DLockResult(Lock(pLockedRect, pRect, Flags), pLockedRect);
}

HRESULT GLSurface::Lock(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags)
{
    if (!pLockedRect)
        return D3DERR_INVALIDCALL;
    if (kind_ == Kind::TextureLevel) {
        D3DBOX box{};
        if (pRect)
            box = {static_cast<UINT>(pRect->left), static_cast<UINT>(pRect->top), static_cast<UINT>(pRect->right),
                   static_cast<UINT>(pRect->bottom), 0, 1};
        if (pRect && (pRect->left < 0 || pRect->top < 0 || pRect->right < 0 || pRect->bottom < 0))
            return D3DERR_INVALIDCALL;
        void* bits = nullptr;
        INT pitch = 0;
        const HRESULT hr = storage_->Lock(layer_, level_, pRect ? &box : nullptr, Flags, &bits, &pitch, nullptr);
        if (hr >= 0) {
            pLockedRect->pBits = bits;
            pLockedRect->Pitch = pitch;
        }
        return hr;
    }
    if (locked_ || (kind_ == Kind::Renderbuffer && !lockable_))
        return D3DERR_INVALIDCALL;
    RECT r = pRect ? *pRect : RECT{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || r.right > static_cast<LONG>(width_) ||
        r.bottom > static_cast<LONG>(height_))
        return D3DERR_INVALIDCALL;
    const D3DFormatInfo* info = FindD3DFormatInfo(format_);
    if (!D3DFormatRectOnBlocks(*info, static_cast<UINT>(r.left), static_cast<UINT>(r.top), static_cast<UINT>(r.right),
                               static_cast<UINT>(r.bottom), width_, height_))
        return D3DERR_INVALIDCALL;
    const UINT pitch = D3DFormatPitch(format_, width_);
    if (kind_ == Kind::Renderbuffer) {
        if (!device_)
            return D3DERR_INVALIDCALL;
        memory_.assign(static_cast<size_t>(pitch) * height_, 0);
        const HRESULT hr = device_->ReadSurface(this, memory_.data(), pitch);
        if (hr < 0)
            return hr;
    }
    locked_ = true;
    lockFlags_ = Flags;
    lockRect_ = r;
    pLockedRect->pBits =
        memory_.data() + D3DFormatTexelOffset(*info, pitch, static_cast<UINT>(r.left), static_cast<UINT>(r.top));
    pLockedRect->Pitch = static_cast<INT>(pitch);
    return D3D_OK;
}

HRESULT GLSurface::UnlockRect()
{
    // A texture's level answers D3D_OK when it is not locked; other surfaces refuse.
    if (kind_ == Kind::TextureLevel)
        return storage_->Unlock(layer_, level_);
    if (!locked_)
        return D3DERR_INVALIDCALL;
    locked_ = false;
    if (kind_ == Kind::Renderbuffer) {
        HRESULT hr = D3D_OK;
        if (!(lockFlags_ & D3DLOCK_READONLY) && device_)
            hr = device_->WriteSurface(this, memory_.data(), D3DFormatPitch(format_, width_));
        memory_.clear();
        memory_.shrink_to_fit();
        return hr;
    }
    return D3D_OK;
}

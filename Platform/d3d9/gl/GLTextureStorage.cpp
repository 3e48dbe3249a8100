#include "d3d9/gl/GLTextureStorage.h"

#include <algorithm>

#include "d3d9/D3DFormatInfo.h"
#include "d3d9/D3DValidation.h"
#include "d3d9/gl/GLAdapter.h"
#include "d3d9/gl/GLDevice.h"
#include "d3d9/gl/GLFormat.h"

GLTextureStorage::GLTextureStorage(GLDevice* device, GLenum target, UINT width, UINT height, UINT depth,
                                   UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device_(device), target_(target), width_(width), height_(height), depth_(depth), levels_(levels),
      glLevels_(levels), usage_(usage), format_(format), pool_(pool),
      autoGenMips_(false)
{
}

GLTextureStorage::~GLTextureStorage()
{
    if (device_ && name_) {
        device_->MakeCurrent();
        device_->State().ForgetTexture(name_);
        glDeleteTextures(1, &name_);
    }
}

void GLTextureStorage::ForgetGLObjects()
{
    name_ = 0;
    device_ = nullptr;
}

UINT GLTextureStorage::Width(UINT level) const
{
    return D3DMipExtent(width_, level);
}

UINT GLTextureStorage::Height(UINT level) const
{
    return D3DMipExtent(height_, level);
}

UINT GLTextureStorage::Depth(UINT level) const
{
    return target_ == GL_TEXTURE_3D ? D3DMipExtent(depth_, level) : 1;
}

HRESULT GLTextureStorage::Create()
{
    info_ = FindD3DFormatInfo(format_);
    gl_ = FindGLFormat(format_);
    const GLAdapterInfo& adapter = GetGLAdapterInfo();
    const D3DRESOURCETYPE type = target_ == GL_TEXTURE_2D         ? D3DRTYPE_TEXTURE
                                 : target_ == GL_TEXTURE_CUBE_MAP ? D3DRTYPE_CUBETEXTURE
                                                                  : D3DRTYPE_VOLUMETEXTURE;
    D3DTextureLevels made;
    const HRESULT hr = CheckD3DTextureArguments(adapter.caps, GLAdapterFormats(adapter), type, width_, height_,
                                                Depth(0), levels_, usage_, format_, pool_, &made);
    if (hr != D3D_OK)
        return hr;
    // Scratch textures are memory only and may hold formats GL has not; every other pool's format is
    // one of the adapter's, which GL has.
    if (!info_ || (!gl_ && pool_ != D3DPOOL_SCRATCH))
        return D3DERR_NOTAVAILABLE;
    // An automatically generated chain keeps all its levels in GL and shows one; a format whose chain
    // cannot be generated keeps its one level.
    autoGenMips_ = made.generated;
    glLevels_ = autoGenMips_ ? D3DFullMipLevelCount(width_, height_, Depth(0)) : made.shown;
    levels_ = made.shown;
    levelData_.resize(static_cast<size_t>(Layers()) * levels_);
    if (pool_ == D3DPOOL_SYSTEMMEM || pool_ == D3DPOOL_SCRATCH || !device_)
        return D3D_OK;

    device_->MakeCurrent();
    while (glGetError() != GL_NO_ERROR) {
    }
    glCreateTextures(target_, 1, &name_);
    if (target_ == GL_TEXTURE_3D)
        glTextureStorage3D(name_, static_cast<GLsizei>(glLevels_), gl_->internalFormat, static_cast<GLsizei>(width_),
                           static_cast<GLsizei>(height_), static_cast<GLsizei>(depth_));
    else
        glTextureStorage2D(name_, static_cast<GLsizei>(glLevels_), gl_->internalFormat, static_cast<GLsizei>(width_),
                           static_cast<GLsizei>(height_));
    glTextureParameteri(name_, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(glLevels_ - 1));
    glTextureParameteriv(name_, GL_TEXTURE_SWIZZLE_RGBA, gl_->swizzle);
    const GLenum error = glGetError();
    if (error == GL_OUT_OF_MEMORY)
        return D3DERR_OUTOFVIDEOMEMORY;
    if (error != GL_NO_ERROR)
        return D3DERR_INVALIDCALL;
    if (IsRenderTarget()) {
        // A new render target reads as black until drawn into.
        const float black[4] = {0, 0, 0, 0};
        for (UINT level = 0; level < glLevels_; ++level)
            glClearTexImage(name_, static_cast<GLint>(level), gl_->format, GL_FLOAT, black);
    }
    return D3D_OK;
}

GLTextureStorage::Level* GLTextureStorage::FindLevel(UINT layer, UINT level)
{
    if (layer >= Layers() || level >= levels_)
        return nullptr;
    return &levelData_[static_cast<size_t>(layer) * levels_ + level];
}

std::vector<std::uint8_t>& GLTextureStorage::Shadow(UINT layer, UINT level)
{
    Level& data = *FindLevel(layer, level);
    if (data.shadow.empty()) {
        const std::uint64_t size = D3DFormatLevelSize(format_, Width(level), Height(level), Depth(level));
        data.shadow.assign(static_cast<size_t>(size), 0);
        if (name_ && device_ && IsRenderTarget() && !gl_->compressed) {
            // Only render targets hold texels that did not come from memory.
            device_->MakeCurrent();
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            if (target_ == GL_TEXTURE_CUBE_MAP)
                glGetTextureSubImage(name_, static_cast<GLint>(level), 0, 0, static_cast<GLint>(layer),
                                     static_cast<GLsizei>(Width(level)), static_cast<GLsizei>(Height(level)), 1,
                                     gl_->format, gl_->type, static_cast<GLsizei>(size), data.shadow.data());
            else
                glGetTextureImage(name_, static_cast<GLint>(level), gl_->format, gl_->type,
                                  static_cast<GLsizei>(size), data.shadow.data());
        }
    }
    return data.shadow;
}

HRESULT GLTextureStorage::Lock(UINT layer, UINT level, const D3DBOX* box, DWORD flags, void** bits, INT* rowPitch,
                               INT* slicePitch)
{
    Level* data = FindLevel(layer, level);
    if (!data || !bits || !rowPitch || data->locked)
        return D3DERR_INVALIDCALL;
    if (IsRenderTarget() || (pool_ == D3DPOOL_DEFAULT && !(usage_ & D3DUSAGE_DYNAMIC)))
        return D3DERR_INVALIDCALL;
    if ((flags & D3DLOCK_DISCARD) && (!(usage_ & D3DUSAGE_DYNAMIC) || (flags & D3DLOCK_READONLY)))
        return D3DERR_INVALIDCALL;
    D3DBOX whole{0, 0, Width(level), Height(level), 0, Depth(level)};
    D3DBOX b = box ? *box : whole;
    if (b.Left >= b.Right || b.Top >= b.Bottom || b.Front >= b.Back || b.Right > whole.Right ||
        b.Bottom > whole.Bottom || b.Back > whole.Back)
        return D3DERR_INVALIDCALL;
    // Whole blocks only (a level smaller than a block is locked whole).
    if (!D3DFormatRectOnBlocks(*info_, b.Left, b.Top, b.Right, b.Bottom, whole.Right, whole.Bottom))
        return D3DERR_INVALIDCALL;
    std::vector<std::uint8_t>& shadow = Shadow(layer, level);
    const UINT pitch = D3DFormatPitch(format_, Width(level));
    const UINT slice = pitch * D3DFormatRowCount(format_, Height(level));
    data->locked = true;
    data->lockFlags = flags;
    data->box = b;
    *bits = shadow.data() + static_cast<size_t>(b.Front) * slice + D3DFormatTexelOffset(*info_, pitch, b.Left, b.Top);
    *rowPitch = static_cast<INT>(pitch);
    if (slicePitch)
        *slicePitch = static_cast<INT>(slice);
    return D3D_OK;
}

HRESULT GLTextureStorage::Unlock(UINT layer, UINT level)
{
    Level* data = FindLevel(layer, level);
    if (!data)
        return D3DERR_INVALIDCALL;
    // A level that is not locked unlocks without complaint, as drivers answer it.
    if (!data->locked)
        return D3D_OK;
    data->locked = false;
    if (!(data->lockFlags & D3DLOCK_READONLY))
        Upload(layer, level, data->box);
    return D3D_OK;
}

void GLTextureStorage::UploadLevel(UINT layer, UINT level)
{
    if (FindLevel(layer, level))
        Upload(layer, level, D3DBOX{0, 0, Width(level), Height(level), 0, Depth(level)});
}

void GLTextureStorage::Upload(UINT layer, UINT level, const D3DBOX& box)
{
    if (!name_ || !device_)
        return;
    device_->MakeCurrent();
    Level& data = *FindLevel(layer, level);
    const GLint lvl = static_cast<GLint>(level);
    if (gl_->compressed) {
        const GLsizei size = static_cast<GLsizei>(data.shadow.size());
        const GLsizei w = static_cast<GLsizei>(Width(level)), h = static_cast<GLsizei>(Height(level));
        if (target_ == GL_TEXTURE_CUBE_MAP)
            glCompressedTextureSubImage3D(name_, lvl, 0, 0, static_cast<GLint>(layer), w, h, 1, gl_->internalFormat,
                                          size, data.shadow.data());
        else
            glCompressedTextureSubImage2D(name_, lvl, 0, 0, w, h, gl_->internalFormat, size, data.shadow.data());
    } else {
        const UINT pitch = D3DFormatPitch(format_, Width(level));
        const UINT slice = pitch * Height(level);
        const std::uint8_t* first =
            data.shadow.data() + static_cast<size_t>(box.Front) * slice + static_cast<size_t>(box.Top) * pitch +
            static_cast<size_t>(box.Left) * info_->bytes;
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(Width(level)));
        glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, static_cast<GLint>(Height(level)));
        const GLsizei w = static_cast<GLsizei>(box.Right - box.Left), h = static_cast<GLsizei>(box.Bottom - box.Top);
        if (target_ == GL_TEXTURE_2D)
            glTextureSubImage2D(name_, lvl, static_cast<GLint>(box.Left), static_cast<GLint>(box.Top), w, h,
                                gl_->format, gl_->type, first);
        else if (target_ == GL_TEXTURE_CUBE_MAP)
            glTextureSubImage3D(name_, lvl, static_cast<GLint>(box.Left), static_cast<GLint>(box.Top),
                                static_cast<GLint>(layer), w, h, 1, gl_->format, gl_->type, first);
        else
            glTextureSubImage3D(name_, lvl, static_cast<GLint>(box.Left), static_cast<GLint>(box.Top),
                                static_cast<GLint>(box.Front), w, h, static_cast<GLsizei>(box.Back - box.Front),
                                gl_->format, gl_->type, first);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, 0);
    }
    if (autoGenMips_)
        mipsStale_ = true;
}

void GLTextureStorage::PrepareForSampling()
{
    if (mipsStale_ && name_) {
        glGenerateTextureMipmap(name_);
        mipsStale_ = false;
    }
}

#include "d3d9/gl/GLBufferStorage.h"

#include <algorithm>

#include "d3d9/D3DValidation.h"
#include "d3d9/gl/GLDevice.h"

GLBufferStorage::GLBufferStorage(GLDevice* device, UINT size, DWORD usage) : device_(device), size_(size), usage_(usage)
{
}

GLBufferStorage::~GLBufferStorage()
{
    if (device_ && name_) {
        device_->MakeCurrent();
        device_->State().ForgetBuffer(name_);
        glDeleteBuffers(1, &name_);
    }
}

void GLBufferStorage::ForgetGLObjects()
{
    name_ = 0;
    device_ = nullptr;
}

HRESULT GLBufferStorage::Create()
{
    if (size_ == 0 || !device_)
        return D3DERR_INVALIDCALL;
    memory_.assign(size_, 0);
    device_->MakeCurrent();
    while (glGetError() != GL_NO_ERROR) {
    }
    glCreateBuffers(1, &name_);
    glNamedBufferData(name_, size_, memory_.data(), (usage_ & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    const GLenum error = glGetError();
    if (error == GL_OUT_OF_MEMORY)
        return D3DERR_OUTOFVIDEOMEMORY;
    return error == GL_NO_ERROR ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT GLBufferStorage::Lock(UINT offset, UINT size, void** data, DWORD flags)
{
    if (!data)
        return D3DERR_INVALIDCALL;
    *data = nullptr;
    if (CheckD3DBufferLockFlags(flags) != D3D_OK)
        return D3DERR_INVALIDCALL;
    if (offset >= size_ || (size != 0 && size > size_ - offset))
        return D3DERR_INVALIDCALL;
    const UINT length = size == 0 ? size_ - offset : size;
    if (!(flags & D3DLOCK_READONLY)) {
        if (locks_ == 0 || dirtyBegin_ == dirtyEnd_) {
            dirtyBegin_ = offset;
            dirtyEnd_ = offset + length;
        } else {
            dirtyBegin_ = std::min(dirtyBegin_, offset);
            dirtyEnd_ = std::max(dirtyEnd_, offset + length);
        }
        if ((flags & D3DLOCK_DISCARD) && (usage_ & D3DUSAGE_DYNAMIC))
            discard_ = true;
    } else if (locks_ == 0) {
        dirtyBegin_ = dirtyEnd_ = 0;
    }
    ++locks_;
    *data = memory_.data() + offset;
    return D3D_OK;
}

HRESULT GLBufferStorage::Unlock()
{
    if (locks_ == 0)
        return D3DERR_INVALIDCALL;
    if (--locks_ != 0)
        return D3D_OK;
    if (!device_ || !name_)
        return D3D_OK;
    if (discard_) {
        // Fresh storage, then the whole buffer: what was outside the locked range is kept too.
        device_->MakeCurrent();
        glNamedBufferData(name_, size_, memory_.data(), GL_DYNAMIC_DRAW);
    } else if (dirtyEnd_ > dirtyBegin_) {
        device_->MakeCurrent();
        glNamedBufferSubData(name_, dirtyBegin_, dirtyEnd_ - dirtyBegin_, memory_.data() + dirtyBegin_);
    }
    discard_ = false;
    dirtyBegin_ = dirtyEnd_ = 0;
    return D3D_OK;
}

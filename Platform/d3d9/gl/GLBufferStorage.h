#pragma once
#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

#include "d3d9/d3d9.h"

class GLDevice;

// The bytes of a vertex or index buffer: a GL buffer and a copy in memory that Lock hands out.
// Unlock uploads what was locked for writing; D3DLOCK_DISCARD gives the GL buffer fresh storage first
// (so draws still reading the old contents are not waited for), D3DLOCK_NOOVERWRITE and plain locks
// write in place, D3DLOCK_READONLY uploads nothing. Locks nest: the union of the ranges is uploaded
// when the last one is unlocked.
class GLBufferStorage {
public:
    GLBufferStorage(GLDevice* device, UINT size, DWORD usage);
    ~GLBufferStorage();
    GLBufferStorage(const GLBufferStorage&) = delete;
    GLBufferStorage& operator=(const GLBufferStorage&) = delete;

    // D3DERR_OUTOFVIDEOMEMORY when GL has no room.
    HRESULT Create();
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT Unlock();
    GLuint Name() const { return name_; }
    UINT Size() const { return size_; }
    void ForgetGLObjects();

private:
    GLDevice* device_;
    UINT size_;
    DWORD usage_;
    GLuint name_ = 0;
    std::vector<std::uint8_t> memory_;
    unsigned locks_ = 0;
    bool discard_ = false;
    UINT dirtyBegin_ = 0, dirtyEnd_ = 0;
};

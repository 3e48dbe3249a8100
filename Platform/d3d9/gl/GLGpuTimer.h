#pragma once
#include <epoxy/gl.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "d3d9/D3DGpuTimer.h"
#include "d3d9/gl/GLDeviceChild.h"

// The GPU timer of the GL device: a stamp is a GL_TIMESTAMP query (glQueryCounter). Queries of
// stamps read or dropped are kept for the next stamps, so that a profiler stamping every pass of
// every frame makes no GL objects once it has made enough.
class GLGpuTimer : public IDirect3DGpuTimer9, public GLDeviceChild {
public:
    explicit GLGpuTimer(GLDevice* device);
    ~GLGpuTimer() override;

    ULONG AddRef() override { return AddRefExternal(); }
    ULONG Release() override { return ReleaseExternal(); }

    HRESULT Stamp(std::uint64_t* pStamp) override;
    HRESULT GetTime(std::uint64_t stamp, std::uint64_t* pNanoseconds, DWORD flags) override;
    HRESULT Drop(std::uint64_t stamp) override;

private:
    void ForgetGLObjects() override;

    std::unordered_map<std::uint64_t, GLuint> pending_; // stamps not yet read, by number
    std::vector<GLuint> spare_;                  // queries free for the next stamps
    std::uint64_t next_ = 1;
};

#include "d3d9/gl/GLGpuTimer.h"

#include "d3d9/gl/GLDevice.h"

GLGpuTimer::GLGpuTimer(GLDevice* device) : GLDeviceChild(device, false) {}

GLGpuTimer::~GLGpuTimer()
{
    if (!device_)
        return;
    device_->MakeCurrent();
    for (const auto& [stamp, query] : pending_)
        glDeleteQueries(1, &query);
    if (!spare_.empty())
        glDeleteQueries(static_cast<GLsizei>(spare_.size()), spare_.data());
}

void GLGpuTimer::ForgetGLObjects()
{
    pending_.clear();
    spare_.clear();
}

HRESULT GLGpuTimer::Stamp(std::uint64_t* pStamp)
{
    if (!device_ || !pStamp)
        return D3DERR_INVALIDCALL;
    if (device_->IsLost())
        return D3DERR_DEVICELOST;
    device_->MakeCurrent();
    GLuint query = 0;
    if (spare_.empty()) {
        glCreateQueries(GL_TIMESTAMP, 1, &query);
    } else {
        query = spare_.back();
        spare_.pop_back();
    }
    // The commands before the stamp go to the GPU first: a renderer that holds draws back until
    // it must (a tiler, llvmpipe's binning) would otherwise do them after the stamp, and their
    // time would count for whatever comes after. Sending on is no wait.
    glFlush();
    glQueryCounter(query, GL_TIMESTAMP);
    *pStamp = next_++;
    pending_.emplace(*pStamp, query);
    return D3D_OK;
}

HRESULT GLGpuTimer::GetTime(std::uint64_t stamp, std::uint64_t* pNanoseconds, DWORD flags)
{
    if (!device_ || !pNanoseconds)
        return D3DERR_INVALIDCALL;
    auto found = pending_.find(stamp);
    if (found == pending_.end())
        return D3DERR_INVALIDCALL;
    device_->MakeCurrent();
    const GLuint query = found->second;
    if (!(flags & D3DGETTIME_WAIT)) {
        GLuint available = GL_FALSE;
        glGetQueryObjectuiv(query, GL_QUERY_RESULT_AVAILABLE, &available);
        if (!available) {
            if (flags & D3DGETDATA_FLUSH)
                glFlush();
            return S_FALSE;
        }
    }
    GLuint64 nanoseconds = 0;
    glGetQueryObjectui64v(query, GL_QUERY_RESULT, &nanoseconds);
    *pNanoseconds = nanoseconds;
    spare_.push_back(query);
    pending_.erase(found);
    return D3D_OK;
}

HRESULT GLGpuTimer::Drop(std::uint64_t stamp)
{
    if (!device_)
        return D3DERR_INVALIDCALL;
    auto found = pending_.find(stamp);
    if (found == pending_.end())
        return D3DERR_INVALIDCALL;
    spare_.push_back(found->second);
    pending_.erase(found);
    return D3D_OK;
}

HRESULT D3DCreateGpuTimer(IDirect3DDevice9* device, IDirect3DGpuTimer9** ppTimer)
{
    if (!device || !ppTimer)
        return D3DERR_INVALIDCALL;
    *ppTimer = nullptr;
    auto* gl = dynamic_cast<GLDevice*>(device);
    if (!gl)
        return D3DERR_NOTAVAILABLE;
    gl->MakeCurrent();
    GLint bits = 0;
    glGetQueryiv(GL_TIMESTAMP, GL_QUERY_COUNTER_BITS, &bits);
    if (bits <= 0)
        return D3DERR_NOTAVAILABLE;
    *ppTimer = new GLGpuTimer(gl);
    return D3D_OK;
}

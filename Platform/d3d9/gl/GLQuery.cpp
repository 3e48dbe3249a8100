#include "d3d9/gl/GLQuery.h"

#include "d3d9/D3DValidation.h"
#include "d3d9/gl/GLDevice.h"

GLQuery::GLQuery(GLDevice* device, D3DQUERYTYPE type) : GLDeviceChild(device, false), type_(type)
{
    device_->MakeCurrent();
    if (type_ == D3DQUERYTYPE_OCCLUSION)
        glCreateQueries(GL_SAMPLES_PASSED, 1, &query_);
}

GLQuery::~GLQuery()
{
    if (!device_)
        return;
    device_->MakeCurrent();
    if (state_ == State::Building) {
        device_->EndOcclusionQuery(this);
        glEndQuery(GL_SAMPLES_PASSED);
    }
    if (query_)
        glDeleteQueries(1, &query_);
    DeleteFence();
}

void GLQuery::ForgetGLObjects()
{
    query_ = 0;
    fence_ = nullptr;
}

void GLQuery::DeleteFence()
{
    if (fence_)
        glDeleteSync(fence_);
    fence_ = nullptr;
}

void GLQuery::EndIfActive()
{
    if (state_ == State::Building) {
        glEndQuery(GL_SAMPLES_PASSED);
        state_ = State::Issued;
    }
}

HRESULT GLQuery::Issue(DWORD dwIssueFlags)
{
    if (!device_ || (dwIssueFlags != D3DISSUE_BEGIN && dwIssueFlags != D3DISSUE_END))
        return D3DERR_INVALIDCALL;
    device_->MakeCurrent();
    if (type_ == D3DQUERYTYPE_EVENT) {
        if (dwIssueFlags != D3DISSUE_END)
            return D3DERR_INVALIDCALL;
        DeleteFence();
        fence_ = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        state_ = State::Issued;
        everIssued_ = true;
        return D3D_OK;
    }
    if (dwIssueFlags == D3DISSUE_BEGIN) {
        if (state_ == State::Building)
            glEndQuery(GL_SAMPLES_PASSED);
        device_->BeginOcclusionQuery(this);
        glBeginQuery(GL_SAMPLES_PASSED, query_);
        state_ = State::Building;
        return D3D_OK;
    }
    if (state_ == State::Building) {
        device_->EndOcclusionQuery(this);
        glEndQuery(GL_SAMPLES_PASSED);
        state_ = State::Issued;
        everIssued_ = true;
    } else {
        // END without BEGIN: an empty interval, nothing counted.
        state_ = State::Signaled;
        everIssued_ = true;
        result_ = 0;
    }
    return D3D_OK;
}

HRESULT GLQuery::GetData(void* pData, DWORD dwSize, DWORD dwGetDataFlags)
{
    if (!device_)
        return D3DERR_INVALIDCALL;
    if (const HRESULT hr = CheckD3DQueryGetData(pData, dwSize, dwGetDataFlags); hr != D3D_OK)
        return hr;
    if (device_->IsLost())
        return D3DERR_DEVICELOST;
    // A query never issued, or between BEGIN and END, has nothing to report yet.
    if (state_ == State::Building || !everIssued_)
        return S_FALSE;
    device_->MakeCurrent();
    if (state_ == State::Issued) {
        if (type_ == D3DQUERYTYPE_OCCLUSION) {
            GLuint available = GL_FALSE;
            glGetQueryObjectuiv(query_, GL_QUERY_RESULT_AVAILABLE, &available);
            if (!available) {
                if (dwGetDataFlags & D3DGETDATA_FLUSH)
                    glFlush();
                return S_FALSE;
            }
            GLuint samples = 0;
            glGetQueryObjectuiv(query_, GL_QUERY_RESULT, &samples);
            result_ = samples;
        } else {
            const GLbitfield flush = (dwGetDataFlags & D3DGETDATA_FLUSH) ? GL_SYNC_FLUSH_COMMANDS_BIT : 0;
            const GLenum status = glClientWaitSync(fence_, flush, 0);
            if (status == GL_TIMEOUT_EXPIRED)
                return S_FALSE;
            DeleteFence();
            result_ = TRUE;
        }
        state_ = State::Signaled;
    }
    // As much of the result as the caller has room for.
    D3DCopyQueryResult(&result_, GetDataSize(), pData, dwSize);
    return S_OK;
}

#pragma once
#include <epoxy/gl.h>

#include "d3d9/gl/GLDeviceChild.h"

// A query of the GL device: D3DQUERYTYPE_OCCLUSION (GL_SAMPLES_PASSED: samples that passed the depth
// and stencil tests between BEGIN and END) or D3DQUERYTYPE_EVENT (a fence: done when the GPU has
// finished everything before END).
class GLQuery : public IDirect3DQuery9, public GLDeviceChild {
public:
    ULONG AddRef() override { return AddRefExternal(); }
    ULONG Release() override { return ReleaseExternal(); }
    static bool Supported(D3DQUERYTYPE type)
    {
        return type == D3DQUERYTYPE_OCCLUSION || type == D3DQUERYTYPE_EVENT;
    }
    GLQuery(GLDevice* device, D3DQUERYTYPE type);
    ~GLQuery() override;

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceInterface(ppDevice); }
    D3DQUERYTYPE GetType() override { return type_; }
    DWORD GetDataSize() override { return type_ == D3DQUERYTYPE_OCCLUSION ? sizeof(DWORD) : sizeof(BOOL); }
    HRESULT Issue(DWORD dwIssueFlags) override;
    HRESULT GetData(void* pData, DWORD dwSize, DWORD dwGetDataFlags) override;

    // The device ends an open occlusion query when another begins (GL allows one at a time).
    void EndIfActive();

private:
    enum class State { Signaled, Building, Issued };
    void ForgetGLObjects() override;
    void DeleteFence();

    D3DQUERYTYPE type_;
    GLuint query_ = 0;
    GLsync fence_ = nullptr;
    State state_ = State::Signaled;
    bool everIssued_ = false;
    DWORD result_ = 0;
};

#pragma once
#include <epoxy/gl.h>

#include <cstdint>

#include "d3d9/gl/GLDeviceChild.h"

// A compiled GLSL stage of the GL device (vertex or pixel, after the interface). The device links
// pairs of them into programs on first draw; a shader going away takes its programs with it.
template <class Interface>
class GLShader : public Interface, public GLDeviceChild {
public:
    ULONG AddRef() override { return AddRefExternal(); }
    ULONG Release() override { return ReleaseExternal(); }
    GLShader(GLDevice* device, GLuint name, std::uint64_t id) : GLDeviceChild(device, false), name_(name), id_(id) {}
    ~GLShader() override;

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceInterface(ppDevice); }

    GLuint Name() const { return name_; }
    // Unique over the process: programs are cached by the pair of ids.
    std::uint64_t Id() const { return id_; }

private:
    void ForgetGLObjects() override { name_ = 0; }

    GLuint name_;
    std::uint64_t id_;
};

using GLVertexShader = GLShader<IDirect3DVertexShader9>;
using GLPixelShader = GLShader<IDirect3DPixelShader9>;

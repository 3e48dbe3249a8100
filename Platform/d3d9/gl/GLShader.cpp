#include "d3d9/gl/GLShader.h"

#include "d3d9/gl/GLDevice.h"

template <class Interface>
GLShader<Interface>::~GLShader()
{
    if (device_) {
        device_->MakeCurrent();
        device_->ForgetShader(id_);
        if (name_)
            glDeleteShader(name_);
    }
}

template class GLShader<IDirect3DVertexShader9>;
template class GLShader<IDirect3DPixelShader9>;

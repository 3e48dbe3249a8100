#pragma once
#include <epoxy/gl.h>

#include "d3d9/d3d9types.h"

// How a Direct3D format lives in GL: the internal format of textures and renderbuffers, the
// format and type of its memory layout for uploads and read-backs, and the swizzle that gives
// sampling Direct3D's values for the missing channels (X8R8G8B8, X1R5G5B5 and R5G6B5 read alpha 1,
// L8 reads the luminance in red, green and blue, R16F and G16R16F read 1 in the channels they lack).
// Every format the adapter offers (D3DFormatInfo's uses) has one.
struct GLFormat {
    GLenum internalFormat = 0;
    GLenum format = 0; // 0 for compressed formats
    GLenum type = 0;
    GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
    bool compressed = false;
    GLbitfield attachmentBits = GL_COLOR_BUFFER_BIT; // or the depth/stencil bits
};

// Null for a format the GL device does not support.
const GLFormat* FindGLFormat(D3DFORMAT format);

// The attachment point of a depth or depth-stencil format.
GLenum GLDepthAttachment(D3DFORMAT format);

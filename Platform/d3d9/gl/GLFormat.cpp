#include "d3d9/gl/GLFormat.h"

namespace {

struct Entry {
    D3DFORMAT d3d;
    GLFormat gl;
};

GLFormat Colour(GLenum internalFormat, GLenum format, GLenum type, GLint r, GLint g, GLint b, GLint a)
{
    GLFormat f;
    f.internalFormat = internalFormat;
    f.format = format;
    f.type = type;
    f.swizzle[0] = r;
    f.swizzle[1] = g;
    f.swizzle[2] = b;
    f.swizzle[3] = a;
    return f;
}

GLFormat Compressed(GLenum internalFormat)
{
    GLFormat f;
    f.internalFormat = internalFormat;
    f.compressed = true;
    return f;
}

GLFormat Depth(GLenum internalFormat, GLenum format, GLenum type, GLbitfield bits)
{
    GLFormat f;
    f.internalFormat = internalFormat;
    f.format = format;
    f.type = type;
    f.attachmentBits = bits;
    return f;
}

// Direct3D's A8R8G8B8 is the bytes B, G, R, A in memory: GL's BGRA with unsigned bytes.
const Entry kEntries[] = {
    {D3DFMT_A8R8G8B8, Colour(GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA)},
    {D3DFMT_X8R8G8B8, Colour(GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, GL_RED, GL_GREEN, GL_BLUE, GL_ONE)},
    // The 16-bit formats are one little-endian word each, the first channel named in the highest
    // bits: GL's 5_6_5 puts red there; the _REV types put the last BGRA channel (alpha) there.
    {D3DFMT_R5G6B5, Colour(GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, GL_RED, GL_GREEN, GL_BLUE, GL_ONE)},
    {D3DFMT_X1R5G5B5,
     Colour(GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, GL_RED, GL_GREEN, GL_BLUE, GL_ONE)},
    {D3DFMT_A1R5G5B5,
     Colour(GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA)},
    {D3DFMT_A4R4G4B4,
     Colour(GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA)},
    {D3DFMT_L8, Colour(GL_R8, GL_RED, GL_UNSIGNED_BYTE, GL_RED, GL_RED, GL_RED, GL_ONE)},
    {D3DFMT_R16F, Colour(GL_R16F, GL_RED, GL_HALF_FLOAT, GL_RED, GL_ONE, GL_ONE, GL_ONE)},
    {D3DFMT_G16R16F, Colour(GL_RG16F, GL_RG, GL_HALF_FLOAT, GL_RED, GL_GREEN, GL_ONE, GL_ONE)},
    {D3DFMT_A16B16G16R16F, Colour(GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA)},
    {D3DFMT_DXT1, Compressed(GL_COMPRESSED_RGBA_S3TC_DXT1_EXT)},
    {D3DFMT_DXT3, Compressed(GL_COMPRESSED_RGBA_S3TC_DXT3_EXT)},
    {D3DFMT_DXT5, Compressed(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT)},
    // D24S8 keeps depth in the top 24 bits and stencil in the low byte, as GL's 24_8 does.
    {D3DFMT_D24S8, Depth(GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8,
                         GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT)},
    {D3DFMT_D16, Depth(GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, GL_DEPTH_BUFFER_BIT)},
};

} // namespace

const GLFormat* FindGLFormat(D3DFORMAT format)
{
    for (const Entry& entry : kEntries)
        if (entry.d3d == format)
            return &entry.gl;
    return nullptr;
}

GLenum GLDepthAttachment(D3DFORMAT format)
{
    return format == D3DFMT_D24S8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
}

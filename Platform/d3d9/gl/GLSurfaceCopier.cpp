#include "d3d9/gl/GLSurfaceCopier.h"

#include "d3d9/gl/GLFormat.h"
#include "d3d9/gl/GLStateCache.h"
#include "d3d9/gl/GLSurface.h"

// The one save and restore of state around a copy: GL's blits and clears pass the write masks and
// the scissor test, so those are opened for it, and the device applies its own again afterwards.
class GLSurfaceCopier::Scope {
public:
    explicit Scope(GLSurfaceCopier& copier) : copier_(copier)
    {
        copier_.statesChanged_ = true;
        GLStateCache& state = copier_.state_;
        state.Enable(GL_SCISSOR_TEST, false);
        state.ColorMask(0, 0xF);
        state.DepthMask(true);
        state.StencilWriteMask(0xFF);
    }
    ~Scope() { copier_.Detach(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    GLSurfaceCopier& copier_;
};

GLSurfaceCopier::GLSurfaceCopier(GLStateCache& state, bool& statesChanged)
    : state_(state), statesChanged_(statesChanged)
{
}

void GLSurfaceCopier::CreateFramebuffers()
{
    glCreateFramebuffers(1, &read_);
    glCreateFramebuffers(1, &draw_);
}

void GLSurfaceCopier::DeleteFramebuffers()
{
    const GLuint fbos[] = {read_, draw_};
    glDeleteFramebuffers(2, fbos);
    read_ = draw_ = 0;
}

void GLSurfaceCopier::Detach()
{
    for (GLuint fbo : {read_, draw_}) {
        glNamedFramebufferRenderbuffer(fbo, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
        glNamedFramebufferRenderbuffer(fbo, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    }
}

void GLSurfaceCopier::BlitColour(const RECT& s, GLuint drawFbo, const RECT& d, GLenum filter)
{
    glNamedFramebufferReadBuffer(read_, GL_COLOR_ATTACHMENT0);
    if (drawFbo != 0)
        glNamedFramebufferDrawBuffer(drawFbo, GL_COLOR_ATTACHMENT0);
    glBlitNamedFramebuffer(read_, drawFbo, s.left, s.top, s.right, s.bottom, d.left, d.top, d.right, d.bottom,
                           GL_COLOR_BUFFER_BIT, filter);
}

void GLSurfaceCopier::ClearNew(GLSurface* surface)
{
    Scope scope(*this);
    if (surface->IsDepthStencil()) {
        surface->Attach(draw_, GLDepthAttachment(surface->Format()));
        glNamedFramebufferDrawBuffer(draw_, GL_NONE);
        if (surface->Format() == D3DFMT_D24S8) {
            glClearNamedFramebufferfi(draw_, GL_DEPTH_STENCIL, 0, 1.f, 0);
        } else {
            const float one = 1.f;
            glClearNamedFramebufferfv(draw_, GL_DEPTH, 0, &one);
        }
    } else {
        const float black[4] = {0, 0, 0, 0};
        surface->Attach(draw_, GL_COLOR_ATTACHMENT0);
        glNamedFramebufferDrawBuffer(draw_, GL_COLOR_ATTACHMENT0);
        glClearNamedFramebufferfv(draw_, GL_COLOR, 0, black);
    }
}

void GLSurfaceCopier::Blit(GLSurface* src, const RECT& s, GLSurface* dst, const RECT& d, GLbitfield mask,
                           GLenum filter)
{
    Scope scope(*this);
    if (mask == GL_COLOR_BUFFER_BIT) {
        src->Attach(read_, GL_COLOR_ATTACHMENT0);
        dst->Attach(draw_, GL_COLOR_ATTACHMENT0);
        BlitColour(s, draw_, d, filter);
    } else {
        const GLenum attachment = GLDepthAttachment(src->Format());
        src->Attach(read_, attachment);
        dst->Attach(draw_, attachment);
        glBlitNamedFramebuffer(read_, draw_, s.left, s.top, s.right, s.bottom, d.left, d.top, d.right, d.bottom,
                               mask, filter);
    }
    dst->MarkDrawn();
}

GLuint GLSurfaceCopier::Resolve(GLSurface* surface)
{
    const GLFormat* gl = FindGLFormat(surface->Format());
    GLuint temporary = 0;
    glCreateRenderbuffers(1, &temporary);
    glNamedRenderbufferStorage(temporary, gl->internalFormat, static_cast<GLsizei>(surface->Width()),
                               static_cast<GLsizei>(surface->Height()));
    surface->Attach(read_, GL_COLOR_ATTACHMENT0);
    glNamedFramebufferRenderbuffer(draw_, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, temporary);
    const RECT all{0, 0, static_cast<LONG>(surface->Width()), static_cast<LONG>(surface->Height())};
    BlitColour(all, draw_, all, GL_NEAREST);
    Detach();
    glNamedFramebufferRenderbuffer(read_, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, temporary);
    return temporary;
}

void GLSurfaceCopier::BlitResolved(GLSurface* src, const RECT& s, GLSurface* dst, const RECT& d, GLenum filter)
{
    Scope scope(*this);
    const GLuint temporary = Resolve(src);
    dst->Attach(draw_, GL_COLOR_ATTACHMENT0);
    BlitColour(s, draw_, d, filter);
    Detach();
    glDeleteRenderbuffers(1, &temporary);
    dst->MarkDrawn();
}

void GLSurfaceCopier::Read(GLSurface* surface, GLenum format, GLenum type, GLint rowTexels, std::uint8_t* bits)
{
    Scope scope(*this);
    GLuint temporary = 0;
    if (surface->Samples() > 0)
        temporary = Resolve(surface);
    else
        surface->Attach(read_, GL_COLOR_ATTACHMENT0);
    glNamedFramebufferReadBuffer(read_, GL_COLOR_ATTACHMENT0);
    state_.BindReadFramebuffer(read_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, rowTexels);
    glReadPixels(0, 0, static_cast<GLsizei>(surface->Width()), static_cast<GLsizei>(surface->Height()), format, type,
                 bits);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    if (temporary) {
        Detach();
        glDeleteRenderbuffers(1, &temporary);
    }
}

void GLSurfaceCopier::Write(GLSurface* surface, GLenum internalFormat, GLenum format, GLenum type, GLint rowTexels,
                            const std::uint8_t* bits)
{
    Scope scope(*this);
    // Through a texture of the memory's contents, blitted onto the surface.
    const GLsizei w = static_cast<GLsizei>(surface->Width()), h = static_cast<GLsizei>(surface->Height());
    GLuint texture = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &texture);
    glTextureStorage2D(texture, 1, internalFormat, w, h);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowTexels);
    glTextureSubImage2D(texture, 0, 0, 0, w, h, format, type, bits);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glNamedFramebufferTexture(read_, GL_COLOR_ATTACHMENT0, texture, 0);
    surface->Attach(draw_, GL_COLOR_ATTACHMENT0);
    const RECT all{0, 0, w, h};
    BlitColour(all, draw_, all, GL_NEAREST);
    Detach();
    state_.ForgetTexture(texture);
    glDeleteTextures(1, &texture);
    surface->MarkDrawn();
}

void GLSurfaceCopier::StretchMemory(const GLFormat& gl, UINT texelBytes, const std::uint8_t* src, UINT srcWidth,
                                    UINT srcHeight, UINT srcPitch, const RECT& s, std::uint8_t* dst, UINT dstPitch,
                                    const RECT& d, GLenum filter)
{
    Scope scope(*this);
    const GLsizei width = d.right - d.left, height = d.bottom - d.top;
    GLuint textures[2] = {};
    glCreateTextures(GL_TEXTURE_2D, 2, textures);
    glTextureStorage2D(textures[0], 1, gl.internalFormat, static_cast<GLsizei>(srcWidth),
                       static_cast<GLsizei>(srcHeight));
    glTextureStorage2D(textures[1], 1, gl.internalFormat, width, height);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(srcPitch / texelBytes));
    glTextureSubImage2D(textures[0], 0, 0, 0, static_cast<GLsizei>(srcWidth), static_cast<GLsizei>(srcHeight),
                        gl.format, gl.type, src);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glNamedFramebufferTexture(read_, GL_COLOR_ATTACHMENT0, textures[0], 0);
    glNamedFramebufferTexture(draw_, GL_COLOR_ATTACHMENT0, textures[1], 0);
    BlitColour(s, draw_, RECT{0, 0, width, height}, filter);
    // The scaled rectangle straight into its place in the destination's rows.
    std::uint8_t* first = dst + static_cast<size_t>(d.top) * dstPitch + static_cast<size_t>(d.left) * texelBytes;
    const size_t bytes = static_cast<size_t>(height - 1) * dstPitch + static_cast<size_t>(width) * texelBytes;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(dstPitch / texelBytes));
    glGetTextureImage(textures[1], 0, gl.format, gl.type, static_cast<GLsizei>(bytes), first);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    Detach();
    for (GLuint texture : textures)
        state_.ForgetTexture(texture);
    glDeleteTextures(2, textures);
}

void GLSurfaceCopier::Fill(GLSurface* surface, const RECT& r, const float colour[4])
{
    Scope scope(*this);
    surface->Attach(draw_, GL_COLOR_ATTACHMENT0);
    glNamedFramebufferDrawBuffer(draw_, GL_COLOR_ATTACHMENT0);
    state_.Enable(GL_SCISSOR_TEST, true);
    state_.Scissor(r.left, r.top, r.right - r.left, r.bottom - r.top);
    glClearNamedFramebufferfv(draw_, GL_COLOR, 0, colour);
    surface->MarkDrawn();
}

void GLSurfaceCopier::KeepFrame(GLSurface* backBuffer, GLuint frame)
{
    Scope scope(*this);
    backBuffer->Attach(read_, GL_COLOR_ATTACHMENT0);
    glNamedFramebufferRenderbuffer(draw_, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, frame);
    const RECT all{0, 0, static_cast<LONG>(backBuffer->Width()), static_cast<LONG>(backBuffer->Height())};
    BlitColour(all, draw_, all, GL_NEAREST);
}

void GLSurfaceCopier::ShowFrame(GLuint frame, const RECT& s, const RECT& d, int windowHeight)
{
    Scope scope(*this);
    glNamedFramebufferRenderbuffer(read_, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, frame);
    const bool scaled = (s.right - s.left) != (d.right - d.left) || (s.bottom - s.top) != (d.bottom - d.top);
    const RECT upright{d.left, windowHeight - d.top, d.right, windowHeight - d.bottom};
    BlitColour(s, 0, upright, scaled ? GL_LINEAR : GL_NEAREST);
}

void GLSurfaceCopier::ReadFrame(GLuint frame, UINT width, UINT height, std::uint8_t* bgra)
{
    Scope scope(*this);
    glNamedFramebufferRenderbuffer(read_, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, frame);
    glNamedFramebufferReadBuffer(read_, GL_COLOR_ATTACHMENT0);
    state_.BindReadFramebuffer(read_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_BGRA, GL_UNSIGNED_BYTE, bgra);
}

#pragma once
#include <epoxy/gl.h>

#include <cstdint>

#include "d3d9/d3d9.h"

struct GLFormat;
class GLStateCache;
class GLSurface;

// The GL device's copies, clears and reads of surfaces outside its own framebuffer, through two
// scratch framebuffers (one read from, one drawn into). Each operation runs inside one scope that
// opens what GL's blits and clears obey (the scissor test off, every colour, depth and stencil bit
// writable) and afterwards takes the surfaces off the scratch framebuffers and tells the device
// that the state its draws set up has changed (`statesChanged`), so that the next draw applies it
// again.
//
// Rows are GL's: with the device's upper-left origin, GL's row 0 is the top of every surface.
class GLSurfaceCopier {
public:
    GLSurfaceCopier(GLStateCache& state, bool& statesChanged);
    GLSurfaceCopier(const GLSurfaceCopier&) = delete;
    GLSurfaceCopier& operator=(const GLSurfaceCopier&) = delete;

    // The scratch framebuffers, made and deleted with the device's context current.
    void CreateFramebuffers();
    void DeleteFramebuffers();

    // A new renderbuffer: black (colour), or depth 1 and stencil 0.
    void ClearNew(GLSurface* surface);
    // Rectangle s of src onto rectangle d of dst; mask is GL_COLOR_BUFFER_BIT or the depth format's
    // bits. A multisampled colour source is copied 1:1 only (see BlitResolved).
    void Blit(GLSurface* src, const RECT& s, GLSurface* dst, const RECT& d, GLbitfield mask, GLenum filter);
    // Colour of a multisampled source, resolved first, onto any destination at any scale.
    void BlitResolved(GLSurface* src, const RECT& s, GLSurface* dst, const RECT& d, GLenum filter);
    // The whole surface from or to memory laid out as `format`/`type`, `rowTexels` texels a row.
    void Read(GLSurface* surface, GLenum format, GLenum type, GLint rowTexels, std::uint8_t* bits);
    void Write(GLSurface* surface, GLenum internalFormat, GLenum format, GLenum type, GLint rowTexels,
               const std::uint8_t* bits);
    // Rectangle s of an image in memory (srcWidth x srcHeight texels of `gl`'s layout, rows srcPitch
    // bytes apart) onto rectangle d of another image of the same layout, scaled through two
    // textures; the destination's texels outside d keep their bytes.
    void StretchMemory(const GLFormat& gl, UINT texelBytes, const std::uint8_t* src, UINT srcWidth, UINT srcHeight,
                       UINT srcPitch, const RECT& s, std::uint8_t* dst, UINT dstPitch, const RECT& d, GLenum filter);
    // Colour (red, green, blue, alpha) into rectangle r of a colour surface.
    void Fill(GLSurface* surface, const RECT& r, const float colour[4]);

    // Present: the back buffer, resolved, into the renderbuffer that keeps the frame readable ...
    void KeepFrame(GLSurface* backBuffer, GLuint frame);
    // ... and rectangle s of that frame onto rectangle d of the window, whose rows start at the
    // bottom: the frame is turned upright there (filtered when scaled).
    void ShowFrame(GLuint frame, const RECT& s, const RECT& d, int windowHeight);
    // A kept frame of width x height as B, G, R, A bytes, rows from the top.
    void ReadFrame(GLuint frame, UINT width, UINT height, std::uint8_t* bgra);

private:
    class Scope;

    // A single-sample copy of a multisampled colour surface in a new renderbuffer (the caller
    // deletes it), left attached to the read framebuffer.
    GLuint Resolve(GLSurface* surface);
    // Colour attachment 0 of both framebuffers selected, then one blit from read_ to `drawFbo`.
    void BlitColour(const RECT& s, GLuint drawFbo, const RECT& d, GLenum filter);
    void Detach();

    GLStateCache& state_;
    bool& statesChanged_;
    GLuint read_ = 0, draw_ = 0;
};

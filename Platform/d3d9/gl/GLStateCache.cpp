#include "d3d9/gl/GLStateCache.h"

#include <cstring>

namespace {

int CapBit(GLenum cap)
{
    switch (cap) {
    case GL_BLEND: return 0;
    case GL_DEPTH_TEST: return 1;
    case GL_STENCIL_TEST: return 2;
    case GL_CULL_FACE: return 3;
    case GL_SCISSOR_TEST: return 4;
    case GL_POLYGON_OFFSET_FILL: return 5;
    case GL_SAMPLE_MASK: return 6;
    case GL_PROGRAM_POINT_SIZE: return 7;
    case GL_TEXTURE_CUBE_MAP_SEAMLESS: return 8;
    case GL_FRAMEBUFFER_SRGB: return 9;
    case GL_POLYGON_OFFSET_LINE: return 10;
    case GL_POLYGON_OFFSET_POINT: return 11;
    case GL_MULTISAMPLE: return 12;
    default: return -1;
    }
}

} // namespace

void GLStateCache::Enable(GLenum cap, bool on)
{
    const int bit = CapBit(cap);
    if (bit < 0) {
        on ? glEnable(cap) : glDisable(cap);
        return;
    }
    // GL_MULTISAMPLE starts enabled in GL (enabled_ starts with its bit); every other tracked cap
    // starts disabled.
    const std::uint32_t mask = 1u << bit;
    if (((enabled_ & mask) != 0) == on)
        return;
    enabled_ ^= mask;
    on ? glEnable(cap) : glDisable(cap);
}

void GLStateCache::BlendFunc(GLenum srcRgb, GLenum dstRgb, GLenum srcAlpha, GLenum dstAlpha)
{
    if (blend_[0] == srcRgb && blend_[1] == dstRgb && blend_[2] == srcAlpha && blend_[3] == dstAlpha)
        return;
    blend_[0] = srcRgb, blend_[1] = dstRgb, blend_[2] = srcAlpha, blend_[3] = dstAlpha;
    glBlendFuncSeparate(srcRgb, dstRgb, srcAlpha, dstAlpha);
}

void GLStateCache::BlendEquation(GLenum rgb, GLenum alpha)
{
    if (blendEq_[0] == rgb && blendEq_[1] == alpha)
        return;
    blendEq_[0] = rgb, blendEq_[1] = alpha;
    glBlendEquationSeparate(rgb, alpha);
}

void GLStateCache::BlendColor(const float rgba[4])
{
    if (std::memcmp(blendColor_, rgba, sizeof blendColor_) == 0)
        return;
    std::memcpy(blendColor_, rgba, sizeof blendColor_);
    glBlendColor(rgba[0], rgba[1], rgba[2], rgba[3]);
}

void GLStateCache::DepthFunc(GLenum func)
{
    if (depthFunc_ != func)
        glDepthFunc(depthFunc_ = func);
}

void GLStateCache::DepthMask(bool write)
{
    if (depthMask_ != write)
        glDepthMask((depthMask_ = write) ? GL_TRUE : GL_FALSE);
}

void GLStateCache::ColorMask(unsigned target, std::uint32_t bits)
{
    if (target >= kTargets || colorMask_[target] == (bits & 0xF))
        return;
    colorMask_[target] = bits & 0xF;
    glColorMaski(target, (bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0);
}

void GLStateCache::StencilFunc(GLenum face, GLenum func, GLint ref, GLuint mask)
{
    StencilFace& s = stencil_[face == GL_BACK ? 1 : 0];
    if (s.func == func && s.ref == ref && s.mask == mask)
        return;
    s.func = func, s.ref = ref, s.mask = mask;
    glStencilFuncSeparate(face, func, ref, mask);
}

void GLStateCache::StencilOp(GLenum face, GLenum stencilFail, GLenum depthFail, GLenum pass)
{
    StencilFace& s = stencil_[face == GL_BACK ? 1 : 0];
    if (s.fail == stencilFail && s.depthFail == depthFail && s.pass == pass)
        return;
    s.fail = stencilFail, s.depthFail = depthFail, s.pass = pass;
    glStencilOpSeparate(face, stencilFail, depthFail, pass);
}

void GLStateCache::StencilWriteMask(GLuint mask)
{
    if (stencilWriteMask_ != mask)
        glStencilMask(stencilWriteMask_ = mask);
}

void GLStateCache::CullFace(GLenum face)
{
    if (cullFace_ != face)
        glCullFace(cullFace_ = face);
}

void GLStateCache::FrontFace(GLenum winding)
{
    if (frontFace_ != winding)
        glFrontFace(frontFace_ = winding);
}

void GLStateCache::PolygonMode(GLenum mode)
{
    if (polygonMode_ != mode)
        glPolygonMode(GL_FRONT_AND_BACK, polygonMode_ = mode);
}

void GLStateCache::PolygonOffset(float factor, float units)
{
    if (polygonOffset_[0] == factor && polygonOffset_[1] == units)
        return;
    polygonOffset_[0] = factor, polygonOffset_[1] = units;
    glPolygonOffset(factor, units);
}

void GLStateCache::SampleMask(GLuint mask)
{
    if (sampleMask_ != mask)
        glSampleMaski(0, sampleMask_ = mask);
}

void GLStateCache::Viewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (viewport_[0] == x && viewport_[1] == y && viewport_[2] == width && viewport_[3] == height)
        return;
    viewport_[0] = x, viewport_[1] = y, viewport_[2] = width, viewport_[3] = height;
    glViewport(x, y, width, height);
}

void GLStateCache::DepthRange(float nearZ, float farZ)
{
    if (depthRange_[0] == nearZ && depthRange_[1] == farZ)
        return;
    depthRange_[0] = nearZ, depthRange_[1] = farZ;
    glDepthRangef(nearZ, farZ);
}

void GLStateCache::Scissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (scissor_[0] == x && scissor_[1] == y && scissor_[2] == width && scissor_[3] == height)
        return;
    scissor_[0] = x, scissor_[1] = y, scissor_[2] = width, scissor_[3] = height;
    glScissor(x, y, width, height);
}

void GLStateCache::UseProgram(GLuint program)
{
    if (program_ != program)
        glUseProgram(program_ = program);
}

void GLStateCache::BindDrawFramebuffer(GLuint framebuffer)
{
    if (drawFramebuffer_ != framebuffer)
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, drawFramebuffer_ = framebuffer);
}

void GLStateCache::BindReadFramebuffer(GLuint framebuffer)
{
    if (readFramebuffer_ != framebuffer)
        glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer_ = framebuffer);
}

void GLStateCache::BindTextureUnit(unsigned unit, GLuint texture)
{
    if (unit < kUnits && textures_[unit] != texture)
        glBindTextureUnit(unit, textures_[unit] = texture);
}

void GLStateCache::BindSampler(unsigned unit, GLuint sampler)
{
    if (unit < kUnits && samplers_[unit] != sampler)
        glBindSampler(unit, samplers_[unit] = sampler);
}

void GLStateCache::VertexBuffer(unsigned binding, GLuint buffer, GLintptr offset, GLsizei stride)
{
    if (binding >= kBindings)
        return;
    Binding& b = bindings_[binding];
    if (b.buffer == buffer && b.offset == offset && b.stride == stride)
        return;
    b.buffer = buffer, b.offset = offset, b.stride = stride;
    glVertexArrayVertexBuffer(vao_, binding, buffer, offset, stride);
}

void GLStateCache::ElementBuffer(GLuint buffer)
{
    if (elementBuffer_ != buffer)
        glVertexArrayElementBuffer(vao_, elementBuffer_ = buffer);
}

void GLStateCache::EnableAttrib(unsigned location, bool on)
{
    if (location >= kAttribs || attribs_[location].enabled == on)
        return;
    attribs_[location].enabled = on;
    on ? glEnableVertexArrayAttrib(vao_, location) : glDisableVertexArrayAttrib(vao_, location);
}

void GLStateCache::AttribFormat(unsigned location, GLint size, GLenum type, bool normalized, bool integer,
                                GLuint offset, unsigned binding)
{
    if (location >= kAttribs)
        return;
    Attrib& a = attribs_[location];
    if (a.size != size || a.type != type || a.normalized != normalized || a.integer != integer || a.offset != offset) {
        a.size = size, a.type = type, a.normalized = normalized, a.integer = integer, a.offset = offset;
        if (integer)
            glVertexArrayAttribIFormat(vao_, location, size, type, offset);
        else
            glVertexArrayAttribFormat(vao_, location, size, type, normalized ? GL_TRUE : GL_FALSE, offset);
    }
    if (a.binding != binding)
        glVertexArrayAttribBinding(vao_, location, a.binding = binding);
}

void GLStateCache::ForgetTexture(GLuint texture)
{
    for (GLuint& bound : textures_)
        if (bound == texture)
            bound = 0;
}

void GLStateCache::ForgetBuffer(GLuint buffer)
{
    for (Binding& b : bindings_)
        if (b.buffer == buffer)
            b.buffer = 0;
    if (elementBuffer_ == buffer)
        elementBuffer_ = 0;
}

void GLStateCache::ForgetFramebuffer(GLuint framebuffer)
{
    if (drawFramebuffer_ == framebuffer)
        drawFramebuffer_ = 0;
    if (readFramebuffer_ == framebuffer)
        readFramebuffer_ = 0;
}

void GLStateCache::ForgetProgram(GLuint program)
{
    if (program_ == program)
        program_ = 0;
}

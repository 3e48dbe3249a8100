#pragma once
#include <epoxy/gl.h>

#include <array>
#include <cstdint>

// The GL state of one context as the device last set it, so that a draw only reaches GL for what
// differs from the draw before. Everything the device changes goes through here; the values start
// as GL's defaults for a new context (plus the vertex array object the device binds once).
class GLStateCache {
public:
    static constexpr unsigned kUnits = 20;    // samplers 0..15 and vertex samplers 0..3
    static constexpr unsigned kAttribs = 32;  // vertex attribute locations tracked
    static constexpr unsigned kBindings = 16; // vertex streams
    static constexpr unsigned kTargets = 4;

    void Enable(GLenum cap, bool on);
    void BlendFunc(GLenum srcRgb, GLenum dstRgb, GLenum srcAlpha, GLenum dstAlpha);
    void BlendEquation(GLenum rgb, GLenum alpha);
    void BlendColor(const float rgba[4]);
    void DepthFunc(GLenum func);
    void DepthMask(bool write);
    void ColorMask(unsigned target, std::uint32_t rgbaBits);
    void StencilFunc(GLenum face, GLenum func, GLint ref, GLuint mask); // face GL_FRONT or GL_BACK
    void StencilOp(GLenum face, GLenum stencilFail, GLenum depthFail, GLenum pass);
    void StencilWriteMask(GLuint mask);
    void CullFace(GLenum face);
    void FrontFace(GLenum winding);
    void PolygonMode(GLenum mode);
    void PolygonOffset(float factor, float units);
    void SampleMask(GLuint mask);
    void Viewport(GLint x, GLint y, GLsizei width, GLsizei height);
    void DepthRange(float nearZ, float farZ);
    void Scissor(GLint x, GLint y, GLsizei width, GLsizei height);
    void UseProgram(GLuint program);
    void BindDrawFramebuffer(GLuint framebuffer);
    void BindReadFramebuffer(GLuint framebuffer);
    void BindTextureUnit(unsigned unit, GLuint texture);
    void BindSampler(unsigned unit, GLuint sampler);

    // Vertex input of the one vertex array object (vao).
    void SetVertexArray(GLuint vao) { vao_ = vao; }
    void VertexBuffer(unsigned binding, GLuint buffer, GLintptr offset, GLsizei stride);
    void ElementBuffer(GLuint buffer);
    void EnableAttrib(unsigned location, bool on);
    // integer: glVertexArrayAttribIFormat (for int inputs); otherwise glVertexArrayAttribFormat.
    void AttribFormat(unsigned location, GLint size, GLenum type, bool normalized, bool integer, GLuint offset,
                      unsigned binding);

    // A GL object the cache may think bound has been deleted.
    void ForgetTexture(GLuint texture);
    void ForgetBuffer(GLuint buffer);
    void ForgetFramebuffer(GLuint framebuffer);
    void ForgetProgram(GLuint program);

private:
    struct Attrib {
        bool enabled = false;
        GLint size = 0;
        GLenum type = 0;
        bool normalized = false;
        bool integer = false;
        GLuint offset = 0;
        unsigned binding = ~0u;
    };
    struct Binding {
        GLuint buffer = 0;
        GLintptr offset = 0;
        GLsizei stride = 0;
    };
    struct StencilFace {
        GLenum func = GL_ALWAYS;
        GLint ref = 0;
        GLuint mask = ~0u;
        GLenum fail = GL_KEEP, depthFail = GL_KEEP, pass = GL_KEEP;
    };

    // The enabled caps, by the bits CapBit gives them; GL starts with GL_MULTISAMPLE (bit 12) on.
    std::uint32_t enabled_ = 1u << 12;
    GLenum blend_[4] = {GL_ONE, GL_ZERO, GL_ONE, GL_ZERO};
    GLenum blendEq_[2] = {GL_FUNC_ADD, GL_FUNC_ADD};
    float blendColor_[4] = {0, 0, 0, 0};
    GLenum depthFunc_ = GL_LESS;
    bool depthMask_ = true;
    std::array<std::uint32_t, kTargets> colorMask_{0xF, 0xF, 0xF, 0xF};
    StencilFace stencil_[2];
    GLuint stencilWriteMask_ = ~0u;
    GLenum cullFace_ = GL_BACK;
    GLenum frontFace_ = GL_CCW;
    GLenum polygonMode_ = GL_FILL;
    float polygonOffset_[2] = {0, 0};
    GLuint sampleMask_ = ~0u;
    GLint viewport_[4] = {-1, -1, -1, -1};
    float depthRange_[2] = {0, 1};
    GLint scissor_[4] = {-1, -1, -1, -1};
    GLuint program_ = 0;
    GLuint drawFramebuffer_ = 0;
    GLuint readFramebuffer_ = 0;
    std::array<GLuint, kUnits> textures_{};
    std::array<GLuint, kUnits> samplers_{};
    GLuint vao_ = 0;
    GLuint elementBuffer_ = 0;
    std::array<Attrib, kAttribs> attribs_{};
    std::array<Binding, kBindings> bindings_{};
};

#pragma once
#include <epoxy/gl.h>

#include <string>

// The names the layer adds to a vertex shader. orvala_PixelOffset moves every vertex by half a
// pixel right and down, (1/width, -1/height) in clip space for the current viewport: Direct3D 9
// puts pixel centres on integer coordinates where GL has them at +0.5, so geometry placed for
// Direct3D's rule covers the same pixels here. Then clip-space y is turned over: the device draws
// with GL's lower-left clip origin, and the turn puts clip-space y = +1 on image row 0, the top
// of the screen (see GLDevice.cpp). orvala_PointSize carries D3DRS_POINTSIZE to shaders
// that do not write gl_PointSize themselves.
inline constexpr const char* kPixelOffsetUniform = "orvala_PixelOffset";
inline constexpr const char* kPointSizeUniform = "orvala_PointSize";

// The vertex shader as GL compiles it: `#version 450 core` when the text names no version, the
// application's `main` renamed and called from a `main` of the layer that applies the pixel-centre
// offset (and the point size). False when the text has no `void main(`.
bool WrapVertexShaderSource(const std::string& source, std::string& wrapped);
// The pixel shader as GL compiles it: only the version line added when missing.
std::string WrapPixelShaderSource(const std::string& source);

// Compiles one stage; 0 with the compiler's log in *log when it fails.
GLuint CompileGLShader(GLenum stage, const std::string& source, std::string* log);

#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <utility>

#include "d3d9/gl/GLProgram.h"

// The programs of a device, linked on first use of a (vertex shader, pixel shader) pair and kept
// until one of the two goes away.
class GLProgramCache {
public:
    // The program of the pair, linked now when new (check Name() for a failed link).
    GLProgram& Get(std::uint64_t vertexId, GLuint vertexShader, std::uint64_t pixelId, GLuint pixelShader);
    // Deletes the programs a shader is part of (the GL context must be current).
    void ForgetShader(std::uint64_t id);
    void ForgetGLObjects();
    void Clear() { programs_.clear(); }

private:
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::unique_ptr<GLProgram>> programs_;
};

#pragma once
#include <epoxy/gl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "d3d9/gl/GLUniformStore.h"

// A linked (vertex shader, pixel shader) pair: its vertex inputs by usage, its uniforms, and what it
// last received of the device's uniform values, so that a draw uploads only what changed.
class GLProgram {
public:
    struct Input {
        GLuint location;
        unsigned char usage;
        unsigned char usageIndex;
        bool integer; // an int/uint input: fed without conversion to float
    };

    // Links; on failure Name() is 0 and Log() tells why.
    GLProgram(GLuint vertexShader, GLuint pixelShader);
    ~GLProgram();
    GLProgram(const GLProgram&) = delete;
    GLProgram& operator=(const GLProgram&) = delete;

    GLuint Name() const { return name_; }
    const std::string& Log() const { return log_; }
    const std::vector<Input>& Inputs() const { return inputs_; }

    // Uploads the device values that changed since this program last saw them.
    void SyncUniforms(const GLUniformStore& store);
    void SetPixelOffset(float x, float y);
    void SetPointSize(float size);
    void ForgetGLObjects() { name_ = 0; }

private:
    struct Uniform {
        std::string name;
        GLint location;
        GLenum type;
        GLint size; // array elements
        const GLUniformStore::Value* value = nullptr;
        std::uint64_t seen = 0;
    };
    void Upload(const Uniform& u, const GLUniformStore::Value& v);

    GLuint name_ = 0;
    std::string log_;
    std::vector<Input> inputs_;
    std::vector<Uniform> uniforms_;
    std::uint64_t syncedSerial_ = ~std::uint64_t{0};
    GLint pixelOffsetLocation_ = -1;
    GLint pointSizeLocation_ = -1;
    float pixelOffset_[2] = {0, 0};
    float pointSize_ = 1;
};

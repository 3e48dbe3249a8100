#include "d3d9/gl/GLProgram.h"

#include <algorithm>

#include "d3d9/gl/GLShaderSource.h"
#include "d3d9/gl/GLVertexDeclaration.h"

namespace {

// Components per element of a uniform type and whether it takes ints; 0 for types not uploaded.
int Components(GLenum type, bool& integer, bool& matrix)
{
    integer = false;
    matrix = false;
    switch (type) {
    case GL_FLOAT: return 1;
    case GL_FLOAT_VEC2: return 2;
    case GL_FLOAT_VEC3: return 3;
    case GL_FLOAT_VEC4: return 4;
    case GL_FLOAT_MAT2: matrix = true; return 4;
    case GL_FLOAT_MAT3: matrix = true; return 9;
    case GL_FLOAT_MAT4: matrix = true; return 16;
    case GL_FLOAT_MAT4x3: matrix = true; return 12;
    case GL_FLOAT_MAT3x4: matrix = true; return 12;
    case GL_INT:
    case GL_BOOL: integer = true; return 1;
    case GL_INT_VEC2:
    case GL_BOOL_VEC2: integer = true; return 2;
    case GL_INT_VEC3:
    case GL_BOOL_VEC3: integer = true; return 3;
    case GL_INT_VEC4:
    case GL_BOOL_VEC4: integer = true; return 4;
    case GL_SAMPLER_1D:
    case GL_SAMPLER_2D:
    case GL_SAMPLER_3D:
    case GL_SAMPLER_CUBE:
    case GL_SAMPLER_2D_SHADOW:
    case GL_SAMPLER_2D_ARRAY:
    case GL_INT_SAMPLER_2D:
    case GL_UNSIGNED_INT_SAMPLER_2D: integer = true; return 1;
    default: return 0;
    }
}

bool IsIntegerInput(GLenum type)
{
    switch (type) {
    case GL_INT:
    case GL_INT_VEC2:
    case GL_INT_VEC3:
    case GL_INT_VEC4:
    case GL_UNSIGNED_INT:
    case GL_UNSIGNED_INT_VEC2:
    case GL_UNSIGNED_INT_VEC3:
    case GL_UNSIGNED_INT_VEC4: return true;
    default: return false;
    }
}

} // namespace

GLProgram::GLProgram(GLuint vertexShader, GLuint pixelShader)
{
    name_ = glCreateProgram();
    glAttachShader(name_, vertexShader);
    glAttachShader(name_, pixelShader);
    for (GLuint target = 0; target < 4; ++target)
        glBindFragDataLocation(name_, target, ("COLOR" + std::to_string(target)).c_str());
    glLinkProgram(name_);
    glDetachShader(name_, vertexShader);
    glDetachShader(name_, pixelShader);
    GLint ok = GL_FALSE;
    glGetProgramiv(name_, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        GLint length = 0;
        glGetProgramiv(name_, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> text(static_cast<size_t>(std::max(length, 1)), '\0');
        glGetProgramInfoLog(name_, static_cast<GLsizei>(text.size()), nullptr, text.data());
        log_ = text.data();
        glDeleteProgram(name_);
        name_ = 0;
        return;
    }

    GLint count = 0;
    glGetProgramInterfaceiv(name_, GL_PROGRAM_INPUT, GL_ACTIVE_RESOURCES, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[128];
        glGetProgramResourceName(name_, GL_PROGRAM_INPUT, static_cast<GLuint>(i), sizeof name, nullptr, name);
        const GLenum props[] = {GL_TYPE, GL_LOCATION};
        GLint values[2] = {0, -1};
        glGetProgramResourceiv(name_, GL_PROGRAM_INPUT, static_cast<GLuint>(i), 2, props, 2, nullptr, values);
        BYTE usage = 0, usageIndex = 0;
        if (values[1] < 0 || !ParseVertexInputName(name, usage, usageIndex))
            continue; // built-ins and inputs of other names read GL's default (0, 0, 0, 1)
        inputs_.push_back(
            {static_cast<GLuint>(values[1]), usage, usageIndex, IsIntegerInput(static_cast<GLenum>(values[0]))});
    }

    glGetProgramInterfaceiv(name_, GL_UNIFORM, GL_ACTIVE_RESOURCES, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[256];
        glGetProgramResourceName(name_, GL_UNIFORM, static_cast<GLuint>(i), sizeof name, nullptr, name);
        const GLenum props[] = {GL_TYPE, GL_ARRAY_SIZE, GL_LOCATION, GL_BLOCK_INDEX};
        GLint values[4] = {0, 0, -1, -1};
        glGetProgramResourceiv(name_, GL_UNIFORM, static_cast<GLuint>(i), 4, props, 4, nullptr, values);
        if (values[2] < 0 || values[3] != -1)
            continue;
        std::string uniform = name;
        if (uniform.size() > 3 && uniform.compare(uniform.size() - 3, 3, "[0]") == 0)
            uniform.resize(uniform.size() - 3);
        if (uniform == kPixelOffsetUniform) {
            pixelOffsetLocation_ = values[2];
            continue;
        }
        if (uniform == kPointSizeUniform) {
            pointSizeLocation_ = values[2];
            continue;
        }
        uniforms_.push_back({uniform, values[2], static_cast<GLenum>(values[0]), std::max(values[1], 1)});
    }
}

GLProgram::~GLProgram()
{
    if (name_)
        glDeleteProgram(name_);
}

void GLProgram::SyncUniforms(const GLUniformStore& store)
{
    if (syncedSerial_ == store.Serial())
        return;
    for (Uniform& u : uniforms_) {
        if (!u.value)
            u.value = store.Find(u.name);
        if (u.value && u.value->serial != u.seen) {
            Upload(u, *u.value);
            u.seen = u.value->serial;
        }
    }
    syncedSerial_ = store.Serial();
}

void GLProgram::Upload(const Uniform& u, const GLUniformStore::Value& v)
{
    bool integer = false, matrix = false;
    const int components = Components(u.type, integer, matrix);
    const size_t given = v.isInt ? v.ints.size() : v.floats.size();
    if (components == 0 || given < static_cast<size_t>(components))
        return;
    const GLsizei n = static_cast<GLsizei>(std::min<size_t>(given / static_cast<size_t>(components),
                                                            static_cast<size_t>(u.size)));
    if (integer) {
        std::vector<int> converted;
        const int* data = v.ints.data();
        if (!v.isInt) {
            converted.assign(v.floats.begin(), v.floats.end());
            data = converted.data();
        }
        switch (components) {
        case 1: glProgramUniform1iv(name_, u.location, n, data); break;
        case 2: glProgramUniform2iv(name_, u.location, n, data); break;
        case 3: glProgramUniform3iv(name_, u.location, n, data); break;
        default: glProgramUniform4iv(name_, u.location, n, data); break;
        }
        return;
    }
    std::vector<float> converted;
    const float* data = v.floats.data();
    if (v.isInt) {
        converted.assign(v.ints.begin(), v.ints.end());
        data = converted.data();
    }
    // Matrices are in D3DX's row-major memory order and go up as they are (no transposition),
    // so that GLSL's M * v computes D3DX's v * M.
    switch (u.type) {
    case GL_FLOAT: glProgramUniform1fv(name_, u.location, n, data); break;
    case GL_FLOAT_VEC2: glProgramUniform2fv(name_, u.location, n, data); break;
    case GL_FLOAT_VEC3: glProgramUniform3fv(name_, u.location, n, data); break;
    case GL_FLOAT_VEC4: glProgramUniform4fv(name_, u.location, n, data); break;
    case GL_FLOAT_MAT2: glProgramUniformMatrix2fv(name_, u.location, n, GL_FALSE, data); break;
    case GL_FLOAT_MAT3: glProgramUniformMatrix3fv(name_, u.location, n, GL_FALSE, data); break;
    case GL_FLOAT_MAT4: glProgramUniformMatrix4fv(name_, u.location, n, GL_FALSE, data); break;
    case GL_FLOAT_MAT4x3: glProgramUniformMatrix4x3fv(name_, u.location, n, GL_FALSE, data); break;
    case GL_FLOAT_MAT3x4: glProgramUniformMatrix3x4fv(name_, u.location, n, GL_FALSE, data); break;
    default: break;
    }
}

void GLProgram::SetPixelOffset(float x, float y)
{
    if (pixelOffsetLocation_ < 0 || (pixelOffset_[0] == x && pixelOffset_[1] == y))
        return;
    pixelOffset_[0] = x;
    pixelOffset_[1] = y;
    glProgramUniform2f(name_, pixelOffsetLocation_, x, y);
}

void GLProgram::SetPointSize(float size)
{
    if (pointSizeLocation_ < 0 || pointSize_ == size)
        return;
    pointSize_ = size;
    glProgramUniform1f(name_, pointSizeLocation_, size);
}

#include "d3d9/gl/GLShaderSource.h"

#include <regex>
#include <vector>

namespace {

bool HasVersion(const std::string& source)
{
    static const std::regex version(R"(^\s*#\s*version\b)", std::regex::multiline);
    return std::regex_search(source, version);
}

std::string WithVersion(const std::string& source)
{
    return HasVersion(source) ? source : "#version 450 core\n" + source;
}

} // namespace

bool WrapVertexShaderSource(const std::string& source, std::string& wrapped)
{
    static const std::regex mainDefinition(R"(\bvoid(\s+)main(\s*)\()");
    if (!std::regex_search(source, mainDefinition))
        return false;
    const bool writesPointSize = source.find("gl_PointSize") != std::string::npos;
    wrapped = WithVersion(std::regex_replace(source, mainDefinition, "void$1orvala_main$2("));
    wrapped += "\n#line 100000\nuniform vec2 orvala_PixelOffset;\n";
    if (!writesPointSize)
        wrapped += "uniform float orvala_PointSize = 1.0;\n";
    wrapped += "void main()\n{\n";
    if (!writesPointSize)
        wrapped += "    gl_PointSize = orvala_PointSize;\n";
    wrapped += "    orvala_main();\n    gl_Position.xy += orvala_PixelOffset * gl_Position.w;\n    gl_Position.y = -gl_Position.y;\n}\n";
    return true;
}

std::string WrapPixelShaderSource(const std::string& source)
{
    return WithVersion(source);
}

GLuint CompileGLShader(GLenum stage, const std::string& source, std::string* log)
{
    GLuint shader = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE)
        return shader;
    if (log) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> text(static_cast<size_t>(length > 0 ? length : 1), '\0');
        glGetShaderInfoLog(shader, static_cast<GLsizei>(text.size()), nullptr, text.data());
        *log = text.data();
    }
    glDeleteShader(shader);
    return 0;
}

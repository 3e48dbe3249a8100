#include "d3d9/gl/GLProgramCache.h"

GLProgram& GLProgramCache::Get(std::uint64_t vertexId, GLuint vertexShader, std::uint64_t pixelId, GLuint pixelShader)
{
    std::unique_ptr<GLProgram>& slot = programs_[{vertexId, pixelId}];
    if (!slot)
        slot = std::make_unique<GLProgram>(vertexShader, pixelShader);
    return *slot;
}

void GLProgramCache::ForgetShader(std::uint64_t id)
{
    for (auto it = programs_.begin(); it != programs_.end();) {
        if (it->first.first == id || it->first.second == id)
            it = programs_.erase(it);
        else
            ++it;
    }
}

void GLProgramCache::ForgetGLObjects()
{
    for (auto& entry : programs_)
        entry.second->ForgetGLObjects();
    programs_.clear();
}

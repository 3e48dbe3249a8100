#pragma once
// The GLSL the device compiles for an effect's shaders, and the way back from a GLSL compiler's
// messages to the effect's own files and lines.
#include <string>
#include <vector>

#include "d3dx9/EffectModel.h"
#include "d3dx9/EffectParser.h"

// The GLSL type of a numeric or sampler parameter ("mat4", "vec3", "sampler2D"); empty for
// textures and strings, which have none.
std::string EffectGlslType(const EffectParameter& parameter);

// Fills glsl, lines and parameters of every shader of the model from the blocks.
void GenerateEffectShaders(EffectModel& model, const std::vector<EffectCodeBlock>& blocks);

// A compiler log of the shader rewritten line by line: a message that names "0:<line>" (glslang's
// "ERROR: 0:12: ..." and Mesa's "0:12(5): error: ...") becomes "<file>(<line>): error: <message>"
// with the effect's file and line; other lines are kept, prefixed with the shader's first place.
std::string MapGlslLog(const EffectModel& model, const EffectShader& shader, const std::string& log);

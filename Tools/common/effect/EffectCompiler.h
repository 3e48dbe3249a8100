#pragma once
// The effect compiler of orvala-tool: reads an effect source from disk (includes from the source's
// folder and the -I folders), builds the model as the run time does, checks every shader and every
// pass's pair of shaders with glslang (GLSL 4.50 core) and reports problems as
// "<file>(<line>): error: <message>" in the effect's own files and lines.
#include <filesystem>
#include <string>
#include <vector>

#include "d3dx9/EffectError.h"
#include "d3dx9/EffectModel.h"

// "x" includes are looked for next to the including file, then in the source's folder, then in
// the include folders in order; <x> includes in the include folders, then the source's folder.
bool CompileEffectFile(const std::filesystem::path& source, const std::vector<std::filesystem::path>& includeFolders,
                       EffectModel& model, EffectErrors& errors);

// glslang's verdict on every shader and on the vertex/pixel pair of every pass, including
// variables a pixel shader reads that its pass's vertex shader does not write.
bool CheckEffectGlsl(const EffectModel& model, EffectErrors& errors);

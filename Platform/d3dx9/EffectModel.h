#pragma once
// What an effect holds once its source is parsed or its object read: parameters with their
// annotations and sampler states, the GLSL of its shaders and its techniques with their passes.
// The effect compiler writes it as an object file, the run time builds an ID3DXEffect from it.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "d3d9/d3d9types.h"
#include "d3dx9/d3dx9effect.h"

// A place in the effect's source: an index into EffectModel::files and a line (1 = first).
struct EffectLocation {
    std::uint32_t file = 0;
    std::uint32_t line = 0;
};

// A typed value: an annotation, or the initial value of a parameter. Numbers are stored as 32-bit
// words (float bits for D3DXPT_FLOAT, integers for D3DXPT_INT, 0/1 for D3DXPT_BOOL).
struct EffectAnnotation {
    std::string name;
    D3DXPARAMETER_TYPE type = D3DXPT_FLOAT;
    std::uint32_t columns = 1; // 1 = scalar, 2..4 = vector
    std::vector<std::uint32_t> values;
    std::string text; // D3DXPT_STRING
};

struct EffectSamplerState {
    D3DSAMPLERSTATETYPE state;
    DWORD value;
};

struct EffectParameter {
    std::string name;
    std::string semantic; // empty when none
    D3DXPARAMETER_CLASS cls = D3DXPC_SCALAR;
    D3DXPARAMETER_TYPE type = D3DXPT_FLOAT;
    std::uint32_t rows = 1;
    std::uint32_t columns = 1;
    std::uint32_t elements = 0; // 0 = not an array
    bool shared = false;
    std::vector<EffectAnnotation> annotations;
    // Numbers: rows * columns * max(1, elements) words (empty = all zero). Strings: text.
    std::vector<std::uint32_t> initial;
    std::string text;
    // Samplers: the texture parameter (index into EffectModel::parameters, -1 = none) and the
    // sampler states the effect sets with it.
    std::int32_t samplerTexture = -1;
    std::vector<EffectSamplerState> samplerStates;
    EffectLocation location;

    std::uint32_t ValueCount() const { return rows * columns * (elements ? elements : 1); }
    bool IsNumeric() const { return type == D3DXPT_BOOL || type == D3DXPT_INT || type == D3DXPT_FLOAT; }
    bool IsTexture() const { return type >= D3DXPT_TEXTURE && type <= D3DXPT_TEXTURECUBE; }
    bool IsSampler() const { return type >= D3DXPT_SAMPLER && type <= D3DXPT_SAMPLERCUBE; }
};

// One shader as the device compiles it: complete GLSL 4.50 text, the effect source line of each of
// its lines (lines[i] is where line i + 1 came from) and the parameters it reads as uniforms.
struct EffectShader {
    std::string name;
    bool pixel = false;
    std::string glsl;
    std::vector<EffectLocation> lines;
    std::vector<std::uint32_t> parameters; // indices into EffectModel::parameters, ascending
};

struct EffectRenderState {
    D3DRENDERSTATETYPE state;
    DWORD value;
};

struct EffectPass {
    std::string name;
    std::vector<EffectAnnotation> annotations;
    std::vector<EffectRenderState> renderStates;
    std::int32_t vertexShader = -1; // index into EffectModel::shaders, -1 = none
    std::int32_t pixelShader = -1;
    // The sampler parameters the pass's shaders read; the n-th is bound to stage n.
    std::vector<std::uint32_t> samplers;
};

struct EffectTechnique {
    std::string name;
    std::vector<EffectAnnotation> annotations;
    std::vector<EffectPass> passes;
};

struct EffectModel {
    std::vector<std::string> files; // files[0] is the effect's own source
    std::vector<EffectParameter> parameters;
    std::vector<EffectShader> shaders;
    std::vector<EffectTechnique> techniques;
};

// Limits every reader and the parser hold effects to.
inline constexpr std::uint32_t kEffectMaxSamplerStages = 16;
inline constexpr std::uint32_t kEffectMaxArrayElements = 65536;

// The sampler stages of every pass, from the samplers its shaders read (in parameter order).
// False with a message when a pass reads more samplers than there are stages.
bool AssignEffectSamplerStages(EffectModel& model, std::string& error);

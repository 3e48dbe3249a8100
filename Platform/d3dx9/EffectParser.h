#pragma once
// The effect language: a Direct3D .fx file's shape around GLSL 4.50 shaders.
//
//   #include "common.fxh"                         // preprocessor: see EffectPreprocessor.h
//   shared float4x4 ViewProj : VIEWPROJ;          // [shared] type name [: SEMANTIC] [<annotations>] [= value];
//   float4 Tint : DIFFUSE < string UIName = "Tint"; > = {1, 1, 1, 1};
//   float4 Offsets[8];                             // arrays of numbers
//   texture DiffuseMap : TEXTURE0 < string ResourceName = "wall.png"; string Filter = "LINEAR"; >;
//   sampler2D DiffuseSampler = sampler_state {
//       Texture = <DiffuseMap>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = POINT;
//       AddressU = WRAP; AddressV = CLAMP;
//   };
//   glsl {                                         // code every shader of the effect sees
//       vec4 Shade(vec4 c) { return c * Tint; }
//   }
//   vertexshader TransformVS {                     // a vertex shader: inputs POSITION0, TEXCOORD0, ...
//       in vec4 POSITION0;  in vec2 TEXCOORD0;  out vec2 uv;
//       void main() { gl_Position = ViewProj * POSITION0; uv = TEXCOORD0; }
//   }
//   pixelshader TexturedPS {                       // a pixel shader: outputs COLOR0..COLOR3
//       in vec2 uv;  out vec4 COLOR0;
//       void main() { COLOR0 = Shade(texture(DiffuseSampler, uv)); }
//   }
//   technique Textured < string Note = "x"; > {
//       pass P0 {
//           ZEnable = TRUE; ZFunc = LESSEQUAL; CullMode = NONE;
//           AlphaBlendEnable = TRUE; SrcBlend = SRCALPHA; DestBlend = INVSRCALPHA;
//           VertexShader = TransformVS; PixelShader = TexturedPS;
//       }
//   }
//
// Types: bool, int, float (each also with 2..4 components: float3, int2, ...), float2x2, float3x3,
// float4x4, float4x3, float3x4, string, texture, texture2D, texture3D, textureCUBE, sampler,
// sampler2D, sampler3D, samplerCUBE. Values: numbers, TRUE/FALSE, {a, b, ...} lists and
// float4(a, b, c, d) constructors, "strings". Annotation types: bool, int, float (and their vectors)
// and string. `shared` parameters are one value across the effects of a pool.
//
// Every shader is compiled as `#version 450 core`, then a uniform declaration for each parameter its
// code names (float4x4 as mat4, float4x3 as mat4x3 and so on, uploaded so that GLSL `M * v` is
// D3DX's `v * M`; samplers as sampler2D/sampler3D/samplerCube), then every `glsl` block in source
// order, then the shader's own code. Samplers a pass reads are bound to stages 0, 1, ... in the
// order of their declarations. Pass states take the Direct3D state names (EffectStates.h).
#include <string>
#include <vector>

#include "d3dx9/EffectError.h"
#include "d3dx9/EffectModel.h"
#include "d3dx9/EffectPreprocessor.h"

// A GLSL block of the source, its lines with their places.
struct EffectCodeBlock {
    enum Kind { Common, Vertex, Pixel };
    Kind kind = Common;
    std::string name;
    EffectLocation where; // the line of the block's keyword
    std::vector<PreprocessedLine> lines;
};

// Parses preprocessed source into the model (whose shaders are named but have no GLSL yet) and
// the GLSL blocks, in source order.
bool ParseEffect(const PreprocessedEffect& source, EffectModel& model, std::vector<EffectCodeBlock>& blocks,
                 EffectErrors& errors);

// Preprocesses, parses and generates the shaders' GLSL and sampler stages: the model complete, as
// the run time uses it and the object file holds it.
bool CompileEffectSource(const std::string& fileName, const std::string& text, const EffectDefines& defines,
                         const EffectIncludeReader& includes, EffectModel& model, EffectErrors& errors);

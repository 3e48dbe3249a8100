// The effect language: declarations and their values, pass states, and the GLSL generated for each
// shader with its way back to source lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "d3dx9/EffectGlsl.h"
#include "d3dx9/EffectParser.h"

namespace {

EffectModel Parse(const std::string& source)
{
    EffectModel model;
    EffectErrors errors;
    EXPECT_TRUE(CompileEffectSource("main.fx", source, {}, nullptr, model, errors)) << errors.Text();
    return model;
}

std::vector<float> Floats(const std::vector<std::uint32_t>& words)
{
    std::vector<float> floats(words.size());
    std::memcpy(floats.data(), words.data(), words.size() * 4);
    return floats;
}

TEST(EffectParserTest, DeclarationsTypesAndValues)
{
    const EffectModel model = Parse(R"(
uniform shared float4x3 Bones[2] : BONES < bool Visible = true; int2 Range = {1, -2}; >;
float2 Pair = float2(1.5, -2);
float4 Splat = 0.5;
int Counter = 7;
bool Flags[2] = {true, FALSE};
float3x4 Wide;
textureCUBE Sky;
samplerCUBE SkySampler = sampler_state { Texture = (Sky); AddressU = MIRROR; BorderColor = 0xFF00FF00; MipMapLodBias = 1.5; };
sampler Plain;
)");
    ASSERT_EQ(model.parameters.size(), 9u);
    const EffectParameter& bones = model.parameters[0];
    EXPECT_TRUE(bones.shared);
    EXPECT_EQ(bones.cls, D3DXPC_MATRIX_ROWS);
    EXPECT_EQ(bones.rows, 4u);
    EXPECT_EQ(bones.columns, 3u);
    EXPECT_EQ(bones.elements, 2u);
    EXPECT_EQ(bones.semantic, "BONES");
    ASSERT_EQ(bones.annotations.size(), 2u);
    EXPECT_EQ(bones.annotations[0].values, std::vector<std::uint32_t>{1});
    EXPECT_EQ(bones.annotations[1].values, (std::vector<std::uint32_t>{1, 0xFFFFFFFEu}));
    EXPECT_EQ(Floats(model.parameters[1].initial), (std::vector<float>{1.5f, -2.f}));
    EXPECT_EQ(Floats(model.parameters[2].initial), (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(model.parameters[3].initial, std::vector<std::uint32_t>{7});
    EXPECT_EQ(model.parameters[4].initial, (std::vector<std::uint32_t>{1, 0}));
    EXPECT_EQ(EffectGlslType(model.parameters[0]), "mat4x3");
    EXPECT_EQ(EffectGlslType(model.parameters[5]), "mat3x4");
    EXPECT_EQ(EffectGlslType(model.parameters[4]), "bool");
    EXPECT_EQ(EffectGlslType(model.parameters[7]), "samplerCube");
    EXPECT_EQ(EffectGlslType(model.parameters[8]), "sampler2D");
    EXPECT_EQ(EffectGlslType(model.parameters[6]), "");
    const EffectParameter& sky = model.parameters[7];
    EXPECT_EQ(sky.samplerTexture, 6);
    ASSERT_EQ(sky.samplerStates.size(), 3u);
    EXPECT_EQ(sky.samplerStates[0].state, D3DSAMP_ADDRESSU);
    EXPECT_EQ(sky.samplerStates[0].value, static_cast<DWORD>(D3DTADDRESS_MIRROR));
    EXPECT_EQ(sky.samplerStates[1].value, 0xFF00FF00u);
    float bias = 0;
    std::memcpy(&bias, &sky.samplerStates[2].value, 4);
    EXPECT_EQ(bias, 1.5f);
}

TEST(EffectParserTest, PassStatesTakeDirect3DNames)
{
    const EffectModel model = Parse(R"(
technique T {
    pass P {
        zenable = false; ZFunc = D3DCMP_GREATEREQUAL; CullMode = CCW; FillMode = WIREFRAME;
        SrcBlend = InvSrcAlpha; BlendOp = REVSUBTRACT; SeparateAlphaBlendEnable = TRUE;
        ColorWriteEnable = RED | GREEN | BLUE; StencilPass = INCRSAT; StencilRef = 0x80; PointSize = 4;
    }
}
)");
    ASSERT_EQ(model.techniques.size(), 1u);
    const std::vector<EffectRenderState>& states = model.techniques[0].passes[0].renderStates;
    const std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> expected = {
        {D3DRS_ZENABLE, D3DZB_FALSE},
        {D3DRS_ZFUNC, D3DCMP_GREATEREQUAL},
        {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_FILLMODE, D3DFILL_WIREFRAME},
        {D3DRS_SRCBLEND, D3DBLEND_INVSRCALPHA},
        {D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT},
        {D3DRS_SEPARATEALPHABLENDENABLE, TRUE},
        {D3DRS_COLORWRITEENABLE, 7},
        {D3DRS_STENCILPASS, D3DSTENCILOP_INCRSAT},
        {D3DRS_STENCILREF, 0x80},
        {D3DRS_POINTSIZE, 0x40800000u},
    };
    ASSERT_EQ(states.size(), expected.size());
    for (std::size_t i = 0; i < states.size(); ++i) {
        EXPECT_EQ(states[i].state, expected[i].first) << i;
        EXPECT_EQ(states[i].value, expected[i].second) << i;
    }
}

// Each shader gets the version line, a uniform for each parameter its code names, the common code
// and its own code; every line maps back to where it came from; samplers get stages per pass.
TEST(EffectParserTest, GeneratedGlslAndItsLines)
{
    const EffectModel model = Parse(R"(float4x4 World;
float Unused;
float4 Tint;
texture A; texture B;
sampler2D SamplerA = sampler_state { Texture = <A>; };
sampler2D SamplerB = sampler_state { Texture = <B>; };
glsl {
vec4 Helper() { return Tint; }
}
vertexshader VS {
in vec4 POSITION0;
void main() { gl_Position = World * POSITION0; }
}
pixelshader PS {
out vec4 COLOR0;
void main() { COLOR0 = texture(SamplerB, vec2(0)) + texture(SamplerA, vec2(0)); }
}
technique T { pass P { VertexShader = VS; PixelShader = PS; } pass Q { VertexShader = VS; } }
)");
    ASSERT_EQ(model.shaders.size(), 2u);
    const EffectShader& vs = model.shaders[0];
    EXPECT_EQ(vs.glsl, "#version 450 core\nuniform mat4 World;\nuniform vec4 Tint;\n\nvec4 Helper() { return Tint; }\n"
                       "\nin vec4 POSITION0;\nvoid main() { gl_Position = World * POSITION0; }\n");
    EXPECT_EQ(vs.parameters, (std::vector<std::uint32_t>{0, 2}));
    std::vector<std::uint32_t> lines;
    for (const EffectLocation& where : vs.lines)
        lines.push_back(where.line);
    EXPECT_EQ(lines, (std::vector<std::uint32_t>{10, 1, 3, 7, 8, 10, 11, 12}));
    EXPECT_EQ(model.techniques[0].passes[0].samplers, (std::vector<std::uint32_t>{5, 6}));
    EXPECT_TRUE(model.techniques[0].passes[1].samplers.empty());

    // glslang's and Mesa's messages come back to the effect's lines.
    EXPECT_EQ(MapGlslLog(model, vs, "ERROR: 0:8: 'x' : undeclared identifier \nERROR: 1 compilation errors.  No code generated.\n"),
              "main.fx(12): error: 'x' : undeclared identifier\n");
    EXPECT_EQ(MapGlslLog(model, vs, "0:5(12): error: `y' undeclared\n0:4(1): warning: unused\n"),
              "main.fx(8): error: `y' undeclared\nmain.fx(7): warning: unused\n");
    EXPECT_EQ(MapGlslLog(model, vs, "link failed\n"), "main.fx(10): error: VS: link failed\n");
}

TEST(EffectParserTest, SyntaxErrorsNameTheirLine)
{
    struct Case {
        const char* source;
        const char* expected;
    };
    const Case cases[] = {
        {"float4 X = {1, 2, 3, 4, 5};", "main.fx(1): error: parameter \"X\" needs 4 values, not 5"},
        {"float X <\nint A = 1;\nint A = 2; >;", "main.fx(3): error: annotation \"A\" given twice"},
        {"float X < texture T = 1; >;", "annotations are bool, int, float"},
        {"float2 X < float2 R = 1; >;", "annotation \"R\" needs 2 values"},
        {"texture T = 1;", "a texture parameter takes no value"},
        {"string S = 4;", "a string expected"},
        {"sampler S = 4;", "sampler_state expected, not \"4\""},
        {"sampler S = sampler_texture {};", "a sampler takes sampler_state"},
        {"sampler S = sampler_state { Texture = <Missing>; };", "\"Missing\" is not a texture parameter"},
        {"texture T[2];", "only numbers make arrays"},
        {"float X[0];", "an array has 1 to"},
        {"float X = 1e999;", "bad number \"1e999\""},
        {"float X = abc;", "a number expected for the parameter, not \"abc\""},
        {"technique T { pass P { ZEnable = ; } }", "a state value expected"},
        {"technique T { pass P { StencilRef = -1; } }", "StencilRef: a whole number"},
        {"technique T { pass P { CullMode = CW | CCW; } }", "CullMode: one value is needed"},
        {"technique T { pass P {} pass P {} }", "pass \"P\" declared twice"},
        {"technique T { }\ntechnique T { }", "main.fx(2): error: technique \"T\" declared twice"},
        {"technique T { float X; }", "a technique holds passes"},
        {"vertexshader V { }\nvertexshader V { }", "main.fx(2): error: shader \"V\" declared twice"},
        {"float orvala_PixelOffset;", "reserved"},
        {"}", "a declaration, glsl block or technique expected"},
        {"float X", "';' expected after the parameter, not the end of the file"},
    };
    for (const Case& c : cases) {
        EffectModel model;
        EffectErrors errors;
        EXPECT_FALSE(CompileEffectSource("main.fx", c.source, {}, nullptr, model, errors)) << c.source;
        EXPECT_NE(errors.Text().find(c.expected), std::string::npos) << c.source << "\n" << errors.Text();
    }
}

} // namespace

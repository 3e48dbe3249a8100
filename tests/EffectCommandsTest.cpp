// orvala-tool effect compile / info: objects that D3DXCreateEffect loads, errors in the effect's own
// files and lines, includes from the source's folder and -I folders, and nothing written on error.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "D3D9DeviceTestFixture.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "d3d9/DeviceFactory.h"
#include "d3dx9/d3dx9.h"

namespace {

const char* const kCommon = R"(#pragma once
shared float4 SceneColour : SCENECOLOUR = {1, 1, 1, 1};
glsl {
vec4 Shade(vec4 c)
{
    return c * SceneColour;
}
}
)";

const char* const kEffect = R"(#include "common.fxh"
float4x4 World : LOCAL;
texture Tex : TEXTURE0 < string ResourceName = "wall.png"; >;
sampler2D TexSampler = sampler_state { Texture = <Tex>; MinFilter = LINEAR; };
vertexshader VS {
    in vec4 POSITION0;
    out vec2 uv;
    void main() { gl_Position = World * POSITION0; uv = POSITION0.xy; }
}
pixelshader PS {
    in vec2 uv;
    out vec4 COLOR0;
    void main() { COLOR0 = Shade(texture(TexSampler, uv)); }
}
technique Main { pass P0 { CullMode = NONE; VertexShader = VS; PixelShader = PS; } }
)";

class EffectCommandsTest : public ::testing::Test {
protected:
    std::filesystem::path Write(const std::string& name, const std::string& text)
    {
        const std::filesystem::path path = dir.path() / name;
        WriteFileBytes(path, text);
        return path;
    }

    ToolResult Compile(const std::filesystem::path& source, const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> args = {"effect", "compile", source.string(), out.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTool(args);
    }

    // The effect in `out`, loaded as the demo loads it.
    HRESULT Load(std::string* names = nullptr)
    {
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = 16;
        params.BackBufferHeight = 16;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        IDirect3DDevice9* device = nullptr;
        EXPECT_EQ(CreateRecordingDevice(TestDeviceCaps(), &params, &device), D3D_OK);
        const std::string bytes = ReadFileBytes(out);
        ID3DXEffect* effect = nullptr;
        const HRESULT hr = D3DXCreateEffect(device, bytes.data(), static_cast<UINT>(bytes.size()), nullptr, nullptr,
                                            0, nullptr, &effect, nullptr);
        if (effect && names) {
            D3DXPARAMETER_DESC desc{};
            for (UINT i = 0; effect->GetParameterDesc(effect->GetParameter(nullptr, i), &desc) == D3D_OK; ++i)
                *names += std::string(desc.Name) + (desc.Semantic ? std::string(":") + desc.Semantic : "") + " ";
        }
        if (effect)
            effect->Release();
        device->Release();
        return hr;
    }

    TempDir dir;
    std::filesystem::path out = dir.path() / "out" / "main.fxo";
    void SetUp() override { std::filesystem::create_directories(out.parent_path()); }
};

TEST_F(EffectCommandsTest, CompiledObjectLoads)
{
    Write("common.fxh", kCommon);
    const ToolResult result = Compile(Write("main.fx", kEffect));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string names;
    EXPECT_EQ(Load(&names), D3D_OK);
    EXPECT_EQ(names, "SceneColour:SCENECOLOUR World:LOCAL Tex:TEXTURE0 TexSampler ");

    const ToolResult info = RunTool({"effect", "info", out.string()});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("shared float4 SceneColour : SCENECOLOUR"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("<string ResourceName = \"wall.png\">"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("CullMode = NONE"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("stage 0: TexSampler"), std::string::npos) << info.out;
    // info reads sources as well as objects.
    const ToolResult sourceInfo = RunTool({"effect", "info", (dir.path() / "main.fx").string()});
    EXPECT_EQ(sourceInfo.exitCode, 0) << sourceInfo.err;
    EXPECT_EQ(sourceInfo.out, info.out);
}

TEST_F(EffectCommandsTest, IncludesComeFromIncludeFolders)
{
    Write("shaders/common.fxh", kCommon);
    const std::filesystem::path source = Write("src/main.fx", kEffect);
    const ToolResult missing = Compile(source);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("main.fx(1): error: cannot open include file \"common.fxh\""), std::string::npos)
        << missing.err;
    EXPECT_FALSE(std::filesystem::exists(out));

    const ToolResult found = Compile(source, {"-I", (dir.path() / "shaders").string()});
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_EQ(Load(), D3D_OK);
}

// Errors name the effect's own file and line, in an included file too; nothing is written.
TEST_F(EffectCommandsTest, ErrorsNameTheSourceFileAndLine)
{
    struct Case {
        const char* name;
        std::string common, effect;
        const char* expected;
    };
    std::string badCommon = kCommon, badEffect = kEffect, mismatch = kEffect, parse = kEffect;
    badCommon.replace(badCommon.find("c * SceneColour"), 15, "c * Undefined");
    badEffect.replace(badEffect.find("uv = POSITION0.xy;"), 18, "uv = POSITION0;");
    mismatch.replace(mismatch.find("in vec2 uv;"), 11, "in vec2 uv; in float fade;");
    mismatch.replace(mismatch.find("COLOR0 = Shade"), 14, "COLOR0 = fade * Shade");
    parse.replace(parse.find("CullMode = NONE"), 15, "CullMode = BACKWARDS");
    const Case cases[] = {
        {"GLSL error in an included file", badCommon, kEffect, "common.fxh(6): error: 'Undefined' : undeclared identifier"},
        {"GLSL error in the source", kCommon, badEffect, "main.fx(8): error: 'assign' :"},
        {"pixel input no vertex output writes", kCommon, mismatch,
         "main.fx(11): error: pass \"P0\" of technique \"Main\": pixel shader input \"fade\" is not written by vertex shader \"VS\""},
        {"effect syntax", kCommon, parse, "main.fx(15): error: CullMode: \"BACKWARDS\" is not a value of this state"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Write("common.fxh", c.common);
        const ToolResult result = Compile(Write("main.fx", c.effect));
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_TRUE(std::filesystem::is_empty(out.parent_path()));
    }
}

TEST_F(EffectCommandsTest, BadCommandLinesAndFiles)
{
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const std::string garbage = Write("garbage.fxo", std::string("OFX9\x01\0\0\0\xff\xff\xff\xff", 12)).string();
    const std::string empty = Write("empty.fxo", "").string();
    const std::string emptySource = Write("empty.fx", "").string();
    const std::string source = Write("source.fxo", "technique Main { pass P0 { } }\n").string();
    const Case cases[] = {
        {{"effect"}, "effect needs a subcommand"},
        {{"effect", "bake"}, "unknown effect subcommand \"bake\""},
        {{"effect", "compile", "only-one.fx"}, "needs a source and an output file"},
        {{"effect", "compile", "a.fx", "b.fxo", "-I"}, "-I needs a folder"},
        {{"effect", "compile", (dir.path() / "absent.fx").string(), out.string()},
         "error: cannot read \"" + (dir.path() / "absent.fx").string() + "\": No such file or directory"},
        {{"effect", "info"}, "effect info needs one file"},
        {{"effect", "info", garbage}, "error: the object ends early"},
        {{"effect", "info", empty}, "empty.fxo: error: the file is empty, not an effect"},
        {{"effect", "info", emptySource}, "empty.fx: error: the file is empty, not an effect"},
        {{"effect", "info", source}, "source.fxo: error: not an effect object"},
    };
    for (const Case& c : cases) {
        const ToolResult result = RunTool(c.args);
        EXPECT_EQ(result.exitCode, 1) << c.expected;
        EXPECT_EQ(result.out, "") << c.expected;
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
    }
}

} // namespace

// The effect object file: what is written reads back the same, and damaged, truncated or
// inconsistent objects are refused with a message, by the reader and by D3DXCreateEffect.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "d3d9/DeviceFactory.h"
#include "d3dx9/EffectObject.h"
#include "d3dx9/EffectParser.h"
#include "d3dx9/d3dx9.h"

namespace {

const char* const kSource = R"(
shared float4x4 ViewProj : VIEWPROJ;
float4 Tint < string UIName = "Tint"; float2 Range = {0, 1}; > = float4(1, 0.5, 0.25, 1);
float Weights[3] = {1, 2, 3};
texture Tex : TEXTURE0 < string ResourceName = "wall.png"; >;
sampler2D TexSampler = sampler_state { Texture = <Tex>; MinFilter = LINEAR; MipMapLodBias = -0.5; };
glsl { vec4 Tinted(vec4 c) { return c * Tint; } }
vertexshader VS { in vec4 POSITION0; out vec2 uv; void main() { gl_Position = ViewProj * POSITION0; uv = POSITION0.xy; } }
pixelshader PS { in vec2 uv; out vec4 COLOR0; void main() { COLOR0 = Tinted(texture(TexSampler, uv)) * Weights[1]; } }
technique Main < int Order = 2; > {
    pass P0 { ZEnable = FALSE; ColorWriteEnable = RED | ALPHA; PointSize = 2.5; VertexShader = VS; PixelShader = PS; }
    pass { AlphaBlendEnable = TRUE; PixelShader = PS; }
}
)";

EffectModel Compiled()
{
    EffectModel model;
    EffectErrors errors;
    EXPECT_TRUE(CompileEffectSource("main.fx", kSource, {}, nullptr, model, errors)) << errors.Text();
    return model;
}

std::vector<std::uint8_t> Wrapped(const std::vector<std::uint8_t>& payload)
{
    std::vector<std::uint8_t> bytes(kEffectObjectMagic, kEffectObjectMagic + 4);
    auto word = [&](std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    word(kEffectObjectVersion);
    word(static_cast<std::uint32_t>(payload.size()));
    word(static_cast<std::uint32_t>(crc32(0L, payload.data(), static_cast<uInt>(payload.size()))));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

TEST(EffectObjectTest, ReadsBackWhatWasWritten)
{
    const EffectModel model = Compiled();
    const std::vector<std::uint8_t> bytes = WriteEffectObject(model);
    ASSERT_TRUE(IsEffectObject(bytes.data(), bytes.size()));
    EffectModel read;
    std::string error;
    ASSERT_TRUE(ReadEffectObject(bytes.data(), bytes.size(), read, error)) << error;
    EXPECT_EQ(WriteEffectObject(read), bytes);

    ASSERT_EQ(read.parameters.size(), 5u);
    const EffectParameter& tint = read.parameters[1];
    EXPECT_EQ(tint.name, "Tint");
    ASSERT_EQ(tint.initial.size(), 4u);
    float half = 0;
    std::memcpy(&half, &tint.initial[1], 4);
    EXPECT_EQ(half, 0.5f);
    ASSERT_EQ(tint.annotations.size(), 2u);
    EXPECT_EQ(tint.annotations[1].columns, 2u);
    EXPECT_TRUE(read.parameters[0].shared);
    EXPECT_EQ(read.parameters[2].elements, 3u);
    EXPECT_EQ(read.parameters[4].samplerTexture, 3);
    ASSERT_EQ(read.techniques.size(), 1u);
    ASSERT_EQ(read.techniques[0].passes.size(), 2u);
    EXPECT_EQ(read.techniques[0].passes[0].samplers, std::vector<std::uint32_t>{4});
    EXPECT_EQ(read.techniques[0].passes[1].vertexShader, -1);
    // Every GLSL line knows its source line: the pixel shader's code sits on line 9.
    const EffectShader& ps = read.shaders[1];
    ASSERT_EQ(ps.lines.size(), static_cast<std::size_t>(std::count(ps.glsl.begin(), ps.glsl.end(), '\n')));
    EXPECT_EQ(ps.lines.back().line, 9u);
}

TEST(EffectObjectTest, EveryTruncationAndEveryDamagedByteIsRefused)
{
    const std::vector<std::uint8_t> bytes = WriteEffectObject(Compiled());
    EffectModel read;
    std::string error;
    for (std::size_t size = 0; size < bytes.size(); ++size)
        EXPECT_FALSE(ReadEffectObject(bytes.data(), size, read, error)) << "truncated to " << size;
    std::vector<std::uint8_t> extended = bytes;
    extended.push_back(0);
    EXPECT_FALSE(ReadEffectObject(extended.data(), extended.size(), read, error));
    for (std::size_t at = 4; at < bytes.size(); ++at) {
        std::vector<std::uint8_t> damaged = bytes;
        damaged[at] ^= 0x5a;
        EXPECT_FALSE(ReadEffectObject(damaged.data(), damaged.size(), read, error)) << "byte " << at;
    }
}

// Objects whose checksum is right but whose content is not: the reader's own checks.
TEST(EffectObjectTest, InconsistentContentIsRefused)
{
    struct Case {
        const char* name;
        std::function<void(EffectModel&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"shader index", [](EffectModel& m) { m.techniques[0].passes[0].vertexShader = 7; }, "names a shader"},
        {"shader of the wrong kind", [](EffectModel& m) { m.techniques[0].passes[0].vertexShader = 1; }, "names a shader"},
        {"parameter a shader reads", [](EffectModel& m) { m.shaders[0].parameters.push_back(99); }, "reads parameters"},
        {"sampler texture", [](EffectModel& m) { m.parameters[4].samplerTexture = 1; }, "names no texture"},
        {"array size", [](EffectModel& m) { m.parameters[2].elements = kEffectMaxArrayElements + 1; }, "bad type"},
        {"type", [](EffectModel& m) { m.parameters[1].type = static_cast<D3DXPARAMETER_TYPE>(77); }, "bad type"},
        {"matrix shape", [](EffectModel& m) { m.parameters[0].columns = 2; }, "bad type"},
        {"initial value", [](EffectModel& m) { m.parameters[1].initial.pop_back(); }, "bad initial value"},
        {"render state", [](EffectModel& m) { m.techniques[0].passes[0].renderStates[0].state = static_cast<D3DRENDERSTATETYPE>(3); }, "unknown render state"},
        {"sampler state", [](EffectModel& m) { m.parameters[4].samplerStates[0].state = static_cast<D3DSAMPLERSTATETYPE>(99); }, "unknown sampler state"},
        {"source file", [](EffectModel& m) { m.shaders[0].lines[0].file = 5; }, "names a file"},
        {"parameter name", [](EffectModel& m) { m.parameters[1].name = m.parameters[0].name; }, "empty or repeated"},
        {"annotation", [](EffectModel& m) { m.parameters[1].annotations[1].values.pop_back(); }, "bad type or value"},
        {"zero in code", [](EffectModel& m) { m.shaders[0].glsl[3] = '\0'; }, "zero byte"},
        {"stages", [](EffectModel& m) {
             for (int i = 0; i < 17; ++i) {
                 EffectParameter sampler = m.parameters[4];
                 sampler.name += std::to_string(i);
                 m.parameters.push_back(sampler);
                 m.shaders[1].parameters.push_back(static_cast<std::uint32_t>(m.parameters.size() - 1));
             }
         }, "there are 16 stages"},
    };
    for (const Case& c : cases) {
        EffectModel model = Compiled();
        c.damage(model);
        const std::vector<std::uint8_t> bytes = WriteEffectObject(model);
        EffectModel read;
        std::string error;
        EXPECT_FALSE(ReadEffectObject(bytes.data(), bytes.size(), read, error)) << c.name;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
    }
}

TEST(EffectObjectTest, CountsBeyondTheObjectAreRefused)
{
    // A payload that claims four billion files, and one that claims a string longer than itself.
    const std::vector<std::vector<std::uint8_t>> payloads = {
        {0xff, 0xff, 0xff, 0xff},
        {1, 0, 0, 0, 0xf0, 0xff, 0xff, 0x7f, 'a'},
        {0, 0, 0, 0, 0xff, 0xff, 0xff, 0x0f},
    };
    for (const auto& payload : payloads) {
        const std::vector<std::uint8_t> bytes = Wrapped(payload);
        EffectModel read;
        std::string error;
        EXPECT_FALSE(ReadEffectObject(bytes.data(), bytes.size(), read, error));
        EXPECT_NE(error.find("exceeds the object"), std::string::npos) << error;
    }
    std::vector<std::uint8_t> version = WriteEffectObject(Compiled());
    version[4] = 2;
    EffectModel read;
    std::string error;
    EXPECT_FALSE(ReadEffectObject(version.data(), version.size(), read, error));
    EXPECT_NE(error.find("version 2"), std::string::npos) << error;
}

// The same objects through D3DXCreateEffect on a device: the entry the run time (and fuzzing) uses.
TEST(EffectObjectTest, CreateEffectRefusesDamagedObjects)
{
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 16;
    params.BackBufferHeight = 16;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(CreateRecordingDevice(TestDeviceCaps(), &params, &device), D3D_OK);
    const std::vector<std::uint8_t> bytes = WriteEffectObject(Compiled());

    ID3DXEffect* effect = nullptr;
    ASSERT_EQ(D3DXCreateEffect(device, bytes.data(), static_cast<UINT>(bytes.size()), nullptr, nullptr, 0, nullptr,
                               &effect, nullptr),
              D3D_OK);
    ASSERT_NE(effect, nullptr);
    EXPECT_NE(effect->GetParameterBySemantic(nullptr, "VIEWPROJ"), nullptr);
    effect->Release();

    for (std::size_t size = 4; size < bytes.size(); size += 7) {
        ID3DXBuffer* errors = nullptr;
        effect = nullptr;
        EXPECT_EQ(D3DXCreateEffect(device, bytes.data(), static_cast<UINT>(size), nullptr, nullptr, 0, nullptr, &effect,
                                   &errors),
                  D3DXERR_INVALIDDATA)
            << size;
        EXPECT_EQ(effect, nullptr);
        ASSERT_NE(errors, nullptr);
        EXPECT_EQ(std::string(static_cast<const char*>(errors->GetBufferPointer())).compare(0, 21, "error: effect object:"), 0);
        errors->Release();
    }
    EXPECT_EQ(device->Release(), 0u);
}

} // namespace

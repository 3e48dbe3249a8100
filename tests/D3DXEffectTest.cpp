// ID3DXEffect on the recording device: handles, annotations, values, techniques, passes and the
// device states a pass sets and End restores, shared parameters of a pool, and D3DXCreateEffect's
// answers to bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "d3d9/DeviceFactory.h"
#include "d3dx9/d3dx9.h"

namespace {

const char* const kEffect = R"(
shared float4 Colour : SHAREDCOLOUR = {1, 0, 0, 1};
float4x4 World : LOCAL < string UIName = "World matrix"; >;
float Scale : SCALE = 2;
int Count : Count = 3;
bool Flag;
float4 Offsets[4] : OFFSETS;
float3 Direction;
string Label = "hello";
texture Tex : TEXTURE0 < string ResourceName = "wall.png"; int Level = 3; float Weight = 0.5; >;
sampler2D TexSampler = sampler_state { Texture = <Tex>; MinFilter = LINEAR; AddressU = CLAMP; };
vertexshader VS {
    in vec4 POSITION0;
    void main() { gl_Position = World * POSITION0 * Scale + Offsets[0] + vec4(Direction, 0.0); }
}
pixelshader PS {
    out vec4 COLOR0;
    void main() { COLOR0 = Colour * texture(TexSampler, vec2(0.5)) * float(Count); }
}
technique Solid < string Note = "first"; float Weight = 0.25; > {
    pass P0 < int Order = 1; > {
        ZEnable = FALSE; CullMode = NONE; AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = ONE;
        VertexShader = VS; PixelShader = PS;
    }
}
technique Def_SpotLight_shadow {
    pass A { ZFunc = GREATER; VertexShader = VS; PixelShader = PS; }
    pass B { ZWriteEnable = FALSE; VertexShader = VS; PixelShader = PS; }
}
)";

// A second effect of the same pool: it declares the shared colour too and reads it.
const char* const kOtherEffect = R"(
shared float4 Colour : SHAREDCOLOUR = {0, 0, 1, 1};
float4 Own = {0, 1, 0, 1};
vertexshader VS { in vec4 POSITION0; void main() { gl_Position = POSITION0; } }
pixelshader PS { out vec4 COLOR0; void main() { COLOR0 = Colour + Own; } }
technique T { pass P { VertexShader = VS; PixelShader = PS; } }
)";

class D3DXEffectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = 64;
        params.BackBufferHeight = 48;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        ASSERT_EQ(CreateRecordingDevice(TestDeviceCaps(), &params, &device), D3D_OK);
        ASSERT_EQ(D3DXCreateEffectPool(&pool), D3D_OK);
        effect = Make(kEffect);
        ASSERT_NE(effect, nullptr);
    }

    void TearDown() override
    {
        for (IUnknown* object : owned)
            object->Release();
        if (effect)
            effect->Release();
        if (pool)
            pool->Release();
        EXPECT_EQ(device->Release(), 0u) << "an effect kept the device alive";
    }

    ID3DXEffect* Make(const char* source, ID3DXEffectPool* inPool = nullptr, bool usePool = true)
    {
        ID3DXEffect* made = nullptr;
        ID3DXBuffer* errors = nullptr;
        const HRESULT hr = D3DXCreateEffect(device, source, static_cast<UINT>(std::strlen(source)), nullptr, nullptr,
                                            0, usePool ? (inPool ? inPool : pool) : nullptr, &made, &errors);
        EXPECT_EQ(hr, D3D_OK) << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        if (errors)
            errors->Release();
        return made;
    }

    IDirect3DTexture9* Texture()
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        owned.push_back(texture);
        return texture;
    }

    DWORD RenderState(D3DRENDERSTATETYPE state)
    {
        DWORD value = 0;
        EXPECT_EQ(device->GetRenderState(state, &value), D3D_OK);
        return value;
    }

    DWORD SamplerState(DWORD stage, D3DSAMPLERSTATETYPE type)
    {
        DWORD value = 0;
        EXPECT_EQ(device->GetSamplerState(stage, type, &value), D3D_OK);
        return value;
    }

    IDirect3DBaseTexture9* BoundTexture(DWORD stage)
    {
        IDirect3DBaseTexture9* texture = nullptr;
        EXPECT_EQ(device->GetTexture(stage, &texture), D3D_OK);
        if (texture)
            texture->Release();
        return texture;
    }

    IDirect3DPixelShader9* BoundPixelShader()
    {
        IDirect3DPixelShader9* shader = nullptr;
        EXPECT_EQ(device->GetPixelShader(&shader), D3D_OK);
        if (shader)
            shader->Release();
        return shader;
    }

    // How often the device was given the uniform since the log was last cleared.
    int UniformUploads(const std::string& name)
    {
        int count = 0;
        for (const RecordedCall& call : GetRecordedCalls(device))
            if ((call.method == "SetUniformF" || call.method == "SetUniformI") &&
                call.arguments.compare(0, name.size() + 2, "\"" + name + "\"") == 0)
                ++count;
        return count;
    }

    IDirect3DDevice9* device = nullptr;
    ID3DXEffectPool* pool = nullptr;
    ID3DXEffect* effect = nullptr;
    std::vector<IUnknown*> owned;
};

TEST_F(D3DXEffectTest, HandlesFindParametersByNameSemanticAndElement)
{
    const D3DXHANDLE world = effect->GetParameterByName(nullptr, "World");
    ASSERT_NE(world, nullptr);
    EXPECT_STREQ(world, "World"); // a handle reads as its object's name
    EXPECT_EQ(effect->GetParameterBySemantic(nullptr, "LOCAL"), world);
    EXPECT_EQ(effect->GetParameterBySemantic(nullptr, "local"), world) << "semantics match without case";
    EXPECT_EQ(effect->GetParameterBySemantic(nullptr, "COUNT"), effect->GetParameterByName(nullptr, "Count"));
    EXPECT_EQ(effect->GetParameterBySemantic(nullptr, "LOCALVIEW"), nullptr);
    EXPECT_EQ(effect->GetParameterBySemantic(nullptr, nullptr), nullptr);
    EXPECT_EQ(effect->GetParameterByName(nullptr, "world"), nullptr) << "names are case-sensitive";
    EXPECT_EQ(effect->GetParameterByName(world, "World"), nullptr) << "a matrix has no members";
    EXPECT_EQ(effect->GetParameter(nullptr, 1), world);
    EXPECT_EQ(effect->GetParameter(nullptr, 100), nullptr);

    const D3DXHANDLE offsets = effect->GetParameterByName(nullptr, "Offsets");
    const D3DXHANDLE second = effect->GetParameterElement(offsets, 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(effect->GetParameterElement(offsets, 1), second);
    EXPECT_EQ(effect->GetParameterElement(offsets, 4), nullptr);
    EXPECT_EQ(effect->GetParameterElement(world, 0), nullptr);
    EXPECT_EQ(effect->GetParameterByName(nullptr, "Offsets[1]"), second);

    D3DXPARAMETER_DESC desc{};
    ASSERT_EQ(effect->GetParameterDesc("Offsets", &desc), D3D_OK);
    EXPECT_EQ(desc.Class, D3DXPC_VECTOR);
    EXPECT_EQ(desc.Type, D3DXPT_FLOAT);
    EXPECT_EQ(desc.Elements, 4u);
    EXPECT_EQ(desc.Bytes, 64u);
    EXPECT_STREQ(desc.Semantic, "OFFSETS");
    ASSERT_EQ(effect->GetParameterDesc("Colour", &desc), D3D_OK);
    EXPECT_EQ(desc.Flags & D3DX_PARAMETER_SHARED, static_cast<DWORD>(D3DX_PARAMETER_SHARED));
    EXPECT_EQ(effect->GetParameterDesc("Missing", &desc), D3DERR_INVALIDCALL);
}

TEST_F(D3DXEffectTest, AnnotationsOfParametersTechniquesAndPasses)
{
    const D3DXHANDLE tex = effect->GetParameterBySemantic(nullptr, "TEXTURE0");
    LPCSTR text = nullptr;
    ASSERT_EQ(effect->GetString(effect->GetAnnotationByName(tex, "ResourceName"), &text), D3D_OK);
    EXPECT_STREQ(text, "wall.png");
    INT level = 0;
    ASSERT_EQ(effect->GetInt(effect->GetAnnotationByName(tex, "Level"), &level), D3D_OK);
    EXPECT_EQ(level, 3);
    float weight = 0;
    ASSERT_EQ(effect->GetFloat(effect->GetAnnotationByName(tex, "Weight"), &weight), D3D_OK);
    EXPECT_FLOAT_EQ(weight, 0.5f);
    // Numbers convert; a string is not a number and a number not a string.
    ASSERT_EQ(effect->GetFloat(effect->GetAnnotationByName(tex, "Level"), &weight), D3D_OK);
    EXPECT_FLOAT_EQ(weight, 3.f);
    EXPECT_EQ(effect->GetInt(effect->GetAnnotationByName(tex, "ResourceName"), &level), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->GetString(effect->GetAnnotationByName(tex, "Level"), &text), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->GetAnnotationByName(tex, "Type"), nullptr);
    EXPECT_EQ(effect->GetAnnotationByName(nullptr, "Level"), nullptr);

    // The same annotation name under different owners.
    const D3DXHANDLE technique = effect->GetTechniqueByName("Solid");
    ASSERT_EQ(effect->GetFloat(effect->GetAnnotationByName(technique, "Weight"), &weight), D3D_OK);
    EXPECT_FLOAT_EQ(weight, 0.25f);
    ASSERT_EQ(effect->GetString(effect->GetAnnotationByName("Solid", "Note"), &text), D3D_OK);
    EXPECT_STREQ(text, "first");
    ASSERT_EQ(effect->GetInt(effect->GetAnnotationByName(effect->GetPass(technique, 0), "Order"), &level), D3D_OK);
    EXPECT_EQ(level, 1);
    ASSERT_EQ(effect->GetString(effect->GetAnnotationByName("World", "UIName"), &text), D3D_OK);
    EXPECT_STREQ(text, "World matrix");
}

TEST_F(D3DXEffectTest, TechniquesByHandleAndByName)
{
    const D3DXHANDLE solid = effect->GetTechniqueByName("Solid");
    ASSERT_NE(solid, nullptr);
    EXPECT_EQ(effect->GetCurrentTechnique(), solid) << "the first technique is current at first";
    ASSERT_EQ(effect->SetTechnique("Def_SpotLight_shadow"), D3D_OK);
    EXPECT_EQ(effect->GetCurrentTechnique(), effect->GetTechnique(1));
    EXPECT_EQ(effect->SetTechnique("Def_SpotLight_noshadow"), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTechnique(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTechnique("World"), D3DERR_INVALIDCALL) << "a parameter is no technique";
    EXPECT_EQ(effect->GetCurrentTechnique(), effect->GetTechnique(1)) << "a failed call keeps the technique";
    ASSERT_EQ(effect->SetTechnique(solid), D3D_OK);

    D3DXTECHNIQUE_DESC desc{};
    ASSERT_EQ(effect->GetTechniqueDesc("Def_SpotLight_shadow", &desc), D3D_OK);
    EXPECT_STREQ(desc.Name, "Def_SpotLight_shadow");
    EXPECT_EQ(desc.Passes, 2u);
    EXPECT_EQ(effect->GetPassByName("Def_SpotLight_shadow", "B"), effect->GetPass(effect->GetTechnique(1), 1));
    EXPECT_EQ(effect->GetPass(solid, 1), nullptr);

    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 1u);
    ASSERT_EQ(effect->End(), D3D_OK);
}

TEST_F(D3DXEffectTest, ValuesKeepWhatTheyAreGivenAndConvert)
{
    D3DXMATRIX world(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16), read;
    ASSERT_EQ(effect->SetMatrix("World", &world), D3D_OK);
    ASSERT_EQ(effect->GetMatrix("World", &read), D3D_OK);
    EXPECT_EQ(std::memcmp(&world, &read, sizeof world), 0);

    float scale = 0;
    ASSERT_EQ(effect->GetFloat("Scale", &scale), D3D_OK);
    EXPECT_FLOAT_EQ(scale, 2.f) << "the initial value";
    ASSERT_EQ(effect->SetInt("Scale", 5), D3D_OK);
    ASSERT_EQ(effect->GetFloat("Scale", &scale), D3D_OK);
    EXPECT_FLOAT_EQ(scale, 5.f);
    ASSERT_EQ(effect->SetFloat("Count", 7.75f), D3D_OK);
    INT count = 0;
    ASSERT_EQ(effect->GetInt("Count", &count), D3D_OK);
    EXPECT_EQ(count, 7);
    ASSERT_EQ(effect->SetFloat("Flag", 0.5f), D3D_OK);
    BOOL flag = FALSE;
    ASSERT_EQ(effect->GetBool("Flag", &flag), D3D_OK);
    EXPECT_EQ(flag, TRUE);

    // SetFloatArray writes what fits and leaves the rest; SetVector writes the components there are.
    const float three[3] = {1, 2, 3};
    ASSERT_EQ(effect->SetFloatArray("Direction", three, 2), D3D_OK);
    D3DXVECTOR4 v;
    ASSERT_EQ(effect->GetVector("Direction", &v), D3D_OK);
    EXPECT_EQ(v, D3DXVECTOR4(1, 2, 0, 0));
    const float many[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    ASSERT_EQ(effect->SetFloatArray("Offsets", many, 20), D3D_OK);
    float all[16] = {};
    ASSERT_EQ(effect->GetFloatArray("Offsets", all, 16), D3D_OK);
    EXPECT_EQ(std::memcmp(all, many, sizeof all), 0);
    const D3DXVECTOR4 element(-1, -2, -3, -4);
    ASSERT_EQ(effect->SetVector(effect->GetParameterElement("Offsets", 2), &element), D3D_OK);
    ASSERT_EQ(effect->GetFloatArray("Offsets", all, 16), D3D_OK);
    EXPECT_EQ(all[7], 8.f);
    EXPECT_EQ(all[8], -1.f);
    EXPECT_EQ(all[11], -4.f);
    EXPECT_EQ(all[12], 13.f);

    LPCSTR label = nullptr;
    ASSERT_EQ(effect->GetString("Label", &label), D3D_OK);
    EXPECT_STREQ(label, "hello");
    ASSERT_EQ(effect->SetString("Label", "changed"), D3D_OK);
    ASSERT_EQ(effect->GetString("Label", &label), D3D_OK);
    EXPECT_STREQ(label, "changed");

    IDirect3DTexture9* texture = Texture();
    ASSERT_EQ(effect->SetTexture(effect->GetParameterBySemantic(nullptr, "TEXTURE0"), texture), D3D_OK);
    IDirect3DBaseTexture9* got = nullptr;
    ASSERT_EQ(effect->GetTexture("Tex", &got), D3D_OK);
    EXPECT_EQ(got, texture);
    got->Release();
    ASSERT_EQ(effect->SetTexture("Tex", nullptr), D3D_OK);
    ASSERT_EQ(effect->GetTexture("Tex", &got), D3D_OK);
    EXPECT_EQ(got, nullptr);
}

// A call that does not fit the parameter's kind fails and changes nothing.
TEST_F(D3DXEffectTest, MismatchedSettersFail)
{
    const D3DXMATRIX m;
    const D3DXVECTOR4 v(1, 2, 3, 4);
    const float f[4] = {1, 2, 3, 4};
    struct Case {
        const char* what;
        HRESULT (*call)(ID3DXEffect*, const D3DXMATRIX&, const D3DXVECTOR4&, const float*);
    };
    const Case cases[] = {
        {"SetMatrix on a vector", [](ID3DXEffect* e, const D3DXMATRIX& m, const D3DXVECTOR4&, const float*) { return e->SetMatrix("Colour", &m); }},
        {"SetMatrix on an array", [](ID3DXEffect* e, const D3DXMATRIX& m, const D3DXVECTOR4&, const float*) { return e->SetMatrix("Offsets", &m); }},
        {"SetVector on a matrix", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4& v, const float*) { return e->SetVector("World", &v); }},
        {"SetVector on an array", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4& v, const float*) { return e->SetVector("Offsets", &v); }},
        {"SetFloat on a vector", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float*) { return e->SetFloat("Colour", 1.f); }},
        {"SetInt on a matrix", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float*) { return e->SetInt("World", 1); }},
        {"SetFloat on a texture", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float*) { return e->SetFloat("Tex", 1.f); }},
        {"SetFloatArray on a texture", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float* f) { return e->SetFloatArray("Tex", f, 4); }},
        {"SetFloatArray on a string", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float* f) { return e->SetFloatArray("Label", f, 4); }},
        {"SetTexture on a sampler", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float*) { return e->SetTexture("TexSampler", nullptr); }},
        {"SetTexture on a number", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float*) { return e->SetTexture("Scale", nullptr); }},
        {"SetString on a number", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float*) { return e->SetString("Scale", "x"); }},
        {"SetFloat on an annotation", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float*) { return e->SetFloat(e->GetAnnotationByName("Tex", "Weight"), 1.f); }},
        {"SetFloat on a technique", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float*) { return e->SetFloat(e->GetTechnique(0), 1.f); }},
        {"SetFloat on an unknown name", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float*) { return e->SetFloat("Nothing", 1.f); }},
        {"SetFloat on a null handle", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float*) { return e->SetFloat(nullptr, 1.f); }},
        {"SetMatrix from null", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float*) { return e->SetMatrix("World", nullptr); }},
        {"SetValue with too many bytes", [](ID3DXEffect* e, const D3DXMATRIX&, const D3DXVECTOR4&, const float* f) { return e->SetValue("Scale", f, 8); }},
    };
    float before[4];
    ASSERT_EQ(effect->GetFloatArray("Colour", before, 4), D3D_OK);
    for (const Case& c : cases)
        EXPECT_EQ(c.call(effect, m, v, f), D3DERR_INVALIDCALL) << c.what;
    float after[4];
    ASSERT_EQ(effect->GetFloatArray("Colour", after, 4), D3D_OK);
    EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);
}

TEST_F(D3DXEffectTest, SharedParametersAreOneValueAcrossThePool)
{
    ID3DXEffect* other = Make(kOtherEffect);
    ASSERT_NE(other, nullptr);
    owned.push_back(other);
    float colour[4] = {};
    ASSERT_EQ(other->GetFloatArray("Colour", colour, 4), D3D_OK);
    EXPECT_EQ(colour[0], 1.f) << "the first declaration's initial value stays";
    EXPECT_EQ(colour[2], 0.f);

    const D3DXVECTOR4 green(0, 1, 0, 1);
    ASSERT_EQ(effect->SetVector("Colour", &green), D3D_OK);
    D3DXVECTOR4 seen;
    ASSERT_EQ(other->GetVector("Colour", &seen), D3D_OK);
    EXPECT_EQ(seen, green);

    // Not shared: each effect has its own.
    ID3DXEffect* second = Make(kOtherEffect);
    ASSERT_NE(second, nullptr);
    owned.push_back(second);
    const D3DXVECTOR4 white(1, 1, 1, 1);
    ASSERT_EQ(other->SetVector("Own", &white), D3D_OK);
    ASSERT_EQ(second->GetVector("Own", &seen), D3D_OK);
    EXPECT_EQ(seen, D3DXVECTOR4(0, 1, 0, 1));

    // Another pool, or none, has values of its own.
    ID3DXEffect* alone = Make(kOtherEffect, nullptr, false);
    ASSERT_NE(alone, nullptr);
    owned.push_back(alone);
    ASSERT_EQ(alone->GetVector("Colour", &seen), D3D_OK);
    EXPECT_EQ(seen, D3DXVECTOR4(0, 0, 1, 1));
    ID3DXEffectPool* got = reinterpret_cast<ID3DXEffectPool*>(1);
    ASSERT_EQ(alone->GetPool(&got), D3D_OK);
    EXPECT_EQ(got, nullptr);
    ASSERT_EQ(other->GetPool(&got), D3D_OK);
    EXPECT_EQ(got, pool);
    got->Release();
}

TEST_F(D3DXEffectTest, SharedParameterOfAnotherTypeIsRefused)
{
    const char* clash = R"(
shared float3 Colour;
vertexshader VS { in vec4 POSITION0; void main() { gl_Position = POSITION0; } }
technique T { pass P { VertexShader = VS; } }
)";
    ID3DXEffect* made = nullptr;
    ID3DXBuffer* errors = nullptr;
    EXPECT_EQ(D3DXCreateEffect(device, clash, static_cast<UINT>(std::strlen(clash)), nullptr, nullptr, 0, pool, &made,
                               &errors),
              E_FAIL);
    EXPECT_EQ(made, nullptr);
    ASSERT_NE(errors, nullptr);
    EXPECT_NE(std::string(static_cast<const char*>(errors->GetBufferPointer())).find("memory(2): error: shared parameter \"Colour\""),
              std::string::npos)
        << static_cast<const char*>(errors->GetBufferPointer());
    errors->Release();
}

TEST_F(D3DXEffectTest, PassesApplyStatesShadersSamplersAndUniforms)
{
    IDirect3DTexture9* texture = Texture();
    ASSERT_EQ(effect->SetTexture("Tex", texture), D3D_OK);
    ClearRecordedCalls(device);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_FALSE));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(BoundTexture(0), texture);
    EXPECT_EQ(SamplerState(0, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(SamplerState(0, D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_NE(BoundPixelShader(), nullptr);
    for (const char* name : {"World", "Scale", "Offsets", "Direction", "Colour", "Count", "TexSampler"})
        EXPECT_EQ(UniformUploads(name), 1) << name;
    EXPECT_EQ(UniformUploads("Flag"), 0) << "no shader reads it";
    EXPECT_EQ(UniformUploads("Tex"), 0) << "a texture is no uniform";

    // Inside a pass a change waits for CommitChanges.
    ClearRecordedCalls(device);
    ASSERT_EQ(effect->SetFloat("Scale", 9.f), D3D_OK);
    EXPECT_EQ(UniformUploads("Scale"), 0);
    ASSERT_EQ(effect->CommitChanges(), D3D_OK);
    EXPECT_EQ(UniformUploads("Scale"), 1);
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL) << "a pass is open";
    ASSERT_EQ(effect->EndPass(), D3D_OK);
    EXPECT_EQ(effect->EndPass(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->BeginPass(1), D3DERR_INVALIDCALL) << "the technique has one pass";
    EXPECT_EQ(effect->Begin(&passes, 0), D3DERR_INVALIDCALL) << "already begun";
    ASSERT_EQ(effect->End(), D3D_OK);
    EXPECT_EQ(effect->End(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL) << "not begun";
}

// End puts back what the passes changed and nothing else; Begin's flags choose what is kept.
TEST_F(D3DXEffectTest, EndRestoresWhatThePassesSet)
{
    struct Case {
        const char* name;
        DWORD flags;
        bool renderStates, samplers, shaders;
    };
    const Case cases[] = {
        {"everything", 0, true, true, true},
        {"D3DXFX_DONOTSAVESTATE", D3DXFX_DONOTSAVESTATE, false, false, false},
        {"D3DXFX_DONOTSAVESHADERSTATE", D3DXFX_DONOTSAVESHADERSTATE, true, true, false},
        {"D3DXFX_DONOTSAVESAMPLERSTATE", D3DXFX_DONOTSAVESAMPLERSTATE, true, false, true},
    };
    IDirect3DTexture9* callers = Texture();
    IDirect3DTexture9* effects = Texture();
    ASSERT_EQ(effect->SetTexture("Tex", effects), D3D_OK);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW), D3D_OK);
        ASSERT_EQ(device->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATEREQUAL), D3D_OK);
        ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE), D3D_OK);
        ASSERT_EQ(device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE), D3D_OK);
        ASSERT_EQ(device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
        ASSERT_EQ(device->SetTexture(0, callers), D3D_OK);
        ASSERT_EQ(device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT), D3D_OK);
        ASSERT_EQ(device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP), D3D_OK);
        ASSERT_EQ(device->SetPixelShader(nullptr), D3D_OK);

        UINT passes = 0;
        ASSERT_EQ(effect->SetTechnique("Solid"), D3D_OK);
        ASSERT_EQ(effect->Begin(&passes, c.flags), D3D_OK);
        ASSERT_EQ(effect->BeginPass(0), D3D_OK);
        ASSERT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
        ASSERT_EQ(BoundTexture(0), effects);
        ASSERT_EQ(effect->EndPass(), D3D_OK);
        ASSERT_EQ(effect->End(), D3D_OK);

        EXPECT_EQ(RenderState(D3DRS_CULLMODE), c.renderStates ? DWORD(D3DCULL_CW) : DWORD(D3DCULL_NONE));
        EXPECT_EQ(RenderState(D3DRS_ZENABLE), c.renderStates ? DWORD(D3DZB_TRUE) : DWORD(D3DZB_FALSE));
        EXPECT_EQ(RenderState(D3DRS_SRCBLEND), c.renderStates ? DWORD(D3DBLEND_SRCALPHA) : DWORD(D3DBLEND_ONE));
        EXPECT_EQ(BoundTexture(0), c.samplers ? callers : effects);
        EXPECT_EQ(SamplerState(0, D3DSAMP_MINFILTER), c.samplers ? DWORD(D3DTEXF_POINT) : DWORD(D3DTEXF_LINEAR));
        EXPECT_EQ(SamplerState(0, D3DSAMP_ADDRESSU), c.samplers ? DWORD(D3DTADDRESS_WRAP) : DWORD(D3DTADDRESS_CLAMP));
        EXPECT_EQ(BoundPixelShader() == nullptr, c.shaders);
        // States no pass sets stay as the caller left them, whatever the flags.
        EXPECT_EQ(RenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_GREATEREQUAL));
        EXPECT_EQ(RenderState(D3DRS_ZWRITEENABLE), static_cast<DWORD>(TRUE));
    }
    ASSERT_EQ(device->SetTexture(0, nullptr), D3D_OK);
}

// The states of every pass of the technique are saved, not only the first pass's.
TEST_F(D3DXEffectTest, EndRestoresStatesOfEveryPass)
{
    ASSERT_EQ(device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW), D3D_OK);
    ASSERT_EQ(effect->SetTechnique("Def_SpotLight_shadow"), D3D_OK);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(passes, 2u);
    for (UINT i = 0; i < passes; ++i) {
        ASSERT_EQ(effect->BeginPass(i), D3D_OK);
        ASSERT_EQ(effect->EndPass(), D3D_OK);
    }
    EXPECT_EQ(RenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_GREATER)) << "pass A's state holds until End";
    EXPECT_EQ(RenderState(D3DRS_ZWRITEENABLE), static_cast<DWORD>(FALSE));
    ASSERT_EQ(effect->End(), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_LESS));
    EXPECT_EQ(RenderState(D3DRS_ZWRITEENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
}

TEST_F(D3DXEffectTest, ShadersAreCreatedOncePerEffect)
{
    ClearRecordedCalls(device);
    ID3DXEffect* other = Make(kOtherEffect);
    ASSERT_NE(other, nullptr);
    owned.push_back(other);
    UINT passes = 0;
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_EQ(other->Begin(&passes, 0), D3D_OK);
        ASSERT_EQ(other->BeginPass(0), D3D_OK);
        ASSERT_EQ(other->EndPass(), D3D_OK);
        ASSERT_EQ(other->End(), D3D_OK);
    }
    const auto& calls = GetRecordedCalls(device);
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const RecordedCall& c) { return c.method == "CreateVertexShader"; }), 1);
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const RecordedCall& c) { return c.method == "CreatePixelShader"; }), 1);
}

// An include handler over a map of names to texts, which counts what is open.
class MapInclude : public ID3DXInclude {
public:
    explicit MapInclude(std::map<std::string, std::string> files) : files_(std::move(files)) {}
    HRESULT Open(D3DXINCLUDE_TYPE, LPCSTR pFileName, LPCVOID, LPCVOID* ppData, UINT* pBytes) override
    {
        auto found = files_.find(pFileName);
        if (found == files_.end())
            return E_FAIL;
        *ppData = found->second.data();
        *pBytes = static_cast<UINT>(found->second.size());
        ++open;
        return S_OK;
    }
    HRESULT Close(LPCVOID) override
    {
        --open;
        return S_OK;
    }
    int open = 0;

private:
    std::map<std::string, std::string> files_;
};

TEST_F(D3DXEffectTest, SourceIncludesAndMacros)
{
    MapInclude include(std::map<std::string, std::string>{{"common.fxh", "#pragma once\nfloat4 Tint : TINT = {TINT_VALUE, 1, 1, 1};\n"}});
    const std::string source = "#include \"common.fxh\"\n#include <common.fxh>\n"
                               "vertexshader VS { in vec4 POSITION0; void main() { gl_Position = POSITION0 * Tint; } }\n"
                               "technique T { pass P { VertexShader = VS; } }\n";
    const D3DXMACRO defines[] = {{"TINT_VALUE", "0.25"}, {nullptr, nullptr}};
    ID3DXEffect* made = nullptr;
    ASSERT_EQ(D3DXCreateEffect(device, source.data(), static_cast<UINT>(source.size()), defines, &include, 0, nullptr,
                               &made, nullptr),
              D3D_OK);
    EXPECT_EQ(include.open, 0) << "every file opened is closed";
    float values[4] = {};
    ASSERT_EQ(made->GetFloatArray(made->GetParameterBySemantic(nullptr, "TINT"), values, 4), D3D_OK);
    EXPECT_FLOAT_EQ(values[0], 0.25f);
    made->Release();
}

struct BadSource {
    const char* name;
    const char* source;
    HRESULT result;
    const char* message; // part of the error text
};

class D3DXEffectBadSourceTest : public D3DXEffectTest, public ::testing::WithParamInterface<BadSource> {};

TEST_P(D3DXEffectBadSourceTest, FailsWithAMessage)
{
    MapInclude include(std::map<std::string, std::string>{{"self.fxh", "#include \"self.fxh\"\n"}, {"broken.fxh", "float4 X = {1, 2;\n"}});
    const BadSource& bad = GetParam();
    ID3DXEffect* made = reinterpret_cast<ID3DXEffect*>(1);
    ID3DXBuffer* errors = nullptr;
    EXPECT_EQ(D3DXCreateEffect(device, bad.source, static_cast<UINT>(std::strlen(bad.source)), nullptr, &include, 0,
                               pool, &made, &errors),
              bad.result);
    EXPECT_EQ(made, nullptr);
    ASSERT_NE(errors, nullptr);
    const std::string text(static_cast<const char*>(errors->GetBufferPointer()));
    EXPECT_NE(text.find(bad.message), std::string::npos) << text;
    errors->Release();
    EXPECT_EQ(include.open, 0);
}

const BadSource kBadSources[] = {
    {"UnknownType", "float5 X;", D3DXERR_INVALIDDATA, "memory(1): error: unknown type \"float5\""},
    {"MissingSemicolon", "float X\nfloat Y;", D3DXERR_INVALIDDATA, "memory(2): error: ';' expected"},
    {"UnterminatedString", "string S = \"abc;\n", D3DXERR_INVALIDDATA, "memory(1): error: string not closed"},
    {"UnterminatedComment", "float X;\n/* open\n", D3DXERR_INVALIDDATA, "memory(2): error: comment not closed"},
    {"UnterminatedCode", "glsl {\n void f() {}\n", D3DXERR_INVALIDDATA, "memory(1): error: code block not closed"},
    {"WrongValueCount", "float4 X = {1, 2, 3};", D3DXERR_INVALIDDATA, "needs 4 values, not 3"},
    {"BadRenderState", "technique T { pass P { ZFunky = LESS; } }", D3DXERR_INVALIDDATA, "unknown render state \"ZFunky\""},
    {"BadStateValue", "technique T { pass P { CullMode = SIDEWAYS; } }", D3DXERR_INVALIDDATA, "\"SIDEWAYS\" is not a value"},
    {"BadSamplerState", "texture T; sampler S = sampler_state { Texture = <T>; Wobble = 1; };", D3DXERR_INVALIDDATA,
     "unknown sampler state \"Wobble\""},
    {"SamplerOfNoTexture", "float T; sampler S = sampler_state { Texture = <T>; };", D3DXERR_INVALIDDATA,
     "\"T\" is not a texture parameter"},
    {"UnknownShader", "technique T { pass P { VertexShader = Nowhere; } }", D3DXERR_INVALIDDATA, "no shader named \"Nowhere\""},
    {"ShaderOfWrongKind", "pixelshader PS { void main() {} }\ntechnique T { pass P { VertexShader = PS; } }",
     D3DXERR_INVALIDDATA, "memory(2): error: \"PS\" is a pixel shader"},
    {"DuplicateParameter", "float X;\nfloat X;", D3DXERR_INVALIDDATA, "memory(2): error: parameter \"X\" declared twice"},
    {"ReservedName", "float gl_Thing;", D3DXERR_INVALIDDATA, "reserved"},
    {"HugeArray", "float X[99999999];", D3DXERR_INVALIDDATA, "an array has 1 to"},
    {"MissingInclude", "#include \"nowhere.fxh\"", D3DXERR_INVALIDDATA, "memory(1): error: cannot open include file \"nowhere.fxh\""},
    {"SelfInclude", "#include \"self.fxh\"", D3DXERR_INVALIDDATA, "self.fxh(1): error: #include nested more than"},
    {"ErrorInInclude", "\n#include \"broken.fxh\"", D3DXERR_INVALIDDATA, "broken.fxh(1): error:"},
    {"UnclosedIf", "#ifdef X\nfloat Y;\n", D3DXERR_INVALIDDATA, "memory(1): error: #if without #endif"},
    {"ErrorDirective", "#error stop here", D3DXERR_INVALIDDATA, "memory(1): error: #error stop here"},
    {"VersionLine", "#version 330", D3DXERR_INVALIDDATA, "#version is generated"},
    {"RecursiveMacro", "#define A B\n#define B A\nA X;", D3DXERR_INVALIDDATA, "unknown type \"A\""},
    {"MacroBomb",
     "#define A x x x x x x x x\n#define B A A A A A A A A\n#define C B B B B B B B B\n#define D C C C C C C C C\n"
     "#define E D D D D D D D D\n#define F E E E E E E E E\n#define G F F F F F F F F\nG",
     D3DXERR_INVALIDDATA, "memory(8): error: macro expansion too long"},
};

INSTANTIATE_TEST_SUITE_P(Sources, D3DXEffectBadSourceTest, ::testing::ValuesIn(kBadSources),
                         [](const ::testing::TestParamInfo<BadSource>& info) { return std::string(info.param.name); });

TEST_F(D3DXEffectTest, BadArgumentsAreInvalidCalls)
{
    ID3DXEffect* made = nullptr;
    EXPECT_EQ(D3DXCreateEffect(nullptr, kEffect, 10, nullptr, nullptr, 0, nullptr, &made, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffect(device, nullptr, 10, nullptr, nullptr, 0, nullptr, &made, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffect(device, kEffect, 0, nullptr, nullptr, 0, nullptr, &made, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffect(device, kEffect, 10, nullptr, nullptr, 0, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffectPool(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateBuffer(4, nullptr), D3DERR_INVALIDCALL);
    const char binary[] = {'\x01', '\x02', '\0', '\x03', 'x'};
    ID3DXBuffer* errors = nullptr;
    EXPECT_EQ(D3DXCreateEffect(device, binary, sizeof binary, nullptr, nullptr, 0, nullptr, &made, &errors),
              D3DXERR_INVALIDDATA);
    ASSERT_NE(errors, nullptr);
    EXPECT_NE(std::string(static_cast<const char*>(errors->GetBufferPointer())).find("neither an effect object nor text"),
              std::string::npos);
    errors->Release();
    // A failure leaves a caller's error buffer of a successful call alone.
    ID3DXBuffer* buffer = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(4096, &buffer), D3D_OK);
    ASSERT_EQ(buffer->GetBufferSize(), 4096u);
    ID3DXBuffer* kept = buffer;
    ASSERT_EQ(D3DXCreateEffect(device, kOtherEffect, static_cast<UINT>(std::strlen(kOtherEffect)), nullptr, nullptr, 0,
                               pool, &made, &buffer),
              D3D_OK);
    EXPECT_EQ(buffer, kept);
    made->Release();
    buffer->Release();
}

} // namespace

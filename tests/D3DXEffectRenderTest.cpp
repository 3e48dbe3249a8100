// Effects drawing on the OpenGL device, checked by reading the frames back: shared parameters of a
// pool reach another effect's shaders, techniques switch what is drawn, textures reach samplers the
// right way up, and matrices multiply as D3DX's do.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "GLTestDevice.h"
#include "d3dx9/d3dx9.h"

namespace {

// Sets the shared colour; draws nothing of its own.
const char* const kSetter = R"(
shared float4 SceneColour : SCENECOLOUR = {0, 0, 0, 1};
)";

const char* const kDrawer = R"(
shared float4 SceneColour : SCENECOLOUR = {0, 0, 0, 1};
float4x4 Placement : LOCAL;
float Brightness = 1.0;
texture Image : TEXTURE0;
sampler2D ImageSampler = sampler_state { Texture = <Image>; MinFilter = POINT; MagFilter = POINT; AddressU = CLAMP; AddressV = CLAMP; };

vertexshader PlaceVS {
    in vec4 POSITION0;
    in vec2 TEXCOORD0;
    out vec2 uv;
    void main() { gl_Position = Placement * POSITION0; uv = TEXCOORD0; }
}
pixelshader SharedPS {
    out vec4 COLOR0;
    void main() { COLOR0 = SceneColour * Brightness; }
}
pixelshader InvertedPS {
    out vec4 COLOR0;
    void main() { COLOR0 = vec4(1.0 - SceneColour.rgb, 1.0); }
}
pixelshader ImagePS {
    in vec2 uv;
    out vec4 COLOR0;
    void main() { COLOR0 = texture(ImageSampler, uv); }
}
technique Shared { pass P0 { ZEnable = FALSE; CullMode = NONE; VertexShader = PlaceVS; PixelShader = SharedPS; } }
technique Inverted { pass P0 { ZEnable = FALSE; CullMode = NONE; VertexShader = PlaceVS; PixelShader = InvertedPS; } }
technique Textured { pass P0 { ZEnable = FALSE; CullMode = NONE; VertexShader = PlaceVS; PixelShader = ImagePS; } }
)";

class D3DXEffectRenderTest : public GLTestDevice {
protected:
    void SetUp() override
    {
        GLTestDevice::SetUp();
        ASSERT_EQ(D3DXCreateEffectPool(&pool), D3D_OK);
        setter = Create(kSetter);
        drawer = Create(kDrawer);
        ASSERT_NE(setter, nullptr);
        ASSERT_NE(drawer, nullptr);
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        ASSERT_EQ(drawer->SetMatrix(drawer->GetParameterBySemantic(nullptr, "LOCAL"), &identity), D3D_OK);
    }

    void TearDown() override
    {
        if (drawer)
            drawer->Release();
        if (setter)
            setter->Release();
        if (pool)
            pool->Release();
        GLTestDevice::TearDown();
    }

    ID3DXEffect* Create(const char* source)
    {
        ID3DXEffect* effect = nullptr;
        ID3DXBuffer* errors = nullptr;
        EXPECT_EQ(D3DXCreateEffect(device, source, static_cast<UINT>(std::strlen(source)), nullptr, nullptr, 0, pool,
                                   &effect, &errors),
                  D3D_OK)
            << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        if (errors)
            errors->Release();
        return effect;
    }

    // The whole target covered, uv (0, 0) at the top left, through every pass of the technique.
    void DrawFullScreen(const char* technique)
    {
        const TexturedVertex tl{-1, 1, 0.5f, 1, 0, 0}, tr{1, 1, 0.5f, 1, 1, 0}, bl{-1, -1, 0.5f, 1, 0, 1},
            br{1, -1, 0.5f, 1, 1, 1};
        const TexturedVertex quad[6] = {tl, tr, bl, bl, tr, br};
        ASSERT_EQ(device->SetVertexDeclaration(texturedDecl), D3D_OK);
        ASSERT_EQ(drawer->SetTechnique(technique), D3D_OK);
        UINT passes = 0;
        ASSERT_EQ(drawer->Begin(&passes, 0), D3D_OK);
        for (UINT i = 0; i < passes; ++i) {
            ASSERT_EQ(drawer->BeginPass(i), D3D_OK);
            ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(TexturedVertex)), D3D_OK);
            ASSERT_EQ(drawer->EndPass(), D3D_OK);
        }
        ASSERT_EQ(drawer->End(), D3D_OK);
    }

    std::uint32_t Pixel(const std::vector<std::uint32_t>& pixels, UINT x, UINT y) { return Rgb(pixels[y * 64 + x]); }

    ID3DXEffectPool* pool = nullptr;
    ID3DXEffect* setter = nullptr;
    ID3DXEffect* drawer = nullptr;
};

TEST_F(D3DXEffectRenderTest, SharedColourSetThroughOneEffectDrawsThroughAnother)
{
    const D3DXVECTOR4 orange(1, 128.f / 255.f, 0, 1);
    ASSERT_EQ(setter->SetVector(setter->GetParameterBySemantic(nullptr, "SCENECOLOUR"), &orange), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    DrawFullScreen("Shared");
    ASSERT_EQ(device->EndScene(), D3D_OK);
    const std::vector<std::uint32_t> shared = ReadBackBuffer();
    ASSERT_EQ(shared.size(), 64u * 64u);
    EXPECT_EQ(Pixel(shared, 10, 10), 0xFF8000u);
    EXPECT_EQ(Pixel(shared, 60, 60), 0xFF8000u);

    // The technique decides what the pass computes.
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    DrawFullScreen("Inverted");
    ASSERT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(Pixel(ReadBackBuffer(), 32, 32), 0x007FFFu);
}

TEST_F(D3DXEffectRenderTest, ChangesInsideAPassNeedCommitChanges)
{
    const D3DXVECTOR4 white(1, 1, 1, 1);
    ASSERT_EQ(drawer->SetVector("SceneColour", &white), D3D_OK);
    const TexturedVertex left[6] = {{-1, 1, 0.5f, 1, 0, 0}, {0, 1, 0.5f, 1, 0, 0}, {-1, -1, 0.5f, 1, 0, 0},
                                    {-1, -1, 0.5f, 1, 0, 0}, {0, 1, 0.5f, 1, 0, 0}, {0, -1, 0.5f, 1, 0, 0}};
    TexturedVertex right[6];
    for (int i = 0; i < 6; ++i) {
        right[i] = left[i];
        right[i].x += 1;
    }
    ASSERT_EQ(device->SetVertexDeclaration(texturedDecl), D3D_OK);
    ASSERT_EQ(drawer->SetTechnique("Shared"), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    UINT passes = 0;
    ASSERT_EQ(drawer->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(drawer->BeginPass(0), D3D_OK);
    ASSERT_EQ(drawer->SetFloat("Brightness", 0.0f), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, left, sizeof(TexturedVertex)), D3D_OK);
    ASSERT_EQ(drawer->CommitChanges(), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, right, sizeof(TexturedVertex)), D3D_OK);
    ASSERT_EQ(drawer->EndPass(), D3D_OK);
    ASSERT_EQ(drawer->End(), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    const std::vector<std::uint32_t> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 16, 32), 0xFFFFFFu) << "drawn before CommitChanges: the old brightness";
    EXPECT_EQ(Pixel(pixels, 48, 32), 0x000000u) << "drawn after CommitChanges";
}

TEST_F(D3DXEffectRenderTest, TexturesReachSamplersTheRightWayUp)
{
    // Texel rows from the top: red, green / blue, white.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    Own(texture);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    const std::uint32_t rows[2][2] = {{0xFFFF0000u, 0xFF00FF00u}, {0xFF0000FFu, 0xFFFFFFFFu}};
    for (int y = 0; y < 2; ++y)
        std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch, rows[y], 8);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    ASSERT_EQ(drawer->SetTexture(drawer->GetParameterBySemantic(nullptr, "TEXTURE0"), texture), D3D_OK);

    ASSERT_EQ(device->BeginScene(), D3D_OK);
    DrawFullScreen("Textured");
    ASSERT_EQ(device->EndScene(), D3D_OK);
    const std::vector<std::uint32_t> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 8, 8), 0xFF0000u);
    EXPECT_EQ(Pixel(pixels, 56, 8), 0x00FF00u);
    EXPECT_EQ(Pixel(pixels, 8, 56), 0x0000FFu);
    EXPECT_EQ(Pixel(pixels, 56, 56), 0xFFFFFFu);
}

TEST_F(D3DXEffectRenderTest, MatricesMultiplyAsD3DXDoes)
{
    // A D3DX row-vector placement: half size, then moved right by half the screen. Only the
    // right half of the target is covered, centred on x = 0.5 in clip space.
    D3DXMATRIX scale, move, placement;
    D3DXMatrixScaling(&scale, 0.5f, 0.5f, 1);
    D3DXMatrixTranslation(&move, 0.5f, 0, 0);
    D3DXMatrixMultiply(&placement, &scale, &move);
    ASSERT_EQ(drawer->SetMatrix("Placement", &placement), D3D_OK);
    const D3DXVECTOR4 white(1, 1, 1, 1);
    ASSERT_EQ(setter->SetVector("SceneColour", &white), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    DrawFullScreen("Shared");
    ASSERT_EQ(device->EndScene(), D3D_OK);
    const std::vector<std::uint32_t> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 16, 32), 0x000000u);
    EXPECT_EQ(Pixel(pixels, 40, 32), 0xFFFFFFu);
    EXPECT_EQ(Pixel(pixels, 56, 32), 0xFFFFFFu);
    EXPECT_EQ(Pixel(pixels, 48, 8), 0x000000u);
}

TEST_F(D3DXEffectRenderTest, DeviceCompileErrorsNameTheEffectLine)
{
    const char* broken = "float4 A;\nvertexshader VS {\n in vec4 POSITION0;\n void main() { gl_Position = A * nothing; }\n}\n"
                         "technique T { pass P { VertexShader = VS; } }\n";
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    EXPECT_EQ(D3DXCreateEffect(device, broken, static_cast<UINT>(std::strlen(broken)), nullptr, nullptr, 0, pool,
                               &effect, &errors),
              E_FAIL);
    EXPECT_EQ(effect, nullptr);
    ASSERT_NE(errors, nullptr);
    const std::string text(static_cast<const char*>(errors->GetBufferPointer()));
    EXPECT_EQ(text.compare(0, 18, "memory(4): error: "), 0) << text;
    errors->Release();
}

} // namespace

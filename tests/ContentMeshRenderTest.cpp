#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "FileSys.h"
#include "GLTestDevice.h"
#include "TempDir.h"
#include "common/ArchiveWriter.h"

namespace {

// Shades a mesh by how squarely its normals face the eye, drawn as the demo draws solid
// geometry: depth-tested, with clockwise faces culled. A mesh wound the other way round shows
// only its far side, whose normals point away: dark.
const char* kFacingEffect = R"(
float4x4 World : LOCAL;
float4x4 ViewProj;
float3 Eye;
vertexshader VS {
    in vec4 POSITION0; in vec3 NORMAL0; out vec3 normal; out vec3 toEye;
    void main() {
        vec4 world = World * POSITION0;
        gl_Position = ViewProj * world;
        normal = (World * vec4(NORMAL0, 0.0)).xyz;
        toEye = Eye - world.xyz;
    }
}
pixelshader PS {
    in vec3 normal; in vec3 toEye; out vec4 COLOR0;
    void main() { COLOR0 = vec4(vec3(max(dot(normalize(normal), normalize(toEye)), 0.0)), 1.0); }
}
technique Facing { pass P0 { ZEnable = TRUE; ZFunc = LESSEQUAL; CullMode = CW; VertexShader = VS; PixelShader = PS; } }
)";

// The meshes of the content build, drawn on the GL device through DXMesh and an effect.
class ContentMeshRenderTest : public GLTestDevice {
protected:
    void SetUp() override
    {
        CreateDevice(96, 96, D3DMULTISAMPLE_NONE, true);
        // The content archive plus the test's effect, in an archive of its own.
        FileSys content(ORVALA_CONTENT_ARCHIVE);
        ArchiveWriter archive;
        for (const auto& [name, coords] : FileSys::GetDirectory()) {
            if (name.size() > 2 && name.compare(name.size() - 2, 2, ".x") == 0) {
                std::vector<unsigned char> bytes(FileSys::GetFileSize(name.c_str()));
                FileSys::ReadFile(name.c_str(), bytes.data());
                archive.Add(name, bytes);
            }
        }
        archive.Add("OShaders\\facing.fxo", std::vector<unsigned char>(kFacingEffect,
                                                                       kFacingEffect + std::strlen(kFacingEffect)));
        archive.Write((folder.path() / "meshes.dat").string());
        files.reset();
        DXFramework::SetDevice(device);
        ASSERT_EQ(D3DXCreateEffectPool(&pool), D3D_OK);
        registry = std::make_unique<DXEffectHandler>();
    }
    void TearDown() override
    {
        registry.reset();
        if (pool)
            pool->Release();
        DXFramework::SetDevice(nullptr);
        files.reset();
        GLTestDevice::TearDown();
    }

    // The mesh seen from `eye` looking at `at` (right-handed camera, as the demo's), scaled by
    // `scale`; the picture as brightness 0..255 per pixel.
    std::vector<int> Seen(const std::string& file, const D3DXVECTOR3& eye, const D3DXVECTOR3& at, float scale)
    {
        if (!files) {
            files = std::make_unique<FileSys>((folder.path() / "meshes.dat").string().c_str());
            DXEffectHandler::AddEffect("facing", "facing.fx", pool);
            DXEffectHandler::SetActiveEffect("facing");
            DXEffectHandler::SetTechnique("Facing");
        }
        DXMesh mesh(nullptr);
        mesh.LoadX(file, false);
        D3DXMatrixScaling(&mesh.world, scale, scale, scale);
        D3DXMATRIX view, projection, viewProj;
        const D3DXVECTOR3 up(0, 1, 0);
        D3DXMatrixLookAtRH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovRH(&projection, D3DX_PI / 3, 1.0f, 0.1f, 200.0f);
        D3DXMatrixMultiply(&viewProj, &view, &projection);
        DXEffect* effect = DXEffectHandler::FindEffect("facing");
        ID3DXEffect* fx = effect->GetD3DXEffect();
        fx->SetMatrix(fx->GetParameterByName(nullptr, "ViewProj"), &viewProj);
        fx->SetFloatArray(fx->GetParameterByName(nullptr, "Eye"), &eye.x, 3);
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        DXEffectHandler::RenderObject(&mesh);
        EXPECT_EQ(device->EndScene(), D3D_OK);
        const std::vector<std::uint32_t> picture = ReadBackBuffer();
        SavePng(file + ".png", picture, 96, 96);
        std::vector<int> brightness;
        for (std::uint32_t pixel : picture)
            brightness.push_back(static_cast<int>((pixel >> 8) & 0xFF));
        return brightness;
    }

    TempDir folder;
    std::unique_ptr<FileSys> files;
    ID3DXEffectPool* pool = nullptr;
    std::unique_ptr<DXEffectHandler> registry;
};

int At(const std::vector<int>& picture, int x, int y)
{
    return picture[static_cast<std::size_t>(y) * 96 + static_cast<std::size_t>(x)];
}

} // namespace

TEST_F(ContentMeshRenderTest, SolidsShowTheirOutsideFromOutside)
{
    struct Case {
        const char* file;
        D3DXVECTOR3 eye;
        float scale;
    };
    const Case cases[] = {
        {"usphere.x", D3DXVECTOR3(0, 0, 4), 1.0f},
        {"usphere.x", D3DXVECTOR3(3, 2, -2), 1.0f},
        {"ucone.x", D3DXVECTOR3(0, 0, -5), 1.0f}, // looking into its open base's cap
        {"littleCubeShape.x", D3DXVECTOR3(0, 0, 4), 1.0f},
        {"icubeShape.x", D3DXVECTOR3(-3, 1, 3), 1.0f},
        {"discoball1Shape.x", D3DXVECTOR3(0, 0, 3), 1.0f},
        {"holoShape.x", D3DXVECTOR3(0, 0, 6), 1.0f},
        {"bounceShape.x", D3DXVECTOR3(0, 0, 5), 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<int> picture = Seen(c.file, c.eye, D3DXVECTOR3(0, 0, 0), c.scale);
        int lit = 0, bright = 0;
        for (int v : picture) {
            lit += v > 0;
            bright += v > 100;
        }
        // Something is drawn, and most of it faces the eye (the far side, seen through a
        // wrongly wound near side, would face away and stay dark).
        ASSERT_GT(lit, 40);
        EXPECT_GT(bright * 2, lit) << bright << " of " << lit;
    }
}

TEST_F(ContentMeshRenderTest, RoomsAndTunnelsShowTheirInsideFromInside)
{
    // From the middle of the room, looking at a wall; from inside the tunnel (which runs along
    // Z), at its side wall and along it.
    std::vector<int> room = Seen("roomenvShape.x", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, -1), 1.0f);
    EXPECT_GT(At(room, 48, 48), 200);
    std::vector<int> side = Seen("tunnelShape.x", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0), 1.0f);
    EXPECT_GT(At(side, 48, 48), 200);
    std::vector<int> along = Seen("tunnelShape.x", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, -1), 1.0f);
    EXPECT_GT(At(along, 10, 48), 0); // the walls run off to the sides of the picture
}

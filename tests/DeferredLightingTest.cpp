#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "DeferredLighting/DeferredLighting.h"
#include "DeferredLightingWorld.h"
#include "FrameworkExMessage.h"
#include "GLTestDevice.h"
#include "PointLight.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "SpotLight.h"
#include "Transform.h"
#include "d3d9/DeviceFactory.h"
#include "image/PngFile.h"

namespace {

// A camera at the origin looking down -Z (near 0.5), a point light of radius 1 and spot lights
// with and without shadows.
const char* kRecordedScene = R"(<scene>
  <cameras><camera name="eye" vFOV="1.0" nearz="0.5" farz="80" aspect="1.5"/></cameras>
  <lights>
    <point name="bulb" color="1 0.5 0.25 1" translation="0 0 -5" radius="1"/>
    <point name="shadowbulb" translation="0 0 -5" radius="1" castshadows="true"/>
    <spot name="beam" color="0.2 0.4 0.8 1" translation="1 4 -6" rotation="-1.2 0.3 0" radius="9"
          coneangle="0.9" penumbraangle="0.25" castshadows="true"/>
    <spot name="plainbeam" translation="0 2 -3" radius="4" coneangle="1.2" penumbraangle="0.1"/>
  </lights>
</scene>)";

constexpr DWORD kCullMode = D3DRS_CULLMODE;
constexpr DWORD kZFunc = D3DRS_ZFUNC;

// The module on the recording device, drawing into a 96 x 64 light target with its G-buffer and
// shadow map as plain render textures.
class DeferredLightingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(MakeRecordingDevice(&device, 96, 64), D3D_OK);
        DXFramework::SetDevice(device);
        world = std::make_unique<LightingWorld>();
        world->Open(kRecordedScene);
        for (RENDERTEXTURE* target : {&normalDepth, &shadow, &colour}) {
            target->width = target == &shadow ? 64 : 96;
            target->height = 64;
            target->format = target == &shadow ? D3DFMT_G16R16F : D3DFMT_A16B16G16R16F;
            ASSERT_EQ(device->CreateTexture(target->width, target->height, 1, D3DUSAGE_RENDERTARGET, target->format,
                                            D3DPOOL_DEFAULT, &target->texture, nullptr),
                      D3D_OK);
        }
        module = std::make_unique<DeferredLighting>("DefLight");
        module->CreateResources();
        ClearRecordedCalls(device);
    }

    void TearDown() override
    {
        module.reset();
        world.reset();
        for (RENDERTEXTURE* target : {&normalDepth, &shadow, &colour}) {
            if (target->texture)
                target->texture->Release();
        }
        DXFramework::SetDevice(nullptr);
        if (device) {
            EXPECT_EQ(device->Release(), 0u) << "the module left objects of the device alive";
        }
    }

    void Draw(BaseLight& light) { module->DrawLight(&normalDepth, &shadow, &colour, &light); }

    std::vector<std::string> Calls(const std::string& method) const
    {
        std::vector<std::string> found;
        for (const RecordedCall& call : GetRecordedCalls(device)) {
            if (call.method == method)
                found.push_back(call.arguments);
        }
        return found;
    }

    std::size_t Draws() const { return Calls("DrawIndexedPrimitive").size(); }

    DWORD State(DWORD state) const
    {
        DWORD value = 0;
        EXPECT_EQ(device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state), &value), D3D_OK);
        return value;
    }

    // The effect's current values, read back by semantic.
    ID3DXEffect* Effect() const { return DXEffectHandler::FindEffect("DefLight")->GetD3DXEffect(); }
    D3DXHANDLE Handle(const char* semantic) const
    {
        D3DXHANDLE handle = DXEffectHandler::FindEffect("DefLight")->GetHandleBySemantic(semantic);
        EXPECT_NE(handle, nullptr) << semantic;
        return handle;
    }
    float Float(const char* semantic) const
    {
        float value = NAN;
        EXPECT_EQ(Effect()->GetFloat(Handle(semantic), &value), D3D_OK);
        return value;
    }
    std::vector<float> Floats(const char* semantic, UINT count) const
    {
        std::vector<float> values(count, NAN);
        EXPECT_EQ(Effect()->GetFloatArray(Handle(semantic), values.data(), count), D3D_OK);
        return values;
    }
    D3DXMATRIX Matrix(const char* semantic) const
    {
        D3DXMATRIX value;
        EXPECT_EQ(Effect()->GetMatrix(Handle(semantic), &value), D3D_OK);
        return value;
    }
    IDirect3DBaseTexture9* Texture(const char* semantic) const
    {
        IDirect3DBaseTexture9* texture = nullptr;
        EXPECT_EQ(Effect()->GetTexture(Handle(semantic), &texture), D3D_OK);
        if (texture)
            texture->Release(); // the record still holds it
        return texture;
    }
    std::string Technique() const { return DXEffectHandler::FindEffect("DefLight")->GetTechniqueName(); }

    IDirect3DDevice9* device = nullptr;
    std::unique_ptr<LightingWorld> world;
    std::unique_ptr<DeferredLighting> module;
    RENDERTEXTURE normalDepth, shadow, colour;
};

void ExpectNear(const std::vector<float>& actual, const std::vector<float>& expected, float tolerance = 1e-5f)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "element " << i;
}

void ExpectNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float tolerance = 1e-4f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance) << "row " << r << " column " << c;
}

} // namespace

TEST_F(DeferredLightingTest, PointLightChoosesItsStatesByDistanceFromTheMirroredNearPlane)
{
    // The camera sits at the origin looking down -Z with its near plane at 0.5, so a light at z
    // is at d = 0.5 - z; the radius is 1.
    struct Case {
        const char* name;
        float z;
        bool drawn;
        DWORD cull, zFunc;
    };
    const Case cases[] = {
        {"far in front", -20.0f, true, D3DCULL_CW, D3DCMP_LESSEQUAL},
        {"d = 2r", -1.5f, true, D3DCULL_CW, D3DCMP_LESSEQUAL},
        {"just inside 2r", -1.49f, true, D3DCULL_CCW, D3DCMP_GREATEREQUAL},
        {"around the camera", 0.0f, true, D3DCULL_CCW, D3DCMP_GREATEREQUAL},
        {"d = -2r", 2.5f, true, D3DCULL_CCW, D3DCMP_GREATEREQUAL},
        {"just below -2r", 2.501f, false, 0, 0},
        {"far behind", 30.0f, false, 0, 0},
    };
    PointLight& bulb = world->FindLight<PointLight>("bulb");
    const float sentinel[3] = {7, 7, 7};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bulb.GetTransform()->SetTranslation(D3DXVECTOR3(0.5f, -0.25f, c.z));
        DXEffectHandler::SetActiveEffect("DefLight");
        DXEffectHandler::SetVec3BySemantic("DLIGHTPOS", sentinel);
        ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
        ASSERT_EQ(device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS), D3D_OK);
        ClearRecordedCalls(device);
        Draw(bulb);
        if (!c.drawn) {
            EXPECT_EQ(Draws(), 0u);
            EXPECT_TRUE(Calls("SetRenderState").empty());
            ExpectNear(Floats("DLIGHTPOS", 3), {7, 7, 7});
            continue;
        }
        EXPECT_EQ(Draws(), 1u);
        EXPECT_EQ(State(kCullMode), c.cull);
        EXPECT_EQ(State(kZFunc), c.zFunc);
        EXPECT_EQ(Technique(), "Def_PointLight_noshadow");
        ExpectNear(Floats("DLIGHTPOS", 3), {0.5f, -0.25f, c.z});
        ExpectNear(Floats("DLIGHTCOL", 3), {1.0f, 0.5f, 0.25f});
        EXPECT_FLOAT_EQ(Float("DLIGHTRAD"), 1.0f);
        const float t = std::tan(0.5f);
        ExpectNear(Floats("FARCLIPVALUES", 3), {t * 80.0f * 1.5f, t * 80.0f, 80.0f}, 1e-4f);
        // The volume: the unit sphere grown to 1.05 r around the light, seen by the camera.
        D3DXMATRIX scale, move;
        D3DXMatrixScaling(&scale, 1.05f, 1.05f, 1.05f);
        D3DXMatrixTranslation(&move, 0.5f, -0.25f, c.z);
        ExpectNear(Matrix("LOCALVIEWPROJ"), scale * move * world->ActiveCamera().GetViewProj());
    }
}

TEST_F(DeferredLightingTest, PointLightIsPlacedInTheViewOfATurnedCamera)
{
    Camera& camera = world->ActiveCamera();
    camera.SetView(D3DXVECTOR3(4, 3, 2), D3DXVECTOR3(-1, 0, -8), D3DXVECTOR3(0, 1, 0));
    PointLight& bulb = world->FindLight<PointLight>("bulb");
    const D3DXVECTOR3 place(0, 1, -6);
    bulb.GetTransform()->SetTranslation(place);
    Draw(bulb);
    D3DXVECTOR3 expected;
    D3DXVec3TransformCoord(&expected, &place, &camera.GetView());
    ExpectNear(Floats("DLIGHTPOS", 3), {expected.x, expected.y, expected.z}, 1e-4f);
    EXPECT_LT(expected.z, -4.0f); // well in front: the outside states
    EXPECT_EQ(State(kCullMode), static_cast<DWORD>(D3DCULL_CW));
    EXPECT_EQ(Draws(), 1u);
}

TEST_F(DeferredLightingTest, LightOfAnotherKindDrawsNothingButTheGBufferIsBound)
{
    D3DVIEWPORT9 viewport{0, 0, 80, 40, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ClearRecordedCalls(device);
    OtherLight other;
    Draw(other);
    EXPECT_EQ(DXEffectHandler::GetActiveEffect(), DXEffectHandler::FindEffect("DefLight"));
    EXPECT_EQ(Calls("GetViewport").size(), 1u);
    ExpectNear(Floats("RTDIMPIXELINV", 2), {1.0f / 80.0f, -1.0f / 40.0f});
    EXPECT_EQ(Texture("NORMLTEX1"), normalDepth.texture);
    EXPECT_EQ(Texture("COLTEX2"), shadow.texture);
    EXPECT_EQ(Texture("COLTEX3"), colour.texture);
    EXPECT_EQ(Draws(), 0u);
    EXPECT_TRUE(Calls("SetRenderState").empty());
}

TEST_F(DeferredLightingTest, ShadowCastingPointLightIsRefused)
{
    PointLight& bulb = world->FindLight<PointLight>("shadowbulb");
    EXPECT_EQ(FrameworkExMessage([&] { Draw(bulb); }), "heyy Velko - Pointlights kan ikke kaste skygger!");
    EXPECT_EQ(Draws(), 0u);
}

TEST_F(DeferredLightingTest, SpotLightSetsItsConeShadowAndInsideStates)
{
    Camera& camera = world->ActiveCamera();
    camera.SetView(D3DXVECTOR3(2, 5, 9), D3DXVECTOR3(0, 0, -4), D3DXVECTOR3(0, 1, 0));
    struct Case {
        const char* light;
        float cone, penumbra, radius;
        const char* technique;
    };
    const Case cases[] = {
        {"beam", 0.9f, 0.25f, 9.0f, "Def_SpotLight_shadow"},
        {"plainbeam", 1.2f, 0.1f, 4.0f, "Def_SpotLight_noshadow"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.light);
        SpotLight& spot = world->FindLight<SpotLight>(c.light);
        ClearRecordedCalls(device);
        Draw(spot);
        EXPECT_EQ(Draws(), 1u);
        EXPECT_EQ(Technique(), c.technique);
        // Far from the camera, yet the cone is drawn from inside.
        EXPECT_EQ(State(kCullMode), static_cast<DWORD>(D3DCULL_CCW));
        EXPECT_EQ(State(kZFunc), static_cast<DWORD>(D3DCMP_GREATEREQUAL));
        EXPECT_NEAR(Float("DLIGHTCONE"), std::cos(c.cone / 2), 1e-6f);
        EXPECT_NEAR(Float("DPENUMANGLE"), 1 - std::cos(c.penumbra), 1e-6f); // the penumbra is not halved
        EXPECT_NEAR(Float("CONEMESHSCALE"), std::tan(c.cone * 0.51f), 1e-6f);
        EXPECT_FLOAT_EQ(Float("DLIGHTRAD"), c.radius);

        const D3DXMATRIX& view = camera.GetView();
        D3DXVECTOR3 position, direction;
        D3DXVec3TransformCoord(&position, &spot.GetTransform()->GetTranslation(), &view);
        D3DXVec3TransformNormal(&direction, &spot.GetDirection(), &view);
        ExpectNear(Floats("DLIGHTPOS", 3), {position.x, position.y, position.z}, 1e-4f);
        ExpectNear(Floats("DLIGHTDIR", 3), {direction.x, direction.y, direction.z}, 1e-5f);
        // The cone is placed by the light's world matrix alone; the shader widens it.
        ExpectNear(Matrix("LOCALVIEWPROJ"), spot.GetWorld() * camera.GetViewProj());

        // PROJECTIONMATRIX takes a view-space point to where the light's shadow pass put it.
        const D3DXVECTOR3 point(0.5f, 0.0f, -7.0f);
        D3DXVECTOR4 inView, seen, expected;
        D3DXVec3Transform(&inView, &point, &view);
        const D3DXMATRIX toLight = Matrix("PROJECTIONMATRIX");
        D3DXVec4Transform(&seen, &inView, &toLight);
        D3DXVec3Transform(&expected, &point, &spot.GetViewProj());
        ExpectNear({seen.x, seen.y, seen.z, seen.w}, {expected.x, expected.y, expected.z, expected.w}, 1e-3f);
    }
}

TEST_F(DeferredLightingTest, KeyIShowsMarkersUntilPressedAgain)
{
    PointLight& bulb = world->FindLight<PointLight>("bulb");
    SpotLight& spot = world->FindLight<SpotLight>("plainbeam");
    bulb.GetTransform()->SetTranslation(D3DXVECTOR3(1, 0, -10));
    const D3DXMATRIX& viewProj = world->ActiveCamera().GetViewProj();
    D3DXMATRIX marker, move;
    D3DXMatrixScaling(&marker, 0.1f, 0.1f, 0.1f);
    D3DXMatrixTranslation(&move, 1, 0, -10);

    // One frame's draws of both lights: (point draws, spot draws).
    auto frame = [&] {
        module->Update();
        ClearRecordedCalls(device);
        Draw(bulb);
        const std::size_t point = Draws();
        Draw(spot);
        return std::make_pair(point, Draws() - point);
    };
    EXPECT_EQ(frame(), std::make_pair(std::size_t(1), std::size_t(1)));
    EXPECT_FALSE(module->GetShowLightVisuals());

    PressKey(73);
    EXPECT_EQ(frame(), std::make_pair(std::size_t(2), std::size_t(2)));
    EXPECT_TRUE(module->GetShowLightVisuals());
    EXPECT_EQ(Technique(), "Def_SpotLightVisual");
    EXPECT_FLOAT_EQ(Float("DLIGHTRAD"), 4.0f * 0.05f);
    // The markers' own states (front faces, LESSEQUAL) do not outlast them: the spot light's
    // inside states hold after its marker.
    EXPECT_EQ(State(kCullMode), static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(State(kZFunc), static_cast<DWORD>(D3DCMP_GREATEREQUAL));
    // The point light's marker: a sphere of 0.1 at the light, whatever the radius.
    Draw(bulb);
    EXPECT_EQ(Technique(), "Def_PointLightVisual");
    ExpectNear(Matrix("LOCALVIEWPROJ"), marker * move * viewProj);
    EXPECT_FLOAT_EQ(Float("DLIGHTRAD"), 1.0f);

    // Still held, no new press: the markers stay; they survive new resources too.
    KeyHandler::Update();
    module->ReleaseResources();
    module->CreateResources();
    EXPECT_EQ(frame(), std::make_pair(std::size_t(2), std::size_t(2)));

    PressKey(73);
    EXPECT_EQ(frame(), std::make_pair(std::size_t(1), std::size_t(1)));
    EXPECT_FALSE(module->GetShowLightVisuals());
}

TEST_F(DeferredLightingTest, DrawingWithoutCameraOrResourcesFailsWithAMessage)
{
    PointLight& bulb = world->FindLight<PointLight>("bulb");
    module->ReleaseResources();
    EXPECT_EQ(FrameworkExMessage([&] { Draw(bulb); }),
              "[DeferredLighting::DrawPointLight] The light volumes are not loaded");
    EXPECT_EQ(FrameworkExMessage([&] { Draw(world->FindLight<SpotLight>("beam")); }),
              "[DeferredLighting::DrawSpotLight] The light volumes are not loaded");
    module->CreateResources();
    module->CreateResources(); // again: the meshes are replaced, not leaked (TearDown counts)

    // A current scene that never read its description has no camera.
    Scene* bare = new Scene("BareScene");
    SceneHandler::AddScene(bare);
    EXPECT_EQ(FrameworkExMessage([&] { Draw(bulb); }),
              "[DeferredLighting::DrawPointLight] Scene \"BareScene\" has no active camera");
    EXPECT_EQ(FrameworkExMessage([&] { Draw(world->FindLight<SpotLight>("beam")); }),
              "[DeferredLighting::DrawSpotLight] Scene \"BareScene\" has no active camera");
    EXPECT_EQ(FrameworkExMessage([&] { module->DrawLight(&normalDepth, &shadow, &colour, nullptr); }),
              "[DeferredLighting::DrawLight] No light given");
    EXPECT_EQ(Draws(), 0u);
}

// ---- The effect on the GL device ----

namespace {

// The fixture's geometry pass: a constant albedo without highlights into COLOR0 and the view
// normal and depth into COLOR1, as the rendering contract encodes them.
const char* kGBufferEffect = R"(
#include "rendering.fxh"
float4x4 LocalView : LOCALVIEW;
float4x4 LocalViewProj : LOCALVIEWPROJ;
vertexshader VS {
    in vec4 POSITION0; in vec3 NORMAL0; out vec3 viewNormal; out vec3 viewPosition;
    void main() {
        vec4 local = vec4(POSITION0.xyz, 1.0);
        gl_Position = LocalViewProj * local;
        viewPosition = (LocalView * local).xyz;
        viewNormal = (LocalView * vec4(NORMAL0, 0.0)).xyz;
    }
}
pixelshader PS {
    in vec3 viewNormal; in vec3 viewPosition; out vec4 COLOR0; out vec4 COLOR1;
    void main() {
        COLOR0 = vec4(0.8, 0.8, 0.8, 0.0);
        COLOR1 = EncodeNormalDepth(viewNormal, viewPosition.z);
    }
}
technique Clean {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = TRUE; ZFunc = LESSEQUAL; CullMode = CW; AlphaBlendEnable = FALSE;
        VertexShader = VS; PixelShader = PS;
    }
}
)";

// A camera at (0, 6, 8) looking at the origin over a floor at y = 0, 60 degrees high; spot lights
// 4 above the floor point (-2.5, 0, -3) shining straight down; point lights in front of the
// camera and around it.
const char* kLitScene = R"(<scene>
  <cameras><camera name="eye" vFOV="1.0471976" nearz="0.5" farz="100" aspect="1.5"/></cameras>
  <lights>
    <spot name="spot" color="1 0.9 0.7 1" radius="10" coneangle="1.0" penumbraangle="0.15"/>
    <spot name="shadowed" color="1 1 1 1" radius="10" coneangle="1.0" penumbraangle="0.15" castshadows="true"/>
    <point name="near" color="0.6 0.8 1 1" translation="2 1 1" radius="3"/>
    <point name="around" color="1 0.6 0.3 1" translation="0 4 6" radius="6"/>
  </lights>
</scene>)";

constexpr UINT kW = 96;
constexpr UINT kH = 64;

// A light buffer read back: rgba floats, rows from the top.
struct LightPicture {
    std::vector<float> texels;
    const float* At(int x, int y) const { return &texels[(static_cast<std::size_t>(y) * kW + x) * 4]; }
    float Red(int x, int y) const { return At(x, y)[0]; }
};

// The module on the GL device: a G-buffer drawn by hand over the floor, a spot light's shadow
// map and the light buffer, all 96 x 64 (the shadow map 64 x 64).
class DeferredLightingGLTest : public GLTestDevice {
protected:
    void SetUp() override
    {
        CreateDevice(kW, kH, D3DMULTISAMPLE_NONE, true);
        DXFramework::SetDevice(device);
        world = std::make_unique<LightingWorld>();
        world->Add("OShaders\\gbuffer.fxo", kGBufferEffect);
        world->Add("Shaders\\rendering.fxh", StagedContent("Shaders/rendering.fxh"));
        world->Add("Data\\floorShape.x", StagedContent("Data/floorShape.x"));
        world->Add("Data\\littleCubeShape.x", StagedContent("Data/littleCubeShape.x"));
        world->Open(kLitScene);
        world->ActiveCamera().SetView(D3DXVECTOR3(0, 6, 8), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
        for (const char* name : {"spot", "shadowed"})
            world->FindLight<SpotLight>(name).Aim(D3DXVECTOR3(-2.5f, 4.0f, -3.0f), D3DXVECTOR3(0, 1, 0));

        MakeTarget(normalDepth, kW, kH, D3DFMT_A16B16G16R16F);
        MakeTarget(colour, kW, kH, D3DFMT_A16B16G16R16F);
        MakeTarget(light, kW, kH, D3DFMT_A16B16G16R16F);
        MakeTarget(shadow, 64, 64, D3DFMT_G16R16F);

        DXEffectHandler::AddEffect("gbuffer", "gbuffer.fx", nullptr);
        floor = std::make_unique<DXMesh>(nullptr);
        floor->LoadX("floorShape.x", false);
        occluder = std::make_unique<DXMesh>(nullptr);
        occluder->LoadX("littleCubeShape.x", false);
        module = std::make_unique<DeferredLighting>("DefLight");
        module->CreateResources();
    }

    void TearDown() override
    {
        module.reset();
        floor.reset();
        occluder.reset();
        world.reset();
        for (RENDERTEXTURE* target : {&normalDepth, &colour, &light, &shadow}) {
            if (target->surface)
                target->surface->Release();
            if (target->texture)
                target->texture->Release();
        }
        DXFramework::SetDevice(nullptr);
        GLTestDevice::TearDown();
    }

    void MakeTarget(RENDERTEXTURE& target, UINT width, UINT height, D3DFORMAT format)
    {
        target.width = width;
        target.height = height;
        target.format = format;
        ASSERT_EQ(device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT,
                                        &target.texture, nullptr),
                  D3D_OK);
        ASSERT_EQ(target.texture->GetSurfaceLevel(0, &target.surface), D3D_OK);
    }

    // The shadow map of the spot light "shadowed": cleared, then the occluder (when there is one)
    // through "DepthToR".
    void DrawShadowMap(const D3DXMATRIX* occluderWorld)
    {
        ASSERT_EQ(device->SetRenderTarget(0, shadow.surface), D3D_OK);
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
        if (!occluderWorld)
            return;
        DXEffectHandler::SetActiveEffect("DefLight");
        DXEffectHandler::SetTechnique("DepthToR");
        occluder->world = occluder->oldWorld = *occluderWorld;
        const D3DXMATRIX toLight = *occluderWorld * world->FindLight<SpotLight>("shadowed").GetViewProj();
        DXEffectHandler::SetMatrixBySemantic("MYMAT", &toLight);
        DXEffectHandler::RenderObject(occluder.get());
    }

    // One frame: the shadow map, the floor into the G-buffer, then the lights into the light
    // buffer, which is read back, checked for NaN and infinity and written to
    // /tmp/deflight-<name>.png.
    LightPicture Render(const std::string& name, const std::vector<BaseLight*>& lights,
                        const D3DXMATRIX* occluderWorld = nullptr)
    {
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        DrawShadowMap(occluderWorld);

        EXPECT_EQ(device->SetRenderTarget(0, colour.surface), D3D_OK);
        EXPECT_EQ(device->SetRenderTarget(1, normalDepth.surface), D3D_OK);
        // (0, 0, 0, 1): depth 1, "nothing here".
        EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(255, 0, 0, 0), 1.0f, 0),
                  D3D_OK);
        DXEffectHandler::SetActiveEffect("gbuffer");
        DXEffectHandler::SetTechnique("Clean");
        D3DXMatrixIdentity(&floor->world);
        floor->oldWorld = floor->world;
        DXEffectHandler::RenderObject(floor.get());
        EXPECT_EQ(device->SetRenderTarget(1, nullptr), D3D_OK);

        EXPECT_EQ(device->SetRenderTarget(0, light.surface), D3D_OK);
        EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
        for (BaseLight* each : lights)
            module->DrawLight(&normalDepth, &shadow, &colour, each);
        EXPECT_EQ(device->EndScene(), D3D_OK);

        LightPicture picture{ReadHalfFloats(light.surface)};
        std::vector<std::uint8_t> bgra(kW * kH * 4);
        int notFinite = 0;
        for (std::size_t i = 0; i < kW * kH; ++i) {
            for (int c = 0; c < 4; ++c)
                notFinite += !std::isfinite(picture.texels[i * 4 + c]);
            for (int c = 0; c < 3; ++c) {
                const float v = std::sqrt(std::min(std::max(picture.texels[i * 4 + c], 0.0f), 1.0f));
                bgra[i * 4 + 2 - c] = static_cast<std::uint8_t>(v * 255.0f + 0.5f);
            }
            bgra[i * 4 + 3] = 255;
        }
        EXPECT_EQ(notFinite, 0) << "NaN or infinity in the light buffer of " << name;
        EXPECT_TRUE(WritePngBGRA("/tmp/deflight-" + name + ".png", bgra.data(), kW, kH, kW * 4));
        return picture;
    }

    std::vector<float> ReadHalfFloats(IDirect3DSurface9* target)
    {
        std::vector<float> values(kW * kH * 4, NAN);
        IDirect3DSurface9* copy = nullptr;
        EXPECT_EQ(device->CreateOffscreenPlainSurface(kW, kH, D3DFMT_A16B16G16R16F, D3DPOOL_SYSTEMMEM, &copy, nullptr),
                  D3D_OK);
        if (!copy)
            return values;
        EXPECT_EQ(device->GetRenderTargetData(target, copy), D3D_OK);
        D3DLOCKED_RECT locked{};
        if (copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
            for (UINT y = 0; y < kH; ++y) {
                const auto* row = reinterpret_cast<const D3DXFLOAT16*>(static_cast<const std::uint8_t*>(locked.pBits) +
                                                                       static_cast<std::size_t>(y) * locked.Pitch);
                D3DXFloat16To32Array(&values[static_cast<std::size_t>(y) * kW * 4], row, kW * 4);
            }
            copy->UnlockRect();
        }
        copy->Release();
        return values;
    }

    // The pixel a world point lands on.
    void Pixel(const D3DXVECTOR3& point, int& x, int& y)
    {
        D3DXVECTOR3 ndc;
        D3DXVec3TransformCoord(&ndc, &point, &world->ActiveCamera().GetViewProj());
        x = static_cast<int>(std::lround((ndc.x + 1.0f) * 0.5f * kW));
        y = static_cast<int>(std::lround((1.0f - ndc.y) * 0.5f * kH));
        ASSERT_TRUE(x >= 0 && x < static_cast<int>(kW) && y >= 0 && y < static_cast<int>(kH))
            << "(" << point.x << ", " << point.y << ", " << point.z << ") is off the picture";
    }

    // The red light at a floor point.
    float RedAt(const LightPicture& picture, const D3DXVECTOR3& point)
    {
        int x = 0, y = 0;
        Pixel(point, x, y);
        return picture.Red(x, y);
    }

    std::unique_ptr<LightingWorld> world;
    std::unique_ptr<DXMesh> floor, occluder;
    std::unique_ptr<DeferredLighting> module;
    RENDERTEXTURE normalDepth, colour, light, shadow;
};

const D3DXVECTOR3 kSpotTarget(-2.5f, 0.0f, -3.0f);

} // namespace

TEST_F(DeferredLightingGLTest, SpotLightLightsTheFloorInsideItsConeWhereItPoints)
{
    const LightPicture picture = Render("spot", {&world->FindLight<SpotLight>("spot")});
    // Straight below the light, 4 away: albedo 0.8 x colour 1 x attenuation (1 - 0.4^2)^2.
    EXPECT_NEAR(RedAt(picture, kSpotTarget), 0.8f * 0.7056f, 0.02f);
    // Inside the cone, 1.5 off its axis: lit, less.
    const float aside = RedAt(picture, kSpotTarget + D3DXVECTOR3(1.5f, 0, 0));
    EXPECT_GT(aside, 0.1f);
    EXPECT_LT(aside, 0.8f * 0.7056f);
    // Outside the cone (yet within reach), and where a mirrored picture would put the light.
    EXPECT_EQ(RedAt(picture, kSpotTarget + D3DXVECTOR3(3.5f, 0, 0)), 0.0f);
    EXPECT_EQ(RedAt(picture, D3DXVECTOR3(2.5f, 0, -3.0f)), 0.0f);
    int x = 0, y = 0;
    Pixel(kSpotTarget, x, y);
    EXPECT_EQ(picture.Red(x, static_cast<int>(kH) - 1 - y), 0.0f) << "upside down";
    // The colour is the light's.
    const float* texel = picture.At(x, y);
    EXPECT_NEAR(texel[1] / texel[0], 0.9f, 0.02f);
    EXPECT_NEAR(texel[2] / texel[0], 0.7f, 0.02f);
}

TEST_F(DeferredLightingGLTest, OccluderInTheShadowMapDarkensOnlyTheFloorBehindIt)
{
    SpotLight& spot = world->FindLight<SpotLight>("shadowed");
    // A 0.5 cube halfway down, 0.6 off the axis in x and z: its shadow falls 1.2 off the target
    // in both (the light looks along -Y, its up is +X).
    D3DXMATRIX scale, move, cube;
    D3DXMatrixScaling(&scale, 0.3125f, 0.3125f, 0.3125f);
    D3DXMatrixTranslation(&move, kSpotTarget.x + 0.6f, 2.0f, kSpotTarget.z + 0.6f);
    cube = scale * move;
    const LightPicture open = Render("shadow-empty", {&spot});
    const LightPicture shaded = Render("shadow-occluded", {&spot}, &cube);

    const D3DXVECTOR3 behind = kSpotTarget + D3DXVECTOR3(1.2f, 0, 1.2f);
    EXPECT_GT(RedAt(open, behind), 0.2f);
    EXPECT_LT(RedAt(shaded, behind), 0.1f * RedAt(open, behind));
    // Its mirror images about the light's axis stay lit.
    for (const D3DXVECTOR3& mirror : {D3DXVECTOR3(-1.2f, 0, 1.2f), D3DXVECTOR3(1.2f, 0, -1.2f),
                                      D3DXVECTOR3(-1.2f, 0, -1.2f), D3DXVECTOR3(0, 0, 0)}) {
        SCOPED_TRACE(mirror.x);
        SCOPED_TRACE(mirror.z);
        const float lit = RedAt(open, kSpotTarget + mirror);
        EXPECT_GT(lit, 0.2f);
        EXPECT_NEAR(RedAt(shaded, kSpotTarget + mirror), lit, 0.02f * lit);
    }
}

TEST_F(DeferredLightingGLTest, PointLightLightsWithinItsRadiusOnly)
{
    struct Case {
        const char* light;
        D3DXVECTOR3 lit;
        float expected; // red at `lit`: albedo x colour x cos x attenuation
        D3DXVECTOR3 within, beyond;
    };
    const Case cases[] = {
        // In front of the camera: the volume's outside.
        {"near", D3DXVECTOR3(2, 0, 1), 0.8f * 0.6f * 1.0f * 0.7901f, D3DXVECTOR3(4.5f, 0, 1), D3DXVECTOR3(2, 0, -2.2f)},
        // Around the camera: the volume's inside.
        {"around", D3DXVECTOR3(0, 0, 4), 0.8f * 1.0f * 0.8944f * 0.1975f, D3DXVECTOR3(0, 0, 2.5f),
         D3DXVECTOR3(0, 0, -2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.light);
        const LightPicture picture = Render(std::string("point-") + c.light, {&world->FindLight<PointLight>(c.light)});
        EXPECT_NEAR(RedAt(picture, c.lit), c.expected, 0.02f);
        EXPECT_GT(RedAt(picture, c.within), 0.0f);
        EXPECT_EQ(RedAt(picture, c.beyond), 0.0f);
    }
}

TEST_F(DeferredLightingGLTest, LightsAddUpAndMarkersShowWhereTheyAre)
{
    PointLight& near = world->FindLight<PointLight>("near");
    PointLight& around = world->FindLight<PointLight>("around");
    SpotLight& spot = world->FindLight<SpotLight>("spot");
    const LightPicture nearOnly = Render("sum-near", {&near});
    const LightPicture aroundOnly = Render("sum-around", {&around});
    const LightPicture both = Render("sum-both", {&near, &around});
    const D3DXVECTOR3 floorPoint(1.5f, 0, 3); // within reach of both
    EXPECT_GT(RedAt(nearOnly, floorPoint), 0.01f);
    EXPECT_GT(RedAt(aroundOnly, floorPoint), 0.01f);
    EXPECT_NEAR(RedAt(both, floorPoint), RedAt(nearOnly, floorPoint) + RedAt(aroundOnly, floorPoint), 0.005f);

    const LightPicture unmarked = Render("unmarked", {&spot, &around});
    PressKey(73);
    module->Update();
    const LightPicture marked = Render("markers", {&spot, &around});
    // The markers: the light's colour scaled to a peak of 2, added to whatever lies behind.
    int x = 0, y = 0;
    Pixel(around.GetTransform()->GetTranslation(), x, y);
    EXPECT_NEAR(marked.At(x, y)[0] - unmarked.At(x, y)[0], 2.0f, 0.02f);
    EXPECT_NEAR(marked.At(x, y)[1] - unmarked.At(x, y)[1], 1.2f, 0.02f);
    EXPECT_NEAR(marked.At(x, y)[2] - unmarked.At(x, y)[2], 0.6f, 0.02f);
    // The spot light's marker: a small cone hanging from the light.
    Pixel(D3DXVECTOR3(-2.5f, 3.7f, -3.0f), x, y);
    float brightest = 0, before = 0;
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            brightest = std::max(brightest, marked.At(x + dx, y + dy)[0]);
            before = std::max(before, unmarked.At(x + dx, y + dy)[0]);
        }
    }
    EXPECT_GE(brightest, 2.0f - 0.02f);
    EXPECT_EQ(before, 0.0f);
}

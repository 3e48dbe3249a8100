#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "DeferredLightingWorld.h"
#include "FrameworkExMessage.h"
#include "GLTestDevice.h"
#include "MeshDust/MeshDust.h"
#include "Transform.h"
#include "crt/CRand.h"
#include "d3d9/DeviceFactory.h"
#include "d3dx9/d3dx9mesh.h"

namespace {

constexpr float kPi = 3.14159265358979323846f;

// The morph effect's kind of point technique, reduced to what the module feeds it: the start
// place, launch, target place, pull and colour of every particle, drawn as points of PSIZE.
const char* kPointsEffect = R"(
float4x4 LocalViewProj : LOCALVIEWPROJ;
float PointSize : PSIZE = 1;
vertexshader PointsVS {
    in vec3 POSITION0; in vec3 NORMAL0; in vec3 TEXCOORD0; in vec3 TEXCOORD1; in vec4 COLOR0;
    out vec4 colour;
    void main() {
        gl_Position = LocalViewProj * vec4(POSITION0 + 0.0 * (NORMAL0 + TEXCOORD0 + TEXCOORD1), 1.0);
        gl_PointSize = PointSize;
        colour = COLOR0;
    }
}
pixelshader PointsPS {
    in vec4 colour; out vec4 COLOR0;
    void main() { COLOR0 = colour; }
}
technique Points {
    pass P0 {
        ZEnable = FALSE; ZWriteEnable = FALSE; CullMode = NONE; AlphaBlendEnable = FALSE;
        VertexShader = PointsVS; PixelShader = PointsPS;
    }
}
// The mesh itself, flat white: where its surface lies on screen.
vertexshader SolidVS {
    in vec3 POSITION0;
    void main() { gl_Position = LocalViewProj * vec4(POSITION0, 1.0); }
}
pixelshader SolidPS {
    out vec4 COLOR0;
    void main() { COLOR0 = vec4(1.0); }
}
technique Solid {
    pass P0 {
        ZEnable = FALSE; ZWriteEnable = FALSE; CullMode = NONE; AlphaBlendEnable = FALSE;
        VertexShader = SolidVS; PixelShader = SolidPS;
    }
}
)";

const char* kScene = R"(<scene>
  <cameras><camera name="eye" vFOV="1.0" nearz="0.5" farz="100" aspect="1.5"/></cameras>
</scene>)";

// A mesh made in memory: positions and triangles, with 32-bit indices unless asked otherwise.
class GeneratedMesh : public DXMesh {
public:
    GeneratedMesh(IDirect3DDevice9* device, const std::vector<D3DXVECTOR3>& positions,
                  const std::vector<std::uint32_t>& indices, bool wideIndices = true)
        : DXMesh(nullptr)
    {
        const DWORD options = D3DXMESH_MANAGED | (wideIndices ? D3DXMESH_32BIT : 0);
        EXPECT_EQ(D3DXCreateMeshFVF(static_cast<DWORD>(indices.size() / 3), static_cast<DWORD>(positions.size()),
                                    options, D3DFVF_XYZ, device, &mMesh),
                  D3D_OK);
        if (!mMesh)
            return;
        void* data = nullptr;
        EXPECT_EQ(mMesh->LockVertexBuffer(0, &data), D3D_OK);
        std::memcpy(data, positions.data(), positions.size() * sizeof(D3DXVECTOR3));
        mMesh->UnlockVertexBuffer();
        EXPECT_EQ(mMesh->LockIndexBuffer(0, &data), D3D_OK);
        if (wideIndices) {
            std::memcpy(data, indices.data(), indices.size() * sizeof(std::uint32_t));
        } else {
            auto* narrow = static_cast<std::uint16_t*>(data);
            for (std::size_t i = 0; i < indices.size(); ++i)
                narrow[i] = static_cast<std::uint16_t>(indices[i]);
        }
        mMesh->UnlockIndexBuffer();
    }
};

// A w x d rectangle at height 0 in the x-z plane, corners (0, 0, 0) ... (w, 0, d), as two
// triangles: the first below the diagonal (z / d < x / w), the second above it.
struct Plane {
    float w, d;
    std::vector<D3DXVECTOR3> Positions() const
    {
        return {D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(w, 0, 0), D3DXVECTOR3(w, 0, d), D3DXVECTOR3(0, 0, d)};
    }
    static std::vector<std::uint32_t> Triangles() { return {0, 1, 2, 0, 2, 3}; }
    // Which triangle a point of the plane (in the plane's own frame) lies on.
    int TriangleOf(const D3DXVECTOR3& p) const { return p.z / d < p.x / w ? 0 : 1; }
};

struct Vertex {
    D3DXVECTOR3 first, second;
};

class MeshDustTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(MakeRecordingDevice(&device, 96, 64), D3D_OK);
        DXFramework::SetDevice(device);
        DXFramework::SetDeviceLostHandler([this] { ++lostReports; });
        world = std::make_unique<LightingWorld>();
        world->Add("OShaders\\points.fxo", kPointsEffect);
        world->Open(kScene);
        DXEffectHandler::AddEffect("points", "points.fx", nullptr);
        box = std::make_unique<Transform>("box", D3DXVECTOR3(4, 2, -3), D3DXVECTOR3(0.4f, -0.7f, 0.2f),
                                          D3DXVECTOR3(3, 1.5f, 2));
        box->Update(0.0f);
        otherBox = std::make_unique<Transform>("other", D3DXVECTOR3(-6, 1, 0), D3DXVECTOR3(0, 0, 0),
                                               D3DXVECTOR3(1, 4, 1));
        otherBox->Update(0.0f);
        module = std::make_unique<MeshDust>("MeshDust");
    }

    void TearDown() override
    {
        module.reset();
        meshes.clear();
        box.reset();
        otherBox.reset();
        world.reset();
        DXFramework::SetDeviceLostHandler(nullptr);
        DXFramework::SetDevice(nullptr);
        if (device) {
            EXPECT_EQ(device->Release(), 0u) << "the module left objects of the device alive";
        }
    }

    DXMesh* Mesh(const std::vector<D3DXVECTOR3>& positions, const std::vector<std::uint32_t>& indices,
                 bool wideIndices = true)
    {
        meshes.push_back(std::make_unique<GeneratedMesh>(device, positions, indices, wideIndices));
        return meshes.back().get();
    }

    // The radius whose disc is `area` / `discs`.
    static float RadiusFor(float area, float discs) { return std::sqrt(area / discs / kPi); }

    // One frame's draw through the points technique; the recorded draws.
    std::vector<std::string> Draw(float fraction, float pointSize = 30.0f)
    {
        DXEffectHandler::SetActiveEffect("points");
        DXEffectHandler::SetTechnique("Points");
        ClearRecordedCalls(device);
        module->Draw(fraction, pointSize);
        std::vector<std::string> draws;
        for (const RecordedCall& call : GetRecordedCalls(device)) {
            if (call.method.rfind("Draw", 0) == 0)
                draws.push_back(call.method + "(" + call.arguments + ")");
        }
        return draws;
    }

    static std::string Points(unsigned n) { return "DrawPrimitive(D3DPT_POINTLIST, 0, " + std::to_string(n) + ")"; }

    // What stream `stream` holds after a draw, and its stride.
    template <class T>
    std::vector<T> Stream(UINT stream, UINT* strideOut = nullptr)
    {
        IDirect3DVertexBuffer9* buffer = nullptr;
        UINT offset = 0, stride = 0;
        EXPECT_EQ(device->GetStreamSource(stream, &buffer, &offset, &stride), D3D_OK);
        std::vector<T> items;
        if (!buffer)
            return items;
        D3DVERTEXBUFFER_DESC desc{};
        EXPECT_EQ(buffer->GetDesc(&desc), D3D_OK);
        EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
        void* data = nullptr;
        EXPECT_EQ(buffer->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
        items.resize(desc.Size / sizeof(T));
        std::memcpy(items.data(), data, items.size() * sizeof(T));
        buffer->Unlock();
        buffer->Release();
        EXPECT_EQ(offset, 0u);
        if (strideOut)
            *strideOut = stride;
        return items;
    }

    float PointSize() const
    {
        DXEffect* effect = DXEffectHandler::FindEffect("points");
        float value = NAN;
        EXPECT_EQ(effect->GetD3DXEffect()->GetFloat(effect->GetHandleBySemantic("PSIZE"), &value), D3D_OK);
        return value;
    }

    IDirect3DDevice9* device = nullptr;
    std::unique_ptr<LightingWorld> world;
    std::unique_ptr<Transform> box, otherBox;
    std::vector<std::unique_ptr<DXMesh>> meshes;
    std::unique_ptr<MeshDust> module;
    int lostReports = 0;
};

const Plane kPlane{2.0f, 3.0f}; // two triangles of area 3

} // namespace

TEST_F(MeshDustTest, DrawsNothingBeforeInitOrAfterItsResourcesAreReleased)
{
    EXPECT_TRUE(Draw(1.0f).empty());
    EXPECT_TRUE(GetRecordedCalls(device).empty());
    // The module interface's Draw is not for mesh dust.
    EXPECT_EQ(FrameworkExMessage([&] { static_cast<DXModule&>(*module).Draw(); }),
              "[virtual void DXModule::Draw()] Draw method not implemented");

    module->AddTarget(box.get(), 0.6f);
    module->Init(Mesh(kPlane.Positions(), Plane::Triangles()), RadiusFor(3.0f, 25.25f));
    EXPECT_EQ(Draw(1.0f), std::vector<std::string>{Points(50)});

    module->ReleaseResources();
    EXPECT_EQ(module->GetCount(), 0u);
    EXPECT_TRUE(module->GetTargets().empty());
    EXPECT_TRUE(Draw(1.0f).empty());
    module->ReleaseResources(); // twice is harmless

    // The scene configures it again after a device reset.
    module->AddTarget(box.get(), 0.6f);
    module->Init(Mesh(kPlane.Positions(), Plane::Triangles()), RadiusFor(3.0f, 25.25f));
    EXPECT_EQ(Draw(1.0f), std::vector<std::string>{Points(50)});
    // A second Init replaces the particles (TearDown counts the objects left).
    module->Init(Mesh(kPlane.Positions(), Plane::Triangles()), RadiusFor(3.0f, 12.75f));
    EXPECT_EQ(Draw(1.0f), std::vector<std::string>{Points(25)});
    EXPECT_EQ(lostReports, 0);
}

TEST_F(MeshDustTest, FractionDrawsTheFirstShareOfTheParticlesTheSameEveryFrame)
{
    module->AddTarget(box.get(), 0.6f);
    module->AddTarget(otherBox.get(), 1.5f);
    module->Init(Mesh(kPlane.Positions(), Plane::Triangles()), RadiusFor(3.0f, 25.25f));
    ASSERT_EQ(module->GetCount(), 50u);
    struct Case {
        float fraction;
        std::vector<std::string> draws;
    };
    const Case cases[] = {
        {0.0f, {}},
        {1.0f, {Points(50)}},
        {0.5f, {Points(25)}},
        {0.025f, {Points(1)}},
        {0.019f, {}}, // less than one point
        {0.31f, {Points(15)}},
        {1.5f, {Points(50)}}, // never more than there are
        {-0.5f, {}},
        {NAN, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fraction);
        EXPECT_EQ(Draw(c.fraction, 150.0f), c.draws);
    }

    // The streams of a draw: the start attributes, the first target's, the colours; whichever
    // target is asked for, the first is drawn.
    module->SelectTarget(0.9f);
    EXPECT_EQ(Draw(0.5f, 30.0f), std::vector<std::string>{Points(25)});
    EXPECT_FLOAT_EQ(PointSize(), 30.0f);
    UINT strides[3] = {};
    const std::vector<Vertex> start = Stream<Vertex>(0, &strides[0]);
    const std::vector<Vertex> target = Stream<Vertex>(1, &strides[1]);
    const std::vector<D3DCOLOR> colours = Stream<D3DCOLOR>(2, &strides[2]);
    EXPECT_EQ(strides[0], 24u);
    EXPECT_EQ(strides[1], 24u);
    EXPECT_EQ(strides[2], 4u);
    ASSERT_EQ(start.size(), 50u);
    ASSERT_EQ(target.size(), 50u);
    EXPECT_EQ(colours, std::vector<D3DCOLOR>(50, 0xFFFFFFFFu));
    D3DXMATRIX toBox;
    D3DXMatrixInverse(&toBox, nullptr, &box->GetWorld());
    for (const Vertex& v : target) {
        D3DXVECTOR3 inBox;
        D3DXVec3TransformCoord(&inBox, &v.first, &toBox);
        EXPECT_LE(std::max({std::fabs(inBox.x), std::fabs(inBox.y), std::fabs(inBox.z)}), 0.5f + 1e-5f);
    }

    // The next frame draws the same particles from the same buffers.
    EXPECT_EQ(Draw(0.5f, 30.0f), std::vector<std::string>{Points(25)});
    const std::vector<Vertex> again = Stream<Vertex>(0);
    ASSERT_EQ(again.size(), start.size());
    EXPECT_EQ(std::memcmp(again.data(), start.data(), start.size() * sizeof(Vertex)), 0);
}

TEST_F(MeshDustTest, OneParticleFallsOnEveryDiscOfSurfaceCarriedFromTriangleToTriangle)
{
    // The plane moved away by its world matrix: particles follow it, their number does not.
    D3DXMATRIX moved;
    D3DXMatrixTranslation(&moved, 10.0f, 1.0f, -4.0f);
    struct Case {
        const char* name;
        float discsPerTriangle;
        std::vector<std::uint32_t> indices;
        bool moved;
        unsigned onFirst, onSecond;
    };
    // Extra vertices 4 and 5 lie on the edge from 0 to 1: a triangle of them has no area.
    const std::vector<std::uint32_t> withFlat = {0, 1, 2, 0, 0, 1, 0, 4, 5, 0, 2, 3};
    const Case cases[] = {
        {"25.25 discs a triangle", 25.25f, Plane::Triangles(), false, 25, 25},
        {"the same, moved", 25.25f, Plane::Triangles(), true, 25, 25},
        {"the remainder carries on", 0.6f, Plane::Triangles(), false, 0, 1},
        {"less than one disc in all", 0.45f, Plane::Triangles(), false, 0, 0},
        {"faces without area between", 25.25f, withFlat, false, 25, 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        module->ReleaseResources();
        module->AddTarget(box.get(), 0.6f);
        std::vector<D3DXVECTOR3> positions = kPlane.Positions();
        positions.push_back(D3DXVECTOR3(0.5f, 0, 0));
        positions.push_back(D3DXVECTOR3(1.5f, 0, 0));
        DXMesh* mesh = Mesh(positions, c.indices);
        if (c.moved)
            mesh->world = moved;
        module->Init(mesh, RadiusFor(3.0f, c.discsPerTriangle));
        const unsigned count = c.onFirst + c.onSecond;
        EXPECT_EQ(module->GetCount(), count);
        if (count == 0) {
            EXPECT_TRUE(Draw(1.0f).empty());
            continue;
        }
        ASSERT_EQ(Draw(1.0f), std::vector<std::string>{Points(count)});
        unsigned on[2] = {};
        for (const Vertex& v : Stream<Vertex>(0)) {
            D3DXVECTOR3 p = v.first;
            if (c.moved)
                p -= D3DXVECTOR3(10.0f, 1.0f, -4.0f);
            EXPECT_NEAR(p.y, 0.0f, 1e-5f);
            EXPECT_TRUE(p.x >= -1e-5f && p.x <= kPlane.w + 1e-5f && p.z >= -1e-5f && p.z <= kPlane.d + 1e-5f)
                << p.x << ", " << p.z;
            ++on[kPlane.TriangleOf(p)];
        }
        EXPECT_EQ(on[0], c.onFirst);
        EXPECT_EQ(on[1], c.onSecond);
    }
}

TEST_F(MeshDustTest, TheFirstHalfIsSpreadOverTheMeshInAnOrderOfItsOwn)
{
    // 400 particles on each triangle, sampled one triangle after the other.
    const float radius = RadiusFor(3.0f, 400.25f);
    // Which triangle each particle of the drawing order lies on.
    auto order = [&](unsigned seed) {
        module->ReleaseResources();
        module->AddTarget(box.get(), 0.6f);
        crt::srand(seed);
        module->Init(Mesh(kPlane.Positions(), Plane::Triangles()), radius);
        Draw(1.0f);
        std::vector<int> triangles;
        for (const Vertex& v : Stream<Vertex>(0))
            triangles.push_back(kPlane.TriangleOf(v.first));
        return triangles;
    };
    const std::vector<int> first = order(5);
    ASSERT_EQ(first.size(), 800u);
    const auto onSecond = std::count(first.begin(), first.begin() + 400, 1);
    EXPECT_GT(onSecond, 140);
    EXPECT_LT(onSecond, 260);
    // The places differ with the run's random numbers; the order does not.
    EXPECT_EQ(order(77), first);
}

TEST_F(MeshDustTest, ParticlesAreLaunchedAwayFromTheLaunchPointAndPulledToTheirBox)
{
    module->AddTarget(box.get(), 0.6f);
    module->AddTarget(otherBox.get(), 1.5f);
    module->Init(Mesh(kPlane.Positions(), Plane::Triangles()), RadiusFor(3.0f, 200.25f));
    ASSERT_EQ(module->GetCount(), 400u);
    Draw(1.0f);
    for (const Vertex& v : Stream<Vertex>(0)) {
        const D3DXVECTOR3 away = v.first - D3DXVECTOR3(0.0f, 0.5f, 1.8f);
        const D3DXVECTOR3 thrown = v.second - D3DXVECTOR3(0.0f, 0.0f, 8.0f);
        const float speed = D3DXVec3Length(&thrown);
        EXPECT_GE(speed, 4.6f - 1e-4f);
        EXPECT_LE(speed, 6.0f + 1e-4f);
        EXPECT_NEAR(D3DXVec3Dot(&away, &thrown) / (D3DXVec3Length(&away) * speed), 1.0f, 1e-5f);
    }

    // A draw binds the first target's buffer as stream 1: each box is read as the only target.
    struct Case {
        Transform* box;
        float pull;
    };
    for (const Case& c : {Case{box.get(), 0.6f}, Case{otherBox.get(), 1.5f}}) {
        SCOPED_TRACE(c.box->GetName());
        module->ReleaseResources();
        module->AddTarget(c.box, c.pull);
        module->Init(Mesh(kPlane.Positions(), Plane::Triangles()), RadiusFor(3.0f, 200.25f));
        Draw(1.0f);
        const std::vector<Vertex> target = Stream<Vertex>(1);
        ASSERT_EQ(target.size(), 400u);
        D3DXMATRIX toBox;
        D3DXMatrixInverse(&toBox, nullptr, &c.box->GetWorld());
        D3DXVECTOR3 low(1, 1, 1), high(-1, -1, -1);
        for (const Vertex& v : target) {
            D3DXVECTOR3 inBox;
            D3DXVec3TransformCoord(&inBox, &v.first, &toBox);
            for (int a = 0; a < 3; ++a) {
                low[a] = std::min(low[a], inBox[a]);
                high[a] = std::max(high[a], inBox[a]);
            }
            const D3DXVECTOR3 expectedPull = (v.first - c.box->GetTranslation()) * -c.pull;
            EXPECT_NEAR(v.second.x, expectedPull.x, 1e-4f);
            EXPECT_NEAR(v.second.y, expectedPull.y, 1e-4f);
            EXPECT_NEAR(v.second.z, expectedPull.z, 1e-4f);
        }
        // Inside the box, and filling it.
        for (int a = 0; a < 3; ++a) {
            SCOPED_TRACE(a);
            EXPECT_GE(low[a], -0.5f - 1e-5f);
            EXPECT_LE(high[a], 0.5f + 1e-5f);
            EXPECT_LT(low[a], -0.45f);
            EXPECT_GT(high[a], 0.45f);
        }
    }
}

TEST_F(MeshDustTest, UnusableInputIsRefusedAndLeavesNothingToDraw)
{
    DXMesh unloaded(nullptr);
    struct Case {
        const char* name;
        std::function<void()> call;
        std::string message;
    };
    const Case cases[] = {
        {"16-bit indices",
         [&] { module->Init(Mesh(kPlane.Positions(), Plane::Triangles(), false), RadiusFor(3.0f, 25.25f)); },
         "indices not 32 bits! wtf"},
        {"no mesh", [&] { module->Init(nullptr, 0.036f); }, "[MeshDust::Init] No mesh given"},
        {"mesh not loaded", [&] { module->Init(&unloaded, 0.036f); }, "[MeshDust::Init] The mesh is not loaded"},
        {"radius 0", [&] { module->Init(Mesh(kPlane.Positions(), Plane::Triangles()), 0.0f); },
         "[MeshDust::Init] The radius must be positive"},
        {"radius NaN", [&] { module->Init(Mesh(kPlane.Positions(), Plane::Triangles()), NAN); },
         "[MeshDust::Init] The radius must be positive"},
        {"a face beyond the vertices",
         [&] { module->Init(Mesh(kPlane.Positions(), {0, 1, 2, 0, 2, 7}), RadiusFor(3.0f, 25.25f)); },
         "[MeshDust::Init] A face of the mesh names a vertex it does not have"},
        {"target without transform", [&] { module->AddTarget(nullptr, 0.6f); },
         "[MeshDust::AddTarget] No transform given"},
    };
    module->AddTarget(box.get(), 0.6f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FrameworkExMessage(c.call), c.message);
        EXPECT_EQ(module->GetCount(), 0u);
        EXPECT_TRUE(Draw(1.0f).empty());
    }
    // Without a box to fly to there is nothing to set up.
    module->ReleaseResources();
    EXPECT_EQ(FrameworkExMessage([&] { module->Init(Mesh(kPlane.Positions(), Plane::Triangles()), 0.1f); }),
              "[MeshDust::Init] No target box: AddTarget comes first");
}

TEST_F(MeshDustTest, LostDeviceWhileInitialisingIsReportedAndLeavesNothingToDraw)
{
    struct Case {
        const char* method;
        unsigned nth;
    };
    // With one target: the declaration, then the start buffer, the target's and the colours.
    const Case cases[] = {{"CreateVertexDeclaration", 1}, {"CreateVertexBuffer", 1}, {"CreateVertexBuffer", 2},
                          {"CreateVertexBuffer", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + std::to_string(c.nth));
        lostReports = 0;
        module->ReleaseResources();
        module->AddTarget(box.get(), 0.6f);
        DXMesh* mesh = Mesh(kPlane.Positions(), Plane::Triangles());
        device->InjectDeviceLoss(c.method, c.nth);
        EXPECT_EQ(FrameworkExMessage([&] { module->Init(mesh, RadiusFor(3.0f, 25.25f)); }), "(no exception)");
        EXPECT_EQ(lostReports, 1);
        EXPECT_EQ(module->GetCount(), 0u);
        EXPECT_TRUE(Draw(1.0f).empty());
        // The framework's rebuild: released, configured and initialised again.
        module->ReleaseResources();
        module->AddTarget(box.get(), 0.6f);
        module->Init(mesh, RadiusFor(3.0f, 25.25f));
        EXPECT_EQ(Draw(1.0f), std::vector<std::string>{Points(50)});
    }
}

// ---- Points on the GL device ----

namespace {

constexpr UINT kW = 320;
constexpr UINT kH = 180;

// The cornell scene's word "light" on the GL device, as the morph scene samples its word: one
// particle on every pi * 0.036^2 of surface, drawn as single white points through the fixture's
// point technique.
class MeshDustGLTest : public GLTestDevice {
protected:
    void SetUp() override
    {
        CreateDevice(kW, kH, D3DMULTISAMPLE_NONE, true);
        DXFramework::SetDevice(device);
        world = std::make_unique<LightingWorld>();
        world->Add("OShaders\\points.fxo", kPointsEffect);
        world->Add("Data\\lightShape.x", StagedContent("Data/lightShape.x"));
        world->Open(kScene);
        world->ActiveCamera().SetView(D3DXVECTOR3(0.3f, 0.4f, 4.5f), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
        DXEffectHandler::AddEffect("points", "points.fx", nullptr);
        ASSERT_EQ(device->CreateTexture(kW, kH, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target,
                                        nullptr),
                  D3D_OK);
        ASSERT_EQ(target->GetSurfaceLevel(0, &surface), D3D_OK);
        mesh = std::make_unique<DXMesh>(nullptr);
        mesh->LoadX("lightShape.x", false);
        box = std::make_unique<Transform>("box", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
        box->Update(0.0f);
        module = std::make_unique<MeshDust>("MeshDust");
        module->AddTarget(box.get(), 0.6f);
        module->Init(mesh.get(), 0.036f);
    }

    void TearDown() override
    {
        module.reset();
        mesh.reset();
        box.reset();
        world.reset();
        if (surface)
            surface->Release();
        if (target)
            target->Release();
        DXFramework::SetDevice(nullptr);
        GLTestDevice::TearDown();
    }

    // Lit pixels of one picture: the mesh (fraction < 0) or that share of its particles.
    std::vector<bool> Render(const std::string& name, float fraction)
    {
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        EXPECT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
        EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
        DXEffectHandler::SetActiveEffect("points");
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        if (fraction < 0.0f) {
            DXEffectHandler::SetTechnique("Solid");
            DXEffectHandler::RenderObject(mesh.get());
        } else {
            // The particles are placed in the world already.
            DXEffectHandler::SetTechnique("Points");
            DXEffectHandler::GetActiveEffect()->SetObjectMatrices(&identity, &identity);
            module->Draw(fraction, 1.0f);
        }
        EXPECT_EQ(device->EndScene(), D3D_OK);
        UINT w = 0, h = 0;
        const std::vector<std::uint32_t> pixels = ReadTarget(surface, &w, &h);
        EXPECT_TRUE(WritePngBGRA("/tmp/dust-meshdust-" + name + ".png",
                                 reinterpret_cast<const std::uint8_t*>(pixels.data()), w, h, w * 4));
        std::vector<bool> lit(pixels.size());
        for (std::size_t i = 0; i < pixels.size(); ++i)
            lit[i] = Rgb(pixels[i]) != 0;
        return lit;
    }

    std::unique_ptr<LightingWorld> world;
    std::unique_ptr<DXMesh> mesh;
    std::unique_ptr<Transform> box;
    std::unique_ptr<MeshDust> module;
    IDirect3DTexture9* target = nullptr;
    IDirect3DSurface9* surface = nullptr;
};

} // namespace

TEST_F(MeshDustGLTest, PointsLieOnTheWordAndHalfOfThemCoverAllOfIt)
{
    ASSERT_GT(module->GetCount(), 2000u);
    const std::vector<bool> word = Render("word", -1.0f);
    const std::vector<bool> all = Render("all", 1.0f);
    const std::vector<bool> half = Render("half", 0.5f);

    // Every point is on the word (give or take a pixel); the half are among all of them.
    auto onWord = [&](UINT x, UINT y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int px = static_cast<int>(x) + dx, py = static_cast<int>(y) + dy;
                if (px >= 0 && py >= 0 && px < static_cast<int>(kW) && py < static_cast<int>(kH) && word[py * kW + px])
                    return true;
            }
        return false;
    };
    std::size_t wordPixels = 0, allPixels = 0, halfPixels = 0, offWord = 0, notAmongAll = 0;
    UINT left = kW, right = 0;
    for (UINT y = 0; y < kH; ++y) {
        for (UINT x = 0; x < kW; ++x) {
            const std::size_t i = y * kW + x;
            wordPixels += word[i];
            if (word[i])
                left = std::min(left, x), right = std::max(right, x);
            allPixels += all[i];
            halfPixels += half[i];
            offWord += all[i] && !onWord(x, y);
            notAmongAll += half[i] && !all[i];
        }
    }
    EXPECT_GT(wordPixels, kW * kH / 20);
    EXPECT_EQ(offWord, 0u);
    EXPECT_EQ(notAmongAll, 0u);
    // The points cover the word, the half about half as much, from its first letter to its last.
    EXPECT_GT(allPixels, wordPixels / 3);
    EXPECT_GT(halfPixels, allPixels * 3 / 10);
    EXPECT_LT(halfPixels, allPixels * 7 / 10);
    for (UINT from = left; from < right; from += (right - left) / 5 + 1) {
        std::size_t inSlice = 0;
        for (UINT y = 0; y < kH; ++y)
            for (UINT x = from; x < std::min(right, from + (right - left) / 5); ++x)
                inSlice += half[y * kW + x];
        EXPECT_GT(inSlice, 10u) << "no points in the columns from " << from;
    }
}

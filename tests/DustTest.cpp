#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DeferredLightingWorld.h"
#include "Dust/Dust.h"
#include "FrameworkExMessage.h"
#include "GLTestDevice.h"
#include "Transform.h"
#include "crt/CRand.h"
#include "d3d9/DeviceFactory.h"
#include "image/PngFile.h"

namespace {

// A camera looking down -Z from the origin; the tests place it with SetView.
const char* kDustScene = R"(<scene>
  <cameras><camera name="eye" vFOV="1.0" nearz="0.5" farz="100" aspect="1.7777778"/></cameras>
</scene>)";

struct DustVertex {
    float position[3];
    float corner[3];
};

// The box transform of a test, posed at time 0.
std::unique_ptr<Transform> MakeBox(const D3DXVECTOR3& translation, const D3DXVECTOR3& rotation,
                                   const D3DXVECTOR3& scale)
{
    auto box = std::make_unique<Transform>("box", translation, rotation, scale);
    box->Update(0.0f);
    return box;
}

// The effect "dust" from the content build, a current scene with a camera and the module, all on
// a device the fixture makes.
class DustWorld {
public:
    void Open()
    {
        world = std::make_unique<LightingWorld>();
        world->Add("OShaders\\Dust.fxo", StagedContent("OShaders/Dust.fxo"));
        world->Open(kDustScene);
        DXEffectHandler::AddEffect("dust", "Dust.fx", nullptr);
        module = std::make_unique<Dust>("Dust");
    }

    void Close()
    {
        module.reset();
        world.reset();
    }

    // "dust"/"dust" active at the animation time, as the scenes draw it.
    void Draw(float time)
    {
        DXEffectHandler::SetActiveEffect("dust");
        DXEffectHandler::SetTechnique("dust");
        DXEffectHandler::SetFloatBySemantic("TIME", time);
        module->Draw();
    }

    ID3DXEffect* Effect() const { return DXEffectHandler::FindEffect("dust")->GetD3DXEffect(); }
    D3DXHANDLE Handle(const char* semantic) const
    {
        D3DXHANDLE handle = DXEffectHandler::FindEffect("dust")->GetHandleBySemantic(semantic);
        EXPECT_NE(handle, nullptr) << semantic;
        return handle;
    }
    D3DXMATRIX Matrix(const char* semantic) const
    {
        D3DXMATRIX value;
        EXPECT_EQ(Effect()->GetMatrix(Handle(semantic), &value), D3D_OK);
        return value;
    }
    float Float(const char* semantic) const
    {
        float value = NAN;
        EXPECT_EQ(Effect()->GetFloat(Handle(semantic), &value), D3D_OK);
        return value;
    }
    Camera& ActiveCamera() { return world->ActiveCamera(); }

    std::unique_ptr<LightingWorld> world;
    std::unique_ptr<Dust> module;
};

void ExpectNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float tolerance = 1e-5f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance) << "row " << r << " column " << c;
}

// ---- On the recording device ----

class DustTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(MakeRecordingDevice(&device, 96, 64), D3D_OK);
        DXFramework::SetDevice(device);
        DXFramework::SetDeviceLostHandler([this] { ++lostReports; });
        dust.Open();
        crt::srand(kSeed);
        dust.module->CreateResources();
        ClearRecordedCalls(device);
    }

    void TearDown() override
    {
        dust.Close();
        DXFramework::SetDeviceLostHandler(nullptr);
        DXFramework::SetDevice(nullptr);
        if (device) {
            EXPECT_EQ(device->Release(), 0u) << "the module left objects of the device alive";
        }
    }

    std::vector<std::string> Calls(const std::string& method) const
    {
        std::vector<std::string> found;
        for (const RecordedCall& call : GetRecordedCalls(device)) {
            if (call.method == method)
                found.push_back(call.arguments);
        }
        return found;
    }

    // The vertices stream 0 holds after a draw.
    std::vector<DustVertex> StreamVertices(UINT* strideOut = nullptr, D3DVERTEXBUFFER_DESC* descOut = nullptr)
    {
        IDirect3DVertexBuffer9* buffer = nullptr;
        UINT offset = 0, stride = 0;
        EXPECT_EQ(device->GetStreamSource(0, &buffer, &offset, &stride), D3D_OK);
        std::vector<DustVertex> vertices;
        if (!buffer)
            return vertices;
        D3DVERTEXBUFFER_DESC desc{};
        EXPECT_EQ(buffer->GetDesc(&desc), D3D_OK);
        void* data = nullptr;
        EXPECT_EQ(buffer->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
        vertices.resize(desc.Size / sizeof(DustVertex));
        std::memcpy(vertices.data(), data, vertices.size() * sizeof(DustVertex));
        buffer->Unlock();
        buffer->Release();
        EXPECT_EQ(offset, 0u);
        if (strideOut)
            *strideOut = stride;
        if (descOut)
            *descOut = desc;
        return vertices;
    }

    static constexpr unsigned kSeed = 4242;
    IDirect3DDevice9* device = nullptr;
    DustWorld dust;
    int lostReports = 0;
};

} // namespace

TEST_F(DustTest, DrawWithoutABoxFails)
{
    EXPECT_EQ(dust.module->GetBox(), nullptr);
    EXPECT_EQ(FrameworkExMessage([&] { dust.Draw(0.0f); }), "[Dust::Draw()] No Transform set");
    EXPECT_TRUE(Calls("DrawPrimitive").empty());
}

TEST_F(DustTest, BufferHoldsEveryParticleAsThreeCornersAtOnePlaceInTheUnitCube)
{
    auto box = MakeBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    dust.module->SetBox(box.get());
    dust.Draw(0.0f);

    UINT stride = 0;
    D3DVERTEXBUFFER_DESC desc{};
    const std::vector<DustVertex> vertices = StreamVertices(&stride, &desc);
    const unsigned count = dust.module->GetCount();
    EXPECT_EQ(count, 10000u);
    EXPECT_EQ(stride, 24u);
    EXPECT_EQ(desc.Size, count * 72u);
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(desc.Usage, 0u);
    ASSERT_EQ(vertices.size(), count * 3u);

    // Places come from the C runtime's sequence of this run, z first, then y, then x.
    crt::srand(kSeed);
    const float corners[3][3] = {{0, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    float low[3] = {1, 1, 1}, high[3] = {-1, -1, -1};
    int mismatches = 0;
    for (unsigned i = 0; i < count; ++i) {
        float expected[3];
        expected[2] = RandomRange(-0.5f, 0.5f);
        expected[1] = RandomRange(-0.5f, 0.5f);
        expected[0] = RandomRange(-0.5f, 0.5f);
        for (unsigned k = 0; k < 3; ++k) {
            const DustVertex& v = vertices[i * 3 + k];
            for (int a = 0; a < 3; ++a) {
                mismatches += v.position[a] != expected[a] || v.corner[a] != corners[k][a];
                low[a] = std::min(low[a], v.position[a]);
                high[a] = std::max(high[a], v.position[a]);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    for (int a = 0; a < 3; ++a) {
        SCOPED_TRACE(a);
        EXPECT_GE(low[a], -0.5f);
        EXPECT_LE(high[a], 0.5f);
        EXPECT_LT(low[a], -0.49f); // the cloud fills the cube
        EXPECT_GT(high[a], 0.49f);
    }

    // One stream: the place as POSITION0 and the corner as TEXCOORD0.
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device->GetVertexDeclaration(&declaration), D3D_OK);
    ASSERT_NE(declaration, nullptr);
    D3DVERTEXELEMENT9 elements[8];
    UINT elementCount = 8;
    ASSERT_EQ(declaration->GetDeclaration(elements, &elementCount), D3D_OK);
    declaration->Release();
    ASSERT_EQ(elementCount, 3u); // with the end marker
    EXPECT_EQ(elements[0].Stream, 0);
    EXPECT_EQ(elements[0].Offset, 0);
    EXPECT_EQ(elements[0].Type, D3DDECLTYPE_FLOAT3);
    EXPECT_EQ(elements[0].Usage, D3DDECLUSAGE_POSITION);
    EXPECT_EQ(elements[0].UsageIndex, 0);
    EXPECT_EQ(elements[1].Stream, 0);
    EXPECT_EQ(elements[1].Offset, 12);
    EXPECT_EQ(elements[1].Type, D3DDECLTYPE_FLOAT3);
    EXPECT_EQ(elements[1].Usage, D3DDECLUSAGE_TEXCOORD);
    EXPECT_EQ(elements[1].UsageIndex, 0);
}

TEST_F(DustTest, DrawGivesTheEffectTheBoxAndItsFrameWithoutScale)
{
    struct Case {
        const char* name;
        D3DXVECTOR3 translation, rotation, scale;
    };
    const Case cases[] = {
        {"turned long box", D3DXVECTOR3(1, 2, -3), D3DXVECTOR3(0.3f, 0.5f, -0.2f), D3DXVECTOR3(26, 12, 18)},
        {"unit box", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1)},
        {"mirrored box", D3DXVECTOR3(-4, 0, 5), D3DXVECTOR3(0, 1.2f, 0), D3DXVECTOR3(2, -3, 0.5f)},
        // A box squashed flat keeps its turn and place and stays finite.
        {"flat box", D3DXVECTOR3(0, 6, -2), D3DXVECTOR3(0.1f, 0, 0), D3DXVECTOR3(4, 0, 4)},
    };
    dust.ActiveCamera().SetView(D3DXVECTOR3(3, 4, 20), D3DXVECTOR3(0, 2, 0), D3DXVECTOR3(0, 1, 0));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto box = MakeBox(c.translation, c.rotation, c.scale);
        dust.module->SetBox(box.get());
        ClearRecordedCalls(device);
        dust.Draw(1.5f);

        // Every particle once: one triangle list of count triangles in each pass.
        EXPECT_EQ(Calls("DrawPrimitive"),
                  std::vector<std::string>{"D3DPT_TRIANGLELIST, 0, " + std::to_string(dust.module->GetCount())});
        const D3DXMATRIX& world = box->GetWorld();
        ExpectNear(dust.Matrix("LOCAL"), world);
        ExpectNear(dust.Matrix("LOCALVIEWPROJ"), world * dust.ActiveCamera().GetViewProj(), 1e-4f);

        D3DXMATRIX frame = box->GetRotationMatrix() * box->GetTranslationMatrix();
        if (c.scale.x != 0 && c.scale.y != 0 && c.scale.z != 0) {
            // diag(1 / s) x W is the box's turn and place alone.
            ExpectNear(dust.Matrix("MYMAT"), frame);
        } else {
            // The flat axis has nothing to divide: its row stays as W has it (zero); the others
            // are the box's turn.
            const D3DXMATRIX mymat = dust.Matrix("MYMAT");
            for (int r = 0; r < 4; ++r) {
                for (int col = 0; col < 4; ++col) {
                    EXPECT_TRUE(std::isfinite(mymat.m[r][col]));
                    if (r != 1)
                        EXPECT_NEAR(mymat.m[r][col], frame.m[r][col], 1e-5f) << r << ", " << col;
                    else
                        EXPECT_EQ(mymat.m[r][col], 0.0f);
                }
            }
        }
    }
}

TEST_F(DustTest, WithoutResourcesNothingIsDrawnAndNothingLeaks)
{
    auto box = MakeBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(2, 2, 2));
    dust.module->SetBox(box.get());
    dust.module->ReleaseResources();
    dust.Draw(0.0f);
    EXPECT_TRUE(Calls("DrawPrimitive").empty());
    dust.module->ReleaseResources(); // twice is harmless

    // Created twice in a row: the second replaces the first (TearDown counts the objects left).
    dust.module->CreateResources();
    dust.module->CreateResources();
    dust.Draw(0.0f);
    EXPECT_EQ(Calls("DrawPrimitive").size(), 1u);
    EXPECT_EQ(lostReports, 0);
}

TEST_F(DustTest, LostDeviceWhileCreatingIsReportedAndLeavesNothingToDraw)
{
    auto box = MakeBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(2, 2, 2));
    dust.module->SetBox(box.get());
    for (const char* method : {"CreateVertexDeclaration", "CreateVertexBuffer"}) {
        SCOPED_TRACE(method);
        lostReports = 0;
        dust.module->ReleaseResources();
        device->InjectDeviceLoss(method, 1);
        EXPECT_EQ(FrameworkExMessage([&] { dust.module->CreateResources(); }), "(no exception)");
        EXPECT_EQ(lostReports, 1);
        ClearRecordedCalls(device);
        dust.Draw(0.0f);
        EXPECT_TRUE(Calls("DrawPrimitive").empty());
        // The device comes back: the framework resets it and creates the resources again.
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = 96;
        params.BackBufferHeight = 64;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        dust.module->ReleaseResources();
        ASSERT_EQ(device->Reset(&params), D3D_OK);
        dust.module->CreateResources();
        dust.Draw(0.0f);
        EXPECT_EQ(Calls("DrawPrimitive").size(), 1u);
        EXPECT_EQ(lostReports, 1);
    }
}

// ---- The effect on the GL device ----

namespace {

constexpr UINT kW = 320;
constexpr UINT kH = 180;

// An HDR picture read back: rgba floats, rows from the top.
struct DustPicture {
    std::vector<float> texels;
    const float* At(UINT x, UINT y) const { return &texels[(static_cast<std::size_t>(y) * kW + x) * 4]; }
    float Sum(UINT x, UINT y) const { return At(x, y)[0] + At(x, y)[1] + At(x, y)[2]; }
};

class DustGLTest : public GLTestDevice {
protected:
    void SetUp() override
    {
        CreateDevice(kW, kH, D3DMULTISAMPLE_NONE, true);
        DXFramework::SetDevice(device);
        dust.Open();
        dust.module->CreateResources();
        ASSERT_EQ(device->CreateTexture(kW, kH, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A16B16G16R16F, D3DPOOL_DEFAULT,
                                        &target, nullptr),
                  D3D_OK);
        ASSERT_EQ(target->GetSurfaceLevel(0, &surface), D3D_OK);
        dust.ActiveCamera().SetView(kEye, D3DXVECTOR3(0.3f, 1.2f, -1.5f), D3DXVECTOR3(0, 1, 0));
    }

    void TearDown() override
    {
        dust.Close();
        if (surface)
            surface->Release();
        if (target)
            target->Release();
        DXFramework::SetDevice(nullptr);
        GLTestDevice::TearDown();
    }

    // One frame of dust at the animation time over a black target whose depth is cleared to
    // `depth`; read back, checked for NaN and infinity and written to /tmp/dust-<name>.png.
    DustPicture Render(const std::string& name, float time, float depth = 1.0f)
    {
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        EXPECT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
        EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, depth, 0), D3D_OK);
        dust.Draw(time);
        EXPECT_EQ(device->EndScene(), D3D_OK);

        DustPicture picture{ReadHalfFloats()};
        std::vector<std::uint8_t> bgra(kW * kH * 4);
        int notFinite = 0;
        for (std::size_t i = 0; i < kW * kH; ++i) {
            for (int c = 0; c < 4; ++c)
                notFinite += !std::isfinite(picture.texels[i * 4 + c]);
            for (int c = 0; c < 3; ++c) {
                // Roughly as the show's tone curve: linear light, compressed, display gamma.
                const float v = std::max(picture.texels[i * 4 + c], 0.0f);
                bgra[i * 4 + 2 - c] = static_cast<std::uint8_t>(std::pow(v / (1.0f + v), 1.0f / 2.2f) * 255.0f + 0.5f);
            }
            bgra[i * 4 + 3] = 255;
        }
        EXPECT_EQ(notFinite, 0) << "NaN or infinity in the dust of " << name;
        EXPECT_TRUE(WritePngBGRA("/tmp/dust-" + name + ".png", bgra.data(), kW, kH, kW * 4));
        return picture;
    }

    std::vector<float> ReadHalfFloats()
    {
        std::vector<float> values(kW * kH * 4, NAN);
        IDirect3DSurface9* copy = nullptr;
        EXPECT_EQ(device->CreateOffscreenPlainSurface(kW, kH, D3DFMT_A16B16G16R16F, D3DPOOL_SYSTEMMEM, &copy, nullptr),
                  D3D_OK);
        if (!copy)
            return values;
        EXPECT_EQ(device->GetRenderTargetData(surface, copy), D3D_OK);
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

    // Whether the ray through the pixel's centre (Direct3D's: at its integer coordinates) meets the
    // box grown by `margin` world units on every side.
    bool InFootprint(const Transform& box, UINT x, UINT y, float margin)
    {
        D3DXMATRIX toWorld;
        D3DXMatrixInverse(&toWorld, nullptr, &dust.ActiveCamera().GetViewProj());
        const float ndcX = static_cast<float>(x) / kW * 2.0f - 1.0f;
        const float ndcY = 1.0f - static_cast<float>(y) / kH * 2.0f;
        D3DXVECTOR3 nearPoint(ndcX, ndcY, 0.0f), farPoint(ndcX, ndcY, 1.0f);
        D3DXVec3TransformCoord(&nearPoint, &nearPoint, &toWorld);
        D3DXVec3TransformCoord(&farPoint, &farPoint, &toWorld);
        // Into the box's frame: its turn and place without the scale.
        D3DXMATRIX frame = box.GetRotationMatrix() * box.GetTranslationMatrix(), toBox;
        D3DXMatrixInverse(&toBox, nullptr, &frame);
        D3DXVec3TransformCoord(&nearPoint, &nearPoint, &toBox);
        D3DXVec3TransformCoord(&farPoint, &farPoint, &toBox);
        const D3DXVECTOR3 direction = farPoint - nearPoint;
        double enter = 0.0, leave = 1.0;
        for (int a = 0; a < 3; ++a) {
            const double half = 0.5 * std::fabs(box.GetScale()[a]) + margin;
            const double origin = nearPoint[a], step = direction[a];
            if (std::fabs(step) < 1e-12) {
                if (std::fabs(origin) > half)
                    return false;
                continue;
            }
            double t0 = (-half - origin) / step, t1 = (half - origin) / step;
            if (t0 > t1)
                std::swap(t0, t1);
            enter = std::max(enter, t0);
            leave = std::min(leave, t1);
        }
        return enter <= leave;
    }

    const D3DXVECTOR3 kEye = D3DXVECTOR3(2.0f, 3.0f, 8.0f);
    DustWorld dust;
    IDirect3DTexture9* target = nullptr;
    IDirect3DSurface9* surface = nullptr;
};

} // namespace

TEST_F(DustGLTest, MotesStayInsideTheirBoxAndDriftWithTime)
{
    struct Case {
        const char* name;
        D3DXVECTOR3 rotation, scale;
        bool solid; // false: flat, the motes lie in a plane
    };
    // Boxes in the middle of the view: turned and stretched, mirrored, squashed flat.
    const Case cases[] = {
        {"turned", D3DXVECTOR3(0.25f, 0.6f, -0.15f), D3DXVECTOR3(5.0f, 2.5f, 3.5f), true},
        {"mirrored", D3DXVECTOR3(-0.1f, -0.5f, 0.3f), D3DXVECTOR3(-4.0f, 3.0f, 3.0f), true},
        {"flat", D3DXVECTOR3(0.4f, 0.2f, 0.0f), D3DXVECTOR3(5.0f, 0.0f, 3.5f), false},
    };
    const float tanHalf = std::tan(0.5f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto box = MakeBox(D3DXVECTOR3(0.3f, 1.2f, -1.5f), c.rotation, c.scale);
        dust.module->SetBox(box.get());
        // A mote reaches twice its largest radius (1.3 DUSTSIZE) from its place, or twice the
        // smallest radius on screen at the box's far end; half a pixel more for the pixel's centre.
        const D3DXVECTOR3 toBox = box->GetTranslation() - kEye;
        const float farthest = D3DXVec3Length(&toBox) + 4.0f; // beyond the box's farthest corner
        const float pixel = 2.0f * farthest * tanHalf / kH;
        const float margin =
            std::max(2.0f * 1.3f * dust.Float("DUSTSIZE"), 2.0f * dust.Float("DUSTMINSIZE") * farthest * tanHalf) +
            0.5f * pixel;

        std::vector<DustPicture> pictures;
        for (float time : {0.0f, 3.0f, 17.5f, 141.0f}) {
            SCOPED_TRACE(time);
            const DustPicture picture =
                Render(std::string(c.name) + "-" + std::to_string(static_cast<int>(time * 10)), time);
            std::size_t lit = 0, outside = 0, bright = 0;
            UINT left = kW, right = 0, top = kH, bottom = 0;
            for (UINT y = 0; y < kH; ++y) {
                for (UINT x = 0; x < kW; ++x) {
                    const float* texel = picture.At(x, y);
                    EXPECT_TRUE(texel[0] >= 0 && texel[1] >= 0 && texel[2] >= 0) << x << ", " << y;
                    if (picture.Sum(x, y) <= 0.0f)
                        continue;
                    ++lit;
                    bright += picture.Sum(x, y) > 3.0f;
                    if (!InFootprint(*box, x, y, margin))
                        ++outside;
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
            }
            EXPECT_EQ(outside, 0u) << "motes outside the box";
            // Glowing motes, not a white sheet.
            EXPECT_LT(bright, lit / 50);
            pictures.push_back(picture);
            if (!c.solid) {
                EXPECT_GT(lit, 0u);
                continue;
            }
            EXPECT_GT(lit, kW * kH / 20) << "too few motes";
            // The cloud fills its box: lit pixels in each quarter of its extent on screen.
            const UINT midX = (left + right) / 2, midY = (top + bottom) / 2;
            std::size_t quarters[4] = {};
            for (UINT y = top; y <= bottom; ++y)
                for (UINT x = left; x <= right; ++x)
                    quarters[(x > midX) + 2 * (y > midY)] += picture.Sum(x, y) > 0.0f;
            for (std::size_t quarter : quarters)
                EXPECT_GT(quarter, lit / 10);
        }

        // The motes move between two times, and the same time draws the same picture.
        auto differing = [](const DustPicture& a, const DustPicture& b) {
            std::size_t count = 0;
            for (std::size_t i = 0; i < a.texels.size(); i += 4)
                count += std::fabs(a.texels[i] - b.texels[i]) > 1e-3f;
            return count;
        };
        EXPECT_GT(differing(pictures[0], pictures[1]), 0u);
        EXPECT_EQ(differing(Render(std::string(c.name) + "-30-again", 3.0f), pictures[1]), 0u);
        if (c.solid) {
            EXPECT_GT(differing(pictures[0], pictures[1]), kW * kH / 20);
        }
    }
}

TEST_F(DustGLTest, MotesHideBehindNearerGeometry)
{
    auto box = MakeBox(D3DXVECTOR3(0.3f, 1.2f, -1.5f), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(4.0f, 2.0f, 3.0f));
    dust.module->SetBox(box.get());
    auto litPixels = [](const DustPicture& picture) {
        std::size_t lit = 0;
        for (UINT y = 0; y < kH; ++y)
            for (UINT x = 0; x < kW; ++x)
                lit += picture.Sum(x, y) > 0.0f;
        return lit;
    };
    EXPECT_GT(litPixels(Render("open", 2.0f, 1.0f)), kW * kH / 40);
    // Depth at the near plane everywhere: every mote lies behind it.
    EXPECT_EQ(litPixels(Render("hidden", 2.0f, 0.0f)), 0u);
}

TEST_F(DustGLTest, MotesAddAHazeToTheLightThatIsThere)
{
    // A room full of dust seen from inside, as the room scene has it: 26 x 12 x 18 units.
    auto box = MakeBox(D3DXVECTOR3(0, 6, -2), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(26, 12, 18));
    dust.module->SetBox(box.get());
    dust.ActiveCamera().SetView(D3DXVECTOR3(1.5f, 4.0f, 5.0f), D3DXVECTOR3(-1.0f, 5.0f, -8.0f), D3DXVECTOR3(0, 1, 0));
    const DustPicture alone = Render("room", 50.0f);

    // The same frame over a grey backdrop: the backdrop plus the motes, texel for texel.
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(255, 64, 64, 64), 1.0f, 0),
              D3D_OK);
    dust.Draw(50.0f);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    const std::vector<float> over = ReadHalfFloats();
    const float grey = 64.0f / 255.0f;
    double added = 0.0;
    float brightest = 0.0f;
    int wrong = 0;
    for (std::size_t i = 0; i < alone.texels.size(); i += 4) {
        for (int c = 0; c < 3; ++c) {
            wrong += std::fabs(over[i + c] - (grey + alone.texels[i + c])) > 2e-3f + 2e-3f * alone.texels[i + c];
            brightest = std::max(brightest, alone.texels[i + c]);
        }
        added += alone.texels[i] + alone.texels[i + 1] + alone.texels[i + 2];
        wrong += over[i + 3] != 1.0f; // the motes leave alpha alone
    }
    EXPECT_EQ(wrong, 0);
    // A haze: a little over the picture's mean, no mote near the tone curve's white.
    const double mean = added / (3.0 * kW * kH);
    EXPECT_GT(mean, 0.0005);
    EXPECT_LT(mean, 0.05);
    EXPECT_LT(brightest, 2.0f);
}

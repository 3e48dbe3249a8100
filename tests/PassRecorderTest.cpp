#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "D3DXTextureTestSupport.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXEffect/PassRecorder.h"
#include "DXFramework.h"
#include "DXMesh/BaseRenderObject.h"
#include "FileSys.h"
#include "FrameworkEx.h"
#include "FrameworkExMessage.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "TempDir.h"
#include "common/ArchiveWriter.h"
#include "d3d9/DeviceFactory.h"
#include "d3dx9/D3DXPassObserver.h"

namespace {

// Two techniques: Fill paints the first target with a texture the effect loads itself; Copy, in
// two passes, reads the first target into the second.
const char* const kEffect = R"(
texture Grain : TEXTURE0 < string ResourceName = "grain.dds"; >;
texture Source : SOURCE;
sampler2D GrainSampler = sampler_state { Texture = <Grain>; MinFilter = POINT; MagFilter = POINT; };
sampler2D SourceSampler = sampler_state { Texture = <Source>; MinFilter = POINT; MagFilter = POINT; };
vertexshader VS { in vec4 POSITION0; void main() { gl_Position = POSITION0; } }
pixelshader FillPS { out vec4 COLOR0; void main() { COLOR0 = texture(GrainSampler, vec2(0.5)); } }
pixelshader CopyPS { out vec4 COLOR0; void main() { COLOR0 = texelFetch(SourceSampler, ivec2(gl_FragCoord.xy), 0); } }
technique Fill { pass P0 { ZEnable = FALSE; CullMode = NONE; VertexShader = VS; PixelShader = FillPS; } }
technique Copy {
    pass Horizontal { ZEnable = FALSE; CullMode = NONE; VertexShader = VS; PixelShader = CopyPS; }
    pass Vertical { ZEnable = FALSE; CullMode = NONE; VertexShader = VS; PixelShader = CopyPS; }
}
)";

constexpr UINT kWidth = 32;
constexpr UINT kHeight = 16;

// The whole target as a strip of two triangles, drawn `times` times.
class Quad : public BASERENDEROBJECT {
public:
    Quad(IDirect3DDevice9* device, int times) : BASERENDEROBJECT(nullptr), device(device), times(times)
    {
        const D3DVERTEXELEMENT9 elements[] = {
            {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
        EXPECT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    }
    ~Quad() override
    {
        if (declaration)
            declaration->Release();
    }
    void Draw() override
    {
        static const float corners[4][4] = {{-1, -1, 0, 1}, {1, -1, 0, 1}, {-1, 1, 0, 1}, {1, 1, 0, 1}};
        device->SetVertexDeclaration(declaration);
        for (int i = 0; i < times; ++i)
            EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, corners, sizeof corners[0]), D3D_OK);
    }

private:
    IDirect3DDevice9* device;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    int times;
};

// The small frame on either device, its effect and texture read from a test archive, its targets
// from the framework's pool under the names a scene would give them.
class PassRecorderTest : public ::testing::TestWithParam<D3D9DeviceFactory> {
protected:
    void SetUp() override
    {
        ArchiveWriter archive;
        archive.Add("OShaders\\passes.fxo", std::vector<unsigned char>(kEffect, kEffect + std::strlen(kEffect)));
        const std::vector<std::uint8_t> dds = MakeDds(DdsHeaderFields{}, std::vector<std::uint8_t>(64, 0x80));
        archive.Add("Data\\grain.dds", std::vector<unsigned char>(dds.begin(), dds.end()));
        archive.Write((folder.path() / "basefile.dat").string());
        files = std::make_unique<FileSys>((folder.path() / "basefile.dat").string().c_str());

        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = 64;
        params.BackBufferHeight = 64;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        ASSERT_EQ(GetParam().make(&params, &device, windows), D3D_OK);
        DXFramework::SetDevice(device);
        pool = std::make_unique<RTHandler>();
        effects = std::make_unique<DXEffectHandler>();
        DXEffectHandler::AddEffect("passes", "passes.fx", nullptr);
        first = RTHandler::GetTexture(RTHandler::Request(D3DFMT_A16B16G16R16F, kWidth, kHeight, "Light"));
        second = RTHandler::GetTexture(RTHandler::Request(D3DFMT_A8R8G8B8, kWidth, kHeight, "Blur1"));
    }
    void TearDown() override
    {
        twice.reset();
        once.reset();
        DXEffectHandler::ClearTextureParameters();
        effects.reset();
        pool.reset();
        DXFramework::SetDevice(nullptr);
        if (device)
            EXPECT_EQ(device->Release(), 0u);
        windows.clear();
        files.reset();
    }

    // The frame: Fill into "Light" (its quad drawn twice), then both passes of Copy from "Light"
    // into "Blur1".
    void DrawFrame()
    {
        if (!twice) {
            twice = std::make_unique<Quad>(device, 2);
            once = std::make_unique<Quad>(device, 1);
        }
        ASSERT_EQ(device->SetRenderTarget(0, first->surface), D3D_OK);
        DXEffectHandler::SetActiveEffect("passes");
        DXEffectHandler::SetTechnique("Fill");
        DXEffectHandler::RenderObject(twice.get());
        ASSERT_EQ(device->SetRenderTarget(0, second->surface), D3D_OK);
        DXEffectHandler::SetTextureBySemantic("SOURCE", first->texture);
        DXEffectHandler::SetTechnique("Copy");
        DXEffectHandler::RenderObject(once.get());
        IDirect3DSurface9* back = nullptr;
        ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        device->SetRenderTarget(0, back);
        back->Release();
    }

    bool IsGL() const { return std::string(GetParam().name) == "OpenGL"; }

    TempDir folder;
    std::unique_ptr<FileSys> files;
    D3D9DeviceWindows windows;
    IDirect3DDevice9* device = nullptr;
    std::unique_ptr<RTHandler> pool;
    std::unique_ptr<DXEffectHandler> effects;
    RENDERTEXTURE* first = nullptr;
    RENDERTEXTURE* second = nullptr;
    std::unique_ptr<Quad> twice, once;
};

PassTarget Target(const char* name, D3DFORMAT format)
{
    PassTarget target;
    target.name = name;
    target.width = kWidth;
    target.height = kHeight;
    target.format = format;
    return target;
}

// The whole list, pass by pass: what each drew into, what it read, how much it drew.
TEST_P(PassRecorderTest, ListsEveryPassWithItsTargetsReadsAndDraws)
{
    PassRecorder recorder(device);
    EXPECT_EQ(recorder.Timed(), IsGL());
    recorder.BeginFrame();
    DrawFrame();
    recorder.EndFrame();
    recorder.Finish();
    const std::vector<PassFrame> frames = recorder.TakeFrames();
    ASSERT_EQ(frames.size(), 1u);
    const PassFrame& frame = frames.front();

    struct Expected {
        const char* technique;
        const char* pass;
        PassTarget target;
        std::vector<std::string> reads;
        std::uint64_t draws, primitives;
    } const expected[] = {
        {"Fill", "P0", Target("Light", D3DFMT_A16B16G16R16F), {"grain.dds"}, 2, 4},
        {"Copy", "Horizontal", Target("Blur1", D3DFMT_A8R8G8B8), {"Light"}, 1, 2},
        {"Copy", "Vertical", Target("Blur1", D3DFMT_A8R8G8B8), {"Light"}, 1, 2},
    };
    ASSERT_EQ(frame.passes.size(), std::size(expected));
    for (std::size_t i = 0; i < frame.passes.size(); ++i) {
        const PassRecord& pass = frame.passes[i];
        SCOPED_TRACE(pass.Name());
        EXPECT_EQ(pass.effect, "passes");
        EXPECT_EQ(pass.technique, expected[i].technique);
        EXPECT_EQ(pass.pass, expected[i].pass);
        ASSERT_EQ(pass.targets.size(), 1u);
        EXPECT_EQ(pass.targets[0], expected[i].target);
        EXPECT_EQ(pass.reads, expected[i].reads);
        EXPECT_EQ(pass.draws, expected[i].draws);
        EXPECT_EQ(pass.primitives, expected[i].primitives);
    }
    if (IsGL()) {
        // Each pass's time is a time, and the passes lie within the frame.
        double sum = 0.0;
        for (const PassRecord& pass : frame.passes) {
            EXPECT_GE(pass.ms, 0.0) << pass.Name();
            sum += pass.ms;
        }
        EXPECT_GE(frame.ms, 0.0);
        EXPECT_LE(sum, frame.ms + 1e-9);
    } else {
        EXPECT_LT(frame.ms, 0.0);
        for (const PassRecord& pass : frame.passes)
            EXPECT_LT(pass.ms, 0.0) << pass.Name();
    }
}

// Passes outside a frame are not listed; frames come out in order, each once; a recorder's
// times arrive without anyone waiting when frames keep coming.
TEST_P(PassRecorderTest, FramesArriveInOrderAndOnlyOnce)
{
    PassRecorder recorder(device);
    DrawFrame(); // before any frame: not recorded
    for (int n = 0; n < 6; ++n) {
        recorder.BeginFrame();
        DrawFrame();
        if (n % 2)
            DrawFrame(); // odd frames draw everything twice
        recorder.EndFrame();
    }
    PassFrame latest;
    std::vector<PassFrame> frames = recorder.TakeFrames();
    recorder.Finish();
    for (PassFrame& frame : recorder.TakeFrames())
        frames.push_back(std::move(frame));
    EXPECT_TRUE(recorder.TakeFrames().empty());
    ASSERT_EQ(frames.size(), 6u);
    for (std::size_t n = 0; n < frames.size(); ++n)
        EXPECT_EQ(frames[n].passes.size(), n % 2 ? 6u : 3u) << "frame " << n;
    ASSERT_TRUE(recorder.Latest(latest));
    EXPECT_EQ(latest.passes.size(), 6u); // the last frame's
}

// Recording only looks: the device is told the same things, in the same order, with it as
// without it (what it asks, the Get... calls, and the references taken and given back aside).
TEST_P(PassRecorderTest, RecordingChangesNothingTheDeviceDoes)
{
    if (IsGL())
        GTEST_SKIP() << "the recording device's log shows what a device is told";
    auto told = [&] {
        std::vector<std::string> calls;
        for (const RecordedCall& call : GetRecordedCalls(device))
            if (call.method.rfind("Get", 0) != 0 && call.method != "AddRef" && call.method != "Release")
                calls.push_back(call.method + "(" + call.arguments + ")");
        return calls;
    };
    DrawFrame(); // makes the quads' declarations
    ClearRecordedCalls(device);
    DrawFrame();
    const std::vector<std::string> plain = told();
    ASSERT_FALSE(plain.empty());
    {
        PassRecorder recorder(device);
        ClearRecordedCalls(device);
        recorder.BeginFrame();
        DrawFrame();
        recorder.EndFrame();
        EXPECT_EQ(told(), plain);
    }
    // Without a recorder the effects have no observer again.
    EXPECT_EQ(D3DXSetPassObserver(nullptr), nullptr);
}

// One recorder at a time: a second is refused and leaves the first recording.
TEST_P(PassRecorderTest, ASecondRecorderIsRefused)
{
    PassRecorder recorder(device);
    EXPECT_EQ(FrameworkExMessage([&] { PassRecorder second(device); }),
              "[PassRecorder] Passes are being recorded already.");
    recorder.BeginFrame();
    DrawFrame();
    recorder.EndFrame();
    recorder.Finish();
    const std::vector<PassFrame> frames = recorder.TakeFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames.front().passes.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Devices, PassRecorderTest, ::testing::ValuesIn(D3D9DeviceFactories()),
                         D3D9DeviceFactoryName);

PassRecord Timed(const char* technique, double ms)
{
    PassRecord pass;
    pass.effect = "PostEffects";
    pass.technique = technique;
    pass.pass = "P0";
    pass.ms = ms;
    return pass;
}

// The heaviest passes, heaviest first, equal times in drawing order, untimed ones last.
TEST(PassListTest, HeaviestPassesAreSortedByTime)
{
    const PassFrame frame{{Timed("A", 1.0), Timed("B", 4.0), Timed("C", -1.0), Timed("D", 4.0), Timed("E", 0.5),
                           Timed("F", 2.0), Timed("G", 3.0)},
                          20.0};
    EXPECT_EQ(HeaviestPasses(frame, 5), (std::vector<std::size_t>{1, 3, 6, 5, 0}));
    EXPECT_EQ(HeaviestPasses(frame, 100).back(), 2u);
    EXPECT_TRUE(HeaviestPasses(PassFrame{}, 5).empty());
}

} // namespace

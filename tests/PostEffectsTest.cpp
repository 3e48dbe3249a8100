// PostEffects on the recording device: which targets its passes draw into, in which order, with
// which technique and parameters; the real compiled effect "postfx" from the content build.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "FrameworkExMessage.h"
#include "PostEffectsTestSupport.h"
#include "RenderClasses/Quads/Quads.h"
#include "crt/CRand.h"
#include "d3d9/DeviceFactory.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The module over the recording device: a 160 x 120 back buffer whose 16:9 content area is the
// middle 160 x 90, as the framework letterboxes it.
class PostEffectsRecordingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(MakeRecordingDevice(&device, 160, 120), D3D_OK);
        DXFramework::SetDevice(device);
        DXFramework::SetBackBufferSize(160, 120);
        world = std::make_unique<PostFxWorld>();
    }

    // Gives the tracks their keys first, then opens the world and makes the module.
    void Start(const std::function<void(PostFxWorld&)>& tracks = nullptr)
    {
        if (tracks)
            tracks(*world);
        world->Open();
        post = std::make_unique<PostEffects>("PostFX");
        const std::string failure = FrameworkExMessage([&] { post->CreateResources(); });
        ASSERT_EQ(failure, "(no exception)");
        ClearRecordedCalls(device);
    }

    void TearDown() override
    {
        if (post)
            post->ReleaseResources();
        post.reset();
        world.reset();
        targets.clear();
        DXFramework::SetDevice(nullptr);
        DXFramework::SetDeviceLostHandler(nullptr);
        if (device) {
            EXPECT_EQ(device->Release(), 0u) << "objects of the device were left alive";
        }
    }

    // A render texture and the name the device gives its surface.
    // Released at tear-down.
    RENDERTEXTURE* Target(UINT width, UINT height, D3DFORMAT format, std::string& name)
    {
        targets.push_back(std::make_unique<TestTarget>(device, width, height, format));
        std::string created;
        for (const RecordedCall& call : GetRecordedCalls(device))
            if (call.method == "CreateTexture")
                created = call.arguments;
        name = created.substr(created.rfind(", ") + 2) + ".level0";
        return targets.back()->get();
    }

    // The render targets each recorded draw wrote into (render target 0 only).
    std::vector<std::string> DrawTargets() const
    {
        std::vector<std::string> targets;
        for (const RecordedCall& call : GetRecordedCalls(device)) {
            if (call.method == "DrawIndexedPrimitive")
                targets.push_back(call.targets.empty() ? "none" : call.targets.front());
        }
        return targets;
    }

    // The arguments of the last call of `method` recorded before the last draw.
    std::string LastBeforeLastDraw(const std::string& method) const
    {
        const std::vector<RecordedCall>& calls = GetRecordedCalls(device);
        std::size_t lastDraw = calls.size();
        for (std::size_t i = 0; i < calls.size(); ++i)
            if (calls[i].method == "DrawIndexedPrimitive")
                lastDraw = i;
        for (std::size_t i = lastDraw; i-- > 0;)
            if (calls[i].method == method)
                return calls[i].arguments;
        return "(none)";
    }

    void BindWithViewport(RENDERTEXTURE* target, const D3DVIEWPORT9& viewport)
    {
        ASSERT_EQ(device->SetRenderTarget(0, target->surface), D3D_OK);
        ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    }

    IDirect3DDevice9* device = nullptr;
    std::unique_ptr<PostFxWorld> world;
    std::unique_ptr<PostEffects> post;
    std::vector<std::unique_ptr<TestTarget>> targets;
};

} // namespace

TEST_F(PostEffectsRecordingTest, CreateResourcesMakesTheScreenQuadTheEffectAndARandomKernel)
{
    Start();
    ASSERT_NE(post->GetScreenQuad(), nullptr);
    EXPECT_EQ(post->GetScreenQuad()->GetCount(), 1);
    EXPECT_EQ(post->GetScreenQuad()->GetDrawCount(), 1);
    DXEffect* effect = DXEffectHandler::FindEffect("postfx");
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->GetFilename(), "PostEffects.fx");
    EXPECT_EQ(effect->GetTechniqueName(), "BlitQuad");
    // Its cards came from the archive.
    EXPECT_TRUE(world->boxes.empty()) << world->boxes.front();
    EXPECT_EQ(effect->GetTextureHandles().size(), 4u);

    // The kernel follows the C runtime's sequence: per entry z, y, x in [-1, 1], then the length.
    for (unsigned seed : {1u, 77u}) {
        SCOPED_TRACE(seed);
        post->ReleaseResources();
        crt::srand(seed);
        post->CreateResources();
        crt::srand(seed);
        for (int i = 0; i < 16; ++i) {
            SCOPED_TRACE(i);
            D3DXVECTOR3 direction;
            direction.z = RandomRange(-1.0f, 1.0f);
            direction.y = RandomRange(-1.0f, 1.0f);
            direction.x = RandomRange(-1.0f, 1.0f);
            const float length = RandomRange(0.1f, 1.0f);
            const D3DXVECTOR3& sample = post->GetKernel()[i];
            const float norm = D3DXVec3Length(&direction);
            EXPECT_NEAR(sample.x, direction.x / norm * length, 1e-5f);
            EXPECT_NEAR(sample.y, direction.y / norm * length, 1e-5f);
            EXPECT_NEAR(sample.z, direction.z / norm * length, 1e-5f);
            const float sampleLength = D3DXVec3Length(&sample);
            EXPECT_GE(sampleLength, 0.1f - 1e-6f);
            EXPECT_LE(sampleLength, 1.0f + 1e-6f);
        }
    }

    // Without its resources the module refuses to draw instead of reaching for a missing quad.
    post->ReleaseResources();
    EXPECT_EQ(post->GetScreenQuad(), nullptr);
    const float white[4] = {1, 1, 1, 1};
    EXPECT_EQ(FrameworkExMessage([&] { post->FillQuad(white); }),
              "[PostEffects::FillQuad] The module's resources are not created.");
}

// The device lost while the quad's buffers are made goes to the rebuild, not to an error box: the
// buffer that could not be made answers its lock as a lost device, and the rebuild makes it anew.
TEST_F(PostEffectsRecordingTest, ADeviceLostWhileTheQuadIsMadeGoesToTheRebuild)
{
    world->Open();
    post = std::make_unique<PostEffects>("PostFX");
    int lost = 0;
    DXFramework::SetDeviceLostHandler([&] { ++lost; });
    device->InjectDeviceLoss("CreateVertexBuffer", 1);
    EXPECT_EQ(FrameworkExMessage([&] { post->CreateResources(); }), "(no exception)");
    EXPECT_GE(lost, 1);

    post->ReleaseResources();
    post->CreateResources();
    const float white[4] = {1, 1, 1, 1};
    EXPECT_EQ(FrameworkExMessage([&] { post->FillQuad(white); }), "(no exception)");
}

TEST_F(PostEffectsRecordingTest, SeparableBlurPingPongsAndEndsInTheSource)
{
    Start();
    std::string scratchName, sourceName;
    auto scratch = Target(64, 64, D3DFMT_G16R16F, scratchName);
    auto source = Target(64, 64, D3DFMT_G16R16F, sourceName);
    for (int count : {0, 1, 3}) {
        SCOPED_TRACE(count);
        ClearRecordedCalls(device);
        post->SeparableBlur(scratch, source, count);
        std::vector<std::string> expected;
        for (int i = 0; i < count; ++i) {
            expected.push_back(scratchName);
            expected.push_back(sourceName);
        }
        EXPECT_EQ(DrawTargets(), expected);
    }
    // The last pass read the scratch texture.
    EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), scratch->texture);
}

TEST_F(PostEffectsRecordingTest, DepthOfFieldBlursCountTimesAndComposesIntoTheTargetItFound)
{
    Start();
    std::string colourName, depthName, blurAName, blurBName, lightName;
    auto colour = Target(160, 90, D3DFMT_A16B16G16R16F, colourName);
    auto depth = Target(160, 90, D3DFMT_R16F, depthName);
    auto blurA = Target(160, 90, D3DFMT_X8R8G8B8, blurAName);
    auto blurB = Target(160, 90, D3DFMT_X8R8G8B8, blurBName);
    auto light = Target(160, 90, D3DFMT_A16B16G16R16F, lightName);
    for (int count : {1, 2}) {
        SCOPED_TRACE(count);
        // Entered with a viewport that is not the whole target.
        const D3DVIEWPORT9 entry = {8, 4, 100, 50, 0.0f, 1.0f};
        BindWithViewport(colour, entry);
        const std::string entryViewport = GetRecordedCalls(device).back().arguments;
        ClearRecordedCalls(device);

        post->DepthOfField(depth, blurA, blurB, light, count);

        std::vector<std::string> expected;
        for (int i = 0; i < count; ++i) {
            expected.push_back(blurAName);
            expected.push_back(blurBName);
        }
        expected.push_back(colourName);
        EXPECT_EQ(DrawTargets(), expected);
        EXPECT_EQ(LastBeforeLastDraw("SetRenderTarget"), "0, " + colourName);
        EXPECT_EQ(LastBeforeLastDraw("SetViewport"), entryViewport);
        // The compose measures its pixel on the viewport it found and mixes the sharp source with
        // the blurred picture; the repeated horizontal blurs read encoded light.
        EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 100, -1.0f / 50}));
        EXPECT_EQ(PostFxWorld::Texture("COLTEX2"), light->texture);
        EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), blurB->texture);
        EXPECT_EQ(PostFxWorld::Texture("DEPTHTEX"), depth->texture);
        EXPECT_EQ(PostFxWorld::Floats("DOFSOURCEENCODED", 1)[0], count > 1 ? 1.0f : 0.0f);
    }
}

TEST_F(PostEffectsRecordingTest, OverlayChoosesTheCardAndItsFadeFromTheTrack)
{
    struct Case {
        unsigned row;
        float value;
        const char* technique; // null: nothing drawn
        float fade;
    };
    const Case cases[] = {
        {0, 2.0f, "Overlay2", 0.0f},
        {16, 2.5f, "Overlay2", 1.0f},
        {32, 3.0f, "Overlay3", 0.0f},
        {48, 2.25f, "Overlay2", 0.5f},
        // Past the last card the last one stays, its fade below zero.
        {64, 7.2f, "Overlay3", 1.0f - 2.0f * std::fabs(7.2f - 3.5f)},
        {80, -1.0f, nullptr, 0.0f},
        {96, kNaN, nullptr, 0.0f},
        {112, 0.75f, "Overlay0", 0.5f},
    };
    Start([&](PostFxWorld& w) {
        std::vector<TrackKey> keys;
        for (const Case& c : cases)
            keys.push_back({c.row, c.value, 0});
        w.Track("Overlay", keys);
    });
    DXEffect* effect = DXEffectHandler::FindEffect("postfx");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        world->SetRow(c.row);
        effect->SetTechnique("FillQuad");
        ClearRecordedCalls(device);
        post->Overlay();
        if (!c.technique) {
            EXPECT_TRUE(DrawTargets().empty());
            EXPECT_EQ(effect->GetTechniqueName(), "FillQuad");
            continue;
        }
        EXPECT_EQ(DrawTargets(), std::vector<std::string>{"backbuffer"});
        EXPECT_EQ(effect->GetTechniqueName(), c.technique);
        EXPECT_FLOAT_EQ(PostFxWorld::Floats("OVERLAYFADE", 1)[0], c.fade);
    }

    // The loader's caption: card 1 at full strength whatever the track says.
    ClearRecordedCalls(device);
    post->OverlayFull();
    EXPECT_EQ(DrawTargets(), std::vector<std::string>{"backbuffer"});
    EXPECT_EQ(effect->GetTechniqueName(), "Overlay1");
    EXPECT_EQ(PostFxWorld::Floats("OVERLAYFADE", 1)[0], 1.0f);
}

TEST_F(PostEffectsRecordingTest, TwitchBlurDrawsWithTheFlashAndMovesChannelsAsTheTracksSay)
{
    // Rows 0-15: every twitch track 0, flash 0.75. From row 16 the twitch moves: first colour
    // fringes alone (TwitchRGB), from row 32 the whole picture alone (TwitchWeight).
    Start([](PostFxWorld& w) {
        w.Track("Flash", {{0, 0.75f, 0}, {16, 0.0f, 0}});
        w.Track("TwitchSpeed", {{0, 0.0f, 0}, {16, 1.0f, 0}});
        w.Track("TwitchRGB", {{0, 0.0f, 0}, {16, 1.0f, 0}, {32, 0.0f, 0}});
        w.Track("TwitchWeight", {{0, 0.0f, 0}, {32, 0.05f, 0}});
        w.Track("TwitchAngle", {{0, 0.0f, 0}, {32, 0.25f, 0}});
    });
    std::string lightName;
    auto light = Target(160, 90, D3DFMT_A16B16G16R16F, lightName);
    ClearRecordedCalls(device);

    world->SetTime(0.5);
    post->TwitchBlur(light);
    EXPECT_EQ(DrawTargets(), std::vector<std::string>{"backbuffer"});
    EXPECT_EQ(PostFxWorld::Floats("TWITCHBLUR", 12), std::vector<float>(12, 0.0f));
    EXPECT_EQ(PostFxWorld::Floats("TWITCHFLASH", 4), (std::vector<float>{0.75f, 0.75f, 0.75f, 1.0f}));
    EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), light->texture);

    // Colour fringes: each channel its own displacement, no smear.
    world->SetRow(20);
    post->TwitchBlur(light);
    std::vector<float> p = PostFxWorld::Floats("TWITCHBLUR", 12);
    EXPECT_EQ(PostFxWorld::Floats("TWITCHFLASH", 4), (std::vector<float>{0.0f, 0.0f, 0.0f, 1.0f}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(p[4 * i + 2], 0.0f);
        EXPECT_EQ(p[4 * i + 3], 0.0f);
    }
    EXPECT_NE(p[0], p[4]);
    EXPECT_NE(p[4], p[8]);
    EXPECT_NE(p[1], p[5]);

    // The whole picture: every channel moved and smeared alike.
    world->SetRow(40);
    post->TwitchBlur(light);
    p = PostFxWorld::Floats("TWITCHBLUR", 12);
    for (int i = 1; i < 3; ++i)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(p[4 * i + k], p[k]);
    EXPECT_NE(p[0] * p[0] + p[1] * p[1], 0.0f);
    EXPECT_NE(p[2] * p[2] + p[3] * p[3], 0.0f);
    EXPECT_EQ(DrawTargets(), std::vector<std::string>(3, "backbuffer"));
}

TEST_F(PostEffectsRecordingTest, PassesWithoutANamedTargetMeasureTheirPixelOnTheViewport)
{
    Start();
    std::string name;
    auto small = Target(16, 16, D3DFMT_A16B16G16R16F, name);
    auto scratch = Target(16, 16, D3DFMT_A16B16G16R16F, name);
    auto light = Target(160, 90, D3DFMT_A16B16G16R16F, name);
    const float white[4] = {1, 1, 1, 1};
    struct Case {
        const char* pass;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"FillQuad", [&] { post->FillQuad(white); }},
        {"BlitQuad", [&] { post->BlitQuad(light, white); }},
        {"BlitAlphaToGrey", [&] { post->BlitAlphaToGrey(light, white); }},
        {"MixIndirectLight", [&] { post->MixIndirectLight(light, light); }},
        {"TwitchBlur", [&] { post->TwitchBlur(light); }},
        {"Overlay", [&] { post->Overlay(); }},
        {"OverlayFull", [&] { post->OverlayFull(); }},
    };
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pass);
        // A blur on a small target leaves its pixel behind.
        post->SeparableBlur(scratch, small, 1);
        ASSERT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 16, -1.0f / 16}));
        ASSERT_EQ(device->SetRenderTarget(0, back), D3D_OK);
        DXFramework::SetContentViewport(0.0f, 1.0f);
        c.run();
        EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 160, -1.0f / 90}));
    }
    back->Release();
}

TEST_F(PostEffectsRecordingTest, GrabBackBufferCopiesTheLetterboxedPicture)
{
    Start();
    std::string colourName;
    auto colour = Target(160, 90, D3DFMT_X8R8G8B8, colourName);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    State().backBuffer = back;
    ClearRecordedCalls(device);
    post->GrabBackBuffer(colour);
    State().backBuffer = nullptr;
    back->Release();
    // One copy, nothing drawn (the release is the test's own).
    const std::vector<RecordedCall>& calls = GetRecordedCalls(device);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].method, "Release");
    EXPECT_EQ(calls[0].method, "StretchRect");
    // Rows 15 to 104 of the 120: the content area between the bars, point filtered.
    EXPECT_EQ(calls[0].arguments, "backbuffer, {0 15 160 105}, " + colourName + ", null, 1");
}

// The further passes of PostEffects on the recording device: the techniques they select, the
// targets their draws go to and in which order, the parameters they leave.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "FrameworkExMessage.h"
#include "PostEffectsFurtherSupport.h"
#include "PostEffectsTestSupport.h"
#include "RenderClasses/Quads/Quads.h"
#include "d3d9/DeviceFactory.h"

namespace {

class PostEffectsFurtherRecordingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(MakeRecordingDevice(&device, 160, 120), D3D_OK);
        DXFramework::SetDevice(device);
        DXFramework::SetBackBufferSize(160, 120);
        world = std::make_unique<PostFxWorld>();
        CameraScene::AddTracks(*world);
        world->Open();
        post = std::make_unique<PostEffects>("PostFX");
        ASSERT_EQ(FrameworkExMessage([&] { post->CreateResources(); }), "(no exception)");
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
        if (device) {
            EXPECT_EQ(device->Release(), 0u) << "objects of the device were left alive";
        }
    }

    // A render texture and the name the device gives its surface.
    RENDERTEXTURE* Target(UINT width, UINT height, std::string& name, D3DFORMAT format = D3DFMT_A16B16G16R16F)
    {
        targets.push_back(std::make_unique<TestTarget>(device, width, height, format));
        std::string created;
        for (const RecordedCall& call : GetRecordedCalls(device))
            if (call.method == "CreateTexture")
                created = call.arguments;
        name = created.substr(created.rfind(", ") + 2) + ".level0";
        return targets.back()->get();
    }

    std::vector<std::string> DrawTargets() const
    {
        std::vector<std::string> result;
        for (const RecordedCall& call : GetRecordedCalls(device))
            if (call.method == "DrawIndexedPrimitive")
                result.push_back(call.targets.empty() ? "none" : call.targets.front());
        return result;
    }

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

    static std::string Technique() { return DXEffectHandler::FindEffect("postfx")->GetTechniqueName(); }

    IDirect3DDevice9* device = nullptr;
    std::unique_ptr<PostFxWorld> world;
    std::unique_ptr<PostEffects> post;
    std::vector<std::unique_ptr<TestTarget>> targets;
};

} // namespace

TEST_F(PostEffectsFurtherRecordingTest, EachCopyAndMixerDrawsOnceWithItsTechniqueIntoTheBoundTarget)
{
    std::string outName, aName, bName, cName, dName;
    RENDERTEXTURE* out = Target(64, 36, outName);
    RENDERTEXTURE* a = Target(32, 16, aName);
    RENDERTEXTURE* b = Target(32, 16, bName);
    RENDERTEXTURE* c = Target(32, 16, cName);
    RENDERTEXTURE* d = Target(32, 16, dName);
    const float colour[4] = {0.5f, 0.25f, 2.0f, 1.0f};
    struct Case {
        const char* technique;
        std::function<void()> pass;
        std::vector<IDirect3DTexture9*> textures; // COLTEX1 ... in order
    };
    const Case cases[] = {
        {"BlitQuadRedToGrey", [&] { post->BlitRedToGrey(a, colour); }, {a->texture}},
        {"BlitQuadGreenToGrey", [&] { post->BlitGreenToGrey(a, colour); }, {a->texture}},
        {"BlitQuadBlueToGrey", [&] { post->BlitBlueToGrey(a, colour); }, {a->texture}},
        {"BlitQuadGreyScale", [&] { post->BlitGreyScale(a, colour); }, {a->texture}},
        {"Blend", [&] { post->Blend(a, b, 0.75f); }, {a->texture, b->texture}},
        {"FadeToColor", [&] { post->FadeToColor(b, colour); }, {b->texture}},
        {"MixUnsharp", [&] { post->MixUnsharp(a, b, c, d); }, {a->texture, b->texture, c->texture, d->texture}},
        {"ramp", [&] { post->Ramp(); }, {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.technique);
        ASSERT_EQ(device->SetRenderTarget(0, out->surface), D3D_OK);
        DXEffectHandler::SetActiveEffect("postfx");
        DXEffectHandler::SetTechnique("FillQuad");
        ClearRecordedCalls(device);
        test.pass();
        EXPECT_EQ(DrawTargets(), std::vector<std::string>{outName});
        EXPECT_EQ(Technique(), test.technique);
        // Every one measures its pixel on the target it draws into.
        EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 64, -1.0f / 36}));
        const char* semantics[] = {"COLTEX1", "COLTEX2", "COLTEX3", "COLTEX4"};
        for (std::size_t i = 0; i < test.textures.size(); ++i)
            EXPECT_EQ(PostFxWorld::Texture(semantics[i]), test.textures[i]) << semantics[i];
    }
    // The weight of the blend and the colour of the fade and the copies.
    post->Blend(a, b, 0.75f);
    EXPECT_EQ(PostFxWorld::Floats("VALUE1", 2), (std::vector<float>{0.75f, 0.0f}));
    EXPECT_EQ(PostFxWorld::Floats("TX1DIMPIXELINV", 2), (std::vector<float>{1.0f / 32, 1.0f / 16}));
    post->FadeToColor(a, colour);
    EXPECT_EQ(PostFxWorld::Floats("VALUE1", 4), std::vector<float>(colour, colour + 4));
}

TEST_F(PostEffectsFurtherRecordingTest, SetPostTechniqueSelectsWithoutDrawingAndBlitCurrentDrawsIt)
{
    std::string outName, aName;
    RENDERTEXTURE* out = Target(32, 16, outName);
    RENDERTEXTURE* a = Target(32, 16, aName);
    ASSERT_EQ(device->SetRenderTarget(0, out->surface), D3D_OK);
    EXPECT_EQ(post->GetPostEffect(), DXEffectHandler::FindEffect("postfx"));
    ClearRecordedCalls(device);
    post->SetPostTechnique("BlitQuadBlueToGrey");
    EXPECT_TRUE(DrawTargets().empty());
    EXPECT_EQ(Technique(), "BlitQuadBlueToGrey");
    const float colour[4] = {1, 2, 3, 4};
    post->BlitCurrent(a, colour);
    EXPECT_EQ(DrawTargets(), std::vector<std::string>{outName});
    EXPECT_EQ(Technique(), "BlitQuadBlueToGrey");
    EXPECT_EQ(PostFxWorld::Floats("VALUE1", 4), std::vector<float>(colour, colour + 4));
    EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), a->texture);
    // A name the effect does not have is reported, not drawn.
    EXPECT_NE(FrameworkExMessage([&] { post->SetPostTechnique("NoSuchTechnique"); }), "(no exception)");
}

TEST_F(PostEffectsFurtherRecordingTest, GaussBlur5DrawsTenTimesAndEndsInTheImage)
{
    std::string imageName, scratchName;
    RENDERTEXTURE* image = Target(40, 20, imageName);
    RENDERTEXTURE* scratch = Target(40, 20, scratchName);
    DXEffectHandler::SetActiveEffect("postfx");
    ClearRecordedCalls(device);
    post->GaussBlur5(image, scratch);
    std::vector<std::string> expected;
    for (int i = 0; i < 5; ++i) {
        expected.push_back(scratchName);
        expected.push_back(imageName);
    }
    EXPECT_EQ(DrawTargets(), expected);
    EXPECT_EQ(Technique(), "BlurH");
    EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), scratch->texture);
    EXPECT_EQ(PostFxWorld::Floats("TX1DIMPIXELINV", 2), (std::vector<float>{1.0f / 40, 1.0f / 20}));
    EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 40, -1.0f / 20}));
}

TEST_F(PostEffectsFurtherRecordingTest, BloomDownSamplesFourLevelsWithTheirBlursThenCombinesIntoTheSavedTarget)
{
    std::string outName, fullName, names[4], tmpNames[4];
    RENDERTEXTURE* out = Target(160, 90, outName);
    RENDERTEXTURE* full = Target(160, 90, fullName);
    RENDERTEXTURE* levels[4];
    RENDERTEXTURE* tmps[4];
    for (int i = 0; i < 4; ++i) {
        levels[i] = Target(160 >> (i + 1), 90 >> (i + 1), names[i]);
        tmps[i] = Target(160 >> (i + 1), 90 >> (i + 1), tmpNames[i]);
    }
    std::vector<std::string> expected;
    for (int i = 0; i < 4; ++i) {
        expected.push_back(names[i]); // the down-sample
        for (int k = 0; k < 5; ++k) {
            expected.push_back(tmpNames[i]);
            expected.push_back(names[i]);
        }
    }
    expected.push_back(outName);

    for (bool fade : {false, true}) {
        SCOPED_TRACE(fade);
        ASSERT_EQ(device->SetRenderTarget(0, out->surface), D3D_OK);
        const D3DVIEWPORT9 entry = {8, 4, 100, 50, 0.0f, 1.0f};
        ASSERT_EQ(device->SetViewport(&entry), D3D_OK);
        const std::string entryViewport = GetRecordedCalls(device).back().arguments;
        ClearRecordedCalls(device);
        const float weights[2] = {0.75f, 1.5f};
        if (fade)
            post->BloomFadeCombine(full, levels[0], tmps[0], levels[1], tmps[1], levels[2], tmps[2], levels[3],
                                   tmps[3], 0.5f);
        else
            post->BloomCombine(full, levels[0], tmps[0], levels[1], tmps[1], levels[2], tmps[2], levels[3], tmps[3],
                               weights);
        EXPECT_EQ(DrawTargets(), expected);
        EXPECT_EQ(LastBeforeLastDraw("SetRenderTarget"), "0, " + outName);
        EXPECT_EQ(LastBeforeLastDraw("SetViewport"), entryViewport);
        EXPECT_EQ(Technique(), fade ? "BloomFadeCombine" : "BloomCombine");
        EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 100, -1.0f / 50}));
        EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), full->texture);
        const char* semantics[] = {"COLTEX2", "COLTEX3", "COLTEX4", "COLTEX5"};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(PostFxWorld::Texture(semantics[i]), levels[i]->texture) << semantics[i];
        if (fade)
            EXPECT_EQ(PostFxWorld::Floats("VALUE1", 3), (std::vector<float>{1.5f, 0.5f, 0.25f}));
        else
            EXPECT_EQ(PostFxWorld::Floats("VALUE1", 2), (std::vector<float>{0.75f, 1.5f}));
    }
}

TEST_F(PostEffectsFurtherRecordingTest, SobelFiltersSampleAnUnshiftedGridOneSourceTexelApart)
{
    std::string outName, sourceName;
    RENDERTEXTURE* out = Target(64, 32, outName);
    RENDERTEXTURE* source = Target(32, 16, sourceName);
    for (const char* technique : {"Sobel_Filter", "SobelAO_Filter"}) {
        SCOPED_TRACE(technique);
        ASSERT_EQ(device->SetRenderTarget(0, out->surface), D3D_OK);
        // A stale pixel size on "postfx" and another effect active: the pass's parameters still
        // go to "postfx".
        DXEffectHandler::SetActiveEffect("postfx");
        DXEffectHandler::SetVec2BySemantic("RTDIMPIXELINV", std::vector<float>{7.0f, 7.0f}.data());
        if (!DXEffectHandler::FindEffect("Global"))
            DXEffectHandler::AddEffect("Global", "global.fx", State().effectPool);
        DXEffectHandler::SetActiveEffect("Global");
        ClearRecordedCalls(device);
        if (std::string(technique) == "Sobel_Filter")
            post->SobelFilter(source);
        else
            post->SobelAOFilter(source);
        EXPECT_EQ(DrawTargets(), std::vector<std::string>{outName});
        EXPECT_EQ(Technique(), technique);
        EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 64, -1.0f / 32}));
        EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), source->texture);
        const float dx = 1.0f / 32, dy = 1.0f / 16;
        EXPECT_EQ(PostFxWorld::Floats("GAUSSOFFSETS", 18),
                  (std::vector<float>{-dx, dy, 0, dy, dx, dy, -dx, 0, 0, 0, dx, 0, -dx, -dy, 0, -dy, dx, -dy}));
    }
}

TEST_F(PostEffectsFurtherRecordingTest, OcclusionFilterAndCombineReadTheirTexturesOnTheTargetsPixel)
{
    std::string outName, occlusionName, guideName;
    RENDERTEXTURE* out = Target(64, 32, outName);
    RENDERTEXTURE* occlusion = Target(32, 16, occlusionName);
    RENDERTEXTURE* guide = Target(64, 32, guideName);
    ASSERT_EQ(device->SetRenderTarget(0, out->surface), D3D_OK);
    ClearRecordedCalls(device);
    post->BilateralSSAOFilter(occlusion, guide);
    EXPECT_EQ(DrawTargets(), std::vector<std::string>{outName});
    EXPECT_EQ(Technique(), "Def_Bilateral_SSAO_Filter");
    EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 64, -1.0f / 32}));
    EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), occlusion->texture);
    EXPECT_EQ(PostFxWorld::Texture("COLTEX2"), guide->texture);
    // One pixel of the viewport apart, shifted one left and one down.
    const float dx = 1.0f / 64, dy = 1.0f / 32;
    const std::vector<float> grid = PostFxWorld::Floats("GAUSSOFFSETS", 18);
    const float expected[18] = {-dx, dy, 0, dy, dx, dy, -dx, 0, 0, 0, dx, 0, -dx, -dy, 0, -dy, dx, -dy};
    for (int i = 0; i < 18; ++i)
        EXPECT_FLOAT_EQ(grid[i], expected[i] + (i % 2 == 0 ? -dx : dy)) << i;

    ClearRecordedCalls(device);
    post->AmbientOcclusionCombine(guide, occlusion);
    EXPECT_EQ(DrawTargets(), std::vector<std::string>{outName});
    EXPECT_EQ(Technique(), "AmbientOcclusionCombine");
    EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), guide->texture);
    EXPECT_EQ(PostFxWorld::Texture("COLTEX2"), occlusion->texture);
}

TEST_F(PostEffectsFurtherRecordingTest, BlurLowGrabsTheBackBufferAndEndsDrawingIntoIt)
{
    std::string scratchName, workName;
    RENDERTEXTURE* scratch = Target(160, 90, scratchName, D3DFMT_X8R8G8B8);
    RENDERTEXTURE* work = Target(160, 90, workName, D3DFMT_X8R8G8B8);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    State().backBuffer = back;
    for (int count : {0, 1, 2}) {
        SCOPED_TRACE(count);
        ASSERT_EQ(device->SetRenderTarget(0, work->surface), D3D_OK);
        ClearRecordedCalls(device);
        post->BlurLow(scratch, work, count);
        const std::vector<RecordedCall>& calls = GetRecordedCalls(device);
        ASSERT_FALSE(calls.empty());
        // The letterboxed picture is copied first.
        EXPECT_EQ(calls[0].method, "StretchRect");
        EXPECT_EQ(calls[0].arguments, "backbuffer, {0 15 160 105}, " + workName + ", null, 1");
        std::vector<std::string> expected;
        for (int i = 0; i < count; ++i) {
            expected.push_back(scratchName);
            expected.push_back(i == count - 1 ? "backbuffer" : workName);
        }
        EXPECT_EQ(DrawTargets(), expected);
        if (count == 0)
            continue;
        // The last pass: the back buffer, the content area with depth 0 to 1, the content's pixel.
        EXPECT_EQ(LastBeforeLastDraw("SetRenderTarget"), "0, backbuffer");
        EXPECT_EQ(LastBeforeLastDraw("SetViewport"), "0, 15, 160, 90, 0, 1");
        EXPECT_EQ(Technique(), "BlurHLow");
        EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), scratch->texture);
        EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 160, -1.0f / 90}));
    }
    State().backBuffer = nullptr;
    back->Release();
}

TEST_F(PostEffectsFurtherRecordingTest, AmbientOcclusionLeavesTheFarPlaneCornersInTheQuadAndSetsItsParameters)
{
    std::string outName, ndName;
    RENDERTEXTURE* out = Target(80, 60, outName);
    RENDERTEXTURE* normalDepth = Target(40, 30, ndName);
    ASSERT_EQ(device->SetRenderTarget(0, out->surface), D3D_OK);

    // Without a current scene there is no camera to see through: nothing is drawn.
    ClearRecordedCalls(device);
    EXPECT_EQ(FrameworkExMessage([&] { post->AmbientOcclusion(normalDepth, 0.5f, 4.0f); }),
              "[PostEffects::AmbientOcclusion] No active camera.");
    EXPECT_TRUE(DrawTargets().empty());

    const CAMERAPARAMS params{1.0f, 0.5f, 200.0f, 0.0f, 0.0f, 2.0f};
    CameraScene scene(params);
    ClearRecordedCalls(device);
    ASSERT_EQ(FrameworkExMessage([&] { post->AmbientOcclusion(normalDepth, 0.5f, 4.0f); }), "(no exception)");
    EXPECT_EQ(DrawTargets(), std::vector<std::string>{outName});
    EXPECT_EQ(Technique(), "AmbientOcclusion");
    EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), normalDepth->texture);
    EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 80, -1.0f / 60}));
    EXPECT_EQ(PostFxWorld::Floats("SSAOKERNEL", 48), std::vector<float>(&post->GetKernel()[0].x, &post->GetKernel()[0].x + 48));
    EXPECT_EQ(PostFxWorld::Floats("BUFDIMX", 1), std::vector<float>{40.0f});
    EXPECT_EQ(PostFxWorld::Floats("BUFDIMY", 1), std::vector<float>{30.0f});
    EXPECT_EQ(PostFxWorld::Floats("SAMPLERADIUS", 1), std::vector<float>{0.5f});
    EXPECT_EQ(PostFxWorld::Floats("SAMPLEDISTANCESCALE", 1), std::vector<float>{4.0f});
    const D3DXMATRIX& projection = scene.camera->GetProjection();
    EXPECT_EQ(PostFxWorld::Floats("PROJECTIONMATRIX", 16), std::vector<float>(&projection._11, &projection._11 + 16));

    // The quad now holds the far plane's corners, top left first and clockwise.
    const float y = std::tan(0.5f) * 200.0f, x = y * 2.0f;
    void* data = nullptr;
    ASSERT_EQ(post->GetScreenQuad()->LockPositions(&data), D3D_OK);
    const std::vector<float> corners(static_cast<float*>(data), static_cast<float*>(data) + 12);
    post->GetScreenQuad()->UnlockPositions();
    const std::vector<float> expected{-x, y, 200.0f, x, y, 200.0f, x, -y, 200.0f, -x, -y, 200.0f};
    ASSERT_EQ(corners.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_FLOAT_EQ(corners[i], expected[i]) << i;
}

TEST_F(PostEffectsFurtherRecordingTest, MotionExpAndAlphaWeightedBlursDrawWhereTheyPromise)
{
    std::string outName, colourName, velocityName, targetName, scratchName;
    RENDERTEXTURE* out = Target(64, 36, outName);
    RENDERTEXTURE* colour = Target(32, 16, colourName);
    RENDERTEXTURE* velocity = Target(32, 16, velocityName);
    RENDERTEXTURE* target = Target(40, 20, targetName);
    RENDERTEXTURE* scratch = Target(40, 20, scratchName);

    // The motion blur draws into the bound target, measuring motion in texels of the colour.
    ASSERT_EQ(device->SetRenderTarget(0, out->surface), D3D_OK);
    ClearRecordedCalls(device);
    post->MotionBlur(colour, velocity);
    EXPECT_EQ(DrawTargets(), std::vector<std::string>{outName});
    EXPECT_EQ(Technique(), "MotionBlur");
    EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), colour->texture);
    EXPECT_EQ(PostFxWorld::Texture("VECTEX1"), velocity->texture);
    EXPECT_EQ(PostFxWorld::Floats("TX1DIMPIXELINV", 2), (std::vector<float>{1.0f / 32, 1.0f / 16}));
    EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 64, -1.0f / 36}));

    // The exponential blur binds its target and measures the pixel there.
    ClearRecordedCalls(device);
    post->ExpBlur(colour, target);
    EXPECT_EQ(DrawTargets(), std::vector<std::string>{targetName});
    EXPECT_EQ(Technique(), "ExpBlur");
    EXPECT_EQ(PostFxWorld::Texture("VECTEX1"), colour->texture);
    EXPECT_EQ(PostFxWorld::Floats("TX1DIMPIXELINV", 2), (std::vector<float>{1.0f / 32, 1.0f / 16}));
    EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 40, -1.0f / 20}));

    // The alpha-weighted blur ping-pongs as the plain one does, with its own techniques.
    ClearRecordedCalls(device);
    post->SeparableBlurAA(scratch, target, 2);
    EXPECT_EQ(DrawTargets(), (std::vector<std::string>{scratchName, targetName, scratchName, targetName}));
    EXPECT_EQ(Technique(), "BlurHAA");
    EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), scratch->texture);
}

TEST_F(PostEffectsFurtherRecordingTest, SaturateBlursACopyThenMixesIntoTheSavedTarget)
{
    std::string outName, scratchName, workName, sourceName;
    RENDERTEXTURE* out = Target(64, 36, outName);
    RENDERTEXTURE* scratch = Target(32, 18, scratchName);
    RENDERTEXTURE* work = Target(32, 18, workName);
    RENDERTEXTURE* source = Target(64, 36, sourceName);
    for (float amount : {2.0f, 0.0f}) {
        SCOPED_TRACE(amount);
        ASSERT_EQ(device->SetRenderTarget(0, out->surface), D3D_OK);
        ClearRecordedCalls(device);
        post->Saturate(scratch, work, source, amount);
        std::vector<std::string> expected{workName};
        for (int i = 0; i < 3; ++i) {
            expected.push_back(scratchName);
            expected.push_back(workName);
        }
        expected.push_back(outName);
        EXPECT_EQ(DrawTargets(), expected);
        EXPECT_EQ(LastBeforeLastDraw("SetRenderTarget"), "0, " + outName);
        EXPECT_EQ(Technique(), "Saturate");
        EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), work->texture);
        EXPECT_EQ(PostFxWorld::Texture("COLTEX2"), source->texture);
        EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 64, -1.0f / 36}));
        // The amount breathes by at most a quarter either way, the same in all four.
        const std::vector<float> value = PostFxWorld::Floats("VALUE1", 4);
        EXPECT_GE(value[0], 0.75f * amount);
        EXPECT_LE(value[0], 1.25f * amount);
        EXPECT_EQ(value, std::vector<float>(4, value[0]));
    }
}

TEST_F(PostEffectsFurtherRecordingTest, MaskedBloomBlursTheScenesBloomTargetsEightTimesThenCombines)
{
    std::string outName, sourceName;
    RENDERTEXTURE* out = Target(80, 40, outName);
    RENDERTEXTURE* source = Target(80, 40, sourceName);
    ASSERT_EQ(device->SetRenderTarget(0, out->surface), D3D_OK);
    const float weights[2] = {1.0f, 0.5f};

    // Without a current scene, or one without the bloom targets, nothing is drawn.
    ClearRecordedCalls(device);
    EXPECT_EQ(FrameworkExMessage([&] { post->MaskedBloom(source, weights); }),
              "[PostEffects::MaskedBloom] No current scene.");
    RTHandler pool;
    CameraScene scene(CAMERAPARAMS{1.0f, 0.5f, 200.0f, 0.0f, 0.0f, 2.0f});
    EXPECT_EQ(FrameworkExMessage([&] { post->MaskedBloom(source, weights); }),
              "[Scene::GetTexture] Could not find rendertexture \"bloom_A_1\"");
    EXPECT_TRUE(DrawTargets().empty());

    std::string names[2];
    const char* const bloom[2] = {"bloom_A_1", "bloom_B_1"};
    for (int i = 0; i < 2; ++i) {
        ClearRecordedCalls(device);
        scene.scene->RequestTexture(bloom[i], 40, 20, D3DFMT_A16B16G16R16F);
        for (const RecordedCall& call : GetRecordedCalls(device))
            if (call.method == "CreateTexture")
                names[i] = call.arguments.substr(call.arguments.rfind(", ") + 2) + ".level0";
        ASSERT_FALSE(names[i].empty());
    }
    ASSERT_EQ(device->SetRenderTarget(0, out->surface), D3D_OK);
    ClearRecordedCalls(device);
    ASSERT_EQ(FrameworkExMessage([&] { post->MaskedBloom(source, weights); }), "(no exception)");
    std::vector<std::string> expected{names[0]};
    for (int i = 0; i < 8; ++i) {
        expected.push_back(names[1]);
        expected.push_back(names[0]);
    }
    expected.push_back(outName);
    EXPECT_EQ(DrawTargets(), expected);
    EXPECT_EQ(Technique(), "Combine_alpha");
    EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), source->texture);
    EXPECT_EQ(PostFxWorld::Texture("COLTEX2"), scene.scene->GetTexture("bloom_A_1")->texture);
    EXPECT_EQ(PostFxWorld::Floats("VALUE1", 2), (std::vector<float>{1.0f, 0.5f}));
    EXPECT_EQ(PostFxWorld::Floats("RTDIMPIXELINV", 2), (std::vector<float>{1.0f / 80, -1.0f / 40}));
    scene.scene->UnrequestTargets();
}

TEST_F(PostEffectsFurtherRecordingTest, DepthToNormalAndAlbedoLightSeeThroughTheActiveCamera)
{
    std::string outName, aName, bName, cName;
    RENDERTEXTURE* out = Target(80, 60, outName);
    RENDERTEXTURE* a = Target(40, 30, aName);
    RENDERTEXTURE* b = Target(40, 30, bName);
    RENDERTEXTURE* c = Target(40, 30, cName);
    ASSERT_EQ(device->SetRenderTarget(0, out->surface), D3D_OK);
    const D3DXVECTOR3 direction(2.0f, 0.0f, 0.0f);
    ClearRecordedCalls(device);
    EXPECT_EQ(FrameworkExMessage([&] { post->DepthToNormal(a); }), "[PostEffects::DepthToNormal] No active camera.");
    EXPECT_EQ(FrameworkExMessage([&] { post->AlbedoLight(a, b, c, direction); }),
              "[PostEffects::AlbedoLight] No active camera.");
    EXPECT_TRUE(DrawTargets().empty());

    CameraScene scene(CAMERAPARAMS{1.0f, 0.5f, 200.0f, 0.0f, 0.0f, 2.0f});
    ClearRecordedCalls(device);
    post->DepthToNormal(a);
    EXPECT_EQ(DrawTargets(), std::vector<std::string>{outName});
    EXPECT_EQ(Technique(), "DepthToNormal");
    EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), a->texture);
    EXPECT_EQ(PostFxWorld::Floats("TX1DIMPIXELINV", 2), (std::vector<float>{1.0f / 40, 1.0f / 30}));
    const float y = std::tan(0.5f) * 200.0f;
    const std::vector<float> farValues = PostFxWorld::Floats("FARCLIPVALUES", 3);
    EXPECT_FLOAT_EQ(farValues[0], y * 2.0f);
    EXPECT_FLOAT_EQ(farValues[1], y);
    EXPECT_FLOAT_EQ(farValues[2], 200.0f);

    // A camera looking along world +X: light travelling that way goes straight into the view
    // (view -Z), and the world's up stays up.
    scene.camera->SetView(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 1, 0));
    ClearRecordedCalls(device);
    post->AlbedoLight(a, b, c, direction);
    EXPECT_EQ(DrawTargets(), std::vector<std::string>{outName});
    EXPECT_EQ(Technique(), "Def_Albedo");
    EXPECT_EQ(PostFxWorld::Texture("COLTEX1"), a->texture);
    EXPECT_EQ(PostFxWorld::Texture("COLTEX2"), b->texture);
    EXPECT_EQ(PostFxWorld::Texture("COLTEX3"), c->texture);
    const std::vector<float> light = PostFxWorld::Floats("DLIGHTDIR", 3);
    const std::vector<float> up = PostFxWorld::Floats("UPDIR", 3);
    const float expectedLight[3] = {0, 0, -1}, expectedUp[3] = {0, 1, 0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(light[i], expectedLight[i], 1e-6f) << i;
        EXPECT_NEAR(up[i], expectedUp[i], 1e-6f) << i;
    }
    // The quad holds the far-plane corners afterwards, as after the occlusion pass.
    void* data = nullptr;
    ASSERT_EQ(post->GetScreenQuad()->LockPositions(&data), D3D_OK);
    const float* corners = static_cast<float*>(data);
    EXPECT_FLOAT_EQ(corners[0], -y * 2.0f);
    EXPECT_FLOAT_EQ(corners[1], y);
    EXPECT_FLOAT_EQ(corners[2], 200.0f);
    post->GetScreenQuad()->UnlockPositions();
}

#pragma once
// What the tests of the further post passes share: a small G-buffer of a lit sphere on a floor
// made on the CPU, float pictures read back from render targets, and the module over a GL device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CamHandler.h"
#include "Camera.h"
#include "FrameworkExMessage.h"
#include "GLTestDevice.h"
#include "PostEffectsTestSupport.h"
#include "Scene.h"
#include "SceneHandler.h"
#include "image/PngFile.h"

// Four channels per texel, rows from the top.
struct FloatPicture {
    UINT width = 0;
    UINT height = 0;
    std::vector<float> values;

    FloatPicture() = default;
    FloatPicture(UINT w, UINT h) : width(w), height(h), values(static_cast<std::size_t>(w) * h * 4, 0.0f) {}
    float& At(UINT x, UINT y, int c) { return values[(static_cast<std::size_t>(y) * width + x) * 4 + c]; }
    float At(UINT x, UINT y, int c) const { return values[(static_cast<std::size_t>(y) * width + x) * 4 + c]; }
    void Set(UINT x, UINT y, float r, float g, float b, float a)
    {
        At(x, y, 0) = r, At(x, y, 1) = g, At(x, y, 2) = b, At(x, y, 3) = a;
    }
};

// A sphere of radius 1 standing on the floor y = 0, 6 units in front of a camera at height 1.5
// that looks along -Z (60 degrees vertical field, the picture's aspect, far plane 300), lit by one
// light from above left. Nothing is drawn above the horizon. Besides the G-buffer of the
// rendering contract it holds the light the deferred passes would have made: a dim floor, a lit
// sphere and on it one small highlight far brighter than white.
struct SphereOnFloor {
    static constexpr float kFov = 1.04719755f; // 60 degrees
    static constexpr float kFar = 300.0f;
    static constexpr float kCameraHeight = 1.5f;
    static constexpr float kSphereZ = -6.0f;

    FloatPicture colour;      // albedo, specular strength
    FloatPicture normalDepth; // view normal, depth / 300; (0, 0, -1, 1) where nothing is
    FloatPicture light;       // linear HDR radiance
    int highlightX = 0, highlightY = 0;

    SphereOnFloor(UINT w, UINT h) : colour(w, h), normalDepth(w, h), light(w, h)
    {
        const float t = std::tan(kFov / 2), aspect = static_cast<float>(w) / static_cast<float>(h);
        float lx = -0.4f, ly = 1.0f, lz = 0.5f;
        const float ll = std::sqrt(lx * lx + ly * ly + lz * lz);
        lx /= ll, ly /= ll, lz /= ll;
        float brightest = -1.0f;
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x) {
                const float nx = ((static_cast<float>(x) + 0.5f) / static_cast<float>(w)) * 2 - 1;
                const float ny = 1 - ((static_cast<float>(y) + 0.5f) / static_cast<float>(h)) * 2;
                float dx = nx * t * aspect, dy = ny * t, dz = -1.0f;
                const float dl = std::sqrt(dx * dx + dy * dy + dz * dz);
                dx /= dl, dy /= dl, dz /= dl;
                normalDepth.Set(x, y, 0, 0, -1, 1);
                // The sphere, centred at (0, 1 - 1.5, -6) in view space (the view has no rotation).
                const float cy = 1.0f - kCameraHeight, cz = kSphereZ;
                const float b = dy * cy + dz * cz, c = cy * cy + cz * cz - 1.0f;
                const float disc = b * b - c;
                float hit = -1.0f, hnx = 0, hny = 1, hnz = 0;
                if (disc >= 0 && b - std::sqrt(disc) > 0) {
                    hit = b - std::sqrt(disc);
                    hnx = dx * hit, hny = dy * hit - cy, hnz = dz * hit - cz;
                } else if (dy < 0) {
                    hit = -kCameraHeight / dy; // the floor
                }
                if (hit < 0 || -dz * hit >= kFar)
                    continue;
                const float px = dx * hit, py = dy * hit, pz = dz * hit;
                const bool sphere = hny != 1 || hnx != 0;
                const float albedo = sphere ? 0.8f : 0.5f;
                colour.Set(x, y, albedo, albedo * (sphere ? 0.3f : 1.0f), albedo * (sphere ? 0.2f : 1.0f),
                           sphere ? 1.0f : 0.0f);
                normalDepth.Set(x, y, hnx, hny, hnz, -pz / kFar);
                float diffuse = std::max(hnx * lx + hny * ly + hnz * lz, 0.0f);
                // The sphere's shadow on the floor: a ray towards the light that meets the sphere.
                if (!sphere) {
                    const float ox = px, oy = py - cy, oz = pz - cz;
                    const float sb = ox * lx + oy * ly + oz * lz, sc = ox * ox + oy * oy + oz * oz - 1.0f;
                    if (sb * sb - sc >= 0 && -sb - std::sqrt(sb * sb - sc) > 0)
                        diffuse = 0;
                }
                // Blinn-Phong towards the eye (at the origin).
                float hx = lx - dx, hy = ly - dy, hz = lz - dz;
                const float hl = std::sqrt(hx * hx + hy * hy + hz * hz);
                const float nh = std::max((hnx * hx + hny * hy + hnz * hz) / hl, 0.0f);
                const float specular = sphere && diffuse > 0 ? 40.0f * std::pow(nh, 200.0f) : 0.0f;
                const float ambient = 0.03f;
                for (int ch = 0; ch < 3; ++ch)
                    light.At(x, y, ch) = colour.At(x, y, ch) * (ambient + 0.6f * diffuse) + specular;
                light.At(x, y, 3) = 1.0f;
                if (specular > brightest)
                    brightest = specular, highlightX = static_cast<int>(x), highlightY = static_cast<int>(y);
            }
    }
};

// The current scene the passes that see through a camera (the occlusion) take it from: one camera
// "eye" with the given settings, active. Made once the world is open, gone before it closes.
class CameraScene {
public:
    // The tracks the scene model asks for, constant 0; the world needs them before it opens.
    static void AddTracks(PostFxWorld& world)
    {
        for (const char* name : {"Scene", "ActiveCam", "CamZOffset", "ShakeAmplitude", "ShakeSpeed"})
            world.Track(name, {{0, 0.0f, 0}});
    }

    explicit CameraScene(const CAMERAPARAMS& params) : scenes(std::make_unique<SceneHandler>())
    {
        scene = new Scene("PostScene");
        SceneHandler::AddScene(scene);
        // With no file behind it, loading makes the scene's (empty) handlers and refuses the
        // empty document; the camera is then added by hand.
        FrameworkExMessage([&] { scene->LoadSceneData("none.xml"); });
        camera = new Camera("eye");
        camera->SetParams(params);
        scene->GetCamHandler()->AddCamera(camera);
        scene->GetCamHandler()->SetActiveCamera(camera);
    }

    Scene* scene = nullptr;   // owned by the scene handler
    Camera* camera = nullptr; // owned by the scene

private:
    std::unique_ptr<SceneHandler> scenes;
};

// Where the tests leave their pictures for a person to look at.
inline std::string FurtherPicturePath(const std::string& name)
{
    const std::filesystem::path folder = std::filesystem::path(ORVALA_PICTURE_DIR);
    std::filesystem::create_directories(folder);
    return (folder / ("postfx-" + name + ".png")).string();
}

// Linear light through exposure 1, the ACES fit and the sRGB curve, as the final pass shows it.
inline float DisplayValue(float c)
{
    c = std::max(c, 0.0f);
    c = std::clamp((c * (2.51f * c + 0.03f)) / (c * (2.43f * c + 0.59f) + 0.14f), 0.0f, 1.0f);
    return c < 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f;
}

// Writes a picture as the show would display it (`toned`), or its values times `scale` clamped.
inline void SavePicture(const std::string& name, const FloatPicture& picture, bool toned, float scale = 1.0f)
{
    std::vector<std::uint8_t> bgra(static_cast<std::size_t>(picture.width) * picture.height * 4, 255);
    for (UINT y = 0; y < picture.height; ++y)
        for (UINT x = 0; x < picture.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const float v = toned ? DisplayValue(picture.At(x, y, c)) : std::clamp(picture.At(x, y, c) * scale, 0.0f, 1.0f);
                bgra[(static_cast<std::size_t>(y) * picture.width + x) * 4 + (2 - c)] =
                    static_cast<std::uint8_t>(v * 255.0f + 0.5f);
            }
    EXPECT_TRUE(WritePngBGRA(FurtherPicturePath(name), bgra.data(), picture.width, picture.height, picture.width * 4));
}

// The module and its effect over a GL device (llvmpipe), render targets and pictures made by hand.
class PostEffectsFurtherGLTest : public GLTestDevice {
protected:
    void SetUp() override
    {
        CreateDevice(160, 90, D3DMULTISAMPLE_NONE, true);
        DXFramework::SetDevice(device);
        DXFramework::SetBackBufferSize(160, 90);
        world = std::make_unique<PostFxWorld>();
        CameraScene::AddTracks(*world);
        world->Open();
        post = std::make_unique<PostEffects>("PostFX");
        ASSERT_EQ(FrameworkExMessage([&] { post->CreateResources(); }), "(no exception)");
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        inScene = true;
    }

    void TearDown() override
    {
        if (inScene)
            device->EndScene();
        if (post)
            post->ReleaseResources();
        post.reset();
        targets.clear();
        world.reset();
        DXFramework::SetDevice(nullptr);
        GLTestDevice::TearDown();
    }

    RENDERTEXTURE* Target(UINT width, UINT height, D3DFORMAT format = D3DFMT_A16B16G16R16F)
    {
        targets.push_back(std::make_unique<TestTarget>(device, width, height, format));
        return targets.back()->get();
    }

    // A managed A16B16G16R16F texture holding the picture.
    RENDERTEXTURE* Picture(const FloatPicture& picture)
    {
        targets.push_back(std::make_unique<TestTarget>(device, picture.width, picture.height,
                                                       D3DFMT_A16B16G16R16F, false));
        RENDERTEXTURE* texture = targets.back()->get();
        D3DLOCKED_RECT locked{};
        if (!texture->texture || texture->texture->LockRect(0, &locked, nullptr, 0) != D3D_OK) {
            ADD_FAILURE() << "the picture cannot be filled";
            return texture;
        }
        for (UINT y = 0; y < picture.height; ++y) {
            auto* row = reinterpret_cast<D3DXFLOAT16*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
            for (UINT x = 0; x < picture.width * 4; ++x)
                row[x] = D3DXFLOAT16(picture.values[static_cast<std::size_t>(y) * picture.width * 4 + x]);
        }
        texture->texture->UnlockRect(0);
        return texture;
    }

    // A render target holding the picture (copied in by BlitQuad).
    RENDERTEXTURE* FilledTarget(const FloatPicture& picture)
    {
        RENDERTEXTURE* source = Picture(picture);
        RENDERTEXTURE* target = Target(picture.width, picture.height);
        target->SetAsRenderTarget(0);
        const float one[4] = {1, 1, 1, 1};
        post->BlitQuad(source, one);
        return target;
    }

    // The texels of an A16B16G16R16F render target.
    FloatPicture Read(RENDERTEXTURE* target)
    {
        FloatPicture picture(target->width, target->height);
        IDirect3DSurface9* copy = nullptr;
        EXPECT_EQ(device->CreateOffscreenPlainSurface(target->width, target->height, target->format,
                                                      D3DPOOL_SYSTEMMEM, &copy, nullptr),
                  D3D_OK);
        if (!copy)
            return picture;
        EXPECT_EQ(device->GetRenderTargetData(target->surface, copy), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (UINT y = 0; y < target->height; ++y) {
            const auto* row = reinterpret_cast<const D3DXFLOAT16*>(static_cast<const std::uint8_t*>(locked.pBits) +
                                                                   y * locked.Pitch);
            for (UINT x = 0; x < target->width * 4; ++x)
                picture.values[static_cast<std::size_t>(y) * target->width * 4 + x] = row[x];
        }
        copy->UnlockRect();
        copy->Release();
        return picture;
    }

    std::unique_ptr<PostFxWorld> world;
    std::unique_ptr<PostEffects> post;
    std::vector<std::unique_ptr<TestTarget>> targets;
    bool inScene = false;
};

#pragma once
// A small demo for the host's tests: an archive built from test content with orvala-tool, probe
// scenes that draw recognisable pictures and log what the host asks of them, and a working folder
// to run in (the host opens "basefile.dat" from the working directory).
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "DXEffect/DXEffectHandler.h"
#include "DXError.h"
#include "DXFramework.h"
#include "RenderClasses/Quads/Quads.h"
#include "Scene.h"
#include "SceneHandler.h"
#include "TempDir.h"
#include "Timer.h"
#include "ToolRun.h"
#include "VorbisTune.h"
#include "common/ArchiveWriter.h"

namespace framework_test {

// Effects of the test demo. "global.fx" declares the values every scene publishes; "solid.fx"
// shows the shared time as the red of its quad (included from a file at compile time);
// "probe.fx" is stored as source and includes "common.fxh" from the archive at run time.
inline const char* kCommonInclude = "shared float Time : TIME;\n";
inline const char* kGlobalEffect = R"(shared float4x4 View : VIEW;
shared float4x4 ViewProj : VIEWPROJ;
shared float4x4 OldViewProj : OLDVIEWPROJ;
shared float Time : TIME;
shared float3 EyePos : EYEPOS;
shared float2 FocusMaxZ : FOCUS_MAXZ;
shared texture3D NoiseTex : NOISETEX;
shared texture NoiseVecTex : NOISEVECTEX;
)";
inline const char* kSolidEffect = R"(#include "common.fxh"
float4 Tint : DIFFUSE = {1, 1, 1, 1};
vertexshader QuadVS {
    in vec4 POSITION0;
    void main() { gl_Position = vec4(POSITION0.xyz, 1.0); }
}
pixelshader TimePS {
    out vec4 COLOR0;
    void main() { COLOR0 = vec4(fract(Time), Tint.g, 0.0, 1.0); }
}
technique Timed {
    pass P0 {
        ZEnable = FALSE; CullMode = NONE;
        VertexShader = QuadVS; PixelShader = TimePS;
    }
}
)";
inline const char* kProbeEffect = R"(#include "common.fxh"
vertexshader QuadVS {
    in vec4 POSITION0;
    void main() { gl_Position = vec4(POSITION0.xyz, 1.0); }
}
pixelshader TimePS {
    out vec4 COLOR0;
    void main() { COLOR0 = vec4(0.0, fract(Time), 1.0, 1.0); }
}
technique Probe {
    pass P0 {
        ZEnable = FALSE; CullMode = NONE;
        VertexShader = QuadVS; PixelShader = TimePS;
    }
}
)";

// 128 x 8 rows per minute: 256/15 rows per second.
constexpr double kRowsPerSecond = 128.0 * 8.0 / 60.0;

struct ContentOptions {
    bool noiseEntry = true;  // "Data\\noise.bin" in the archive
    float switchSeconds = 1.0f; // the "Scene" track selects scene 1 from here on, scene 0 before
};

// The bytes of the stored noise volume: a pattern that generated noise never gives.
inline std::vector<unsigned char> StoredNoise()
{
    std::vector<unsigned char> bytes(128u * 128u * 128u);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>((i * 7u) ^ (i >> 7));
    return bytes;
}

// Writes the test demo's sources, compiles them with orvala-tool and packs basefile.dat into
// `folder`. Returns an empty string, or what went wrong.
inline std::string BuildContent(const std::filesystem::path& folder, const ContentOptions& options = {})
{
    namespace fs = std::filesystem;
    const fs::path sources = folder / "sources";
    fs::create_directories(sources / "include");
    WriteFileBytes(sources / "include" / "common.fxh", kCommonInclude);
    WriteFileBytes(sources / "global.fx", kGlobalEffect);
    WriteFileBytes(sources / "solid.fx", kSolidEffect);
    ArchiveWriter archive;
    for (const char* name : {"global", "solid"}) {
        const fs::path out = sources / (std::string(name) + ".fxo");
        ToolResult compiled = RunTool({"effect", "compile", (sources / (std::string(name) + ".fx")).string(), out.string(),
                                       "-I", (sources / "include").string()});
        if (compiled.exitCode != 0)
            return "effect compile " + std::string(name) + ": " + compiled.err;
        const std::string bytes = ReadFileBytes(out);
        archive.Add(std::string("OShaders\\") + name + ".fxo", std::vector<unsigned char>(bytes.begin(), bytes.end()));
    }
    archive.Add("OShaders\\probe.fxo", std::vector<unsigned char>(kProbeEffect, kProbeEffect + std::strlen(kProbeEffect)));
    archive.Add("Shaders\\common.fxh",
                std::vector<unsigned char>(kCommonInclude, kCommonInclude + std::strlen(kCommonInclude)));

    // Tracks: the scene switch, the playback time (equal to the clock), the camera choice.
    const unsigned switchRow = static_cast<unsigned>(std::lround(options.switchSeconds * kRowsPerSecond));
    const std::map<std::string, std::string> tracks = {
        {"Scene", "0 0 step\n" + std::to_string(switchRow) + " 1 step\n"},
        {"PlaybackTime", "0 0 linear\n1024 60 linear\n"},
        {"ActiveCam", "0 0 step\n"},
        {"CamZOffset", "0 0 step\n"},
        {"ShakeAmplitude", "0 0 step\n"},
        {"ShakeSpeed", "0 0 step\n"},
    };
    for (const auto& [name, text] : tracks) {
        const fs::path textFile = sources / (name + ".txt");
        const fs::path trackFile = sources / (name + ".track");
        WriteFileBytes(textFile, text);
        ToolResult compiled = RunTool({"track", "compile", textFile.string(), trackFile.string()});
        if (compiled.exitCode != 0)
            return "track compile " + name + ": " + compiled.err;
        const std::string bytes = ReadFileBytes(trackFile);
        archive.Add("Data\\sync_" + name + ".track", std::vector<unsigned char>(bytes.begin(), bytes.end()));
    }
    const std::string scene = R"(<scene><cameras><camera name="cam" vFOV="1.0" nearz="0.5" farz="50"/></cameras></scene>)";
    archive.Add("Data\\probe.xml", std::vector<unsigned char>(scene.begin(), scene.end()));
    // The camera's animation: a still camera five units back.
    for (const char* channel : {"translateX", "translateY", "translateZ", "rotateX", "rotateY", "rotateZ"}) {
        const std::string curve = std::string("cam.") + channel;
        const fs::path textFile = sources / (curve + ".txt");
        const fs::path curveFile = sources / (curve + ".curve");
        WriteFileBytes(textFile, std::string(channel) == "translateZ" ? "0 5 0 0\n10 5 0 0\n" : "0 0 0 0\n10 0 0 0\n");
        ToolResult compiled = RunTool({"curve", "compile", textFile.string(), curveFile.string()});
        if (compiled.exitCode != 0)
            return "curve compile " + curve + ": " + compiled.err;
        const std::string bytes = ReadFileBytes(curveFile);
        archive.Add("Data\\anim\\" + curve, std::vector<unsigned char>(bytes.begin(), bytes.end()));
    }
    archive.Add("Data\\tune.ogg", VorbisSine(440.0, 3.0, 2, 44100, 0.25f));
    if (options.noiseEntry)
        archive.Add("Data\\noise.bin", StoredNoise());
    archive.Write((folder / "basefile.dat").string());
    return {};
}

// Runs the rest of the scope in `folder` and goes back afterwards.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& folder) : previous(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous); }

private:
    std::filesystem::path previous;
};

// What the host asked of a probe scene.
struct SceneLog {
    int creates = 0;
    int releases = 0;
    int acquires = 0;
    int targetReleases = 0;
    int constants = 0;
    int renders = 0;
    std::vector<float> renderTimes; // the playback clock at each Render
};

struct Target {
    const char* name;
    int width;
    int height;
    D3DFORMAT format;
};

// A scene that clears the content area to its colour and, with an effect, draws a quad over the
// left half through it. Hooks let a test act at a chosen moment.
class ProbeScene : public Scene {
public:
    ProbeScene(const std::string& sceneName, D3DCOLOR clearColour, SceneLog& sceneLog)
        : Scene(sceneName), colour(clearColour), log(sceneLog)
    {
    }
    ~ProbeScene() override { delete quad; }

    std::string effectName;        // registered in CreateResources from effectFile
    std::string effectFile;
    std::string technique;
    std::string description;       // scene description loaded in CreateResources
    int loaderFrames = 0;          // DrawLoaderFrame calls in CreateResources
    std::vector<Target> targets;
    std::function<void()> onCreate; // after the resources are made
    std::function<void(int)> onRender; // with the number of this render, from 1

    void CreateResources() override
    {
        ++log.creates;
        if (!description.empty())
            LoadSceneData(description);
        if (!effectFile.empty()) {
            DXEffectHandler::AddEffect(effectName, effectFile, DXFramework::GetEffectPool());
            quad = new Quads(1, 1, nullptr);
            void* data = nullptr;
            CHECK_RESULT(quad->LockPositions(&data));
            const float corners[12] = {-1, 1, 0, 0, 1, 0, 0, -1, 0, -1, -1, 0};
            std::memcpy(data, corners, sizeof corners);
            quad->UnlockPositions();
            quad->SetDrawCount(1);
        }
        for (int i = 0; i < loaderFrames; ++i)
            DXFramework::DrawLoaderFrame();
        if (onCreate)
            onCreate();
    }
    void ReleaseResources() override
    {
        ++log.releases;
        delete quad;
        quad = nullptr;
    }
    void AcquireTargets() override
    {
        ++log.acquires;
        for (const Target& t : targets)
            RequestTexture(t.name, t.width, t.height, t.format);
    }
    void ReleaseTargets() override
    {
        ++log.targetReleases;
        UnrequestTargets();
    }
    void SetConstants() override { ++log.constants; }
    void Render() override
    {
        ++log.renders;
        log.renderTimes.push_back(Timer::GetTime());
        DXFramework::SetContentViewport(0.0f, 1.0f);
        IDirect3DDevice9* device = DXFramework::GetDevice();
        device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
        if (onRender)
            onRender(log.renders);
        if (quad) {
            DXEffectHandler::SetActiveEffect(effectName);
            DXEffectHandler::SetTechnique(technique);
            DXEffectHandler::RenderObject(quad);
        }
    }

private:
    D3DCOLOR colour;
    SceneLog& log;
    Quads* quad = nullptr;
};

// The test composition: scene 0 red-grey with the solid effect and two targets, scene 1 blue with
// the probe effect (stored as source) and a camera, the loader scene green, registered last.
struct Composition {
    SceneLog first;
    SceneLog second;
    SceneLog loader;
    ProbeScene* scenes[3] = {};

    void Register()
    {
        auto* a = new ProbeScene("SceneA", D3DCOLOR_XRGB(40, 40, 40), first);
        a->effectName = "solid";
        a->effectFile = "solid.fx";
        a->technique = "Timed";
        a->loaderFrames = 2;
        a->targets = {{"Color", 256, 256, D3DFMT_A8R8G8B8}, {"Extra", 128, 128, D3DFMT_A16B16G16R16F}};
        auto* b = new ProbeScene("SceneB", D3DCOLOR_XRGB(0, 0, 200), second);
        b->effectName = "probe";
        b->effectFile = "probe.fx";
        b->technique = "Probe";
        b->description = "probe.xml";
        b->loaderFrames = 1;
        b->targets = {{"Color", 256, 256, D3DFMT_A8R8G8B8}};
        auto* l = new ProbeScene("LoaderBarScene", D3DCOLOR_XRGB(0, 160, 0), loader);
        scenes[0] = a;
        scenes[1] = b;
        scenes[2] = l;
        SceneHandler::AddScene(a);
        SceneHandler::AddScene(b);
        SceneHandler::AddScene(l);
    }
};

// The pixel at (x, y) of a B, G, R, A picture as 0xAARRGGBB.
inline std::uint32_t Pixel(const std::vector<unsigned char>& bgra, unsigned width, unsigned x, unsigned y)
{
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 4;
    return static_cast<std::uint32_t>(bgra[at + 3]) << 24 | static_cast<std::uint32_t>(bgra[at + 2]) << 16 |
           static_cast<std::uint32_t>(bgra[at + 1]) << 8 | bgra[at];
}

} // namespace framework_test

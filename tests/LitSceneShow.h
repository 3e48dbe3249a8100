#pragma once
// The lit scenes on the show's own content: the staged content of the build (the folder packed
// into basefile.dat) with the tracks a test chooses, a host over a composition of the render
// modules and the scenes, and pictures read back from the presented frames.
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "DXFramework.h"
#include "DemoWorld.h"
#include "FrameworkEx.h"
#include <stdexcept>
#include "DeferredLighting/DeferredLighting.h"
#include "Dust/Dust.h"
#include "Floor/Floor.h"
#include "ModuleHandler.h"
#include "PostEffects/PostEffects.h"
#include "Scene.h"
#include "SceneHandler.h"
#include "TempDir.h"
#include "crt/CRand.h"
#include "common/ArchiveWriter.h"
#include "d3d9/DeviceFactory.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "image/PngFile.h"
#include "win32/MessageBox.h"

#include "CornellScene.h"
#include "LoaderBarScene.h"

namespace lit_scene_show {

// basefile.dat in `folder`: every file of the staged content under its archive name but those
// `without` names, then the given tracks ("Data\\sync_<name>.track") in place of the show's. The
// entries `garbled` names have their first 64 bytes inverted.
inline void WriteShowArchive(const std::filesystem::path& folder, const std::map<std::string, std::vector<TrackKey>>& tracks,
                             const std::set<std::string>& without = {}, const std::set<std::string>& garbled = {})
{
    namespace fs = std::filesystem;
    const fs::path stage = ORVALA_CONTENT_STAGE;
    ArchiveWriter archive;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(stage)) {
        if (!entry.is_regular_file())
            continue;
        std::string name = fs::relative(entry.path(), stage).generic_string();
        for (char& c : name)
            if (c == '/')
                c = '\\';
        if (without.count(name) != 0)
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (garbled.count(name) != 0)
            for (std::size_t i = 0; i < std::min<std::size_t>(bytes.size(), 64); ++i)
                bytes[i] = static_cast<unsigned char>(~bytes[i]);
        archive.Add(name, std::move(bytes));
    }
    for (const auto& [name, keys] : tracks)
        archive.Add("Data\\sync_" + name + ".track", TrackFileBytes(keys));
    archive.Write((folder / "basefile.dat").string(), 1);
}

// Scene indices of the test composition, in registration order.
enum : int { kCornell = 0, kLoader = 1 };

// The shared modules, as the show registers them.
inline void RegisterShowModules()
{
    ModuleHandler::AddModule(new PostEffects("PostFX"));
    ModuleHandler::AddModule(new DeferredLighting("DefLight"));
    ModuleHandler::AddModule(new Floor("Floor"));
    ModuleHandler::AddModule(new Dust("Dust"));
}

// A composition of the shared modules, one scene (index 0 of the "Scene" track) and the loader
// (index 1).
inline std::function<void()> OneSceneComposition(std::function<Scene*()> make)
{
    return [make] {
        RegisterShowModules();
        SceneHandler::AddScene(make());
        SceneHandler::AddScene(new LoaderBarScene("LoaderBarScene"));
    };
}

// The cornell scene and the loader.
inline void RegisterLitComposition()
{
    OneSceneComposition([] { return new CornellScene("CornellScene"); })();
}

// A picture read back from the back buffer: B, G, R, A bytes, top row first.
struct Picture {
    std::vector<unsigned char> bgra;
    unsigned width = 0;
    unsigned height = 0;

    const unsigned char* At(unsigned x, unsigned y) const { return &bgra[(static_cast<std::size_t>(y) * width + x) * 4]; }
    // Mean of (r + g + b) / 3 over a rectangle, 0..255.
    double MeanLuma(unsigned x0, unsigned y0, unsigned x1, unsigned y1) const
    {
        double sum = 0.0;
        for (unsigned y = y0; y < y1; ++y)
            for (unsigned x = x0; x < x1; ++x) {
                const unsigned char* p = At(x, y);
                sum += (p[0] + p[1] + p[2]) / 3.0;
            }
        return sum / std::max(1.0, static_cast<double>((x1 - x0) * (y1 - y0)));
    }
    // Sums of red, green and blue over a rectangle.
    void SumRGB(unsigned x0, unsigned y0, unsigned x1, unsigned y1, double rgb[3]) const
    {
        rgb[0] = rgb[1] = rgb[2] = 0.0;
        for (unsigned y = y0; y < y1; ++y)
            for (unsigned x = x0; x < x1; ++x) {
                const unsigned char* p = At(x, y);
                rgb[0] += p[2];
                rgb[1] += p[1];
                rgb[2] += p[0];
            }
    }
    bool WritePng(const std::string& path) const { return WritePngBGRA(path, bgra.data(), width, height, width * 4); }
};

// The texels of a render target of format A16B16G16R16F, R16F or G16R16F as four floats each
// (missing channels 0, alpha 1), read back through a system-memory surface.
inline bool ReadTarget(IDirect3DSurface9* target, std::vector<float>& rgba, unsigned& width, unsigned& height)
{
    IDirect3DDevice9* device = DXFramework::GetDevice();
    D3DSURFACE_DESC desc{};
    if (!target || target->GetDesc(&desc) != D3D_OK)
        return false;
    const unsigned channels = desc.Format == D3DFMT_A16B16G16R16F ? 4 : desc.Format == D3DFMT_G16R16F ? 2
                            : desc.Format == D3DFMT_R16F          ? 1 : 0;
    if (channels == 0)
        return false;
    IDirect3DSurface9* copy = nullptr;
    if (device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr) != D3D_OK)
        return false;
    bool read = false;
    D3DLOCKED_RECT locked{};
    if (device->GetRenderTargetData(target, copy) == D3D_OK && copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
        width = desc.Width;
        height = desc.Height;
        rgba.assign(static_cast<std::size_t>(width) * height * 4, 0.0f);
        for (unsigned y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const D3DXFLOAT16*>(static_cast<const unsigned char*>(locked.pBits) + y * locked.Pitch);
            for (unsigned x = 0; x < width; ++x) {
                float texel[4] = {0.0f, 0.0f, 0.0f, 1.0f};
                D3DXFloat16To32Array(texel, row + x * channels, channels);
                std::memcpy(&rgba[(static_cast<std::size_t>(y) * width + x) * 4], texel, sizeof texel);
            }
        }
        copy->UnlockRect();
        read = true;
    }
    copy->Release();
    return read;
}

// The texels of the current scene's target `name` that are NaN or infinite; -1 when the target
// cannot be read back.
inline long NonFiniteTexels(const std::string& name)
{
    std::vector<float> texels;
    unsigned w = 0, h = 0;
    if (!ReadTarget(SceneHandler::GetCurrent()->GetTexture(name)->surface, texels, w, h))
        return -1;
    long bad = 0;
    for (float v : texels)
        bad += std::isfinite(v) ? 0 : 1;
    return bad;
}

// The recording device's name of a surface: how it appears in the targets of a logged draw.
inline std::string RecordedName(IDirect3DSurface9* surface)
{
    IDirect3DDevice9* device = DXFramework::GetDevice();
    ClearRecordedCalls(device);
    device->SetRenderTarget(1, surface);
    device->SetRenderTarget(1, nullptr);
    const std::string arguments = GetRecordedCalls(device).front().arguments;
    return arguments.substr(arguments.find(", ") + 2);
}

// Sets an environment variable for the length of a scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name(name) { setenv(name, value.c_str(), 1); }
    ~ScopedEnv() { unsetenv(name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name;
};

// Where the tests leave their pictures for a person to look at.
inline std::string PicturePath(const std::string& name)
{
    const std::filesystem::path folder = std::filesystem::path(ORVALA_PICTURE_DIR);
    std::filesystem::create_directories(folder);
    return (folder / (name + ".png")).string();
}

// The host over the show's content and a composition, booted headless at a size, run from a
// temporary working folder. Message boxes are collected.
class Show {
public:
    // `without` names archive entries the show is made without (see WriteShowArchive).
    Show(const std::map<std::string, std::vector<TrackKey>>& tracks, unsigned width, unsigned height,
         const std::function<void()>& compose = RegisterLitComposition, const std::set<std::string>& without = {})
        : previous(std::filesystem::current_path())
    {
        WriteShowArchive(folder.path(), tracks, without);
        // The random draws (light clusters, sample kernels) start from the sequence a new
        // process starts with, so every show of a test run is the same show.
        crt::srand(1);
        std::filesystem::current_path(folder.path());
        SetMessageBoxPresenter([this](const MessageBoxRecord& box) {
            boxes.push_back(box.caption + ": " + box.text);
            return IDOK;
        });
        framework = std::make_unique<DXFramework>(nullptr, "", "Orvala lit scenes", width, height, false, 141.5f, false);
        compose();
    }
    ~Show()
    {
        framework.reset();
        SetMessageBoxPresenter(nullptr);
        std::filesystem::current_path(previous);
    }
    Show(const Show&) = delete;
    Show& operator=(const Show&) = delete;

    // The host's failures carry their message into the test's report.
    void Boot()
    {
        Reported([this] { framework->Boot(); });
    }
    // The frame drawn without reading the picture back.
    bool Draw(float seconds)
    {
        bool drawn = false;
        Reported([&] { drawn = framework->DrawFrameAt(seconds); });
        return drawn;
    }
    bool Frame(float seconds, Picture& picture)
    {
        bool read = false;
        Reported([&] { read = framework->RenderFrameAt(seconds, picture.bgra, picture.width, picture.height); });
        return read;
    }

    std::vector<std::string> boxes;

private:
    template <typename Call>
    static void Reported(Call call)
    {
        try {
            call();
        } catch (const FrameworkEx& e) {
            throw std::runtime_error("FrameworkEx: " + e.GetMessage());
        } catch (const FrameworkSupportFailed& e) {
            throw std::runtime_error("FrameworkSupportFailed: " + e.GetMessage());
        }
    }

    TempDir folder;
    std::filesystem::path previous;
    std::unique_ptr<DXFramework> framework;
};

// A scene shown twice: once as it is, then with the device lost at the `lostFrame`-th frame after
// loading (the loading's loader frames are counted by the first run).
struct LostDeviceRun {
    Picture steady;             // the last of `steadyFrames` frames without the loss
    Picture picture;            // the last of `frames` frames with the loss
    int drawn = 0;              // how many of those were drawn
    std::unique_ptr<Show> show; // the host of the second run, still up for further checks
};

struct LostDeviceOptions {
    float seconds = 0.0f;
    int frames = 5;
    int lostFrame = 3;
    int steadyFrames = 1;
    std::function<void()> afterSteadyBoot; // reads the first run's state before its frames
};

inline LostDeviceRun RunWithLostDevice(const std::map<std::string, std::vector<TrackKey>>& tracks, unsigned width,
                                       unsigned height, const std::function<void()>& compose,
                                       const LostDeviceOptions& options)
{
    LostDeviceRun run;
    int loads = 0;
    {
        Show show(tracks, width, height, compose);
        show.Boot();
        loads = DXFramework::GetLoadCount();
        if (options.afterSteadyBoot)
            options.afterSteadyBoot();
        for (int i = 0; i < options.steadyFrames; ++i)
            show.Frame(options.seconds, run.steady);
    }
    {
        // The device reads the countdown when it is made.
        ScopedEnv lost("ORVALA_D3D_DEVICE_LOST", "Present:" + std::to_string(loads + options.lostFrame));
        run.show = std::make_unique<Show>(tracks, width, height, compose);
        run.show->Boot();
    }
    for (int i = 0; i < options.frames; ++i)
        run.drawn += run.show->Frame(options.seconds, run.picture) ? 1 : 0;
    return run;
}

} // namespace lit_scene_show

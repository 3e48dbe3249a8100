#pragma once
// What the tests of PostEffects share: a small demo world (an archive with the compiled "postfx"
// effect, its overlay cards and the sync tracks the module asks for; the sync device, the playback
// clock and the effect pool published to the framework) and render textures made by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DXEffect/DXEffect.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DemoWorld.h"
#include "FileSys.h"
#include "FrameworkState.h"
#include "PostEffects/PostEffects.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"
#include "SyncHost.h"
#include "SyncTimer.h"
#include "TempDir.h"
#include "Timer.h"
#include "common/ArchiveWriter.h"
#include "d3d9/d3d9.h"
#include "win32/Clock.h"
#include "win32/MessageBox.h"

// A file of the staged content build (ORVALA_CONTENT_STAGE), empty when it is not there.
inline std::vector<unsigned char> StagedContent(const std::string& relative)
{
    std::ifstream in(std::string(ORVALA_CONTENT_STAGE) + "/" + relative, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// The archive the module reads, its tracks, the clock and the effect pool. Open() publishes them;
// the destructor takes everything back. Every track of the module exists (constant 0) unless the
// test gives it keys.
class PostFxWorld {
public:
    static constexpr const char* kTracks[] = {"Overlay",      "TwitchAngle", "TwitchWeight", "TwitchRGB",
                                              "TwitchSpread", "TwitchSpeed", "Flash"};
    // Rows per second of the demo's timeline (128 beats per minute, 8 rows a beat).
    static constexpr double kRowsPerSecond = 128.0 / 60.0 * 8.0;

    PostFxWorld()
    {
        for (const char* name : kTracks)
            Track(name, {{0, 0.0f, 0}});
        Track("PlaybackTime", {{0, 0.0f, 0}}); // the clock's own
        for (const char* file : {"OShaders/PostEffects.fxo", "OShaders/global.fxo", "Shaders/shared.fxh",
                                 "Shaders/rendering.fxh", "Data/overlay0.png", "Data/overlay1.png",
                                 "Data/overlay2.png", "Data/overlay3.png"}) {
            std::vector<unsigned char> bytes = StagedContent(file);
            if (bytes.empty())
                missing.push_back(file);
            std::string name = file;
            name[name.find('/')] = '\\';
            archive.Add(name, std::move(bytes));
        }
    }

    ~PostFxWorld()
    {
        registry.reset();
        State().effectPool = nullptr;
        if (pool)
            pool->Release();
        timer.reset();
        DXFramework::SetSyncDevice(nullptr);
        syncDevice.reset();
        syncTimer.reset();
        files.reset();
        if (clockInstalled)
            SetClockSource(previousClock); // the default clock is null: put it back all the same
        SetMessageBoxPresenter(nullptr);
    }

    PostFxWorld(const PostFxWorld&) = delete;
    PostFxWorld& operator=(const PostFxWorld&) = delete;

    void Track(const std::string& name, const std::vector<TrackKey>& keys)
    {
        archive.Add("Data\\sync_" + name + ".track", TrackFileBytes(keys));
    }

    // Writes the archive; publishes the sync device, the clock and a new effect pool with an
    // empty effect registry. The device must be published already.
    void Open()
    {
        ASSERT_TRUE(missing.empty()) << "the content build has not staged " << missing.front();
        const std::string path = (dir.path() / "basefile.dat").string();
        archive.Write(path);
        previousClock = SetClockSource(&clock);
        clockInstalled = true;
        SetMessageBoxPresenter([this](const MessageBoxRecord& box) {
            boxes.push_back(box.caption + ": " + box.text);
            return IDOK;
        });
        files = std::make_unique<FileSys>(path.c_str());
        syncTimer = std::make_unique<SyncTimer>();
        syncDevice.reset(createDevice("sync", *syncTimer));
        DXFramework::SetSyncDevice(syncDevice.get());
        timer = std::make_unique<::Timer>();
        SetRowRate(128.0f, 8);
        ASSERT_EQ(D3DXCreateEffectPool(&pool), D3D_OK);
        State().effectPool = pool;
        registry = std::make_unique<DXEffectHandler>();
    }

    // Playback time in seconds from now on.
    void SetTime(double seconds)
    {
        clock.SetSeconds(100.0);
        ::Timer::Restart(0.0f, 0.0f);
        clock.SetSeconds(100.0 + seconds);
        ::Timer::Update();
    }
    // The playback time at which the timeline stands on `row`.
    void SetRow(unsigned row) { SetTime(row / kRowsPerSecond); }

    // The effect the module registers, once it has.
    static ID3DXEffect* PostFx()
    {
        DXEffect* effect = DXEffectHandler::FindEffect("postfx");
        return effect ? effect->GetD3DXEffect() : nullptr;
    }
    static std::vector<float> Floats(const char* semantic, unsigned count)
    {
        std::vector<float> values(count, -12345.0f);
        ID3DXEffect* fx = PostFx();
        if (!fx) {
            ADD_FAILURE() << "no effect \"postfx\"";
            return values;
        }
        EXPECT_EQ(fx->GetFloatArray(fx->GetParameterBySemantic(nullptr, semantic), values.data(), count), D3D_OK)
            << semantic;
        return values;
    }
    static IDirect3DBaseTexture9* Texture(const char* semantic)
    {
        ID3DXEffect* fx = PostFx();
        IDirect3DBaseTexture9* texture = nullptr;
        if (fx && fx->GetTexture(fx->GetParameterBySemantic(nullptr, semantic), &texture) == D3D_OK && texture)
            texture->Release(); // the effect still holds it; only its identity is compared
        return texture;
    }

    std::vector<std::string> boxes;

private:
    TempDir dir;
    ArchiveWriter archive;
    std::vector<std::string> missing;
    ManualClock clock;
    ClockSource* previousClock = nullptr;
    bool clockInstalled = false;
    std::unique_ptr<FileSys> files;
    std::unique_ptr<SyncTimer> syncTimer;
    std::unique_ptr<sync::Device> syncDevice;
    std::unique_ptr<::Timer> timer;
    ID3DXEffectPool* pool = nullptr;
    std::unique_ptr<DXEffectHandler> registry;
};

// A render texture of the module's kind made on a device by hand (no pool): a D3DPOOL_DEFAULT
// render target, or with `renderTarget` false a managed texture that passes only read.
class TestTarget {
public:
    TestTarget(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format, bool renderTarget = true)
    {
        record.format = format;
        record.width = width;
        record.height = height;
        EXPECT_EQ(device->CreateTexture(width, height, 1, renderTarget ? D3DUSAGE_RENDERTARGET : 0, format,
                                        renderTarget ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED, &record.texture, nullptr),
                  D3D_OK);
        if (record.texture && renderTarget) {
            EXPECT_EQ(record.texture->GetSurfaceLevel(0, &record.surface), D3D_OK);
        }
    }
    ~TestTarget()
    {
        if (record.surface)
            record.surface->Release();
        if (record.texture)
            record.texture->Release();
    }
    TestTarget(const TestTarget&) = delete;
    TestTarget& operator=(const TestTarget&) = delete;

    RENDERTEXTURE* operator->() { return &record; }
    RENDERTEXTURE* get() { return &record; }

    RENDERTEXTURE record;
};

#pragma once
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "AnimCurve.h"
#include "DXFramework.h"
#include "FileSys.h"
#include "SyncHost.h"
#include "SyncTimer.h"
#include "TempDir.h"
#include "Timer.h"
#include "common/ArchiveWriter.h"
#include "win32/Clock.h"
#include "win32/MessageBox.h"

// A clock the test sets by hand, in microseconds.
class ManualClock final : public ClockSource {
public:
    bool HasCounter() const override { return true; }
    std::int64_t Counter() const override { return micros; }
    std::int64_t Frequency() const override { return 1000000; }
    DWORD Milliseconds() const override { return static_cast<DWORD>(micros / 1000); }
    void SetSeconds(double seconds) { micros = static_cast<std::int64_t>(seconds * 1e6); }

private:
    std::int64_t micros = 0;
};

// A key of a track file: row, value, interpolation code (0 step, 1 linear, 2 smooth, 3 ramp).
struct TrackKey {
    unsigned row;
    float value;
    signed char interpolation;
};

// The bytes of a track file with these keys.
inline std::vector<unsigned char> TrackFileBytes(const std::vector<TrackKey>& keys)
{
    std::vector<unsigned char> bytes(4 + 9 * keys.size());
    const std::uint32_t count = static_cast<std::uint32_t>(keys.size());
    std::memcpy(bytes.data(), &count, 4);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        std::memcpy(&bytes[4 + 9 * i], &keys[i].row, 4);
        std::memcpy(&bytes[8 + 9 * i], &keys[i].value, 4);
        bytes[12 + 9 * i] = static_cast<unsigned char>(keys[i].interpolation);
    }
    return bytes;
}

// A small demo world: an archive of tracks, curves and files opened as the demo opens
// basefile.dat, the sync device published to the framework, the playback clock on a
// manual clock, and message boxes captured. Every track the scene model asks for exists
// (constant 0) unless the test gives it.
class DemoWorld {
public:
    DemoWorld()
    {
        for (const char* name : {"Scene", "PlaybackTime", "ActiveCam", "CamZOffset", "ShakeAmplitude", "ShakeSpeed"})
            Track(name, {{0, 0.0f, 0}});
    }

    ~DemoWorld()
    {
        timer.reset();
        DXFramework::SetSyncDevice(nullptr);
        device.reset();
        syncTimer.reset();
        files.reset();
        SetClockSource(previousClock);
        SetMessageBoxPresenter(nullptr);
    }

    void Track(const std::string& name, const std::vector<TrackKey>& keys)
    {
        archive.Add("Data\\sync_" + name + ".track", TrackFileBytes(keys));
    }

    void Curve(const std::string& name, const std::vector<ANIMCURVEKEY>& keys)
    {
        std::vector<unsigned char> bytes(keys.size() * sizeof(ANIMCURVEKEY));
        if (!keys.empty())
            std::memcpy(bytes.data(), keys.data(), bytes.size());
        archive.Add("Data\\anim\\" + name, std::move(bytes));
    }

    void File(const std::string& name, const std::string& text) { archive.Add("Data\\" + name, text); }

    // Writes the archive and builds the demo's clock and sync singletons on it.
    void Open()
    {
        const std::string path = (dir.path() / "basefile.dat").string();
        archive.Write(path);
        previousClock = SetClockSource(&clock);
        SetMessageBoxPresenter([this](const MessageBoxRecord& box) {
            boxes.push_back(box);
            return IDOK;
        });
        ResetAnimCurveMessages();
        files = std::make_unique<FileSys>(path.c_str());
        syncTimer = std::make_unique<SyncTimer>();
        device.reset(createDevice("sync", *syncTimer));
        DXFramework::SetSyncDevice(device.get());
        timer = std::make_unique<::Timer>();
        SetRowRate(128.0f, 8);
    }

    // Playback time in seconds from now on (the clock restarted at 0).
    void SetTime(double seconds)
    {
        clock.SetSeconds(100.0);
        ::Timer::Restart(0.0f, 0.0f);
        clock.SetSeconds(100.0 + seconds);
        ::Timer::Update();
    }

    std::vector<MessageBoxRecord> boxes;

private:
    TempDir dir;
    ArchiveWriter archive;
    ManualClock clock;
    ClockSource* previousClock = nullptr;
    std::unique_ptr<FileSys> files;
    std::unique_ptr<SyncTimer> syncTimer;
    std::unique_ptr<sync::Device> device;
    std::unique_ptr<::Timer> timer;
};

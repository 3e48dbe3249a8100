#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "SignalMeasure.h"
#include "TempDir.h"
#include "TrackerModule.h"
#include "VorbisTune.h"
#include "audio/bass.h"

namespace {

constexpr QWORD kFailed = static_cast<QWORD>(-1);
constexpr DWORD kRate = 44100;

const std::vector<unsigned char>& StereoTune()
{
    static const std::vector<unsigned char> tune = VorbisSine(440.0, 3.0, 2, kRate, 0.5f);
    return tune;
}

// The library opened on the no-sound device, as on a machine without audio; freed afterwards.
class BassNoSoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (DWORD option : {BASS_CONFIG_GVOL_MUSIC, BASS_CONFIG_GVOL_SAMPLE, BASS_CONFIG_GVOL_STREAM})
            ASSERT_TRUE(BASS_SetConfig(option, 10000));
        ASSERT_TRUE(BASS_Init(0, kRate, BASS_DEVICE_LATENCY, nullptr, nullptr));
    }
    void TearDown() override { BASS_Free(); }

    HSTREAM Stream(const std::vector<unsigned char>& file, DWORD flags = BASS_STREAM_PRESCAN)
    {
        const HSTREAM stream = BASS_StreamCreateFile(TRUE, file.data(), 0, file.size(), flags);
        EXPECT_NE(stream, 0u) << "BASS error " << BASS_ErrorGetCode();
        return stream;
    }

    // Pulls `frames` frames of the mix; the positions then move by exactly that much.
    std::vector<float> Render(DWORD frames)
    {
        std::vector<float> mix(frames * 2);
        EXPECT_TRUE(BASSX_RenderMix(mix.data(), frames));
        return mix;
    }

    // Waits until the position has moved past `position` (the no-sound device runs on real time).
    QWORD WaitPast(DWORD handle, QWORD position)
    {
        QWORD now = BASS_ChannelGetPosition(handle, BASS_POS_BYTE);
        for (int i = 0; i < 500 && now <= position; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const QWORD next = BASS_ChannelGetPosition(handle, BASS_POS_BYTE);
            EXPECT_GE(next, now) << "the position went back";
            now = next;
        }
        return now;
    }
};

TEST(BassAudioTest, ReportsVersion24)
{
    EXPECT_EQ(BASS_GetVersion() >> 16, static_cast<DWORD>(BASSVERSION));
}

TEST(BassAudioTest, EverythingButConfigurationWaitsForInit)
{
    const std::vector<unsigned char>& tune = StereoTune();
    const std::vector<unsigned char> mod = ProTrackerModule();
    BASS_INFO info;
    float mix[2];
    struct Case {
        const char* call;
        std::function<bool()> succeeds;
    };
    const Case cases[] = {
        {"StreamCreateFile", [&] { return BASS_StreamCreateFile(TRUE, tune.data(), 0, tune.size(), 0) != 0; }},
        {"MusicLoad",
         [&] { return BASS_MusicLoad(TRUE, mod.data(), 0, static_cast<DWORD>(mod.size()), 0, 0) != 0; }},
        {"ChannelPlay", [] { return BASS_ChannelPlay(0x10001, FALSE) != FALSE; }},
        {"ChannelPause", [] { return BASS_ChannelPause(0x10001) != FALSE; }},
        {"ChannelIsActive", [] { return BASS_ChannelIsActive(0x10001) != BASS_ACTIVE_STOPPED; }},
        {"StreamFree", [] { return BASS_StreamFree(0) != FALSE; }},
        {"GetInfo", [&] { return BASS_GetInfo(&info) != FALSE; }},
        {"Free", [] { return BASS_Free() != FALSE; }},
        {"RenderMix", [&] { return BASSX_RenderMix(mix, 1) != FALSE; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_FALSE(c.succeeds());
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    }
    // The last error belongs to the thread that made the call.
    int otherThreadsError = -2;
    std::thread([&] { otherThreadsError = BASS_ErrorGetCode(); }).join();
    EXPECT_EQ(otherThreadsError, BASS_OK);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

TEST(BassAudioTest, GlobalVolumesTakeZeroToTenThousand)
{
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 5000));
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_GVOL_STREAM), 5000u);
    EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_GVOL_MUSIC, 10001));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(BASS_SetConfig(12345, 1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 10000));
}

// Runs SDL audio with the driver named (or the machine's own with null) while it lives.
class AudioDriverChoice {
public:
    explicit AudioDriverChoice(const char* driver)
    {
        if (const char* old = std::getenv("SDL_AUDIODRIVER"))
            saved_ = old;
        if (driver)
            setenv("SDL_AUDIODRIVER", driver, 1);
    }
    ~AudioDriverChoice()
    {
        if (saved_)
            setenv("SDL_AUDIODRIVER", saved_->c_str(), 1);
        else
            unsetenv("SDL_AUDIODRIVER");
    }

private:
    std::optional<std::string> saved_;
};

TEST(BassAudioTest, DefaultDeviceFailsWithoutRealOutputAndNoSoundThenOpens)
{
    ASSERT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "SDL audio must start under the driver chosen here";
    for (const char* driver : {"dummy", "disk"}) {
        SCOPED_TRACE(driver);
        AudioDriverChoice choice(driver);
        EXPECT_FALSE(BASS_Init(-1, kRate, BASS_DEVICE_LATENCY, nullptr, nullptr));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "a failed open leaves SDL audio as it found it";

        ASSERT_TRUE(BASS_Init(0, kRate, BASS_DEVICE_LATENCY, nullptr, nullptr));
        BASS_INFO info;
        ASSERT_TRUE(BASS_GetInfo(&info));
        EXPECT_EQ(info.latency, 0u);
        EXPECT_EQ(info.freq, kRate);
        EXPECT_TRUE(BASS_Free());
    }
}

TEST(BassAudioTest, TheMachinesDefaultDeviceOpensWithLatencyOrFailsWithACode)
{
    AudioDriverChoice choice(nullptr);
    if (BASS_Init(-1, kRate, BASS_DEVICE_LATENCY, nullptr, nullptr)) {
        BASS_INFO info;
        ASSERT_TRUE(BASS_GetInfo(&info));
        EXPECT_GT(info.latency, 0u);
        EXPECT_EQ(info.initflags, static_cast<DWORD>(BASS_DEVICE_LATENCY));
        float mix[2];
        EXPECT_FALSE(BASSX_RenderMix(mix, 1));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    } else {
        const int error = BASS_ErrorGetCode();
        EXPECT_TRUE(error == BASS_ERROR_DEVICE || error == BASS_ERROR_DRIVER) << error;
        ASSERT_TRUE(BASS_Init(0, kRate, BASS_DEVICE_LATENCY, nullptr, nullptr));
    }
    EXPECT_TRUE(BASS_Free());
}

TEST_F(BassNoSoundTest, ASecondInitIsRefusedAndInfoDescribesTheDevice)
{
    EXPECT_FALSE(BASS_Init(0, kRate, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    EXPECT_FALSE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    EXPECT_FALSE(BASS_GetInfo(nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);

    BASS_INFO info;
    ASSERT_TRUE(BASS_GetInfo(&info));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_EQ(info.latency, 0u);
    EXPECT_EQ(info.freq, kRate);
    EXPECT_EQ(info.initflags, static_cast<DWORD>(BASS_DEVICE_LATENCY));
}

TEST_F(BassNoSoundTest, PlaysPausesResumesAndStopsOnRealTime)
{
    const HSTREAM stream = Stream(StereoTune());
    EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), QWORD{3 * kRate * 4});
    EXPECT_EQ(BASS_ChannelIsActive(stream), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    EXPECT_FALSE(BASS_ChannelPause(stream));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOPLAY);

    ASSERT_TRUE(BASS_ChannelPlay(stream, TRUE));
    EXPECT_EQ(BASS_ChannelIsActive(stream), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
    const QWORD played = WaitPast(stream, 0);
    ASSERT_GT(played, 0u);
    EXPECT_EQ(played % 4, 0u) << "positions are whole frames";

    ASSERT_TRUE(BASS_ChannelPause(stream));
    EXPECT_EQ(BASS_ChannelIsActive(stream), static_cast<DWORD>(BASS_ACTIVE_PAUSED));
    const QWORD paused = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    EXPECT_GE(paused, played);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), paused) << "pause freezes the position";
    EXPECT_FALSE(BASS_ChannelPause(stream));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);

    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_GT(WaitPast(stream, paused), paused) << "resuming continues from the paused position";

    ASSERT_TRUE(BASS_ChannelStop(stream));
    EXPECT_EQ(BASS_ChannelIsActive(stream), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    const QWORD stopped = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), stopped);

    ASSERT_TRUE(BASS_StreamFree(stream));
    EXPECT_FALSE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), kFailed);
    EXPECT_FALSE(BASS_StreamFree(stream));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(BassNoSoundTest, RenderedMixIsTheSineAtTheGlobalStreamVolume)
{
    const HSTREAM stream = Stream(StereoTune());
    ASSERT_TRUE(BASS_ChannelPlay(stream, TRUE));
    const std::vector<float> full = Render(kRate / 2);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), QWORD{kRate / 2 * 4});
    for (std::size_t channel = 0; channel < 2; ++channel) {
        EXPECT_NEAR(ChannelRms(full, 2, channel), 0.3536, 0.01);
        EXPECT_NEAR(ChannelFrequency(full, 2, channel, kRate), 440.0, 2.0);
    }

    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 5000));
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_GVOL_MUSIC, 0)); // music volume leaves streams alone
    const std::vector<float> half = Render(kRate / 2);
    EXPECT_NEAR(ChannelRms(half, 2, 0), 0.3536 / 2, 0.005);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), QWORD{kRate * 4});

    ASSERT_TRUE(BASS_ChannelPause(stream));
    const std::vector<float> silence = Render(1000);
    EXPECT_EQ(ChannelRms(silence, 2, 0), 0.0);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), QWORD{kRate * 4});
}

TEST_F(BassNoSoundTest, SeeksThenPlaysFromThere)
{
    const HSTREAM stream = Stream(StereoTune());
    const QWORD seek = BASS_ChannelSeconds2Bytes(stream, 1.5);
    ASSERT_EQ(seek, QWORD{kRate * 3 / 2 * 4});
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, seek, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), seek);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    const std::vector<float> mix = Render(1000);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), seek + 1000 * 4);
    EXPECT_GT(ChannelRms(mix, 2, 0), 0.3);

    // A position off a frame boundary lands on the frame it is in.
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 4003, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), 4000u);

    ASSERT_TRUE(BASS_ChannelPlay(stream, TRUE));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), 0u) << "restart plays from the first sample";

    const QWORD length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, length + 4, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, 0, BASS_POS_MUSIC_ORDER));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
}

TEST_F(BassNoSoundTest, AStreamStopsAtItsEndUnlessItLoops)
{
    const HSTREAM once = Stream(StereoTune());
    const HSTREAM looping = Stream(StereoTune(), BASS_STREAM_PRESCAN | BASS_SAMPLE_LOOP);
    const QWORD length = BASS_ChannelGetLength(once, BASS_POS_BYTE);
    ASSERT_TRUE(BASS_ChannelPlay(once, FALSE));
    ASSERT_TRUE(BASS_ChannelPlay(looping, FALSE));
    Render(static_cast<DWORD>(length / 4) + 1000);

    EXPECT_EQ(BASS_ChannelIsActive(once), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(BASS_ChannelGetPosition(once, BASS_POS_BYTE), length);
    EXPECT_EQ(BASS_ChannelIsActive(looping), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(BASS_ChannelGetPosition(looping, BASS_POS_BYTE), 1000u * 4);

    // Played again, an ended stream starts from the beginning.
    ASSERT_TRUE(BASS_ChannelPlay(once, FALSE));
    Render(100);
    EXPECT_EQ(BASS_ChannelGetPosition(once, BASS_POS_BYTE), 100u * 4);
}

TEST_F(BassNoSoundTest, BytesCountTheChannelsOwnFormat)
{
    const std::vector<unsigned char> mono = VorbisSine(440.0, 1.0, 1, 22050, 0.5f);
    struct Case {
        const char* what;
        const std::vector<unsigned char>& file;
        DWORD flags;
        QWORD bytesPerFrame;
        QWORD bytesPerSecond;
    };
    const Case cases[] = {
        {"stereo 16-bit 44100 Hz", StereoTune(), 0, 2 * 2, 44100 * 2 * 2},
        {"stereo float 44100 Hz", StereoTune(), BASS_SAMPLE_FLOAT, 2 * 4, 44100 * 2 * 4},
        {"mono 16-bit 22050 Hz", mono, 0, 2, 22050 * 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HSTREAM stream = Stream(c.file, c.flags);
        EXPECT_EQ(BASS_ChannelSeconds2Bytes(stream, 1.0), c.bytesPerSecond);
        EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(stream, c.bytesPerSecond / 2), 0.5);
        for (QWORD frames : {QWORD{0}, QWORD{1}, QWORD{49}, QWORD{12345}, QWORD{44099}, QWORD{7777777}}) {
            const QWORD bytes = frames * c.bytesPerFrame;
            EXPECT_EQ(BASS_ChannelSeconds2Bytes(stream, BASS_ChannelBytes2Seconds(stream, bytes)), bytes) << frames;
        }
        EXPECT_EQ(BASS_ChannelSeconds2Bytes(stream, -0.5), kFailed);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
        EXPECT_TRUE(BASS_StreamFree(stream));
    }
}

TEST_F(BassNoSoundTest, AStreamAtAnotherRateIsResampledToTheOutput)
{
    const HSTREAM stream = Stream(VorbisSine(1000.0, 2.0, 1, 22050, 0.5f));
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    const std::vector<float> mix = Render(kRate);
    EXPECT_NEAR(ChannelFrequency(mix, 2, 0, kRate), 1000.0, 5.0);
    EXPECT_NEAR(ChannelRms(mix, 2, 1), 0.3536, 0.02);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), QWORD{22050 * 2});
}

TEST_F(BassNoSoundTest, BadDataFailsChannelCreationWithBassCodes)
{
    const std::vector<unsigned char>& tune = StereoTune();
    const std::string text = "This is not an Ogg Vorbis file, nor a tracker module.";
    struct Case {
        const char* what;
        const void* data;
        QWORD length;
        DWORD flags;
        int streamError;
        int musicError;
    };
    const Case cases[] = {
        {"text", text.data(), text.size(), 0, BASS_ERROR_FILEFORM, BASS_ERROR_FILEFORM},
        {"headers cut short", tune.data(), 60, 0, BASS_ERROR_FILEFORM, BASS_ERROR_FILEFORM},
        {"empty", tune.data(), 0, 0, BASS_ERROR_ILLPARAM, BASS_ERROR_ILLPARAM},
        {"null", nullptr, 100, 0, BASS_ERROR_ILLPARAM, BASS_ERROR_ILLPARAM},
        {"decoding channel", tune.data(), tune.size(), BASS_STREAM_DECODE, BASS_ERROR_NOTAVAIL, BASS_ERROR_NOTAVAIL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(BASS_StreamCreateFile(TRUE, c.data, 0, c.length, c.flags), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), c.streamError);
        EXPECT_EQ(BASS_MusicLoad(TRUE, c.data, 0, static_cast<DWORD>(c.length), c.flags, 0), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), c.musicError);
    }
    // An Ogg file is no module.
    EXPECT_EQ(BASS_MusicLoad(TRUE, tune.data(), 0, static_cast<DWORD>(tune.size()), 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    // The offset picks the file out of a larger block.
    std::vector<unsigned char> block(16 + tune.size(), 0xAA);
    std::copy(tune.begin(), tune.end(), block.begin() + 16);
    const HSTREAM stream = BASS_StreamCreateFile(TRUE, block.data(), 16, tune.size(), 0);
    EXPECT_NE(stream, 0u);
    EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), QWORD{3 * kRate * 4});
}

TEST_F(BassNoSoundTest, StreamsAndModulesAlsoLoadFromFiles)
{
    TempDir dir;
    const auto write = [&dir](const char* name, const std::vector<unsigned char>& bytes) {
        const std::string path = (dir.path() / name).string();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    };
    const std::string tune = write("tune.ogg", StereoTune());
    const std::string mod = write("tune.mod", ProTrackerModule());

    const HSTREAM stream = BASS_StreamCreateFile(FALSE, tune.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u) << "BASS error " << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), QWORD{3 * kRate * 4});
    const HMUSIC music = BASS_MusicLoad(FALSE, mod.c_str(), 0, 0, 0, 0);
    ASSERT_NE(music, 0u) << "BASS error " << BASS_ErrorGetCode();
    EXPECT_GT(BASS_ChannelGetLength(music, BASS_POS_BYTE), 0u);

    const std::string missing = (dir.path() / "missing.ogg").string();
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, missing.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(BASS_MusicLoad(FALSE, missing.c_str(), 0, 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, tune.c_str(), 0, 0, BASS_UNICODE), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
}

TEST_F(BassNoSoundTest, HandlesBelongToTheirKindAndDieWithTheDevice)
{
    const std::vector<unsigned char> mod = ProTrackerModule();
    const HSTREAM stream = Stream(StereoTune());
    const HMUSIC music = BASS_MusicLoad(TRUE, mod.data(), 0, static_cast<DWORD>(mod.size()), 0, 0);
    ASSERT_NE(music, 0u);
    EXPECT_NE(music, stream);

    struct Case {
        const char* what;
        std::function<BOOL()> free;
    };
    const Case cases[] = {
        {"StreamFree of a music", [&] { return BASS_StreamFree(music); }},
        {"MusicFree of a stream", [&] { return BASS_MusicFree(stream); }},
        {"StreamFree of 0", [] { return BASS_StreamFree(0); }},
        {"MusicFree of 0", [] { return BASS_MusicFree(0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(c.free());
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    }
    EXPECT_EQ(BASS_ChannelIsActive(stream), static_cast<DWORD>(BASS_ACTIVE_STOPPED)) << "both survive";
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_EQ(BASS_ChannelIsActive(0), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);

    ASSERT_TRUE(BASS_Free());
    ASSERT_TRUE(BASS_Init(0, kRate, 0, nullptr, nullptr));
    EXPECT_FALSE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(BASS_MusicFree(music));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(BassNoSoundTest, ATrackerModuleLoadsPlaysAndEnds)
{
    const std::vector<unsigned char> mod = ProTrackerModule(8); // 8 rows of 0.12 s
    const HMUSIC music = BASS_MusicLoad(TRUE, mod.data(), 0, static_cast<DWORD>(mod.size()), 0, 0);
    ASSERT_NE(music, 0u) << "BASS error " << BASS_ErrorGetCode();
    const QWORD length = BASS_ChannelGetLength(music, BASS_POS_BYTE);
    EXPECT_NEAR(static_cast<double>(length), 0.96 * kRate * 4, 0.02 * kRate * 4);
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(music, length), 0.96, 0.02);

    ASSERT_TRUE(BASS_ChannelPlay(music, TRUE));
    const std::vector<float> mix = Render(kRate / 2);
    EXPECT_GT(ChannelRms(mix, 2, 0) + ChannelRms(mix, 2, 1), 0.01) << "the module makes sound";
    EXPECT_EQ(BASS_ChannelGetPosition(music, BASS_POS_BYTE), QWORD{kRate / 2 * 4});

    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_GVOL_MUSIC, 0));
    EXPECT_EQ(ChannelRms(Render(1000), 2, 0), 0.0) << "the global music volume applies";

    Render(kRate);
    EXPECT_EQ(BASS_ChannelIsActive(music), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    ASSERT_TRUE(BASS_ChannelStop(music));
    EXPECT_TRUE(BASS_MusicFree(music));
}

TEST_F(BassNoSoundTest, ALoopingModuleKeepsPlayingWithinItsLength)
{
    const std::vector<unsigned char> mod = ProTrackerModule(8);
    const HMUSIC music =
        BASS_MusicLoad(TRUE, mod.data(), 0, static_cast<DWORD>(mod.size()), BASS_SAMPLE_LOOP, 0);
    ASSERT_NE(music, 0u);
    const QWORD length = BASS_ChannelGetLength(music, BASS_POS_BYTE);
    ASSERT_TRUE(BASS_ChannelPlay(music, FALSE));
    const std::vector<float> mix = Render(2 * kRate);
    EXPECT_EQ(BASS_ChannelIsActive(music), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
    EXPECT_LT(BASS_ChannelGetPosition(music, BASS_POS_BYTE), length);
    const std::vector<float> tail(mix.end() - kRate / 4 * 2, mix.end());
    EXPECT_GT(ChannelRms(tail, 2, 0) + ChannelRms(tail, 2, 1), 0.01) << "still sounding after two passes";
}

} // namespace

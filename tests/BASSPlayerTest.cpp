#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BASSPlayer.h"
#include "FileSys.h"
#include "FrameworkExMessage.h"
#include "TempDir.h"
#include "TrackerModule.h"
#include "VorbisTune.h"
#include "audio/bass.h"
#include "common/ArchiveWriter.h"

namespace {

constexpr DWORD kRate = 44100;
constexpr QWORD kFrameBytes = 4; // 16-bit stereo

// The player on an archive holding an Ogg tune, a module and some damaged files, on a machine
// whose audio has no real output (SDL's dummy driver), so that the player falls back to BASS's
// no-sound device. The mix is pulled by the test, so positions move only when it says.
class BASSPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("SDL_AUDIODRIVER"))
            savedDriver = old;
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        for (int i = 0; i < 3; ++i)
            savedVolumes[i] = BASS_GetConfig(kVolumes[i]);

        ArchiveWriter archive;
        archive.Add("Data\\tune.ogg", VorbisSine(440.0, 2.0, 2, kRate, 0.5f));
        archive.Add("Data\\tune.mod", ProTrackerModule(16));
        archive.Add("Data\\noise.ogg", std::vector<unsigned char>(300, 0x5A));
        archive.Add("Data\\noise.mod", std::vector<unsigned char>(300, 0x5A));
        const std::string path = (dir.path() / "basefile.dat").string();
        archive.Write(path);
        files.emplace(path.c_str());
        player.emplace();
    }

    void TearDown() override
    {
        player.reset();
        files.reset();
        // The player leaves the output open for the rest of the run; the tests close it.
        BASS_Free();
        for (int i = 0; i < 3; ++i)
            BASS_SetConfig(kVolumes[i], savedVolumes[i]);
        if (savedDriver)
            setenv("SDL_AUDIODRIVER", savedDriver->c_str(), 1);
        else
            unsetenv("SDL_AUDIODRIVER");
    }

    // Mixes `frames` frames; the channel's position moves by exactly that much while it plays.
    static void Render(DWORD frames)
    {
        std::vector<float> mix(frames * 2);
        ASSERT_TRUE(BASSX_RenderMix(mix.data(), frames)) << BASS_ErrorGetCode();
    }

    static QWORD Position(DWORD channel) { return BASS_ChannelGetPosition(channel, BASS_POS_BYTE); }

    static std::string WithCode(const std::string& text, int code) { return text + std::to_string(code) + "."; }

    static constexpr DWORD kVolumes[3] = {BASS_CONFIG_GVOL_MUSIC, BASS_CONFIG_GVOL_SAMPLE, BASS_CONFIG_GVOL_STREAM};
    std::optional<std::string> savedDriver;
    DWORD savedVolumes[3] = {};
    TempDir dir;
    std::optional<FileSys> files;
    std::optional<BASSPlayer> player;
};

TEST_F(BASSPlayerTest, IsASingletonUntilDestroyed)
{
    EXPECT_EQ(FrameworkExMessage([] { BASSPlayer second; }), "BASSPlayer is a singleton!");
    player.reset();
    EXPECT_EQ(FrameworkExMessage([] { BASSPlayer again; }), "(no exception)");
}

TEST_F(BASSPlayerTest, WithoutARealOutputOpensTheNoSoundDeviceAtHalfVolume)
{
    BASSPlayer::OpenOutput();
    for (DWORD option : kVolumes)
        EXPECT_EQ(BASS_GetConfig(option), 5000u) << option;
    BASS_INFO info;
    ASSERT_TRUE(BASS_GetInfo(&info)) << "no device is open";
    EXPECT_EQ(info.freq, kRate);
    EXPECT_EQ(info.initflags, static_cast<DWORD>(BASS_DEVICE_LATENCY));
    // Only the no-sound device lets the caller pull the mix.
    float mix[2];
    EXPECT_TRUE(BASSX_RenderMix(mix, 1));
}

TEST_F(BASSPlayerTest, InitLoadsTheOggTuneAndReadsTheDeviceInfo)
{
    EXPECT_EQ(BASSPlayer::GetInfo().freq, 0u) << "info is zero until a tune is loaded";
    BASSPlayer::OpenOutput();
    BASSPlayer::Init("Data\\tune.ogg", SOUNDTYPE_STREAM);
    EXPECT_EQ(BASSPlayer::GetSoundType(), SOUNDTYPE_STREAM);
    ASSERT_NE(BASSPlayer::GetStream(), 0u);
    EXPECT_EQ(BASS_ChannelGetLength(BASSPlayer::GetStream(), BASS_POS_BYTE), QWORD{2 * kRate} * kFrameBytes);

    BASS_INFO device;
    ASSERT_TRUE(BASS_GetInfo(&device));
    EXPECT_EQ(BASSPlayer::GetInfo().freq, device.freq);
    EXPECT_EQ(BASSPlayer::GetInfo().initflags, device.initflags);
    EXPECT_EQ(BASSPlayer::GetInfo().latency, device.latency) << "the latency the start sequence shifts the clock by";
}

TEST_F(BASSPlayerTest, PlaysPausesAndResumesAtAPosition)
{
    BASSPlayer::OpenOutput();
    BASSPlayer::Init("Data\\tune.ogg", SOUNDTYPE_STREAM);
    const HSTREAM stream = BASSPlayer::GetStream();

    BASSPlayer::Play();
    EXPECT_EQ(BASS_ChannelIsActive(stream), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
    Render(4410);
    EXPECT_EQ(Position(stream), 4410 * kFrameBytes);

    // Resuming at 0 right after starting goes back to the first sample.
    BASSPlayer::Resume(0.0f);
    EXPECT_EQ(Position(stream), 0u);
    Render(1000);
    EXPECT_EQ(Position(stream), 1000 * kFrameBytes);

    BASSPlayer::Pause();
    EXPECT_EQ(BASS_ChannelIsActive(stream), static_cast<DWORD>(BASS_ACTIVE_PAUSED));
    Render(1000);
    EXPECT_EQ(Position(stream), 1000 * kFrameBytes) << "a paused tune moved on";

    BASSPlayer::Resume(1.5f);
    EXPECT_EQ(BASS_ChannelIsActive(stream), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(Position(stream), QWORD{kRate * 3 / 2} * kFrameBytes);
    Render(100);
    EXPECT_EQ(Position(stream), (kRate * 3 / 2 + 100) * kFrameBytes);

    // Play starts over.
    BASSPlayer::Play();
    EXPECT_EQ(Position(stream), 0u);
}

TEST_F(BASSPlayerTest, PlaysATrackerModuleFromMemoryWhichPauseLeavesPlaying)
{
    BASSPlayer::OpenOutput();
    BASSPlayer::Init("Data\\tune.mod", SOUNDTYPE_MUSIC);
    EXPECT_EQ(BASSPlayer::GetSoundType(), SOUNDTYPE_MUSIC);
    const HMUSIC music = BASSPlayer::GetMusic();
    ASSERT_NE(music, 0u);
    EXPECT_EQ(BASSPlayer::GetStream(), 0u);
    EXPECT_GT(BASS_ChannelGetLength(music, BASS_POS_BYTE), 0u);

    BASSPlayer::Play();
    Render(2000);
    EXPECT_EQ(Position(music), 2000 * kFrameBytes);
    BASSPlayer::Pause();
    EXPECT_EQ(BASS_ChannelIsActive(music), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
    BASSPlayer::Resume(0.5f);
    EXPECT_EQ(Position(music), QWORD{kRate / 2} * kFrameBytes);

    BASSPlayer::Free();
    EXPECT_EQ(BASS_ChannelIsActive(music), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    EXPECT_FALSE(BASS_ChannelPlay(music, FALSE)) << "the module was not freed";
}

TEST_F(BASSPlayerTest, TunesThatCannotBeLoadedFailWithTheBassErrorCode)
{
    BASSPlayer::OpenOutput();
    const std::string stream = "[BASSPlayer::Init] Could not create stream.  BASS error code ";
    const std::string music = "[BASSPlayer::Init] Could not create music.  BASS error code ";
    struct Case {
        const char* file;
        BASS_SOUNDTYPE type;
        std::string message;
    };
    const Case cases[] = {
        // A missing tune reaches BASS as an empty buffer.
        {"Data\\missing.ogg", SOUNDTYPE_STREAM, WithCode(stream, BASS_ERROR_ILLPARAM)},
        {"Data\\noise.ogg", SOUNDTYPE_STREAM, WithCode(stream, BASS_ERROR_FILEFORM)},
        {"Data\\missing.mod", SOUNDTYPE_MUSIC, WithCode(music, BASS_ERROR_ILLPARAM)},
        {"Data\\noise.mod", SOUNDTYPE_MUSIC, WithCode(music, BASS_ERROR_FILEFORM)},
        {"Data\\tune.ogg", static_cast<BASS_SOUNDTYPE>(2), "[BASSPlayer::Init] Invalid type specified 2."},
        {"Data\\tune.ogg", static_cast<BASS_SOUNDTYPE>(-1), "[BASSPlayer::Init] Invalid type specified -1."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(FrameworkExMessage([&] { BASSPlayer::Init(c.file, c.type); }), c.message);
        EXPECT_EQ(BASSPlayer::GetSoundType(), SOUNDTYPE_STREAM);
    }
}

TEST_F(BASSPlayerTest, NothingPlaysBeforeTheOutputIsOpenOrATuneLoaded)
{
    EXPECT_EQ(FrameworkExMessage([] { BASSPlayer::Init("Data\\tune.ogg", SOUNDTYPE_STREAM); }),
              WithCode("[BASSPlayer::Init] Could not create stream.  BASS error code ", BASS_ERROR_INIT));
    BASSPlayer::OpenOutput();
    EXPECT_EQ(FrameworkExMessage([] { BASSPlayer::Play(); }),
              WithCode("[BASSPlayer::Play] Could not play stream.  BASS error code ", BASS_ERROR_HANDLE));
}

TEST_F(BASSPlayerTest, FreeStopsTheTuneAndIsHarmlessBeforeInitAndWhenRepeated)
{
    BASSPlayer::OpenOutput();
    EXPECT_EQ(FrameworkExMessage([] { BASSPlayer::Free(); }), "(no exception)");

    BASSPlayer::Init("Data\\tune.ogg", SOUNDTYPE_STREAM);
    const HSTREAM stream = BASSPlayer::GetStream();
    BASSPlayer::Play();
    BASSPlayer::Free();
    EXPECT_EQ(BASS_ChannelIsActive(stream), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    EXPECT_FALSE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE) << "the stream was not freed";
    EXPECT_EQ(FrameworkExMessage([] { BASSPlayer::Free(); }), "(no exception)");
}

TEST_F(BASSPlayerTest, ASecondInitReplacesTheFirstTune)
{
    BASSPlayer::OpenOutput();
    BASSPlayer::Init("Data\\tune.ogg", SOUNDTYPE_STREAM);
    const HSTREAM first = BASSPlayer::GetStream();
    BASSPlayer::Play();
    BASSPlayer::Init("Data\\tune.mod", SOUNDTYPE_MUSIC);
    EXPECT_FALSE(BASS_ChannelPlay(first, FALSE)) << "the first tune was left playing";
    BASSPlayer::Play();
    Render(10);
    EXPECT_EQ(Position(BASSPlayer::GetMusic()), 10 * kFrameBytes);
}

} // namespace

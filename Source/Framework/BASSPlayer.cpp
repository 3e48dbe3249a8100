#include "BASSPlayer.h"

#include <string>

#include "DXFramework.h"
#include "FileSys.h"
#include "FrameworkEx.h"

namespace {

const BASSPlayer* instance = nullptr;

// The global volumes: half of BASS's 0 to 10000 range.
constexpr DWORD kHalfVolume = 5000;
constexpr DWORD kOutputRate = 44100;

std::string WithErrorCode(const char* text)
{
    return text + std::to_string(BASS_ErrorGetCode()) + ".";
}

} // namespace

BASS_SOUNDTYPE BASSPlayer::soundType = SOUNDTYPE_STREAM;
HSTREAM BASSPlayer::stream = 0;
HMUSIC BASSPlayer::music = 0;
std::vector<unsigned char> BASSPlayer::tuneData;
BASS_INFO BASSPlayer::info{};

BASSPlayer::BASSPlayer()
{
    if (instance != nullptr)
        throw FrameworkEx("BASSPlayer is a singleton!");
    instance = this;
    info = BASS_INFO{};
}

BASSPlayer::~BASSPlayer()
{
    if (instance != this)
        return;
    // Free cannot fail on the two known types, which are the only ones ever stored.
    Free();
    // With the channel gone nothing plays from the tune's memory any more.
    stream = 0;
    music = 0;
    soundType = SOUNDTYPE_STREAM;
    tuneData.clear();
    tuneData.shrink_to_fit();
    instance = nullptr;
}

void BASSPlayer::OpenOutput()
{
    if ((BASS_GetVersion() >> 16) != BASSVERSION)
        throw FrameworkEx("Wrong BASS .dll for this .lib");

    BASS_SetConfig(BASS_CONFIG_GVOL_MUSIC, kHalfVolume);
    BASS_SetConfig(BASS_CONFIG_GVOL_SAMPLE, kHalfVolume);
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, kHalfVolume);

    const HWND window = DXFramework::GetWindow();
    if (!BASS_Init(-1, kOutputRate, BASS_DEVICE_LATENCY, window, nullptr)) {
        // No audio on this machine: play silently on the no-sound device.
        BASS_Init(0, kOutputRate, BASS_DEVICE_LATENCY, window, nullptr);
    }
}

void BASSPlayer::Init(const char* filename, BASS_SOUNDTYPE type)
{
    if (type != SOUNDTYPE_STREAM && type != SOUNDTYPE_MUSIC)
        throw FrameworkEx("[BASSPlayer::Init] Invalid type specified " + std::to_string(static_cast<int>(type)) +
                          ".");

    // The memory of an earlier tune may only go once its channel is gone.
    if (stream != 0 || music != 0) {
        Free();
        stream = 0;
        music = 0;
    }

    // A tune missing from the archive reaches BASS as an empty buffer, which it refuses.
    const unsigned size = FileSys::GetFileSize(filename);
    tuneData.assign(size, 0);
    if (size != 0)
        FileSys::ReadFile(filename, tuneData.data());

    if (type == SOUNDTYPE_STREAM) {
        stream = BASS_StreamCreateFile(TRUE, tuneData.data(), 0, size, BASS_STREAM_PRESCAN);
        if (stream == 0)
            throw FrameworkEx(WithErrorCode("[BASSPlayer::Init] Could not create stream.  BASS error code "));
    } else {
        // From memory BASS needs the module's real length to know where the buffer ends.
        music = BASS_MusicLoad(TRUE, tuneData.data(), 0, size, BASS_SAMPLE_LOOP, 0);
        if (music == 0)
            throw FrameworkEx(WithErrorCode("[BASSPlayer::Init] Could not create music.  BASS error code "));
    }
    soundType = type;
    BASS_GetInfo(&info);
}

void BASSPlayer::Play()
{
    DWORD channel = 0;
    switch (soundType) {
    case SOUNDTYPE_STREAM:
        channel = stream;
        break;
    case SOUNDTYPE_MUSIC:
        channel = music;
        break;
    default:
        return;
    }
    if (!BASS_ChannelPlay(channel, TRUE))
        throw FrameworkEx(WithErrorCode("[BASSPlayer::Play] Could not play stream.  BASS error code "));
}

void BASSPlayer::Pause()
{
    BASS_ChannelPause(stream);
}

void BASSPlayer::Resume(float seconds)
{
    DWORD channel = 0;
    switch (soundType) {
    case SOUNDTYPE_STREAM:
        channel = stream;
        break;
    case SOUNDTYPE_MUSIC:
        channel = music;
        break;
    default:
        throw FrameworkEx("[BASSPlayer::Resume] Invalid BASS_SOUNDTYPE " + std::to_string(static_cast<int>(soundType)) +
                          ".");
    }
    const QWORD position = BASS_ChannelSeconds2Bytes(channel, static_cast<double>(seconds));
    BASS_ChannelSetPosition(channel, position, BASS_POS_BYTE);
    BASS_ChannelPlay(channel, FALSE);
}

void BASSPlayer::Free()
{
    switch (soundType) {
    case SOUNDTYPE_STREAM:
        BASS_ChannelStop(stream);
        BASS_StreamFree(stream);
        break;
    case SOUNDTYPE_MUSIC:
        BASS_ChannelStop(music);
        BASS_MusicFree(music);
        break;
    default:
        throw FrameworkEx("[BASSPlayer::Free] Invalid BASS_SOUNDTYPE " + std::to_string(static_cast<int>(soundType)) +
                          ".");
    }
}

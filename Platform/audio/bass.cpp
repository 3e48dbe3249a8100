#include "audio/bass.h"

#include <chrono>
#include <fstream>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "audio/AudioChannel.h"
#include "audio/AudioMixer.h"
#include "audio/ModuleSource.h"
#include "audio/OggDecoder.h"
#include "audio/PcmSource.h"
#include "audio/SDLAudioOutput.h"

namespace {

constexpr DWORD kVersion = 0x02041100; // 2.4.17.0
constexpr DWORD kDefaultRate = 44100;
constexpr DWORD kFullVolume = 10000;
constexpr QWORD kFailedPosition = static_cast<QWORD>(-1);

enum class Output { None, NoSound, Device };

// Everything the library keeps. `mutex` guards all of it except `device`, which only
// BASS_Init and BASS_Free touch (under `lifecycle`); SDL's audio thread takes `mutex` to mix.
struct BassState {
    std::mutex lifecycle;
    std::mutex mutex;
    Output output = Output::None;
    DWORD initFlags = 0;
    unsigned rate = 0;
    DWORD latency = 0;
    DWORD minbuf = 0;
    DWORD volumeSample = kFullVolume;
    DWORD volumeStream = kFullVolume;
    DWORD volumeMusic = kFullVolume;
    AudioMixer mixer;
    // The no-sound device's clock: frames the channels have been moved on since clockStart.
    std::chrono::steady_clock::time_point clockStart;
    std::uint64_t clockFrames = 0;
    bool callerOwnsClock = false;
    // Declared last so that it closes (and SDL's audio thread stops) before the rest goes.
    std::unique_ptr<SDLAudioOutput> device;
};

BassState& State()
{
    static BassState state;
    return state;
}

thread_local int lastError = BASS_OK;

BOOL Fail(int code)
{
    lastError = code;
    return FALSE;
}

BOOL Succeed()
{
    lastError = BASS_OK;
    return TRUE;
}

float Gain(DWORD volume)
{
    return static_cast<float>(volume) / kFullVolume;
}

void MixInto(BassState& state, float* out, std::size_t frames)
{
    state.mixer.Mix(out, frames, state.rate, Gain(state.volumeStream), Gain(state.volumeMusic));
}

void MixOnAudioThread(float* out, std::size_t frames)
{
    BassState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.output == Output::Device) {
        MixInto(state, out, frames);
    } else {
        for (std::size_t i = 0; i < frames * 2; ++i)
            out[i] = 0.0f;
    }
}

// On the no-sound device, moves the playing channels on by the real time that has passed.
// Called (with the mutex held) before every operation that reads or changes a channel's state.
void CatchUp(BassState& state)
{
    if (state.output != Output::NoSound || state.callerOwnsClock)
        return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                              state.clockStart)
                             .count();
    if (elapsed <= 0)
        return;
    const auto nanoseconds = static_cast<std::uint64_t>(elapsed);
    const std::uint64_t total =
        nanoseconds / 1000000000u * state.rate + nanoseconds % 1000000000u * state.rate / 1000000000u;
    if (total <= state.clockFrames)
        return;
    MixInto(state, nullptr, static_cast<std::size_t>(total - state.clockFrames));
    state.clockFrames = total;
}

// Finds the channel behind a handle for an operation on it: the mutex is held, the library is
// initialised and the no-sound clock has caught up. Sets the error and returns null otherwise.
class ChannelAccess {
public:
    explicit ChannelAccess(DWORD handle) : state_(State()), lock_(state_.mutex)
    {
        if (state_.output == Output::None) {
            lastError = BASS_ERROR_INIT;
            return;
        }
        CatchUp(state_);
        channel_ = state_.mixer.Find(handle);
        lastError = channel_ ? BASS_OK : BASS_ERROR_HANDLE;
    }

    AudioChannel* operator->() const { return channel_; }
    explicit operator bool() const { return channel_ != nullptr; }
    BassState& state() const { return state_; }

private:
    BassState& state_;
    std::lock_guard<std::mutex> lock_;
    AudioChannel* channel_ = nullptr;
};

// The bytes of a file given to BASS: either caller's memory (mem) or a file read into `storage`.
struct FileBytes {
    int error = BASS_OK;
    const void* data = nullptr;
    std::size_t size = 0;
    std::vector<char> storage;
};

FileBytes GetFileBytes(BOOL mem, const void* file, QWORD offset, QWORD length, bool unicode)
{
    FileBytes bytes;
    if (file == nullptr) {
        bytes.error = mem ? BASS_ERROR_ILLPARAM : BASS_ERROR_FILEOPEN;
        return bytes;
    }
    if (mem) {
        // From memory the length is all there is to go by.
        if (length == 0 || length > std::numeric_limits<std::size_t>::max() ||
            offset > std::numeric_limits<std::uintptr_t>::max() - reinterpret_cast<std::uintptr_t>(file)) {
            bytes.error = BASS_ERROR_ILLPARAM;
            return bytes;
        }
        bytes.data = static_cast<const char*>(file) + offset;
        bytes.size = static_cast<std::size_t>(length);
        return bytes;
    }
    if (unicode) {
        bytes.error = BASS_ERROR_NOTAVAIL;
        return bytes;
    }
    std::ifstream in(static_cast<const char*>(file), std::ios::binary | std::ios::ate);
    if (!in) {
        bytes.error = BASS_ERROR_FILEOPEN;
        return bytes;
    }
    const auto end = static_cast<QWORD>(in.tellg());
    if (offset >= end) {
        bytes.error = BASS_ERROR_FILEFORM;
        return bytes;
    }
    QWORD count = end - offset;
    if (length != 0 && length < count)
        count = length;
    if (count > std::numeric_limits<std::size_t>::max()) {
        bytes.error = BASS_ERROR_MEM;
        return bytes;
    }
    bytes.storage.resize(static_cast<std::size_t>(count));
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in.read(bytes.storage.data(), static_cast<std::streamsize>(count))) {
        bytes.error = BASS_ERROR_FILEOPEN;
        return bytes;
    }
    bytes.data = bytes.storage.data();
    bytes.size = bytes.storage.size();
    return bytes;
}

// The output rate, or 0 when the library is not initialised.
unsigned OutputRate()
{
    BassState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.output == Output::None ? 0 : state.rate;
}

DWORD AddChannel(std::unique_ptr<AudioChannel> channel)
{
    BassState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.output == Output::None) // freed while the channel was being made
        return Fail(BASS_ERROR_INIT);
    CatchUp(state);
    const DWORD handle = state.mixer.Add(std::move(channel));
    Succeed();
    return handle;
}

DWORD FreeChannel(DWORD handle, AudioChannel::Kind kind)
{
    ChannelAccess channel(handle);
    if (!channel)
        return FALSE;
    if (channel->GetKind() != kind)
        return Fail(BASS_ERROR_HANDLE);
    channel.state().mixer.Remove(handle);
    return Succeed();
}

} // namespace

DWORD BASS_GetVersion(void)
{
    return kVersion;
}

int BASS_ErrorGetCode(void)
{
    return lastError;
}

BOOL BASS_SetConfig(DWORD option, DWORD value)
{
    BassState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    DWORD* volume = option == BASS_CONFIG_GVOL_SAMPLE   ? &state.volumeSample
                    : option == BASS_CONFIG_GVOL_STREAM ? &state.volumeStream
                    : option == BASS_CONFIG_GVOL_MUSIC  ? &state.volumeMusic
                                                        : nullptr;
    if (volume == nullptr || value > kFullVolume)
        return Fail(BASS_ERROR_ILLPARAM);
    *volume = value;
    return Succeed();
}

DWORD BASS_GetConfig(DWORD option)
{
    BassState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    const DWORD* volume = option == BASS_CONFIG_GVOL_SAMPLE   ? &state.volumeSample
                          : option == BASS_CONFIG_GVOL_STREAM ? &state.volumeStream
                          : option == BASS_CONFIG_GVOL_MUSIC  ? &state.volumeMusic
                                                              : nullptr;
    if (volume == nullptr) {
        Fail(BASS_ERROR_ILLPARAM);
        return static_cast<DWORD>(-1);
    }
    Succeed();
    return *volume;
}

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND, const void*)
{
    BassState& state = State();
    std::lock_guard<std::mutex> lifecycle(state.lifecycle);
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (state.output != Output::None)
            return Fail(BASS_ERROR_ALREADY);
    }
    if (device < -1 || device > 1)
        return Fail(BASS_ERROR_DEVICE);
    const DWORD rate = freq == 0 ? kDefaultRate : freq;
    if (rate < 1000 || rate > 384000)
        return Fail(BASS_ERROR_FORMAT);

    if (device == 0) {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.output = Output::NoSound;
        state.initFlags = flags;
        state.rate = rate;
        state.latency = 0;
        state.minbuf = 0;
        state.clockStart = std::chrono::steady_clock::now();
        state.clockFrames = 0;
        state.callerOwnsClock = false;
        return Succeed();
    }

    auto output = std::make_unique<SDLAudioOutput>();
    const int error = output->Open(rate, &MixOnAudioThread);
    if (error != BASS_OK)
        return Fail(error);
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.output = Output::Device;
        state.initFlags = flags;
        state.rate = output->Rate();
        // Whole milliseconds, rounded up, that a mixed frame waits in the device buffer.
        const DWORD delay =
            static_cast<DWORD>((static_cast<std::uint64_t>(output->BufferFrames()) * 1000 + state.rate - 1) / state.rate);
        state.latency = (flags & BASS_DEVICE_LATENCY) ? delay : 0;
        state.minbuf = (flags & BASS_DEVICE_LATENCY) ? delay : 0;
    }
    state.device = std::move(output);
    state.device->Start();
    return Succeed();
}

BOOL BASS_Free(void)
{
    BassState& state = State();
    std::lock_guard<std::mutex> lifecycle(state.lifecycle);
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (state.output == Output::None)
            return Fail(BASS_ERROR_INIT);
        state.output = Output::None;
        state.mixer.Clear();
        state.rate = 0;
        state.latency = 0;
        state.minbuf = 0;
        state.initFlags = 0;
    }
    // Closing waits for SDL's audio thread, which needs the mutex: not while holding it.
    state.device.reset();
    return Succeed();
}

BOOL BASS_GetInfo(BASS_INFO* info)
{
    if (info == nullptr)
        return Fail(BASS_ERROR_ILLPARAM);
    BassState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.output == Output::None)
        return Fail(BASS_ERROR_INIT);
    *info = BASS_INFO{};
    info->minrate = state.rate;
    info->maxrate = state.rate;
    info->eax = FALSE;
    info->minbuf = state.minbuf;
    info->latency = state.latency;
    info->initflags = state.initFlags;
    info->speakers = 2;
    info->freq = state.rate;
    return Succeed();
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags)
{
    if (OutputRate() == 0)
        return Fail(BASS_ERROR_INIT);
    if (flags & BASS_STREAM_DECODE)
        return Fail(BASS_ERROR_NOTAVAIL);
    try {
        const FileBytes bytes = GetFileBytes(mem, file, offset, length, (flags & BASS_UNICODE) != 0);
        if (bytes.error != BASS_OK)
            return Fail(bytes.error);
        DecodedAudio audio = OggDecoder::Decode(bytes.data, bytes.size);
        if (audio.error != BASS_OK)
            return Fail(audio.error);
        auto source = std::make_unique<PcmSource>(std::move(audio.samples), audio.rate, audio.channels,
                                                  (flags & BASS_SAMPLE_LOOP) != 0);
        return AddChannel(std::make_unique<AudioChannel>(AudioChannel::Kind::Stream, std::move(source),
                                                         (flags & BASS_SAMPLE_FLOAT) ? 4 : 2));
    } catch (const std::bad_alloc&) {
        return Fail(BASS_ERROR_MEM);
    }
}

BOOL BASS_StreamFree(HSTREAM handle)
{
    return FreeChannel(handle, AudioChannel::Kind::Stream);
}

HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq)
{
    const unsigned outputRate = OutputRate();
    if (outputRate == 0)
        return Fail(BASS_ERROR_INIT);
    if (flags & BASS_MUSIC_DECODE)
        return Fail(BASS_ERROR_NOTAVAIL);
    const unsigned rate = freq == 0 ? outputRate : freq;
    if (rate < 8000 || rate > 192000)
        return Fail(BASS_ERROR_FORMAT);
    try {
        const FileBytes bytes = GetFileBytes(mem, file, offset, length, (flags & BASS_UNICODE) != 0);
        if (bytes.error != BASS_OK)
            return Fail(bytes.error);
        int error = BASS_OK;
        std::unique_ptr<ModuleSource> source = ModuleSource::Load(
            bytes.data, bytes.size, rate, (flags & BASS_MUSIC_MONO) != 0, (flags & BASS_MUSIC_LOOP) != 0, error);
        if (!source)
            return Fail(error);
        return AddChannel(std::make_unique<AudioChannel>(AudioChannel::Kind::Music, std::move(source),
                                                         (flags & BASS_MUSIC_FLOAT) ? 4 : 2));
    } catch (const std::bad_alloc&) {
        return Fail(BASS_ERROR_MEM);
    }
}

BOOL BASS_MusicFree(HMUSIC handle)
{
    return FreeChannel(handle, AudioChannel::Kind::Music);
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart)
{
    ChannelAccess channel(handle);
    if (!channel)
        return FALSE;
    const int error = channel->Play(restart != FALSE);
    return error == BASS_OK ? Succeed() : Fail(error);
}

BOOL BASS_ChannelStop(DWORD handle)
{
    ChannelAccess channel(handle);
    if (!channel)
        return FALSE;
    channel->Stop();
    return Succeed();
}

BOOL BASS_ChannelPause(DWORD handle)
{
    ChannelAccess channel(handle);
    if (!channel)
        return FALSE;
    const int error = channel->Pause();
    return error == BASS_OK ? Succeed() : Fail(error);
}

DWORD BASS_ChannelIsActive(DWORD handle)
{
    ChannelAccess channel(handle);
    return channel ? channel->Activity() : BASS_ACTIVE_STOPPED;
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode)
{
    ChannelAccess channel(handle);
    if (!channel)
        return kFailedPosition;
    if (mode != BASS_POS_BYTE) {
        Fail(BASS_ERROR_NOTAVAIL);
        return kFailedPosition;
    }
    return channel->LengthBytes();
}

QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double pos)
{
    ChannelAccess channel(handle);
    if (!channel)
        return kFailedPosition;
    const QWORD bytes = channel->SecondsToBytes(pos);
    if (bytes == kFailedPosition)
        Fail(BASS_ERROR_ILLPARAM);
    return bytes;
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos)
{
    ChannelAccess channel(handle);
    if (!channel)
        return -1.0;
    return channel->BytesToSeconds(pos);
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode)
{
    ChannelAccess channel(handle);
    if (!channel)
        return FALSE;
    if (mode != BASS_POS_BYTE)
        return Fail(BASS_ERROR_NOTAVAIL);
    const int error = channel->SetPositionBytes(pos);
    return error == BASS_OK ? Succeed() : Fail(error);
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode)
{
    ChannelAccess channel(handle);
    if (!channel)
        return kFailedPosition;
    if (mode != BASS_POS_BYTE) {
        Fail(BASS_ERROR_NOTAVAIL);
        return kFailedPosition;
    }
    return channel->PositionBytes();
}

BOOL BASSX_RenderMix(float* out, DWORD frames)
{
    BassState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.output == Output::None)
        return Fail(BASS_ERROR_INIT);
    if (state.output != Output::NoSound)
        return Fail(BASS_ERROR_NOTAVAIL);
    if (out == nullptr && frames > 0)
        return Fail(BASS_ERROR_ILLPARAM);
    // Time stands where the last call left it; from now on only rendering moves it.
    state.callerOwnsClock = true;
    MixInto(state, out, frames);
    return Succeed();
}

#pragma once
#include <cstdint>

#include "win32/WinTypes.h"

// The BASS 2.4 audio library's interface, as far as the demo uses it: output device, global
// volumes, in-memory Ogg Vorbis streams and tracker modules, play/pause/stop, positions and the
// output latency. Names, arguments, results, flags and error codes are those of BASS 2.4.
//
// Underneath, SDL2 audio plays a 44100 Hz stereo float mix; SDL's audio thread mixes the playing
// channels, and a mutex guards the channel state it shares with the callers. How this
// implementation behaves where BASS leaves room:
//
// - Device -1 (and 1) is SDL's default output. Where SDL has no real output (its audio cannot
//   start, or only the "dummy" or "disk" driver is there) BASS_Init fails with
//   BASS_ERROR_DEVICE; a driver that is there but will not open its default device fails with
//   BASS_ERROR_DRIVER. Device 0 is "no sound": it always opens, channels play silently and
//   their positions advance with a steady clock of this library's own (real time): each call
//   that reads or changes a channel first moves the playing channels on by the time passed.
//   On a real output a channel's position is where the mix has got to, which is heard the
//   output latency later.
// - With BASS_DEVICE_LATENCY, BASS_INFO.latency and minbuf are the duration of SDL's device
//   buffer in whole milliseconds, rounded up; without it both are 0, as are they on device 0.
// - Channels count bytes in their own format, 16 bits per sample as BASS does by default (32
//   with BASS_SAMPLE_FLOAT): an Ogg stream at its file's rate and channel count, a module at
//   the rate given to BASS_MusicLoad (0: the output rate) in stereo (BASS_MUSIC_MONO: mono).
//   Channels whose rate differs from the output rate are resampled linearly in the mix.
// - BASS_StreamCreateFile decodes the whole Ogg Vorbis file when the stream is created (to 16
//   bits, even with BASS_SAMPLE_FLOAT), so it never reads the caller's memory afterwards.
//   Callers must still keep the memory valid while the stream exists, as BASS requires.
//   Streams of more than two channels are refused (BASS_ERROR_FORMAT). BASS_STREAM_PRESCAN is
//   accepted; the length is always exact.
// - BASS_MusicLoad renders the module through libopenmpt while it plays. From memory the
//   length must be given (0 is refused with BASS_ERROR_ILLPARAM: there is no way to know where
//   the caller's buffer ends); the module is copied, so the memory may go after the call.
//   Length and byte positions of modules are available without BASS_MUSIC_PRESCAN. A looping
//   module follows its own loop, and its position wraps at its length.
// - With mem=FALSE, `file` is a file name in UTF-8 and the file is read when the channel is
//   made (length 0: to its end); UTF-16 names (BASS_UNICODE) are not offered: BASS_ERROR_NOTAVAIL.
// - Decoding channels (BASS_STREAM_DECODE, BASS_MUSIC_DECODE) are not offered:
//   BASS_ERROR_NOTAVAIL. Positions and lengths are offered in BASS_POS_BYTE only.
// - A channel that has played to its end is stopped at its end; playing it again starts it
//   from the beginning.

extern "C" {

using QWORD = std::uint64_t;
using HMUSIC = DWORD;
using HSAMPLE = DWORD;
using HCHANNEL = DWORD;
using HSTREAM = DWORD;

#define BASSVERSION 0x204
#define BASSVERSIONTEXT "2.4"

// Error codes returned by BASS_ErrorGetCode.
#define BASS_OK 0
#define BASS_ERROR_MEM 1
#define BASS_ERROR_FILEOPEN 2
#define BASS_ERROR_DRIVER 3
#define BASS_ERROR_BUFLOST 4
#define BASS_ERROR_HANDLE 5
#define BASS_ERROR_FORMAT 6
#define BASS_ERROR_POSITION 7
#define BASS_ERROR_INIT 8
#define BASS_ERROR_START 9
#define BASS_ERROR_SSL 10
#define BASS_ERROR_ALREADY 14
#define BASS_ERROR_NOTAUDIO 17
#define BASS_ERROR_NOCHAN 18
#define BASS_ERROR_ILLTYPE 19
#define BASS_ERROR_ILLPARAM 20
#define BASS_ERROR_NO3D 21
#define BASS_ERROR_NOEAX 22
#define BASS_ERROR_DEVICE 23
#define BASS_ERROR_NOPLAY 24
#define BASS_ERROR_FREQ 25
#define BASS_ERROR_NOTFILE 27
#define BASS_ERROR_NOHW 29
#define BASS_ERROR_EMPTY 31
#define BASS_ERROR_NONET 32
#define BASS_ERROR_CREATE 33
#define BASS_ERROR_NOFX 34
#define BASS_ERROR_NOTAVAIL 37
#define BASS_ERROR_DECODE 38
#define BASS_ERROR_DX 39
#define BASS_ERROR_TIMEOUT 40
#define BASS_ERROR_FILEFORM 41
#define BASS_ERROR_SPEAKER 42
#define BASS_ERROR_VERSION 43
#define BASS_ERROR_CODEC 44
#define BASS_ERROR_ENDED 45
#define BASS_ERROR_BUSY 46
#define BASS_ERROR_UNKNOWN -1

// BASS_SetConfig options: the global volumes, 0 (silent) to 10000 (full, the default), linear.
// They hold from BASS_SetConfig on, across BASS_Init and BASS_Free; other options and larger
// values are refused with BASS_ERROR_ILLPARAM.
#define BASS_CONFIG_GVOL_SAMPLE 4
#define BASS_CONFIG_GVOL_STREAM 5
#define BASS_CONFIG_GVOL_MUSIC 6

// BASS_Init flags.
#define BASS_DEVICE_8BITS 1
#define BASS_DEVICE_MONO 2
#define BASS_DEVICE_3D 4
#define BASS_DEVICE_16BITS 8
#define BASS_DEVICE_LATENCY 0x100
#define BASS_DEVICE_CPSPEAKERS 0x400
#define BASS_DEVICE_SPEAKERS 0x800
#define BASS_DEVICE_NOSPEAKER 0x1000
#define BASS_DEVICE_DMIX 0x2000
#define BASS_DEVICE_FREQ 0x4000
#define BASS_DEVICE_STEREO 0x8000

// Sample, stream and music flags.
#define BASS_SAMPLE_8BITS 1
#define BASS_SAMPLE_FLOAT 256
#define BASS_SAMPLE_MONO 2
#define BASS_SAMPLE_LOOP 4
#define BASS_SAMPLE_3D 8
#define BASS_SAMPLE_SOFTWARE 0x10
#define BASS_SAMPLE_FX 0x80

#define BASS_STREAM_PRESCAN 0x20000
#define BASS_STREAM_AUTOFREE 0x40000
#define BASS_STREAM_RESTRATE 0x80000
#define BASS_STREAM_BLOCK 0x100000
#define BASS_STREAM_DECODE 0x200000
#define BASS_STREAM_STATUS 0x800000

#define BASS_MUSIC_FLOAT BASS_SAMPLE_FLOAT
#define BASS_MUSIC_MONO BASS_SAMPLE_MONO
#define BASS_MUSIC_LOOP BASS_SAMPLE_LOOP
#define BASS_MUSIC_3D BASS_SAMPLE_3D
#define BASS_MUSIC_FX BASS_SAMPLE_FX
#define BASS_MUSIC_AUTOFREE BASS_STREAM_AUTOFREE
#define BASS_MUSIC_DECODE BASS_STREAM_DECODE
#define BASS_MUSIC_PRESCAN BASS_STREAM_PRESCAN
#define BASS_MUSIC_CALCLEN BASS_MUSIC_PRESCAN
#define BASS_MUSIC_RAMP 0x200
#define BASS_MUSIC_RAMPS 0x400
#define BASS_MUSIC_SURROUND 0x800
#define BASS_MUSIC_SURROUND2 0x1000
#define BASS_MUSIC_FT2MOD 0x2000
#define BASS_MUSIC_PT1MOD 0x4000
#define BASS_MUSIC_NONINTER 0x10000
#define BASS_MUSIC_POSRESET 0x8000
#define BASS_MUSIC_POSRESETEX 0x400000
#define BASS_MUSIC_STOPBACK 0x80000
#define BASS_MUSIC_NOSAMPLE 0x100000

#define BASS_UNICODE 0x80000000

// BASS_ChannelIsActive results.
#define BASS_ACTIVE_STOPPED 0
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_STALLED 2
#define BASS_ACTIVE_PAUSED 3

// Position modes.
#define BASS_POS_BYTE 0
#define BASS_POS_MUSIC_ORDER 1

typedef struct {
    DWORD flags;     // device capabilities (DSCAPS_xxx flags)
    DWORD hwsize;    // size of total device hardware memory
    DWORD hwfree;    // size of free device hardware memory
    DWORD freesam;   // number of free sample slots in the hardware
    DWORD free3d;    // number of free 3D sample slots in the hardware
    DWORD minrate;   // min sample rate supported by the hardware
    DWORD maxrate;   // max sample rate supported by the hardware
    BOOL eax;        // device supports EAX?
    DWORD minbuf;    // recommended minimum buffer length in ms (requires BASS_DEVICE_LATENCY)
    DWORD dsver;     // DirectSound version
    DWORD latency;   // delay (in ms) before start of playback (requires BASS_DEVICE_LATENCY)
    DWORD initflags; // BASS_Init "flags" parameter
    DWORD speakers;  // number of speakers available
    DWORD freq;      // current output rate
} BASS_INFO;

DWORD BASS_GetVersion(void);
int BASS_ErrorGetCode(void);

BOOL BASS_SetConfig(DWORD option, DWORD value);
DWORD BASS_GetConfig(DWORD option);

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void* dsguid);
BOOL BASS_Free(void);
BOOL BASS_GetInfo(BASS_INFO* info);

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
BOOL BASS_StreamFree(HSTREAM handle);
HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq);
BOOL BASS_MusicFree(HMUSIC handle);

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelStop(DWORD handle);
BOOL BASS_ChannelPause(DWORD handle);
DWORD BASS_ChannelIsActive(DWORD handle);
QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);
QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double pos);
double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);

// Not part of BASS: our addition for frame-exact capture. On the no-sound device (0), mixes the
// next `frames` frames of the playing channels into `out` (interleaved stereo floats, 2 ×
// frames values, written not added) and advances their positions by exactly that much. From
// the first call on, the no-sound device's real-time clock no longer moves the channels: the
// caller owns time until BASS_Free. Fails with BASS_ERROR_INIT before BASS_Init,
// BASS_ERROR_NOTAVAIL on a real output device (its own thread pulls the mix) and
// BASS_ERROR_ILLPARAM for a null `out` with frames > 0.
BOOL BASSX_RenderMix(float* out, DWORD frames);

} // extern "C"

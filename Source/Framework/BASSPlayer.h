#pragma once
#include <vector>

#include "audio/bass.h"

// How the tune is loaded. The type is fixed (int) so that any value a caller passes is one the
// player can look at and refuse.
enum BASS_SOUNDTYPE : int {
    SOUNDTYPE_STREAM = 0, // compressed audio (Ogg Vorbis), decoded by a BASS stream
    SOUNDTYPE_MUSIC = 1,  // a tracker module
};

// Plays the demo's tune through BASS: opens the default output (or, where there is none, the
// no-sound device, so the demo runs silently), loads the tune from the archive into memory and
// starts, pauses, repositions and stops it. The picture follows the playback clock, not the
// audio position; the output latency read after loading shifts that clock. A singleton whose
// state is process-wide.
class BASSPlayer {
public:
    // Throws FrameworkEx "BASSPlayer is a singleton!" when an instance exists.
    BASSPlayer();
    // Frees the channel and the tune's memory. The output device stays open.
    ~BASSPlayer();
    BASSPlayer(const BASSPlayer&) = delete;
    BASSPlayer& operator=(const BASSPlayer&) = delete;

    // Checks for BASS 2.4, sets the global volumes to half and opens the default output device
    // with latency measurement on the framework's window, or else the no-sound device.
    static void OpenOutput();
    // Reads the tune from the archive and creates its channel; then reads the device info.
    // Throws FrameworkEx when the channel cannot be made or the type is unknown. A channel of an
    // earlier Init is freed first.
    static void Init(const char* filename, BASS_SOUNDTYPE type);
    // Plays the channel from its start; throws FrameworkEx when BASS refuses.
    static void Play();
    // Pauses a stream; a music channel keeps playing.
    static void Pause();
    // Moves to `seconds` and plays on from there.
    static void Resume(float seconds);
    // Stops and frees the channel; a second call is harmless.
    static void Free();

    // The device information read by Init; latency is the output delay in milliseconds.
    static const BASS_INFO& GetInfo() { return info; }
    static BASS_SOUNDTYPE GetSoundType() { return soundType; }
    static HSTREAM GetStream() { return stream; }
    static HMUSIC GetMusic() { return music; }

private:
    static BASS_SOUNDTYPE soundType;
    static HSTREAM stream;
    static HMUSIC music;
    // BASS plays from this memory, so it lives as long as the channel does.
    static std::vector<unsigned char> tuneData;
    static BASS_INFO info;
};

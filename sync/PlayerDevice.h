#pragma once
#include <string>

#include "sync/Data.h"
#include "sync/Device.h"
#include "sync/Host.h"
#include "sync/SyncNamespace.h"
#include "sync/sTimer.h"

namespace orvala::sync {

// The playback-only device: the first request for a name creates the track and fills it
// from the archive entry "Data\" + base name + "_" + name + ".track"; later requests return
// the same track. The host reads the entries, keeps the log and reports the failures.
class PlayerDevice : public Device {
public:
    PlayerDevice(const std::string& baseName, sTimer& timer, Host host);

    // Fails with "loadTrack failed on <entry>" when the track's file is missing. A failed
    // request registers nothing, so asking again reports the failure again.
    Track& getTrack(const std::string& name) override;
    // Playback has nothing to do per frame.
    bool update(float row) override;

    // Fills the track from the archive entry "Data\" + fileName: a key-frame count followed
    // by packed 9-byte records. A file shorter than its count says gives its whole records
    // only. Returns true; fails when there is no such entry.
    bool loadTrack(Track& track, std::string fileName);

    // Fills every track asked for so far again from its archive entry, for a host whose archive
    // changed. Each track stays where it is, so the references handed out stay valid. All are
    // read before any changes: when one fails (as getTrack fails), every track keeps its keys.
    void reloadTracks();

    // The tracks asked for so far.
    const Data& getData() const { return data; }

    sTimer& getTimer() const { return timer; }

private:
    sTimer& timer; // kept for the interface; playback never asks it
    Host host;
    Data data;
};

// Makes the playback device; null only when it cannot be allocated.
Device* createDevice(const std::string& baseName, sTimer& timer, Host host);

} // namespace orvala::sync

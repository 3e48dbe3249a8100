#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sync/Host.h"
#include "sync/SyncNamespace.h"
#include "sync/Track.h"

namespace orvala::sync {

// The track registry: tracks in order of creation, a track's index being its id. Names are
// unique. The registry owns its tracks; a track's address never changes while it lives.
class Data {
public:
    // Failures are reported through host.fail.
    explicit Data(Host host) : host(std::move(host)) {}
    Data(const Data&) = delete;
    Data& operator=(const Data&) = delete;

    // The index of the track with that name, or -1.
    int getTrackIndex(const std::string& name) const;

    // Appends a new empty track and returns its index. Fails when the name is taken already.
    int createTrack(const std::string& name);
    // Appends a filled track and returns its index, under the same rule.
    int addTrack(Track track);

    // The track at an index; fails for an index outside the registry.
    Track* getTrack(unsigned index) const;

    unsigned getTrackCount() const { return static_cast<unsigned>(tracks.size()); }

private:
    Host host;
    std::vector<std::unique_ptr<Track>> tracks;
};

} // namespace orvala::sync

#pragma once
#include <string>

#include "sync/SyncNamespace.h"
#include "sync/Track.h"

namespace orvala::sync {

// Where tracks are obtained by name. A track is asked for once; the reference stays valid
// for the life of the device.
class Device {
public:
    explicit Device(std::string baseName) : baseName(std::move(baseName)) {}
    virtual ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    virtual Track& getTrack(const std::string& name) = 0;
    // Called every frame with the current row.
    virtual bool update(float row) = 0;

    const std::string& getBaseName() const { return baseName; }

protected:
    std::string baseName; // prefixes every track file name
};

} // namespace orvala::sync

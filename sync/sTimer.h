#pragma once

#include "sync/SyncNamespace.h"

namespace orvala::sync {

// The timer a sync device is handed: it tells the current row of the timeline. A playback
// device only keeps it; an editing device would also steer it.
class sTimer {
public:
    virtual ~sTimer() = default;
    virtual float getRow() = 0;
};

} // namespace orvala::sync

#pragma once

#include "sync/SyncNamespace.h"
#include "sync/sTimer.h"

// The timer handed to the sync device. It holds nothing of its own: the row comes from the
// playback time of Timer and the process-wide row rate.
class SyncTimer : public sync::sTimer {
public:
    float getRow() override;
};

// The current row: the playback time in seconds, a negative time counting as 0, times the
// row rate. Every track user evaluates its tracks at this row.
float GetSyncRow();

// Sets the row rate to beatsPerMinute / 60 * rowsPerBeat rows per second (128 and 8 give
// 256/15). Until it is set the rate is 0 and every row is 0.
void SetRowRate(float beatsPerMinute, int rowsPerBeat);

#include "sync/Device.h"

namespace orvala::sync {

// Defined here so that the device's virtual table lives in one unit.
Device::~Device() = default;

} // namespace orvala::sync

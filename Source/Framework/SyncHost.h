#pragma once
#include <string>

#include "sync/Device.h"
#include "sync/Host.h"
#include "sync/sTimer.h"

// The sync layer's host in the demo: entries read from the open archive (FileSys), notes in
// the framework's log, failures thrown as FrameworkEx.
sync::Host SyncHost();

// The playback device over SyncHost(): tracks come from the archive entries
// "Data\" + base name + "_" + name + ".track". Null only when it cannot be allocated.
sync::Device* createDevice(const std::string& baseName, sync::sTimer& timer);
